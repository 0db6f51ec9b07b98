// The "Firmware Update" button in the real window, connected to the simulated
// GCU: with a stand-in avrdude (a shell script that records what it was given
// and ends with a chosen exit code) for success, failure and what the window
// shows while it runs; a corrupt image refused before the link is touched; and
// Debian's avrdude writing an image through the simulated GCU's boot loader.
#include "app/DemoMode.h"
#include "device/FirmwareUpdate.h"
#include "gcusim/GcuSimulator.h"
#include "gcusim/IntelHex.h"
#include "model/RestorePoints.h"
#include "support/FirmwareImages.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTexts.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

namespace {
constexpr int Patience = 20000; // ms; generous for a loaded machine
const QString SystemAvrdude = QStringLiteral("/usr/bin/avrdude");

bool WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

using qvtest::SmallImage;

class FirmwareUpdateInWindow : public ::testing::Test {
  protected:
    void SetUpWindow(int bootWindowMs) {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath(QStringLiteral("CFG"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                                dataDir.filePath(QStringLiteral("CFG/Commands.CSV"))));
        SetProgramFolder(dataDir.path());
        SetUserDataFolder(userDir.path());
        GcuSimulatorOptions options;
        options.commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");
        options.stateFile = dataDir.filePath(QStringLiteral("gcu-state.txt"));
        options.bootWindowMs = bootWindowMs;
        gcu = std::make_unique<GcuSimulator>(options);
        port = gcu->start();
        qputenv("GCU_EXTRA_PORTS",
                ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
        form = std::make_unique<TFormMain>();
        form->FirmwareUpdateOptions.workFolderParent = workParent.path();
        form->show();
        FillTranslationTableFromFolder(
            form->Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
            QStringLiteral(QV_SOURCE_DIR "/translation/texts"));
        // Auto-connect finds the simulated GCU; the offer to read is declined.
        dialogs.messageAnswers.push_back(mrNo);
        ASSERT_TRUE(QTest::qWaitFor([this] { return Connected(); }, Patience));
        ASSERT_TRUE(QTest::qWaitFor([this] { return TimesAsked(4) == 1; }, Patience));
        connectedEntry = PortBox().Text();
        ASSERT_EQ(gcu->PortOpenCount(), 1);
    }
    void TearDown() override {
        if (form)
            form->close();
        form.reset();
        if (gcu)
            gcu->stop();
        qunsetenv("GCU_EXTRA_PORTS");
        SetProgramFolder(QString());
        SetUserDataFolder(QString());
    }

    // The stand-in avrdude beside the program, with its configuration. It
    // records its arguments, working folder, the files there and the image,
    // prints a progress line redrawn with a carriage return and ten numbered
    // lines, and ends with ExitCode. With WaitForGo it first says "waiting
    // for go" and waits until the test creates the file "go".
    void InstallStandIn(int exitCode, bool waitForGo = false) {
        const QString wait =
            waitForGo ? QStringLiteral("echo 'waiting for go'\n"
                                       "n=0\n"
                                       "while [ ! -e \"$rec/go\" ] && [ $n -lt 400 ]; do\n"
                                       "  sleep 0.05; n=$((n+1))\n"
                                       "done\n")
                      : QString();
        const QString script = QStringLiteral("#!/bin/sh\n"
                                              "rec='%1'\n"
                                              "printf '%s\\n' \"$@\" > \"$rec/args\"\n"
                                              "pwd > \"$rec/cwd\"\n"
                                              "ls -1 > \"$rec/files\"\n"
                                              "cp FW.HEX \"$rec/image\"\n"
                                              "%2"
                                              "printf 'Writing 50%%\\rWriting 100%%\\r\\n'\n"
                                              "echo 'avrdude: 300 bytes of flash written'\n"
                                              "echo 'avrdude: 300 bytes of flash verified'\n"
                                              "i=1\n"
                                              "while [ $i -le 10 ]; do\n"
                                              "  echo \"stand-in line $i\"; i=$((i+1))\n"
                                              "done\n"
                                              "exit %3\n")
                                   .arg(record.path(), wait)
                                   .arg(exitCode);
        const QString program = dataDir.filePath(QStringLiteral("FW/avrdude/avrdude"));
        ASSERT_TRUE(WriteFile(program, script.toUtf8()));
        QFile(program).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(WriteFile(dataDir.filePath(QStringLiteral("FW/avrdude/avrdude.conf")),
                              "# stand-in configuration\n"));
    }
    QString Recorded(const char* name) const {
        return QString::fromUtf8(ReadFile(record.filePath(QLatin1String(name)))).trimmed();
    }
    QString WriteImage(const QByteArray& hex) {
        const QString path = dataDir.filePath(QStringLiteral("FW/Update.HEX"));
        EXPECT_TRUE(WriteFile(path, hex));
        return path;
    }
    // Picks Image in the open dialog; Confirm answers the question.
    void ClickUpdate(const QString& image, TModalResult confirm = mrYes) {
        dialogs.fileAnswers.push_back(image);
        dialogs.messageAnswers.push_back(confirm);
        UpdateButton().Click();
    }

    TButton& UpdateButton() const {
        return form->Control<TButton>(QStringLiteral("BRecoveryFirmwareUpdate"));
    }
    TButton& ConnectButton() const {
        return form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
    }
    TComboBox& PortBox() const {
        return form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"));
    }
    TTabSheet& FirmwarePage() const {
        return form->Control<TTabSheet>(QStringLiteral("TSFirmwareUpdate"));
    }
    TTabSheet* ActivePage() const {
        return form->Control<TPageControl>(QStringLiteral("PCMain")).ActivePage();
    }
    TMemo& ProgressMemo() const {
        return form->Control<TMemo>(QStringLiteral("MemoFirmwareUpdate"));
    }
    bool Connected() const { return ConnectButton().Tag() == 1; }
    const ScriptedDialogs::Question* Asked(int message) const {
        const QString text = form->TranslateString(message);
        for (const auto& question : dialogs.asked)
            if (question.kind == QLatin1String("message") && question.text.startsWith(text))
                return &question;
        return nullptr;
    }
    int TimesAsked(int message) const {
        const QString text = form->TranslateString(message);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text.startsWith(text); }));
    }
    // After every run that got as far as avrdude: the page is gone, the
    // Recovery page shows, the working folder is removed and the link is open
    // again on the same port.
    // The working folders are made in WorkParent only.
    void ExpectEndStepsDone(int portOpens = 2) const {
        EXPECT_FALSE(FirmwarePage().TabVisible());
        EXPECT_EQ(ActivePage(), &form->Control<TTabSheet>(QStringLiteral("TSRecovery")));
        EXPECT_TRUE(QDir(workParent.path()).isEmpty());
        EXPECT_TRUE(Connected());
        EXPECT_EQ(PortBox().Text(), connectedEntry);
        // The simulated GCU notices an open on its own thread.
        EXPECT_TRUE(QTest::qWaitFor([&] { return gcu->PortOpenCount() == portOpens; }, Patience))
            << gcu->PortOpenCount();
        EXPECT_TRUE(form->Control<TGroupBox>(QStringLiteral("GBCommunication")).isEnabled());
        EXPECT_TRUE(UpdateButton().isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    QTemporaryDir dataDir;
    QTemporaryDir userDir; // the per-user data folder: restore points
    QTemporaryDir workParent;
    QTemporaryDir record;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<GcuSimulator> gcu;
    QString port;
    QString connectedEntry;
    std::unique_ptr<TFormMain> form;
};

class FirmwareUpdateWithStandIn : public FirmwareUpdateInWindow {
  protected:
    void SetUp() override { SetUpWindow(200); }
};

// ------------------------------------------------------------------ stand-in avrdude

TEST_F(FirmwareUpdateWithStandIn, success_runsAvrdudeOnTheLinksPort_reportsAndReconnects) {
    InstallStandIn(0);
    const QByteArray hex = SmallImage();
    const QString image = WriteImage(hex);
    ClickUpdate(image);

    const auto* question = Asked(Msg::FirmwareConfirmBefore);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->type, TMsgDlgType::mtWarning);
    EXPECT_EQ(question->text, form->TranslateString(Msg::FirmwareConfirmBefore) + image +
                                  form->TranslateString(Msg::FirmwareConfirmAfter));
    const auto* report = Asked(Msg::FirmwareUpdated);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->type, TMsgDlgType::mtInformation);
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdateFailed), 0);
    // What was written and verified, and the version announced before and after.
    EXPECT_EQ(report->text,
              form->TranslateString(Msg::FirmwareUpdated) + "\n\n" +
                  form->TranslateString(Msg::FirmwareBytesWritten).arg(300) + '\n' +
                  form->TranslateString(Msg::FirmwareBytesVerified).arg(300) + '\n' +
                  form->TranslateString(Msg::FirmwareVersionBeforeAfter).arg("5.0.9", "5.0.9"));
    // The offer to read the configuration of the reconnected GCU comes after the report.
    const size_t reportAt = size_t(report - dialogs.asked.data());
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return TimesAsked(Msg::OfferToReadConfig) == 2; }, Patience));
    const auto offerAfterReport = std::find_if(
        dialogs.asked.begin() + qsizetype(reportAt), dialogs.asked.end(),
        [&](const auto& q) { return q.text == form->TranslateString(Msg::OfferToReadConfig); });
    EXPECT_NE(offerAfterReport, dialogs.asked.end());

    const QString workFolder = Recorded("cwd");
    EXPECT_TRUE(workFolder.startsWith(workParent.path())) << workFolder.toStdString();
    const QStringList expectedArguments{"-C",
                                        workFolder + "/avrdude.conf",
                                        "-v",
                                        "-p",
                                        "atmega2560",
                                        "-c",
                                        "wiring",
                                        "-P",
                                        port,
                                        "-b115200",
                                        "-D",
                                        "-U",
                                        "flash:w:FW.HEX:i"};
    EXPECT_EQ(Recorded("args").split(u'\n'), expectedArguments);
    QStringList files = Recorded("files").split(u'\n');
    files.sort();
    EXPECT_EQ(files, QStringList({"FW.HEX", "avrdude.conf"}));
    EXPECT_EQ(ReadFile(record.filePath(QStringLiteral("image"))), hex);
    ExpectEndStepsDone();

    // avrdude's output stays on the page, line by line.
    const QString shown = ProgressMemo().toPlainText();
    EXPECT_FALSE(shown.contains(u'\r'));
    EXPECT_TRUE(shown.contains(
        QStringLiteral("Writing 50%\nWriting 100%\navrdude: 300 bytes of flash written\n")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("stand-in line 10"))) << shown.toStdString();
}

