#include "app/InstallCheck.h"

#include "ui/Dialogs.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <cstdio>
#include <functional>

namespace {

constexpr int Patience = 60000; // ms; a loaded machine is slow, a hung one fails

// Answers as a user would: Yes to reading the configuration, OK to reports,
// and the file name in the folder the save dialog offers.
class CheckDialogs : public IDialogs {
  public:
    explicit CheckDialogs(QString fileName) : fileName_(std::move(fileName)) {}
    TModalResult MessageDlg(const QString& text, TMsgDlgType, TMsgDlgButtons buttons) override {
        messages.append(text);
        return buttons.testFlag(mbYes) ? mrYes : mrOK;
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(FileDialogRequest&) override { return false; }
    bool SaveFileDialog(FileDialogRequest& request) override {
        offeredFolder = request.initialDir;
        request.fileName = request.initialDir + fileName_;
        return true;
    }
    QStringList messages;
    QString offeredFolder;

  private:
    QString fileName_;
};

bool WaitFor(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(Patience);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

int Fail(const QString& reason) {
    Say(QStringLiteral("install check: failed: ") + reason);
    return 1;
}

int CheckSteps(TFormMain& form, CheckDialogs& dialogs, const QString& fileName);

} // namespace

int RunInstallCheck(TFormMain& form, const QString& fileName) {
    CheckDialogs dialogs(fileName);
    SetDialogs(&dialogs);
    const int result = CheckSteps(form, dialogs, fileName);
    form.close(); // the unsent edit is given up without a person to ask
    SetDialogs(nullptr);
    // What the user would have read, one line each.
    for (QString message : dialogs.messages)
        Say(QStringLiteral("message: ") + message.replace(u'\n', QStringLiteral(" | ")));
    return result;
}

namespace {

int CheckSteps(TFormMain& form, CheckDialogs& dialogs, const QString& fileName) {
    if (!WaitFor([&form] { return form.isVisible() && !form.SilentControlsEventsGLOB; }))
        return Fail(QStringLiteral("start-up did not complete"));
    Say(QStringLiteral("start-up: complete"));
    Say(QStringLiteral("program folder: ") + ProgramFolder());
    Say(QStringLiteral("data folder: ") + DataFolder());

    if (!WaitFor([&form] { return form.SerialConnectedGLOB && form.PCBVersionGLOB != 0; }))
        return Fail(QStringLiteral("the GCU was not found or its configuration not read"));
    Say(QStringLiteral("configuration read: PCB version %1").arg(form.PCBVersionGLOB));

    auto& power =
        form.Control<TSpinEdit>(QStringLiteral("SEUpShiftActuationMainLoadActuationPower"));
    const int entriesBefore = form.Sequence.Count();
    power.SetValue(power.Value() == power.MaxValue() ? power.Value() - 1 : power.Value() + 1);
    if (form.Sequence.Count() != entriesBefore + 1 || form.Sequence[1].Status != QLatin1String("M"))
        return Fail(QStringLiteral("the edit was not captured"));
    Say(QStringLiteral("edit captured: ") + form.Sequence[1].Command + u' ' +
        form.Sequence[1].Status);

    form.Control<TButton>(QStringLiteral("BSaveConfig")).Click();
    const QString saved = dialogs.offeredFolder + fileName;
    if (dialogs.offeredFolder.isEmpty() || !QFileInfo(saved).isFile() ||
        QFileInfo(saved).size() == 0)
        return Fail(QStringLiteral("Save Config. wrote nothing"));
    Say(QStringLiteral("saved: ") + saved);
    Say(QStringLiteral("install check: passed"));
    return 0;
}

} // namespace
