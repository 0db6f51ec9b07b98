#pragma once
// The last guard before a parameter write goes to the GCU: a value outside
// its command's firmware limits is never framed. Values are compared as the
// frame writes them, at the command's firmware precision (DigitsValueFW), so
// a legal value that rounds onto a limit passes.
#include "util/Exceptions.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

struct TCommandRecord;

// What was refused: the parameter, the value and the limits, in GCU units.
struct LimitRefusal {
    int commandId = 0;
    QString command;
    QString description;
    QString unit; // MeasureUnitFW
    double value = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    int digits = 0; // DigitsValueFW
};

// Nothing when FirmwareValue, written with the row's firmware digits, lies
// within MinValueFW..MaxValueFW; otherwise the refusal. A value that is not
// finite, or too large to write, is always refused.
std::optional<LimitRefusal> CheckFirmwareLimits(const TCommandRecord& row, double firmwareValue);

// A parameter write refused by the guard. Its message is English; the window
// shows its own translated report from Refusal().
class EValueOutOfLimits : public QvException {
  public:
    explicit EValueOutOfLimits(const LimitRefusal& refusal);
    const LimitRefusal& Refusal() const { return refusal_; }

  private:
    LimitRefusal refusal_;
};

// "[" + Word + " " + value + "]" CR LF for a write of Row's parameter, the
// value with the row's firmware digits and a decimal point. Raises
// EValueOutOfLimits, and composes nothing, when the value is outside the
// row's firmware limits.
QString ParameterWriteText(const QString& word, const TCommandRecord& row, double firmwareValue);

// A value as a frame writes it with Digits firmware decimals (at most five),
// counted in units of its last decimal; nothing for a value no frame can hold
// (not finite, or too large). Two values are the same to the GCU exactly when
// these are equal.
std::optional<long long> FirmwareValueUnits(double value, int digits);

// Number text of a value or limit in a refusal report: the display format
// with the firmware digits, or the general format for magnitudes no frame
// could hold.
QString RefusalNumberText(double value, int digits);

class CommandTable;
struct UnitValues;

// The values a unit holds (Unit, as a download gave them) that lie outside
// their command's firmware limits, in ID order. Rows Shown rejects (commands
// the unit's PCB lacks, for example) are left out.
QVector<LimitRefusal> UnitValuesOutsideLimits(const CommandTable& table, const UnitValues& unit,
                                              const std::function<bool(int id)>& shown = {});

// One value outside its limits in display units, as its control shows it.
struct OutsideLimitsText {
    QString value;
    QString minimum;
    QString maximum;
};
OutsideLimitsText OutsideLimitsDisplayText(const CommandTable& table, const LimitRefusal& outside,
                                           int rpmFactor);
// One line per value: "WORD - description: value (minimum .. maximum)", in
// display units; the window bounds the list when it shows it.
QStringList OutsideLimitsLines(const CommandTable& table, const QVector<LimitRefusal>& outside,
                               int rpmFactor);
