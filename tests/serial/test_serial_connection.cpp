// Open, close, send and receive over pseudo-terminals listed as extra ports.
#include "support/SerialTestSupport.h"

#include "serial/SerialDevice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace {

// A port object set up as the window sets it up, on a listed pseudo-terminal,
// with every event it reports logged.
class SerialConnection : public ListedPtyTest {
  protected:
    void SetUp() override {
        ListedPtyTest::SetUp();
        Configure(port, pty_.Path());
    }

    TSerialPort port;
    EventLog log{port};
};

TEST_F(SerialConnection, openAndClose_reportConnectInsideOpenAndDisconnectInsideClose) {
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(log.Events(), QList<QByteArray>{"connect"}) << "OnConnect runs before Open returns";
    EXPECT_EQ(port.ConnectedTo(), spCustom);
    EXPECT_TRUE(port.IsConnected());
    EXPECT_TRUE(port.ConnectionTime().isValid());
    port.Close();
    EXPECT_EQ(log.Events(), (QList<QByteArray>{"connect", "disconnect"}))
        << "OnDisconnect runs inside Close";
    EXPECT_EQ(log.Ports(), (QList<TCommPort>{spCustom, spCustom}));
    EXPECT_EQ(port.ConnectedTo(), spNone);
    EXPECT_FALSE(port.ConnectionTime().isValid());
    EXPECT_FALSE(log.AnyOffMainThread());
    port.Close();
    EXPECT_EQ(log.Count("disconnect"), 1) << "a second Close reports nothing";
}

TEST_F(SerialConnection, received_bytesArriveInOrderWholeWithNulBytesOnTheWindowThread) {
    ASSERT_TRUE(port.Open());
    const QByteArray announcement = "901 - Init OK\r\n900 - Versione Firmware: 5.0.9\r\n";
    pty_.Write(announcement);
    ASSERT_TRUE(WaitFor([&] { return log.Received().size() >= announcement.size(); }));
    EXPECT_EQ(log.Chunks(), QList<QByteArray>{announcement}) << "one write arrives whole";
    EXPECT_EQ(port.GetLastReadBuffer(), announcement);

    QByteArray expected = announcement;
    for (int i = 0; i < 50; ++i) {
        const QByteArray piece = "[" + QByteArray::number(i) + QByteArray("\0", 1) + "]";
        pty_.Write(piece);
        expected += piece;
    }
    ASSERT_TRUE(WaitFor([&] { return log.Received().size() >= expected.size(); }));
    EXPECT_EQ(log.Received(), expected);
    EXPECT_FALSE(log.AnyOffMainThread());
    port.Close();
}

TEST_F(SerialConnection, keepEntireBuffer_collectsAllChunksSinceOpen) {
    port.SetKeepEntireBuffer(true);
    ASSERT_TRUE(port.Open());
    pty_.Write("abc");
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "abc"; }));
    pty_.Write("def");
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "abcdef"; }));
    EXPECT_EQ(port.GetEntireBuffer(), QByteArray("abcdef"));
    port.Close();
}

TEST_F(SerialConnection, packetSize_deliversOnlyWholePacketsAndKeepsTheRestQueued) {
    port.SetPacketSize(8);
    port.SetDelay(20);
    ASSERT_TRUE(port.Open());
    pty_.Write("12345");
    QTest::qWait(150); // several passes: five bytes are not a packet
    EXPECT_EQ(log.Count("receive"), 0);
    EXPECT_EQ(port.GetAvailableInputBufferSize(), 5u);
    pty_.Write("6789ABCDEFG");
    ASSERT_TRUE(WaitFor([&] { return log.Received().size() >= 16; }));
    EXPECT_EQ(log.Chunks(), (QList<QByteArray>{"12345678", "9ABCDEFG"}));
    port.Close();
}

TEST_F(SerialConnection, idle_firesOnceAfterQuietAndResumeComesBeforeTheNextChunk) {
    port.SetDelay(20);
    port.SetIdleInterval(100);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(WaitFor([&] { return log.Count("idle") == 1; }));
    EXPECT_TRUE(port.IsIdle());
    QTest::qWait(150);
    EXPECT_EQ(log.Count("idle"), 1) << "idle fires once per quiet spell";
    pty_.Write("x");
    ASSERT_TRUE(WaitFor([&] { return log.Count("receive") == 1; }));
    EXPECT_EQ(log.Events(), (QList<QByteArray>{"connect", "idle", "resume", "receive"}));
    EXPECT_FALSE(port.IsIdle());
    ASSERT_TRUE(WaitFor([&] { return log.Count("idle") == 2; }));
    port.Close();
}

