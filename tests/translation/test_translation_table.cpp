#include "translation/TranslationTable.h"
#include "util/StringGridModel.h"

#include <QHash>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace L = TranslationLayout;
using Kind = TranslatableKind;

namespace {

StringGridModel TranslationGrid() {
    return StringGridModel(L::ColumnCount, L::RowCount);
}

ComponentTexts Component(const QString& name, Kind kind, const QString& caption, int tag = 0,
                         const QStringList& items = {}) {
    return {name, kind, tag, caption, items};
}

QStringList Row(const StringGridModel& grid, int row) {
    QStringList cells;
    for (int col = 0; col < L::ColumnCount; ++col)
        cells.append(grid.Cell(col, row));
    return cells;
}

// A window whose components are given by name and kind; text width 7 pixels a
// character.
struct FakeWindow {
    QHash<QString, Kind> kinds;
    WindowTextsQuery Query() const {
        return {[this](const QString& name) -> std::optional<Kind> {
                    const auto it = kinds.constFind(name);
                    return it == kinds.constEnd() ? std::nullopt : std::optional<Kind>(*it);
                },
                [](const QString& text) { return static_cast<int>(text.size()) * 7; }, nullptr};
    }
};

const TextAction* FindAction(const std::vector<TextAction>& actions, const QString& name) {
    for (const TextAction& action : actions)
        if (action.name == name)
            return &action;
    return nullptr;
}

} // namespace

TEST(TranslateString, readsRowNPlus501InTheLanguageColumn) {
    StringGridModel grid = TranslationGrid();
    grid.SetCell(4, 506, QStringLiteral("Effacer ?"));
    grid.SetCell(3, 506, QStringLiteral("Cancellare?"));
    grid.SetCell(4, 505, QStringLiteral("wrong row"));
    EXPECT_EQ(TranslateString(grid, 3, 5), QStringLiteral("Effacer ?"));
    EXPECT_EQ(TranslateString(grid, 2, 5), QStringLiteral("Cancellare?"));
    EXPECT_EQ(MessageRow(1), 502);
    EXPECT_EQ(MessageRow(100), 601);
}

TEST(TranslateString, numbersOutsideTheTableGiveEmptyText_languagesOutsideItGiveEnglish) {
    StringGridModel grid = TranslationGrid();
    for (int row = 495; row <= 610; ++row)
        for (int col = 0; col < L::ColumnCount; ++col)
            grid.SetCell(col, row, QStringLiteral("x"));
    grid.SetCell(LanguageColumn(1), MessageRow(5), QStringLiteral("Erase?"));
    EXPECT_EQ(TranslateString(grid, 1, 0), QString());   // would be a control row
    EXPECT_EQ(TranslateString(grid, 1, 500), QString()); // past the message rows
    // No language chosen yet (a start-up that ended early): never an empty question.
    EXPECT_EQ(TranslateString(grid, 0, 5), QStringLiteral("Erase?"));
    EXPECT_EQ(TranslateString(grid, 6, 5), QStringLiteral("Erase?"));
    EXPECT_EQ(TranslateString(StringGridModel(), 0, 5), BuiltInMessageText(5));
    EXPECT_FALSE(BuiltInMessageText(5).isEmpty());
    EXPECT_EQ(TranslateString(grid, 5, 100), QStringLiteral("x"));
}

TEST(TranslateString, missingTextFallsBackToTheTablesEnglishThenToTheBuiltInEnglish) {
    StringGridModel grid = TranslationGrid();
    grid.SetCell(LanguageColumn(1), MessageRow(13), QStringLiteral("Disconnect now"));
    grid.SetCell(LanguageColumn(2), MessageRow(14), QStringLiteral("Connesso"));
    EXPECT_EQ(TranslateString(grid, 2, 14), QStringLiteral("Connesso"));
    EXPECT_EQ(TranslateString(grid, 2, 13), QStringLiteral("Disconnect now"));
    // Neither cell: the English text of the message file, compiled in.
    EXPECT_EQ(TranslateString(grid, 4, 15), QStringLiteral("Connect"));
    EXPECT_EQ(TranslateString(grid, 1, 4), BuiltInMessageText(4));
    EXPECT_TRUE(BuiltInMessageText(4).startsWith(QStringLiteral("GCU connected.")));
    // A number nobody wrote a text for stays empty.
    EXPECT_EQ(TranslateString(grid, 1, 100), QString());
}

