// The "Firmware Update" button: an image is picked from FW/ and written into
// the GCU by avrdude. The run itself (image check, question, working folder,
// avrdude, reports, clean-up) is the FirmwareUpdater's; the window supplies
// the question, the firmware page with avrdude's output, the link closed and
// reopened on the same port, the hourglass and the message boxes.
#include "device/ConnectionRules.h"
#include "device/FirmwareProgrammer.h"
#include "device/FirmwareUpdate.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScopedValueRollback>
#include <QTimer>
#include <utility>

namespace {
const QString FirmwareButtonName = QStringLiteral("BRecoveryFirmwareUpdate");
const QString FirmwarePageName = QStringLiteral("TSFirmwareUpdate");
const QString RecoveryPageName = QStringLiteral("TSRecovery");
const QString PageControlName = QStringLiteral("PCMain");
const QString ProgressMemoName = QStringLiteral("MemoFirmwareUpdate");
const QString ConnectButtonName = QStringLiteral("BSerialCommunicationConnectDisconnect");
const QString PortBoxName = QStringLiteral("CBSerialCommunicationComPort");
// Holds the port box and the connect button.
const QString CommunicationGroupName = QStringLiteral("GBCommunication");

// avrdude prints a few hundred lines; a runaway program cannot fill the memory.
constexpr int MaxProgressLines = 5000;
// How long the reopened link is given for the GCU to boot and announce itself
// (the boot loader's pause included) before the report goes without it.
constexpr int AnnouncementWaitMs = 15000;

void ShowHourglass(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// The report of message N with the detail the update gives: the exit code of
// message 29 follows its text directly; a reason after a whole sentence
// (message 30) goes below it.
// The detail (an exit code and avrdude's last lines) is a list like any
// other: bounded, so that the box fits the screen.
QString FirmwareMessageText(const QString& message, const QString& rawDetail) {
    const QString detail = rawDetail.isEmpty() ? rawDetail : MessageList(rawDetail.split(u'\n'));
    if (detail.isEmpty() || message.isEmpty() || message.back().isSpace())
        return message + detail;
    return message + QStringLiteral("\n\n") + detail;
}
} // namespace

void TFormMain::BRecoveryFirmwareUpdateClick(QObject*) {
    if (firmwareUpdateRunning_ || !Control<TButton>(FirmwareButtonName).isEnabled())
        return;
    const QString image = ChooseFirmwareImage();
    if (image.isEmpty())
        return;
    const QString portName = PortBox::PortNameFromEntry(Control<TComboBox>(PortBoxName).Text());
    FirmwareUpdateSettings settings = FirmwareUpdateOptions;
    if (settings.programFolder.isEmpty())
        settings.programFolder = DataFolder();
    firmwareUpdateRunning_ = true;
    struct RunningEnds {
        bool& flag;
        ~RunningEnds() { flag = false; }
    } runningEnds{firmwareUpdateRunning_};
    FirmwareUpdater updater(std::move(settings), FirmwareWindowHooks());
    updater.Run(QFileInfo(image).absoluteFilePath(), portName);
}

// The open dialog in FW/ below the data folder; empty when cancelled.
QString TFormMain::ChooseFirmwareImage() {
    OpenDialog->Title.clear();
    OpenDialog->InitialDir = FirmwareFolder(DataFolder());
    OpenDialog->Filter = kFirmwareDialogFilter;
    OpenDialog->DefaultExt = kFirmwareDefaultExtension;
    OpenDialog->FileName.clear();
    return OpenDialog->Execute() ? OpenDialog->FileName : QString();
}

FirmwareUpdateHooks TFormMain::FirmwareWindowHooks() {
    FirmwareUpdateHooks hooks;
    hooks.confirmUpdate = [this](const QString& imagePath) {
        const QString question = TranslateString(Msg::FirmwareConfirmBefore) +
                                 QDir::toNativeSeparators(imagePath) +
                                 TranslateString(Msg::FirmwareConfirmAfter);
        return AskYesNo(question, TMsgDlgType::mtWarning) && KeepUnitBeforeFirmwareUpdate();
    };
    hooks.showFirmwarePage = [this] { ShowFirmwarePage(true); };
    hooks.hideFirmwarePage = [this] { ShowFirmwarePage(false); };
    hooks.closeLink = [this] { CloseLinkForFirmwareUpdate(); };
    hooks.reopenLink = [this](const QString& portName) { ReopenLinkAfterFirmwareUpdate(portName); };
    hooks.showProgress = [this](const QString& chunk) { ShowFirmwareProgress(chunk); };
    hooks.setBusy = ShowHourglass;
    hooks.showMessage = [this](int messageNumber, const FirmwareFailure& failure) {
        // The exit code, then why in the program's words and in avrdude's.
        QStringList lines;
        if (failure.reason)
            lines << PhraseText(*failure.reason);
        lines << failure.programmerLines;
        QString detail = failure.exitCode ? QString::number(*failure.exitCode) : QString();
        if (!detail.isEmpty() && !lines.isEmpty())
            detail += QStringLiteral("\n\n");
        ShowMessage(FirmwareMessageText(TranslateString(messageNumber), detail + lines.join(u'\n')),
                    TMsgDlgType::mtWarning);
    };
    hooks.announcedVersion = [this] { return Session.AnnouncedFirmware(); };
    hooks.awaitAnnouncedVersion = [this] { return AwaitAnnouncedFirmware(); };
    hooks.showSuccess = [this](const FirmwareUpdateResult& result) { ShowFirmwareResult(result); };
    return hooks;
}

// The GCU resets when the port opens and announces itself after its boot
// loader's pause; the window stays live meanwhile (auto-connect included, for
// a board whose port came back under another name).
QString TFormMain::AwaitAnnouncedFirmware() {
    if (Session.AnnouncedFirmware().isEmpty()) {
        QEventLoop wait;
        QTimer check;
        connect(&check, &QTimer::timeout, &wait, [this, &wait] {
            if (!Session.AnnouncedFirmware().isEmpty())
                wait.quit();
        });
        check.start(50);
        QTimer::singleShot(AnnouncementWaitMs, &wait, &QEventLoop::quit);
        ShowHourglass(true);
        wait.exec();
        ShowHourglass(false);
    }
    // The offer to read the configuration follows the report, not the other
    // way round.
    offerToReadAfterFirmwareReport_ = TimerConnection->Enabled();
    TimerConnection->SetEnabled(false);
    return Session.AnnouncedFirmware();
}

void TFormMain::ShowFirmwareResult(const FirmwareUpdateResult& result) {
    QStringList lines;
    bool certain = true;
    if (result.bytesWritten)
        lines << TranslateString(Msg::FirmwareBytesWritten).arg(*result.bytesWritten);
    else
        lines << TranslateString(Msg::FirmwareBytesNotReported);
    if (result.bytesVerified) {
        lines << TranslateString(Msg::FirmwareBytesVerified).arg(*result.bytesVerified);
    } else {
        lines << TranslateString(Msg::FirmwareNotVerified);
        certain = false;
    }
    const QString before = result.versionBefore.isEmpty()
                               ? TranslateString(Msg::FirmwareVersionUnknown)
                               : result.versionBefore;
    if (result.versionAfter.isEmpty()) {
        lines << TranslateString(Msg::FirmwareVersionBeforeOnly).arg(before);
        certain = false;
    } else {
        lines << TranslateString(Msg::FirmwareVersionBeforeAfter).arg(before, result.versionAfter);
    }
    ShowMessage(TranslateString(Msg::FirmwareUpdated) + QStringLiteral("\n\n") + lines.join(u'\n'),
                certain ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning);
    if (std::exchange(offerToReadAfterFirmwareReport_, false))
        TimerConnection->SetEnabled(true);
}

void TFormMain::ShowFirmwarePage(bool shown) {
    auto& page = Control<TTabSheet>(FirmwarePageName);
    auto& pages = Control<TPageControl>(PageControlName);
    if (shown) {
        Control<TMemo>(ProgressMemoName).Clear();
        firmwareOutputEndsWithCR_ = false;
        page.SetTabVisible(true);
        pages.SetActivePage(&page);
        return;
    }
    page.SetTabVisible(false);
    pages.SetActivePage(&Control<TTabSheet>(RecoveryPageName));
}

// While avrdude has the port, neither the user nor auto-connect may open it:
// the port box and the connect button stay out of reach until the link is
// reopened.
void TFormMain::CloseLinkForFirmwareUpdate() {
    Control<TGroupBox>(CommunicationGroupName).setEnabled(false);
    if (Control<TButton>(ConnectButtonName).Tag() == 0)
        return;
    BSerialCommunicationConnectDisconnectClick(&Control<TButton>(ConnectButtonName));
    // What the GCU announces after the update is awaited afresh.
    Session.ForgetAnnouncedFirmware();
}

// Once the update is confirmed, while the link is open: the unit's settings
// are kept in a restore point first (live mode is stopped for the reading),
// and the unit stays the same unit after the update. A unit that cannot be
// read is updated without a point only when the user says so.
bool TFormMain::KeepUnitBeforeFirmwareUpdate() {
    if (Control<TButton>(ConnectButtonName).Tag() == 0)
        return true;
    auto& live = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    if (live.Checked())
        live.SetChecked(false); // its handler stops the stream
    RestorePointKeeper::FirmwarePoint point = RestorePointKeeper::FirmwarePoint::NotRead;
    {
        // A unit that cannot be read is told in the question below.
        const QScopedValueRollback<bool> quiet(pointFailuresQuiet_, true);
        point = PointKeeper().BeforeFirmwareUpdate();
    }
    if (point != RestorePointKeeper::FirmwarePoint::NotRead) {
        if (point == RestorePointKeeper::FirmwarePoint::NotWritten)
            TellPointFailure(PointKeeper().LastFailure());
        return true;
    }
    const QStringList parts = TranslateString(Msg::FirmwareWithoutPoint).split(u'|');
    return AskYesNo(parts.value(0) + u' ' + PhraseText(PointKeeper().LastFailure()) +
                        QStringLiteral("\n\n") + parts.value(1),
                    TMsgDlgType::mtWarning);
}

// The connect branch opens the port the box still shows. A port that is gone
// left the box on "AUTO CONNECT", and auto-connect finds the board again.
void TFormMain::ReopenLinkAfterFirmwareUpdate(const QString& portName) {
    Control<TGroupBox>(CommunicationGroupName).setEnabled(true);
    if (Control<TButton>(ConnectButtonName).Tag() != 0)
        return;
    const QString shown = Control<TComboBox>(PortBoxName).Text();
    if (PortBox::PortNameFromEntry(shown) != portName)
        return;
    BSerialCommunicationConnectDisconnectClick(&Control<TButton>(ConnectButtonName));
}

// avrdude's output as a terminal would show it line by line: "\r\n" and a
// lone "\r" end a line as "\n" does, also when a piece ends between the two.
void TFormMain::ShowFirmwareProgress(const QString& chunk) {
    QString text = chunk;
    if (firmwareOutputEndsWithCR_ && text.startsWith(u'\n'))
        text.remove(0, 1);
    if (!chunk.isEmpty())
        firmwareOutputEndsWithCR_ = chunk.endsWith(u'\r');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    auto& memo = Control<TMemo>(ProgressMemoName);
    memo.moveCursor(QTextCursor::End);
    memo.insertPlainText(text);
    memo.ensureCursorVisible();
}

bool TFormMain::FirmwareUpdateRunning() const {
    return firmwareUpdateRunning_;
}

void TFormMain::WireFirmwareHandlers() {
    AttachHandler(FirmwareButtonName, &TFormMain::BRecoveryFirmwareUpdateClick);
    auto& memo = Control<TMemo>(ProgressMemoName);
    memo.setReadOnly(true);
    memo.setMaximumBlockCount(MaxProgressLines);
    memo.setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(memo.font().pixelSize() > 0 ? memo.font().pixelSize() : 11);
    memo.setFont(fixed);
}
