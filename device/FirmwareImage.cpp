#include "device/FirmwareImage.h"
#include "translation/MessageNumbers.h"

#include <QFile>
#include <QList>
#include <optional>

namespace {

FirmwareImageCheck Refused(const DetailPhrase& reason) {
    FirmwareImageCheck refused;
    refused.problemPhrase = reason;
    refused.problem = EnglishText(reason);
    return refused;
}

enum RecordType : quint8 {
    kData = 0x00,
    kEndOfFile = 0x01,
    kExtendedSegmentAddress = 0x02,
    kStartSegmentAddress = 0x03,
    kExtendedLinearAddress = 0x04,
    kStartLinearAddress = 0x05,
};

struct Record {
    quint8 type = 0;
    quint16 offset = 0;
    QByteArray data;
};

QString Hex(quint32 value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The bytes written as hex pairs after the colon; empty optional on a
// character that is not a hex digit or an odd number of digits.
std::optional<QByteArray> DecodeHexPairs(const QByteArray& digits) {
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = HexDigit(digits[i]);
        const int low = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

// Parses one line that starts with ":"; on a fault, problem names it.
std::optional<Record> ParseRecord(const QByteArray& line, DetailPhrase& problem) {
    const std::optional<QByteArray> bytes = DecodeHexPairs(line.mid(1));
    if (!bytes) {
        problem = {Msg::PhraseHexNotHexPairs, {}};
        return std::nullopt;
    }
    // Byte count, two address bytes, type, checksum.
    constexpr qsizetype kFrameBytes = 5;
    if (bytes->size() < kFrameBytes ||
        bytes->size() != kFrameBytes + static_cast<quint8>(bytes->at(0))) {
        problem = {Msg::PhraseHexLengthMismatch, {}};
        return std::nullopt;
    }
    quint8 sum = 0;
    for (char b : *bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    if (sum != 0) {
        problem = {Msg::PhraseHexChecksum, {}};
        return std::nullopt;
    }
    Record record;
    record.offset = static_cast<quint16>(static_cast<quint8>(bytes->at(1)) << 8 |
                                         static_cast<quint8>(bytes->at(2)));
    record.type = static_cast<quint8>(bytes->at(3));
    record.data = bytes->mid(4, bytes->size() - kFrameBytes);
    return record;
}

quint32 BigEndian16(const QByteArray& data) {
    return static_cast<quint32>(static_cast<quint8>(data[0]) << 8 | static_cast<quint8>(data[1]));
}

class HexChecker {
  public:
    explicit HexChecker(quint32 flashBytes) : flashBytes_(flashBytes) {}

    FirmwareImageCheck Check(const QByteArray& text) {
        const QList<QByteArray> lines = text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            if (line.isEmpty())
                continue;
            if (!CheckLine(line))
                return Refuse(i + 1);
        }
        if (!endSeen_)
            return Refuse(0, {Msg::PhraseHexNoEndRecord, {}});
        if (result_.dataBytes == 0)
            return Refuse(0, {Msg::PhraseHexNoData, {}});
        result_.valid = true;
        return result_;
    }

  private:
    bool CheckLine(const QByteArray& line) {
        if (endSeen_) {
            problem_ = {Msg::PhraseHexTextAfterEnd, {}};
            return false;
        }
        if (!line.startsWith(':')) {
            problem_ = {Msg::PhraseHexNotARecord, {}};
            return false;
        }
        const std::optional<Record> record = ParseRecord(line, problem_);
        return record && Apply(*record);
    }

    bool Apply(const Record& record) {
        switch (record.type) {
        case kData:
            return ApplyData(record);
        case kEndOfFile:
            return ExpectLength(record, 0) && MarkEnd();
        case kExtendedSegmentAddress:
            return ExpectLength(record, 2) && SetBase(BigEndian16(record.data) << 4);
        case kExtendedLinearAddress:
            return ExpectLength(record, 2) && SetBase(BigEndian16(record.data) << 16);
        case kStartSegmentAddress:
        case kStartLinearAddress:
            return ExpectLength(record, 4);
        default:
            problem_ = {Msg::PhraseHexTypeUnsupported, {Hex(record.type, 2)}};
            return false;
        }
    }

    bool MarkEnd() {
        endSeen_ = true;
        return true;
    }

    bool SetBase(quint32 base) {
        base_ = base;
        return true;
    }

    bool ExpectLength(const Record& record, qsizetype length) {
        if (record.data.size() == length)
            return true;
        problem_ = {Msg::PhraseHexTypeLength, {Hex(record.type, 2), QString::number(length)}};
        return false;
    }

    bool ApplyData(const Record& record) {
        // Addresses do not wrap at a 64 KiB boundary: the offset adds to the base.
        const quint64 end = quint64(base_) + record.offset + quint64(record.data.size());
        if (end > flashBytes_) {
            problem_ = {Msg::PhraseHexBeyondFlash,
                        {Hex(static_cast<quint32>(end - 1), 5), QString::number(flashBytes_),
                         Hex(flashBytes_ - 1, 5)}};
            return false;
        }
        result_.dataBytes += static_cast<quint32>(record.data.size());
        result_.endAddress = std::max(result_.endAddress, static_cast<quint32>(end));
        return true;
    }

    // A problem of a line names the line first.
    FirmwareImageCheck Refuse(qsizetype lineNumber, const DetailPhrase& problem = {}) {
        DetailPhrase reason = problem.message != 0 ? problem : problem_;
        if (lineNumber > 0)
            reason.values.prepend(QString::number(lineNumber));
        return Refused(reason);
    }

    const quint32 flashBytes_;
    quint32 base_ = 0;
    bool endSeen_ = false;
    DetailPhrase problem_;
    FirmwareImageCheck result_;
};

} // namespace

FirmwareImageCheck CheckFirmwareImageText(const QByteArray& text, quint32 flashBytes) {
    return HexChecker(flashBytes).Check(text);
}

FirmwareImageCheck CheckFirmwareImageFile(const QString& path, quint32 flashBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refused({Msg::PhraseHexCannotRead, {file.errorString(), path}});
    if (file.size() > kMaxFirmwareFileBytes)
        return Refused({Msg::PhraseHexTooLarge, {}});
    return CheckFirmwareImageText(file.readAll(), flashBytes);
}
