// Configuration and sequence files in the window: the four buttons with their
// questions, file dialogs and reports; what is written and what a load makes of
// the change sequence, its grid and the controls; crafted files whose records
// are left out, and files that cannot be read.
#include "model/ConfigText.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/SequenceLoading.h"
#include "ui/test_ui_editing_window.h"
#include "util/UnitUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>

namespace {

const char* const UpPower = "SEUpShiftActuationMainLoadActuationPower";     // command 11, page 2
const char* const DownPower = "SEDownShiftActuationMainLoadActuationPower"; // command 8, page 3
const char* const TempLimit = "SEFunctionStrategiesActuatorTempLimit";      // command 2, page 1
constexpr int RgbBrightness = 142; // PCB 43, 50, 60 only; a spin edit
constexpr int CanRpmInput = 165;   // PCB 60 only; a check box
constexpr int ExtraInput = 112;    // every PCB but 3X; a radio group
constexpr int TpsIdle = 107;       // shown, but not written to configuration files
const char* const ConfigurationFilter =
    "Quarventa Configuration File|*.QCF|Quarventa Configuration Text|*.qvt";
const char* const ConfigurationOpenFilter = "Quarventa Configuration|*.QCF;*.qvt|Quarventa "
                                            "Configuration File|*.QCF|Quarventa Configuration "
                                            "Text|*.qvt";

// Command Id's row as a configuration record holding Value (in both units:
// the commands used have a factor of 1).
TCommandRecord ConfigRecordOf(const TFormMain& form, int id, double value) {
    TCommandRecord record = form.Commands[id];
    record.ActualValueSW = value;
    record.ActualValueFW = value;
    return record;
}

// A pending change of command Id to Value, with its controls from the binding.
TSequenceRecord SequenceRecordOf(const TFormMain& form, int id, double value) {
    const TCommandRecord& row = form.Commands[id];
    TSequenceRecord record;
    record.CommandID = id;
    record.Command = row.Command;
    record.Description = row.Description;
    record.PreviousValueSW = 1;
    record.ActualValueSW = value;
    record.ActualValueFW = value;
    record.Time = "01.02.03";
    record.Status = "M";
    record.SenderType = row.SenderType;
    record.SenderName1 = row.SenderName1;
    record.SenderName2 = row.SenderName2;
    record.ActivePageIndex1 = row.ActivePageIndex1;
    record.ActivePageIndex2 = row.ActivePageIndex2;
    return record;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Answers through the scripted dialogs and keeps every file dialog's request.
class RecordingDialogs : public IDialogs {
  public:
    explicit RecordingDialogs(ScriptedDialogs& inner) : inner_(inner) {}
    std::vector<FileDialogRequest> fileRequests;

    TModalResult MessageDlg(const QString& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override {
        return inner_.MessageDlg(text, type, buttons);
    }
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override {
        return inner_.InputQuery(caption, prompt, value);
    }
    bool OpenFileDialog(FileDialogRequest& request) override {
        fileRequests.push_back(request);
        return inner_.OpenFileDialog(request);
    }
    bool SaveFileDialog(FileDialogRequest& request) override {
        fileRequests.push_back(request);
        return inner_.SaveFileDialog(request);
    }

  private:
    ScriptedDialogs& inner_;
};

class FilesWindow : public EditingWindow {
  protected:
    void SetUp() override {
        EditingWindow::SetUp();
        SetDialogs(&recorder);
    }
    void TearDown() override {
        SetDialogs(&dialogs);
        EditingWindow::TearDown();
    }

    QString FilePath(const char* name) const { return files.filePath(QString::fromLatin1(name)); }
    void SetPcbVersion(int version) {
        form->PCBVersionGLOB = version;
        form->EnableControls();
    }
    bool Shown(int message, const QString& followedBy = QString()) const {
        return Messages().contains(form->TranslateString(message) + followedBy);
    }
    QVector<int> IdsIn(const QVector<TCommandRecord>& records) const {
        QVector<int> ids;
        for (const auto& r : records)
            ids << r.ID;
        return ids;
    }
    TCommandRecord ConfigRecord(int id, double value) const {
        return ConfigRecordOf(*form, id, value);
    }
    TSequenceRecord SequenceRecord(int id, double value) const {
        return SequenceRecordOf(*form, id, value);
    }
    int CurrentPage() const { return form->Control<TPageControl>("PCMain").currentIndex(); }

    QTemporaryDir files;
    RecordingDialogs recorder{dialogs};
};

} // namespace

// ------------------------------------------------------------------ configuration files

TEST_F(FilesWindow, saveConfig_writesShownWritableRowsOfThePcbVersion_inCfgWithItsFilter) {
    SetPcbVersion(40);
    Spin(UpPower).SetValue(80);            // the table takes the edited value
    form->Commands[3].SenderName1.clear(); // as if no control showed it
    dialogs.fileAnswers = {FilePath("bike.QCF")};
    Button("BSaveConfig").click();

    ASSERT_EQ(recorder.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.asked.front().kind, "save");
    EXPECT_EQ(recorder.fileRequests[0].initialDir, CfgFolder() + "/");
    EXPECT_EQ(recorder.fileRequests[0].filter, ConfigurationFilter);
    EXPECT_EQ(recorder.fileRequests[0].defaultExt, "QCF");
    EXPECT_EQ(Messages(), QStringList{form->TranslateString(3) + "bike.QCF"});

    const auto saved = ReadConfigFile(FilePath("bike.QCF"));
    EXPECT_EQ(saved.trailingBytes, 0);
    EXPECT_EQ(QFileInfo(FilePath("bike.QCF")).size(), saved.records.size() * CommandRecordSize);
    const QVector<int> ids = IdsIn(saved.records);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_TRUE(ids.contains(8));
    EXPECT_TRUE(ids.contains(ExtraInput));
    EXPECT_FALSE(ids.contains(3));             // not shown
    EXPECT_FALSE(ids.contains(TpsIdle));       // not writable
    EXPECT_FALSE(ids.contains(RgbBrightness)); // not on PCB 40
    EXPECT_FALSE(ids.contains(CanRpmInput));
    const auto up = std::find_if(saved.records.begin(), saved.records.end(),
                                 [](const auto& r) { return r.ID == 11; });
    ASSERT_NE(up, saved.records.end());
    EXPECT_EQ(up->ActualValueSW, 80);
    EXPECT_EQ(up->SenderName1, UpPower);

    SetPcbVersion(60);
    dialogs.fileAnswers = {FilePath("kart.QCF")};
    Button("BSaveConfig").click();
    const QVector<int> kart = IdsIn(ReadConfigFile(FilePath("kart.QCF")).records);
    EXPECT_TRUE(kart.contains(RgbBrightness));
    EXPECT_TRUE(kart.contains(CanRpmInput));
}

TEST_F(FilesWindow, saveConfig_withoutPcbVersion_disabled_pressedAnywayAsksAndWritesAllVersions) {
    ASSERT_EQ(form->PCBVersionGLOB, 0);
    form->EnableControls();
    EXPECT_FALSE(Button("BSaveConfig").isEnabled());
    Button("BSaveConfig").Click();
    EXPECT_TRUE(dialogs.asked.empty());

    Button("BSaveConfig").setEnabled(true); // a state not yet brought up to date
    dialogs.messageAnswers = {mrNo};
    Button("BSaveConfig").Click();
    EXPECT_EQ(Messages(), QStringList{form->TranslateString(25)});
    EXPECT_EQ(dialogs.asked.back().type, TMsgDlgType::mtWarning);
    EXPECT_TRUE(recorder.fileRequests.empty());

    dialogs.messageAnswers = {mrYes};
    dialogs.fileAnswers = {""}; // cancelled: nothing written, nothing said
    Button("BSaveConfig").Click();
    EXPECT_EQ(recorder.fileRequests.size(), 1u);
    EXPECT_FALSE(Shown(3, "any.QCF"));

    dialogs.messageAnswers = {mrYes};
    dialogs.fileAnswers = {FilePath("any.QCF")};
    Button("BSaveConfig").Click();
    EXPECT_TRUE(Shown(3, "any.QCF"));
    const QVector<int> ids = IdsIn(ReadConfigFile(FilePath("any.QCF")).records);
    EXPECT_TRUE(ids.contains(RgbBrightness));
    EXPECT_TRUE(ids.contains(CanRpmInput));
    EXPECT_TRUE(ids.contains(ExtraInput));
}

TEST_F(FilesWindow, loadConfig_overPendingChanges_asksFirst_thenOnlyLoadedEntriesWithoutPrevious) {
    SetPcbVersion(40);
    Spin(UpPower).SetValue(80);
    dialogs.fileAnswers = {FilePath("saved.QCF")};
    Button("BSaveConfig").click();
    const int records = ReadConfigFile(FilePath("saved.QCF")).records.size();
    Spin(DownPower).SetValue(70); // entry 1 now; not a file value
    dialogs.asked.clear();
    recorder.fileRequests.clear();

    dialogs.messageAnswers = {mrNo};
    Button("BLoadConfig").click();
    EXPECT_EQ(Messages(), QStringList{form->TranslateString(1)});
    EXPECT_EQ(dialogs.asked.back().type, TMsgDlgType::mtConfirmation);
    EXPECT_TRUE(recorder.fileRequests.empty());
    EXPECT_EQ(EntryCount(), 2);

    dialogs.messageAnswers = {mrYes};
    dialogs.fileAnswers = {FilePath("saved.QCF")};
    Button("BLoadConfig").click();
    ASSERT_EQ(recorder.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.asked.back().kind, "message");
    EXPECT_EQ(recorder.fileRequests[0].filter, ConfigurationOpenFilter);
    EXPECT_EQ(recorder.fileRequests[0].initialDir, CfgFolder() + "/");
    EXPECT_TRUE(Reported(2, "saved.QCF"));
    // One report: the file, how many of its records were loaded, nothing left out.
    EXPECT_TRUE(ShownStartingWith(2).contains(
        form->TranslateString(Msg::FileLoadCounts).arg(records).arg(records)));
    EXPECT_TRUE(LeftOutReport().isEmpty());

    ASSERT_EQ(EntryCount(), records);
    for (int i = 1; i <= records; ++i) {
        EXPECT_EQ(Entry(i).Status, "L") << i;
        EXPECT_EQ(Entry(i).PreviousValueSW, 0) << i;
        EXPECT_EQ(Entry(i).PreviousValueFW, 0) << i;
    }
    ASSERT_NE(EntryOf(11), nullptr);
    EXPECT_EQ(EntryOf(11)->ActualValueSW, 80);
    EXPECT_EQ(EntryOf(8)->ActualValueSW, 100); // the saved value, not the later edit
    // The replaced edit is reverted, as "Erase All" would; the loaded values
    // wait for "Apply Config.".
    EXPECT_EQ(Spin(DownPower).Value(), 100);
    EXPECT_EQ(form->Commands[8].ActualValueSW, 100);
    EXPECT_EQ(ColorOf(DownPower), GetStatusColor("L", false));
    // Entry 1 is the active one and its page is shown.
    EXPECT_EQ(form->SequenceActivePositionGLOB, 1);
    EXPECT_EQ(Grid().Row(), 1);
    EXPECT_EQ(CurrentPage(), Entry(1).ActivePageIndex1 - 1);
    EXPECT_EQ(ColorOf(Entry(1).SenderName1.toLatin1().constData()), GetStatusColor("L", true));
    EXPECT_EQ(Grid().Cells(5, 1), "L");
    EXPECT_EQ(Grid().Cells(2, 1),
              RealToStrDec(0, form->Commands[Entry(1).CommandID].DigitsValueSW));
    EXPECT_TRUE(Button("BApplyConfig").isEnabled());
}

TEST_F(FilesWindow, loadConfig_craftedRecords_leftOutAndCounted_othersLoadInFileOrder) {
    SetPcbVersion(40);
    TCommandRecord unknownControl = ConfigRecord(11, 1);
    unknownControl.SenderName1 = "SENoSuchControl";
    TCommandRecord wrongKind = ConfigRecord(11, 2);
    wrongKind.SenderType = "TEdit";
    TCommandRecord otherCommandsControl = ConfigRecord(8, 3);
    otherCommandsControl.SenderName1 = UpPower;
    TCommandRecord idTooLarge = ConfigRecord(11, 4);
    idTooLarge.ID = 201;
    TCommandRecord idZero = ConfigRecord(11, 5);
    idZero.ID = 0;
    QByteArray bytes = EncodeCommandRecord(ConfigRecord(2, 70));
    for (const TCommandRecord& r : {unknownControl, wrongKind, otherCommandsControl, idTooLarge,
                                    idZero, ConfigRecord(RgbBrightness, 50)})
        bytes += EncodeCommandRecord(r);
    QByteArray longDescription = EncodeCommandRecord(ConfigRecord(8, 60));
    longDescription[13] = char(255); // the description's length byte, capacity 100
    QByteArray longControlName = EncodeCommandRecord(ConfigRecord(11, 6));
    longControlName[566] = char(255); // the first control name's length byte
    bytes += longDescription + longControlName;
    WriteBytes(FilePath("crafted.QCF"), bytes);

    dialogs.fileAnswers = {FilePath("crafted.QCF")};
    Button("BLoadConfig").click();

    ASSERT_EQ(EntryCount(), 2);
    EXPECT_EQ(Entry(1).CommandID, 2);
    EXPECT_EQ(Entry(1).ActualValueSW, 70);
    EXPECT_EQ(Entry(2).CommandID, 8);
    EXPECT_EQ(Entry(2).Description.size(), 100);
    EXPECT_TRUE(Entry(2).Description.startsWith(form->Commands[8].Description));
    // Six left out; the brightness, absent on PCB 40, is skipped without notice.
    // One report: the file, what was loaded, then what was left out and why.
    const QString report = LeftOutReport();
    EXPECT_TRUE(report.startsWith(form->TranslateString(32) + "6\n")) << report.toStdString();
    EXPECT_EQ(report.count("Record "), 6);
    EXPECT_EQ(dialogs.asked.back().type, TMsgDlgType::mtWarning);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(form->TranslateString(2) + "crafted.QCF"));
}

TEST_F(FilesWindow, loadConfig_moreRecordsThanPlaces_keeps200AndCountsTheRest) {
    SetPcbVersion(40);
    QByteArray bytes;
    const auto value = [](int record) { return 10 + record % 90; }; // limits 10 to 100
    for (int i = 0; i < 205; ++i)
        bytes += EncodeCommandRecord(ConfigRecord(11, value(i)));
    WriteBytes(FilePath("long.QCF"), bytes);
    dialogs.fileAnswers = {FilePath("long.QCF")};
    Button("BLoadConfig").click();
    EXPECT_EQ(EntryCount(), SequenceCount);
    EXPECT_EQ(Entry(SequenceCount).ActualValueSW, value(199));
    EXPECT_TRUE(LeftOutReport().startsWith(form->TranslateString(32) + "5\n"));
}

// The text form holds what the record file holds: loaded, both give the same
// "L" entries; a line typed wrong is reported by its line.
TEST_F(FilesWindow, configText_savedAndLoaded_givesTheLoadedEntriesOfTheRecordFile) {
    SetPcbVersion(43);
    Spin(UpPower).SetValue(80);
    Spin(TempLimit).SetValue(95);
    for (const char* name : {"bike.QCF", "bike.qvt"}) {
        dialogs.fileAnswers = {FilePath(name)};
        Button("BSaveConfig").click();
        EXPECT_TRUE(Shown(3, name));
    }
    QFile text(FilePath("bike.qvt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(written.startsWith("# ")) << qPrintable(written.left(200));
    EXPECT_TRUE(written.contains("\nUPACTPWR = 80 ")) << qPrintable(written);

    const auto loaded = [this](const char* name) {
        dialogs.messageAnswers = {mrYes}; // the sequence is not empty
        dialogs.fileAnswers = {FilePath(name)};
        Button("BLoadConfig").click();
        EXPECT_TRUE(Reported(2, name));
        QStringList entries;
        for (int i = 1; i <= EntryCount(); ++i) {
            const TSequenceRecord& e = Entry(i);
            const TCommandRecord& row = form->Commands[e.CommandID];
            entries << QStringList{QString::number(e.CommandID),
                                   e.Command,
                                   e.Description,
                                   QString::number(
                                       *FirmwareValueUnits(e.ActualValueFW, row.DigitsValueFW)),
                                   RealToStrDec(e.ActualValueSW, row.DigitsValueSW),
                                   e.SenderType,
                                   e.SenderName1,
                                   e.SenderName2,
                                   QString::number(e.ActivePageIndex1),
                                   QString::number(e.ActivePageIndex2),
                                   e.Status,
                                   QString::number(e.PreviousValueSW)}
                           .join(u'|');
        }
        return entries;
    };
    const QStringList fromRecords = loaded("bike.QCF");
    ASSERT_GT(fromRecords.size(), 100);
    EXPECT_EQ(loaded("bike.qvt"), fromRecords);
    EXPECT_TRUE(LeftOutReport().isEmpty());

    QFile patch(FilePath("patch.qvt"));
    ASSERT_TRUE(patch.open(QIODevice::WriteOnly));
    patch.write("# two changes\nUPACTPWR = 55\nUPACTPWR = 65\n");
    patch.close();
    dialogs.messageAnswers = {mrYes};
    dialogs.fileAnswers = {FilePath("patch.qvt")};
    Button("BLoadConfig").click();
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).ActualValueSW, 55);
    const QString report = LeftOutReport();
    EXPECT_TRUE(report.startsWith(form->TranslateString(32) + "1\n")) << qPrintable(report);
    EXPECT_TRUE(report.contains("Line 3 (ID 11, UPACTPWR): ")) << qPrintable(report);
}

// ------------------------------------------------------------------ sequence files

TEST_F(FilesWindow, saveSequence_writesModifiedAndTransmittedEntries_notDiscarded) {
    EXPECT_FALSE(Button("BSequenceSave").isEnabled());
    Button("BSequenceSave").Click(); // nothing pending: nothing asked
    EXPECT_TRUE(dialogs.asked.empty());

    Spin(TempLimit).SetValue(70); // 2, becomes "T"
    Spin(DownPower).SetValue(60); // 8, becomes "D"
    Spin(UpPower).SetValue(90);   // 11, stays "M"
    form->Sequence[3].Status = "T";
    Grid().SetRow(2);
    Button("BSequenceDiscard").click();
    ASSERT_EQ(Entry(2).Status, "D");
    form->EnableControls();

    dialogs.fileAnswers = {FilePath("changes.QSQ")};
    Button("BSequenceSave").click();
    ASSERT_EQ(recorder.fileRequests.size(), 1u);
    EXPECT_EQ(recorder.fileRequests[0].filter, "Quarventa Sequence File|*.QSQ");
    EXPECT_EQ(recorder.fileRequests[0].defaultExt, "QSQ");
    EXPECT_EQ(recorder.fileRequests[0].initialDir, CfgFolder() + "/");
    EXPECT_EQ(Messages(), QStringList{form->TranslateString(6) + "changes.QSQ"});
    EXPECT_EQ(QFileInfo(FilePath("changes.QSQ")).size(), 2 * SequenceRecordSize);
    const auto saved = ReadSequenceFile(FilePath("changes.QSQ")).records;
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].CommandID, 11);
    EXPECT_EQ(saved[0].Status, "M");
    EXPECT_EQ(saved[0].ActualValueSW, 90);
    EXPECT_EQ(saved[1].CommandID, 2);
    EXPECT_EQ(saved[1].Status, "T");
}

