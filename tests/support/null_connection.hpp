/// @file A connection that is never opened: a stand-in for objects that only need to know theirs.
#pragma once

#include "tests/support/fake_connection.hpp"
