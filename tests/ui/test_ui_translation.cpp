// The translation page on the real window: message texts by number, "Create",
// switching the language, start-up in the marked language, the shortcuts, and
// the shipped translation file.
//
// Every test runs on a copy of CFG in a temporary data folder, because a
// language switch writes the file. With QV_WRITE_TRANSLATIONS=1 in the
// environment, the shipped file test writes CFG/Translations.CSV afresh (after
// captions or texts have changed) instead of comparing.
#include "support/FileLimits.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTable.h"
#include "translation/TranslationTexts.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"
#include "util/StringGridModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString ShippedTranslations = QStringLiteral(QV_SOURCE_DIR "/CFG/Translations.CSV");
const QString TextsFolder = QStringLiteral(QV_SOURCE_DIR "/translation/texts");

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

StringGridModel ReadTable(const QString& path) {
    StringGridModel grid;
    LoadStringGridFromCSV(grid, path);
    return grid;
}

int LastControlRow(const StringGridModel& grid) {
    int last = 0;
    for (int row = 1; row <= TranslationLayout::LastControlRow; ++row)
        if (!grid.Cell(0, row).isEmpty())
            last = row;
    return last;
}

QString Framed(const QString& text) {
    return u' ' + text + u' ';
}

// A window started on its own data folder, which holds the shipped commands
// file and, when given, a translation file.
class Translation : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(qvtest::CopyShippedCommands(dataDir.path()));
        SetProgramFolder(dataDir.path());
    }
    void TearDown() override {
        form.reset();
        SetProgramFolder(QString());
    }
    QString FilePath() const { return dataDir.filePath("CFG/Translations.CSV"); }
    // The shipped table with row 0 marking the given language columns.
    void WriteShippedMarked(const QList<int>& languages) {
        StringGridModel grid = ReadTable(ShippedTranslations);
        for (int language = 1; language <= 5; ++language)
            grid.SetCell(LanguageColumn(language), 0,
                         languages.contains(language) ? '[' + LanguageTitle(language) + ']'
                                                      : LanguageTitle(language));
        SaveStringGridToCSV(grid, FilePath());
    }
    TFormMain& Start() {
        form = std::make_unique<TFormMain>();
        form->show();
        return *form;
    }
    StringGridModel& Table() { return form->Control<TStringGrid>("SGTranslation").Model(); }
    // Sets the cell of the row of Name / Property in Language's column.
    void SetText(const QString& name, const QString& property, int language, const QString& text) {
        for (int row = 1; row <= TranslationLayout::LastControlRow; ++row) {
            if (Table().Cell(0, row) == name && Table().Cell(1, row) == property) {
                Table().SetCell(LanguageColumn(language), row, text);
                return;
            }
        }
        FAIL() << "no row " << name.toStdString() << " " << property.toStdString();
    }
    void SwitchTo(int language) {
        const char* buttons[] = {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                                 "BTranslateSpanish", "BTranslateGerman"};
        form->Control<TButton>(buttons[language - 1]).click();
    }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<TFormMain> form;
};

// ------------------------------------------------------------------ messages

TEST_F(Translation, messageNComesFromRowNPlus501InTheColumnOfTheLanguage) {
    Start();
    Table().SetCell(4, 506, "cinq");
    Table().SetCell(2, 502, "one");
    Table().SetCell(6, 601, "hundert");
    form->LanguageGLOB = 3;
    EXPECT_EQ(form->TranslateString(5), "cinq");
    EXPECT_EQ(form->TranslateString(6), BuiltInMessageText(6)); // not in the table: English
    form->LanguageGLOB = 1;
    EXPECT_EQ(form->TranslateString(1), "one");
    form->LanguageGLOB = 5;
    EXPECT_EQ(form->TranslateString(100), "hundert");
    EXPECT_EQ(form->TranslateString(0), "");
    EXPECT_EQ(form->TranslateString(500), "");
}

// ------------------------------------------------------------------ Create

