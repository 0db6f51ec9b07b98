#include "model/ConfigText.h"
#include "translation/MessageNumbers.h"

#include "model/DerivedValues.h"
#include "model/SequenceController.h"
#include "model/UnitValues.h"
#include "util/BuildInfo.h"
#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace {

// Values are padded to this width so that the comments mostly line up; the
// width is fixed, so a changed value changes only its own line.
constexpr int ValueColumnWidth = 8;

bool HasCommand(const CommandTable& table, int id) {
    return CommandTable::IsValidId(id) && !table[id].Command.isEmpty();
}

// A parameter the text can name: a command the GCU is written.
bool IsParameter(const TCommandRecord& row) {
    return !row.Command.isEmpty() && row.WriteToGCUID == 1;
}

// A display number as a text holds it: decimal point, never the locale.
QString NumberText(double value, int digits) {
    return StrCommaToDot(RealToStrDec(value, std::max(0, digits)));
}

// Decimal notation with "." only: no exponent, no group separators, no
// comma, so that no value is ever read other than as written.
std::optional<double> ParseNumber(const QString& text) {
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The RPM factor of a set of values: its own divisor and "x 2" where it has
// them, else the table's.
int RPMFactorOfValues(const CommandTable& table, std::optional<double> divisor,
                      std::optional<double> times2) {
    return RPMFactorFor(divisor.value_or(table[RPMDivisorId].ActualValueSW),
                        times2.value_or(table[RPMTimes2Id].ActualValueSW));
}

// The row as it reads with RPM factor Factor: an RPM row's display limits
// follow the factor.
TCommandRecord RowAtFactor(const TCommandRecord& row, int factor) {
    TCommandRecord copy = row;
    if (IsRPMParameter(copy))
        ReexpressRPMParameter(copy, factor);
    return copy;
}

QString HeaderText(const ConfigTextHeader& header, const QVector<TCommandRecord>& records) {
    const QString program = header.program.isEmpty() ? QLatin1String(BuildInfo::ProgramName) +
                                                           u' ' + QLatin1String(BuildInfo::Version)
                                                     : header.program;
    const QDateTime time =
        header.time.isValid() ? header.time.toUTC() : QDateTime::currentDateTimeUtc();
    QStringList lines{
        QStringLiteral("# Quarventa GCU configuration: \"WORD = value\" in display units with a "
                       "decimal point;"),
        QStringLiteral("# a file may hold only the values to change. Lines from \"#\" on are "
                       "comments."),
        QStringLiteral("# program: ") + program,
        QStringLiteral("# time: ") + time.toString(Qt::ISODate),
    };
    if (!header.unitName.isEmpty())
        lines.append(QStringLiteral("# unit: ") + header.unitName);
    if (!header.firmware.isEmpty())
        lines.append(QStringLiteral("# firmware: ") + header.firmware);
    if (!header.pcbVersion.isEmpty())
        lines.append(QStringLiteral("# PCB version: ") + header.pcbVersion);
    if (header.reboots)
        lines.append(QStringLiteral("# reboots: %1").arg(*header.reboots));
    lines.append(
        QStringLiteral("# values: %1, %2").arg(records.size()).arg(RecordValuesHash(records)));
    return lines.join(u'\n') + u'\n';
}

QString ValueLine(const TCommandRecord& row, double display) {
    QString line = row.Command.leftJustified(CommandTextCapacity::Command) + QStringLiteral(" = ") +
                   NumberText(display, row.DigitsValueSW).leftJustified(ValueColumnWidth) +
                   QStringLiteral("  # ") + row.Description;
    if (!row.MeasureUnitSW.isEmpty())
        line += QStringLiteral(" [") + row.MeasureUnitSW + u']';
    if (row.MinValueSW != row.MaxValueSW)
        line += QStringLiteral(", limits ") + NumberText(row.MinValueSW, row.DigitsValueSW) +
                QStringLiteral("..") + NumberText(row.MaxValueSW, row.DigitsValueSW);
    return line;
}

// One line of a text, taken apart.
struct ValueLineParts {
    int line = 0;
    int id = 0;
    QString word;
    double value = 0.0;
};

LeftOutRecord TextLeftOut(int line, int id, const QString& word, LeftOutReason reason) {
    LeftOutRecord left;
    left.recordNumber = line;
    left.id = id;
    left.command = word;
    left.reason = reason;
    left.textLine = true;
    return left;
}

} // namespace

bool IsConfigTextFile(const QString& fileName) {
    return fileName.endsWith(u'.' + QLatin1String(ConfigTextSuffix), Qt::CaseInsensitive);
}

QString ConfigText(const CommandTable& table, const QVector<TCommandRecord>& records,
                   const ConfigTextHeader& header) {
    QVector<TCommandRecord> named;
    for (const TCommandRecord& record : records) {
        if (HasCommand(table, record.ID))
            named.append(record);
    }
    std::stable_sort(named.begin(), named.end(),
                     [](const TCommandRecord& a, const TCommandRecord& b) { return a.ID < b.ID; });
    std::optional<double> divisor;
    std::optional<double> times2;
    for (const TCommandRecord& record : named) {
        if (record.ID == RPMDivisorId)
            divisor = record.ActualValueFW;
        else if (record.ID == RPMTimes2Id)
            times2 = record.ActualValueFW;
    }
    const int factor = RPMFactorOfValues(table, divisor, times2);

    QString text = HeaderText(header, named) + u'\n';
    for (const TCommandRecord& record : named) {
        const TCommandRecord row = RowAtFactor(table[record.ID], factor);
        const double display = FWValueToSWValue(table, record.ID, record.ActualValueFW, factor);
        text += ValueLine(row, display) + u'\n';
    }
    return text;
}

