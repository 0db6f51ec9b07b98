#pragma once
// The change sequence: the pending parameter changes, newest first, with the
// status colours, the enabled-state flags and the text of the sequence grid.
// Nothing here touches a widget.
#include <QString>
#include <QtGlobal>
#include <array>

class CommandTable;
class StringGridModel;

constexpr int SequenceCount = 200;

// Capacities of the short 8-bit texts of an entry; longer texts are cut.
namespace SequenceTextCapacity {
constexpr int Command = 8;
constexpr int Description = 100;
constexpr int Time = 8;
constexpr int Status = 1;
constexpr int SenderType = 50;
constexpr int SenderName = 100;
} // namespace SequenceTextCapacity

struct TSequenceRecord {
    int CommandID = 0; // 0 = empty entry
    QString Command;
    QString Description;
    double PreviousValueFW = 0.0;
    double ActualValueFW = 0.0;
    double PreviousValueSW = 0.0; // what a revert restores; the grid's PREV
    double ActualValueSW = 0.0;
    QString Time; // "hh.nn.ss" of the entry's last change
    QString Status;
    QString SenderType;
    QString SenderName1;
    QString SenderName2;
    int ActivePageIndex1 = 0; // 1-based page of PCMain; 0 = none
    int ActivePageIndex2 = 0;
    // Kept in memory only, never in a file: the command whose edit made this
    // change by a rule (a ratio by its teeth, a timeout by its pre-load, an RPM
    // value by the divisor); 0 for the user's own change. Going back on that
    // edit goes back on this change too.
    int CausedBy = 0;
};

// Status letters of entries and command rows.
namespace StatusLetter {
inline const QString Read = QStringLiteral("A");
inline const QString Modified = QStringLiteral("M");
inline const QString Transmitted = QStringLiteral("T");
inline const QString Discarded = QStringLiteral("D");
inline const QString Loaded = QStringLiteral("L");
} // namespace StatusLetter

void ClearSequenceRecord(TSequenceRecord& record);
// Cuts every text field to its capacity.
void CutSequenceTexts(TSequenceRecord& record);
// True for "M" and "L": changes that are still to be sent.
bool IsPendingStatus(const QString& status);

// Entries 1..200. Occupied entries stand together from entry 1 on.
class ChangeSequence {
  public:
    TSequenceRecord& operator[](int index);
    const TSequenceRecord& operator[](int index) const;
    static bool IsValidIndex(int index) { return index >= 1 && index <= SequenceCount; }

    void Clear(int index) { ClearSequenceRecord((*this)[index]); }
    void ClearAll();
    bool IsEmpty() const { return (*this)[1].CommandID <= 0; }
    // Entries from 1 up to the first whose CommandID is not above 0.
    int Count() const;
    // The first entry whose CommandID is not above 0; 0 when all 200 are used.
    int FirstFreePlace() const;
    // The entry of command Id as a capture looks for it (the walk ends at the
    // first entry without status); 0 when there is none.
    int FindForCapture(int id) const;

    // Entries 1..199 move one place down, Record goes to place 1, entry 200 is
    // cleared: with 199 entries the oldest one is dropped.
    void InsertAtFront(const TSequenceRecord& record);
    // Entry Index goes to place 1, the entries before it move one place down,
    // entry 200 is cleared.
    void MoveToFront(int index);
    // The entries after Index move up one place; entry 200 is cleared.
    void Remove(int index);

    // The entry shown in the selected colours (SequenceActivePositionGLOB); 0 = none.
    int ActivePosition = 0;
    // The grid's selected row, kept here so that selecting a row raises the
    // selection logic only when the row changes, as the grid does.
    int GridSelectedRow = 1;
    // While true, selecting an entry does not switch the page (SilentActivePageChangeGLOB).
    bool SilentActivePageChange = false;

  private:
    std::array<TSequenceRecord, SequenceCount + 1> entries_; // [0] unused
};

// Colours are 0x00BBGGRR values; clBtnFace is the system colour of button faces.
namespace StatusColors {
constexpr quint32 clBtnFace = 0xFF00000Fu;
constexpr quint32 clWhite = 0x00FFFFFFu;
constexpr quint32 clYellow = 0x0000FFFFu;
constexpr quint32 clLime = 0x0000FF00u;
constexpr quint32 clSilver = 0x00C0C0C0u;
} // namespace StatusColors

// The colour of a status letter; ActiveControl for the selected entry. A letter
// outside A, M, T, D, L gets the colours of the empty status.
quint32 GetStatusColor(const QString& status, bool activeControl);
// The colour of a control showing a value the unit holds outside its limits
// (light salmon).
constexpr quint32 OutsideLimitsColor = 0x007AA0FFu;

// What the sequence contributes to EnableControls.
struct SequenceFlags {
    bool pending = false;  // some entry is "M" or "L"
    bool used = false;     // some entry exists
    bool loaded = false;   // some entry is "L"
    bool selected = false; // the active entry is "M" or "L"
};
SequenceFlags GetSequenceFlags(const ChangeSequence& sequence);

// Enabled states that follow from the flags, the link and live mode.
struct EnableStates {
    bool sequenceTransmit = false;
    bool sequenceTransmitAll = false;
    bool sequenceDiscard = false;
    bool sequenceDiscardAll = false;
    bool sequenceErase = false;
    bool sequenceEraseAll = false;
    bool sequenceSave = false;
    bool sequenceLoad = true;
    bool applyConfig = false;
    bool saveConfig = false;
    bool communicationGetConfig = false;
    bool liveActive = false;
    bool recoveryFirmwareUpdate = false;
    bool barrelPositionSet = false; // the eight barrel "Set" buttons
    bool ratioToothCounts = true;   // SERatiosRpm<i>P / S
    bool ratioDisplays = false;     // ERatiosRpm<i>R / L
};
EnableStates GetEnableStates(const SequenceFlags& flags, bool live, bool connected, int pcbVersion);

// The sequence grid: 6 columns, title row plus one row per entry.
constexpr int SequenceGridColumns = 6;
void SetSGSequenceStructure(StringGridModel& grid);
// Rows 1..200 from the entries; rows without an entry are empty.
void FillSGSequenceText(const ChangeSequence& sequence, const CommandTable& commands,
                        StringGridModel& grid);
// Row Row alone, from entry Row (an entry changed in place).
void FillSGSequenceRowText(const ChangeSequence& sequence, const CommandTable& commands, int row,
                           StringGridModel& grid);
// The fill colour of a grid row; the title row has none (returns false).
bool SequenceRowColor(const ChangeSequence& sequence, int row, int selectedRow, quint32& color);

// "hh.nn.ss" of the current local time.
QString CurrentTimeText();
