// Calibration steps and output tests in the real window over a real serial
// port, against a scripted GCU on a pseudo-terminal that answers each frame as
// the test says: the frames of every step in order, the pause and restart of
// live mode around a step, an answer split over two pieces, an answer without
// a number, no answer, a closed port, and the frame of every output test.
#include "device/Calibration.h"
#include "device/DeviceFrames.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTexts.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
constexpr int Patience = 15000; // ms; generous for a loaded machine

// The GCU's end of a pseudo-terminal. Every frame the window sends is kept,
// and Answer decides what goes back; pieces given as a list are written one
// by one with a pause, so the window's port reads them as separate pieces.
class ScriptedGcu : public QObject {
  public:
    using Pieces = QList<QByteArray>;
    std::function<Pieces(const QByteArray& frame)> Answer = [](const QByteArray&) {
        return Pieces();
    };
    QList<QByteArray> frames;
    int pausePerPieceMs = 300; // more than the port's 100 ms poll

    ScriptedGcu() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        path_ = QString::fromLocal8Bit(ptsname(master_));
        // Held open so that the master never reads end-of-file between clients.
        slaveHold_ = ::open(path_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadFrames(); });
    }
    ~ScriptedGcu() override {
        delete notifier_;
        if (slaveHold_ >= 0)
            ::close(slaveHold_);
        if (master_ >= 0)
            ::close(master_);
    }
    QString Path() const { return path_; }
    void Write(const QByteArray& bytes) const {
        if (::write(master_, bytes.constData(), size_t(bytes.size())) != bytes.size())
            ADD_FAILURE() << "short write to the pseudo-terminal";
    }
    void WritePieces(const Pieces& pieces) {
        int delay = 0;
        for (const QByteArray& piece : pieces) {
            QTimer::singleShot(delay, this, [this, piece] { Write(piece); });
            delay += pausePerPieceMs;
        }
    }
    QList<QByteArray> FramesSince(int index) const { return frames.mid(index); }

  private:
    void ReadFrames() {
        char buffer[512];
        ssize_t count;
        while ((count = ::read(master_, buffer, sizeof buffer)) > 0)
            pending_.append(buffer, int(count));
        int end;
        while ((end = pending_.indexOf("\r\n")) >= 0) {
            const QByteArray frame = pending_.left(end + 2);
            pending_.remove(0, end + 2);
            frames.append(frame);
            WritePieces(Answer(frame));
        }
    }

    int master_ = -1;
    int slaveHold_ = -1;
    QString path_;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray pending_;
};

QByteArray StatusLine(int gear, int selector) {
    return QStringLiteral("*1&1&1&1&1&1&12.6&40&1.300&%1&100&0.500&1&1&35&%2#\r\n")
        .arg(gear)
        .arg(selector)
        .toLatin1();
}

class Calibration : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath(QStringLiteral("CFG"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                                dataDir.filePath(QStringLiteral("CFG/Commands.CSV"))));
        ASSERT_FALSE(gcu.Path().isEmpty());
        SetProgramFolder(dataDir.path());
        // Listed under a name that auto-connect does not look for.
        qputenv("GCU_EXTRA_PORTS",
                (gcu.Path() + QStringLiteral("=Scripted test unit")).toLocal8Bit());
        form = std::make_unique<TFormMain>();
        LinkExchange::Limits limits;
        limits.answer = std::chrono::milliseconds(3000);
        form->SetLinkLimits(limits);
        form->show();
        FillTranslationTableFromFolder(
            form->Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
            QStringLiteral(QV_SOURCE_DIR "/translation/texts"));
    }
    void TearDown() override {
        form->close();
        form.reset();
        qunsetenv("GCU_EXTRA_PORTS");
        SetProgramFolder(QString());
    }

    void Connect() {
        auto& ports = form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"));
        const int entry = int(ports.Items().indexOf(
            QRegularExpression(QRegularExpression::escape(gcu.Path()) + QStringLiteral("\\b.*"))));
        ASSERT_GT(entry, 0);
        ports.SetItemIndex(entry);
        form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Click();
        ASSERT_TRUE(form->SerialConnectedGLOB);
    }
    // Live mode on, with the scripted GCU streaming until it is told to stop.
    void StartLiveStream(int gear) {
        streamGear = gear;
        stream.setInterval(50);
        QObject::connect(&stream, &QTimer::timeout, &gcu,
                         [this] { gcu.Write(StatusLine(streamGear, 3)); });
        form->Control<TCheckBox>(QStringLiteral("CBLiveActive")).SetChecked(true);
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return Gear() == QString::number(streamGear); }, Patience));
    }
    // The GCU side of the stream: "[PRINTSTS 1]" starts it, "[PRINTSTS 0]" stops it.
    bool FollowStreamFrames(const QByteArray& frame) {
        if (frame == DeviceFrames::LiveStream(true))
            stream.start();
        else if (frame == DeviceFrames::LiveStream(false))
            stream.stop();
        else
            return false;
        return true;
    }
    QString Gear() const { return form->Control<TEdit>(QStringLiteral("ESerialLiveGear")).Text(); }
    void Click(const QString& button) { form->Control<TButton>(button).Click(); }
    int MessagesStartingWith(int number) const {
        const QString text = form->TranslateString(number);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text.startsWith(text); }));
    }
    QString ShownValue(const CalibrationStep& step) const {
        if (step.display == CalibrationDisplay::EditText)
            return form->Control<TEdit>(step.controlName).Text();
        return form->Control<TSpinEdit>(step.controlName).Text();
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    ScriptedGcu gcu;
    QTimer stream;
    int streamGear = 0;
    std::unique_ptr<TFormMain> form;
};

