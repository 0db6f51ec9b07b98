#include "gcusim/Stk500v2BootLoader.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint8_t MessageStart = 0x1B;
constexpr uint8_t Token = 0x0E;
constexpr uint16_t MaxBodySize = 275; // a 256-byte page plus its command

constexpr uint8_t StatusOk = 0x00;
constexpr uint8_t StatusFailed = 0xC0;
constexpr uint8_t StatusUnknown = 0xC9;

enum Command : uint8_t {
    SignOn = 0x01,
    SetParameter = 0x02,
    GetParameter = 0x03,
    SetDeviceParameters = 0x04,
    Osccal = 0x05,
    LoadAddress = 0x06,
    EnterProgModeIsp = 0x10,
    LeaveProgModeIsp = 0x11,
    ChipEraseIsp = 0x12,
    ProgramFlashIsp = 0x13,
    ReadFlashIsp = 0x14,
    ProgramEepromIsp = 0x15,
    ReadEepromIsp = 0x16,
    ProgramFuseIsp = 0x17,
    ReadFuseIsp = 0x18,
    ProgramLockIsp = 0x19,
    ReadLockIsp = 0x1A,
    ReadSignatureIsp = 0x1B,
    ReadOsccalIsp = 0x1C,
    SpiMulti = 0x1D,
};

enum Parameter : uint8_t {
    HardwareVersion = 0x90,
    SoftwareMajor = 0x91,
    SoftwareMinor = 0x92,
    TargetVoltage = 0x94,
    SckDuration = 0x98,
};

constexpr std::array<uint8_t, 3> Signature{0x1E, 0x98, 0x01};
constexpr char SignOnName[] = "AVRISP_2";
constexpr uint8_t LowFuse = 0xFF;
constexpr uint8_t HighFuse = 0xD8;
constexpr uint8_t ExtendedFuse = 0xFD;
constexpr uint8_t LockBits = 0xCF;

uint16_t ByteCount(const std::vector<uint8_t>& body) {
    return static_cast<uint16_t>(body[1] << 8 | body[2]);
}

} // namespace

void Stk500v2Framer::Reset() {
    state_ = State::Start;
    body_.clear();
}

bool Stk500v2Framer::Feed(uint8_t byte) {
    switch (state_) {
    case State::Start:
        if (byte == MessageStart) {
            checksum_ = byte;
            state_ = State::Sequence;
        }
        return false;
    case State::Sequence:
        sequence_ = byte;
        state_ = State::SizeHigh;
        break;
    case State::SizeHigh:
        size_ = static_cast<uint16_t>(byte << 8);
        state_ = State::SizeLow;
        break;
    case State::SizeLow:
        size_ |= byte;
        state_ = size_ > 0 && size_ <= MaxBodySize ? State::Token : State::Start;
        if (state_ == State::Start)
            ++badMessages_;
        break;
    case State::Token:
        state_ = byte == Token ? State::Body : State::Start;
        if (state_ == State::Start)
            ++badMessages_;
        body_.clear();
        break;
    case State::Body:
        body_.push_back(byte);
        if (body_.size() == size_)
            state_ = State::Checksum;
        break;
    case State::Checksum:
        state_ = State::Start;
        if (byte == checksum_)
            return true;
        ++badMessages_;
        return false;
    }
    checksum_ ^= byte;
    return false;
}

std::vector<uint8_t> FrameStk500v2Message(uint8_t sequence, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> message{MessageStart, sequence, static_cast<uint8_t>(body.size() >> 8),
                                 static_cast<uint8_t>(body.size() & 0xFF), Token};
    message.insert(message.end(), body.begin(), body.end());
    uint8_t checksum = 0;
    for (const uint8_t b : message)
        checksum ^= b;
    message.push_back(checksum);
    return message;
}

Stk500v2BootLoader::Stk500v2BootLoader()
    : flash_(Atmega2560FlashBytes, 0xFF), eeprom_(Atmega2560EepromBytes, 0xFF) {}

void Stk500v2BootLoader::Restart() {
    framer_.Reset();
    address_ = 0;
    messages_ = 0;
    left_ = false;
}

std::vector<uint8_t> Stk500v2BootLoader::Feed(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < size; ++i) {
        if (!framer_.Feed(data[i]))
            continue;
        ++messages_;
        const auto answer = FrameStk500v2Message(framer_.Sequence(), Answer(framer_.Body()));
        out.insert(out.end(), answer.begin(), answer.end());
    }
    return out;
}

uint8_t Stk500v2BootLoader::Parameter(uint8_t id) const {
    switch (id) {
    case HardwareVersion:
        return 0x0F;
    case SoftwareMajor:
        return 0x02;
    case SoftwareMinor:
        return 0x0A;
    case TargetVoltage:
        return 50; // 5.0 V
    case SckDuration:
        return 0x02;
    default:
        return 0;
    }
}

