// "quarventa-cli ports" on a machine built in a folder (sysfs, /dev, by-id
// names) plus GCU_EXTRA_PORTS: the ports, their names, which look like a GCU
// and who their adapters are, as text and JSON; and the program itself run
// without a display.
#include "support/CliRunner.h"
#include "support/FakeDevices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using qvtest::FakeAdapter;

FakeAdapter Adapter(const char* socket, const char* vendor, const char* product, const char* serial,
                    const char* productName, const char* manufacturer) {
    FakeAdapter a;
    a.usbPort = QLatin1String(socket);
    a.vendor = QLatin1String(vendor);
    a.product = QLatin1String(product);
    a.serial = QLatin1String(serial);
    a.productName = QLatin1String(productName);
    a.manufacturer = QLatin1String(manufacturer);
    return a;
}

const FakeAdapter Ch340 = Adapter("1-1", "1a86", "7523", "", "USB2.0-Serial", "QinHeng");
const FakeAdapter Ftdi = Adapter("1-2", "0403", "6001", "A1B2C3", "FT232R USB UART", "FTDI");
const FakeAdapter Modem = Adapter("1-3", "1234", "5678", "", "Some Modem", "Maker");
const FakeAdapter PortlessCh340 = Adapter("1-4", "1a86", "7523", "", "USB2.0-Serial", "QinHeng");

struct ExpectedPort {
    QString path;
    QString name;
    bool gcu;
    QString vendorProduct;
    QString usbSerial;
    QString byId;
    QString usbPort;
};

// A machine with a CH340 and an FTDI adapter (GCUs), a modem, a CH340 whose
// port another driver took, and a simulated unit among the extra ports.
class PortsMachine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(devices.IsValid());
        devices.Plug(Ch340, "ttyUSB0");
        devices.Plug(Ftdi, "ttyUSB1");
        devices.Plug(Modem, "ttyACM0");
        devices.PlugUsbDevice(PortlessCh340);
        simulated = extra.filePath("gcu-sim-pty");
        QFile file(simulated);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        savedExtra = qgetenv("GCU_EXTRA_PORTS");
        qputenv("GCU_EXTRA_PORTS", (simulated + "=Arduino Mega 2560 (simulated);" +
                                    extra.filePath("gone") + "=USB Serial Port")
                                       .toUtf8());
    }
    void TearDown() override { qputenv("GCU_EXTRA_PORTS", savedExtra); }

    QVector<ExpectedPort> Expected(const QString& devDir, bool withById) const {
        const auto byId = [&](const FakeAdapter& a) {
            return withById ? FakeDevices::ByIdName(a) : QString();
        };
        return {
            {devDir + "/ttyACM0", "Some Modem", false, "1234:5678", "", byId(Modem), "1-3"},
            {devDir + "/ttyUSB0", "USB-SERIAL CH340", true, "1a86:7523", "", byId(Ch340), "1-1"},
            {devDir + "/ttyUSB1", "USB Serial Port", true, "0403:6001", "A1B2C3", byId(Ftdi),
             "1-2"},
            {simulated, "Arduino Mega 2560 (simulated)", true, "", "", "", ""},
        };
    }

    using FakeDevices = qvtest::FakeDevices;
    FakeDevices devices;
    QTemporaryDir extra;
    QString simulated;
    QByteArray savedExtra;
};

using qvtest::CliRun;
using qvtest::RunCliWith;

void ExpectJsonPorts(const QString& json, const QVector<ExpectedPort>& expected) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(json);
    const QJsonArray ports = document.object().value("ports").toArray();
    ASSERT_EQ(ports.size(), expected.size()) << qPrintable(json);
    for (int i = 0; i < expected.size(); ++i) {
        const QJsonObject port = ports[i].toObject();
        const ExpectedPort& e = expected[i];
        EXPECT_EQ(port.value("path").toString(), e.path);
        EXPECT_EQ(port.value("name").toString(), e.name) << qPrintable(e.path);
        EXPECT_EQ(port.value("gcu").toBool(), e.gcu) << qPrintable(e.path);
        EXPECT_EQ(port.value("vendorProduct").toString(), e.vendorProduct) << qPrintable(e.path);
        EXPECT_EQ(port.value("usbSerial").toString(), e.usbSerial) << qPrintable(e.path);
        EXPECT_EQ(port.value("byId").toString(), e.byId) << qPrintable(e.path);
        EXPECT_EQ(port.value("usbPort").toString(), e.usbPort) << qPrintable(e.path);
    }
    const QJsonArray withoutPort = document.object().value("adaptersWithoutPort").toArray();
    ASSERT_EQ(withoutPort.size(), 1);
    EXPECT_EQ(withoutPort[0].toObject().value("name").toString(), "USB-SERIAL CH340");
    EXPECT_EQ(withoutPort[0].toObject().value("vendorProduct").toString(), "1a86:7523");
}

} // namespace

