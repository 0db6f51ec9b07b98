#pragma once
// A check of an installed program as its first user meets it, run with no
// person at the screen (--demo --install-check FILE, under Xvfb): start-up
// completes, the simulated GCU is found and its configuration read, an edit
// becomes a pending change, and "Save Config." offers the data folder (the
// per-user copy of a read-only installation) and writes FILE there. Every
// finding, and then every message box the user would have read, is printed as
// one line; the result is the program's exit code.
#include <QString>

class TFormMain;

// Runs the check on the shown window; 0 when everything held, 1 otherwise.
int RunInstallCheck(TFormMain& form, const QString& fileName);
