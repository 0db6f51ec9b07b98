#include "model/RecordFiles.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <bit>
#include <cerrno>
#include <cstring>
#include <type_traits>
#include <variant>

namespace {

// One field of a record: where it lies, and the member it holds. The member's
// type says how it is stored: an int as 4 bytes, a double as 8 (both
// little-endian), a text as a length byte followed by Capacity Windows-1252
// bytes.
template <typename Record> struct RecordField {
    int offset;
    std::variant<int Record::*, double Record::*, QString Record::*> member;
    int capacity = 0; // texts only
};

template <typename Record> constexpr int FieldSize(const RecordField<Record>& field) {
    if (std::holds_alternative<int Record::*>(field.member))
        return 4;
    if (std::holds_alternative<double Record::*>(field.member))
        return 8;
    return 1 + field.capacity;
}

// Fields in offset order, none overlapping the next, the last within the record.
template <typename Record, size_t N>
constexpr bool FieldsFitRecord(const RecordField<Record> (&fields)[N], int recordSize) {
    for (size_t i = 0; i < N; ++i) {
        const int end = fields[i].offset + FieldSize(fields[i]);
        if (end > (i + 1 < N ? fields[i + 1].offset : recordSize))
            return false;
    }
    return true;
}

using CommandField = RecordField<TCommandRecord>;
using TC = TCommandRecord;
namespace CCap = CommandTextCapacity;
// The configuration record, 784 bytes.
constexpr CommandField CommandLayout[] = {
    {0, &TC::ID},
    {4, &TC::Command, CCap::Command},
    {13, &TC::Description, CCap::Description},
    {120, &TC::MinValueFW},
    {128, &TC::MaxValueFW},
    {136, &TC::DigitsValueFW},
    {144, &TC::StepValueFW},
    {152, &TC::MeasureUnitFW, CCap::MeasureUnit},
    {160, &TC::DefaultValueFW},
    {168, &TC::ActualValueFW},
    {176, &TC::FWtoSWFactor},
    {184, &TC::MinValueSW},
    {192, &TC::MaxValueSW},
    {200, &TC::DigitsValueSW},
    {208, &TC::StepValueSW},
    {216, &TC::MeasureUnitSW, CCap::MeasureUnit},
    {224, &TC::DefaultValueSW},
    {232, &TC::ActualValueSW},
    {240, &TC::ActivePCB3X, CCap::ActivePCB},
    {242, &TC::ActivePCB40, CCap::ActivePCB},
    {244, &TC::ActivePCB41, CCap::ActivePCB},
    {246, &TC::ActivePCB42, CCap::ActivePCB},
    {248, &TC::ActivePCB43, CCap::ActivePCB},
    {250, &TC::ActivePCB50, CCap::ActivePCB},
    {252, &TC::ActivePCB60, CCap::ActivePCB},
    {256, &TC::ReadFromGCUID},
    {260, &TC::WriteToGCUID},
    {264, &TC::Hint, CCap::Hint},
    {515, &TC::SenderType, CCap::SenderType},
    {566, &TC::SenderName1, CCap::SenderName},
    {667, &TC::SenderName2, CCap::SenderName},
    {768, &TC::ActivePageIndex1},
    {772, &TC::ActivePageIndex2},
    {776, &TC::Status, CCap::Status},
};
static_assert(FieldsFitRecord(CommandLayout, CommandRecordSize));

using SequenceField = RecordField<TSequenceRecord>;
using TS = TSequenceRecord;
namespace SCap = SequenceTextCapacity;
// The sequence record, 424 bytes.
constexpr SequenceField SequenceLayout[] = {
    {0, &TS::CommandID},
    {4, &TS::Command, SCap::Command},
    {13, &TS::Description, SCap::Description},
    {120, &TS::PreviousValueFW},
    {128, &TS::ActualValueFW},
    {136, &TS::PreviousValueSW},
    {144, &TS::ActualValueSW},
    {152, &TS::Time, SCap::Time},
    {161, &TS::Status, SCap::Status},
    {163, &TS::SenderType, SCap::SenderType},
    {214, &TS::SenderName1, SCap::SenderName},
    {315, &TS::SenderName2, SCap::SenderName},
    {416, &TS::ActivePageIndex1},
    {420, &TS::ActivePageIndex2},
};
static_assert(FieldsFitRecord(SequenceLayout, SequenceRecordSize));

// A zero-filled record with every field of the layout written into it. Texts
// are cut to their capacity in Windows-1252 characters, one byte each.
template <typename Record, size_t N>
QByteArray EncodeRecord(const Record& record, const RecordField<Record> (&layout)[N], int size) {
    QByteArray bytes(size, '\0');
    for (const RecordField<Record>& field : layout) {
        char* at = bytes.data() + field.offset;
        std::visit(
            [&](auto member) {
                const auto& value = record.*member;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, int>) {
                    qToLittleEndian<qint32>(value, at);
                } else if constexpr (std::is_same_v<Value, double>) {
                    qToLittleEndian<quint64>(std::bit_cast<quint64>(value), at);
                } else {
                    const QByteArray text = ToCp1252(value).left(field.capacity);
                    at[0] = static_cast<char>(text.size());
                    std::memcpy(at + 1, text.constData(), static_cast<size_t>(text.size()));
                }
            },
            field.member);
    }
    return bytes;
}

