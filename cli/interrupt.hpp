/// @file Ctrl-C while a command works with servers. The first cancels the statements that the
/// command's sessions are running (KILL QUERY through a session of their own) and lets the command
/// end with a report of what it completed; a second one ends the process at once, even while the
/// cancelling waits for a server that no longer answers. Either way the process exits with 130.
#pragma once

#include "context.hpp"

namespace Ombrix::Cli {

/// The exit status of an interrupted command.
inline constexpr int kInterruptedExit = 130;

/// Installs the handling of SIGINT; main calls it once, before any command runs.
void install_interrupt_handling();
/// Whether Ctrl-C was pressed.
bool interrupted();
/// Remembers a connection whose running statements a Ctrl-C cancels (`open_connection` does it
/// for every connection it opens). With no live connection remembered, Ctrl-C ends the process
/// at once, as it does any program.
void cancel_on_interrupt(const Connection& connection);

}  // namespace Ombrix::Cli