TEST_F(FirmwareUpdateWithStandIn, failure_reportsExitCodeAndLastLines_andStillReconnects) {
    InstallStandIn(3);
    ClickUpdate(WriteImage(SmallImage()));

    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 0);
    const auto* report = Asked(Msg::FirmwareUpdateFailed);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->type, TMsgDlgType::mtWarning);
    const QString detail = report->text.mid(form->TranslateString(29).size());
    EXPECT_TRUE(detail.startsWith(QStringLiteral("3\n\n"))) << detail.toStdString();
    // The last eight lines that say something, oldest first.
    EXPECT_TRUE(detail.endsWith(QStringLiteral("stand-in line 3\nstand-in line 4\nstand-in line 5\n"
                                               "stand-in line 6\nstand-in line 7\nstand-in line "
                                               "8\nstand-in line 9\nstand-in line 10")))
        << detail.toStdString();
    EXPECT_FALSE(detail.contains(QStringLiteral("line 2\n")));
    ExpectEndStepsDone();
}

// While avrdude has the port, the firmware page shows and nothing may reopen
// the link: the port box and the connect button are out of reach (so the box
// cannot be turned to auto-connect either) and the window does not close.
TEST_F(FirmwareUpdateWithStandIn, whileAvrdudeRuns_pageShownLinkClosedAndKeptClosed) {
    InstallStandIn(0, true);
    struct {
        bool seen = false;
        bool pageShownAndActive = false;
        bool linkClosed = false;
        bool communicationDisabled = false;
        bool hourglass = false;
        bool stillVisibleAfterClose = false;
        bool closeRefusalExplained = false;
    } during;
    QObject::connect(&ProgressMemo(), &QPlainTextEdit::textChanged, form.get(), [&] {
        if (during.seen || !ProgressMemo().toPlainText().contains(QStringLiteral("waiting for go")))
            return;
        during.seen = true;
        during.pageShownAndActive = FirmwarePage().TabVisible() && ActivePage() == &FirmwarePage();
        during.linkClosed = !Connected() && !gcu->IsPortOpen() && !form->SerialConnectedGLOB;
        during.communicationDisabled =
            !form->Control<TGroupBox>(QStringLiteral("GBCommunication")).isEnabled() &&
            !PortBox().isEnabled() && !ConnectButton().isEnabled();
        during.hourglass = QApplication::overrideCursor() != nullptr;
        form->close();
        during.stillVisibleAfterClose = form->isVisible();
        during.closeRefusalExplained = TimesAsked(Msg::CloseDuringFirmwareUpdate) == 1;
        WriteFile(record.filePath(QStringLiteral("go")), "go");
    });
    ClickUpdate(WriteImage(SmallImage()));

    ASSERT_TRUE(during.seen);
    EXPECT_TRUE(during.pageShownAndActive);
    EXPECT_TRUE(during.linkClosed);
    EXPECT_TRUE(during.communicationDisabled);
    EXPECT_TRUE(during.hourglass);
    EXPECT_TRUE(during.stillVisibleAfterClose);
    EXPECT_TRUE(during.closeRefusalExplained);
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 1);
    ExpectEndStepsDone();
}

