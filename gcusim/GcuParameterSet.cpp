#include "gcusim/GcuParameterSet.h"

#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <QList>
#include <QRegularExpression>
#include <cmath>

namespace {

constexpr double RangeTolerance = 1e-9;

double RoundToDecimals(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

} // namespace

QString GcuNumberText(double value, int decimals) {
    decimals = std::max(decimals, 0);
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith('-') && QString(text).remove(QRegularExpression("[-0.]")).isEmpty())
        text.remove(0, 1);
    return text;
}

std::optional<double> ParseGcuNumber(const QString& text) {
    static const QRegularExpression number(R"(^[+-]?(\d+(\.\d*)?|\.\d+)$)");
    if (!number.match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

GcuParameterSet::GcuParameterSet(const CommandTable& table, const QString& pcbVersion)
    : table_(table), pcbVersion_(pcbVersion) {
    for (int id = 1; id <= CommandCount; ++id) {
        const TCommandRecord& row = table_[id];
        if (row.ID == 0 || row.Command.isEmpty())
            continue;
        idOfWord_.emplace(row.Command, id); // the first row of a word wins
        if (row.ReadFromGCUID > 0)
            idAtPosition_.emplace(row.ReadFromGCUID, id);
        values_[id] = RoundToDecimals(row.DefaultValueFW, std::max(row.DigitsValueFW, 0));
    }
    stored_ = values_;
}

std::optional<int> GcuParameterSet::CommandIdOfWord(const QString& word) const {
    const auto it = idOfWord_.find(word);
    if (it == idOfWord_.end())
        return std::nullopt;
    return it->second;
}

std::optional<double> GcuParameterSet::StoredValueOfCommand(int commandId) const {
    const auto it = stored_.find(commandId);
    if (it == stored_.end())
        return std::nullopt;
    return it->second;
}

std::optional<int> GcuParameterSet::CommandIdAtDumpPosition(int position) const {
    const auto it = idAtPosition_.find(position);
    if (it == idAtPosition_.end())
        return std::nullopt;
    return it->second;
}

GcuWriteResult GcuParameterSet::Write(const QString& word, double value) {
    const auto id = CommandIdOfWord(word);
    if (!id)
        return GcuWriteResult::UnknownWord;
    if (*id == PcbVersionCommandId)
        return GcuWriteResult::ReadOnly; // the board's hardware, not a setting
    const TCommandRecord& row = table_[*id];
    if (value < row.MinValueFW - RangeTolerance || value > row.MaxValueFW + RangeTolerance)
        return GcuWriteResult::OutOfRange;
    SetValue(*id, value);
    return GcuWriteResult::Stored;
}

void GcuParameterSet::SetValue(int commandId, double value) {
    values_[commandId] = RoundToDecimals(value, DecimalsOf(commandId, 2));
}

std::optional<double> GcuParameterSet::ValueOfCommand(int commandId) const {
    const auto it = values_.find(commandId);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

std::optional<double> GcuParameterSet::ValueAtDumpPosition(int position) const {
    if (position == RebootCounterDumpPosition)
        return rebootCounter_;
    const auto id = CommandIdAtDumpPosition(position);
    if (!id)
        return std::nullopt;
    if (*id == PcbVersionCommandId)
        return ParseGcuNumber(pcbVersion_);
    return ValueOfCommand(*id);
}

int GcuParameterSet::DecimalsOf(int commandId, int fallback) const {
    if (!CommandTable::IsValidId(commandId) || table_[commandId].ID == 0)
        return fallback;
    return std::max(table_[commandId].DigitsValueFW, 0);
}

QString GcuParameterSet::ValueText(int commandId) const {
    return GcuNumberText(ValueOfCommand(commandId).value_or(0.0), DecimalsOf(commandId, 2));
}

int GcuParameterSet::DumpFieldCount() const {
    const int highestRow = idAtPosition_.empty() ? 0 : idAtPosition_.rbegin()->first;
    return std::max(highestRow, RebootCounterDumpPosition);
}

QString GcuParameterSet::DumpField(int position) const {
    if (position == RebootCounterDumpPosition)
        return QString::number(rebootCounter_);
    const auto id = CommandIdAtDumpPosition(position);
    if (!id)
        return QStringLiteral("0"); // a field that no row of this table reads
    if (*id == PcbVersionCommandId)
        return pcbVersion_;
    return ValueText(*id);
}

QByteArray GcuParameterSet::DumpText() const {
    QStringList fields;
    for (int position = 1; position <= DumpFieldCount(); ++position)
        fields << DumpField(position);
    return (fields.join('&') + QStringLiteral("#\r\n")).toLatin1();
}

QByteArray GcuParameterSet::StateText() const {
    QByteArray text = "# gcu-sim stored parameters\n";
    text += "reboots=" + QByteArray::number(rebootCounter_) + "\n";
    for (const auto& [id, value] : stored_)
        text += "id." + QByteArray::number(id) + "=" +
                GcuNumberText(value, DecimalsOf(id, 2)).toLatin1() + "\n";
    return text;
}

void GcuParameterSet::LoadStateText(const QByteArray& text, const QString& source) {
    std::map<int, double> stored = stored_;
    int reboots = rebootCounter_;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const auto fail = [&](const QString& why) {
            throw EInOutError(QStringLiteral("%1 line %2: %3").arg(source).arg(i + 1).arg(why));
        };
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            fail(QStringLiteral("expected key=value"));
        const QString key = line.left(eq);
        const auto value = ParseGcuNumber(line.mid(eq + 1));
        if (!value)
            fail(QStringLiteral("not a number"));
        if (key == QLatin1String("reboots")) {
            reboots = RoundHalfToEvenInt(*value); // any number in the file stays defined
            continue;
        }
        bool ok = false;
        int id = key.startsWith(QLatin1String("id.")) ? key.mid(3).toInt(&ok) : 0;
        if (!ok) {
            const std::optional<int> ofWord = CommandIdOfWord(key);
            ok = ofWord.has_value();
            id = ofWord.value_or(0);
        }
        if (!ok || !stored.count(id))
            fail(QStringLiteral("unknown parameter ") + key);
        stored[id] = RoundToDecimals(*value, DecimalsOf(id, 2));
    }
    stored_ = stored;
    values_ = stored;
    rebootCounter_ = reboots;
}
