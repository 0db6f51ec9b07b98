#pragma once
// The command table: one row per GCU parameter or command, indexed by command
// ID 1..200, loaded from CFG/Commands.CSV through a string grid.
#include <QString>
#include <array>

class StringGridModel;

constexpr int CommandCount = 200;

// Capacities of the short 8-bit texts; longer texts are cut when stored.
namespace CommandTextCapacity {
constexpr int Command = 8;
constexpr int Description = 100;
constexpr int MeasureUnit = 5;
constexpr int ActivePCB = 1;
constexpr int Hint = 250;
constexpr int SenderType = 50;
constexpr int SenderName = 100;
constexpr int Status = 1;
} // namespace CommandTextCapacity

struct TCommandRecord {
    int ID = 0;
    QString Command;
    QString Description;
    double MinValueFW = 0.0;
    double MaxValueFW = 0.0;
    int DigitsValueFW = 0;
    double StepValueFW = 0.0;
    QString MeasureUnitFW;
    double DefaultValueFW = 0.0;
    double ActualValueFW = 0.0;
    double FWtoSWFactor = 1.0;
    double MinValueSW = 0.0;
    double MaxValueSW = 0.0;
    int DigitsValueSW = 0;
    double StepValueSW = 0.0;
    QString MeasureUnitSW;
    double DefaultValueSW = 0.0;
    double ActualValueSW = 0.0;
    QString ActivePCB3X;
    QString ActivePCB40;
    QString ActivePCB41;
    QString ActivePCB42;
    QString ActivePCB43;
    QString ActivePCB50;
    QString ActivePCB60;
    int ReadFromGCUID = 0;
    int WriteToGCUID = 0;
    QString Hint;
    QString SenderType;
    QString SenderName1;
    QString SenderName2;
    int ActivePageIndex1 = 0;
    int ActivePageIndex2 = 0;
    QString Status;
};

// Cuts Text to Capacity characters.
QString ShortText(const QString& text, int capacity);

// Resets a row: texts empty, numbers 0, FWtoSWFactor 1.0.
void ClearCommandRecord(TCommandRecord& record);

// Rows 1..200; row 0 exists only so that IDs index directly and is never used.
class CommandTable {
  public:
    CommandTable();
    TCommandRecord& operator[](int id);
    const TCommandRecord& operator[](int id) const;
    static bool IsValidId(int id) { return id >= 1 && id <= CommandCount; }
    void Clear(int id) { ClearCommandRecord((*this)[id]); }
    void ClearAll();

  private:
    std::array<TCommandRecord, CommandCount + 1> rows_;
};

// The number of the grid columns of the commands file (ID .. Hint).
constexpr int CommandsFileColumnCount = 28;

// Grid rows 1..200 into the table (rows with an empty command cell untouched).
// A cell that does not parse raises EConvertError naming its line and column;
// rows before it are loaded, the failing row keeps the fields before the column.
void LoadCommandsFromGrid(const StringGridModel& grid, CommandTable& table);
// Table rows with ID > 0 back into grid rows (numbers in the display format).
void RefreshGridFromCommands(const CommandTable& table, StringGridModel& grid);

// Display value <-> GCU value of command Id, by the row's unit pair.
// Unknown pairs give the value unchanged. A zero factor raises EConvertError.
double FWValueToSWValue(const CommandTable& table, int id, double value, int rpmFactor);
double SWValueToFWValue(const CommandTable& table, int id, double value, int rpmFactor);