int SaveConfigTextFile(const QString& fileName, const CommandTable& commands, int pcbVersion,
                       const ConfigTextHeader& header) {
    QVector<TCommandRecord> records;
    for (int id : ConfigRowsToSave(commands, pcbVersion))
        records.append(commands[id]);
    SaveWholeFileOrRaise(fileName, ConfigText(commands, records, header).toUtf8());
    return static_cast<int>(records.size());
}

ConfigTextRecords ParseConfigText(const QString& text, const CommandTable& table) {
    QHash<QString, int> idOfWord;
    for (int id = 1; id <= CommandCount; ++id) {
        if (IsParameter(table[id]))
            idOfWord.insert(table[id].Command.toUpper(), id);
    }

    ConfigTextRecords result;
    QVector<ValueLineParts> values;
    QHash<int, int> lineOfId;
    const QStringList lines = text.split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const int lineNumber = n + 1;
        QString content = lines[n];
        if (n == 0 && content.startsWith(QChar(0xFEFF)))
            content.remove(0, 1);
        if (const qsizetype hash = content.indexOf(u'#'); hash >= 0)
            content.truncate(hash);
        content = content.trimmed();
        if (content.isEmpty())
            continue;
        ++result.valueLines;
        const qsizetype equals = content.indexOf(u'=');
        if (equals < 0) {
            result.leftOut.append(TextLeftOut(lineNumber, 0, content.section(u' ', 0, 0),
                                              LeftOutReason::NotAValueLine));
            continue;
        }
        const QString word = content.left(equals).trimmed().toUpper();
        const int id = idOfWord.value(word, 0);
        if (id == 0) {
            result.leftOut.append(
                TextLeftOut(lineNumber, 0, word, LeftOutReason::UnknownCommandWord));
            continue;
        }
        const QString& command = table[id].Command;
        if (lineOfId.contains(id)) {
            result.leftOut.append(
                TextLeftOut(lineNumber, id, command, LeftOutReason::DuplicateCommand));
            continue;
        }
        lineOfId.insert(id, lineNumber);
        const std::optional<double> value = ParseNumber(content.mid(equals + 1).trimmed());
        if (!value) {
            result.leftOut.append(
                TextLeftOut(lineNumber, id, command, LeftOutReason::ValueNotNumber));
            continue;
        }
        values.append(ValueLineParts{lineNumber, id, command, *value});
    }

    // RPM values are read with the factor of the divisor and "x 2" the text
    // sets, where it sets them to values the loading rules take; like the
    // records of a configuration file, each keeps the value it was written as.
    std::optional<double> divisor;
    std::optional<double> times2;
    for (const ValueLineParts& v : values) {
        if (v.id != RPMDivisorId && v.id != RPMTimes2Id)
            continue;
        if (LoadedValueFault(table[v.id], v.value, v.value, {}))
            continue;
        (v.id == RPMDivisorId ? divisor : times2) = v.value;
    }
    const int factor = RPMFactorOfValues(table, divisor, times2);

    for (const ValueLineParts& v : values) {
        TCommandRecord record = table[v.id];
        record.ActualValueSW = v.value;
        try {
            record.ActualValueFW = SWValueToFWValue(table, v.id, v.value, factor);
        } catch (const EConvertError&) {
            // A row that cannot be scaled: the loading rules leave it out.
            record.ActualValueFW = std::numeric_limits<double>::quiet_NaN();
        }
        result.file.records.append(record);
        result.lines.append(v.line);
    }
    return result;
}

ConfigTextRecords ReadConfigTextFile(const QString& fileName, const CommandTable& table) {
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotOpen, {fileName, FileErrorReason(file, errno)}});
    errno = 0;
    const QByteArray bytes = file.read(MaxConfigTextBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotRead, {fileName, FileErrorReason(file, errno)}});
    if (bytes.size() > MaxConfigTextBytes)
        throw EInOutError(DetailPhrase{Msg::PhraseConfigTextTooLarge, {fileName}});
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || bytes.contains('\0'))
        throw EInOutError(DetailPhrase{Msg::PhraseConfigTextNotUtf8, {fileName}});
    return ParseConfigText(text, table);
}

ConfigLoadResult LoadConfigurationText(SequenceController& controller,
                                       const ConfigTextRecords& text, int pcbVersion,
                                       const BoundControlLookup& boundControl) {
    ConfigLoadResult result = LoadConfiguration(controller, text.file, pcbVersion, boundControl);
    for (LeftOutRecord& left : result.leftOut) {
        left.recordNumber = text.lines.value(left.recordNumber - 1);
        left.textLine = true;
    }
    result.leftOut += text.leftOut;
    std::stable_sort(result.leftOut.begin(), result.leftOut.end(),
                     [](const LeftOutRecord& a, const LeftOutRecord& b) {
                         return a.recordNumber < b.recordNumber;
                     });
    result.recordCount = text.valueLines;
    result.trailingBytes = 0;
    return result;
}

ConfigLoadResult LoadConfigurationTextFile(SequenceController& controller, const QString& fileName,
                                           int pcbVersion, const BoundControlLookup& boundControl) {
    return LoadConfigurationText(controller, ReadConfigTextFile(fileName, controller.Commands()),
                                 pcbVersion, boundControl);
}
