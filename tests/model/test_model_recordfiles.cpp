// Configuration and sequence files: the byte layout of both records, whole
// files, the rows a save writes, and how loads turn records into entries,
// including damaged and hostile files.
#include "model/RecordFiles.h"
#include "model/SequenceController.h"
#include "model/SequenceLoading.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

namespace {

// Little-endian field writers for layouts built by hand from the offsets.
void PutInt(QByteArray& b, int offset, qint32 v) {
    const auto u = static_cast<quint32>(v);
    for (int i = 0; i < 4; ++i)
        b[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}
void PutDouble(QByteArray& b, int offset, double v) {
    quint64 u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i)
        b[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}
void PutText(QByteArray& b, int offset, const QByteArray& text) {
    b[offset] = static_cast<char>(text.size());
    for (int i = 0; i < text.size(); ++i)
        b[offset + 1 + i] = text[i];
}

// A configuration record with a distinct value in every field, and its bytes.
TCommandRecord SampleCommand() {
    TCommandRecord r;
    r.ID = 0x01020304;
    r.Command = "MAXVATPS";
    r.Description = QString::fromUtf8("Température max");
    r.MinValueFW = -1.5;
    r.MaxValueFW = 4500.25;
    r.DigitsValueFW = -7;
    r.StepValueFW = 0.125;
    r.MeasureUnitFW = QString::fromUtf8("°C");
    r.DefaultValueFW = 3.0;
    r.ActualValueFW = 4.41;
    r.FWtoSWFactor = 1000.0;
    r.MinValueSW = -2.0;
    r.MaxValueSW = 9999.0;
    r.DigitsValueSW = 3;
    r.StepValueSW = 0.5;
    r.MeasureUnitSW = "mV";
    r.DefaultValueSW = 3000.0;
    r.ActualValueSW = 4410.0;
    r.ActivePCB3X = "1";
    r.ActivePCB40 = "0";
    r.ActivePCB41 = "1";
    r.ActivePCB42 = "";
    r.ActivePCB43 = "1";
    r.ActivePCB50 = "0";
    r.ActivePCB60 = "1";
    r.ReadFromGCUID = 39;
    r.WriteToGCUID = 1;
    r.Hint = QString(250, QChar('h'));
    r.SenderType = "TSpinEdit";
    r.SenderName1 = "SEThrottlePositionSensorIdleMillivolts";
    r.SenderName2 = "SEOther";
    r.ActivePageIndex1 = 2;
    r.ActivePageIndex2 = 4;
    r.Status = QString::fromUtf8("€");
    return r;
}

QByteArray SampleCommandBytes() {
    QByteArray b(784, '\0');
    PutInt(b, 0, 0x01020304);
    PutText(b, 4, "MAXVATPS");
    PutText(b, 13, "Temp\xE9rature max");
    PutDouble(b, 120, -1.5);
    PutDouble(b, 128, 4500.25);
    PutInt(b, 136, -7);
    PutDouble(b, 144, 0.125);
    PutText(b, 152,
            "\xB0"
            "C");
    PutDouble(b, 160, 3.0);
    PutDouble(b, 168, 4.41);
    PutDouble(b, 176, 1000.0);
    PutDouble(b, 184, -2.0);
    PutDouble(b, 192, 9999.0);
    PutInt(b, 200, 3);
    PutDouble(b, 208, 0.5);
    PutText(b, 216, "mV");
    PutDouble(b, 224, 3000.0);
    PutDouble(b, 232, 4410.0);
    PutText(b, 240, "1");
    PutText(b, 242, "0");
    PutText(b, 244, "1");
    PutText(b, 246, "");
    PutText(b, 248, "1");
    PutText(b, 250, "0");
    PutText(b, 252, "1");
    PutInt(b, 256, 39);
    PutInt(b, 260, 1);
    PutText(b, 264, QByteArray(250, 'h'));
    PutText(b, 515, "TSpinEdit");
    PutText(b, 566, "SEThrottlePositionSensorIdleMillivolts");
    PutText(b, 667, "SEOther");
    PutInt(b, 768, 2);
    PutInt(b, 772, 4);
    PutText(b, 776, "\x80");
    return b;
}

TSequenceRecord SampleEntry() {
    TSequenceRecord r;
    r.CommandID = 145;
    r.Command = "BARPOS1";
    r.Description = "Barrel position gear 1";
    r.PreviousValueFW = 1.25;
    r.ActualValueFW = -2.75;
    r.PreviousValueSW = 1250;
    r.ActualValueSW = -2750.5;
    r.Time = "23.59.07";
    r.Status = "T";
    r.SenderType = "TEdit";
    r.SenderName1 = "EGearOne";
    r.SenderName2 = "EGearOneToo";
    r.ActivePageIndex1 = 3;
    r.ActivePageIndex2 = -1;
    return r;
}

QByteArray SampleEntryBytes() {
    QByteArray b(424, '\0');
    PutInt(b, 0, 145);
    PutText(b, 4, "BARPOS1");
    PutText(b, 13, "Barrel position gear 1");
    PutDouble(b, 120, 1.25);
    PutDouble(b, 128, -2.75);
    PutDouble(b, 136, 1250);
    PutDouble(b, 144, -2750.5);
    PutText(b, 152, "23.59.07");
    PutText(b, 161, "T");
    PutText(b, 163, "TEdit");
    PutText(b, 214, "EGearOne");
    PutText(b, 315, "EGearOneToo");
    PutInt(b, 416, 3);
    PutInt(b, 420, -1);
    return b;
}

void ExpectSameCommand(const TCommandRecord& a, const TCommandRecord& b) {
    EXPECT_EQ(EncodeCommandRecord(a), EncodeCommandRecord(b));
    EXPECT_EQ(a.Command, b.Command);
    EXPECT_EQ(a.Description, b.Description);
    EXPECT_EQ(a.MeasureUnitFW, b.MeasureUnitFW);
    EXPECT_EQ(a.Status, b.Status);
    EXPECT_EQ(a.ActualValueSW, b.ActualValueSW);
    EXPECT_EQ(a.ActivePCB42, b.ActivePCB42);
}

} // namespace

TEST(CommandRecordLayout, encode_putsEveryFieldAtItsOffsetWithZeroPadding) {
    const QByteArray bytes = EncodeCommandRecord(SampleCommand());
    ASSERT_EQ(bytes.size(), 784);
    EXPECT_EQ(bytes, SampleCommandBytes());
}

TEST(CommandRecordLayout, decode_readsEveryFieldAndIgnoresPaddingAndSpareTextBytes) {
    QByteArray bytes = SampleCommandBytes();
    for (int offset : {114, 115, 119, 140, 143, 158, 159, 204, 222, 254, 255, 778, 783})
        bytes[offset] = '\xAA';
    bytes[13 + 1 + 20] = 'Z'; // a spare byte after Description's 15 characters
    const TCommandRecord r = DecodeCommandRecord(bytes.constData());
    const TCommandRecord expected = SampleCommand();
    EXPECT_EQ(r.ID, expected.ID);
    EXPECT_EQ(r.DigitsValueFW, -7);
    EXPECT_EQ(r.MaxValueFW, 4500.25);
    EXPECT_EQ(r.FWtoSWFactor, 1000.0);
    EXPECT_EQ(r.ActivePCB60, "1");
    EXPECT_EQ(r.ReadFromGCUID, 39);
    EXPECT_EQ(r.Hint.size(), 250);
    EXPECT_EQ(r.SenderName2, "SEOther");
    EXPECT_EQ(r.ActivePageIndex2, 4);
    ExpectSameCommand(r, expected);
}

TEST(CommandRecordLayout, encode_cutsTextsLongerThanTheirCapacity) {
    TCommandRecord r;
    r.Command = "ABCDEFGHIJK";
    r.Hint = QString(300, QChar('x'));
    const QByteArray bytes = EncodeCommandRecord(r);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 8);
    EXPECT_EQ(bytes.mid(5, 8), "ABCDEFGH");
    EXPECT_EQ(static_cast<unsigned char>(bytes[264]), 250);
    EXPECT_EQ(bytes[515], '\0'); // SenderType's length byte is untouched
}