TEST_F(SerialConnection, send_writesUpToTheFirstNulAndReportsWhatWasWritten) {
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.SendString(QByteArray("[MAXVATPS ?]\r\n\0tail", 19)), 14u);
    EXPECT_EQ(pty_.Read(14), QByteArray("[MAXVATPS ?]\r\n"));
    EXPECT_EQ(log.Sent(), QList<QByteArray>{"[MAXVATPS ?]\r\n"});
    EXPECT_EQ(port.SendString(QByteArray()), 0u);
    EXPECT_EQ(log.Sent().size(), 1) << "an empty text is not reported";
    EXPECT_EQ(port.SendChars(QByteArray("a\0b", 3)), 3u);
    EXPECT_EQ(port.SendWord(0x0102), 2u);
    EXPECT_EQ(port.SendStringLine("L"), 3u);
    EXPECT_EQ(pty_.Read(8), QByteArray("a\0b\x02\x01L\r\n", 8));
    port.SendStringOnNewThread("threaded");
    EXPECT_EQ(pty_.Read(8), QByteArray("threaded"));
    port.Close();
    EXPECT_TRUE(port.IsConnected() == false);
}

TEST_F(SerialConnection, errors_carryTheirFixedTexts) {
    try {
        port.SendString("x");
        FAIL() << "sending on a closed port succeeded";
    } catch (const ESerialPortException& e) {
        EXPECT_EQ(e.Message(), QString::fromLatin1(pty_.Path()) +
                                   QStringLiteral(" is not open. Serial port is not connected."));
    }
    // A listed path that is no serial device cannot be connected.
    QTemporaryFile notATty;
    ASSERT_TRUE(notATty.open());
    ListedPorts listed({notATty.fileName().toLocal8Bit()});
    TSerialPort other;
    EventLog log(other);
    Configure(other, notATty.fileName().toLocal8Bit());
    try {
        other.Open();
        FAIL() << "a file opened as a serial port";
    } catch (const ESerialPortException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot connect to ") +
                                           notATty.fileName() + QStringLiteral(". ")))
            << e.Message().toStdString();
    }
    EXPECT_TRUE(log.Events().isEmpty()) << "no OnConnect and no OnDisconnect";
    EXPECT_EQ(other.ConnectedTo(), spNone);
}

TEST_F(SerialConnection, open_refusesTheOpenPortAnUnlistedPortAndNoPort) {
    TSerialPort fresh;
    EventLog freshLog(fresh);
    EXPECT_FALSE(fresh.Open()) << "a fresh object has no port";
    EXPECT_TRUE(freshLog.Events().isEmpty());

    Pty unlisted;
    TSerialPort stray;
    EventLog strayLog(stray);
    Configure(stray, unlisted.Path());
    EXPECT_FALSE(stray.Open());
    EXPECT_TRUE(strayLog.Events().isEmpty());

    ASSERT_TRUE(port.Open());
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(log.Count("connect"), 1);
    port.Close();
}

TEST_F(SerialConnection, openOfAnotherDevicePath_movesTheConnection) {
    Pty second;
    ListedPorts both({pty_.Path(), second.Path()});
    ASSERT_TRUE(port.Open());
    port.SetCustomPortName(second.Path());
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(log.Events(), (QList<QByteArray>{"connect", "disconnect", "connect"}));
    second.Write("on second");
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "on second"; }));
    port.Close();
}

TEST_F(SerialConnection, hangUp_endsTheConnectionWithFaultThenDisconnectOnce) {
    ASSERT_TRUE(port.Open());
    QElapsedTimer clock;
    clock.start();
    pty_.Hangup();
    ASSERT_TRUE(WaitFor([&] { return log.Count("disconnect") == 1; }, 2000));
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(log.Events(), (QList<QByteArray>{"connect", "fault", "disconnect"}));
    EXPECT_EQ(log.Ports().last(), spCustom);
    EXPECT_TRUE(port.IsFaulted());
    EXPECT_FALSE(port.IsConnected());
    EXPECT_THROW(port.SendString("x"), ESerialPortException);
    QTest::qWait(100);
    EXPECT_EQ(log.Count("disconnect"), 1);
    port.Close();
    EXPECT_EQ(log.Count("disconnect"), 1);
}