TEST(MessageLabel, isStringWithThreeDigitNumber) {
    EXPECT_EQ(MessageLabel(1), QStringLiteral("String 001"));
    EXPECT_EQ(MessageLabel(42), QStringLiteral("String 042"));
    EXPECT_EQ(MessageLabel(100), QStringLiteral("String 100"));
}

TEST(CreateTranslationTable, writesOneRowPerTranslatableTextInComponentOrder) {
    StringGridModel grid = TranslationGrid();
    const std::vector<ComponentTexts> components = {
        Component("PMain", Kind::Other, ""),
        Component("GBSystemInfo", Kind::GroupBox, " System Info "),
        Component("LSystemInfoSerial", Kind::Label, "0000", 1), // tag 1
        Component("EPCBVersion", Kind::Other, "EPCBVersion"),   // other kind
        Component("LSomething", Kind::Label, "LSomething"),     // caption = name
        Component("GBSerialLive", Kind::GroupBox, " Live ", 1), // tag 1
        Component("CBLiveActive", Kind::CheckBox, "Active"),
        Component("RGSignal", Kind::RadioGroup, " Signal Values ", 0, {"Decreasing", "Increasing"}),
        Component("TSRecovery", Kind::TabSheet, "Recovery && Special  "),
        Component("BTranslateItalian", Kind::Button, "Italiano", 2), // language button
        Component("BSequenceErase", Kind::Button, "Erase"),
    };
    const CreateResult result = CreateTranslationTable(grid, components);

    EXPECT_EQ(Row(grid, 0), QStringList({"COMPONENT", "PROPERTY", "[ENGLISH]", "ITALIANO",
                                         "FRANCAIS", "ESPANOL", "DEUTSCH"}));
    const QString info = QStringLiteral("System Info");
    EXPECT_EQ(Row(grid, 1), QStringList({"GBSystemInfo", "Caption", info, info, info, info, info}));
    EXPECT_EQ(Row(grid, 2).mid(0, 3), QStringList({"CBLiveActive", "Caption", "Active"}));
    EXPECT_EQ(Row(grid, 3).mid(0, 3), QStringList({"RGSignal", "Caption", "Signal Values"}));
    EXPECT_EQ(Row(grid, 4).mid(0, 3), QStringList({"RGSignal", "Item 0", "Decreasing"}));
    EXPECT_EQ(Row(grid, 5), QStringList({"RGSignal", "Item 1", "Increasing", "Increasing",
                                         "Increasing", "Increasing", "Increasing"}));
    // Only group boxes and radio groups lose their surrounding spaces.
    EXPECT_EQ(grid.Cell(2, 6), QStringLiteral("Recovery && Special  "));
    EXPECT_EQ(Row(grid, 7).mid(0, 3), QStringList({"BSequenceErase", "Caption", "Erase"}));
    EXPECT_EQ(grid.Cell(0, 8), QString());
    EXPECT_EQ(result.lastRowUsed, 7);
    EXPECT_EQ(result.textsLeftOut, 0);
}

TEST(CreateTranslationTable, clearsOldControlRowsAndKeepsMessageTexts) {
    StringGridModel grid = TranslationGrid();
    grid.SetCell(0, 0, QStringLiteral("junk"));
    grid.SetCell(3, 400, QStringLiteral("old row"));
    grid.SetCell(0, 501, QStringLiteral("old last row"));
    grid.SetCell(0, 506, QStringLiteral("hand-edited label"));
    grid.SetCell(2, 506, QStringLiteral("Erase?"));
    grid.SetCell(6, 506, QStringLiteral("Löschen?"));
    grid.SetCell(2, 700, QStringLiteral("unused row"));

    CreateTranslationTable(grid, {Component("LGear", Kind::Label, "Gear")});

    EXPECT_EQ(grid.Cell(3, 400), QString());
    EXPECT_EQ(grid.Cell(0, 501), QString());
    EXPECT_EQ(grid.Cell(0, 506), QStringLiteral("String 005"));
    EXPECT_EQ(grid.Cell(2, 506), QStringLiteral("Erase?"));
    EXPECT_EQ(grid.Cell(6, 506), QStringLiteral("Löschen?"));
    EXPECT_EQ(grid.Cell(0, 502), QStringLiteral("String 001"));
    EXPECT_EQ(grid.Cell(0, 601), QStringLiteral("String 100"));
    // The program's own messages continue the numbering up to the last row.
    EXPECT_EQ(grid.Cell(0, 1000), QStringLiteral("String 499"));
    EXPECT_EQ(grid.Cell(2, 700), QStringLiteral("unused row"));
}