// A character outside the basic plane is one character: one "?" in the file,
// and one place of the field's capacity.
TEST(CommandRecordLayout,
     encode_cutsTextsByCharactersAndWritesOneQuestionMarkForACharacterOutsideTheBasicPlane) {
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600
    TCommandRecord r;
    r.Command = "AB" + grin + "CDEFGH"; // 9 characters, 10 UTF-16 units
    r.MeasureUnitSW = grin + "C";
    const QByteArray bytes = EncodeCommandRecord(r);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 8);
    EXPECT_EQ(bytes.mid(5, 8), "AB?CDEFG");
    EXPECT_EQ(static_cast<unsigned char>(bytes[216]), 2);
    EXPECT_EQ(bytes.mid(217, 2), "?C");
    EXPECT_EQ(DecodeCommandRecord(bytes.constData()).MeasureUnitSW, "?C");

    TSequenceRecord e;
    e.Time = grin + grin + "12345678";
    const QByteArray entry = EncodeSequenceRecord(e);
    EXPECT_EQ(static_cast<unsigned char>(entry[152]), 8);
    EXPECT_EQ(entry.mid(153, 8), "??123456");
}

TEST(CommandRecordLayout, lengthByteAboveCapacity_isCutToTheCapacity) {
    QByteArray bytes = SampleCommandBytes();
    bytes[4] = '\xFF';   // Command: capacity 8
    bytes[240] = '\x09'; // ActivePCB3X: capacity 1
    bytes[776] = '\x02'; // Status: capacity 1, followed by padding
    bytes[777] = 'Q';
    bytes[778] = 'R';
    const TCommandRecord r = DecodeCommandRecord(bytes.constData());
    EXPECT_EQ(r.Command, "MAXVATPS");
    EXPECT_EQ(r.ActivePCB3X, "1");
    EXPECT_EQ(r.Status, "Q");
}

TEST(SequenceRecordLayout, encodeAndDecode_matchTheHandBuiltLayout) {
    const QByteArray bytes = EncodeSequenceRecord(SampleEntry());
    ASSERT_EQ(bytes.size(), 424);
    EXPECT_EQ(bytes, SampleEntryBytes());

    QByteArray dirty = SampleEntryBytes();
    dirty[114] = '\x55';
    dirty[119] = '\x55';
    dirty[13 + 1 + 30] = '\x55'; // a spare byte of Description
    dirty[161] = '\xC8';         // Status length 200 -> 1
    const TSequenceRecord r = DecodeSequenceRecord(dirty.constData());
    EXPECT_EQ(r.CommandID, 145);
    EXPECT_EQ(r.Command, "BARPOS1");
    EXPECT_EQ(r.PreviousValueFW, 1.25);
    EXPECT_EQ(r.ActualValueFW, -2.75);
    EXPECT_EQ(r.PreviousValueSW, 1250);
    EXPECT_EQ(r.ActualValueSW, -2750.5);
    EXPECT_EQ(r.Time, "23.59.07");
    EXPECT_EQ(r.Status, "T");
    EXPECT_EQ(r.SenderType, "TEdit");
    EXPECT_EQ(r.SenderName1, "EGearOne");
    EXPECT_EQ(r.SenderName2, "EGearOneToo");
    EXPECT_EQ(r.ActivePageIndex1, 3);
    EXPECT_EQ(r.ActivePageIndex2, -1);
}

class RecordFileTest : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void WriteBytes(const QString& path, const QByteArray& bytes) const {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QTemporaryDir dir;
};

TEST_F(RecordFileTest, filesOfZeroOneAndTwoRecords_roundTripWithExactSizes) {
    for (int count : {0, 1, 2}) {
        QVector<TCommandRecord> commands(count, SampleCommand());
        QVector<TSequenceRecord> entries(count, SampleEntry());
        WriteConfigFile(Path("c.QCF"), commands);
        WriteSequenceFile(Path("s.QSQ"), entries);
        EXPECT_EQ(QFile(Path("c.QCF")).size(), 784 * count);
        EXPECT_EQ(QFile(Path("s.QSQ")).size(), 424 * count);

        const auto c = ReadConfigFile(Path("c.QCF"));
        const auto s = ReadSequenceFile(Path("s.QSQ"));
        ASSERT_EQ(c.records.size(), count);
        ASSERT_EQ(s.records.size(), count);
        EXPECT_EQ(c.trailingBytes, 0);
        for (const TCommandRecord& r : c.records)
            ExpectSameCommand(r, SampleCommand());
        for (const TSequenceRecord& r : s.records)
            EXPECT_EQ(EncodeSequenceRecord(r), SampleEntryBytes());
    }
}

