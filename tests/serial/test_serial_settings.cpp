// Settings of the serial-port object: identifiers, rates, property rules, the
// device record built from them and the control-character notation.
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

TEST(SerialPortNames, stringToCommPort_trimsIgnoresCaseAndKeepsOnlyPlainComNumbers) {
    EXPECT_EQ(TSerialPort::StringToCommPort(" com3 "), spCOM3);
    EXPECT_EQ(TSerialPort::StringToCommPort("COM1"), spCOM1);
    EXPECT_EQ(TSerialPort::StringToCommPort("COM254"), spCOM254);
    EXPECT_EQ(TSerialPort::StringToCommPort("COM03"), spCustom);
    EXPECT_EQ(TSerialPort::StringToCommPort("COM255"), spCustom);
    EXPECT_EQ(TSerialPort::StringToCommPort("COM0"), spCustom);
    EXPECT_EQ(TSerialPort::StringToCommPort("vcom1"), spCustom);
    EXPECT_EQ(TSerialPort::StringToCommPort("/dev/ttyUSB0"), spCustom);
    EXPECT_EQ(TSerialPort::StringToCommPort(""), spNone);
    EXPECT_EQ(TSerialPort::StringToCommPort("   "), spNone);
}

TEST(SerialPortNames, commPortToString_namesComPortsAndFallsBackToVcom1) {
    TSerialPort port;
    EXPECT_EQ(port.CommPortToString(spNone), QByteArray());
    EXPECT_EQ(port.CommPortToString(spCOM8), QByteArray("COM8"));
    EXPECT_EQ(port.CommPortToString(spCustom), QByteArray("vcom1"));
    port.SetCustomPortName("   ");
    EXPECT_EQ(port.CommPortToString(spCustom), QByteArray("vcom1"));
    port.SetPort(spCustom);
    EXPECT_EQ(port.PortName(), QByteArray("vcom1"));
}

TEST(SerialPortNames, customPortNameBeforePort_opensTheDevicePath) {
    TSerialPort port;
    port.SetPort(spCOM8);
    port.SetCustomPortName("  /dev/ttyUSB0 ");
    EXPECT_EQ(port.PortName(), QByteArray("COM8")) << "a COM port keeps its name";
    port.SetPort(spCustom);
    EXPECT_EQ(port.PortName(), QByteArray("/dev/ttyUSB0"));
    port.SetCustomPortName("/dev/ttyACM1");
    EXPECT_EQ(port.PortName(), QByteArray("/dev/ttyACM1")) << "a custom port follows its name";
    port.SetPort(spCustom);
    EXPECT_EQ(port.PortName(), QByteArray("/dev/ttyACM1"));
    EXPECT_EQ(port.Port(), spCustom);
}

TEST(SerialPortRates, rateTableWorksBothWaysAndCustomRatesStayCustom) {
    TSerialPort port;
    const int rates[] = {75,     110,    134,    150,    300,    600,   1200,  1800,
                         2400,   4800,   7200,   9600,   14400,  19200, 38400, 57600,
                         115200, 128000, 230400, 256000, 460800, 921600};
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(TSerialPort::IntToBaudRate(rates[i]), static_cast<TBaudRate>(i));
        EXPECT_EQ(port.BaudRateToInt(static_cast<TBaudRate>(i)), rates[i]);
    }
    EXPECT_EQ(TSerialPort::IntToBaudRate(100000), brCustom);
    EXPECT_EQ(TSerialPort::IntToBaudRate(0), brCustom);
    EXPECT_EQ(port.BaudRateToInt(brCustom), 0);
}

TEST(SerialPortRates, customBaudRate_onlyStoredUntilTheRateIsCustom) {
    TSerialPort port;
    EXPECT_EQ(port.BaudRate(), br004800);
    port.SetBaudRate(br115200);
    port.SetCustomBaudRate(100000);
    EXPECT_EQ(port.LineRate(), 115200);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.LineRate(), 100000);
    EXPECT_EQ(port.BaudRate(), brCustom);
    port.SetCustomBaudRate(9600);
    EXPECT_EQ(port.BaudRate(), br009600);
    port.SetCustomBaudRate(5000);
    EXPECT_EQ(port.LineRate(), 9600) << "a table rate is not custom any more";
}