TEST(CreateTranslationTable, stopsAtRow501AndCountsTheTextsLeftOut) {
    StringGridModel grid(3, 10); // smaller than the layout: enlarged first
    grid.SetCell(0, 5, QStringLiteral("kept?"));
    std::vector<ComponentTexts> components;
    for (int i = 1; i <= 499; ++i)
        components.push_back(Component(QStringLiteral("L%1").arg(i), Kind::Label, "text"));
    components.push_back(
        Component("RGLast", Kind::RadioGroup, " Last ", 0, {"One", "Two", "Three"}));
    components.push_back(Component("LAfter", Kind::Label, "After"));

    const CreateResult result = CreateTranslationTable(grid, components);

    EXPECT_EQ(grid.ColCount(), L::ColumnCount);
    EXPECT_EQ(grid.RowCount(), L::RowCount);
    EXPECT_EQ(result.lastRowUsed, 501);
    EXPECT_EQ(result.textsLeftOut, 3); // "Two", "Three", "After"
    EXPECT_EQ(Row(grid, 501).mid(0, 3), QStringList({"RGLast", "Item 0", "One"}));
    EXPECT_EQ(Row(grid, 502).mid(0, 3), QStringList({"String 001", "", ""}));
}

TEST(LanguageSwitch, appliesRowsFrom2OnWithTheKindsRules) {
    StringGridModel grid = TranslationGrid();
    CreateTranslationTable(
        grid, {Component("GBSystemInfo", Kind::GroupBox, " System Info "),
               Component("GBGearDetection", Kind::GroupBox, " Gear Detection "),
               Component("RGSignal", Kind::RadioGroup, " Signal Values ", 0, {"A", "B"}),
               Component("CBActive", Kind::CheckBox, "Active"),
               Component("CBNoMarker", Kind::CheckBox, "Closed Loop"),
               Component("TSUpshift", Kind::TabSheet, "Up Shift"),
               Component("LGone", Kind::Label, "Gone"), Component("BSet", Kind::Button, "Set")});
    const QStringList italian = {
        "Info sistema", "Rilevamento marcia", "Valori segnale", "X",       "Y",
        "Attivo",       "Anello chiuso",      "Cambiata",       "Sparito", "Imposta"};
    for (int i = 0; i < italian.size(); ++i)
        grid.SetCell(LanguageColumn(2), i + 1, italian[i]);

    FakeWindow window;
    window.kinds = {{"GBSystemInfo", Kind::GroupBox}, {"GBGearDetection", Kind::GroupBox},
                    {"RGSignal", Kind::RadioGroup},   {"CBActive", Kind::CheckBox},
                    {"SCBActive", Kind::Other},       {"CBNoMarker", Kind::CheckBox},
                    {"TSUpshift", Kind::TabSheet},    {"BSet", Kind::Button}};
    const std::vector<TextAction> actions = LanguageSwitchActions(grid, 2, window.Query());

    EXPECT_EQ(FindAction(actions, "GBSystemInfo"), nullptr); // row 1 is not applied
    EXPECT_EQ(FindAction(actions, "LGone"), nullptr);        // no such component
    ASSERT_EQ(actions.size(), 6u);

    EXPECT_EQ(actions[0].caption, QStringLiteral(" Rilevamento marcia "));
    EXPECT_FALSE(actions[0].width.has_value());

    const TextAction& radio = actions[1];
    EXPECT_EQ(radio.name, QStringLiteral("RGSignal"));
    EXPECT_EQ(radio.caption, QStringLiteral(" Valori segnale "));
    EXPECT_TRUE(radio.replaceItems);
    EXPECT_EQ(radio.items, QStringList({"X", "Y"}));

    const TextAction& check = actions[2];
    EXPECT_EQ(check.caption, QStringLiteral("Attivo"));
    EXPECT_EQ(check.width, 6 * 7 + 17);
    EXPECT_EQ(check.markerName, QStringLiteral("SCBActive"));
    EXPECT_EQ(check.markerWidth, 6 * 7 + 25);

    const TextAction& unmarked = actions[3];
    EXPECT_EQ(unmarked.width, 13 * 7 + 17);
    EXPECT_TRUE(unmarked.markerName.isEmpty());
    EXPECT_FALSE(unmarked.markerWidth.has_value());

    EXPECT_EQ(actions[4].caption, QStringLiteral("Cambiata")); // tab sheet: text as it is
    EXPECT_EQ(actions[5].caption, QStringLiteral("Imposta"));
}