TEST_F(FilesWindow, loadSequence_asksBeforeEachReplacement_yesReplacesNoKeeps_restAppended) {
    Spin(DownPower).SetValue(70); // 8
    Spin(UpPower).SetValue(80);   // 11, entry 1
    WriteSequenceFile(FilePath("more.QSQ"),
                      {SequenceRecord(11, 90), SequenceRecord(8, 60), SequenceRecord(2, 75)});

    dialogs.messageAnswers = {mrNo};
    Button("BSequenceLoad").click();
    EXPECT_EQ(Messages(), QStringList{form->TranslateString(7)});
    EXPECT_TRUE(recorder.fileRequests.empty());

    dialogs.asked.clear();
    dialogs.messageAnswers = {mrYes, mrYes, mrNo};
    dialogs.fileAnswers = {FilePath("more.QSQ")};
    Button("BSequenceLoad").click();
    ASSERT_EQ(recorder.fileRequests.size(), 1u);
    EXPECT_EQ(recorder.fileRequests[0].filter, "Quarventa Sequence File|*.QSQ");

    const QString replaceUp = form->TranslateString(8) + "UPACTPWR" + form->TranslateString(9) +
                              "90" + form->TranslateString(10) + "80" + form->TranslateString(11);
    const QStringList messages = Messages();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[1], replaceUp);
    EXPECT_TRUE(messages[2].startsWith(form->TranslateString(8) + "DNACTPWR"));
    EXPECT_TRUE(messages[3].startsWith(form->TranslateString(12) + "more.QSQ"));

    ASSERT_EQ(EntryCount(), 3);
    EXPECT_EQ(Entry(1).CommandID, 11); // replaced in its place
    EXPECT_EQ(Entry(1).Status, "L");
    EXPECT_EQ(Entry(1).ActualValueSW, 90);
    EXPECT_EQ(Entry(1).PreviousValueSW, 1); // a replacement keeps the file's previous value
    // The edit it replaced went back: control and row show what they showed
    // before it, until the loaded value is applied or sent.
    EXPECT_EQ(form->Commands[11].ActualValueSW, 100);
    EXPECT_EQ(Spin(UpPower).Value(), 100);
    EXPECT_EQ(Entry(2).CommandID, 8); // kept on No
    EXPECT_EQ(Entry(2).Status, "M");
    EXPECT_EQ(Entry(2).ActualValueSW, 70);
    EXPECT_EQ(form->Commands[8].ActualValueSW, 70);
    EXPECT_EQ(Entry(3).CommandID, 2); // appended
    EXPECT_EQ(Entry(3).Status, "L");
    EXPECT_EQ(Entry(3).PreviousValueSW, 0);
    EXPECT_EQ(form->Commands[2].ActualValueSW, 100); // loaded, not yet shown
    EXPECT_EQ(Grid().Cells(3, 3), RealToStrDec(75, form->Commands[2].DigitsValueSW));
    EXPECT_EQ(form->SequenceActivePositionGLOB, 1);
    EXPECT_EQ(CurrentPage(), Entry(1).ActivePageIndex1 - 1);
    EXPECT_EQ(ColorOf(UpPower), GetStatusColor("L", true));
    EXPECT_EQ(ColorOf(TempLimit), GetStatusColor("L", false));
}

