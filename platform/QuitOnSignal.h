#pragma once
// A termination signal (SIGTERM, SIGINT, SIGHUP) ends the program as quitting
// does: the event loop returns and everything is closed and given back in
// order, rather than the process dying where it stands.

namespace quorvane {

// Installs the handlers; needs a QCoreApplication. Idempotent.
void quit_on_termination_signals();

} // namespace quorvane