// A record file is read whole or not at all: a file cut short, or of another
// kind, is refused with its reason instead of losing its last record quietly.
TEST_F(RecordFileTest, sizeNotAWholeNumberOfRecords_isRefusedWithItsReason) {
    const auto reasonReading = [](const std::function<void()>& read) {
        try {
            read();
        } catch (const ERecordFileRefused& refused) {
            return std::optional(refused.Reason());
        }
        return std::optional<ERecordFileRefused::Why>();
    };
    WriteBytes(Path("c.QCF"), SampleCommandBytes() + SampleCommandBytes() + QByteArray(100, 'x'));
    EXPECT_EQ(reasonReading([&] { ReadConfigFile(Path("c.QCF")); }),
              ERecordFileRefused::Why::NotWholeRecords);
    WriteBytes(Path("s.QSQ"), SampleEntryBytes().left(423));
    EXPECT_EQ(reasonReading([&] { ReadSequenceFile(Path("s.QSQ")); }),
              ERecordFileRefused::Why::NotWholeRecords);
    // Two sequence records are not a configuration record and a bit.
    WriteBytes(Path("s2.QCF"), SampleEntryBytes() + SampleEntryBytes());
    EXPECT_EQ(reasonReading([&] { ReadConfigFile(Path("s2.QCF")); }),
              ERecordFileRefused::Why::NotWholeRecords);
}

TEST(RecordFileShape, wholeRecordsUpToFiveTimesTheTable_areRecordFiles) {
    using Why = ERecordFileRefused::Why;
    EXPECT_EQ(RecordFileShapeFault(0, CommandRecordSize), std::nullopt);
    EXPECT_EQ(RecordFileShapeFault(3 * CommandRecordSize, CommandRecordSize), std::nullopt);
    EXPECT_EQ(RecordFileShapeFault(3 * CommandRecordSize + 1, CommandRecordSize),
              Why::NotWholeRecords);
    EXPECT_EQ(RecordFileShapeFault(SequenceRecordSize - 1, SequenceRecordSize),
              Why::NotWholeRecords);
    EXPECT_EQ(RecordFileShapeFault(MaxRecordsInFile * SequenceRecordSize, SequenceRecordSize),
              std::nullopt);
    EXPECT_EQ(RecordFileShapeFault((MaxRecordsInFile + 1) * SequenceRecordSize, SequenceRecordSize),
              Why::TooManyRecords);
    EXPECT_EQ(RecordFileShapeFault(16 * 1024 * 1024, CommandRecordSize), Why::TooManyRecords);
}

TEST_F(RecordFileTest, unreadableOrMissingFile_raisesInOutError) {
    EXPECT_THROW(ReadConfigFile(Path("missing.QCF")), EInOutError);
    EXPECT_THROW(ReadSequenceFile(dir.path()), EInOutError); // a folder, not a file
    EXPECT_THROW(WriteSequenceFile(Path("no/such/folder/s.QSQ"), {SampleEntry()}), EInOutError);
}

