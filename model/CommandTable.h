#pragma once
// The command table: one row per GCU parameter or command, indexed by command
// ID 1..200, loaded from CFG/Commands.CSV through a string grid.
#include "util/Exceptions.h"

#include <QString>
#include <array>
#include <optional>

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
// A cell that does not parse raises ECommandsCellError naming its line and
// column; rows before it are loaded, the failing row keeps the fields before
// the column.
void LoadCommandsFromGrid(const StringGridModel& grid, CommandTable& table);

// A cell of the commands file that does not parse. Its text names the line
// (the title line is line 1) and the column.
class ECommandsCellError : public EConvertError {
  public:
    ECommandsCellError(int line, int column, const QString& reason);
    int Line() const { return line_; }
    int Column() const { return column_; }
    const QString& Reason() const { return reason_; }

  private:
    int line_;
    int column_;
    QString reason_;
};

// The field name of a column of the commands file ("MinValueFW").
QString CommandsFileColumnName(int column);

// Why a commands file cannot serve as the command table: its line (the title
// line is line 1; 0 for the file as a whole) and what is wrong with it.
struct CommandsFileFault {
    int line = 0;
    QString reason; // in English
    DetailPhrase phrase;
};

// Reads the commands file into Grid and Table as "Load" does, after checking
// its layout: the title line names all 28 columns and every line with a
// command (lines 2 to 201) holds them all. Nothing when the table was loaded
// (a file without any command loads too: an empty table); otherwise what is
// wrong, with the grid and table as far as the load got.
std::optional<CommandsFileFault> LoadCommandsFile(StringGridModel& grid, CommandTable& table,
                                                  const QString& fileName);
// True when some row holds a command.
bool HoldsAnyCommand(const CommandTable& table);
// Table rows with ID > 0 back into grid rows (numbers in the display format).
void RefreshGridFromCommands(const CommandTable& table, StringGridModel& grid);

// Display value <-> GCU value of command Id, by the row's unit pair.
// Unknown pairs give the value unchanged. A zero factor raises EConvertError.
double FWValueToSWValue(const CommandTable& table, int id, double value, int rpmFactor);
double SWValueToFWValue(const CommandTable& table, int id, double value, int rpmFactor);
