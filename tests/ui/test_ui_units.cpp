// The "Units" page in the real window: folders kept from before units had
// names are named at start with every point kept, the list shows what
// identified each unit and how far its newest point is from a baseline, and
// rename, show history, export, merge and delete do what they say, asking
// first where nothing can be undone by the program itself.
#include "model/RecordFiles.h"
#include "model/UnitRegistry.h"
#include "support/PointRecords.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitsPage.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QDateTime Moment(int minutes) {
    return QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC).addSecs(60LL * minutes);
}

const QString FtdiKey = QStringLiteral("usb-0403-6001-A5XK3RJH");
const QString PcbKey = QStringLiteral("pcb-4.3-fw-5.0.9");

// Three values: the FTDI unit's newest point and the other's differ in two.
const QMap<int, double> FtdiValues{{1, 12.5}, {2, 0.25}, {3, 40}};
const QMap<int, double> PcbOlderValues{{1, 12.5}, {2, 0.25}, {3, 41}};
const QMap<int, double> PcbValues{{1, 11.0}, {2, 0.25}, {3, 41}};

class UnitsPageTest : public qvtest::WindowOnDataFolder {
  protected:
    // The folders the program kept before units had names, there at start.
    void SetUp() override {
        ASSERT_TRUE(data.IsValid());
        qvtest::TakePoint(Folder(FtdiKey), FtdiValues, Moment(1), 12, "5.0.8", "4.3");
        qvtest::TakePoint(Folder(PcbKey), PcbOlderValues, Moment(5), 30);
        newestPcbPoint = qvtest::TakePoint(Folder(PcbKey), PcbValues, Moment(9), 31).point;
        WindowOnDataFolder::SetUp();
    }
    QString Folder(const QString& key) const { return UnitRegistry(data.UserPath()).FolderOf(key); }
    UnitsPage& Page() const { return form->Units(); }
    TStringGrid& UnitsGrid() const { return form->Control<TStringGrid>(QStringLiteral("SGUnits")); }
    void ShowPage() {
        form->Control<TPageControl>(QStringLiteral("PCMain"))
            .SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSUnits")));
        QApplication::processEvents();
    }
    // The grid's cells of the unit named Name, by column.
    QStringList Row(const QString& name) const {
        for (int row = 1; row < UnitsGrid().RowCount(); ++row) {
            if (UnitsGrid().Cells(0, row) != name)
                continue;
            QStringList cells;
            for (int col = 0; col < UnitsGrid().ColCount(); ++col)
                cells << UnitsGrid().Cells(col, row);
            return cells;
        }
        return {};
    }
    QString KeyOf(const QString& name) const {
        for (const KnownUnit& unit : Page().ShownUnits())
            if (unit.name == name)
                return unit.key;
        return {};
    }
    QStringList TrashEntries() const {
        return QDir(UnitRegistry(data.UserPath()).TrashFolder())
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    RestorePointInfo newestPcbPoint;
};

} // namespace