// Nothing is asked, closed or run for a corrupt image, a cancelled dialog, a
// No to the question or a closed link.
// ------------------------------------------------------------------ restore point first

// The configuration was not read on connecting: the unit is read silently
// while the link is still open, and its values are kept before avrdude runs.
TEST_F(FirmwareUpdateWithStandIn, beforeAvrdudeRuns_aPointOfTheUnitsSettingsIsTaken) {
    InstallStandIn(0);
    const int framesBefore = gcu->FramesReceived();
    ClickUpdate(WriteImage(SmallImage()));
    ASSERT_NE(Asked(Msg::FirmwareUpdated), nullptr);
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 0);
    EXPECT_EQ(gcu->ReceivedFrames().mid(framesBefore).value(0).trimmed(), "[INVPARAM 1]");

    // The unit seen first is named without a question, in a folder of its own.
    const RestorePointStore store(UnitsFolder(userDir.path()) + "/unit-0001");
    const QVector<RestorePointInfo> points = store.List();
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0].reason, RestoreReason::BeforeFirmwareUpdate);
    const auto read = store.Read(points[0]);
    EXPECT_TRUE(read.intact);
    EXPECT_GT(read.records.size(), 100);
    for (const TCommandRecord& record : read.records)
        EXPECT_EQ(record.ActualValueFW, gcu->ParameterById(record.ID))
            << record.Command.toStdString();
    // Written before avrdude started.
    const QDateTime avrdudeStarted = QFileInfo(record.filePath("args")).lastModified();
    EXPECT_LE(QFileInfo(store.SideFilePath(points[0])).lastModified(), avrdudeStarted);
    // Nothing was left in the controls: the download was not shown.
    EXPECT_EQ(form->PCBVersionGLOB, 0);
    ExpectEndStepsDone();
}