TEST_F(PortsMachine, ports_listsEveryPortWithItsNameAndWhetherItLooksLikeAGcu) {
    const CliRun run = RunCliWith({"ports"});
    EXPECT_EQ(run.exit, CliExit::Done);
    const QVector<ExpectedPort> expected = Expected(devices.DevDir(), true);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), expected.size()) << qPrintable(run.out);
    for (int i = 0; i < expected.size(); ++i) {
        const QStringList columns = lines[i].split(u' ', Qt::SkipEmptyParts);
        ASSERT_GE(columns.size(), 3) << qPrintable(lines[i]);
        EXPECT_EQ(columns[0], expected[i].path);
        EXPECT_EQ(columns[1], expected[i].gcu ? "gcu" : "-") << qPrintable(lines[i]);
        EXPECT_EQ(columns.mid(2).join(u' '), expected[i].name);
    }
    // The adapter without a port is named with the window's advice.
    const QStringList notes = run.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(notes.size(), 1) << qPrintable(run.err);
    EXPECT_TRUE(notes[0].startsWith("ports: A USB serial adapter is plugged in"));
    EXPECT_TRUE(notes[0].endsWith("USB-SERIAL CH340 (1a86:7523)")) << qPrintable(notes[0]);
}

TEST_F(PortsMachine, portsJson_saysWhoEachAdapterIs) {
    const CliRun run = RunCliWith({"--json", "ports"});
    EXPECT_EQ(run.exit, CliExit::Done);
    ExpectJsonPorts(run.out, Expected(devices.DevDir(), true));
}

TEST_F(PortsMachine, noPortAtAll_isSaidOnStandardErrorAndIsNoFailure) {
    devices.Unplug(Ch340, "ttyUSB0");
    devices.Unplug(Ftdi, "ttyUSB1");
    devices.Unplug(Modem, "ttyACM0");
    devices.Unplug(PortlessCh340, "none");
    qputenv("GCU_EXTRA_PORTS", "");
    const CliRun run = RunCliWith({"ports"});
    EXPECT_EQ(run.exit, CliExit::Done);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, "ports: no serial port found\n");
    const CliRun json = RunCliWith({"ports", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).object().value("ports").toArray().size(),
              0);
}

// The installed kind of run: its own process, no display at all, the sysfs
// tree given by the environment (device paths then stay below /dev).
TEST_F(PortsMachine, program_runsWithoutADisplay_listsPorts_andExitsWithItsStatuses) {
    const QString program = QStringLiteral(QV_BINARY_DIR "/quarventa-cli");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    environment.insert("GCU_SYSFS_ROOT", devices.SysfsRoot());
    const auto run = [&](const QStringList& arguments, QString* out, QString* err) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << qPrintable(arguments.join(' '));
        *out = QString::fromUtf8(process.readAllStandardOutput());
        *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QString out;
    QString err;
    ASSERT_EQ(run({"ports", "--json"}, &out, &err), 0) << qPrintable(err);
    ExpectJsonPorts(out, Expected("/dev", false));

    EXPECT_EQ(run({"--version"}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith("quarventa-cli ")) << qPrintable(out);
    // Two adapters look like a GCU: the program does not choose between them.
    EXPECT_EQ(run({"info"}, &out, &err), 2);
    EXPECT_EQ(err.count(u'\n'), 1) << qPrintable(err);
    EXPECT_TRUE(err.startsWith("info: ") && err.contains("/dev/ttyUSB0") &&
                err.contains("/dev/ttyUSB1"))
        << qPrintable(err);
    EXPECT_EQ(run({"restore"}, &out, &err), 2);
    EXPECT_EQ(err.count(u'\n'), 1) << qPrintable(err);
    EXPECT_TRUE(out.isEmpty());
}