// ------------------------------------------------------------------ every step

TEST_F(Calibration, everyStepSendsTeachThenQueryAndStoresAndShowsTheAnswer) {
    Connect();
    double volts = 0.30;
    for (const CalibrationStep& step : CalibrationSteps()) {
        SCOPED_TRACE(step.buttonName.toStdString());
        volts += 0.25;
        const QByteArray answer = QByteArray::number(volts, 'f', 2) + "\r\n";
        gcu.Answer = [&](const QByteArray& frame) {
            return frame.contains('?') ? ScriptedGcu::Pieces{answer} : ScriptedGcu::Pieces{};
        };
        const int before = int(gcu.frames.size());
        Click(step.buttonName);
        const QList<QByteArray> expected{DeviceFrames::Frame(step.teachWord, QStringLiteral("0")),
                                         DeviceFrames::Query(step.queryWord)};
        EXPECT_EQ(gcu.FramesSince(before), expected);
        const TCommandRecord& row = form->Commands[step.row];
        EXPECT_DOUBLE_EQ(row.ActualValueFW, volts);
        EXPECT_NEAR(row.ActualValueSW, volts * 1000, 1e-6);
        EXPECT_EQ(row.Status, "A");
        EXPECT_EQ(ShownValue(step), QString::number(qRound(volts * 1000)));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(Calibration, barrelButtonsUseTheirGearLetterAndRow) {
    Connect();
    gcu.Answer = [](const QByteArray& frame) {
        return frame == "[SSOGMARN ?]\r\n" ? ScriptedGcu::Pieces{"2.35\r\n"}
                                           : ScriptedGcu::Pieces{};
    };
    Click(QStringLiteral("BGearDetectionBarrelPositionNSet"));
    EXPECT_EQ(gcu.frames, (QList<QByteArray>{"[SOGLMARN 0]\r\n", "[SSOGMARN ?]\r\n"}));
    EXPECT_DOUBLE_EQ(form->Commands[151].ActualValueFW, 2.35);
    EXPECT_EQ(form->Commands[151].Status, "A");
    EXPECT_EQ(form->Control<TSpinEdit>(QStringLiteral("SEGearDetectionBarrelPositionNMillivolts"))
                  .Value(),
              2350);
}

// ------------------------------------------------------------------ live mode around a step

TEST_F(Calibration, stepInLiveModePausesTheStreamAndRestartsIt) {
    Connect();
    gcu.Answer = [this](const QByteArray& frame) -> ScriptedGcu::Pieces {
        if (FollowStreamFrames(frame))
            return {};
        // A status line still in flight after the stop comes before the answer.
        if (frame == "[MAXVATPS ?]\r\n")
            return {StatusLine(5, 9) + "4.38\r\n"};
        return {};
    };
    StartLiveStream(2);
    const int before = int(gcu.frames.size());
    const quint64 linesBefore = form->LiveLinesShown();
    Click(QStringLiteral("BThrottlePositionSensorFullOpenSet"));
    // No line was shown during the step, the one in flight included.
    EXPECT_EQ(form->LiveLinesShown(), linesBefore);
    EXPECT_EQ(Gear(), "N"); // as live mode off shows it
    ASSERT_TRUE(QTest::qWaitFor([&] { return gcu.frames.size() >= before + 4; }, Patience));
    EXPECT_EQ(gcu.FramesSince(before), (QList<QByteArray>{"[PRINTSTS 0]\r\n", "[MAXVATPS 0]\r\n",
                                                          "[MAXVATPS ?]\r\n", "[PRINTSTS 1]\r\n"}));
    EXPECT_DOUBLE_EQ(form->Commands[108].ActualValueFW, 4.38);
    EXPECT_EQ(form->Control<TSpinEdit>(QStringLiteral("SEThrottlePositionSensorFullOpenMillivolts"))
                  .Text(),
              "4380");
    // Live mode is on again.
    EXPECT_TRUE(form->Control<TCheckBox>(QStringLiteral("CBLiveActive")).Checked());
    EXPECT_EQ(form->SerialRequestGLOB, RequestId::Live);
    streamGear = 4;
    EXPECT_TRUE(QTest::qWaitFor([this] { return Gear() == "4"; }, Patience));
}

// ------------------------------------------------------------------ answers

TEST_F(Calibration, answerSplitOverTwoPiecesGivesItsWholeValue) {
    Connect();
    gcu.Answer = [](const QByteArray& frame) {
        return frame.contains('?') ? ScriptedGcu::Pieces{"3.", "47\r\n"} : ScriptedGcu::Pieces{};
    };
    Click(QStringLiteral("BKartAxlePositionHighSet"));
    EXPECT_DOUBLE_EQ(form->Commands[160].ActualValueFW, 3.47);
    EXPECT_EQ(form->Control<TEdit>(QStringLiteral("EKartAxlePositionHighMillivolts")).Text(),
              "3470");
}

TEST_F(Calibration, answerWithoutNumberChangesNothingAndSaysSo) {
    Connect();
    gcu.Answer = [this](const QByteArray& frame) -> ScriptedGcu::Pieces {
        if (FollowStreamFrames(frame))
            return {};
        return frame.contains('?') ? ScriptedGcu::Pieces{"ERR\r\n"} : ScriptedGcu::Pieces{};
    };
    StartLiveStream(1);
    TSpinEdit& idle =
        form->Control<TSpinEdit>(QStringLiteral("SEThrottlePositionSensorIdleMillivolts"));
    const QString shownBefore = idle.Text();
    const TCommandRecord rowBefore = form->Commands[107];
    const int before = int(gcu.frames.size());
    Click(QStringLiteral("BThrottlePositionSensorIdleSet"));
    EXPECT_EQ(form->Commands[107].ActualValueFW, rowBefore.ActualValueFW);
    EXPECT_EQ(form->Commands[107].Status, rowBefore.Status);
    EXPECT_EQ(idle.Text(), shownBefore);
    ASSERT_EQ(MessagesStartingWith(Msg::BadCalibrationAnswer), 1);
    EXPECT_TRUE(dialogs.asked.back().text.endsWith(" ERR"));
    // The end steps ran: live mode is back, and the cursor is normal again
    // once the stream's first line has come.
    EXPECT_EQ(form->SerialRequestGLOB, RequestId::Live);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gcu.frames.size() >= before + 4; }, Patience));
    EXPECT_EQ(gcu.FramesSince(before).last(), "[PRINTSTS 1]\r\n");
    EXPECT_TRUE(
        QTest::qWaitFor([] { return QApplication::overrideCursor() == nullptr; }, Patience));
}

