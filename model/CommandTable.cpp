#include "model/CommandTable.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <algorithm>
#include <stdexcept>

QString ShortText(const QString& text, int capacity) {
    return text.left(capacity);
}

void ClearCommandRecord(TCommandRecord& record) {
    record = TCommandRecord{};
    record.FWtoSWFactor = 1.0;
}

CommandTable::CommandTable() {
    ClearAll();
}

TCommandRecord& CommandTable::operator[](int id) {
    if (!IsValidId(id))
        throw std::out_of_range("command ID outside 1..200");
    return rows_[static_cast<size_t>(id)];
}

const TCommandRecord& CommandTable::operator[](int id) const {
    if (!IsValidId(id))
        throw std::out_of_range("command ID outside 1..200");
    return rows_[static_cast<size_t>(id)];
}

void CommandTable::ClearAll() {
    for (auto& row : rows_)
        ClearCommandRecord(row);
}

namespace {

// Reads the cells of one grid row into a record, column by column, so that a
// failing cell leaves the fields before it set, as the file was read so far.
class RowReader {
  public:
    RowReader(const StringGridModel& grid, int row) : grid_(grid), row_(row) {}

    QString Text(int col, int capacity) const { return ShortText(grid_.Cell(col, row_), capacity); }

    double Decimal(int col) const {
        try {
            return DisplayTextToFloat(StrDotToComma(grid_.Cell(col, row_)));
        } catch (const EConvertError& e) {
            // The file's line numbers count the title line as line 1.
            throw ECommandsCellError(row_ + 1, col, e.Message());
        }
    }

    int Integer(int col) const {
        try {
            return DisplayTextToInt(StrDotToComma(grid_.Cell(col, row_)));
        } catch (const EConvertError& e) {
            throw ECommandsCellError(row_ + 1, col, e.Message());
        }
    }

  private:
    const StringGridModel& grid_;
    int row_;
};

void LoadRow(const StringGridModel& grid, int id, TCommandRecord& r) {
    namespace cap = CommandTextCapacity;
    const RowReader cell(grid, id);
    r.ID = id;
    r.Command = cell.Text(1, cap::Command);
    r.Description = cell.Text(2, cap::Description);
    r.MinValueFW = cell.Decimal(3);
    r.MaxValueFW = cell.Decimal(4);
    r.DigitsValueFW = cell.Integer(5);
    r.StepValueFW = cell.Decimal(6);
    r.MeasureUnitFW = cell.Text(7, cap::MeasureUnit);
    r.DefaultValueFW = cell.Decimal(8);
    r.ActualValueFW = cell.Decimal(9);
    r.FWtoSWFactor = cell.Decimal(10);
    r.MinValueSW = cell.Decimal(11);
    r.MaxValueSW = cell.Decimal(12);
    r.DigitsValueSW = cell.Integer(13);
    r.StepValueSW = cell.Decimal(14);
    r.MeasureUnitSW = cell.Text(15, cap::MeasureUnit);
    r.DefaultValueSW = cell.Decimal(16);
    r.ActualValueSW = cell.Decimal(17);
    r.ActivePCB3X = cell.Text(18, cap::ActivePCB);
    r.ActivePCB40 = cell.Text(19, cap::ActivePCB);
    r.ActivePCB41 = cell.Text(20, cap::ActivePCB);
    r.ActivePCB42 = cell.Text(21, cap::ActivePCB);
    r.ActivePCB43 = cell.Text(22, cap::ActivePCB);
    r.ActivePCB50 = cell.Text(23, cap::ActivePCB);
    r.ActivePCB60 = cell.Text(24, cap::ActivePCB);
    r.ReadFromGCUID = cell.Integer(25);
    r.WriteToGCUID = cell.Integer(26);
    r.Hint = cell.Text(27, cap::Hint);
}

} // namespace

ECommandsCellError::ECommandsCellError(int line, int column, const QString& reason)
    : EConvertError(QStringLiteral("Commands file, line %1, column %2: ").arg(line).arg(column) +
                    reason),
      line_(line), column_(column), reason_(reason) {}