TEST(SerialPortLineSettings, dataWidthAndStopBits_refuseImpossibleCombinations) {
    TSerialPort port;
    port.SetStopBits(sb2Bits);
    try {
        port.SetDataWidth(dw5Bits);
        FAIL() << "five data bits with two stop bits were accepted";
    } catch (const ESerialPortException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid data-width and stop-bits combination."));
    }
    EXPECT_EQ(port.DataWidth(), dw8Bits);
    EXPECT_THROW(port.SetStopBits(sb1_5Bits), ESerialPortException);
    EXPECT_EQ(port.StopBits(), sb2Bits);
    port.SetStopBits(sb1Bit);
    port.SetDataWidth(dw5Bits);
    port.SetStopBits(sb1_5Bits);
    EXPECT_EQ(port.StopBits(), sb1_5Bits);
    EXPECT_THROW(port.SetDataWidth(dw7Bits), ESerialPortException);
    EXPECT_THROW(port.SetStopBits(sb2Bits), ESerialPortException);
    EXPECT_EQ(port.DataWidth(), dw5Bits);
}

TEST(SerialPortLineSettings, defaults_giveTheRecordOfTheSystemLine) {
    TSerialPort port;
    port.SetBaudRate(br115200);
    const TLineSettings s = port.BuildLineSettings();
    EXPECT_EQ(s.baudRate, 115200);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_TRUE(s.dtrActive);
    EXPECT_TRUE(s.rtsActive);
    EXPECT_FALSE(s.outxCtsFlow || s.outxDsrFlow || s.outX || s.inX);
    EXPECT_EQ(s.xonLim, 1024) << "XON limit 0 means a quarter of the input queue";
    EXPECT_EQ(s.xoffLim, 1);
    EXPECT_EQ(s.xonChar, 17);
    EXPECT_EQ(s.xoffChar, 19);
    EXPECT_EQ(s.eofChar, 26);
    EXPECT_EQ(port.Delay(), 100u);
    EXPECT_EQ(port.NewLine(), QByteArray("\r\n"));
    EXPECT_EQ(port.ReadIntervalTimeout(), 0xFFFFFFFFu);
    EXPECT_EQ(port.WriteTotalTimeoutConstant(), 1000u);
    EXPECT_EQ(port.WriteTotalTimeoutMultiplier(), 100u);
    EXPECT_TRUE(port.NeedSynchronization());
    EXPECT_TRUE(port.AutoReceive());
    EXPECT_EQ(port.Port(), spNone);
}

TEST(SerialPortLineSettings, flowControlAndParitySettings_reachTheRecord) {
    TSerialPort port;
    port.SetHwFlowControl(hfRTSCTS);
    port.SetSwFlowControl(sfXONXOFF);
    port.SetXonLim(300);
    port.SetParity(pbMark);
    port.SetInputBuffer(1000);
    TLineSettings s = port.BuildLineSettings();
    EXPECT_TRUE(s.outxCtsFlow && s.rtsHandshake);
    EXPECT_FALSE(s.outxDsrFlow || s.dtrHandshake);
    EXPECT_TRUE(s.outX && s.inX);
    EXPECT_EQ(s.xonLim, 300);
    EXPECT_EQ(s.parity, pbMark);
    EXPECT_EQ(port.Parity(), pbMark);
    port.SetXonLim(0);
    EXPECT_EQ(port.BuildLineSettings().xonLim, 250);
}