TEST_F(FilesWindow, loadSequence_craftedRecordsAndNoFreePlace_leftOutAndCounted) {
    TSequenceRecord wrongKind = SequenceRecord(11, 1);
    wrongKind.SenderType = "TCheckBox";
    TSequenceRecord unknownControl = SequenceRecord(8, 2);
    unknownControl.SenderName1 = "SENoSuchControl";
    TSequenceRecord negativeId = SequenceRecord(11, 3);
    negativeId.CommandID = -5;
    TSequenceRecord idTooLarge = SequenceRecord(11, 4);
    idTooLarge.CommandID = 201;
    QByteArray bytes;
    for (const auto& r : {wrongKind, unknownControl, negativeId, idTooLarge, SequenceRecord(2, 75)})
        bytes += EncodeSequenceRecord(r);
    QByteArray longName = EncodeSequenceRecord(SequenceRecord(11, 5));
    longName[214] = char(200); // the first control name's length byte, capacity 100
    bytes += longName;
    WriteBytes(FilePath("crafted.QSQ"), bytes);

    dialogs.fileAnswers = {FilePath("crafted.QSQ")};
    Button("BSequenceLoad").click();
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 2);
    EXPECT_TRUE(Reported(12, "crafted.QSQ"));
    EXPECT_TRUE(LeftOutReport().startsWith(form->TranslateString(32) + "5\n"));

    // 199 entries: one record still fits, the next does not.
    for (int i = 2; i <= 199; ++i) {
        form->Sequence[i] = Entry(1);
        form->Sequence[i].CommandID = 1;
        form->Sequence[i].SenderName1.clear();
    }
    WriteSequenceFile(FilePath("two.QSQ"), {SequenceRecord(11, 80), SequenceRecord(8, 60)});
    dialogs.asked.clear();
    dialogs.messageAnswers = {mrYes};
    dialogs.fileAnswers = {FilePath("two.QSQ")};
    Button("BSequenceLoad").click();
    EXPECT_EQ(EntryCount(), SequenceCount);
    EXPECT_EQ(Entry(SequenceCount).CommandID, 11);
    EXPECT_TRUE(LeftOutReport().startsWith(form->TranslateString(32) + "1\n"));
}