TEST_F(Calibration, missingAnswerEndsTheStepWithNoAnswerMessage) {
    LinkExchange::Limits limits;
    limits.answer = std::chrono::milliseconds(400);
    form->SetLinkLimits(limits);
    Connect();
    const double before = form->Commands[158].ActualValueFW;
    Click(QStringLiteral("BKartAxlePositionLowSet"));
    EXPECT_EQ(MessagesStartingWith(Msg::NoAnswer), 1);
    EXPECT_EQ(form->Commands[158].ActualValueFW, before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A late answer completes nothing.
    const quint64 pieces = form->Router().PiecesReceived();
    gcu.Write("1.11\r\n");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->Router().PiecesReceived() > pieces; }, Patience));
    EXPECT_EQ(form->Commands[158].ActualValueFW, before);
}

TEST_F(Calibration, closedPortRaisesAfterTheEndSteps) {
    EXPECT_ANY_THROW(form->BThrottlePositionSensorIdleSetClick(
        &form->Control<TButton>(QStringLiteral("BThrottlePositionSensorIdleSet"))));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    EXPECT_ANY_THROW(form->BRecoveryOutputTestLedTestClick(
        &form->Control<TButton>(QStringLiteral("BRecoveryOutputTestLedTest"))));
}

// ------------------------------------------------------------------ output tests

TEST_F(Calibration, eachOutputTestSendsOneFrameWithTheDurationAsTyped) {
    Connect();
    const struct {
        const char *button, *edit, *typed, *frame;
    } tests[] = {
        {"BRecoveryOutputTestUpShiftTest", "SERecoveryOutputTestUpShiftActuationTime", "120",
         "[TESTATUP 120]\r\n"},
        {"BRecoveryOutputTestDownShiftTest", "SERecoveryOutputTestDownShiftActuationTime", "95",
         "[TESTATDW 95]\r\n"},
        {"BRecoveryOutputTestBlipperTest", "SERecoveryOutputTestBlipperActuationTime", "250",
         "[TESTBLIP 250]\r\n"},
        {"BRecoveryOutputTestEngineCutTest", "SERecoveryOutputTestEngineCutEngineCutTime", "70",
         "[TESTACUT 70]\r\n"},
        {"BRecoveryOutputTestLedTest", "SERecoveryOutputTestLedLedTestTime", "180",
         "[TESTLEDN 180]\r\n"},
    };
    for (const auto& test : tests) {
        SCOPED_TRACE(test.button);
        auto& duration = form->Control<TSpinEdit>(QString::fromLatin1(test.edit));
        EXPECT_EQ(duration.Text(), "180"); // as at start
        duration.SetText(QString::fromLatin1(test.typed));
        const int before = int(gcu.frames.size());
        Click(QString::fromLatin1(test.button));
        ASSERT_TRUE(QTest::qWaitFor([&] { return gcu.frames.size() > before; }, Patience));
        EXPECT_EQ(gcu.FramesSince(before), QList<QByteArray>{test.frame});
    }
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    EXPECT_TRUE(dialogs.asked.empty());
}

} // namespace