TEST_F(Translation, createListsTheWindowsTextsInComponentOrderAndKeepsMessages) {
    Start();
    Table().SetCell(2, 503, "kept message");
    form->Control<TButton>("BCreateTranslation").click();
    const StringGridModel& grid = Table();
    EXPECT_EQ(grid.Cell(0, 0), "COMPONENT");
    EXPECT_EQ(grid.Cell(2, 0), "[ENGLISH]");
    EXPECT_EQ(grid.Cell(6, 0), "DEUTSCH");
    EXPECT_EQ(grid.Cell(0, 1), "GBSystemInfo");
    EXPECT_EQ(grid.Cell(2, 1), "System Info");
    EXPECT_EQ(grid.Cell(0, 502), "String 001");
    EXPECT_EQ(grid.Cell(0, 601), "String 100");
    EXPECT_EQ(grid.Cell(2, 503), "kept message");

    // Walk the rows beside the components: each row's component comes at or
    // after the previous one, with its own text.
    const int last = LastControlRow(grid);
    ASSERT_GT(last, 200);
    int previousIndex = -1;
    QStringList captionRows;
    for (int row = 1; row <= last; ++row) {
        SCOPED_TRACE(row);
        QObject* component = form->FindComponent(grid.Cell(0, row));
        ASSERT_TRUE(component);
        const int index = int(form->ComponentList().indexOf(component));
        EXPECT_GE(index, previousIndex);
        previousIndex = index;
        EXPECT_EQ(AsComponent(component)->Tag(), 0);
        for (int col = 3; col <= 6; ++col)
            EXPECT_EQ(grid.Cell(col, row), grid.Cell(2, row));
        const QString property = grid.Cell(1, row);
        if (property == "Caption") {
            captionRows << component->objectName();
            if (auto* group = qobject_cast<TGroupBox*>(component)) {
                EXPECT_EQ(grid.Cell(2, row), group->Caption().trimmed());
            }
            if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
                EXPECT_EQ(grid.Cell(2, row), radio->Caption().trimmed());
                for (int i = 0; i < radio->Items().size(); ++i) {
                    EXPECT_EQ(grid.Cell(1, row + 1 + i), "Item " + QString::number(i));
                    EXPECT_EQ(grid.Cell(2, row + 1 + i), radio->Items()[i]);
                }
            }
        } else {
            EXPECT_TRUE(qobject_cast<TRadioGroup*>(component));
            EXPECT_TRUE(property.startsWith("Item "));
        }
    }
    EXPECT_EQ(captionRows.removeDuplicates(), 0);
    EXPECT_TRUE(captionRows.contains("BCreateTranslation"));
    EXPECT_TRUE(captionRows.contains("TSRecovery"));
    EXPECT_FALSE(captionRows.contains("BTranslateGerman")); // tag 5
    EXPECT_FALSE(captionRows.contains("GBSerialLive"));     // tag 1
    EXPECT_TRUE(grid.Cell(0, last + 1).isEmpty());
}

// ------------------------------------------------------------------ switching

TEST_F(Translation, switchRebuildsRadioItemsKeepsTheSelectionAndFramesGroupCaptions) {
    Start();
    form->BCreateTranslationClick(form.get());
    auto& radio = form->Control<TRadioGroup>("GBGearDetectionSignalValues");
    ASSERT_GE(radio.Items().size(), 2);
    SetText(radio.objectName(), "Caption", 2, "Tipo sensore");
    SetText(radio.objectName(), "Item 0", 2, "Uno");
    SetText(radio.objectName(), "Item 1", 2, "Due");
    SetText("GBGearDetection", "Caption", 2, "Rilevamento marcia");
    radio.SetItemIndex(1);
    const int sequenceEntries = form->Sequence.Count();
    QSignalSpy clicks(&radio, &TRadioGroup::Click);

    SwitchTo(2);
    EXPECT_EQ(radio.Caption(), " Tipo sensore ");
    EXPECT_EQ(radio.Items().mid(0, 2), (QStringList{"Uno", "Due"}));
    EXPECT_EQ(radio.ItemIndex(), 1);
    EXPECT_EQ(form->Control<TGroupBox>("GBGearDetection").Caption(), " Rilevamento marcia ");
    // Switching back and forth rebuilds the list instead of adding to it.
    const int itemCount = int(radio.Items().size());
    SwitchTo(5);
    SwitchTo(2);
    EXPECT_EQ(radio.Items().size(), itemCount);
    EXPECT_EQ(radio.ItemIndex(), 1);
    // A language switch is not an edit.
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(form->Sequence.Count(), sequenceEntries);
}

