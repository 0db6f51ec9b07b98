// Program entry: the application object, the main window and the event loop.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DemoMode.h"
#include "app/InstallCheck.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/SupportLog.h"

#include <QCoreApplication>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

namespace {
// For checking the look: show a page, save the window as an image, quit.
void ScheduleScreenshot(TFormMain& form, const StartOptions& options) {
    QTimer::singleShot(300, &form, [&form, options] {
        if (options.page >= 0) {
            auto& pages = form.Control<TPageControl>(QStringLiteral("PCMain"));
            if (TTabSheet* page = pages.Pages(options.page)) {
                page->SetTabVisible(true);
                pages.SetActivePage(page);
            }
        }
        QTimer::singleShot(200, &form, [&form, options] {
            if (!options.screenshot.isEmpty()) {
                form.grab().save(options.screenshot);
                QApplication::quit();
            }
        });
    });
}

// The command line is read before the window toolkit starts, so that --help,
// --version and a line that is not understood answer in a terminal without a
// display. Returns the exit code when the program is to end here.
std::optional<int> ReadCommandLine(int argc, char** argv, StartOptions& options) {
    QCoreApplication core(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (const InfoRequest request = RequestedInfo(arguments); request != InfoRequest::None) {
        const QString text = request == InfoRequest::Help ? HelpText() : VersionText();
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    options = ParseCommandLine(WithoutToolkitOptions(arguments));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(CommandLineErrorLine(options.error)));
        return 2;
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char** argv) {
    StartOptions options;
    if (const std::optional<int> exitCode = ReadCommandLine(argc, argv, options))
        return *exitCode;
    UseTimeStampedMessages();
    TApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    SetProgramFolder(options.dataDir);
    if (!options.logFile.isEmpty()) {
        const QString logPath = SupportLogPath(options.logFile);
        QString error;
        SupportLogOptions logOptions;
        logOptions.statusLines = options.logStatusLines;
        if (!StartSupportLog(logPath, error, logOptions)) {
            std::fprintf(stderr, "Cannot write the log %s: %s\n", qPrintable(logPath),
                         qPrintable(error));
            return 2;
        }
        std::fprintf(stderr, "Support log: %s\n", qPrintable(logPath));
    }
    // The simulated GCU outlives the window, whose port closes first; its port
    // is listed before the window lists ports.
    std::unique_ptr<DemoGcu> demo;
    if (options.demo) {
        try {
            demo = std::make_unique<DemoGcu>();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "Demo mode: %s\n", error.what());
            return 1;
        }
    }
    TFormMain form;
    if (options.commandsTab) {
        for (const char* page : {"TSCommands", "TSTranslation", "TSFirmwareUpdate"})
            form.Control<TTabSheet>(QString::fromLatin1(page)).SetTabVisible(true);
    }
    form.show();
    int exitCode = 0;
    if (!options.installCheck.isEmpty()) {
        exitCode = RunInstallCheck(form, options.installCheck);
    } else {
        if (options.page >= 0 || !options.screenshot.isEmpty())
            ScheduleScreenshot(form, options);
        exitCode = QApplication::exec();
    }
    StopSupportLog();
    return exitCode;
}
