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
        parser.addOptions(
            {dataDir, demo, log, help, version, page, screenshot, maintenance, installCheck});
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
    options.installCheck = parser.value(o.installCheck);
    return options;
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