TEST_F(RecordFileTest, oversizedFile_isRefusedBeforeReading) {
    QFile f(Path("big.QSQ"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize((MaxRecordsInFile + 1) * SequenceRecordSize));
    f.close();
    EXPECT_THROW(ReadSequenceFile(Path("big.QSQ")), ERecordFileRefused);
    if (QFile::exists("/dev/zero")) { // an endless stream is cut off, not read to the end
        EXPECT_THROW(ReadConfigFile("/dev/zero"), EInOutError);
    }
}

namespace {

void MakeSaveableRow(CommandTable& t, int id, const char* flags7) {
    TCommandRecord& r = t[id];
    r.ID = id;
    r.Command = QStringLiteral("C%1").arg(id);
    r.WriteToGCUID = 1;
    r.SenderType = "TSpinEdit";
    r.SenderName1 = QStringLiteral("SE%1").arg(id);
    QString* flags[] = {&r.ActivePCB3X, &r.ActivePCB40, &r.ActivePCB41, &r.ActivePCB42,
                        &r.ActivePCB43, &r.ActivePCB50, &r.ActivePCB60};
    for (int i = 0; i < 7; ++i)
        *flags[i] = QString(QChar::fromLatin1(flags7[i]));
}

} // namespace

TEST(ConfigSaveSelection, writesShownWritableRowsOfThePcbVersion_allOfThemForAnUnknownVersion) {
    CommandTable t;
    MakeSaveableRow(t, 3, "1000000");
    MakeSaveableRow(t, 4, "0010000");
    MakeSaveableRow(t, 5, "0000001");
    MakeSaveableRow(t, 6, "1111111");
    t[6].WriteToGCUID = 2;
    MakeSaveableRow(t, 7, "1111111");
    t[7].SenderName1.clear();
    MakeSaveableRow(t, 8, "1111111");
    t[8].Command.clear();

    EXPECT_EQ(ConfigRowsToSave(t, 0), (QVector<int>{3, 4, 5}));
    EXPECT_EQ(ConfigRowsToSave(t, 35), (QVector<int>{3}));
    EXPECT_EQ(ConfigRowsToSave(t, 41), (QVector<int>{4}));
    EXPECT_EQ(ConfigRowsToSave(t, 60), (QVector<int>{5}));
    EXPECT_EQ(ConfigRowsToSave(t, 45), (QVector<int>{3, 4, 5}));
    EXPECT_EQ(ConfigRowsToSave(t, 29), (QVector<int>{3, 4, 5}));
    EXPECT_EQ(ConfigRowsToSave(t, 30), (QVector<int>{3}));
    EXPECT_EQ(ConfigRowsToSave(t, 39), (QVector<int>{3}));
}

TEST_F(RecordFileTest, sequenceSave_writesEveryEntryButDiscardedOnes) {
    ChangeSequence seq;
    const char* statuses[] = {"M", "D", "T"};
    for (int i = 1; i <= 3; ++i) {
        seq[i] = SampleEntry();
        seq[i].CommandID = i;
        seq[i].Status = statuses[i - 1];
    }
    EXPECT_EQ(SaveSequenceFile(Path("s.QSQ"), seq), 2);
    EXPECT_EQ(QFile(Path("s.QSQ")).size(), 848);
    const auto s = ReadSequenceFile(Path("s.QSQ"));
    ASSERT_EQ(s.records.size(), 2);
    EXPECT_EQ(s.records[0].Status, "M");
    EXPECT_EQ(s.records[1].Status, "T");
    EXPECT_EQ(s.records[1].CommandID, 3);
}

namespace {

class RecordingView : public SequenceView {
  public:
    void SetControlColor(const QString&, const QString& name, quint32 color) override {
        colors[name] = color;
    }
    void WriteControlValues(const QVector<ControlValueWrite>& w) override { writes += w; }
    int CurrentPageIndex() const override { return page; }
    void ShowPage(int pageIndex) override {
        page = pageIndex;
        shownPages.append(pageIndex);
    }
    void SetGridSelectedRow(int) override {}
    StringGridModel& SequenceGrid() override { return grid; }
    void EnableControls() override {}

    QMap<QString, quint32> colors;
    QVector<ControlValueWrite> writes;
    int page = 0;
    QVector<int> shownPages;
    StringGridModel grid{6, 201};
};

TCommandRecord ConfigRecord(int id, double value, int page = 1) {
    TCommandRecord r;
    r.ID = id;
    r.Command = QStringLiteral("C%1").arg(id);
    r.ActualValueFW = value / 10;
    r.ActualValueSW = value;
    r.SenderType = "TSpinEdit";
    r.SenderName1 = QStringLiteral("SE%1").arg(id);
    r.ActivePageIndex1 = page;
    r.Hint = "not used";
    return r;
}

TSequenceRecord FileEntry(int id, double value) {
    TSequenceRecord r;
    r.CommandID = id;
    r.Command = QStringLiteral("C%1").arg(id);
    r.PreviousValueSW = 7;
    r.ActualValueFW = value / 10;
    r.ActualValueSW = value;
    r.Time = "01.02.03";
    r.Status = "M";
    r.SenderType = "TSpinEdit";
    r.SenderName1 = QStringLiteral("SE%1").arg(id);
    r.ActivePageIndex1 = 2;
    return r;
}

class FileLoading : public RecordFileTest {
  protected:
    FileLoading() : controller(sequence, commands, view) {
        controller.timeText = [] { return QStringLiteral("10.20.30"); };
        for (int id = 1; id <= CommandCount; ++id) {
            MakeSaveableRow(commands, id, "1110000");
            // The records' GCU values are a tenth of their display values.
            commands[id].MeasureUnitFW = commands[id].MeasureUnitSW = QStringLiteral("Nr");
            commands[id].FWtoSWFactor = 10;
            commands[id].DigitsValueFW = 2;
        }
        isBound = [this](const QString& name, const QString& type,
                         int id) -> std::optional<BoundControl> {
            if (name != QStringLiteral("SE%1").arg(id) || unbound.contains(name))
                return std::nullopt;
            if (type == "TRadioGroup" && radioRows.contains(id))
                return BoundControl{2};
            if (type == "TSpinEdit" && !radioRows.contains(id))
                return BoundControl{};
            return std::nullopt;
        };
    }

    ConfigLoadResult LoadConfig(const QVector<TCommandRecord>& records, int pcb = 0) {
        WriteConfigFile(Path("c.QCF"), records);
        return LoadConfigurationFile(controller, Path("c.QCF"), pcb, isBound);
    }
    SequenceLoadResult LoadSeq(const QVector<TSequenceRecord>& records) {
        WriteSequenceFile(Path("s.QSQ"), records);
        return LoadSequenceFile(controller, Path("s.QSQ"), isBound, answer);
    }
    void Entry(int index, int id, double value, const char* status) {
        sequence[index].CommandID = id;
        sequence[index].Command = QStringLiteral("C%1").arg(id);
        sequence[index].ActualValueSW = value;
        sequence[index].Status = status;
    }

    CommandTable commands;
    ChangeSequence sequence;
    RecordingView view;
    SequenceController controller;
    BoundControlLookup isBound;
    QStringList unbound;
    QVector<int> radioRows; // shown by a radio group of two items
    QVector<ReplaceQuestion> questions;
    ReplaceAsker answer = [this](const ReplaceQuestion& q) {
        questions.append(q);
        return q.command != "C9" ? ReplaceAnswer::Yes : ReplaceAnswer::No;
    };
};

} // namespace

TEST_F(FileLoading, configOverExistingSequence_becomesLoadedEntriesInFileOrder) {
    Entry(1, 50, 1, "M");
    Entry(2, 51, 1, "T");
    const auto result = LoadConfig({ConfigRecord(12, 120, 3), ConfigRecord(4, 40, 2)});
    EXPECT_EQ(result.taken, 2);
    EXPECT_TRUE(result.leftOut.isEmpty());
    ASSERT_EQ(sequence.Count(), 2);
    EXPECT_EQ(sequence[1].CommandID, 12);
    EXPECT_EQ(sequence[2].CommandID, 4);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(sequence[i].Status, "L");
        EXPECT_EQ(sequence[i].PreviousValueSW, 0);
        EXPECT_EQ(sequence[i].Time, "10.20.30");
    }
    EXPECT_EQ(sequence[1].ActualValueSW, 120);
    EXPECT_EQ(sequence[1].ActualValueFW, 12);
    EXPECT_EQ(commands[12].ActualValueSW, 0); // the table waits for "Apply Config."
    // Every entry coloured silently, then entry 1 selected with its page shown.
    EXPECT_EQ(view.shownPages, QVector<int>{2});
    EXPECT_EQ(view.colors["SE12"], 0x00FF9933u);
    EXPECT_EQ(view.colors["SE4"], 0x00FFD5AAu);
    EXPECT_EQ(sequence.ActivePosition, 1);
    EXPECT_FALSE(sequence.SilentActivePageChange);
    EXPECT_EQ(view.grid.Cell(5, 2), "L");
}

