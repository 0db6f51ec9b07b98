#include "model/RecordFiles.h"

#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <bit>
#include <cstring>

namespace {

// Writes fields at fixed offsets into a zero-filled record.
class RecordWriter {
  public:
    explicit RecordWriter(int size) : bytes_(size, '\0') {}

    void Integer(int offset, int value) { qToLittleEndian<qint32>(value, bytes_.data() + offset); }
    void Double(int offset, double value) {
        qToLittleEndian<quint64>(std::bit_cast<quint64>(value), bytes_.data() + offset);
    }
    void Text(int offset, int capacity, const QString& text) {
        const QByteArray encoded = ToCp1252(text.left(capacity)).left(capacity);
        bytes_[offset] = static_cast<char>(encoded.size());
        std::memcpy(bytes_.data() + offset + 1, encoded.constData(),
                    static_cast<size_t>(encoded.size()));
    }
    QByteArray Bytes() const { return bytes_; }

  private:
    QByteArray bytes_;
};

// Reads fields at fixed offsets; a length byte above the capacity is cut to it.
class RecordReader {
  public:
    explicit RecordReader(const char* data) : data_(data) {}

    int Integer(int offset) const { return qFromLittleEndian<qint32>(data_ + offset); }
    double Double(int offset) const {
        return std::bit_cast<double>(qFromLittleEndian<quint64>(data_ + offset));
    }
    QString Text(int offset, int capacity) const {
        const int length = std::min<int>(static_cast<unsigned char>(data_[offset]), capacity);
        return FromCp1252(data_ + offset + 1, length);
    }

  private:
    const char* data_;
};

// Byte offsets of the configuration record.
namespace CommandOffset {
constexpr int ID = 0, Command = 4, Description = 13, MinValueFW = 120, MaxValueFW = 128,
              DigitsValueFW = 136, StepValueFW = 144, MeasureUnitFW = 152, DefaultValueFW = 160,
              ActualValueFW = 168, FWtoSWFactor = 176, MinValueSW = 184, MaxValueSW = 192,
              DigitsValueSW = 200, StepValueSW = 208, MeasureUnitSW = 216, DefaultValueSW = 224,
              ActualValueSW = 232, ActivePCB3X = 240, ActivePCB40 = 242, ActivePCB41 = 244,
              ActivePCB42 = 246, ActivePCB43 = 248, ActivePCB50 = 250, ActivePCB60 = 252,
              ReadFromGCUID = 256, WriteToGCUID = 260, Hint = 264, SenderType = 515,
              SenderName1 = 566, SenderName2 = 667, ActivePageIndex1 = 768, ActivePageIndex2 = 772,
              Status = 776;
} // namespace CommandOffset

// Byte offsets of the sequence record.
namespace SequenceOffset {
constexpr int CommandID = 0, Command = 4, Description = 13, PreviousValueFW = 120,
              ActualValueFW = 128, PreviousValueSW = 136, ActualValueSW = 144, Time = 152,
              Status = 161, SenderType = 163, SenderName1 = 214, SenderName2 = 315,
              ActivePageIndex1 = 416, ActivePageIndex2 = 420;
} // namespace SequenceOffset

// The PCB flag texts paired with their offsets, in record order.
struct PcbFlagField {
    QString TCommandRecord::*field;
    int offset;
};
constexpr PcbFlagField PcbFlagFields[] = {
    {&TCommandRecord::ActivePCB3X, CommandOffset::ActivePCB3X},
    {&TCommandRecord::ActivePCB40, CommandOffset::ActivePCB40},
    {&TCommandRecord::ActivePCB41, CommandOffset::ActivePCB41},
    {&TCommandRecord::ActivePCB42, CommandOffset::ActivePCB42},
    {&TCommandRecord::ActivePCB43, CommandOffset::ActivePCB43},
    {&TCommandRecord::ActivePCB50, CommandOffset::ActivePCB50},
    {&TCommandRecord::ActivePCB60, CommandOffset::ActivePCB60},
};

// The whole file, refused by its size before a byte is read where the size is
// known; a stream is read with a bound and refused by what it gave.
QByteArray ReadRecordFile(const QString& fileName, int recordSize) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    if (!file.isSequential()) {
        if (const auto why = RecordFileShapeFault(file.size(), recordSize))
            throw ERecordFileRefused(*why, fileName, file.size());
    }
    const QByteArray bytes = file.read(MaxRecordsInFile * recordSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\": %2").arg(fileName, file.errorString()));
    if (!file.isSequential() && bytes.size() != file.size())
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\": it changed while being read").arg(fileName));
    if (const auto why = RecordFileShapeFault(bytes.size(), recordSize))
        throw ERecordFileRefused(*why, fileName, bytes.size());
    return bytes;
}