QString CommandsFileColumnName(int column) {
    static const char* const names[CommandsFileColumnCount] = {"ID",
                                                               "Command",
                                                               "Description",
                                                               "MinValueFW",
                                                               "MaxValueFW",
                                                               "DigitsValueFW",
                                                               "StepValueFW",
                                                               "MeasureUnitFW",
                                                               "DefaultValueFW",
                                                               "ActualValueFW",
                                                               "FWtoSWFactor",
                                                               "MinValueSW",
                                                               "MaxValueSW",
                                                               "DigitsValueSW",
                                                               "StepValueSW",
                                                               "MeasureUnitSW",
                                                               "DefaultValueSW",
                                                               "ActualValueSW",
                                                               "ActivePCB3X",
                                                               "ActivePCB40",
                                                               "ActivePCB41",
                                                               "ActivePCB42",
                                                               "ActivePCB43",
                                                               "ActivePCB50",
                                                               "ActivePCB60",
                                                               "ReadFromGCUID",
                                                               "WriteToGCUID",
                                                               "Hint"};
    if (column < 0 || column >= CommandsFileColumnCount)
        return QString();
    return QString::fromLatin1(names[column]);
}

namespace {
int ColumnsOf(const QString& line) {
    return int(line.count(u';')) + 1;
}

// Column 1 of a line: the command word, empty for an ID without a command.
QString CommandCellOf(const QString& line) {
    return line.section(u';', 1, 1);
}

CommandsFileFault FaultAt(int line, const DetailPhrase& phrase) {
    return CommandsFileFault{line, EnglishText(phrase), phrase};
}

std::optional<CommandsFileFault> LayoutFault(const QStringList& lines) {
    if (lines.isEmpty())
        return std::nullopt; // nothing to load: an empty table
    const auto tooFew = [](int line, int columns, int message) {
        return FaultAt(line, DetailPhrase{message,
                                          {QString::number(columns),
                                           QString::number(CommandsFileColumnCount)}});
    };
    if (ColumnsOf(lines.first()) < CommandsFileColumnCount)
        return tooFew(1, ColumnsOf(lines.first()), Msg::PhraseCommandsTitleColumns);
    const int last = std::min<int>(CommandCount, int(lines.size()) - 1);
    for (int id = 1; id <= last; ++id) {
        const QString& line = lines[id];
        if (!CommandCellOf(line).isEmpty() && ColumnsOf(line) < CommandsFileColumnCount)
            return tooFew(id + 1, ColumnsOf(line), Msg::PhraseCommandsLineColumns);
    }
    return std::nullopt;
}
} // namespace

std::optional<CommandsFileFault> LoadCommandsFile(StringGridModel& grid, CommandTable& table,
                                                  const QString& fileName) {
    QStringList lines;
    try {
        lines = ReadCsvLines(fileName);
    } catch (const EInOutError& unreadable) {
        return FaultAt(0, unreadable.Phrase().value_or(DetailPhrase{0, {unreadable.Message()}}));
    }
    if (const auto fault = LayoutFault(lines))
        return fault;
    LoadStringGridFromLines(grid, lines);
    try {
        LoadCommandsFromGrid(grid, table);
    } catch (const ECommandsCellError& cell) {
        return FaultAt(cell.Line(),
                       DetailPhrase{Msg::PhraseCommandsCell,
                                    {QString::number(cell.Column()),
                                     CommandsFileColumnName(cell.Column()), cell.Reason()}});
    }
    return std::nullopt;
}

bool HoldsAnyCommand(const CommandTable& table) {
    for (int id = 1; id <= CommandCount; ++id)
        if (!table[id].Command.isEmpty())
            return true;
    return false;
}

void LoadCommandsFromGrid(const StringGridModel& grid, CommandTable& table) {
    for (int id = 1; id <= CommandCount; ++id) {
        if (grid.Cell(1, id).isEmpty())
            continue;
        LoadRow(grid, id, table[id]);
    }
}

