// Program entry: the application object, the main window and the event loop.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DemoMode.h"
#include "ui/ProgramPaths.h"
#include "ui/UnitMain.h"

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
} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const StartOptions options = ParseCommandLine(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(options.error));
        return 2;
    }
    SetProgramFolder(options.dataDir);
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
    if (options.page >= 0 || !options.screenshot.isEmpty())
        ScheduleScreenshot(form, options);
    return QApplication::exec();
}