// A pending edit the load replaces is reverted like an erased one, so its
// control does not keep a value that is in no list; a loaded entry discarded
// afterwards leaves its control and command row alone (its previous value is
// 0, not a setting).
TEST_F(FileLoading, configLoadRevertsReplacedEdits_andDiscardingALoadedEntryWritesNothing) {
    commands[50].ActualValueSW = 1;
    controller.AddSequenceRecord(50, 80); // an edit from 1 to 80 in SE50
    ASSERT_EQ(sequence[1].Status, "M");
    commands[4].ActualValueSW = 35;

    LoadConfig({ConfigRecord(4, 40, 2)});
    ASSERT_EQ(view.writes.size(), 1);
    EXPECT_EQ(view.writes[0].controlName, "SE50");
    EXPECT_EQ(view.writes[0].integer, 1);
    EXPECT_EQ(commands[50].ActualValueSW, 1);
    EXPECT_EQ(view.colors["SE50"], StatusColors::clWhite);

    view.writes.clear();
    controller.SelectGridRow(1);
    ASSERT_TRUE(controller.DiscardSelected());
    EXPECT_EQ(sequence[1].Status, "D");
    EXPECT_TRUE(view.writes.isEmpty());
    EXPECT_EQ(commands[4].ActualValueSW, 35);
}

// Nothing is replaced by nothing: an empty file, or one of which no record
// can be taken, leaves the user's sequence and its controls as they are.
TEST_F(FileLoading, configThatGivesNoEntry_leavesTheSequenceAsItWas) {
    commands[50].ActualValueSW = 1;
    controller.AddSequenceRecord(50, 80);
    view.writes.clear();
    for (const QVector<TCommandRecord>& file :
         {QVector<TCommandRecord>{}, QVector<TCommandRecord>{ConfigRecord(0, 1)}}) {
        const auto result = LoadConfig(file);
        EXPECT_EQ(result.taken, 0);
        ASSERT_EQ(sequence.Count(), 1);
        EXPECT_EQ(sequence[1].CommandID, 50);
        EXPECT_EQ(sequence[1].Status, "M");
        EXPECT_TRUE(view.writes.isEmpty()); // the edit was not reverted
    }
}

TEST_F(FileLoading, configRecordsNotOnThePcb_areSkippedWithoutBeingLeftOut) {
    MakeSaveableRow(commands, 5, "0000001");
    const auto result = LoadConfig({ConfigRecord(4, 1), ConfigRecord(5, 1)}, 41);
    EXPECT_EQ(result.taken, 1);
    EXPECT_EQ(result.notForPcb, 1);
    EXPECT_TRUE(result.leftOut.isEmpty());
    EXPECT_EQ(sequence[1].CommandID, 4);
    EXPECT_EQ(LoadConfig({ConfigRecord(4, 1)}, 45).taken, 0); // unknown version: nothing
}

TEST_F(FileLoading, configRecordsWithBadIdValueOrControl_areLeftOutAndReported) {
    TCommandRecord nan = ConfigRecord(8, 1);
    nan.ActualValueSW = std::numeric_limits<double>::quiet_NaN();
    TCommandRecord wrongKind = ConfigRecord(9, 1);
    wrongKind.SenderType = "TEdit";
    TCommandRecord foreignName = ConfigRecord(10, 1);
    foreignName.SenderName2 = "SE11"; // a control of another command
    const auto result =
        LoadConfig({ConfigRecord(0, 1), ConfigRecord(201, 1), ConfigRecord(-2147483647 - 1, 1), nan,
                    wrongKind, foreignName, ConfigRecord(3, 30)});
    EXPECT_EQ(result.taken, 1);
    ASSERT_EQ(result.leftOut.size(), 6);
    EXPECT_EQ(result.leftOut[0].recordNumber, 1);
    EXPECT_EQ(result.leftOut[1].id, 201);
    EXPECT_EQ(result.leftOut[2].reason, LeftOutReason::IdOutOfRange);
    EXPECT_EQ(result.leftOut[3].reason, LeftOutReason::ValueNotNumber);
    EXPECT_EQ(result.leftOut[4].reason, LeftOutReason::UnknownControl);
    EXPECT_EQ(result.leftOut[5].reason, LeftOutReason::UnknownControl);
    EXPECT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 3);
    EXPECT_TRUE(DescribeLeftOutRecords(result.leftOut).contains("Record 2 (ID 201, C201)"));
}

TEST_F(FileLoading, configWithMoreRecordsThanPlaces_keeps200AndReportsTheRest) {
    QVector<TCommandRecord> records;
    for (int i = 0; i < 205; ++i)
        records.append(ConfigRecord(1 + i % 200, i));
    const auto result = LoadConfig(records);
    EXPECT_EQ(result.taken, 200);
    ASSERT_EQ(result.leftOut.size(), 5);
    EXPECT_EQ(result.leftOut[0].recordNumber, 201);
    EXPECT_EQ(result.leftOut[0].reason, LeftOutReason::NoFreePlace);
    EXPECT_EQ(sequence.Count(), 200);
    EXPECT_EQ(sequence[200].ActualValueSW, 199);
}

TEST_F(FileLoading, configLengthBytesAboveCapacity_areCutOnLoad) {
    TCommandRecord record = ConfigRecord(4, 1);
    record.Command = "C4xxxxxx"; // the table's word below, filled to the capacity
    commands[4].Command = record.Command;
    QByteArray bytes = EncodeCommandRecord(record);
    bytes[4] = '\xFF';       // Command: 255 > 8
    bytes[515 + 0] = '\x40'; // SenderType: 64 > 50, reads on into its spare bytes
    WriteBytes(Path("c.QCF"), bytes);
    isBound = [](const QString& name, const QString& type, int) -> std::optional<BoundControl> {
        if (name == "SE4" && type.size() == 50)
            return BoundControl{};
        return std::nullopt;
    };
    const auto result = LoadConfigurationFile(controller, Path("c.QCF"), 0, isBound);
    ASSERT_EQ(result.taken, 1);
    EXPECT_EQ(sequence[1].Command, "C4xxxxxx");
    EXPECT_EQ(sequence[1].SenderType.size(), 50);
}

