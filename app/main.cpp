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

// --help and --version answer before the window toolkit starts, so they work
// in a terminal without a display.
int AnswerInfoRequest(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    const InfoRequest request = RequestedInfo(QCoreApplication::arguments());
    if (request == InfoRequest::None)
        return -1;
    const QString text = request == InfoRequest::Help ? HelpText() : VersionText();
    std::fputs(qPrintable(text), stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (const int answered = AnswerInfoRequest(argc, argv); answered >= 0)
        return answered;
    UseTimeStampedMessages();
    TApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const StartOptions options = ParseCommandLine(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(options.error));
        return 2;
    }
    SetProgramFolder(options.dataDir);
    if (!options.logFile.isEmpty()) {
        const QString logPath = SupportLogPath(options.logFile);
        QString error;
        if (!StartSupportLog(logPath, error)) {
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
    if (!options.installCheck.isEmpty()) {
        return RunInstallCheck(form, options.installCheck);
    }
    if (options.page >= 0 || !options.screenshot.isEmpty())
        ScheduleScreenshot(form, options);
    return QApplication::exec();
}