TEST_F(FilesWindow, unreadableFile_reportsWhy_sequenceAndTableStayAsTheyWere) {
    SetPcbVersion(40);
    Spin(UpPower).SetValue(80);
    ASSERT_TRUE(QDir(files.path()).mkdir("folder.QCF"));
    ASSERT_TRUE(QDir(files.path()).mkdir("folder.QSQ"));
    const TSequenceRecord before = Entry(1);

    struct Attempt {
        const char* button;
        const char* file;
        int successMessage;
    };
    for (const Attempt& attempt :
         {Attempt{"BLoadConfig", "folder.QCF", 2}, Attempt{"BLoadConfig", "missing.QCF", 2},
          Attempt{"BSequenceLoad", "folder.QSQ", 12},
          Attempt{"BSequenceLoad", "missing.QSQ", 12}}) {
        SCOPED_TRACE(attempt.file);
        dialogs.asked.clear();
        dialogs.messageAnswers = {mrYes};
        dialogs.fileAnswers = {FilePath(attempt.file)};
        Button(attempt.button).click();
        const QString report = ShownStartingWith(33);
        EXPECT_GT(report.size(), form->TranslateString(33).size()); // the reason follows
        EXPECT_TRUE(report.contains(attempt.file)) << report.toStdString();
        EXPECT_TRUE(ShownStartingWith(attempt.successMessage).isEmpty());
        ASSERT_EQ(EntryCount(), 1);
        EXPECT_EQ(Entry(1).Status, "M");
        EXPECT_EQ(Entry(1).ActualValueSW, before.ActualValueSW);
        EXPECT_EQ(form->Commands[11].ActualValueSW, 80);
        EXPECT_EQ(Grid().Cells(1, 1), "UPACTPWR");
    }
}

