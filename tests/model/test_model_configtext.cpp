// The text form of a configuration: written from the shipped command table
// and read back through the loading rules of a configuration file.
#include "model/ConfigText.h"
#include "model/DerivedValues.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/SequenceController.h"
#include "model/UnitValues.h"
#include "support/FileLimits.h"
#include "support/ModelFixtures.h"
#include "util/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int PcbVersions[] = {0, 30, 35, 39, 40, 41, 42, 43, 50, 60};

bool IsSwitch(const TCommandRecord& row) {
    return row.MeasureUnitSW == QLatin1String("Nr") && row.MinValueSW == 0 && row.MaxValueSW == 1;
}

// The shipped table with every parameter shown in a control, as the window's
// binding leaves it: switches in check boxes (choices 0 and 1), values with
// decimals in edits, the others in spin edits.
class ConfigTextTest : public ::testing::Test {
  protected:
    ConfigTextTest() : table(qvtest::ShippedCommandTable()), controller(sequence, table, view) {
        SetSGSequenceStructure(view.grid);
        for (int id = 1; id <= CommandCount; ++id) {
            TCommandRecord& row = table[id];
            if (row.Command.isEmpty() || row.WriteToGCUID != 1)
                continue;
            row.SenderType = IsSwitch(row)           ? "TCheckBox"
                             : row.DigitsValueSW > 0 ? "TEdit"
                                                     : "TSpinEdit";
            row.SenderName1 = QStringLiteral("C%1").arg(id);
        }
        bound = [this](const QString& name, const QString& type,
                       int id) -> std::optional<BoundControl> {
            const TCommandRecord& row = table[id];
            if (name != row.SenderName1 || type != row.SenderType)
                return std::nullopt;
            return BoundControl{type == "TCheckBox" ? 2 : 0};
        };
    }

    int IdOf(const char* word) const {
        for (int id = 1; id <= CommandCount; ++id)
            if (table[id].Command == QLatin1String(word))
                return id;
        ADD_FAILURE() << "no command " << word;
        return 1;
    }

    CommandTable table;
    ChangeSequence sequence;
    qvtest::NullSequenceView view;
    SequenceController controller;
    BoundControlLookup bound;
};

// A value the unit could hold: a whole number of firmware steps between the
// limits; the limits themselves in the first two rounds.
double FirmwareValue(const TCommandRecord& row, int round, QRandomGenerator& random) {
    const int digits = std::clamp(row.DigitsValueFW, 0, 5);
    const long long low = *FirmwareValueUnits(row.MinValueFW, digits);
    const long long high = *FirmwareValueUnits(row.MaxValueFW, digits);
    long long units = round == 0 ? low : round == 1 ? high : low;
    if (round > 1 && high > low)
        units = low + static_cast<long long>(random.bounded(static_cast<quint64>(high - low + 1)));
    return static_cast<double>(units) / std::pow(10.0, digits);
}

} // namespace

// Every parameter of every PCB version, at its limits and at random values,
// the RPM divisor and "x 2" included: what the loaded entries hold is what
// the text was written from, at the firmware's precision.
TEST_F(ConfigTextTest, roundTrip_everyParameterOfEveryPcbVersion_loadsTheSameFirmwareValues) {
    const CommandTable original = table;
    for (const int pcb : PcbVersions) {
        for (int round = 0; round < 12; ++round) {
            const quint32 seed = static_cast<quint32>(pcb * 100 + round);
            QRandomGenerator random(seed);
            table = original;
            QMap<int, double> written;
            QVector<TCommandRecord> records;
            for (int id : ConfigRowsToSave(table, pcb)) {
                TCommandRecord record = table[id];
                record.ActualValueFW = FirmwareValue(record, round, random);
                written.insert(id, record.ActualValueFW);
                records.append(record);
            }
            ASSERT_GT(records.size(), 50) << "PCB " << pcb;
            const QString text = ConfigText(table, records, ConfigTextHeader{});
            sequence.ClearAll();
            const ConfigLoadResult result =
                LoadConfigurationText(controller, ParseConfigText(text, table), pcb, bound);

            const QString context = QStringLiteral("PCB %1, seed %2").arg(pcb).arg(seed);
            ASSERT_TRUE(result.leftOut.isEmpty())
                << qPrintable(context) << ": "
                << qPrintable(DescribeLeftOutRecords(result.leftOut));
            ASSERT_EQ(result.taken, records.size()) << qPrintable(context);
            EXPECT_EQ(result.notForPcb, 0) << qPrintable(context);
            for (int place = 1; place <= result.taken; ++place) {
                const TSequenceRecord& entry = sequence[place];
                const int digits = table[entry.CommandID].DigitsValueFW;
                ASSERT_EQ(FirmwareValueUnits(entry.ActualValueFW, digits),
                          FirmwareValueUnits(written.value(entry.CommandID), digits))
                    << qPrintable(context) << ", " << qPrintable(entry.Command) << ": wrote "
                    << written.value(entry.CommandID) << ", read " << entry.ActualValueFW;
                EXPECT_EQ(entry.Status, StatusLetter::Loaded);
            }
        }
    }
}