TEST_F(UnitsPageTest, oldFoldersNamedAtStart_listShowsIdentityPointsAndDifferencesFromABaseline) {
    // Named at start in the order first seen, before the page was ever shown.
    const QVector<KnownUnit> named = UnitRegistry(data.UserPath()).Load();
    ASSERT_EQ(named.size(), 2);
    EXPECT_EQ(named[0].name, "Unit 1");
    EXPECT_EQ(named[0].key, FtdiKey);
    EXPECT_EQ(named[1].name, "Unit 2");
    EXPECT_TRUE(QFile::exists(Folder(PcbKey) + "/unit.json"));

    ShowPage();
    ASSERT_EQ(UnitsGrid().RowCount(), 3);
    const QStringList ftdi = Row("Unit 1");
    ASSERT_EQ(ftdi.size(), 9);
    EXPECT_EQ(ftdi[1], "0403:6001 A5XK3RJH");
    EXPECT_EQ(ftdi[2], Moment(1).toLocalTime().toString("dd.MM.yyyy HH:mm"));
    EXPECT_EQ(ftdi.mid(3, 4), QStringList({"5.0.8", "4.3", "12", "1"}));
    EXPECT_EQ(ftdi[7], ""); // no baseline yet
    EXPECT_EQ(ftdi[8], FtdiKey);
    const QStringList pcb = Row("Unit 2");
    EXPECT_EQ(pcb[1], form->TranslateString(Msg::UnitsAdapterWithoutSerial));
    EXPECT_EQ(pcb.mid(3, 4), QStringList({"5.0.9", "4.3", "31", "2"}));
    EXPECT_FALSE(Button("BUnitsRename").isEnabled());

    // Another unit's newest point as the baseline: its own row differs in
    // nothing, the other in the values its newest point holds otherwise.
    auto& box = form->Control<TComboBox>(QStringLiteral("CBUnitsBaseline"));
    ASSERT_EQ(box.Items(), QStringList({"", "Unit 1", "Unit 2"}));
    Q_EMIT box.activated(2);
    EXPECT_EQ(Row("Unit 2")[7], "0");
    EXPECT_EQ(Row("Unit 1")[7], "2");
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LUnitsBaseline")).Caption(),
              form->TranslateString(Msg::UnitsBaselineUnit) + "Unit 2");

    // A configuration file as the baseline.
    const QString file = data.FilePath("CFG/Race.QCF");
    WriteConfigFile(file, qvtest::ValueRecords({{1, 12.5}, {2, 0.5}, {3, 41}}));
    dialogs.fileAnswers.push_back(file);
    Button("BUnitsBaselineFile").click();
    EXPECT_EQ(Row("Unit 1")[7], "2");
    EXPECT_EQ(Row("Unit 2")[7], "2");
    EXPECT_EQ(box.ItemIndex(), 0);
    EXPECT_EQ(form->Control<TLabel>(QStringLiteral("LUnitsBaseline")).Caption(),
              form->TranslateString(Msg::UnitsBaselineFile) + "Race.QCF");

    // In every language the titles and captions follow and show whole.
    form->BCreateTranslationClick(form.get());
    qvtest::FillMessageTexts(*form);
    const char* languages[] = {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                               "BTranslateSpanish", "BTranslateGerman"};
    for (const char* language : languages) {
        SCOPED_TRACE(language);
        Button(language).click();
        QApplication::processEvents();
        EXPECT_EQ(form->size(), QSize(1200, 729));
        qvtest::ExpectCaptionsWhole(form->Control<TTabSheet>(QStringLiteral("TSUnits")));
        const QStringList titles = form->TranslateString(Msg::UnitsTitles).split('|');
        ASSERT_EQ(titles.size(), UnitsGrid().ColCount());
        // Every title whole, and no scrolling sideways.
        int widths = 0;
        for (int col = 0; col < UnitsGrid().ColCount(); ++col) {
            EXPECT_EQ(UnitsGrid().Cells(col, 0), titles[col]);
            EXPECT_GE(UnitsGrid().ColWidths(col),
                      UnitsGrid().fontMetrics().horizontalAdvance(titles[col]) + 6)
                << titles[col].toStdString();
            widths += UnitsGrid().ColWidths(col);
        }
        EXPECT_LE(widths, UnitsGrid().viewport()->width());
    }
    EXPECT_EQ(UnitsGrid().Cells(2, 0), "Zuletzt");
    EXPECT_EQ(Button("BUnitsRename").text(), "Umbenennen...");
    EXPECT_EQ(form->Control<TTabSheet>(QStringLiteral("TSUnits")).Caption(),
              QString::fromUtf8("Geräte"));
    EXPECT_EQ(Row("Unit 2")[1], "ohne Seriennummer");
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join('\n').toStdString();
}

