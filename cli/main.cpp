// quarventa-cli: the GCU from a script or a terminal, without a display.
#include "cli/CliProgram.h"
#include "util/BuildInfo.h"
#include "util/SupportLog.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(BuildInfo::ApplicationName));
    UseTimeStampedMessages();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CliExit exit = RunCli(QCoreApplication::arguments(), out, err);
    out.flush();
    err.flush();
    return static_cast<int>(exit);
}
