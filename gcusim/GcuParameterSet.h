#pragma once
// The simulated GCU's parameters in GCU units: one value per command row of
// the command table, the PCB version, the reboot counter, and the permanently
// stored copy that a reset brings back.
#include "model/CommandTable.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

// Dump field that carries the reboot counter.
constexpr int RebootCounterDumpPosition = 39;
// Command row whose dump field carries the PCB version.
constexpr int PcbVersionCommandId = 15;

enum class GcuWriteResult { Stored, UnknownWord, OutOfRange, ReadOnly };

class GcuParameterSet {
  public:
    // Values start at the rows' defaults; PcbVersion is the text sent in the
    // dump (for example "4.3").
    GcuParameterSet(const CommandTable& table, const QString& pcbVersion);

    const CommandTable& Table() const { return table_; }
    QString PcbVersion() const { return pcbVersion_; }

    // Command ID of a command word, when the table has it.
    std::optional<int> CommandIdOfWord(const QString& word) const;
    // The row at dump position Position, when one refers to it.
    std::optional<int> CommandIdAtDumpPosition(int position) const;

    // Range-checked write of a command word; the value is kept rounded to the
    // row's GCU decimals.
    GcuWriteResult Write(const QString& word, double value);
    // Unchecked store (values learned from the sensors).
    void SetValue(int commandId, double value);
    std::optional<double> ValueOfCommand(int commandId) const;
    std::optional<double> ValueAtDumpPosition(int position) const;
    // The row's decimals in GCU units (Fallback for commands without a row).
    int DecimalsOf(int commandId, int fallback) const;
    // A command's value as the GCU writes numbers: decimal point, row decimals.
    QString ValueText(int commandId) const;

    int RebootCounter() const { return rebootCounter_; }
    void SetRebootCounter(int count) { rebootCounter_ = count; }

    // "&"-separated fields in dump order, "#" and CR LF at the end.
    QByteArray DumpText() const;
    int DumpFieldCount() const;

    // Working values <-> the permanently stored copy.
    void StorePermanently() { stored_ = values_; }
    void RestoreStored() { values_ = stored_; }
    std::optional<double> StoredValueOfCommand(int commandId) const;

    // State file: the stored copy and the reboot counter as "key=value" lines
    // ("reboots=12", "id.107=0.52").
    QByteArray StateText() const;
    // Reads such lines over the values held; a key may also be a command word
    // ("MINVATPS=0.52"). Lines not given keep their value. Raises EInOutError
    // naming the line when the text is not a state file of this table; nothing
    // changes then.
    // Source names the text in the message ("State file", "Values given").
    void LoadStateText(const QByteArray& text,
                       const QString& source = QStringLiteral("State file"));

  private:
    QString DumpField(int position) const;

    CommandTable table_;
    QString pcbVersion_;
    std::map<int, double> values_; // command ID -> GCU value
    std::map<int, double> stored_;
    std::map<QString, int> idOfWord_;
    std::map<int, int> idAtPosition_;
    int rebootCounter_ = 0;
};

// Number text with a decimal point and exactly Decimals decimals; never "-0".
QString GcuNumberText(double value, int decimals);
// Strict parse of a frame argument: optional sign, digits, optional point and
// digits. No comma, no blanks, no exponent.
std::optional<double> ParseGcuNumber(const QString& text);