TEST_F(SerialConnection, handlers_mayCloseAndReopenFromInsideEvents) {
    int reopened = 0;
    port.OnReceive = [&](TSerialPort* sender, const QByteArray&) { sender->Close(); };
    port.OnDisconnect = [&](TSerialPort* sender, TCommPort) {
        if (reopened++ == 0) {
            EXPECT_TRUE(sender->Open()) << "the device is closed before OnDisconnect";
        }
    };
    ASSERT_TRUE(port.Open());
    pty_.Write("close me");
    ASSERT_TRUE(WaitFor([&] { return reopened == 1 && port.IsConnected(); }));
    port.OnReceive = nullptr;
    port.Close();
    EXPECT_EQ(reopened, 2);
    EXPECT_FALSE(port.IsConnected());
}

TEST_F(SerialConnection, secondOpener_isRefusedAsBusy) {
    TSerialPort first;
    Configure(first, pty_.Path());
    ASSERT_TRUE(first.Open());
    TSerialPort second;
    Configure(second, pty_.Path());
    try {
        second.Open();
        FAIL() << "a second object opened the same device";
    } catch (const ESerialPortException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("busy"))) << e.Message().toStdString();
    }
    int error = 0;
    EXPECT_LT(SerialDevice::OpenExclusive(pty_.Path(), error), 0);
    EXPECT_TRUE(TSerialPort::IsCommPortBusy(pty_.Path()));
    EXPECT_FALSE(TSerialPort::IsCommPortAvailable(pty_.Path()));
    first.Close();
    EXPECT_FALSE(TSerialPort::IsCommPortBusy(pty_.Path()));
    EXPECT_TRUE(TSerialPort::IsCommPortAvailable(pty_.Path()));
    EXPECT_THROW(TSerialPort::IsCommPortBusy("/dev/none-such"), ESerialPortException);
}

TEST_F(SerialConnection, withoutSynchronization_eventsRunOnTheReceiveThread) {
    port.SetNeedSynchronization(false);
    ASSERT_TRUE(port.Open());
    pty_.Write("direct");
    // No window events are handled here: the handler runs on its own.
    QElapsedTimer clock;
    clock.start();
    while (log.Received() != "direct" && clock.elapsed() < 2000)
        QThread::msleep(5);
    EXPECT_EQ(log.Received(), QByteArray("direct"));
    EXPECT_TRUE(log.AnyOffMainThread());
    port.Close();
    EXPECT_EQ(log.Count("disconnect"), 1);
}

TEST_F(SerialConnection, pullMode_signalsWithEmptyBuffersAndReadsLines) {
    port.SetAutoReceive(false);
    ASSERT_TRUE(port.Open());
    pty_.Write("OK\r\nrest");
    ASSERT_TRUE(WaitFor([&] { return log.Count("receive") >= 1; }));
    EXPECT_TRUE(log.Received().isEmpty()) << "pull mode only signals";
    EXPECT_EQ(port.ReadStringLine(1000), QByteArray("OK"));
    EXPECT_EQ(port.GetLastReadBuffer(), QByteArray("OK\r\n"));
    EXPECT_EQ(port.ReadChars(4, 1000), QByteArray("rest"));
    QByteArray partial;
    bool timedOut = false;
    EXPECT_TRUE(port.ReadStringUpToEndChars({"#"}, 50, partial, timedOut).isEmpty());
    EXPECT_TRUE(timedOut);
    pty_.Write("abcdef");
    port.SetMaxLineLength(3);
    port.ReadStringUpToEndChars({"#"}, 1000, partial, timedOut);
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(partial, QByteArray("abc"));
    EXPECT_EQ(port.ReadBuffer(), QByteArray("def"));
    port.Close();
}

TEST_F(SerialConnection, testDevice_findsTheAnswerToAToken) {
    ASSERT_TRUE(port.Open());
    std::thread responder([&] {
        if (pty_.Read(6) == "PING\r\n")
            pty_.Write("noise PONG\r\n");
    });
    EXPECT_TRUE(port.TestDevice("PING\r\n", "PONG", 2000));
    responder.join();
    EXPECT_TRUE(port.AutoReceive()) << "automatic receive is restored";
    EXPECT_FALSE(port.TestDevice("PING\r\n", "PONG", 100));
    port.Close();
}