// ------------------------------------------------------------------ records the table does not
// take

// Entries are made only of records whose command word is the table's word for
// their ID and whose values the command and its control take; with a real GCU
// behind the window, nothing else reaches the wire.
class FilesWithGcu : public qvtest::WindowWithGcu {
  protected:
    QString FilePath(const char* name) const { return files.filePath(QString::fromLatin1(name)); }
    // "Transmit All"; the frames the GCU received meanwhile, up to the store.
    QList<QByteArray> TransmitAll() {
        const int before = gcu->FramesReceived();
        EXPECT_TRUE(Button("BSequenceTransmitAll").isEnabled());
        Button("BSequenceTransmitAll").click();
        const auto frames = [&] {
            QList<QByteArray> sent = FramesSince(before);
            for (QByteArray& frame : sent)
                frame = frame.trimmed();
            return sent;
        };
        EXPECT_TRUE(qvtest::WaitFor([&] { return frames().contains("[SAVEPRMT 0]"); }));
        return frames();
    }
    QTemporaryDir files;
};

TEST_F(FilesWithGcu, sequenceRecordsWithAnotherCommandWord_areLeftOutAndNeverSent) {
    ConnectAndRead();
    const std::optional<double> batteryInGcu = gcu->ParameterById(1);
    const std::optional<double> limiterInGcu = gcu->ParameterById(98);
    TSequenceRecord garbled = SequenceRecordOf(*form, 1, 12.3);
    garbled.Command = QString::fromUtf8("M\u00CFNV\u20AC\u00C4TT");
    TSequenceRecord limiterWord = SequenceRecordOf(*form, 1, 12.3); // ID 1 is the battery
    limiterWord.Command = "RPMLIMIT";
    WriteSequenceFile(FilePath("words.QSQ"),
                      {garbled, limiterWord, SequenceRecordOf(*form, 11, 80)});
    dialogs.asked.clear();
    dialogs.fileAnswers = {FilePath("words.QSQ")};
    Button("BSequenceLoad").click();

    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 11);
    EXPECT_TRUE(
        Messages().value(0).startsWith(form->TranslateString(Msg::SequenceLoaded) + "words.QSQ"));
    const QString report = LeftOutReport();
    EXPECT_TRUE(report.startsWith(form->TranslateString(Msg::RecordsLeftOut) + "2\n"))
        << report.toStdString();
    EXPECT_TRUE(report.contains(garbled.Command));
    EXPECT_TRUE(report.contains("RPMLIMIT"));

    EXPECT_EQ(TransmitAll(), (QList<QByteArray>{"[UPACTPWR 80]", "[SAVEPRMT 0]", "[INVPARAM 1]"}));
    EXPECT_EQ(gcu->ParameterById(1), batteryInGcu);
    EXPECT_EQ(gcu->ParameterById(98), limiterInGcu);
    EXPECT_EQ(gcu->ParameterById(11), 80);
}