TEST_F(FileLoading, unreadableConfigFile_leavesTheSequenceAsItWas) {
    Entry(1, 50, 1, "M");
    EXPECT_THROW(LoadConfigurationFile(controller, Path("missing.QCF"), 0, isBound), EInOutError);
    EXPECT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 50);
}

TEST_F(FileLoading, sequenceRecords_appendAfterExistingEntries_tableAndControlsKeepWhatTheyShow) {
    Entry(1, 50, 1, "M");
    commands[6].ActualValueFW = 2.5;
    commands[6].ActualValueSW = 25;
    const auto result = LoadSeq({FileEntry(4, 40), FileEntry(6, 60)});
    EXPECT_EQ(result.appended, 2);
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(sequence.Count(), 3);
    EXPECT_EQ(sequence[1].CommandID, 50);
    EXPECT_EQ(sequence[2].CommandID, 4);
    EXPECT_EQ(sequence[3].CommandID, 6);
    EXPECT_EQ(sequence[2].Status, "L");
    EXPECT_EQ(sequence[2].PreviousValueSW, 0);
    EXPECT_EQ(sequence[2].Time, "10.20.30");
    // Loaded, not applied or sent: what "Save Config." writes is what is shown.
    EXPECT_EQ(commands[6].ActualValueSW, 25);
    EXPECT_EQ(commands[6].ActualValueFW, 2.5);
    EXPECT_EQ(sequence.ActivePosition, 1);
}

// Discarding or erasing a loaded entry leaves the command row and the controls
// as they are: they never took the loaded value.
TEST_F(FileLoading, discardingOrErasingSequenceLoadedEntries_writesNothingAndKeepsTheTable) {
    commands[6].ActualValueFW = 2.5;
    commands[6].ActualValueSW = 25;
    LoadSeq({FileEntry(6, 60), FileEntry(4, 40), FileEntry(6, 70)});
    ASSERT_EQ(sequence[1].CommandID, 6);
    ASSERT_EQ(sequence[1].ActualValueSW, 70);
    ASSERT_EQ(commands[6].ActualValueSW, 25);

    view.writes.clear();
    controller.DiscardAll();
    EXPECT_EQ(sequence[1].Status, "D");
    EXPECT_EQ(commands[6].ActualValueSW, 25);
    EXPECT_EQ(commands[6].ActualValueFW, 2.5);
    EXPECT_EQ(commands[4].ActualValueSW, 0);
    EXPECT_TRUE(view.writes.isEmpty());

    // Erasing does the same.
    controller.EraseAll();
    LoadSeq({FileEntry(6, 60)});
    controller.SelectGridRow(1);
    controller.EraseSelected();
    EXPECT_EQ(sequence.Count(), 0);
    EXPECT_EQ(commands[6].ActualValueSW, 25);
    EXPECT_TRUE(view.writes.isEmpty());
}

TEST_F(FileLoading, sequenceRecordOfAListedCommand_asksAndReplacesOnlyOnYes) {
    Entry(1, 8, 1, "M");
    Entry(2, 9, 2, "T");
    const auto result = LoadSeq({FileEntry(8, 80), FileEntry(9, 90)});
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[0].row, 1);
    EXPECT_EQ(questions[0].newValue, 80);
    EXPECT_EQ(questions[0].currentValue, 1);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.keptOnNo, 1);
    EXPECT_EQ(sequence[1].ActualValueSW, 80);
    EXPECT_EQ(sequence[1].PreviousValueSW, 7); // a replacement keeps the file's PREV
    EXPECT_EQ(sequence[1].Status, "L");
    EXPECT_EQ(sequence[2].ActualValueSW, 2);
    EXPECT_EQ(sequence[2].Status, "T");
    // The edit the record replaced went back: its control and row show again
    // what they showed before it (its previous value, 0 here).
    EXPECT_EQ(commands[8].ActualValueSW, 0);
    EXPECT_EQ(commands[9].ActualValueSW, 0);
    EXPECT_EQ(sequence.Count(), 2);
}

TEST_F(FileLoading, sequenceLoadThatDoesNotFit_keepsWhatFitsAndReportsTheRest) {
    for (int i = 1; i <= 198; ++i)
        Entry(i, i, 1, "M");
    const auto result =
        LoadSeq({FileEntry(199, 1), FileEntry(200, 2), FileEntry(150, 3), FileEntry(201, 4)});
    EXPECT_EQ(result.appended, 2);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(sequence.Count(), 200);
    ASSERT_EQ(result.leftOut.size(), 1);
    EXPECT_EQ(result.leftOut[0].reason, LeftOutReason::IdOutOfRange);

    // A configuration may list a command twice and so fill every place.
    QVector<TCommandRecord> twice;
    for (int i = 0; i < SequenceCount; ++i)
        twice.append(ConfigRecord(1 + i % 100, i));
    LoadConfig(twice);
    const auto full = LoadSeq({FileEntry(150, 1)});
    ASSERT_EQ(full.leftOut.size(), 1);
    EXPECT_EQ(full.leftOut[0].reason, LeftOutReason::NoFreePlace);
    EXPECT_EQ(full.leftOut[0].id, 150);
    EXPECT_EQ(full.leftOut[0].recordNumber, 1);
}

TEST_F(FileLoading, failurePartWayThroughASequenceLoad_restoresSequenceAndTable) {
    Entry(1, 9, 1, "M");
    commands[4].ActualValueSW = 44;
    answer = [](const ReplaceQuestion&) -> ReplaceAnswer { throw EInOutError("answer failed"); };
    EXPECT_THROW(LoadSeq({FileEntry(4, 40), FileEntry(9, 90)}), EInOutError);
    EXPECT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 9);
    EXPECT_EQ(sequence[1].ActualValueSW, 1);
    EXPECT_EQ(commands[4].ActualValueSW, 44);

    WriteBytes(Path("torn.QSQ"), EncodeSequenceRecord(FileEntry(5, 1)).left(300));
    EXPECT_THROW(LoadSequenceFile(controller, Path("torn.QSQ"), isBound, answer),
                 ERecordFileRefused);
    EXPECT_EQ(sequence.Count(), 1);
}

