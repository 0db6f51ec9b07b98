// The live stream end to end: status lines cut and merged by the serial
// pieces reach the panel whole and in order; and the real window on the
// simulated GCU shows the ride, teaches a barrel position, and stops parsing
// once live mode is off.
#include "app/DemoMode.h"
#include "device/DeviceFrames.h"
#include "gcusim/GcuSimulator.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int Patience = 20000; // ms; generous for a loaded machine

bool CopyShippedCommands(const QString& dataDir) {
    QDir(dataDir).mkpath(QStringLiteral("CFG"));
    return QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                       dataDir + QStringLiteral("/CFG/Commands.CSV"));
}

QByteArray StatusLine(int gear, int selector) {
    return QStringLiteral("*9&1&1&1&1&1&12.6&40&1.300&%1&100&0.500&1&1&35&%2#\r\n")
        .arg(gear)
        .arg(selector)
        .toLatin1();
}

// ------------------------------------------------------------------ pieces

class LivePieces : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
        qputenv("GCU_EXTRA_PORTS", QByteArray());
        form = std::make_unique<TFormMain>();
        form->show();
        // Live mode as the shared state allows switching it: request 27.
        form->SetLiveControls(QStringLiteral("ACTIVE"));
        form->SerialRequestGLOB = RequestId::Live;
    }
    void TearDown() override {
        form.reset();
        qunsetenv("GCU_EXTRA_PORTS");
        SetProgramFolder(QString());
    }
    void Receive(const QByteArray& piece) { form->SerialPortReceive(form->SerialPort, piece); }
    QString Gear() const { return form->Control<TEdit>(QStringLiteral("ESerialLiveGear")).Text(); }
    QString Selector() const {
        return form->Control<TEdit>(QStringLiteral("ESerialLiveSelector")).Text();
    }

    QTemporaryDir dataDir;
    std::unique_ptr<TFormMain> form;
};

TEST_F(LivePieces, lineSplitOverTwoPiecesIsShownOnceWhenItsEndArrives) {
    const QByteArray line = StatusLine(4, 5);
    for (int cut : {1, 20, int(line.size()) - 3, int(line.size()) - 1}) {
        SCOPED_TRACE(cut);
        Receive(StatusLine(1, 3));
        const quint64 shown = form->LiveLinesShown();
        Receive(line.left(cut));
        EXPECT_EQ(form->LiveLinesShown(), shown);
        EXPECT_EQ(Gear(), "1");
        Receive(line.mid(cut));
        EXPECT_EQ(form->LiveLinesShown(), shown + 1);
        EXPECT_EQ(Gear(), "4");
        EXPECT_EQ(Selector(), "3");
    }
}

TEST_F(LivePieces, twoLinesInOnePieceAreBothShownInOrder) {
    // The second line leaves the selector as it is (13 is out of its table),
    // so the selector shows that the first was parsed, the gear that the
    // second came after it.
    Receive(StatusLine(2, 9) + StatusLine(5, 13));
    EXPECT_EQ(form->LiveLinesShown(), 2u);
    EXPECT_EQ(Selector(), "R");
    EXPECT_EQ(Gear(), "5");
}

TEST_F(LivePieces, fragmentBeforeTheFirstStartIsDropped) {
    // The tail of a line the stream started in the middle of; read as a line
    // it would show gear 3 and a 1.3 V battery.
    Receive("&1.3&40&1.300&3&100&0.500&1&1&35&3#\r\n" + StatusLine(6, 5).left(30));
    EXPECT_EQ(form->LiveLinesShown(), 0u);
    Receive(StatusLine(6, 5).mid(30));
    EXPECT_EQ(form->LiveLinesShown(), 1u);
    EXPECT_EQ(Gear(), "6");
    const TMemo& memo = form->Control<TMemo>(QStringLiteral("MemoLive"));
    EXPECT_EQ(memo.LineCount(), 16);
    EXPECT_EQ(memo.Line(0), "9");
}

// ------------------------------------------------------------------ with the simulated GCU

class LiveWithSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
        GcuSimulatorOptions options;
        options.commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");
        options.stateFile = dataDir.filePath(QStringLiteral("gcu-state.txt"));
        options.bootWindowMs = 200;
        gcu = std::make_unique<GcuSimulator>(options);
        const QString port = gcu->start();
        qputenv("GCU_EXTRA_PORTS",
                ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
        form = std::make_unique<TFormMain>();
        form->show();
    }
    void TearDown() override {
        form->close();
        form.reset();
        gcu->stop();
        qunsetenv("GCU_EXTRA_PORTS");
        SetProgramFolder(QString());
    }
    // Auto-connect finds the simulated GCU; the offer to read the
    // configuration is declined.
    void Connect() {
        dialogs.messageAnswers.push_back(mrNo);
        auto& button =
            form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return button.Tag() == 1; }, Patience));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.asked.empty(); }, Patience));
    }
    // The frames the GCU received, without their line ends.
    QList<QByteArray> GcuFrames() const {
        QList<QByteArray> frames = gcu->ReceivedFrames();
        for (QByteArray& frame : frames)
            frame = frame.trimmed();
        return frames;
    }
    bool GcuReceived(const QByteArray& frame) const {
        return GcuFrames().contains(frame.trimmed());
    }
    template <class T> T& Control(const char* name) const {
        return form->Control<T>(QString::fromLatin1(name));
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<GcuSimulator> gcu;
    std::unique_ptr<TFormMain> form;
};

TEST_F(LiveWithSimulator, liveModeShowsTheRideTeachingStoresTheVoltageAndOffStopsParsing) {
    Connect();
    auto& live = Control<TCheckBox>("CBLiveActive");
    ASSERT_TRUE(live.isEnabled());
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(live.Checked());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return GcuReceived(DeviceFrames::LiveStream(true)); }, Patience));

    // The ride: gears, engine speeds and a paddle LED change within seconds.
    QSet<QString> gears, rpms;
    bool paddleLit = false, paddleDark = false;
    const bool rideSeen = QTest::qWaitFor(
        [&] {
            gears << Control<TEdit>("ESerialLiveGear").Text();
            rpms << Control<TLabel>("LSerialLiveRPM").Caption();
            const bool lit = Control<TLed>("LedSerialLivePaddleUP").Lit();
            paddleLit |= lit;
            paddleDark |= !lit;
            return gears.size() >= 3 && rpms.size() >= 5 && paddleLit && paddleDark;
        },
        Patience);
    EXPECT_TRUE(rideSeen) << "gears " << gears.size() << ", engine speeds " << rpms.size()
                          << ", paddle lit " << paddleLit;
    EXPECT_GT(form->LiveLinesShown(), 20u);
    EXPECT_EQ(form->Control<TMemo>(QStringLiteral("MemoLive")).LineCount(), 16);

    // Off: the GCU is told to stop, and what still comes is not parsed.
    live.SetChecked(false);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return GcuReceived(DeviceFrames::LiveStream(false)); }, Patience));
    EXPECT_EQ(form->SerialRequestGLOB, 0);
    const quint64 shownAtOff = form->LiveLinesShown();
    const long sentAtOff = gcu->StatusLinesSent();

    // Teaching gear N stores the simulator's reading; the round trip also
    // lets whatever was still on the line arrive.
    gcu->OverrideSensor(GcuSensor::Barrel, 2.35);
    Control<TButton>("BGearDetectionBarrelPositionNSet").Click();
    EXPECT_DOUBLE_EQ(form->Commands[151].ActualValueFW, 2.35);
    EXPECT_EQ(form->Commands[151].Status, "A");
    EXPECT_EQ(Control<TSpinEdit>("SEGearDetectionBarrelPositionNMillivolts").Value(), 2350);
    ASSERT_TRUE(gcu->ParameterById(151).has_value());
    EXPECT_DOUBLE_EQ(*gcu->ParameterById(151), 2.35);
    // With live mode off before the step, the step neither pauses nor restarts it.
    const QList<QByteArray> frames = GcuFrames();
    const qsizetype off = frames.lastIndexOf(DeviceFrames::LiveStream(false).trimmed());
    EXPECT_EQ(frames.mid(off + 1), (QList<QByteArray>{"[SOGLMARN 0]", "[SSOGMARN ?]"}));

    EXPECT_EQ(gcu->StatusLinesSent(), sentAtOff);
    EXPECT_EQ(form->LiveLinesShown(), shownAtOff);
    form->SerialPortReceive(form->SerialPort, StatusLine(3, 5));
    EXPECT_EQ(form->LiveLinesShown(), shownAtOff);
    EXPECT_TRUE(dialogs.asked.size() == 1) << "only the offer to read the configuration";
}

} // namespace