TEST_F(FilesWithGcu, configValuesOutsideLimitsNotNumbersOrNotAChoice_areLeftOutAndNeverSent) {
    ConnectAndRead();
    constexpr int Battery = 1, TempLimit = 2, ExtraInput = 112, Gear1Primary = 129;
    const QString ratioSpin = form->Commands[Gear1Primary].SenderName1;
    ASSERT_EQ(form->Commands[ExtraInput].SenderType, "TRadioGroup");
    const int gear1Shown = Spin(ratioSpin.toLatin1().constData()).Value();
    const QByteArray bytes =
        EncodeCommandRecord(ConfigRecordOf(*form, Battery, 20)) + // limits 6 to 16
        EncodeCommandRecord(ConfigRecordOf(*form, Gear1Primary, 1e308)) +
        EncodeCommandRecord(
            ConfigRecordOf(*form, TempLimit, std::numeric_limits<double>::quiet_NaN())) +
        EncodeCommandRecord(ConfigRecordOf(*form, ExtraInput, -1)) + // items 0 and 1
        EncodeCommandRecord(ConfigRecordOf(*form, 11, 80));
    WriteBytes(FilePath("wild.QCF"), bytes);
    dialogs.asked.clear();
    dialogs.fileAnswers = {FilePath("wild.QCF")};
    Button("BLoadConfig").click();

    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 11);
    EXPECT_TRUE(LeftOutReport().startsWith(form->TranslateString(Msg::RecordsLeftOut) + "4\n"));
    // Applied, the good value is an edit; the ratios still compute.
    Button("BApplyConfig").click();
    EXPECT_EQ(Entry(1).Status, "M");
    EXPECT_EQ(Spin(ratioSpin.toLatin1().constData()).Value(), gear1Shown);
    const int messagesBefore = MessagesAsked();
    Spin("SERatiosRpm2P").SetValue(Spin("SERatiosRpm2P").Value() + 1);
    EXPECT_EQ(MessagesAsked(), messagesBefore);

    const QList<QByteArray> frames = TransmitAll();
    EXPECT_TRUE(frames.contains("[UPACTPWR 80]"));
    for (const char* word : {"MINVBATT", "GEAR1PRI", "ACTTLIMT", "EXTRAINP"})
        for (const QByteArray& frame : frames)
            EXPECT_FALSE(frame.contains(word)) << frame.toStdString();
    for (const QByteArray& frame : frames)
        EXPECT_LT(frame.size(), 24) << frame.toStdString();
}

// "Apply Config." checks the loaded entries again: the command table may have
// been loaded anew since the file was.
TEST_F(FilesWindow, applyConfig_entryTheTableNoLongerTakes_isDiscardedReportedAndNotApplied) {
    SetPcbVersion(40);
    WriteConfigFile(FilePath("two.QCF"), {ConfigRecord(1, 15), ConfigRecord(11, 80)});
    dialogs.fileAnswers = {FilePath("two.QCF")};
    Button("BLoadConfig").click();
    ASSERT_EQ(EntryCount(), 2);
    const QString batteryEdit = form->Commands[1].SenderName1;
    const QString shownBefore = Edit(batteryEdit.toLatin1().constData()).Text();
    form->Commands[1].MaxValueSW = form->Commands[1].MaxValueFW = 14;
    dialogs.asked.clear();

    Button("BApplyConfig").click();
    ASSERT_NE(EntryOf(1), nullptr);
    ASSERT_NE(EntryOf(11), nullptr);
    EXPECT_EQ(EntryOf(1)->Status, "D");
    EXPECT_EQ(EntryOf(11)->Status, "M");
    EXPECT_EQ(Spin(UpPower).Value(), 80);
    EXPECT_EQ(Edit(batteryEdit.toLatin1().constData()).Text(), shownBefore);
    const QString report = ShownStartingWith(Msg::RecordsLeftOut);
    EXPECT_TRUE(report.startsWith(form->TranslateString(Msg::RecordsLeftOut) + "1\n"));
    EXPECT_TRUE(report.contains("MINVBATT"));
    EXPECT_FALSE(Button("BApplyConfig").isEnabled());
}

// ------------------------------------------------------------------ nothing reported as loaded
// that was not

TEST_F(FilesWindow, emptyOrTruncatedFiles_sayWhatIsWrong_andChangeNothing) {
    SetPcbVersion(40);
    Spin(UpPower).SetValue(80);
    WriteBytes(FilePath("empty.QCF"), {});
    WriteBytes(FilePath("empty.QSQ"), {});
    WriteBytes(FilePath("torn.QCF"), EncodeCommandRecord(ConfigRecord(8, 70)) +
                                         EncodeCommandRecord(ConfigRecord(2, 90)).left(500));
    WriteBytes(FilePath("torn.QSQ"), EncodeSequenceRecord(SequenceRecord(8, 70)).left(300));
    TCommandRecord foreign = ConfigRecord(8, 70);
    foreign.Command = "RPMLIMIT";
    WriteConfigFile(FilePath("nothing.QCF"), {foreign});

    struct Attempt {
        const char* button;
        const char* file;
        int message;   // what the user is told first
        QString after; // what follows it
        int successMessage;
    };
    const QString reasonNotWhole = form->TranslateString(Msg::FileNotWholeRecords);
    for (const Attempt& attempt : {
             Attempt{"BLoadConfig", "empty.QCF", Msg::FileHoldsNoRecords, "empty.QCF",
                     Msg::ConfigLoaded},
             Attempt{"BSequenceLoad", "empty.QSQ", Msg::FileHoldsNoRecords, "empty.QSQ",
                     Msg::SequenceLoaded},
             Attempt{"BLoadConfig", "torn.QCF", Msg::FileNotLoaded, reasonNotWhole + "torn.QCF",
                     Msg::ConfigLoaded},
             Attempt{"BSequenceLoad", "torn.QSQ", Msg::FileNotLoaded, reasonNotWhole + "torn.QSQ",
                     Msg::SequenceLoaded},
             Attempt{"BLoadConfig", "nothing.QCF", Msg::NoRecordLoaded, "nothing.QCF",
                     Msg::ConfigLoaded},
         }) {
        SCOPED_TRACE(attempt.file);
        dialogs.asked.clear();
        dialogs.messageAnswers = {mrYes}; // the sequence is not empty: go on
        dialogs.fileAnswers = {FilePath(attempt.file)};
        Button(attempt.button).click();
        const QStringList messages = Messages();
        ASSERT_GE(messages.size(), 2);
        EXPECT_TRUE(messages[1].startsWith(form->TranslateString(attempt.message) + attempt.after))
            << messages[1].toStdString();
        EXPECT_TRUE(ShownStartingWith(attempt.successMessage).isEmpty());
        ASSERT_EQ(EntryCount(), 1);
        EXPECT_EQ(Entry(1).CommandID, 11);
        EXPECT_EQ(Entry(1).Status, "M");
        EXPECT_EQ(Spin(UpPower).Value(), 80);
        EXPECT_EQ(form->Commands[8].ActualValueSW, 100);
    }
    // The record of a file that gave nothing is still accounted for, in the
    // same report.
    EXPECT_TRUE(LeftOutReport().startsWith(form->TranslateString(Msg::RecordsLeftOut) + "1\n"));
}