void WriteWholeFile(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(
            QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EInOutError(
            QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
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

QByteArray EncodeCommandRecord(const TCommandRecord& r) {
    namespace O = CommandOffset;
    namespace Cap = CommandTextCapacity;
    RecordWriter w(CommandRecordSize);
    w.Integer(O::ID, r.ID);
    w.Text(O::Command, Cap::Command, r.Command);
    w.Text(O::Description, Cap::Description, r.Description);
    w.Double(O::MinValueFW, r.MinValueFW);
    w.Double(O::MaxValueFW, r.MaxValueFW);
    w.Integer(O::DigitsValueFW, r.DigitsValueFW);
    w.Double(O::StepValueFW, r.StepValueFW);
    w.Text(O::MeasureUnitFW, Cap::MeasureUnit, r.MeasureUnitFW);
    w.Double(O::DefaultValueFW, r.DefaultValueFW);
    w.Double(O::ActualValueFW, r.ActualValueFW);
    w.Double(O::FWtoSWFactor, r.FWtoSWFactor);
    w.Double(O::MinValueSW, r.MinValueSW);
    w.Double(O::MaxValueSW, r.MaxValueSW);
    w.Integer(O::DigitsValueSW, r.DigitsValueSW);
    w.Double(O::StepValueSW, r.StepValueSW);
    w.Text(O::MeasureUnitSW, Cap::MeasureUnit, r.MeasureUnitSW);
    w.Double(O::DefaultValueSW, r.DefaultValueSW);
    w.Double(O::ActualValueSW, r.ActualValueSW);
    for (const PcbFlagField& flag : PcbFlagFields)
        w.Text(flag.offset, Cap::ActivePCB, r.*flag.field);
    w.Integer(O::ReadFromGCUID, r.ReadFromGCUID);
    w.Integer(O::WriteToGCUID, r.WriteToGCUID);
    w.Text(O::Hint, Cap::Hint, r.Hint);
    w.Text(O::SenderType, Cap::SenderType, r.SenderType);
    w.Text(O::SenderName1, Cap::SenderName, r.SenderName1);
    w.Text(O::SenderName2, Cap::SenderName, r.SenderName2);
    w.Integer(O::ActivePageIndex1, r.ActivePageIndex1);
    w.Integer(O::ActivePageIndex2, r.ActivePageIndex2);
    w.Text(O::Status, Cap::Status, r.Status);
    return w.Bytes();
}

TCommandRecord DecodeCommandRecord(const char* data) {
    namespace O = CommandOffset;
    namespace Cap = CommandTextCapacity;
    const RecordReader rd(data);
    TCommandRecord r;
    r.ID = rd.Integer(O::ID);
    r.Command = rd.Text(O::Command, Cap::Command);
    r.Description = rd.Text(O::Description, Cap::Description);
    r.MinValueFW = rd.Double(O::MinValueFW);
    r.MaxValueFW = rd.Double(O::MaxValueFW);
    r.DigitsValueFW = rd.Integer(O::DigitsValueFW);
    r.StepValueFW = rd.Double(O::StepValueFW);
    r.MeasureUnitFW = rd.Text(O::MeasureUnitFW, Cap::MeasureUnit);
    r.DefaultValueFW = rd.Double(O::DefaultValueFW);
    r.ActualValueFW = rd.Double(O::ActualValueFW);
    r.FWtoSWFactor = rd.Double(O::FWtoSWFactor);
    r.MinValueSW = rd.Double(O::MinValueSW);
    r.MaxValueSW = rd.Double(O::MaxValueSW);
    r.DigitsValueSW = rd.Integer(O::DigitsValueSW);
    r.StepValueSW = rd.Double(O::StepValueSW);
    r.MeasureUnitSW = rd.Text(O::MeasureUnitSW, Cap::MeasureUnit);
    r.DefaultValueSW = rd.Double(O::DefaultValueSW);
    r.ActualValueSW = rd.Double(O::ActualValueSW);
    for (const PcbFlagField& flag : PcbFlagFields)
        r.*flag.field = rd.Text(flag.offset, Cap::ActivePCB);
    r.ReadFromGCUID = rd.Integer(O::ReadFromGCUID);
    r.WriteToGCUID = rd.Integer(O::WriteToGCUID);
    r.Hint = rd.Text(O::Hint, Cap::Hint);
    r.SenderType = rd.Text(O::SenderType, Cap::SenderType);
    r.SenderName1 = rd.Text(O::SenderName1, Cap::SenderName);
    r.SenderName2 = rd.Text(O::SenderName2, Cap::SenderName);
    r.ActivePageIndex1 = rd.Integer(O::ActivePageIndex1);
    r.ActivePageIndex2 = rd.Integer(O::ActivePageIndex2);
    r.Status = rd.Text(O::Status, Cap::Status);
    return r;
}

QByteArray EncodeSequenceRecord(const TSequenceRecord& r) {
    namespace O = SequenceOffset;
    namespace Cap = SequenceTextCapacity;
    RecordWriter w(SequenceRecordSize);
    w.Integer(O::CommandID, r.CommandID);
    w.Text(O::Command, Cap::Command, r.Command);
    w.Text(O::Description, Cap::Description, r.Description);
    w.Double(O::PreviousValueFW, r.PreviousValueFW);
    w.Double(O::ActualValueFW, r.ActualValueFW);
    w.Double(O::PreviousValueSW, r.PreviousValueSW);
    w.Double(O::ActualValueSW, r.ActualValueSW);
    w.Text(O::Time, Cap::Time, r.Time);
    w.Text(O::Status, Cap::Status, r.Status);
    w.Text(O::SenderType, Cap::SenderType, r.SenderType);
    w.Text(O::SenderName1, Cap::SenderName, r.SenderName1);
    w.Text(O::SenderName2, Cap::SenderName, r.SenderName2);
    w.Integer(O::ActivePageIndex1, r.ActivePageIndex1);
    w.Integer(O::ActivePageIndex2, r.ActivePageIndex2);
    return w.Bytes();
}

TSequenceRecord DecodeSequenceRecord(const char* data) {
    namespace O = SequenceOffset;
    namespace Cap = SequenceTextCapacity;
    const RecordReader rd(data);
    TSequenceRecord r;
    r.CommandID = rd.Integer(O::CommandID);
    r.Command = rd.Text(O::Command, Cap::Command);
    r.Description = rd.Text(O::Description, Cap::Description);
    r.PreviousValueFW = rd.Double(O::PreviousValueFW);
    r.ActualValueFW = rd.Double(O::ActualValueFW);
    r.PreviousValueSW = rd.Double(O::PreviousValueSW);
    r.ActualValueSW = rd.Double(O::ActualValueSW);
    r.Time = rd.Text(O::Time, Cap::Time);
    r.Status = rd.Text(O::Status, Cap::Status);
    r.SenderType = rd.Text(O::SenderType, Cap::SenderType);
    r.SenderName1 = rd.Text(O::SenderName1, Cap::SenderName);
    r.SenderName2 = rd.Text(O::SenderName2, Cap::SenderName);
    r.ActivePageIndex1 = rd.Integer(O::ActivePageIndex1);
    r.ActivePageIndex2 = rd.Integer(O::ActivePageIndex2);
    return r;
}

RecordSeries<TCommandRecord> DecodeCommandRecords(const QByteArray& bytes) {
    return DecodeSeries<TCommandRecord>(bytes, CommandRecordSize, DecodeCommandRecord);
}

RecordSeries<TSequenceRecord> DecodeSequenceRecords(const QByteArray& bytes) {
    return DecodeSeries<TSequenceRecord>(bytes, SequenceRecordSize, DecodeSequenceRecord);
}

ERecordFileRefused::ERecordFileRefused(Why why, const QString& fileName, qint64 size)
    : EInOutError(why == Why::NotWholeRecords
                      ? QStringLiteral("File \"%1\" (%2 bytes) is not a whole number of records")
                            .arg(fileName)
                            .arg(size)
                      : QStringLiteral("File \"%1\" (%2 bytes) holds far too many records")
                            .arg(fileName)
                            .arg(size)),
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