// Every field of the layout read from one record's bytes; a length byte above
// its text's capacity is read as the capacity.
template <typename Record, size_t N>
Record DecodeRecord(const char* data, const RecordField<Record> (&layout)[N]) {
    Record record;
    for (const RecordField<Record>& field : layout) {
        const char* at = data + field.offset;
        std::visit(
            [&](auto member) {
                auto& value = record.*member;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, int>) {
                    value = qFromLittleEndian<qint32>(at);
                } else if constexpr (std::is_same_v<Value, double>) {
                    value = std::bit_cast<double>(qFromLittleEndian<quint64>(at));
                } else {
                    const int length =
                        std::min<int>(static_cast<unsigned char>(at[0]), field.capacity);
                    value = FromCp1252(at + 1, length);
                }
            },
            field.member);
    }
    return record;
}

// The whole file, refused by its size before a byte is read where the size is
// known; a stream is read with a bound and refused by what it gave.
QByteArray ReadRecordFile(const QString& fileName, int recordSize) {
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotOpen, {fileName, FileErrorReason(file, errno)}});
    if (!file.isSequential()) {
        if (const auto why = RecordFileShapeFault(file.size(), recordSize))
            throw ERecordFileRefused(*why, fileName, file.size());
    }
    errno = 0;
    const QByteArray bytes = file.read(MaxRecordsInFile * recordSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotRead, {fileName, FileErrorReason(file, errno)}});
    if (!file.isSequential() && bytes.size() != file.size())
        throw EInOutError(DetailPhrase{Msg::PhraseFileChangedWhileRead, {fileName}});
    if (const auto why = RecordFileShapeFault(bytes.size(), recordSize))
        throw ERecordFileRefused(*why, fileName, bytes.size());
    return bytes;
}

void WriteWholeFile(const QString& fileName, const QByteArray& bytes) {
    SaveWholeFileOrRaise(fileName, bytes);
}

template <typename Record, typename Decode>
RecordSeries<Record> DecodeSeries(const QByteArray& bytes, int recordSize, Decode decode) {
    RecordSeries<Record> series;
    const qsizetype count = bytes.size() / recordSize;
    series.records.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        series.records.append(decode(bytes.constData() + i * recordSize));
    series.trailingBytes = bytes.size() - count * recordSize;
    return series;
}

} // namespace

QByteArray EncodeCommandRecord(const TCommandRecord& record) {
    return EncodeRecord(record, CommandLayout, CommandRecordSize);
}

TCommandRecord DecodeCommandRecord(const char* data) {
    return DecodeRecord(data, CommandLayout);
}

QByteArray EncodeSequenceRecord(const TSequenceRecord& record) {
    return EncodeRecord(record, SequenceLayout, SequenceRecordSize);
}

TSequenceRecord DecodeSequenceRecord(const char* data) {
    return DecodeRecord(data, SequenceLayout);
}

RecordSeries<TCommandRecord> DecodeCommandRecords(const QByteArray& bytes) {
    return DecodeSeries<TCommandRecord>(bytes, CommandRecordSize, DecodeCommandRecord);
}

RecordSeries<TSequenceRecord> DecodeSequenceRecords(const QByteArray& bytes) {
    return DecodeSeries<TSequenceRecord>(bytes, SequenceRecordSize, DecodeSequenceRecord);
}

