/// @file A connection that sends catalogue queries to a MariaDB provider and remembers them.
#pragma once

#include "tests/support/fake_connection.hpp"