uint8_t Stk500v2BootLoader::UniversalInstruction(uint8_t b1, uint8_t b2, uint8_t b3) const {
    if (b1 == 0x30)
        return (b3 & 3) < Signature.size() ? Signature[b3 & 3] : 0;
    if (b1 == 0x50)
        return b2 == 0x08 ? ExtendedFuse : LowFuse;
    if (b1 == 0x58)
        return b2 == 0x08 ? HighFuse : LockBits;
    return 0;
}

std::vector<uint8_t> Stk500v2BootLoader::ProgramMemory(const std::vector<uint8_t>& body,
                                                       bool flash) {
    constexpr size_t DataOffset = 10;
    if (body.size() < DataOffset || body.size() - DataOffset != ByteCount(body))
        return {body[0], StatusFailed};
    std::vector<uint8_t>& memory = flash ? flash_ : eeprom_;
    const uint32_t start = flash ? address_ * 2 : address_;
    const uint32_t count = ByteCount(body);
    if (start + count > memory.size())
        return {body[0], StatusFailed};
    std::copy(body.begin() + DataOffset, body.end(), memory.begin() + start);
    if (flash)
        programmedEnd_ = std::max(programmedEnd_, start + count);
    address_ += flash ? count / 2 : count;
    return {body[0], StatusOk};
}

std::vector<uint8_t> Stk500v2BootLoader::ReadMemory(const std::vector<uint8_t>& body, bool flash) {
    if (body.size() < 4)
        return {body[0], StatusFailed};
    const std::vector<uint8_t>& memory = flash ? flash_ : eeprom_;
    const uint32_t start = flash ? address_ * 2 : address_;
    const uint32_t count = ByteCount(body);
    if (start + count > memory.size())
        return {body[0], StatusFailed};
    std::vector<uint8_t> answer{body[0], StatusOk};
    answer.insert(answer.end(), memory.begin() + start, memory.begin() + start + count);
    answer.push_back(StatusOk);
    address_ += flash ? count / 2 : count;
    return answer;
}

std::vector<uint8_t> Stk500v2BootLoader::Answer(const std::vector<uint8_t>& body) {
    const uint8_t command = body[0];
    const auto has = [&body](size_t n) { return body.size() >= n; };
    switch (command) {
    case SignOn: {
        std::vector<uint8_t> answer{command, StatusOk, sizeof SignOnName - 1};
        answer.insert(answer.end(), SignOnName, SignOnName + sizeof SignOnName - 1);
        return answer;
    }
    case GetParameter:
        if (!has(2))
            break;
        return {command, StatusOk, Parameter(body[1])};
    case SetParameter:
    case SetDeviceParameters:
    case Osccal:
    case EnterProgModeIsp:
    case ProgramFuseIsp:
    case ProgramLockIsp:
        return {command, StatusOk};
    case LeaveProgModeIsp:
        left_ = true;
        return {command, StatusOk};
    case LoadAddress:
        if (!has(5))
            break;
        // The top bit only tells the loader to set the extended address byte.
        address_ =
            (uint32_t{body[1]} << 24 | uint32_t{body[2]} << 16 | uint32_t{body[3]} << 8 | body[4]) &
            0x7FFFFFFF;
        return {command, StatusOk};
    case ChipEraseIsp:
        std::fill(flash_.begin(), flash_.end(), 0xFF);
        programmedEnd_ = 0;
        return {command, StatusOk};
    case ProgramFlashIsp:
    case ProgramEepromIsp:
        return ProgramMemory(body, command == ProgramFlashIsp);
    case ReadFlashIsp:
    case ReadEepromIsp:
        return ReadMemory(body, command == ReadFlashIsp);
    case ReadFuseIsp:
    case ReadLockIsp:
    case ReadSignatureIsp:
    case ReadOsccalIsp:
        if (!has(6))
            break;
        return {command, StatusOk, UniversalInstruction(body[2], body[3], body[4]), StatusOk};
    case SpiMulti: {
        if (!has(4) || body.size() < 4u + body[1])
            break;
        const uint8_t rxCount = body[2];
        const uint8_t rxStart = body[3];
        const uint8_t result =
            body[1] >= 4 ? UniversalInstruction(body[4], body[5], body[6]) : uint8_t{0};
        std::vector<uint8_t> answer{command, StatusOk};
        for (uint8_t i = 0; i < rxCount; ++i)
            answer.push_back(rxStart + i == 3 ? result : uint8_t{0});
        answer.push_back(StatusOk);
        return answer;
    }
    default:
        return {command, StatusUnknown};
    }
    return {command, StatusFailed};
}