TEST(LanguageSwitch, emptyCellsAndUnknownLanguagesBehave) {
    StringGridModel grid = TranslationGrid();
    CreateTranslationTable(grid, {Component("LFirst", Kind::Label, "First"),
                                  Component("LSecond", Kind::Label, "Second")});
    grid.SetCell(LanguageColumn(5), 2, QString());
    FakeWindow window;
    window.kinds = {{"LFirst", Kind::Label}, {"LSecond", Kind::Label}};

    const std::vector<TextAction> german = LanguageSwitchActions(grid, 5, window.Query());
    ASSERT_EQ(german.size(), 1u);
    EXPECT_EQ(german[0].caption, QString()); // an empty cell empties the caption
    EXPECT_TRUE(LanguageSwitchActions(grid, 0, window.Query()).empty());
    EXPECT_TRUE(LanguageSwitchActions(grid, 6, window.Query()).empty());
}

TEST(LanguageSwitch, emptyCaptionCell_keepsTheDesignedCaption_framedForGroups) {
    StringGridModel grid = TranslationGrid();
    CreateTranslationTable(grid, {Component("LFirst", Kind::Label, "First"),
                                  Component("LSecond", Kind::Label, "Second"),
                                  Component("GBFiles", Kind::GroupBox, " Files "),
                                  Component("CBLive", Kind::CheckBox, "Active")});
    for (int row = 2; row <= 4; ++row)
        grid.SetCell(LanguageColumn(2), row, QString());
    FakeWindow window;
    window.kinds = {
        {"LSecond", Kind::Label}, {"GBFiles", Kind::GroupBox}, {"CBLive", Kind::CheckBox}};
    WindowTextsQuery query = window.Query();
    query.designCaption = [](const QString& name) {
        return name == "GBFiles"  ? QStringLiteral(" Files ")
               : name == "CBLive" ? QStringLiteral("Active")
                                  : QStringLiteral("Second");
    };
    const std::vector<TextAction> italian = LanguageSwitchActions(grid, 2, query);
    ASSERT_EQ(italian.size(), 3u);
    EXPECT_EQ(italian[0].caption, QStringLiteral("Second"));
    EXPECT_EQ(italian[1].caption, QStringLiteral(" Files "));
    EXPECT_EQ(italian[2].caption, QStringLiteral("Active"));
    EXPECT_EQ(italian[2].width, 6 * 7 + CheckBoxExtraWidth); // sized by the kept caption
}

TEST(LanguageSwitch, radioItemRowsWithoutAppliedCaptionRebuildFromItem0) {
    StringGridModel grid = TranslationGrid();
    // The radio group is the first text, so its caption row (row 1) is not applied.
    CreateTranslationTable(grid, {Component("RGFirst", Kind::RadioGroup, " First ", 0, {"A", "B"}),
                                  Component("LBetween", Kind::Label, "Between")});
    grid.SetCell(0, 5, QStringLiteral("RGFirst")); // a stray item row further down
    grid.SetCell(1, 5, QStringLiteral("Item 2"));
    grid.SetCell(3, 5, QStringLiteral("C"));
    FakeWindow window;
    window.kinds = {{"RGFirst", Kind::RadioGroup}, {"LBetween", Kind::Label}};

    const std::vector<TextAction> actions = LanguageSwitchActions(grid, 2, window.Query());
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_FALSE(actions[0].caption.has_value());
    EXPECT_TRUE(actions[0].replaceItems);
    EXPECT_EQ(actions[0].items, QStringList({"A", "B"}));
    EXPECT_EQ(actions[1].name, QStringLiteral("LBetween"));
    EXPECT_FALSE(actions[2].replaceItems);
    EXPECT_EQ(actions[2].items, QStringList({"C"}));
}

TEST(LanguageMarker, firstMarkedColumnWinsAndRewriteLeavesOnlyIt) {
    StringGridModel grid = TranslationGrid();
    EXPECT_EQ(MarkedLanguage(grid), std::nullopt);
    grid.SetCell(2, 0, QStringLiteral("ENGLISH"));
    grid.SetCell(3, 0, QStringLiteral("[ITALIANO]"));
    grid.SetCell(4, 0, QStringLiteral("[FRANCAIS]"));
    ASSERT_EQ(MarkedLanguage(grid), 2);

    MarkLanguageColumn(grid, *MarkedLanguage(grid));
    EXPECT_EQ(Row(grid, 0).mid(2),
              QStringList({"ENGLISH", "[ITALIANO]", "FRANCAIS", "ESPANOL", "DEUTSCH"}));
    MarkLanguageColumn(grid, 5);
    EXPECT_EQ(MarkedLanguage(grid), 5);
    EXPECT_EQ(grid.Cell(3, 0), QStringLiteral("ITALIANO"));
    MarkLanguageColumn(grid, 9);
    EXPECT_EQ(grid.Cell(6, 0), QStringLiteral("[DEUTSCH]"));
}

