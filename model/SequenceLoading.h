#pragma once
// How the records of a configuration or sequence file become entries of the
// change sequence. The window asks its questions (messages 25, 1, 7), picks the
// file, calls these and shows the outcome (messages 2 and 12, the replace
// question 8-11, and the records left out).
#include "model/RecordFiles.h"

#include <QString>
#include <QVector>
#include <functional>

class SequenceController;

// True when ControlName is a control of the window of kind ControlType that
// shows command CommandId. Records naming anything else are left out: their
// entries could be neither coloured nor applied.
using BoundControlCheck =
    std::function<bool(const QString& controlName, const QString& controlType, int commandId)>;

enum class LeftOutReason {
    IdOutOfRange,   // the ID is not a command ID 1..200
    ValueNotNumber, // a value is NaN or infinite
    UnknownControl, // a control name is not a bound control of its kind
    NoFreePlace,    // the sequence has no place left
};

struct LeftOutRecord {
    int recordNumber = 0; // 1-based position in the file
    int id = 0;
    QString command;
    LeftOutReason reason = LeftOutReason::IdOutOfRange;
};

struct ConfigLoadResult {
    int recordCount = 0;
    int taken = 0;     // became "L" entries
    int notForPcb = 0; // skipped: the command does not exist on the PCB version
    QVector<LeftOutRecord> leftOut;
    qint64 trailingBytes = 0; // bytes after the last whole record, ignored
};

// Replaces the whole sequence by the records of the configuration that are
// active for PcbVersion, as "L" entries in file order; the replaced entries go
// as with "Erase All" (edits reverted, colours cleared). Then the new entries'
// controls get their colours and entry 1 becomes the active one.
ConfigLoadResult LoadConfiguration(SequenceController& controller,
                                   const RecordSeries<TCommandRecord>& file, int pcbVersion,
                                   const BoundControlCheck& isBoundControl);
// Reads the file first: a file that cannot be read raises EInOutError and
// leaves the sequence as it was.
ConfigLoadResult LoadConfigurationFile(SequenceController& controller, const QString& fileName,
                                       int pcbVersion, const BoundControlCheck& isBoundControl);

// The question before a loaded record replaces entry Row of the same command.
struct ReplaceQuestion {
    int row = 0;
    QString command;         // the record's command word
    double newValue = 0;     // the record's ActualValueSW
    double currentValue = 0; // the entry's ActualValueSW
};
// Answers Yes (true) or No.
using ReplaceAsker = std::function<bool(const ReplaceQuestion&)>;
// Message 8, command, message 9, new value, message 10, current value, message
// 11, joined without separators; values in the general display format.
QString ComposeReplaceQuestion(const QString& message8, const QString& message9,
                               const QString& message10, const QString& message11,
                               const ReplaceQuestion& question);

struct SequenceLoadResult {
    int recordCount = 0;
    int appended = 0;
    int replaced = 0;
    int keptOnNo = 0; // replace questions answered No
    QVector<LeftOutRecord> leftOut;
    qint64 trailingBytes = 0;
};

// Merges the records into the sequence: a record whose command has entries
// asks before replacing each of them; others are appended after the existing
// entries. Loaded entries become "L" and their command rows take their values.
// When an error leaves this call, the sequence and the command rows are
// restored to what they were before it.
SequenceLoadResult LoadSequence(SequenceController& controller,
                                const RecordSeries<TSequenceRecord>& file,
                                const BoundControlCheck& isBoundControl,
                                const ReplaceAsker& askReplace);
SequenceLoadResult LoadSequenceFile(SequenceController& controller, const QString& fileName,
                                    const BoundControlCheck& isBoundControl,
                                    const ReplaceAsker& askReplace);

// One English line per left-out record, for the report after a load.
QString DescribeLeftOutRecords(const QVector<LeftOutRecord>& leftOut);
