// Debian's avrdude writes and verifies firmware through the simulated GCU's
// boot loader, exactly as the firmware update runs it.
#include "gcusim/GcuSimulator.h"
#include "gcusim/IntelHex.h"
#include "sim/SimPtyClient.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace std::chrono_literals;

namespace {

const QString Avrdude = QStringLiteral("/usr/bin/avrdude");

// Random code at the start of flash and a block above 128 KiB, where the
// programmer has to use the extended address.
std::vector<uint8_t> TestFirmware() {
    std::vector<uint8_t> memory(0x20300, 0xFF);
    std::mt19937 random(7);
    for (size_t i = 0; i < 1000; ++i)
        memory[i] = static_cast<uint8_t>(random());
    for (size_t i = 0x20100; i < 0x20300; ++i)
        memory[i] = static_cast<uint8_t>(random());
    return memory;
}

} // namespace

TEST(SimAvrdude, avrdudeWritesAndVerifiesAnImage_andTheFlashHoldsItsBytes) {
    if (!QFileInfo::exists(Avrdude))
        GTEST_SKIP() << "avrdude is not installed";
    QTemporaryDir dir;
    const QString hexFile = dir.filePath("FW.HEX");
    const QByteArray hex = FormatIntelHex(TestFirmware(), 0x20300, true);
    const MemoryImage image = ParseIntelHex(hex);
    ASSERT_GE(image.size(), 1000u + 0x200u);
    {
        QFile file(hexFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(hex);
    }

    GcuSimulatorOptions options;
    auto table = std::make_shared<CommandTable>();
    options.commandTable = table;
    options.flashOutFile = dir.filePath("flash-out.hex");
    options.firmwareAfterUpdate = QStringLiteral("5.1.0");
    GcuSimulator sim(options);
    const QString port = sim.start();

    QProcess avrdude;
    avrdude.setProcessChannelMode(QProcess::MergedChannels);
    avrdude.setWorkingDirectory(dir.path());
    // The firmware update's own command line: its configuration, verbose,
    // the image as FW.HEX in the working folder.
    const QString config = QStringLiteral("/etc/avrdude.conf");
    QStringList arguments{"-v", "-p",       "atmega2560", "-c", "wiring",          "-P",
                          port, "-b115200", "-D",         "-U", "flash:w:FW.HEX:i"};
    if (QFileInfo::exists(config))
        arguments = QStringList{"-C", config} + arguments;
    avrdude.start(Avrdude, arguments);
    ASSERT_TRUE(avrdude.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(avrdude.readAll());
    ASSERT_EQ(avrdude.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("verified")) << output.toStdString();
    EXPECT_EQ(sim.BootLoaderSessions(), 1);

    const std::vector<uint8_t> flash = sim.FlashImage();
    size_t programmed = 0;
    for (size_t address = 0; address < flash.size(); ++address) {
        const auto it = image.find(static_cast<uint32_t>(address));
        if (it != image.end()) {
            ASSERT_EQ(flash[address], it->second) << "address " << address;
            ++programmed;
        } else {
            ASSERT_EQ(flash[address], 0xFF) << "address " << address;
        }
    }
    EXPECT_EQ(programmed, image.size());

    // The image is written out once the programmer has left.
    ASSERT_TRUE(sim.WaitUntil([&] { return QFileInfo::exists(options.flashOutFile); }, 10s));
    QFile out(options.flashOutFile);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const MemoryImage written = ParseIntelHex(out.readAll());
    for (const auto& [address, byte] : image)
        ASSERT_EQ(written.at(address), byte) << address;

    // After programming, the next open finds the application announcing the
    // new firmware.
    SimPtyClient client(port);
    EXPECT_TRUE(client.ReadUntilContains("900 - Versione Firmware: 5.1.0\r\n", 10s));
    EXPECT_EQ(sim.FirmwareVersion(), "5.1.0");
}