TEST(SerialDeviceTermios, fillTermios_putsEveryFieldIntoItsFlagWord) {
    TLineSettings s;
    s.baudRate = 57600;
    s.byteSize = 7;
    s.parity = pbEven;
    s.stopBits = sb2Bits;
    s.outxCtsFlow = s.rtsHandshake = true;
    s.outX = s.inX = true;
    s.parityCheck = true;
    s.replaceParityErrors = true;
    s.xonChar = 0x11;
    s.xoffChar = 0x13;
    termios t{};
    t.c_lflag = ECHO | ICANON;
    t.c_iflag = ICRNL;
    ASSERT_TRUE(SerialDevice::FillTermios(s, t));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & (CREAD | CLOCAL));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | IGNPAR),
              static_cast<tcflag_t>(IXON | IXOFF | INPCK));
    EXPECT_FALSE(t.c_iflag & ICRNL);
    EXPECT_FALSE(t.c_lflag & (ECHO | ICANON));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    s.parity = pbOdd;
    s.byteSize = 5;
    s.replaceParityErrors = false;
    ASSERT_TRUE(SerialDevice::FillTermios(s, t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_TRUE(t.c_iflag & IGNPAR) << "unreplaced parity errors are dropped";
    s.parity = pbSpace;
    ASSERT_TRUE(SerialDevice::FillTermios(s, t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
    s.parity = pbNone;
    s.outxCtsFlow = s.rtsHandshake = false;
    ASSERT_TRUE(SerialDevice::FillTermios(s, t));
    EXPECT_FALSE(t.c_cflag & (PARENB | CRTSCTS));
}

// The reason in the system's words; what to do about it the window adds in
// the user's language (OpenAdvice), naming the device's group only when it is
// one for serial ports.
TEST(SerialDeviceErrors, openErrorTexts_giveTheReason_neverAdviseJoiningTheOwnersGroup) {
    // /dev/null belongs to group root: joining it would be wrong advice.
    const QString denied = SerialDevice::OpenErrorText(EACCES, "/dev/null");
    EXPECT_TRUE(denied.startsWith(QStringLiteral("Permission denied"))) << denied.toStdString();
    EXPECT_FALSE(denied.contains(QStringLiteral("usermod"))) << denied.toStdString();
    EXPECT_TRUE(SerialDevice::OpenErrorText(EBUSY, "/dev/x").contains(QStringLiteral("busy")));
    EXPECT_EQ(SerialDevice::DeviceGroup("/dev/null"), QStringLiteral("root"));
    EXPECT_TRUE(SerialDevice::DeviceGroup("/nonexistent/ttyUSB0").isEmpty());
}

TEST(ControlCharNotation, replaceControlChars_namesEveryControlByteAndKeepsTheRest) {
    EXPECT_EQ(ReplaceControlChars(QByteArray()), QByteArray());
    EXPECT_EQ(ReplaceControlChars("[MAXVATPS ?]\r\n"), QByteArray("[MAXVATPS ?][CR][LF]"));
    EXPECT_EQ(ReplaceControlChars(QByteArray("A\0B\x1b\x09", 5)), QByteArray("A[NUL]B[ES][TAB]"));
    EXPECT_EQ(ReplaceControlChars("\x7f\x80\xff"), QByteArray("\x7f\x80\xff"));
    EXPECT_EQ(ReplaceControlChars("\x1f\x01"), QByteArray("[US][SOH]"));
}

TEST(ControlCharNotation, insertControlChars_turnsNamesBackIgnoringCase) {
    EXPECT_EQ(InsertControlChars("[ES]"), QByteArray("\x1b"));
    EXPECT_EQ(InsertControlChars("[TAB]"), QByteArray("\t"));
    EXPECT_EQ(InsertControlChars("[cr][Lf]"), QByteArray("\r\n"));
    EXPECT_EQ(InsertControlChars("[ESC][HT][CRLF]"), QByteArray("[ESC][HT][CRLF]"));
    EXPECT_EQ(InsertControlChars("[NUL]x"), QByteArray("\0x", 2));
    EXPECT_EQ(InsertControlChars("[[CR]]"), QByteArray("[\r]"));
    EXPECT_EQ(ReplaceControlChars(InsertControlChars("[lf]")), QByteArray("[LF]"));
}

TEST(ControlCharNotation, roundTrip_givesEveryByteStringBack) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(InsertControlChars(ReplaceControlChars(all)), all);
    EXPECT_EQ(InsertControlChars(ReplaceControlChars("typed [CR] text")),
              QByteArray("typed \r text"));
}

} // namespace
