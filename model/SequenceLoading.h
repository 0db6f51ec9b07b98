#pragma once
// How the records of a configuration or sequence file become entries of the
// change sequence. The window asks its questions (messages 25, 1, 7), picks the
// file, calls these and shows the outcome (messages 2 and 12, the replace
// question 8-11, and the records left out).
#include "model/RecordFiles.h"

#include "util/DetailPhrase.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class SequenceController;

// A control the binding tied to a command, as a record may name it.
struct BoundControl {
    // The values it can show: a radio group's item indices 0 .. Choices - 1, a
    // check box's 0 and 1 (Choices 2); 0 for a control that shows any number.
    int choices = 0;
};
// The control ControlName when it is a control of the window of kind
// ControlType that shows command CommandId; nothing otherwise. Records naming
// anything else are left out: their entries could be neither coloured nor
// applied.
using BoundControlLookup = std::function<std::optional<BoundControl>(
    const QString& controlName, const QString& controlType, int commandId)>;

enum class LeftOutReason {
    IdOutOfRange,       // the ID is not a command ID 1..200
    NoSuchCommand,      // the command table has no command with the ID
    WrongCommandWord,   // the command word is not the table's word for the ID
    ValueNotNumber,     // a value is NaN or infinite
    ValueOutsideLimits, // the value is outside the command's limits
    ValueNotAChoice,    // the value is not one of its control's choices
    UnknownControl,     // a control name is not a bound control of its kind
    NoFreePlace,        // the sequence has no place left
    FormsDisagree,      // its GCU value is not what its display value sends
    // A text file's lines (model/ConfigText.h):
    NotAValueLine,      // neither "WORD = value", blank nor a comment
    UnknownCommandWord, // the word names no parameter of the command table
    DuplicateCommand,   // the word was given on an earlier line
};

// Why a value from a file cannot become the value of command row Row shown by
// Controls: not finite, outside the row's limits (display and GCU units; a
// pair of equal limits sets none), or not one of the controls' choices.
// Nothing when it can. Values are never clamped: a wrong value is refused.
std::optional<LeftOutReason> LoadedValueFault(const TCommandRecord& row, double valueFW,
                                              double valueSW,
                                              const QVector<BoundControl>& controls);

// Why Entry, a change from a file, cannot be a pending change of its command:
// no command with its ID and word in Commands, a value that is not a number
// (previous values included), a control that is not bound, a value its
// command and controls do not take (LoadedValueFault), or (with an RPM
// factor above 0, the one the entry will be sent under) a GCU value that is
// not the one its display value sends: the grid shows the display value, and
// a frame never carries anything else. Nothing when it can. Loading checks
// every record with it, and "Apply Config." every loaded entry.
std::optional<LeftOutReason> LoadedEntryFault(const CommandTable& commands,
                                              const TSequenceRecord& entry,
                                              const BoundControlLookup& boundControl,
                                              int rpmFactor = 0);

// The RPM factor loaded entries are sent under: the divisor and "x 2" among
// Values (command ID -> display value), else the command rows' own.
int RpmFactorOfLoaded(const CommandTable& commands, const QMap<int, double>& values);

struct LeftOutRecord {
    int recordNumber = 0; // 1-based position in the file: its record, or its line
    int id = 0;           // 0 when the line names no command
    QString command;
    LeftOutReason reason = LeftOutReason::IdOutOfRange;
    bool textLine = false; // RecordNumber is a line of a text file
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
// controls get their colours and entry 1 becomes the active one. A record is
// taken only when the table has its command with the record's word, its value
// fits the command and its controls are bound; the others are left out. When
// no record is taken, the sequence stays as it was.
ConfigLoadResult LoadConfiguration(SequenceController& controller,
                                   const RecordSeries<TCommandRecord>& file, int pcbVersion,
                                   const BoundControlLookup& boundControl);
// Reads the file first: a file that cannot be read raises EInOutError and
// leaves the sequence as it was.
ConfigLoadResult LoadConfigurationFile(SequenceController& controller, const QString& fileName,
                                       int pcbVersion, const BoundControlLookup& boundControl);

// The question before a loaded record replaces entry Row of the same command.
struct ReplaceQuestion {
    int row = 0;
    QString command;         // the record's command word
    double newValue = 0;     // the record's ActualValueSW
    double currentValue = 0; // the entry's ActualValueSW
};
enum class ReplaceAnswer {
    Yes,
    No,
    YesToAll, // Yes, and to every later question of the load without asking
    NoToAll,  // No, and to every later question of the load without asking
    Cancel,   // nothing of the file is loaded
};
using ReplaceAsker = std::function<ReplaceAnswer(const ReplaceQuestion&)>;
// Message 8, command, message 9, new value, message 10, current value, message
// 11, joined without separators; values in the general display format.
QString ComposeReplaceQuestion(const QString& message8, const QString& message9,
                               const QString& message10, const QString& message11,
                               const ReplaceQuestion& question);

struct SequenceLoadResult {
    int recordCount = 0;
    int appended = 0;
    int replaced = 0;
    int keptOnNo = 0; // replacements answered No
    int questionsAsked = 0;
    bool cancelled = false; // the user cancelled: nothing was loaded
    QVector<LeftOutRecord> leftOut;
    qint64 trailingBytes = 0;
};

// Merges the records into the sequence: a record whose command has entries
// asks before replacing each of them; others are appended after the existing
// entries. Loaded entries become "L"; as with a configuration, the command
// rows and the controls keep what they show until the entries are applied or
// sent.
// Records are checked as a configuration's are. When the user cancels a
// question, or an error leaves this call, the sequence and the command rows
// are restored to what they were before it.
SequenceLoadResult LoadSequence(SequenceController& controller,
                                const RecordSeries<TSequenceRecord>& file,
                                const BoundControlLookup& boundControl,
                                const ReplaceAsker& askReplace);
SequenceLoadResult LoadSequenceFile(SequenceController& controller, const QString& fileName,
                                    const BoundControlLookup& boundControl,
                                    const ReplaceAsker& askReplace);

// One line of the list of records left out: "Record N (ID i, WORD): why", or
// for a line of a text file "Line N (ID i, WORD): why" ("Line N (WORD): why"
// where the line names no parameter).
DetailPhrase LeftOutRecordPhrase(const LeftOutRecord& record);
// The lines in English.
QStringList LeftOutRecordLines(const QVector<LeftOutRecord>& leftOut);
QString DescribeLeftOutRecords(const QVector<LeftOutRecord>& leftOut);
