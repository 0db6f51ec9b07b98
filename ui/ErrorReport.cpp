#include "ui/ErrorReport.h"

#include "ui/Dialogs.h"
#include "util/Exceptions.h"

#include <QString>

void ReportCurrentException() {
    QString text;
    try {
        throw;
    } catch (const QvException& error) {
        text = error.Message();
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    Dialogs().MessageDlg(text, TMsgDlgType::mtError, mbOK);
}

bool RunReported(const std::function<void()>& call) {
    try {
        call();
        return true;
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}