TEST(CommandsFile, emptyAtStartUp_isReportedNamingTheFile) {
    qvtest::ProgramDataFolder data;
    ASSERT_TRUE(data.IsValid());
    const QString commands = data.FilePath("CFG/Commands.CSV");
    ASSERT_TRUE(QFile::remove(commands));
    WriteBytes(commands, {});
    ASSERT_TRUE(QFile::copy(QStringLiteral(QV_SOURCE_DIR "/CFG/Translations.CSV"),
                            data.FilePath("CFG/Translations.CSV")));
    ScopedScriptedDialogs dialogs;
    auto form = std::make_unique<TFormMain>();
    form->show();
    const QString expected =
        form->TranslateString(Msg::CommandTableHoldsNothing) + QDir::toNativeSeparators(commands);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_FALSE(form->TranslateString(Msg::CommandTableHoldsNothing).isEmpty());
    EXPECT_EQ(dialogs.asked[0].text, expected);
    EXPECT_EQ(dialogs.asked[0].type, TMsgDlgType::mtError);
    form->close();
}

// ------------------------------------------------------------------ bounded reports

namespace {
// Bytes no program wrote, the same on every run.
QByteArray Garbage(qsizetype size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Whole records of garbage whose IDs are command IDs, so that every check of a
// record runs on them.
QByteArray GarbageRecords(int count, int recordSize) {
    QByteArray bytes = Garbage(qsizetype(count) * recordSize, 7);
    for (int n = 0; n < count; ++n) {
        const qint32 id = 1 + n % CommandCount;
        std::memcpy(bytes.data() + qsizetype(n) * recordSize, &id, sizeof id);
    }
    return bytes;
}

int LinesOf(const QString& text) {
    return int(text.count(u'\n')) + 1;
}
} // namespace

TEST_F(FilesWindow, garbageFiles_areRefusedOrReportedInBoundedMessages_windowKeepsAnswering) {
    // No PCB version: every configuration record is checked, none skipped.
    WriteBytes(FilePath("garbage16MB.QCF"), Garbage(16 * 1024 * 1024, 1));
    WriteBytes(FilePath("tooMany.QCF"), GarbageRecords(21399, CommandRecordSize));
    WriteBytes(FilePath("garbage.QCF"), GarbageRecords(int(MaxRecordsInFile), CommandRecordSize));
    WriteBytes(FilePath("garbage.QSQ"), GarbageRecords(int(MaxRecordsInFile), SequenceRecordSize));

    struct Attempt {
        const char* button;
        const char* file;
        int message; // the message that names what was wrong
        QString followedBy;
    };
    for (const Attempt& attempt : {
             Attempt{"BLoadConfig", "garbage16MB.QCF", Msg::FileNotLoaded,
                     form->TranslateString(Msg::FileTooManyRecords) + "garbage16MB.QCF"},
             Attempt{"BLoadConfig", "tooMany.QCF", Msg::FileNotLoaded,
                     form->TranslateString(Msg::FileTooManyRecords) + "tooMany.QCF"},
             Attempt{"BLoadConfig", "garbage.QCF", Msg::RecordsLeftOut, "1000\n"},
             Attempt{"BSequenceLoad", "garbage.QSQ", Msg::RecordsLeftOut, "1000\n"},
         }) {
        SCOPED_TRACE(attempt.file);
        dialogs.asked.clear();
        if (QByteArray(attempt.button) == "BLoadConfig")
            dialogs.messageAnswers = {mrYes}; // no PCB version known: go on
        dialogs.fileAnswers = {FilePath(attempt.file)};
        const qint64 pause = qvtest::LongestPauseWhile([&] { Button(attempt.button).click(); });
        RecordProperty(QStringLiteral("pauseMs_%1").arg(attempt.file).toStdString(), int(pause));
        EXPECT_LT(pause, 1000);
        const QString report = attempt.message == Msg::RecordsLeftOut
                                   ? LeftOutReport()
                                   : ShownStartingWith(attempt.message);
        EXPECT_TRUE(report.startsWith(form->TranslateString(attempt.message) + attempt.followedBy))
            << report.left(300).toStdString();
        // The one report: a heading, the list bounded, and nothing more.
        for (const QString& message : Messages())
            EXPECT_LE(LinesOf(message), MessageListLines + 5) << message.left(300).toStdString();
        EXPECT_EQ(EntryCount(), 0);
    }
    // The list of the records left out ends with how many it does not show.
    const QString report = LeftOutReport();
    EXPECT_TRUE(report.endsWith(form->TranslateString(Msg::ListAndMore) + "981" +
                                form->TranslateString(Msg::ListMore)))
        << report.right(100).toStdString();
}

// The Qt message box itself, not only its text: the report of a file of
// garbage records fits the window and is built without a pause.
class QtBoxesScriptedFile : public IDialogs {
  public:
    TModalResult MessageDlg(const QString& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override {
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            closer.stop();
            boxSizes.push_back(box->size());
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
        });
        closer.start();
        return qt.MessageDlg(text, type, buttons);
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(FileDialogRequest& request) override {
        request.fileName = file;
        return true;
    }
    bool SaveFileDialog(FileDialogRequest&) override { return false; }

