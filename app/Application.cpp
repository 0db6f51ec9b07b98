#include "app/Application.h"

#include "util/BuildInfo.h"

#include "ui/ErrorReport.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application title, shown on message boxes. Not the display name,
    // which the platform would append to the window caption.
    setApplicationName(QLatin1String(BuildInfo::ApplicationName));
    setApplicationVersion(QLatin1String(BuildInfo::Version));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}
