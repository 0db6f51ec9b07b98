// The boot loader's STK500v2 messages and the Intel HEX images, without a port.
#include "gcusim/IntelHex.h"
#include "gcusim/Stk500v2BootLoader.h"
#include "util/Exceptions.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sends one message body and returns the answer body (checked framing).
std::vector<uint8_t> Exchange(Stk500v2BootLoader& loader, uint8_t sequence,
                              const std::vector<uint8_t>& body) {
    const auto message = FrameStk500v2Message(sequence, body);
    const auto answer = loader.Feed(message.data(), message.size());
    Stk500v2Framer framer;
    bool complete = false;
    for (const uint8_t b : answer)
        complete = framer.Feed(b);
    EXPECT_TRUE(complete);
    EXPECT_EQ(framer.Sequence(), sequence);
    return framer.Body();
}

} // namespace

TEST(SimBootLoader, signOnAndSignature_identifyAnAtmega2560) {
    Stk500v2BootLoader loader;
    const auto signOn = Exchange(loader, 1, {0x01});
    ASSERT_GE(signOn.size(), 3u);
    EXPECT_EQ(signOn[1], 0x00);
    EXPECT_EQ(std::string(signOn.begin() + 3, signOn.end()), "AVRISP_2");
    std::vector<uint8_t> signature;
    for (uint8_t i = 0; i < 3; ++i)
        signature.push_back(Exchange(loader, 2 + i, {0x1B, 4, 0x30, 0x00, i, 0x00})[2]);
    EXPECT_EQ(signature, (std::vector<uint8_t>{0x1E, 0x98, 0x01}));
    EXPECT_TRUE(loader.SessionStarted());
}

TEST(SimBootLoader, programmedPagesReadBackAtExtendedAddresses) {
    Stk500v2BootLoader loader;
    std::vector<uint8_t> page(256);
    for (size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<uint8_t>(i * 7 + 3);
    // Word address 0x10000 (byte 0x20000) with the extended-address flag.
    Exchange(loader, 1, {0x06, 0x80, 0x01, 0x00, 0x00});
    std::vector<uint8_t> program;
    program.reserve(10 + page.size());
    for (uint8_t byte : {0x13, 0x01, 0x00, 0xC1, 10, 0x40, 0x4C, 0x20, 0x00, 0x00})
        program.push_back(byte);
    program.insert(program.end(), page.begin(), page.end());
    EXPECT_EQ(Exchange(loader, 2, program), (std::vector<uint8_t>{0x13, 0x00}));
    EXPECT_EQ(loader.ProgrammedEnd(), 0x20100u);

    Exchange(loader, 3, {0x06, 0x80, 0x01, 0x00, 0x00});
    const auto read = Exchange(loader, 4, {0x14, 0x01, 0x00, 0x20});
    ASSERT_EQ(read.size(), 2u + 256u + 1u);
    EXPECT_EQ(std::vector<uint8_t>(read.begin() + 2, read.end() - 1), page);
    EXPECT_EQ(loader.Flash()[0x1FFFF], 0xFF);
    // Past the end of flash is refused, not written.
    Exchange(loader, 5, {0x06, 0x80, 0x01, 0xFF, 0xC0});
    EXPECT_EQ(Exchange(loader, 6, program)[1], 0xC0);
}

TEST(SimBootLoader, badChecksumIsDropped_andTheNextMessageStillAnswers) {
    Stk500v2BootLoader loader;
    auto broken = FrameStk500v2Message(1, {0x01});
    broken.back() ^= 0x55;
    EXPECT_TRUE(loader.Feed(broken.data(), broken.size()).empty());
    const std::vector<uint8_t> noise{0x00, 0x42, 0x1B, 0x00, 0xFF, 0xFF};
    EXPECT_TRUE(loader.Feed(noise.data(), noise.size()).empty());
    EXPECT_FALSE(loader.SessionStarted());
    EXPECT_EQ(Exchange(loader, 9, {0x11, 1, 1})[0], 0x11);
    EXPECT_TRUE(loader.LeftProgrammingMode());
}

TEST(SimIntelHex, formattedImageParsesBack_acrossA64KBoundary) {
    std::vector<uint8_t> memory(0x10020, 0xFF);
    for (size_t i = 0xFFF0; i < memory.size(); ++i)
        memory[i] = static_cast<uint8_t>(i);
    memory[0] = 0x12;
    const MemoryImage image = ParseIntelHex(FormatIntelHex(memory, 0x10020));
    ASSERT_EQ(image.size(), 0x10020u);
    for (const auto& [address, byte] : image)
        ASSERT_EQ(byte, memory[address]) << address;

    QTemporaryDir dir;
    const QString raw = dir.filePath("flash.bin");
    WriteMemoryFile(raw, memory, 0x20);
    QFile file(raw);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(reinterpret_cast<const char*>(memory.data()), 0x20));
}

TEST(SimIntelHex, badRecordsAreReportedWithTheirLine) {
    EXPECT_THROW(ParseIntelHex(":0100000012ED\n:0100010012ED\n"), EInOutError); // bad sum
    EXPECT_THROW(ParseIntelHex(":01000000\n"), EInOutError);                    // too short
    try {
        ParseIntelHex(":00000001FF\n");
        ParseIntelHex(":0100000012ED\nhello\n");
        FAIL() << "no error for a line without a colon";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains("line 2")) << e.Message().toStdString();
    }
}
