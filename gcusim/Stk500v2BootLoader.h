#pragma once
// The boot loader of the GCU's ATmega2560: answers the STK500 version 2
// messages that a programmer sends over the serial line, and keeps the flash
// memory that it programs and reads back.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t Atmega2560FlashBytes = 256 * 1024;
constexpr uint32_t Atmega2560EepromBytes = 4 * 1024;

// Message framing: start 0x1B, sequence, size (2 bytes, high first), token
// 0x0E, body, XOR checksum of everything before it.
class Stk500v2Framer {
  public:
    // Feeds one byte; true when a complete message with a good checksum is in
    // Body(). Bad checksums and broken framing are dropped and counted.
    bool Feed(uint8_t byte);
    const std::vector<uint8_t>& Body() const { return body_; }
    uint8_t Sequence() const { return sequence_; }
    int BadMessages() const { return badMessages_; }
    void Reset();

  private:
    enum class State { Start, Sequence, SizeHigh, SizeLow, Token, Body, Checksum };
    State state_ = State::Start;
    uint8_t sequence_ = 0;
    uint16_t size_ = 0;
    uint8_t checksum_ = 0;
    std::vector<uint8_t> body_;
    int badMessages_ = 0;
};

std::vector<uint8_t> FrameStk500v2Message(uint8_t sequence, const std::vector<uint8_t>& body);

class Stk500v2BootLoader {
  public:
    Stk500v2BootLoader();

    // Feeds received bytes; returns the framed answers to complete messages.
    std::vector<uint8_t> Feed(const uint8_t* data, size_t size);
    // The answer body to one message body.
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& body);

    bool SessionStarted() const { return messages_ > 0; }
    bool LeftProgrammingMode() const { return left_; }
    bool FlashProgrammed() const { return programmedEnd_ > 0; }
    // Resets the session (a new boot), keeping the memories.
    void Restart();

    const std::vector<uint8_t>& Flash() const { return flash_; }
    // One past the highest flash byte programmed so far; 0 when none.
    uint32_t ProgrammedEnd() const { return programmedEnd_; }

  private:
    std::vector<uint8_t> ProgramMemory(const std::vector<uint8_t>& body, bool flash);
    std::vector<uint8_t> ReadMemory(const std::vector<uint8_t>& body, bool flash);
    uint8_t UniversalInstruction(uint8_t b1, uint8_t b2, uint8_t b3) const;
    uint8_t Parameter(uint8_t id) const;

    Stk500v2Framer framer_;
    std::vector<uint8_t> flash_;
    std::vector<uint8_t> eeprom_;
    uint32_t address_ = 0; // words for flash, bytes for EEPROM
    uint32_t programmedEnd_ = 0;
    int messages_ = 0;
    bool left_ = false;
};