// A patch typed by hand: the lines that are wrong are left out and named by
// their line, the others become the only "L" entries.
TEST_F(ConfigTextTest, partialFile_reportsExactlyItsFourWrongLines_andLoadsTheRest) {
    const QString text = QStringLiteral("# race day changes\n"
                                        "MINVBATT = 11.5\n"
                                        "GEARXPRI = 12\n"
                                        "ACTTLIMT = 200   # above the limit 130\n"
                                        "DNACTTMO = abc\n"
                                        "\n"
                                        "minvbatt = 12.0\n"
                                        "RPMLIMIT=12000\r\n");
    const CommandTable before = table;
    const ConfigLoadResult result =
        LoadConfigurationText(controller, ParseConfigText(text, table), 43, bound);

    ASSERT_EQ(result.leftOut.size(), 4) << qPrintable(DescribeLeftOutRecords(result.leftOut));
    const std::pair<int, LeftOutReason> expected[] = {
        {3, LeftOutReason::UnknownCommandWord},
        {4, LeftOutReason::ValueOutsideLimits},
        {5, LeftOutReason::ValueNotNumber},
        {7, LeftOutReason::DuplicateCommand},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(result.leftOut[i].recordNumber, expected[i].first);
        EXPECT_EQ(result.leftOut[i].reason, expected[i].second) << "line " << expected[i].first;
    }
    const QStringList lines = LeftOutRecordLines(result.leftOut);
    EXPECT_TRUE(lines[0].startsWith("Line 3 (GEARXPRI): ")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].startsWith("Line 4 (ID 2, ACTTLIMT): ")) << qPrintable(lines[1]);

    EXPECT_EQ(result.recordCount, 6);
    EXPECT_EQ(result.taken, 2);
    ASSERT_EQ(sequence.Count(), 2);
    EXPECT_EQ(sequence[1].Command, "MINVBATT");
    EXPECT_EQ(sequence[1].ActualValueFW, 11.5);
    EXPECT_EQ(sequence[2].Command, "RPMLIMIT");
    EXPECT_EQ(sequence[2].ActualValueFW, 12000.0 / RPMFactorOfTable(table));
    // Loading changes no value of the table: the entries wait for a transmission.
    for (int id = 1; id <= CommandCount; ++id)
        EXPECT_EQ(table[id].ActualValueFW, before[id].ActualValueFW) << id;
}

// Whatever the locale, a text has a decimal point, and only decimal notation
// is read: a comma, an exponent or a group separator is not a number rather
// than another number.
TEST_F(ConfigTextTest, valuesUseADecimalPointWhateverTheLocale_andOtherNotationsAreRefused) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TCommandRecord battery = table[IdOf("MINVBATT")];
    battery.ActualValueFW = 10.5;
    const QString written = ConfigText(table, {battery}, ConfigTextHeader{});
    EXPECT_TRUE(written.contains(QRegularExpression("\\nMINVBATT = 10\\.5 +# .*\\[V\\], limits "
                                                    "6\\.0\\.\\.16\\.0\\n")))
        << qPrintable(written);

    const struct {
        const char* value;
        std::optional<double> read;
    } cases[] = {
        {"10.5", 10.5},
        {"+7", 7.0},
        {"-0.00", 0.0},
        {".5", 0.5},
        {"8.", 8.0},
        {"12,5", std::nullopt},
        {"1e1", std::nullopt},
        {"1,000", std::nullopt},
        {"", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"0x10", std::nullopt},
        {"1.2.3", std::nullopt},
        {"- 5", std::nullopt},
    };
    for (const auto& c : cases) {
        const ConfigTextRecords read =
            ParseConfigText(QStringLiteral("MINVBATT = %1\n").arg(QLatin1String(c.value)), table);
        if (c.read) {
            ASSERT_EQ(read.file.records.size(), 1) << c.value;
            EXPECT_EQ(read.file.records[0].ActualValueSW, *c.read) << c.value;
        } else {
            ASSERT_EQ(read.leftOut.size(), 1) << c.value;
            EXPECT_EQ(read.leftOut[0].reason, LeftOutReason::ValueNotNumber) << c.value;
        }
    }
    QLocale::setDefault(saved);
}