TEST_F(SerialConnection, destroyingAnOpenPort_endsItsThreadsWithoutEvents) {
    int disconnects = 0;
    {
        TSerialPort port;
        Configure(port, pty_.Path());
        port.SetDelay(10);
        port.OnDisconnect = [&](TSerialPort*, TCommPort) { ++disconnects; };
        ASSERT_TRUE(port.Open());
        pty_.Write("data in flight");
    }
    EXPECT_EQ(disconnects, 0);
    TSerialPort again;
    Configure(again, pty_.Path());
    EXPECT_TRUE(again.Open()) << "the device was released";
    again.Close();
}

TEST_F(SerialConnection, logInput_appendsEveryChunkAndABadFileRaises) {
    QTemporaryDir dir;
    port.SetLogFile(dir.filePath(QStringLiteral("input.log")));
    port.SetLogInput(true);
    ASSERT_TRUE(port.Open());
    pty_.Write("first");
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "first"; }));
    pty_.Write("second");
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "firstsecond"; }));
    port.Close();
    QFile file(port.LogFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("firstsecond"));
    port.SetLogDateTime(true);
    port.WriteLog("stamped");
    file.seek(0);
    EXPECT_TRUE(file.readAll().endsWith(" stamped\r\n"));
    port.SetLogFile(dir.filePath(QStringLiteral("missing/folder/x.log")));
    try {
        port.WriteLog("x");
        FAIL() << "a log file in a missing folder was written";
    } catch (const ESerialPortException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid log file name or access denied."));
    }
}

TEST_F(SerialConnection, smallOperations_answerOnlyWhileOpen) {
    EXPECT_FALSE(port.ClearInputBuffer());
    EXPECT_FALSE(port.SetBreak(true));
    EXPECT_FALSE(port.GetCTS());
    EXPECT_EQ(port.GetAvailableInputBufferSize(), 0u);
    EXPECT_EQ(TSerialPort::RandomDataGenerator(300).size(), 300);
    port.SetAutoReceive(false);
    ASSERT_TRUE(port.Open());
    pty_.Write("queued");
    ASSERT_TRUE(WaitFor([&] { return port.GetAvailableInputBufferSize() == 6; }));
    EXPECT_TRUE(port.ClearInputBuffer());
    EXPECT_EQ(port.GetAvailableInputBufferSize(), 0u);
    EXPECT_FALSE(port.SetDTR(true)) << "a pseudo-terminal has no modem lines";
    EXPECT_EQ(port.SendData("ab", 0), 0u) << "an empty block writes nothing";
    pty_.Write("echo");
    ASSERT_TRUE(WaitFor([&] { return port.GetAvailableInputBufferSize() == 4; }));
    EXPECT_EQ(port.ReadBuffer(), QByteArray("echo"));
    EXPECT_EQ(port.Echo(), QByteArray("echo"));
    EXPECT_EQ(pty_.Read(4), QByteArray("echo"));
    port.Close();
}

TEST_F(SerialConnection, detectDevice_findsThePortThatAnswersAndCanBeCancelled) {
    std::thread responder([&] {
        if (pty_.Read(5).contains("ID?"))
            pty_.Write("hello GCU-42\r\n");
    });
    TSerialPort port;
    QList<TBaudRate> tried;
    port.OnDetect = [&](TSerialPort*, TCommPort, TBaudRate rate, bool&) { tried.append(rate); };
    QByteArray found;
    TBaudRate rate = br000075;
    EXPECT_TRUE(port.DetectDevice("ID?\r\n", "GCU-42", br921600, br460800, found, rate));
    responder.join();
    EXPECT_EQ(found, pty_.Path());
    EXPECT_EQ(rate, br921600);
    EXPECT_EQ(tried, QList<TBaudRate>{br921600});
    EXPECT_FALSE(TSerialPort::IsCommPortBusy(pty_.Path())) << "the device was closed again";

    port.OnDetect = [](TSerialPort*, TCommPort, TBaudRate, bool& cancel) { cancel = true; };
    EXPECT_FALSE(port.FastDetectDevice("ID?\r\n", "GCU-42", found, rate));
    EXPECT_TRUE(found.isEmpty());
}

// Lets a blocked handler go when a test ends early, before its port is destroyed.
struct ReleaseOnExit {
    std::atomic<bool>& flag;
    ~ReleaseOnExit() { flag = true; }
};