TEST(LanguageMarker, survivesSavingAndLoadingTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("Translations.CSV");
    StringGridModel saved = TranslationGrid();
    CreateTranslationTable(saved, {Component("LGear", Kind::Label, "Gear")});
    saved.SetCell(4, 0, QStringLiteral("[FRANCAIS]")); // two marks, English first
    SaveStringGridToCSV(saved, file);

    StringGridModel loaded = TranslationGrid();
    ASSERT_TRUE(LoadTranslationFile(loaded, file));
    ASSERT_EQ(MarkedLanguage(loaded), 1);
    MarkLanguageColumn(loaded, 3);
    SaveStringGridToCSV(loaded, file);

    StringGridModel again = TranslationGrid();
    ASSERT_TRUE(LoadTranslationFile(again, file));
    EXPECT_EQ(MarkedLanguage(again), 3);
    EXPECT_EQ(again.Cell(2, 0), QStringLiteral("ENGLISH"));
    EXPECT_EQ(again.Cell(0, 1), QStringLiteral("LGear"));
}

TEST(LoadTranslationFile, missingFileLeavesTheGridAsItWas) {
    QTemporaryDir dir;
    StringGridModel grid = TranslationGrid();
    grid.SetCell(2, 502, QStringLiteral("kept"));
    EXPECT_FALSE(LoadTranslationFile(grid, dir.filePath("absent.CSV")));
    EXPECT_EQ(grid.Cell(2, 502), QStringLiteral("kept"));
}

TEST(EmptyTranslationTable, emptiesEveryCellOfEveryRow) {
    StringGridModel grid = TranslationGrid();
    CreateTranslationTable(grid, {Component("LGear", Kind::Label, "Gear")});
    grid.SetCell(2, 1000, QStringLiteral("last row"));
    EmptyTranslationTable(grid);
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 0; col < grid.ColCount(); ++col)
            ASSERT_TRUE(grid.Cell(col, row).isEmpty()) << "row " << row << " col " << col;
}

// ------------------------------------------------------------------ a file that cannot be used

TEST(TranslationFile, shippedFileIsUsable_eachKindOfDamageNamesItsLine) {
    const QStringList shipped = ReadCsvLines(QStringLiteral(QV_SOURCE_DIR "/CFG/Translations.CSV"));
    ASSERT_EQ(shipped.size(), L::RowCount);
    EXPECT_FALSE(CheckTranslationLines(shipped).has_value());
    QStringList italian = shipped;
    italian[0] = QStringLiteral("COMPONENT;PROPERTY;ENGLISH;[ITALIANO];FRANCAIS;ESPANOL;DEUTSCH");
    EXPECT_FALSE(CheckTranslationLines(italian).has_value());
    QStringList shortTable = shipped.mid(0, MessageRow(10));
    EXPECT_FALSE(CheckTranslationLines(shortTable).has_value()); // ends early: still usable

    struct Case {
        const char* name;
        std::function<void(QStringList&)> damage;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", [](QStringList& l) { l.clear(); }, 0, "the file is empty"},
        {"garbage title", [](QStringList& l) { l[0] = QStringLiteral("\x01\x02;x;y;z;w;v;u"); }, 1,
         "the title of column 1"},
        {"a language title unknown", [](QStringList& l) { l[0].replace("DEUTSCH", "GERMAN"); }, 1,
         "the title of column 7"},
        {"a line cut short", [](QStringList& l) { l[40] = l[40].section(u';', 0, 3); }, 41,
         "4 columns where 7 are needed"},
        {"a message row moved", [](QStringList& l) { l.removeAt(300); }, MessageRow(1) + 1,
         "\"String 002\" where \"String 001\" belongs"},
        {"too many lines", [](QStringList& l) { l << QStringLiteral(";;;;;;"); }, 0,
         "the file has 1002 lines"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines = shipped;
        c.damage(lines);
        const std::optional<TranslationFileFault> fault = CheckTranslationLines(lines);
        ASSERT_TRUE(fault.has_value());
        EXPECT_EQ(fault->line, c.line);
        EXPECT_TRUE(fault->reason.startsWith(QString::fromLatin1(c.reason)))
            << fault->reason.toStdString();
    }
}
