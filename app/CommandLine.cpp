#include "app/CommandLine.h"

#include <QCommandLineParser>

StartOptions ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder that holds CFG and FW."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run against a simulated GCU (no unit needed)."));
    QCommandLineOption page(QStringLiteral("page"), QString(), QStringLiteral("N"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE"));
    QCommandLineOption maintenance(QStringLiteral("maintenance-tabs"));
    for (QCommandLineOption* hidden : {&page, &screenshot, &maintenance})
        hidden->setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({dataDir, demo, page, screenshot, maintenance});

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
    options.dataDir = parser.value(dataDir);
    if (parser.isSet(page)) {
        bool ok = false;
        options.page = parser.value(page).toInt(&ok);
        if (!ok || options.page < 0) {
            options.error = QStringLiteral("--page needs a page number from 0");
            return options;
        }
    }
    options.screenshot = parser.value(screenshot);
    options.commandsTab = parser.isSet(maintenance);
    options.demo = parser.isSet(demo);
    return options;
}
