// What the serial-port object writes into the device is what the device then
// holds: every line setting read back from a pseudo-terminal. A pty keeps its
// own data width and parity (always 8 bits, no parity); those two are checked
// on the termios record that is handed to the device.
#include "support/SerialTestSupport.h"

#include "serial/SerialDevice.h"

#include <gtest/gtest.h>

namespace {

// The termios of the device end, read through the far end of the pty.
termios DeviceTermios(const Pty& pty) {
    termios t{};
    tcgetattr(pty.Master(), &t);
    return t;
}

class LineSettingsRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Valid());
        int error = 0;
        fd_ = SerialDevice::OpenExclusive(pty_.Path(), error);
        ASSERT_GE(fd_, 0) << error;
    }
    void TearDown() override { SerialDevice::CloseDevice(fd_); }

    Pty pty_;
    int fd_ = -1;
};

TEST_F(LineSettingsRoundTrip, tableRates_areHeldAsWritten) {
    for (int rate : {75, 300, 9600, 19200, 57600, 115200, 230400, 460800, 921600}) {
        TLineSettings s;
        s.baudRate = rate;
        ASSERT_TRUE(SerialDevice::ApplyLineSettings(fd_, s)) << rate;
        EXPECT_EQ(SerialDevice::CurrentRate(fd_), rate);
    }
}

TEST_F(LineSettingsRoundTrip, ratesWithoutATermiosConstant_goThroughTermios2) {
    for (int rate : {7200, 14400, 128000, 256000, 100000}) {
        TLineSettings s;
        s.baudRate = rate;
        ASSERT_TRUE(SerialDevice::ApplyLineSettings(fd_, s)) << rate;
        EXPECT_EQ(SerialDevice::CurrentRate(fd_), rate);
    }
}

TEST_F(LineSettingsRoundTrip, stopBitsFlowControlAndCharacters_landInTheirFlagWords) {
    TLineSettings s;
    s.baudRate = 115200;
    s.stopBits = 2;
    s.outxCtsFlow = s.rtsHandshake = true;
    s.outX = s.inX = true;
    s.parityCheck = true;
    s.replaceParityErrors = true;
    s.xonChar = 0x05;
    s.xoffChar = 0x06;
    s.eofChar = 0x04;
    ASSERT_TRUE(SerialDevice::ApplyLineSettings(fd_, s));
    termios t = DeviceTermios(pty_);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | IGNPAR), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_EQ(t.c_cc[VSTART], 0x05);
    EXPECT_EQ(t.c_cc[VSTOP], 0x06);
    EXPECT_EQ(t.c_cc[VEOF], 0x04);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_oflag & OPOST);

    s.stopBits = 0;
    s.outxCtsFlow = s.rtsHandshake = false;
    s.outX = s.inX = false;
    s.parityCheck = false;
    s.replaceParityErrors = false;
    ASSERT_TRUE(SerialDevice::ApplyLineSettings(fd_, s));
    t = DeviceTermios(pty_);
    EXPECT_FALSE(t.c_cflag & (CSTOPB | CRTSCTS));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | IGNPAR), tcflag_t(IGNPAR));
}

TEST_F(LineSettingsRoundTrip, dataWidthAndParity_areWrittenAsAskedAndThePtyKeepsEightBits) {
    TLineSettings s;
    s.byteSize = 7;
    s.parity = 3; // mark
    termios written{};
    ASSERT_TRUE(SerialDevice::FillTermios(s, written));
    EXPECT_EQ(written.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_EQ(written.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
    ASSERT_TRUE(SerialDevice::ApplyLineSettings(fd_, s));
    const termios held = DeviceTermios(pty_);
    EXPECT_EQ(held.c_cflag & CSIZE, tcflag_t(CS8)) << "the pty driver forces eight bits";
    EXPECT_TRUE(held.c_cflag & CMSPAR) << "the sticky-parity bit is kept";
}

// The object applies its properties before Open returns and again whenever a
// line property changes while the port is open.
TEST(SerialPortLineSettings, propertiesReachTheOpenDeviceAtOnce) {
    Pty pty;
    ListedPorts listed({pty.Path()});
    TSerialPort port;
    port.SetCustomPortName(pty.Path());
    port.SetPort(spCustom);
    port.SetBaudRate(br115200);
    ASSERT_TRUE(port.Open());
    termios t = DeviceTermios(pty);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    port.SetBaudRate(br057600);
    port.SetStopBits(sb2Bits);
    port.SetHwFlowControl(hfRTSCTS);
    port.SetSwFlowControl(sfXONXOFF);
    port.SetXonChar(0x01);
    t = DeviceTermios(pty);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE((t.c_iflag & IXON) && (t.c_iflag & IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    port.SetCustomBaudRate(100000);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(SerialDevice::CurrentRate(pty.Master()), 100000);
    EXPECT_TRUE(port.IsConnected());
    port.Close();
}

} // namespace
