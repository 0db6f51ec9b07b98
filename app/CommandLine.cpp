#include "app/CommandLine.h"

#include "util/BuildInfo.h"

#include <QCommandLineParser>

namespace {

// Every option of the program, described once for parsing and for --help.
struct ProgramOptions {
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Folder that holds CFG and FW (the shipped data "
                                              "is used when not given)."),
                               QStringLiteral("DIR")};
    QCommandLineOption demo{QStringLiteral("demo"),
                            QStringLiteral("Run against a simulated GCU (no unit needed).")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Write a support log (link, serial port, firmware update, traffic with "
                       "time stamps) to FILE; a bare file name goes to the per-user data "
                       "folder's logs/."),
        QStringLiteral("FILE")};
    QCommandLineOption logStatus{
        QStringLiteral("log-status"),
        QStringLiteral("With --log: record the live status lines too (left out otherwise, "
                       "since the GCU sends many a second).")};
    QCommandLineOption page{QStringLiteral("page"), QString(), QStringLiteral("N")};
    QCommandLineOption screenshot{QStringLiteral("screenshot"), QString(), QStringLiteral("FILE")};
    QCommandLineOption maintenance{QStringLiteral("maintenance-tabs")};
    QCommandLineOption installCheck{QStringLiteral("install-check"), QString(),
                                    QStringLiteral("FILE")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    void AddTo(QCommandLineParser& parser) {
        for (QCommandLineOption* hidden : {&page, &screenshot, &maintenance, &installCheck})
            hidden->setFlags(QCommandLineOption::HiddenFromHelp);
        parser.setApplicationDescription(
            QStringLiteral("Quarventa V5: configuration and diagnostics of the electronic "
                           "gear-shift control unit (GCU)."));
        parser.addOptions({dataDir, demo, log, logStatus, help, version, page, screenshot,
                           maintenance, installCheck});
    }
};

} // namespace

StartOptions ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    ProgramOptions o;
    o.AddTo(parser);

    StartOptions options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error =
            QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return options;
    }
    options.dataDir = parser.value(o.dataDir);
    if (parser.isSet(o.page)) {
        bool ok = false;
        options.page = parser.value(o.page).toInt(&ok);
        if (!ok || options.page < 0) {
            options.error = QStringLiteral("--page needs a page number from 0");
            return options;
        }
    }
    options.screenshot = parser.value(o.screenshot);
    options.commandsTab = parser.isSet(o.maintenance);
    options.demo = parser.isSet(o.demo);
    options.logFile = parser.value(o.log);
    if (parser.isSet(o.log) && options.logFile.isEmpty()) {
        options.error = QStringLiteral("--log needs a file name");
        return options;
    }
    options.logStatusLines = parser.isSet(o.logStatus);
    if (options.logStatusLines && options.logFile.isEmpty()) {
        options.error = QStringLiteral("--log-status needs --log FILE");
        return options;
    }
    options.installCheck = parser.value(o.installCheck);
    return options;
}

namespace {
// The options QGuiApplication and QApplication take for themselves, and
// whether each is followed by a value.
struct ToolkitOption {
    const char* name;
    bool takesValue;
};
constexpr ToolkitOption ToolkitOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"session", true},
    {"style", true},           {"stylesheet", true},
    {"display", true},         {"geometry", true},
    {"title", true},           {"name", true},
    {"visual", true},          {"reverse", false},
    {"widgetcount", false},    {"nograb", false},
    {"dograb", false},         {"sync", false},
    {"qmljsdebugger", false},
};

// The toolkit option an argument names ("-style", "--style", "-style=x"), if any.
const ToolkitOption* ToolkitOptionOf(const QString& argument, bool& valueAttached) {
    if (!argument.startsWith(u'-'))
        return nullptr;
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    valueAttached = equals >= 0;
    if (valueAttached)
        name.truncate(equals);
    for (const ToolkitOption& option : ToolkitOptions)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}
} // namespace

QStringList WithoutToolkitOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (i == 0) {
            kept << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        bool valueAttached = false;
        const ToolkitOption* option = ToolkitOptionOf(argument, valueAttached);
        if (!option) {
            kept << argument;
            continue;
        }
        if (option->takesValue && !valueAttached)
            ++i; // its value goes with it
    }
    return kept;
}

QString CommandLineErrorLine(const QString& error) {
    QString line = QLatin1String(BuildInfo::ProgramName) + QStringLiteral(": ") + error;
    line.replace(u'\n', u' ');
    return line + QStringLiteral(" (--help lists the options)");
}

InfoRequest RequestedInfo(const QStringList& arguments) {
    // The first of them counts, as it would for a person reading the line.
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("-?"))
            return InfoRequest::Help;
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return InfoRequest::Version;
    }
    return InfoRequest::None;
}

QString HelpText() {
    QCommandLineParser parser;
    ProgramOptions o;
    o.AddTo(parser);
    return parser.helpText();
}

QString VersionText() {
    return QLatin1String(BuildInfo::ProgramName) + u' ' + QLatin1String(BuildInfo::Version) + u'\n';
}