TEST_F(UnitsPageTest, renameShowHistoryExportMergeAndDelete_doWhatTheySay_nothingIsLost) {
    ShowPage();
    const QString ftdiKey = KeyOf("Unit 1");
    const QString pcbKey = KeyOf("Unit 2");

    // Rename: a name another unit has (in other letters) is refused and said;
    // any other one is kept.
    Page().SelectUnits({ftdiKey});
    ASSERT_TRUE(Button("BUnitsRename").isEnabled());
    EXPECT_FALSE(Button("BUnitsMerge").isEnabled());
    dialogs.inputAnswers.push_back({true, " unit  2 "});
    Button("BUnitsRename").click();
    EXPECT_EQ(TimesAsked(Msg::UnitNameTaken), 1);
    EXPECT_FALSE(Row("Unit 1").isEmpty());
    dialogs.inputAnswers.push_back({true, QString::fromUtf8("Kart 7 – Lucas")});
    Button("BUnitsRename").click();
    EXPECT_FALSE(Row(QString::fromUtf8("Kart 7 – Lucas")).isEmpty());
    EXPECT_EQ(UnitRegistry(data.UserPath()).Find(ftdiKey)->name,
              QString::fromUtf8("Kart 7 – Lucas"));
    EXPECT_EQ(Page().SelectedKeys(), QStringList{ftdiKey});

    // Show History: the Restore Points page in front with that unit's points.
    Page().SelectUnits({pcbKey});
    Button("BUnitsShowHistory").click();
    EXPECT_EQ(form->Control<TPageControl>(QStringLiteral("PCMain")).ActivePage()->objectName(),
              "TSRestorePoints");
    EXPECT_EQ(form->RestorePoints().ShownUnitKey(), pcbKey);
    EXPECT_EQ(form->RestorePoints().HistoryPoints().size(), 2);
    ShowPage();

    // Export: the newest point's configuration file, as it is.
    const QString exported = data.FilePath("CFG/unit-2.QCF");
    Page().SelectUnits({pcbKey});
    dialogs.fileAnswers.push_back(exported);
    Button("BUnitsExport").click();
    EXPECT_EQ(Bytes(exported),
              Bytes(RestorePointStore(Folder(PcbKey)).ConfigFilePath(newestPcbPoint)));
    ASSERT_FALSE(Messages().isEmpty());
    EXPECT_TRUE(Messages().last().endsWith("unit-2.QCF")) << Messages().last().toStdString();

    // Merge: two selected, No keeps the second's name; one history of three
    // points in the order taken, both folders as they were in the trash.
    Page().SelectUnits({ftdiKey, pcbKey});
    ASSERT_TRUE(Button("BUnitsMerge").isEnabled());
    dialogs.messageAnswers.push_back(mrCancel);
    Button("BUnitsMerge").click();
    EXPECT_EQ(Page().ShownUnits().size(), 2);
    dialogs.messageAnswers.push_back(mrNo);
    Button("BUnitsMerge").click();
    ASSERT_EQ(Page().ShownUnits().size(), 1);
    const KnownUnit merged = Page().ShownUnits()[0];
    EXPECT_EQ(merged.name, "Unit 2");
    EXPECT_EQ(merged.pointCount, 3);
    EXPECT_EQ(merged.oldKeys, QStringList({PcbKey, FtdiKey}));
    const QVector<RestorePointInfo> points = RestorePointStore(Folder(merged.key)).List();
    ASSERT_EQ(points.size(), 3);
    EXPECT_EQ(points[2].time, Moment(1));
    EXPECT_EQ(points[0].time, Moment(9));
    EXPECT_EQ(TrashEntries().size(), 2);

    // Delete asks; No keeps it, Yes moves its folder to the trash.
    Page().SelectUnits({merged.key});
    dialogs.messageAnswers.push_back(mrNo);
    Button("BUnitsDelete").click();
    EXPECT_EQ(Page().ShownUnits().size(), 1);
    dialogs.messageAnswers.push_back(mrYes);
    Button("BUnitsDelete").click();
    EXPECT_TRUE(Page().ShownUnits().isEmpty());
    EXPECT_EQ(TimesAsked(Msg::UnitsMovedToTrash), 1);
    const QStringList trash = TrashEntries();
    ASSERT_EQ(trash.size(), 3);
    int pointsInTrash = 0;
    for (const QString& entry : trash)
        pointsInTrash +=
            int(RestorePointStore(UnitRegistry(data.UserPath()).TrashFolder() + "/" + entry)
                    .List()
                    .size());
    EXPECT_EQ(pointsInTrash, 3 + 3); // the two folders before the merge and the merged one
}