TEST_F(FirmwareUpdateWithStandIn,
       pointsThatCannotBeWritten_oneMessagePerConnection_theUpdateStillRuns) {
    QFile blocker(UnitsFolder(userDir.path())); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    InstallStandIn(0);
    ClickUpdate(WriteImage(SmallImage()));
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 1);
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 1);
    ExpectEndStepsDone();
    // The link was reopened after the first update: the same cause is told
    // once on this connection too.
    ClickUpdate(WriteImage(SmallImage()));
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 2);
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 2);
}

// A unit that cannot be read for the point before the update: the update
// goes on without a point only when the user says so, told why.
TEST_F(FirmwareUpdateWithStandIn, unitThatCannotBeRead_updatedWithoutAPointOnlyWhenTheUserSaysSo) {
    InstallStandIn(0);
    GcuFaultOptions faults;
    faults.dumpUnanswered = true;
    gcu->SetFaults(faults);
    const QString start = form->TranslateString(Msg::FirmwareWithoutPoint).section(u'|', 0, 0);
    const auto askedWithoutPoint = [&] {
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&](const auto& q) { return q.text.startsWith(start); }));
    };
    dialogs.fileAnswers.push_back(WriteImage(SmallImage()));
    dialogs.messageAnswers = {mrYes, mrNo}; // the update; no update without a point
    UpdateButton().Click();
    ASSERT_EQ(askedWithoutPoint(), 1);
    const auto question = std::find_if(dialogs.asked.begin(), dialogs.asked.end(),
                                       [&](const auto& q) { return q.text.startsWith(start); });
    EXPECT_TRUE(question->text.contains(form->TranslateString(Msg::PhraseGcuSentNoConfiguration)))
        << question->text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(record.filePath(QStringLiteral("args"))));
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 0);
    EXPECT_TRUE(Connected());
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 0); // said in the question

    dialogs.fileAnswers.push_back(WriteImage(SmallImage()));
    dialogs.messageAnswers = {mrYes, mrYes}; // the update; without a point
    UpdateButton().Click();
    EXPECT_EQ(askedWithoutPoint(), 2);
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated), 1);
    EXPECT_TRUE(QFileInfo::exists(record.filePath(QStringLiteral("args"))));
    EXPECT_TRUE(
        QDir(UnitsFolder(userDir.path())).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    ExpectEndStepsDone();
}

