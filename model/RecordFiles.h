#pragma once
// Configuration files (*.QCF, a series of 784-byte command records) and
// sequence files (*.QSQ, a series of 424-byte sequence records): the byte
// layout of both records, whole-file reading and writing, and which rows and
// entries a save writes. Little-endian, texts as a length byte followed by the
// field's capacity in Windows-1252 bytes.
#include "model/CommandTable.h"
#include "model/Sequence.h"
#include "util/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

class ChangeSequence;

constexpr int CommandRecordSize = 784;
constexpr int SequenceRecordSize = 424;

// Exactly one record's bytes; unused text bytes and padding are zero.
QByteArray EncodeCommandRecord(const TCommandRecord& record);
QByteArray EncodeSequenceRecord(const TSequenceRecord& record);
// Data must hold at least one record's bytes. A length byte above its field's
// capacity is read as the capacity.
TCommandRecord DecodeCommandRecord(const char* data);
TSequenceRecord DecodeSequenceRecord(const char* data);

// The whole records of a file's bytes; bytes after the last whole record are
// not a record and only counted.
template <typename Record> struct RecordSeries {
    QVector<Record> records;
    qint64 trailingBytes = 0;
};
RecordSeries<TCommandRecord> DecodeCommandRecords(const QByteArray& bytes);
RecordSeries<TSequenceRecord> DecodeSequenceRecords(const QByteArray& bytes);

// Files this system writes hold at most 200 records. A file with far more is
// not a file of its kind, and is refused before it is read.
constexpr qint64 MaxRecordsInFile = 5 * CommandCount;

// A file that is plainly not a record file of its kind: its size is not a
// whole number of records (cut short, or another kind of file), or it holds
// far more records than any file of its kind.
class ERecordFileRefused : public EInOutError {
  public:
    enum class Why { NotWholeRecords, TooManyRecords };
    ERecordFileRefused(Why why, const QString& fileName, qint64 size);
    Why Reason() const { return why_; }
    const QString& FileName() const { return fileName_; }
    qint64 Size() const { return size_; }

  private:
    Why why_;
    QString fileName_;
    qint64 size_;
};

// Why a file of Size bytes cannot be a series of records of RecordSize bytes;
// nothing when it can. An empty file is a series of no records.
std::optional<ERecordFileRefused::Why> RecordFileShapeFault(qint64 size, int recordSize);

// Reading raises ERecordFileRefused for a file of the wrong shape (before its
// bytes are read), and EInOutError when it cannot be opened or read; nothing
// is returned then.
RecordSeries<TCommandRecord> ReadConfigFile(const QString& fileName);
RecordSeries<TSequenceRecord> ReadSequenceFile(const QString& fileName);
// Writing replaces the file only when every byte was written; otherwise it
// raises EInOutError and an existing file stays as it was.
void WriteConfigFile(const QString& fileName, const QVector<TCommandRecord>& records);
void WriteSequenceFile(const QString& fileName, const QVector<TSequenceRecord>& records);

// PCB selection of a command row: version 0 takes every row, 30..39 the rows
// with ActivePCB3X "1", 40, 41, 42, 43, 50, 60 the rows with that version's flag
// "1"; any other version takes no row.
bool IsCommandActiveForPcb(const TCommandRecord& row, int pcbVersion);
// 0 and the versions the command table has flags for.
bool IsKnownPcbVersion(int pcbVersion);

// Rows a configuration save writes, in ID order: a command word, WriteToGCUID
// 1, active for the PCB version, shown in a control. A board of a version the
// table has no flags for saves every such row, as before any version is known:
// a file with no rows would lose the whole configuration, while the extra rows
// are simply not taken when the file is loaded.
QVector<int> ConfigRowsToSave(const CommandTable& commands, int pcbVersion);
// Writes those rows; returns how many were written.
int SaveConfigFile(const QString& fileName, const CommandTable& commands, int pcbVersion);

// Entries a sequence save writes, in order: every entry with a command ID that
// is not "D".
QVector<int> SequenceEntriesToSave(const ChangeSequence& sequence);
// Writes those entries; returns how many were written.
int SaveSequenceFile(const QString& fileName, const ChangeSequence& sequence);
