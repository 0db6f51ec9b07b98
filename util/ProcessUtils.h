#pragma once
// Starting an external program (the AVR programmer during a firmware update)
// and waiting for it while the window stays responsive.
#include <QString>
#include <QStringList>
#include <functional>

// Window-show code for a hidden window. Programs started here never open a
// console window on Linux, so every show code behaves like this one.
constexpr quint16 SW_HIDE_WINDOW = 0;

// Receives the program's output (standard output and standard error merged, in
// the order written) piece by piece as it arrives, decoded from the local
// 8-bit encoding. A piece may hold several lines or part of one; progress bars
// that grow without a line end therefore show while they grow.
using ProcessOutputHandler = std::function<void(const QString& chunk)>;

// Starts FileName with Parameters (one argument per item, no shell quoting) in
// Directory (empty: the current folder).
// Operation is the shell verb: "open" or empty; any other verb cannot be
// carried out and counts as a failed start.
// Results:
//   -1  the program could not be started;
//    0  started and Wait is false (the program runs on by itself; its output is
//       not captured);
//    N  Wait is true and the program ended with exit code N;
//   -1  Wait is true and no exit code is available (the program was ended by a
//       signal, or the wait was interrupted by the application quitting).
// While waiting, a nested event loop runs on the calling thread, so timers,
// repaints and input go on; it wakes only for events, never spins.
int ShellExecuteAndWait(const QString& operation, const QString& fileName,
                        const QStringList& parameters, const QString& directory, quint16 showCmd,
                        bool wait, const ProcessOutputHandler& onOutput = {});