TEST_F(FirmwareUpdateWithStandIn, refusedOrCancelled_leavesLinkOpenAndAvrdudeUnstarted) {
    InstallStandIn(0);
    QByteArray corrupt = SmallImage();
    corrupt[10] = corrupt[10] == 'A' ? 'B' : 'A'; // a data digit: the checksum no longer fits
    ClickUpdate(WriteImage(corrupt));
    const auto* refusal = Asked(Msg::FirmwareImageInvalid);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->type, TMsgDlgType::mtWarning);
    EXPECT_TRUE(refusal->text.contains(QStringLiteral("line 1: checksum error")))
        << refusal->text.toStdString();
    EXPECT_EQ(TimesAsked(Msg::FirmwareConfirmBefore), 0);
    dialogs.messageAnswers.clear(); // the answer meant for the question was not used

    const auto openQuestion = std::find_if(dialogs.asked.begin(), dialogs.asked.end(),
                                           [](const auto& q) { return q.kind == "open"; });
    ASSERT_NE(openQuestion, dialogs.asked.end());
    EXPECT_TRUE(openQuestion->text.startsWith(QStringLiteral("Quarventa Firmware File")));
    EXPECT_TRUE(openQuestion->text.contains(QStringLiteral("*.HEX")));
    EXPECT_EQ(QDir(form->OpenDialog->InitialDir), QDir(dataDir.filePath(QStringLiteral("FW"))));
    EXPECT_EQ(form->OpenDialog->DefaultExt, QStringLiteral("HEX"));

    ClickUpdate(QString()); // the dialog is cancelled
    dialogs.messageAnswers.clear();
    ClickUpdate(WriteImage(SmallImage()), mrNo);
    EXPECT_EQ(TimesAsked(Msg::FirmwareConfirmBefore), 1);

    EXPECT_FALSE(QFileInfo::exists(record.filePath(QStringLiteral("args"))));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(gcu->PortOpenCount(), 1);
    EXPECT_FALSE(FirmwarePage().TabVisible());
    EXPECT_TRUE(QDir(workParent.path()).isEmpty());
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdated) + TimesAsked(Msg::FirmwareUpdateFailed), 0);

    // With the link closed the button does nothing.
    ConnectButton().Click();
    ASSERT_FALSE(Connected());
    const size_t askedBefore = dialogs.asked.size();
    UpdateButton().Click();
    EXPECT_EQ(dialogs.asked.size(), askedBefore);
}

// ------------------------------------------------------------------ Debian's avrdude

class FirmwareUpdateWithAvrdude : public FirmwareUpdateInWindow {
  protected:
    void SetUp() override {
        if (!QFileInfo::exists(SystemAvrdude))
            GTEST_SKIP() << SystemAvrdude.toStdString() << " is not installed";
        SetUpWindow(1000);
    }
};

TEST_F(FirmwareUpdateWithAvrdude, imageWrittenAndVerifiedThroughBootLoader_thenReconnected) {
    std::vector<uint8_t> bytes;
    const QString image = WriteImage(SmallImage(&bytes, "5.1.0"));
    QElapsedTimer run;
    run.start();
    ClickUpdate(image);
    const qint64 elapsedMs = run.elapsed();
    std::cout << "[ measured ] firmware update with avrdude: " << elapsedMs << " ms\n";
    RecordProperty("updateMs", int(elapsedMs));

    const QString shown = ProgressMemo().toPlainText();
    ASSERT_EQ(TimesAsked(Msg::FirmwareUpdated), 1) << shown.toStdString();
    EXPECT_EQ(TimesAsked(Msg::FirmwareUpdateFailed), 0);
    EXPECT_TRUE(shown.contains(QStringLiteral("300 bytes of flash verified")))
        << shown.toStdString();
    EXPECT_EQ(gcu->BootLoaderSessions(), 1);
    const std::vector<uint8_t> flash = gcu->FlashImage();
    ASSERT_GE(flash.size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin()));
    EXPECT_EQ(flash[bytes.size()], 0xFF);

    ExpectEndStepsDone(3); // opened by the window, avrdude, the window again
    // The reopened link reached the freshly programmed GCU, which announced
    // the version the image carries; the report says so, with avrdude's count
    // of the bytes it wrote and read back.
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LFirmwareVersion")).Caption(), "5.1.0");
    const auto* report = Asked(Msg::FirmwareUpdated);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->type, TMsgDlgType::mtInformation);
    for (const QString& line :
         {form->TranslateString(Msg::FirmwareBytesWritten).arg(300),
          form->TranslateString(Msg::FirmwareBytesVerified).arg(300),
          form->TranslateString(Msg::FirmwareVersionBeforeAfter).arg("5.0.9", "5.1.0")})
        EXPECT_TRUE(report->text.contains(line)) << report->text.toStdString();
}

} // namespace