TEST_F(FileLoading, sequenceRecordsWithUnboundControlsOrInfiniteValues_areLeftOut) {
    unbound << "SE5";
    TSequenceRecord inf = FileEntry(6, 1);
    inf.PreviousValueFW = std::numeric_limits<double>::infinity();
    TSequenceRecord noControls = FileEntry(7, 1);
    noControls.SenderName1.clear();
    const auto result = LoadSeq({FileEntry(5, 1), inf, noControls});
    ASSERT_EQ(result.leftOut.size(), 2);
    EXPECT_EQ(result.leftOut[0].reason, LeftOutReason::UnknownControl);
    EXPECT_EQ(result.leftOut[1].reason, LeftOutReason::ValueNotNumber);
    EXPECT_EQ(result.appended, 1); // an entry without controls is harmless
    EXPECT_EQ(sequence[1].CommandID, 7);
}

TEST(ReplaceQuestionText, joinsMessagesAndValuesInDisplayFormat) {
    ReplaceQuestion q;
    q.command = "UPCUTTIM";
    q.newValue = 12.5;
    q.currentValue = 40;
    EXPECT_EQ(ComposeReplaceQuestion("Replace ", " with ", " instead of ", "?", q),
              "Replace UPCUTTIM with 12,5 instead of 40?");
}

// ------------------------------------------------------------------ record checks

// What reaches an entry is what the command table names and takes: the
// table's word for the ID, a finite value within the command's limits in both
// units, and one of its control's choices. Nothing is clamped into range.
TEST_F(FileLoading, configRecordsTheCommandDoesNotTake_areLeftOutWithTheirReason) {
    TCommandRecord& limited = commands[1];
    limited.Command = "MINVBATT";
    limited.MinValueSW = limited.MinValueFW = 6;
    limited.MaxValueSW = limited.MaxValueFW = 16;
    // Shown (by a spin edit, in whole numbers) as they are sent.
    limited.FWtoSWFactor = commands[112].FWtoSWFactor = 1;
    commands[112].MinValueSW = commands[112].MinValueFW = 0;
    commands[112].MaxValueSW = commands[112].MaxValueFW = 1;
    commands[112].SenderType = "TRadioGroup";
    radioRows << 112;
    commands[7].Command.clear(); // an ID without a command
    const auto record = [](int id, double sw, double fw, const char* word = nullptr) {
        TCommandRecord r = ConfigRecord(id, sw);
        r.ActualValueFW = fw;
        if (id == 1)
            r.Command = "MINVBATT";
        if (word)
            r.Command = QString::fromUtf8(word);
        if (id == 112)
            r.SenderType = "TRadioGroup";
        return r;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        TCommandRecord record;
        std::optional<LeftOutReason> reason;
    };
    const Case cases[] = {
        {record(1, 12, 12), std::nullopt},
        {record(1, 6, 6), std::nullopt},   // at the lower limit
        {record(1, 16, 16), std::nullopt}, // at the upper limit
        {record(1, 20, 20), LeftOutReason::ValueOutsideLimits},
        {record(1, 5.9, 5.9), LeftOutReason::ValueOutsideLimits},
        {record(1, 12, 20), LeftOutReason::ValueOutsideLimits}, // GCU value outside
        {record(1, 1e308, 1e308), LeftOutReason::ValueOutsideLimits},
        {record(1, nan, 12), LeftOutReason::ValueNotNumber},
        {record(1, 12, -std::numeric_limits<double>::infinity()), LeftOutReason::ValueNotNumber},
        {record(1, 12, 12, "M\u00CFNV\u20AC\u00C4TT"), LeftOutReason::WrongCommandWord},
        {record(1, 12000, 200, "RPMLIMIT"), LeftOutReason::WrongCommandWord},
        {record(1, 12, 12, "minvbatt"), LeftOutReason::WrongCommandWord},
        {record(7, 1, 1, ""), LeftOutReason::NoSuchCommand},
        {record(112, 1, 1), std::nullopt},
        {record(112, -1, -1), LeftOutReason::ValueNotAChoice},
        {record(112, 2, 2), LeftOutReason::ValueNotAChoice},
        {record(112, 0.5, 0.5), LeftOutReason::ValueNotAChoice},
        {record(112, 1e308, 1e308), LeftOutReason::ValueNotAChoice},
        {record(50, 3000, 300), std::nullopt}, // a row without limits takes any number
        {record(50, 1e308, 1e307), LeftOutReason::FormsDisagree}, // but not one no frame holds
        // A GCU value that is not what the display value sends: the grid would
        // show one value while the frame carries another.
        {record(1, 12, 13), LeftOutReason::FormsDisagree},
        {record(50, 300, 31), LeftOutReason::FormsDisagree},
    };
    QVector<TCommandRecord> file;
    for (const Case& c : cases)
        file.append(c.record);
    const auto result = LoadConfig(file);

    int leftOut = 0;
    int place = 1;
    for (int n = 0; n < int(std::size(cases)); ++n) {
        SCOPED_TRACE(n + 1);
        if (cases[n].reason) {
            ASSERT_LT(leftOut, result.leftOut.size());
            EXPECT_EQ(result.leftOut[leftOut].recordNumber, n + 1);
            EXPECT_EQ(result.leftOut[leftOut].reason, *cases[n].reason);
            ++leftOut;
        } else {
            EXPECT_EQ(sequence[place].CommandID, cases[n].record.ID);
            EXPECT_EQ(sequence[place].ActualValueSW, cases[n].record.ActualValueSW);
            ++place;
        }
    }
    EXPECT_EQ(result.leftOut.size(), leftOut);
    EXPECT_EQ(sequence.Count(), place - 1);
    EXPECT_EQ(result.taken, place - 1);
}