// RPM values mean what the text's own divisor says; a text without one is
// read with the table's.
TEST_F(ConfigTextTest, rpmValuesAreReadWithTheDivisorTheTextSets) {
    const int limiter = IdOf("RPMLIMIT");
    const auto firmwareOf = [&](const QString& text) {
        const ConfigTextRecords read = ParseConfigText(text, table);
        for (int i = 0; i < read.file.records.size(); ++i)
            if (read.file.records[i].ID == limiter)
                return read.file.records[i].ActualValueFW;
        ADD_FAILURE() << "no RPMLIMIT in " << qPrintable(text);
        return 0.0;
    };
    table[RPMDivisorId].ActualValueSW = table[RPMDivisorId].ActualValueFW = 1;
    table[RPMTimes2Id].ActualValueSW = table[RPMTimes2Id].ActualValueFW = 0;
    EXPECT_EQ(firmwareOf("RPMLIMIT = 6000\n"), 100);
    EXPECT_EQ(firmwareOf("RPMDIVSR = 2\nRPMLIMIT = 6000\n"), 200);
    EXPECT_EQ(firmwareOf("RPMLIMIT = 6000\nRPMMULT2 = 1\n"), 50);
    // A divisor the loading rules refuse does not count.
    EXPECT_EQ(firmwareOf("RPMDIVSR = 9\nRPMLIMIT = 6000\n"), 100);
}

// A text file is read as text or not at all.
TEST_F(ConfigTextTest, fileThatIsNotUtf8TextOrTooLarge_isRefusedUnread) {
    QTemporaryDir dir;
    const QString binary = dir.filePath("binary.qvt");
    TCommandRecord record = table[1];
    record.ActualValueFW = 10.5;
    WriteConfigFile(binary, {record});
    // The reason names the file.
    const auto refusal = [this](const QString& path) {
        try {
            ReadConfigTextFile(path, table);
        } catch (const EInOutError& error) {
            return error.Message();
        }
        return QString();
    };
    EXPECT_EQ(refusal(binary), "File \"" + binary + "\" is not UTF-8 text");

    const QString large = dir.filePath("large.qvt");
    QFile file(large);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(MaxConfigTextBytes + 1, '#'));
    file.close();
    EXPECT_EQ(refusal(large), "File \"" + large + "\" is too large for a configuration text");

    const QString saved = dir.filePath("saved.QVT");
    EXPECT_TRUE(IsConfigTextFile(saved));
    EXPECT_FALSE(IsConfigTextFile(dir.filePath("saved.QCF")));
    table[1].ActualValueFW = 12.5;
    ConfigTextHeader header;
    header.time = QDateTime(QDate(2024, 5, 12), QTime(9, 30, 12), Qt::UTC);
    header.unitName = "usb-0403-6001-A1B2";
    header.firmware = "5.0.9";
    header.pcbVersion = "4.3";
    header.reboots = 17;
    const int count = SaveConfigTextFile(saved, table, 43, header);
    const ConfigTextRecords read = ReadConfigTextFile(saved, table);
    EXPECT_EQ(read.file.records.size(), count);
    EXPECT_TRUE(read.leftOut.isEmpty());
    ASSERT_FALSE(read.file.records.isEmpty());
    EXPECT_EQ(read.file.records[0].ActualValueFW, 12.5);

    // The header says where the values come from, and their hash is the one
    // restore points give the same values.
    QFile file2(saved);
    ASSERT_TRUE(file2.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file2.readAll());
    QVector<TCommandRecord> rows;
    for (int id : ConfigRowsToSave(table, 43))
        rows.append(table[id]);
    for (const QString& line :
         {QStringLiteral("# program: quarventa "), QStringLiteral("# time: 2024-05-12T09:30:12Z"),
          QStringLiteral("# unit: usb-0403-6001-A1B2"), QStringLiteral("# firmware: 5.0.9"),
          QStringLiteral("# PCB version: 4.3"), QStringLiteral("# reboots: 17"),
          QStringLiteral("# values: %1, %2").arg(count).arg(RecordValuesHash(rows))})
        EXPECT_TRUE(text.contains("\n" + line)) << qPrintable(line);
}

// A text the system refuses to write is reported with its cause, and the
// text saved before stays whole.
TEST_F(ConfigTextTest, textThatCannotBeWritten_isReportedWithItsCause_andTheOldFileStays) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.qvt");
    table[1].ActualValueFW = 12.5;
    const int count = SaveConfigTextFile(path, table, 43, {});
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray saved = before.readAll();
    before.close();

    table[1].ActualValueFW = 10.5;
    QString message;
    {
        qvtest::FilesCannotGrow full;
        try {
            SaveConfigTextFile(path, table, 43, {});
            ADD_FAILURE() << "a text that could not be written was reported as saved";
        } catch (const EInOutError& error) {
            message = error.Message();
        }
    }
    EXPECT_TRUE(message.endsWith(QStringLiteral("File too large"))) << qPrintable(message);
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), saved);
    EXPECT_EQ(ReadConfigTextFile(path, table).file.records.size(), count);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.qvt"}); // no leftovers
}