TEST_F(Translation, switchLeavesRowOneAndUnknownComponentsAloneAndSavesTheMarker) {
    Start();
    form->BCreateTranslationClick(form.get());
    Table().SetCell(3, 1, "Info di sistema"); // row 1 is never applied
    Table().SetCell(0, 400, "LNoSuchLabel");
    Table().SetCell(3, 400, "ignored");
    Table().SetCell(3, TranslationLayout::LastControlRow + 15, "Connetti");
    SetText("LSystemInfoSerialTitle", "Caption", 2, "Seriale:");

    SwitchTo(2);
    EXPECT_EQ(form->LanguageGLOB, 2);
    EXPECT_EQ(form->Control<TGroupBox>("GBSystemInfo").Caption(), " System Info ");
    EXPECT_EQ(form->Control<TLabel>("LSystemInfoSerialTitle").Caption(), "Seriale:");
    EXPECT_EQ(form->TranslateString(15), "Connetti");
    const StringGridModel saved = ReadTable(FilePath());
    EXPECT_EQ(saved.Cell(2, 0), "ENGLISH");
    EXPECT_EQ(saved.Cell(3, 0), "[ITALIANO]");
    EXPECT_EQ(saved.Cell(3, 400), "ignored");
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(Translation, checkBoxesAndButtonsGrowWithTheirTranslatedCaptions) {
    Start();
    form->BCreateTranslationClick(form.get());
    const QString longText = "Taglio motore al limitatore di giri in ogni marcia";
    SetText("CBRatiosRpmCutRpmLimiter", "Caption", 2, longText);
    SetText("BSequenceTransmitAll", "Caption", 2, "Trasmetti tutte le modifiche");
    auto& check = form->Control<TCheckBox>("CBRatiosRpmCutRpmLimiter");

    SwitchTo(2);
    QApplication::processEvents(); // the layout places the check box and its marker
    const int textWidth =
        TFormMain::TextWidth(&form->Control<TLabel>("LRatiosRpmRPMLimiter"), longText);
    EXPECT_EQ(check.Caption(), longText);
    EXPECT_GE(check.width(), textWidth + CheckBoxExtraWidth);
    EXPECT_GE(check.width(), check.sizeHint().width()); // caption not cut
    auto& marker = form->Control<TShape>("SCBRatiosRpmCutRpmLimiter");
    EXPECT_GE(marker.width(), textWidth + CheckBoxMarkerExtraWidth);
    auto& button = form->Control<TButton>("BSequenceTransmitAll");
    EXPECT_GE(button.width(), button.fontMetrics().horizontalAdvance(button.text()) + 20);

    // Back to a short caption: the check box shrinks with it.
    SetText("CBRatiosRpmCutRpmLimiter", "Caption", 3, "Coupure");
    SwitchTo(3);
    QApplication::processEvents();
    EXPECT_LT(check.width(), textWidth);
}

TEST_F(Translation, ctrlF1ToF5SwitchLanguagesAndF5AloneDoesNothing) {
    WriteShippedMarked({1});
    Start();
    auto& page = form->Control<TTabSheet>("TSUpshift");
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_EQ(form->LanguageGLOB, 1);
    QTest::keyClick(form.get(), Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(form->LanguageGLOB, 5);
    EXPECT_NE(page.Caption(), "Up Shift");
    QTest::keyClick(form.get(), Qt::Key_F3, Qt::ControlModifier);
    EXPECT_EQ(form->LanguageGLOB, 3);
    QTest::keyClick(form.get(), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(form->LanguageGLOB, 1);
    EXPECT_EQ(page.Caption(), "Up Shift");
    EXPECT_EQ(ReadTable(FilePath()).Cell(2, 0), "[ENGLISH]");
}

TEST_F(Translation, forcedPcbVersionMessagesComeInTheCurrentLanguage) {
    WriteShippedMarked({5});
    Start();
    dialogs.inputAnswers.push_back({true, "43"});
    QTest::keyClick(form.get(), Qt::Key_F9, Qt::ControlModifier);
    QTest::keyClick(form.get(), Qt::Key_F9, Qt::ControlModifier);
    const StringGridModel shipped = ReadTable(ShippedTranslations);
    QStringList texts;
    for (const auto& question : dialogs.asked)
        if (question.kind == "message")
            texts << question.text;
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], shipped.Cell(6, MessageRow(23)) + " 43");
    EXPECT_EQ(texts[1], shipped.Cell(6, MessageRow(24)));
    EXPECT_FALSE(texts[1].isEmpty());
}

// ------------------------------------------------------------------ start-up

TEST_F(Translation, startUpTakesTheFirstMarkedLanguageAndRewritesTheMarker) {
    WriteShippedMarked({2, 3});
    Start();
    EXPECT_EQ(form->LanguageGLOB, 2);
    const StringGridModel saved = ReadTable(FilePath());
    EXPECT_EQ(saved.Cell(3, 0), "[ITALIANO]");
    EXPECT_EQ(saved.Cell(4, 0), "FRANCAIS");
    EXPECT_EQ(form->Control<TButton>("BSequenceErase").Caption(), "Elimina");
    EXPECT_FALSE(form->SilentControlsEventsGLOB);
}

TEST_F(Translation, startUpWithoutFileOrMarkerKeepsTheDesignedEnglishTexts) {
    Start();
    EXPECT_EQ(form->LanguageGLOB, 1);
    EXPECT_EQ(form->TranslateString(4), BuiltInMessageText(4)); // no empty boxes
    EXPECT_FALSE(QFile::exists(FilePath()));
    EXPECT_TRUE(dialogs.asked.empty());
    form.reset();

    WriteShippedMarked({});
    const QByteArray unmarked = ReadBytes(FilePath());
    Start();
    EXPECT_EQ(form->LanguageGLOB, 1);
    EXPECT_EQ(form->TranslateString(15), "Connect");
    EXPECT_EQ(ReadBytes(FilePath()), unmarked); // nothing switched, nothing written
}

TEST_F(Translation, brokenFile_saidOnceWithFileAndLine_englishTexts_fileNeverWrittenOver) {
    WriteShippedMarked({3});
    QByteArray broken = ReadBytes(FilePath());
    // Line 700 (message 198) loses its label: every message after it is in doubt.
    QList<QByteArray> lines = broken.split('\n');
    lines[699] = "String 1;" + lines[699].mid(lines[699].indexOf(';') + 1);
    broken = lines.join('\n');
    QFile file(FilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(broken);
    file.close();
    Start();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].type, TMsgDlgType::mtWarning);
    EXPECT_EQ(dialogs.asked[0].text,
              BuiltInMessageText(Msg::TranslationFileUnusable) +
                  QDir::toNativeSeparators(FilePath()) + u'\n' + BuiltInMessageText(Msg::FileLine) +
                  QStringLiteral("700: \"String 1\" where \"String 198\" belongs"));
    EXPECT_EQ(form->LanguageGLOB, 1);
    EXPECT_EQ(form->Control<TButton>("BSequenceErase").Caption(), "Erase");
    EXPECT_EQ(form->TranslateString(4), BuiltInMessageText(4));
    EXPECT_FALSE(form->SilentControlsEventsGLOB);
    SwitchTo(2);
    EXPECT_EQ(ReadBytes(FilePath()), broken); // left for the user to mend
    EXPECT_EQ(dialogs.asked.size(), 1u);
}

