#include "gcusim/IntelHex.h"

#include "util/Exceptions.h"

#include <QSaveFile>

#include <algorithm>

namespace {

enum RecordType : uint8_t { Data = 0, EndOfFile = 1, ExtendedSegment = 2, ExtendedLinear = 4 };

QByteArray Record(RecordType type, uint16_t address, const uint8_t* data, int size) {
    QByteArray bytes;
    bytes.append(static_cast<char>(size));
    bytes.append(static_cast<char>(address >> 8));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(reinterpret_cast<const char*>(data), size);
    uint8_t sum = 0;
    for (const char b : bytes)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(b));
    bytes.append(static_cast<char>(-sum & 0xFF));
    return ":" + bytes.toHex().toUpper() + "\r\n";
}

} // namespace

MemoryImage ParseIntelHex(const QByteArray& text) {
    MemoryImage image;
    uint32_t base = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const auto fail = [i](const char* why) {
            throw EInOutError(QStringLiteral("HEX line %1: %2").arg(i + 1).arg(why));
        };
        const QByteArray bytes = QByteArray::fromHex(line.mid(1));
        if (!line.startsWith(':') || bytes.size() < 5 || bytes.size() != 5 + uint8_t(bytes[0]))
            fail("malformed record");
        uint8_t sum = 0;
        for (const char b : bytes)
            sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(b));
        if (sum != 0)
            fail("bad checksum");
        const auto byte = [&bytes](int k) { return static_cast<uint8_t>(bytes[k]); };
        const uint32_t offset = uint32_t{byte(1)} << 8 | byte(2);
        switch (byte(3)) {
        case Data:
            for (int k = 0; k < byte(0); ++k)
                image[base + offset + k] = byte(4 + k);
            break;
        case EndOfFile:
            return image;
        case ExtendedSegment:
            base = (uint32_t{byte(4)} << 8 | byte(5)) << 4;
            break;
        case ExtendedLinear:
            base = (uint32_t{byte(4)} << 8 | byte(5)) << 16;
            break;
        default:
            break; // start addresses mean nothing to a flash image
        }
    }
    return image;
}

QByteArray FormatIntelHex(const std::vector<uint8_t>& memory, uint32_t end, bool skipErased) {
    QByteArray text;
    end = std::min<uint32_t>(end, static_cast<uint32_t>(memory.size()));
    uint32_t upper = 0;
    for (uint32_t address = 0; address < end; address += 16) {
        const int size = static_cast<int>(std::min<uint32_t>(16, end - address));
        const auto first = memory.begin() + address;
        if (skipErased && std::all_of(first, first + size, [](uint8_t b) { return b == 0xFF; }))
            continue;
        if ((address >> 16) != upper) {
            upper = address >> 16;
            const uint8_t high[2]{static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            text += Record(ExtendedLinear, 0, high, 2);
        }
        text +=
            Record(Data, static_cast<uint16_t>(address & 0xFFFF), memory.data() + address, size);
    }
    text += Record(EndOfFile, 0, nullptr, 0);
    return text;
}

void WriteMemoryFile(const QString& fileName, const std::vector<uint8_t>& memory, uint32_t end) {
    end = std::min<uint32_t>(end, static_cast<uint32_t>(memory.size()));
    const QByteArray content =
        fileName.endsWith(QLatin1String(".hex"), Qt::CaseInsensitive)
            ? FormatIntelHex(memory, end, true)
            : QByteArray(reinterpret_cast<const char*>(memory.data()), static_cast<qsizetype>(end));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw EInOutError(QStringLiteral("Cannot write ") + fileName + ": " + file.errorString());
}