    QtDialogs qt;
    QString file;
    std::vector<QSize> boxSizes;
};

TEST_F(FilesWindow, garbageFile_reportInAQtMessageBox_fitsTheWindow) {
    SetPcbVersion(40);
    WriteBytes(FilePath("garbage.QCF"), GarbageRecords(int(MaxRecordsInFile), CommandRecordSize));
    QtBoxesScriptedFile boxes;
    boxes.file = FilePath("garbage.QCF");
    SetDialogs(&boxes);
    const qint64 pause = qvtest::LongestPauseWhile([&] { Button("BLoadConfig").click(); });
    SetDialogs(&recorder);
    RecordProperty("pauseMs", int(pause));
    RecordProperty("boxHeight", boxes.boxSizes.empty() ? 0 : boxes.boxSizes.back().height());
    EXPECT_LT(pause, 1000);
    ASSERT_EQ(boxes.boxSizes.size(), 1u); // one report: nothing loaded, and what was left out
    for (const QSize& size : boxes.boxSizes)
        EXPECT_LE(size.height(), form->height()) << size.height();
    EXPECT_EQ(EntryCount(), 0);

    // The longest list the helper gives, of the longest lines, fits too.
    const QStringList longLines(100, QStringLiteral("words of a reason ").repeated(20));
    boxes.MessageDlg(form->TranslateString(Msg::RecordsLeftOut) + "100\n\n" +
                         MessageList(longLines),
                     TMsgDlgType::mtWarning, mbOK);
    ASSERT_EQ(boxes.boxSizes.size(), 2u);
    RecordProperty("longestListBoxHeight", boxes.boxSizes.back().height());
    EXPECT_LE(boxes.boxSizes.back().height(), form->height());
}

TEST_F(FilesWindow, messageList_showsTwentyLinesAtMost_theLastSaysHowManyMore_inTheLanguageInUse) {
    QStringList lines;
    for (int i = 1; i <= 20; ++i)
        lines << QStringLiteral("line %1").arg(i);
    EXPECT_EQ(MessageList(lines), lines.join('\n'));
    lines << "line 21" << QString(300, u'x');
    const QStringList shown = MessageList(lines).split('\n');
    ASSERT_EQ(shown.size(), MessageListLines);
    EXPECT_EQ(shown[18], "line 19");
    EXPECT_EQ(shown[19],
              form->TranslateString(Msg::ListAndMore) + "3" + form->TranslateString(Msg::ListMore));
    EXPECT_EQ(MessageList({QString(300, u'x')}).size(), MessageListLineLength);
    EXPECT_EQ(MessageList({QStringLiteral("R\nPM\rL"), QString(QChar(0)) + "x\t"}),
              "R?PM?L\n?x?"); // a line from a file stays one line

    Button("BTranslateGerman").click();
    EXPECT_EQ(MessageList(lines).split('\n').last(), QString::fromUtf8("\u2026 und 3 weitere"));
    EXPECT_EQ(ButtonCaption(mbYesToAll), "Ja, alle");
    EXPECT_EQ(ButtonCaption(mbNoToAll), "Nein, keine");
    EXPECT_EQ(ButtonCaption(mbCancel), "Abbrechen");
}

// ------------------------------------------------------------------ many replace questions

class RepeatingSequenceFile : public FilesWindow {
  protected:
    void SetUp() override {
        FilesWindow::SetUp();
        // 600 records of four commands: four appended, then 596 replacements.
        QVector<TSequenceRecord> records;
        for (int n = 0; n < 600; ++n)
            records.append(SequenceRecord(Repeated[n % 4], FileValue(n)));
        WriteSequenceFile(FilePath("repeats.QSQ"), records);
        for (int id : Repeated)
            valuesBefore.append(form->Commands[id].ActualValueSW);
    }
    // Loads the file with Answers to the replace questions; the longest pause.
    qint64 Load(std::deque<TModalResult> answers) {
        dialogs.asked.clear();
        dialogs.messageAnswers = std::move(answers);
        dialogs.fileAnswers = {FilePath("repeats.QSQ")};
        return qvtest::LongestPauseWhile([&] { Button("BSequenceLoad").click(); });
    }
    int Questions() const { return TimesAsked(Msg::ReplaceAlreadyHolds); }
    // The value of the file's record N (0-based).
    static double FileValue(int n) { return 20 + n % 80; }

    static constexpr int Repeated[4] = {8, 11, 3, 4}; // record N is of Repeated[N % 4]
    QVector<double> valuesBefore;
};

TEST_F(RepeatingSequenceFile, replaceQuestion_offersYesNoToAllAndCancel) {
    Load({mrNo, mrCancel});
    ASSERT_EQ(Questions(), 2);
    const auto question = std::find_if(dialogs.asked.begin(), dialogs.asked.end(), [&](auto& q) {
        return q.text.startsWith(form->TranslateString(Msg::ReplaceAlreadyHolds));
    });
    EXPECT_EQ(question->buttons, mbYes | mbNo | mbYesToAll | mbNoToAll | mbCancel);
    EXPECT_EQ(question->type, TMsgDlgType::mtWarning);
    EXPECT_EQ(ButtonCaption(mbYesToAll), "Yes to all");
}

TEST_F(RepeatingSequenceFile, yesToAll_replacesEveryLaterEntryWithoutAsking) {
    const qint64 pause = Load({mrNo, mrYesToAll});
    RecordProperty("pauseMs", int(pause));
    EXPECT_EQ(Questions(), 2);
    EXPECT_LT(pause, 1000);
    EXPECT_TRUE(Reported(Msg::SequenceLoaded, "repeats.QSQ"));
    ASSERT_EQ(EntryCount(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(Entry(k + 1).CommandID, Repeated[k]);
        EXPECT_EQ(Entry(k + 1).ActualValueSW, FileValue(596 + k)) << k;
        // Loaded, not yet shown: the rows keep what the controls show.
        EXPECT_NE(form->Commands[Repeated[k]].ActualValueSW, FileValue(596 + k));
    }
}

TEST_F(RepeatingSequenceFile, noToAll_keepsEveryEntryWithoutAsking) {
    Load({mrNoToAll});
    EXPECT_EQ(Questions(), 1);
    ASSERT_EQ(EntryCount(), 4);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(Entry(k + 1).ActualValueSW, FileValue(k)) << k;
}

TEST_F(RepeatingSequenceFile, cancel_loadsNothingAndSaysNothingMore) {
    Spin(TempLimit).SetValue(70); // an edit that stays as it is
    dialogs.asked.clear();
    Load({mrYes, mrYes, mrYes, mrCancel});
    EXPECT_EQ(Questions(), 3);
    ASSERT_EQ(EntryCount(), 1);
    EXPECT_EQ(Entry(1).CommandID, 2);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(form->Commands[Repeated[k]].ActualValueSW, valuesBefore[k]) << k;
    EXPECT_EQ(Messages().size(), 4); // message 7 and the three questions
    EXPECT_EQ(Grid().Cells(1, 2), "");
}