TEST_F(FileLoading, sequenceRecordsAreCheckedAsConfigurationRecordsAre) {
    commands[1].Command = "MINVBATT";
    commands[1].MinValueSW = commands[1].MinValueFW = 6;
    commands[1].MaxValueSW = commands[1].MaxValueFW = 16;
    commands[1].FWtoSWFactor = 1; // shown as sent, with one decimal in an edit
    commands[1].SenderType = "TEdit";
    commands[1].DigitsValueSW = 1;
    TSequenceRecord wrongWord = FileEntry(1, 12);
    wrongWord.Command = "RPMLIMIT";
    TSequenceRecord aboveLimit = FileEntry(1, 20);
    aboveLimit.Command = "MINVBATT";
    aboveLimit.ActualValueFW = 20;
    TSequenceRecord fits = aboveLimit;
    fits.ActualValueSW = fits.ActualValueFW = 12.5;
    fits.PreviousValueSW = 0; // a previous value is only ever shown, never sent
    const auto result = LoadSeq({wrongWord, aboveLimit, fits});
    ASSERT_EQ(result.leftOut.size(), 2);
    EXPECT_EQ(result.leftOut[0].reason, LeftOutReason::WrongCommandWord);
    EXPECT_EQ(result.leftOut[0].command, "RPMLIMIT");
    EXPECT_EQ(result.leftOut[1].reason, LeftOutReason::ValueOutsideLimits);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].ActualValueSW, 12.5);
    EXPECT_EQ(commands[1].ActualValueSW, 0); // loaded, not shown until applied or sent
    const QStringList lines = LeftOutRecordLines(result.leftOut);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Record 1 (ID 1, RPMLIMIT): command word differs from the command table's");
}

// Every reason has its line, for a record of a record file and for a line of a
// configuration text, each saying something of its own; a line that names no
// parameter is given by its first word alone.
TEST(LeftOutLines, everyReasonHasALineOfItsOwn_forARecordAndForATextLine) {
    using R = LeftOutReason;
    const R reasons[] = {R::IdOutOfRange,       R::NoSuchCommand,      R::WrongCommandWord,
                         R::ValueNotNumber,     R::ValueOutsideLimits, R::ValueNotAChoice,
                         R::UnknownControl,     R::NoFreePlace,        R::NotAValueLine,
                         R::UnknownCommandWord, R::DuplicateCommand};
    for (const bool textLine : {false, true}) {
        QSet<QString> reasonTexts;
        for (const R reason : reasons) {
            const bool namesNoParameter =
                reason == R::NotAValueLine || reason == R::UnknownCommandWord;
            LeftOutRecord left;
            left.recordNumber = 4;
            left.id = namesNoParameter ? 0 : 12;
            left.command = QStringLiteral("WORD");
            left.reason = reason;
            left.textLine = textLine;
            const QString line = LeftOutRecordLines({left}).value(0);
            SCOPED_TRACE(qPrintable(line));
            const QString start = !textLine          ? QStringLiteral("Record 4 (ID 12, WORD): ")
                                  : namesNoParameter ? QStringLiteral("Line 4 (WORD): ")
                                                     : QStringLiteral("Line 4 (ID 12, WORD): ");
            // (A record never has the reasons of text lines alone.)
            const bool textLineReason = namesNoParameter || reason == R::DuplicateCommand;
            if (textLine || !textLineReason) {
                EXPECT_TRUE(line.startsWith(start));
            }
            const QString why = line.section(QStringLiteral("): "), 1);
            EXPECT_FALSE(why.isEmpty());
            EXPECT_FALSE(why.contains(u'%'));
            EXPECT_FALSE(reasonTexts.contains(why)) << "said of another reason too";
            reasonTexts.insert(why);
        }
    }
}

// ------------------------------------------------------------------ replace answers

class ManyRepeats : public FileLoading {
  protected:
    // Four commands, each repeated: the first four records are appended, every
    // later one asks to replace an entry of the same command.
    QVector<TSequenceRecord> RepeatingFile(int records) const {
        QVector<TSequenceRecord> file;
        for (int n = 0; n < records; ++n)
            file.append(FileEntry(11 + n % 4, n));
        return file;
    }
    void AnswerInTurn(QVector<ReplaceAnswer> answers) {
        answer = [this, answers](const ReplaceQuestion& q) {
            questions.append(q);
            return answers.value(questions.size() - 1, ReplaceAnswer::Yes);
        };
    }
};

TEST_F(ManyRepeats, yesToAll_replacesThisAndEveryLaterEntryWithoutAsking) {
    AnswerInTurn({ReplaceAnswer::No, ReplaceAnswer::YesToAll, ReplaceAnswer::No});
    const auto result = LoadSeq(RepeatingFile(600));
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(result.questionsAsked, 2);
    EXPECT_EQ(result.appended, 4);
    EXPECT_EQ(result.keptOnNo, 1);
    EXPECT_EQ(result.replaced, 595);
    ASSERT_EQ(sequence.Count(), 4);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(sequence[i].ActualValueSW, 595 + i); // the file's last record of each
        EXPECT_EQ(commands[10 + i].ActualValueSW, 0);  // loaded: not shown until applied
    }
}

TEST_F(ManyRepeats, noToAll_keepsThisAndEveryLaterEntryWithoutAsking) {
    AnswerInTurn({ReplaceAnswer::Yes, ReplaceAnswer::NoToAll, ReplaceAnswer::Yes});
    const auto result = LoadSeq(RepeatingFile(600));
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.keptOnNo, 595);
    ASSERT_EQ(sequence.Count(), 4);
    EXPECT_EQ(sequence[1].ActualValueSW, 4); // the one Yes
    EXPECT_EQ(sequence[2].ActualValueSW, 1);
    EXPECT_EQ(commands[11].ActualValueSW, 0);
    EXPECT_EQ(commands[12].ActualValueSW, 0);
}

TEST_F(ManyRepeats, cancel_loadsNothing_sequenceAndTableAsBefore) {
    Entry(1, 50, 5, "M");
    commands[11].ActualValueSW = 33;
    AnswerInTurn({ReplaceAnswer::Yes, ReplaceAnswer::Yes, ReplaceAnswer::Cancel});
    const auto result = LoadSeq(RepeatingFile(600));
    EXPECT_EQ(questions.size(), 3);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.appended + result.replaced + result.keptOnNo, 0);
    ASSERT_EQ(sequence.Count(), 1);
    EXPECT_EQ(sequence[1].CommandID, 50);
    EXPECT_EQ(sequence[1].ActualValueSW, 5);
    EXPECT_EQ(commands[11].ActualValueSW, 33);
    EXPECT_EQ(commands[12].ActualValueSW, 0);
    EXPECT_EQ(view.grid.Cell(0, 2), ""); // the grid shows the sequence as it is
}
