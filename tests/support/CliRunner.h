#pragma once
// quarventa-cli run inside the test: its exit status and what it wrote to
// standard output and standard error.
#include "cli/CliProgram.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace qvtest {

struct CliRun {
    CliExit exit = CliExit::Done;
    QString out;
    QString err;
};

// Arguments after the program's name.
inline CliRun RunCliWith(QStringList arguments) {
    arguments.prepend(QStringLiteral("quarventa-cli"));
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exit = RunCli(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

} // namespace qvtest
