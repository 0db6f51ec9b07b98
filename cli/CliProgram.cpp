#include "cli/CliProgram.h"

#include "cli/CliPorts.h"
#include "cli/CliUnitCommands.h"
#include "util/ProgramPaths.h"
#include "util/SupportLog.h"

namespace {

CliExit Ports(const CliRequest& request, QTextStream& out, QTextStream& err) {
    const PortReport report = CurrentPortReport();
    if (request.json) {
        out << PortReportJson(report);
    } else {
        out << PortReportText(report);
        if (report.ports.empty())
            err << "ports: no serial port found\n";
    }
    for (const QString& note : AdapterWithoutPortNotes(report))
        err << "ports: " << note << '\n';
    return CliExit::Done;
}

} // namespace

CliExit RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const CliParse parse = ParseCliCommandLine(arguments);
    if (!parse.error.isEmpty()) {
        err << "quarventa-cli: " << parse.error << '\n';
        return CliExit::Usage;
    }
    if (!parse.request) {
        out << parse.print;
        return CliExit::Done;
    }
    const CliRequest& request = *parse.request;
    const QString name = QLatin1String(request.subcommand->name);
    // The subcommands that talk to a unit are not part of this program yet.
    if (!request.subcommand->available) {
        err << name << ": not available in this build\n";
        return CliExit::Usage;
    }
    if (!request.dataDir.isEmpty())
        SetProgramFolder(request.dataDir);
    if (!request.logFile.isEmpty()) {
        const QString path = SupportLogPath(request.logFile);
        QString error;
        if (!StartSupportLog(path, error)) {
            err << "quarventa-cli: cannot write the log " << path << ": " << error << '\n';
            return CliExit::Usage;
        }
    }
    CliExit exit = CliExit::Usage;
    if (name == QLatin1String("ports"))
        exit = Ports(request, out, err);
    else
        exit = RunUnitSubcommand(request, out, err);
    if (!request.logFile.isEmpty())
        StopSupportLog();
    return exit;
}
