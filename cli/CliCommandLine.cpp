#include "cli/CliCommandLine.h"

#include "util/BuildInfo.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr const char* ProgramName = "quarventa-cli";

// Every option, described once for parsing and for --help.
struct CliOptions {
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("Serial port of the GCU (else the one GCU adapter plugged in is found as "
                       "the window's auto-connect finds it; two candidates are refused)."),
        QStringLiteral("PATH")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("Machine-readable output (JSON) on standard output.")};
    QCommandLineOption yes{QStringLiteral("yes"),
                           QStringLiteral("Ask no questions before writing to the unit (without "
                                          "it a write asks on a terminal and is refused when "
                                          "standard input is not one).")};
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Folder that holds CFG and FW (the shipped data "
                                              "is used when not given)."),
                               QStringLiteral("DIR")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Write a support log to FILE; a bare file name goes to the per-user data "
                       "folder's logs/."),
        QStringLiteral("FILE")};
    QCommandLineOption timeout{
        QStringLiteral("timeout"),
        QStringLiteral("Seconds to wait for the unit's answers (as the window waits when not "
                       "given)."),
        QStringLiteral("SECONDS")};
    QCommandLineOption unit{
        QStringLiteral("unit"),
        QStringLiteral("Which unit known by name is on the link, where the units known on this "
                       "computer cannot tell it (the window would ask); a name no unit has files "
                       "it as a new unit."),
        QStringLiteral("NAME")};
    QCommandLineOption seconds{QStringLiteral("seconds"),
                               QStringLiteral("monitor: stop after N seconds (else on Ctrl+C)."),
                               QStringLiteral("N")};
    QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("monitor: record to FILE.csv in the window's recording format."),
        QStringLiteral("FILE.csv")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    void AddTo(QCommandLineParser& parser, const CliSubcommand* only = nullptr) {
        parser.addOptions({port, json, yes, dataDir, log, timeout, unit});
        if (!only || QLatin1String(only->name) == QLatin1String("monitor"))
            parser.addOptions({seconds, record});
        parser.addOptions({help, version});
    }
};

QString ExitStatusText() {
    return QStringLiteral("Exit status: 0 done and verified; 1 differences found (diff);\n"
                          "2 usage error; 3 no unit or no answer; 4 input refused (nothing\n"
                          "written); 5 written but not verified.");
}

QString GeneralHelp() {
    QCommandLineParser parser;
    CliOptions options;
    QString description =
        QStringLiteral("Quarventa V5 from the command line: the GCU's ports, values, backups and\n"
                       "restores, live values and firmware, without a display.\n\nSubcommands:\n");
    for (const CliSubcommand& s : Subcommands()) {
        const QString synopsis =
            QLatin1String(s.name) + (*s.arguments ? u' ' + QLatin1String(s.arguments) : QString());
        description += QStringLiteral("  ") + synopsis.leftJustified(22) + u' ' +
                       QLatin1String(s.summary) + u'\n';
    }
    description += QStringLiteral("\n") + ExitStatusText() +
                   QStringLiteral("\nSee quarventa-cli SUBCOMMAND --help.");
    parser.setApplicationDescription(description);
    parser.addPositionalArgument(QStringLiteral("subcommand"),
                                 QStringLiteral("What to do (see above)."),
                                 QStringLiteral("SUBCOMMAND [ARGUMENTS]"));
    options.AddTo(parser);
    return parser.helpText();
}

QString SubcommandHelp(const CliSubcommand& s) {
    QCommandLineParser parser;
    CliOptions options;
    parser.setApplicationDescription(QLatin1String(s.summary) + QStringLiteral("\n\n") +
                                     ExitStatusText());
    parser.addPositionalArgument(QLatin1String(s.name), QString());
    if (*s.arguments)
        parser.addPositionalArgument(QLatin1String(s.arguments), QString());
    options.AddTo(parser, &s);
    return parser.helpText();
}

CliParse UsageError(const QString& message) {
    CliParse parse;
    parse.error = message;
    return parse;
}

// The argument of a subcommand that takes a file of given suffixes.
std::optional<QString> SuffixFault(const CliSubcommand& s, const QString& argument) {
    const QStringList suffixes =
        QString::fromLatin1(s.fileSuffixes).split(u' ', Qt::SkipEmptyParts);
    if (suffixes.isEmpty())
        return std::nullopt;
    const QString suffix = QFileInfo(argument).suffix();
    for (const QString& accepted : suffixes)
        if (suffix.compare(accepted, Qt::CaseInsensitive) == 0)
            return std::nullopt;
    QStringList patterns;
    for (const QString& accepted : suffixes)
        patterns << QStringLiteral("*.") + accepted;
    const QString last = patterns.takeLast();
    const QString kinds = patterns.isEmpty()
                              ? last
                              : patterns.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    return QStringLiteral("%1: \"%2\" is not a %3 file")
        .arg(QLatin1String(s.name), argument, kinds);
}

std::optional<QString> ArgumentFault(const CliSubcommand& s, const QString& argument) {
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_]+$"));
    const QString name = QLatin1String(s.name);
    if (name == QLatin1String("get") && !word.match(argument).hasMatch())
        return QStringLiteral("get: \"%1\" is not a command word").arg(argument);
    if (name == QLatin1String("set")) {
        const qsizetype equals = argument.indexOf(u'=');
        if (equals < 0 || !word.match(argument.left(equals)).hasMatch() ||
            argument.mid(equals + 1).trimmed().isEmpty())
            return QStringLiteral("set: \"%1\" is not WORD=VALUE").arg(argument);
    }
    return SuffixFault(s, argument);
}

} // namespace