TEST_F(SerialConnection, threadStillEnding_neverDisturbsTheNextConnection) {
    Pty second;
    ListedPorts both({pty_.Path(), second.Path()});
    std::atomic<bool> release{false}; // outlives the port and its thread
    TSerialPort port;
    EventLog log(port);
    ReleaseOnExit releaser{release};
    Configure(port, pty_.Path());
    port.SetNeedSynchronization(false);
    std::atomic<bool> blockedOnce{false};
    port.OnReceive = [&](TSerialPort*, const QByteArray&) {
        if (blockedOnce.exchange(true))
            return;
        while (!release)
            QThread::msleep(1);
    };
    ASSERT_TRUE(port.Open());
    pty_.Write("blocks its handler");
    ASSERT_TRUE(WaitFor([&] { return port.IsReceiving() || port.GetLastReadBuffer().size(); }));
    port.Close(); // gives up waiting: the old thread is busy in its handler
    EXPECT_TRUE(port.IsConnected()) << "the old connection is still closing";
    port.SetCustomPortName(second.Path());
    ASSERT_TRUE(port.Open());
    release = true;
    ASSERT_TRUE(WaitFor([&] { return log.Count("disconnect") == 1; }));
    EXPECT_TRUE(port.IsConnected()) << "the old thread left the new connection alone";
    second.Write("still here");
    int error = 0;
    EXPECT_LT(SerialDevice::OpenExclusive(second.Path(), error), 0) << "the new device stays open";
    port.Close();
    EXPECT_EQ(log.Count("disconnect"), 2);
    EXPECT_EQ(log.Count("connect"), 2);
}

TEST_F(SerialConnection, secondCloseWhileTheFirstIsStillEnding_dropsItsDisconnect) {
    std::atomic<bool> release{false}; // outlives the port and its thread
    TSerialPort port;
    EventLog log(port);
    ReleaseOnExit releaser{release};
    Configure(port, pty_.Path());
    port.SetNeedSynchronization(false);
    port.OnReceive = [&](TSerialPort*, const QByteArray&) {
        while (!release)
            QThread::msleep(1);
    };
    ASSERT_TRUE(port.Open());
    pty_.Write("x");
    ASSERT_TRUE(WaitFor([&] { return port.GetLastReadBuffer() == "x"; }));
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsConnected());
    release = true;
    QTest::qWait(100);
    EXPECT_EQ(log.Count("disconnect"), 0);
    ASSERT_TRUE(WaitFor([&] { return port.Open(); })) << "the device is released";
    port.Close();
}

// Modem lines that a pseudo-terminal lacks, driven by the test.
class LinePort : public TSerialPort {
  public:
    std::atomic<TLineStatusSet> lines{0};
    TLineStatusSet GetLineStatus(int handle) const override {
        return handle >= 0 ? lines.load() : 0;
    }
};

TEST_F(SerialConnection, modemLinesDropping_faultsAndAutoReconnectReopens) {
    LinePort port;
    EventLog log(port);
    Configure(port, pty_.Path());
    port.SetDelay(20);
    port.lines = LineStatusWith(LineStatusWith(0, lsCTS), lsDSR);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(WaitFor([&] { return log.Count("lines 3") == 1; }));
    port.SetAutoReconnect(true);
    port.SetAutoReconnectCheckInterval(20);
    port.lines = 0;
    ASSERT_TRUE(WaitFor([&] { return log.Count("disconnect") == 1; }));
    EXPECT_EQ(log.Events().mid(0, 5),
              (QList<QByteArray>{"connect", "lines 3", "lines 0", "fault", "disconnect"}));
    port.lines = LineStatusWith(0, lsDSR);
    ASSERT_TRUE(WaitFor([&] { return log.Count("connect") == 2 && port.IsConnected(); }));
    EXPECT_FALSE(port.IsFaulted());
    port.SetAutoReconnect(false);
    port.Close();
    EXPECT_EQ(log.Count("disconnect"), 2);
}

TEST_F(SerialConnection, modemLinesThatWereNeverActive_areNoFault) {
    LinePort port;
    EventLog log(port);
    Configure(port, pty_.Path());
    port.SetDelay(20);
    ASSERT_TRUE(port.Open());
    port.lines = LineStatusWith(0, lsRING);
    ASSERT_TRUE(WaitFor([&] { return log.Count("lines 4") == 1; }));
    port.lines = 0;
    ASSERT_TRUE(WaitFor([&] { return log.Count("lines 0") == 1; }));
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(log.Count("fault"), 0);
    port.Close();
}

} // namespace