void RefreshGridFromCommands(const CommandTable& table, StringGridModel& grid) {
    if (grid.RowCount() <= CommandCount)
        grid.SetRowCount(CommandCount + 1);
    if (grid.ColCount() < CommandsFileColumnCount)
        grid.SetColCount(CommandsFileColumnCount);
    const auto integer = [](int v) { return QString::number(v); };
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& r = table[id];
        if (r.ID <= 0)
            continue;
        const QStringList cells = {
            integer(r.ID),
            r.Command,
            r.Description,
            FloatToDisplayText(r.MinValueFW),
            FloatToDisplayText(r.MaxValueFW),
            integer(r.DigitsValueFW),
            FloatToDisplayText(r.StepValueFW),
            r.MeasureUnitFW,
            FloatToDisplayText(r.DefaultValueFW),
            FloatToDisplayText(r.ActualValueFW),
            FloatToDisplayText(r.FWtoSWFactor),
            FloatToDisplayText(r.MinValueSW),
            FloatToDisplayText(r.MaxValueSW),
            integer(r.DigitsValueSW),
            FloatToDisplayText(r.StepValueSW),
            r.MeasureUnitSW,
            FloatToDisplayText(r.DefaultValueSW),
            FloatToDisplayText(r.ActualValueSW),
            r.ActivePCB3X,
            r.ActivePCB40,
            r.ActivePCB41,
            r.ActivePCB42,
            r.ActivePCB43,
            r.ActivePCB50,
            r.ActivePCB60,
            integer(r.ReadFromGCUID),
            integer(r.WriteToGCUID),
            r.Hint,
        };
        for (int col = 0; col < cells.size(); ++col)
            grid.SetCell(col, id, cells[col]);
    }
}

namespace {

enum class Conversion { Factor, RpmFactor, WholeFactor, None };

Conversion ConversionOf(const TCommandRecord& r) {
    const QString& fw = r.MeasureUnitFW;
    const QString& sw = r.MeasureUnitSW;
    if ((fw == u"V" && sw == u"mV") || (fw == u"Nr" && sw == u"Nr") || (fw == u"V" && sw == u"V"))
        return Conversion::Factor;
    if (fw == u"Hz" && sw == u"RPM")
        return Conversion::RpmFactor;
    if ((fw == u"mS" && sw == u"mS") || (fw == u"\u00B0C" && sw == u"\u00B0C") ||
        (fw == u"%" && sw == u"%") || (fw == u"TF" && sw == u"TF"))
        return Conversion::WholeFactor;
    return Conversion::None;
}

double Divide(double value, double divisor) {
    if (divisor == 0.0)
        throw EConvertError(QStringLiteral("Floating point division by zero"));
    return value / divisor;
}

} // namespace

double FWValueToSWValue(const CommandTable& table, int id, double value, int rpmFactor) {
    const TCommandRecord& r = table[id];
    switch (ConversionOf(r)) {
    case Conversion::Factor:
        return RealToFixedDec(value * r.FWtoSWFactor, r.DigitsValueSW);
    case Conversion::RpmFactor:
        return RealToFixedDec(value * rpmFactor, r.DigitsValueSW);
    case Conversion::WholeFactor:
        return RoundHalfToEven(RoundHalfToEven(value) * r.FWtoSWFactor);
    case Conversion::None:
        break;
    }
    return value;
}

double SWValueToFWValue(const CommandTable& table, int id, double value, int rpmFactor) {
    const TCommandRecord& r = table[id];
    switch (ConversionOf(r)) {
    case Conversion::Factor:
        return RealToFixedDec(Divide(value, r.FWtoSWFactor), r.DigitsValueFW);
    case Conversion::RpmFactor:
        return RealToFixedDec(Divide(value, rpmFactor), r.DigitsValueFW);
    case Conversion::WholeFactor:
        return RoundHalfToEven(Divide(RoundHalfToEven(value), r.FWtoSWFactor));
    case Conversion::None:
        break;
    }
    return value;
}