TEST_F(Translation, startUpInTheMarkedLanguage_leavesTheFileAsItIs) {
    WriteShippedMarked({2});
    // Written differently from how the program writes it, so any rewrite shows.
    QByteArray unix = ReadBytes(FilePath()).replace("\r\n", "\n");
    QFile file(FilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(unix);
    file.close();
    Start();
    EXPECT_EQ(form->LanguageGLOB, 2);
    EXPECT_EQ(form->Control<TButton>("BSequenceErase").Caption(), "Elimina");
    EXPECT_EQ(ReadBytes(FilePath()), unix);
    SwitchTo(2); // the language in use again: the marker does not move
    EXPECT_EQ(ReadBytes(FilePath()), unix);
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(Translation, markerThatCannotBeStored_startUpStillCompletes_andSaysSoOnce) {
    WriteShippedMarked({2, 3}); // two marks: the start-up must rewrite the marker
    const QByteArray before = ReadBytes(FilePath());
    {
        qvtest::FilesCannotGrow readOnly;
        Start();
        SwitchTo(4);
    }
    EXPECT_FALSE(form->SilentControlsEventsGLOB) << "start-up stopped";
    EXPECT_EQ(form->LanguageGLOB, 4);
    EXPECT_EQ(form->Control<TButton>("BSequenceErase").Caption(), "Borrar");
    const auto failures =
        std::count_if(dialogs.asked.begin(), dialogs.asked.end(), [](const auto& q) {
            return q.text.contains("Cannot write file") && q.type == TMsgDlgType::mtWarning;
        });
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(dialogs.asked.front().text.left(20),
              Table().Cell(3, MessageRow(Msg::LanguageNotStored)).left(20));
    EXPECT_EQ(ReadBytes(FilePath()), before);
    // Edits are captured afterwards.
    form->Control<TSpinEdit>("SEUpShiftActuationMainLoadActuationPower").SetValue(77);
    EXPECT_EQ(form->Sequence.Count(), 1);
}

TEST_F(Translation, readOnlyProgramFolder_writesGoToTheSeededUserFolder_shippedFilesUntouched) {
    QTemporaryDir user;
    SetUserDataFolder(user.path());
    SetFolderWritableCheck([this](const QString& cfg) { return cfg != dataDir.filePath("CFG"); });
    WriteShippedMarked({1});
    QDir(dataDir.path()).mkpath("FW/avrdude");
    QFile tool(dataDir.filePath("FW/avrdude/avrdude"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QByteArray shippedTable = ReadBytes(FilePath());
    const QByteArray shippedCommands = ReadBytes(dataDir.filePath("CFG/Commands.CSV"));

    Start();
    EXPECT_FALSE(form->SilentControlsEventsGLOB);
    EXPECT_EQ(DataFolder(), user.path());
    EXPECT_TRUE(UsesUserDataCopy());
    EXPECT_EQ(ReadBytes(user.filePath("CFG/Commands.CSV")), shippedCommands);
    EXPECT_TRUE(QFileInfo(user.filePath("FW/avrdude/avrdude")).isExecutable());

    SwitchTo(3);
    EXPECT_EQ(ReadTable(user.filePath("CFG/Translations.CSV")).Cell(4, 0), "[FRANCAIS]");
    form->BSaveCommandsClick(form.get());
    EXPECT_TRUE(dialogs.asked.empty());
    form->Control<TButton>("BSaveConfig").setEnabled(true);
    form->PCBVersionGLOB = 43;
    dialogs.fileAnswers = {user.filePath("CFG/mine.QCF")};
    form->BSaveConfigClick(form.get());
    EXPECT_EQ(form->SaveDialog->InitialDir, user.filePath("CFG") + '/');
    EXPECT_TRUE(QFile::exists(user.filePath("CFG/mine.QCF")));
    EXPECT_EQ(ReadBytes(FilePath()), shippedTable);
    EXPECT_EQ(ReadBytes(dataDir.filePath("CFG/Commands.CSV")), shippedCommands);

    // The next start keeps the user's copy and choice; nothing is copied over it.
    form.reset();
    SetFolderWritableCheck([this](const QString& cfg) { return cfg != dataDir.filePath("CFG"); });
    Start();
    EXPECT_EQ(form->LanguageGLOB, 3);
    form.reset();
    SetFolderWritableCheck(nullptr);
    SetUserDataFolder(QString());
}

TEST_F(Translation, shortTable_missingMessagesInEnglish_missingCaptionsAsDesigned) {
    WriteShippedMarked({2});
    StringGridModel table = ReadTable(FilePath());
    for (int row = MessageRow(10); row < table.RowCount(); ++row)
        for (int col = 0; col < table.ColCount(); ++col)
            table.SetCell(col, row, QString()); // a file that ends after message 9
    for (int row = 1; row <= TranslationLayout::LastControlRow; ++row)
        if (table.Cell(0, row) == "BSequenceErase")
            table.SetCell(LanguageColumn(2), row, QString());
    SaveStringGridToCSV(table, FilePath());
    Start();
    EXPECT_EQ(form->LanguageGLOB, 2);
    EXPECT_EQ(form->TranslateString(4), table.Cell(3, MessageRow(4))); // Italian, as it is there
    EXPECT_EQ(form->TranslateString(17), BuiltInMessageText(17));
    EXPECT_FALSE(form->TranslateString(17).isEmpty());
    EXPECT_EQ(form->TranslateString(Msg::CaptionConnect), "Connect");
    EXPECT_EQ(form->Control<TButton>("BSequenceErase").Caption(), "Erase");
    EXPECT_EQ(form->Control<TButton>("BSequenceDiscard").Caption(), "Scarta");
}

// ------------------------------------------------------------------ Empty, connect caption

TEST_F(Translation, emptyAsksFirstAndNoKeepsTheTable) {
    WriteShippedMarked({1});
    Start();
    dialogs.messageAnswers = {mrNo, mrYes};
    form->Control<TButton>("BEmptyTranslation").click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].type, TMsgDlgType::mtWarning);
    EXPECT_EQ(dialogs.asked[0].text, form->TranslateString(22));
    EXPECT_EQ(Table().Cell(0, 1), "GBSystemInfo");
    form->Control<TButton>("BEmptyTranslation").click();
    EXPECT_EQ(Table().Cell(0, 0), "");
    EXPECT_EQ(Table().Cell(2, MessageRow(1)), "");
    EXPECT_EQ(ReadBytes(FilePath()).size(), QFileInfo(ShippedTranslations).size());
}

TEST_F(Translation, closedLinkCaptionIsRecognisedInEnglishAndInTheCurrentLanguage) {
    WriteShippedMarked({5});
    Start();
    auto& button = form->Control<TButton>("BSerialCommunicationConnectDisconnect");
    button.SetCaption("Connect");
    EXPECT_TRUE(form->LinkClosedCaptionShown());
    button.SetCaption(form->TranslateString(15));
    EXPECT_TRUE(form->LinkClosedCaptionShown());
    button.SetCaption(form->TranslateString(13));
    EXPECT_FALSE(form->LinkClosedCaptionShown());
}

// ------------------------------------------------------------------ the shipped file

TEST_F(Translation, shippedFileIsCreateOnTheWindowFilledFromTheTexts) {
    Start(); // no translation file: the designed English texts
    form->BCreateTranslationClick(form.get());
    const FillReport report = FillTranslationTableFromFolder(Table(), TextsFolder);
    EXPECT_TRUE(report.missingTexts.isEmpty()) << report.missingTexts.join(" | ").toStdString();
    SaveStringGridToCSV(Table(), FilePath());
    if (qEnvironmentVariableIntValue("QV_WRITE_TRANSLATIONS") == 1) {
        QFile::remove(ShippedTranslations);
        ASSERT_TRUE(QFile::copy(FilePath(), ShippedTranslations));
    }
    EXPECT_TRUE(ReadBytes(FilePath()) == ReadBytes(ShippedTranslations))
        << "CFG/Translations.CSV is stale: run this test with QV_WRITE_TRANSLATIONS=1";
}

TEST(ShippedTranslations, everyControlAndMessageCellIsFilledAndEnglishIsMarked) {
    const StringGridModel grid = ReadTable(ShippedTranslations);
    EXPECT_EQ(grid.Cell(2, 0), "[ENGLISH]");
    EXPECT_EQ(MarkedLanguage(grid), 1);
    const int last = LastControlRow(grid);
    EXPECT_GT(last, 200);
    for (int row = 1; row <= last; ++row)
        for (int col = 0; col <= 6; ++col)
            EXPECT_FALSE(grid.Cell(col, row).isEmpty()) << "row " << row << " column " << col;
    int messages = 0;
    while (!grid.Cell(2, MessageRow(messages + 1)).isEmpty())
        ++messages;
    EXPECT_GE(messages, 25);
    for (int n = 1; n <= messages; ++n)
        for (int col = 2; col <= 6; ++col)
            EXPECT_FALSE(grid.Cell(col, MessageRow(n)).isEmpty())
                << "message " << n << " column " << col;
}

// The text a component shows for a row of the table.
QString ShownText(QObject* component, const QString& property) {
    if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
        if (property == "Caption")
            return radio->Caption();
        return radio->Items().value(property.mid(5).toInt());
    }
    if (auto* group = qobject_cast<TGroupBox*>(component))
        return group->Caption();
    if (auto* label = qobject_cast<TLabel*>(component))
        return label->Caption();
    if (auto* button = qobject_cast<TButton*>(component))
        return button->Caption();
    if (auto* check = qobject_cast<TCheckBox*>(component))
        return check->Caption();
    if (auto* page = qobject_cast<TTabSheet*>(component))
        return page->Caption();
    return {};
}

TEST_F(Translation, inEachLanguageEveryTranslatableControlShowsItsCell) {
    const StringGridModel shipped = ReadTable(ShippedTranslations);
    const int last = LastControlRow(shipped);
    ASSERT_GT(last, 200);
    for (int language = 1; language <= 5; ++language) {
        SCOPED_TRACE(language);
        WriteShippedMarked({language});
        Start();
        ASSERT_EQ(form->LanguageGLOB, language);
        int wrong = 0;
        for (int row = 2; row <= last; ++row) {
            QObject* component = form->FindComponent(shipped.Cell(0, row));
            ASSERT_TRUE(component) << row;
            QString expected = shipped.Cell(LanguageColumn(language), row);
            const bool framed =
                qobject_cast<TGroupBox*>(component) ||
                (qobject_cast<TRadioGroup*>(component) && shipped.Cell(1, row) == "Caption");
            if (framed)
                expected = Framed(expected);
            if (ShownText(component, shipped.Cell(1, row)) != expected && ++wrong < 5)
                ADD_FAILURE() << shipped.Cell(0, row).toStdString() << " shows "
                              << ShownText(component, shipped.Cell(1, row)).toStdString();
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(form->TranslateString(4), shipped.Cell(LanguageColumn(language), MessageRow(4)));
        form.reset();
    }
}

} // namespace

// The shipped texts of every language fit the window's 1200 x 729 pixels:
// none of them makes the layout ask for more, and the window keeps its size.
TEST_F(Translation, shippedTextsOfEveryLanguageFitTheWindowsSize) {
    ASSERT_TRUE(QFile::copy(ShippedTranslations, FilePath()));
    Start();
    const QSize designSize = form->size();
    EXPECT_EQ(designSize, QSize(1200, 729));
    for (int language : {2, 3, 4, 5, 1}) {
        SwitchTo(language);
        QApplication::processEvents();
        const QSize needed = form->minimumSizeHint();
        EXPECT_LE(needed.width(), designSize.width()) << "language " << language;
        EXPECT_LE(needed.height(), designSize.height()) << "language " << language;
        EXPECT_EQ(form->size(), designSize) << "language " << language;
    }
}