const std::vector<CliSubcommand>& Subcommands() {
    static const std::vector<CliSubcommand> list{
        {"ports", "", "List the serial ports, their names and which look like a GCU.", 0, 0, "",
         false, true},
        {"info", "", "Show the unit's announcement, firmware, PCB version, reboots, name.", 0, 0,
         "", false, true},
        {"backup", "FILE", "Download the configuration into FILE (*.QCF or *.qvt).", 1, 1,
         "QCF qvt", false, true},
        {"diff", "FILE", "List the unit's values that differ from FILE (status 1 when any do).", 1,
         1, "QCF QSQ qvt", false, true},
        {"get", "WORD...", "Show the unit's values of the command words (display units).", 1, -1,
         "", false, true},
        {"set", "WORD=VALUE...", "Check, send, store, read back and verify values (display units).",
         1, -1, "", true, true},
        {"restore", "FILE", "Send FILE's values that differ from the unit, store, verify.", 1, 1,
         "QCF QSQ qvt", true, true},
        {"monitor", "", "Show live values once a second, or record them (--record).", 0, 0, "",
         false, true},
        {"flash", "IMAGE.hex", "Update the firmware; progress on standard error.", 1, 1, "hex",
         true, true},
    };
    return list;
}

const CliSubcommand* FindSubcommand(const QString& name) {
    for (const CliSubcommand& s : Subcommands())
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

QString CliVersionText() {
    return QLatin1String(ProgramName) + u' ' + QLatin1String(BuildInfo::Version) + u'\n';
}

CliParse ParseCliCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    CliOptions o;
    o.AddTo(parser);
    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    const CliSubcommand* subcommand =
        positional.isEmpty() ? nullptr : FindSubcommand(positional.first());

    CliParse parse;
    if (parser.isSet(o.help)) {
        parse.print = subcommand ? SubcommandHelp(*subcommand) : GeneralHelp();
        return parse;
    }
    if (parser.isSet(o.version)) {
        parse.print = CliVersionText();
        return parse;
    }
    if (positional.isEmpty())
        return UsageError(QStringLiteral("no subcommand given (see quarventa-cli --help)"));
    if (!subcommand)
        return UsageError(QStringLiteral("unknown subcommand \"%1\" (see quarventa-cli --help)")
                              .arg(positional.first()));

    const QString name = QLatin1String(subcommand->name);
    CliRequest request;
    request.subcommand = subcommand;
    request.arguments = positional.mid(1);
    const int count = static_cast<int>(request.arguments.size());
    if (count < subcommand->minArguments ||
        (subcommand->maxArguments >= 0 && count > subcommand->maxArguments)) {
        const QString expected =
            *subcommand->arguments ? QStringLiteral("takes ") + QLatin1String(subcommand->arguments)
                                   : QStringLiteral("takes no arguments");
        return UsageError(
            QStringLiteral("%1: %2 (see quarventa-cli %1 --help)").arg(name, expected));
    }
    for (const QString& argument : request.arguments)
        if (const std::optional<QString> fault = ArgumentFault(*subcommand, argument))
            return UsageError(*fault);

    request.port = parser.value(o.port);
    if (parser.isSet(o.port) && request.port.isEmpty())
        return UsageError(QStringLiteral("--port needs a device path"));
    request.json = parser.isSet(o.json);
    request.yes = parser.isSet(o.yes);
    request.dataDir = parser.value(o.dataDir);
    if (parser.isSet(o.dataDir) && !QFileInfo(request.dataDir).isDir())
        return UsageError(
            QStringLiteral("--data-dir: \"%1\" is not a folder").arg(request.dataDir));
    request.unitName = parser.value(o.unit).trimmed();
    if (parser.isSet(o.unit) && request.unitName.isEmpty())
        return UsageError(QStringLiteral("--unit needs a name"));
    request.logFile = parser.value(o.log);
    if (parser.isSet(o.log) && request.logFile.isEmpty())
        return UsageError(QStringLiteral("--log needs a file name"));
    if (parser.isSet(o.timeout)) {
        bool ok = false;
        const double value = parser.value(o.timeout).toDouble(&ok);
        if (!ok || !(value > 0) || value > 3600)
            return UsageError(
                QStringLiteral("--timeout needs a number of seconds above 0 (up to 3600)"));
        request.timeoutSeconds = value;
    }
    const bool monitor = name == QLatin1String("monitor");
    if (!monitor && (parser.isSet(o.seconds) || parser.isSet(o.record)))
        return UsageError(QStringLiteral("--seconds and --record belong to monitor"));
    if (parser.isSet(o.seconds)) {
        bool ok = false;
        const int value = parser.value(o.seconds).toInt(&ok);
        if (!ok || value <= 0)
            return UsageError(QStringLiteral("--seconds needs a whole number above 0"));
        request.seconds = value;
    }
    request.recordFile = parser.value(o.record);
    if (parser.isSet(o.record) &&
        QFileInfo(request.recordFile).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) !=
            0)
        return UsageError(QStringLiteral("--record needs a *.csv file name"));
    parse.request = request;
    return parse;
}