ERecordFileRefused::ERecordFileRefused(Why why, const QString& fileName, qint64 size)
    : EInOutError(DetailPhrase{why == Why::NotWholeRecords ? Msg::PhraseNotWholeRecords
                                                           : Msg::PhraseFarTooManyRecords,
                               {fileName, QString::number(size)}}),
      why_(why), fileName_(fileName), size_(size) {}

std::optional<ERecordFileRefused::Why> RecordFileShapeFault(qint64 size, int recordSize) {
    if (size > MaxRecordsInFile * recordSize)
        return ERecordFileRefused::Why::TooManyRecords;
    if (size % recordSize != 0)
        return ERecordFileRefused::Why::NotWholeRecords;
    return std::nullopt;
}

RecordSeries<TCommandRecord> ReadConfigFile(const QString& fileName) {
    return DecodeCommandRecords(ReadRecordFile(fileName, CommandRecordSize));
}

RecordSeries<TSequenceRecord> ReadSequenceFile(const QString& fileName) {
    return DecodeSequenceRecords(ReadRecordFile(fileName, SequenceRecordSize));
}

void WriteConfigFile(const QString& fileName, const QVector<TCommandRecord>& records) {
    QByteArray bytes;
    bytes.reserve(records.size() * CommandRecordSize);
    for (const TCommandRecord& record : records)
        bytes.append(EncodeCommandRecord(record));
    WriteWholeFile(fileName, bytes);
}

void WriteSequenceFile(const QString& fileName, const QVector<TSequenceRecord>& records) {
    QByteArray bytes;
    bytes.reserve(records.size() * SequenceRecordSize);
    for (const TSequenceRecord& record : records)
        bytes.append(EncodeSequenceRecord(record));
    WriteWholeFile(fileName, bytes);
}

bool IsCommandActiveForPcb(const TCommandRecord& row, int pcbVersion) {
    const QString one = QStringLiteral("1");
    if (pcbVersion == 0)
        return true;
    if (pcbVersion >= 30 && pcbVersion <= 39)
        return row.ActivePCB3X == one;
    switch (pcbVersion) {
    case 40:
        return row.ActivePCB40 == one;
    case 41:
        return row.ActivePCB41 == one;
    case 42:
        return row.ActivePCB42 == one;
    case 43:
        return row.ActivePCB43 == one;
    case 50:
        return row.ActivePCB50 == one;
    case 60:
        return row.ActivePCB60 == one;
    default:
        return false;
    }
}

bool IsKnownPcbVersion(int pcbVersion) {
    switch (pcbVersion) {
    case 0:
    case 40:
    case 41:
    case 42:
    case 43:
    case 50:
    case 60:
        return true;
    default:
        return pcbVersion >= 30 && pcbVersion <= 39;
    }
}

QVector<int> ConfigRowsToSave(const CommandTable& commands, int pcbVersion) {
    if (!IsKnownPcbVersion(pcbVersion))
        pcbVersion = 0;
    QVector<int> ids;
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = commands[id];
        if (!row.Command.isEmpty() && row.WriteToGCUID == 1 &&
            IsCommandActiveForPcb(row, pcbVersion) && !row.SenderName1.isEmpty())
            ids.append(id);
    }
    return ids;
}

int SaveConfigFile(const QString& fileName, const CommandTable& commands, int pcbVersion) {
    QVector<TCommandRecord> records;
    for (int id : ConfigRowsToSave(commands, pcbVersion))
        records.append(commands[id]);
    WriteConfigFile(fileName, records);
    return static_cast<int>(records.size());
}

QVector<int> SequenceEntriesToSave(const ChangeSequence& sequence) {
    QVector<int> indices;
    for (int i = 1; i <= SequenceCount; ++i) {
        if (sequence[i].CommandID > 0 && sequence[i].Status != StatusLetter::Discarded)
            indices.append(i);
    }
    return indices;
}

int SaveSequenceFile(const QString& fileName, const ChangeSequence& sequence) {
    QVector<TSequenceRecord> records;
    for (int i : SequenceEntriesToSave(sequence))
        records.append(sequence[i]);
    WriteSequenceFile(fileName, records);
    return static_cast<int>(records.size());
}
