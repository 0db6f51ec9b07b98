#include "translation/TranslationTable.h"
#include "translation/TranslationTexts.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace L = TranslationLayout;
using Kind = TranslatableKind;

namespace {

const QString TextsFolder = QStringLiteral(QV_SOURCE_DIR "/translation/texts/");

QStringList RawLines(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Checked on the raw text, independently of the loader: every line has exactly
// FieldCount cells (a ";" inside a text would add one) and none is blank.
void ExpectWellFormedTextFile(const QString& fileName, int fieldCount) {
    const QStringList lines = RawLines(fileName);
    ASSERT_GT(lines.size(), 1) << fileName.toStdString();
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split(u';');
        EXPECT_EQ(cells.size(), fieldCount) << "line " << i + 1 << ": " << lines[i].toStdString();
        for (const QString& cell : cells)
            EXPECT_FALSE(cell.trimmed().isEmpty()) << "empty cell on line " << i + 1;
        // The shipped table is written in Windows-1252.
        EXPECT_EQ(FromCp1252(ToCp1252(lines[i])), lines[i]) << "not Windows-1252 on line " << i + 1;
    }
}

void WriteFile(const QString& fileName, const QByteArray& content) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

TEST(ShippedTexts, haveFiveLanguagesInEveryLineWithoutEmptyCells) {
    ExpectWellFormedTextFile(TextsFolder + "Dictionary.csv", 5);
    ExpectWellFormedTextFile(TextsFolder + "Messages.csv", 6);
}

TEST(ShippedTexts, holdEveryMessageFrom1To34) {
    const TranslationMessages messages = LoadTranslationMessages(TextsFolder + "Messages.csv");
    for (int n = 1; n <= 34; ++n)
        EXPECT_TRUE(messages.texts.contains(n)) << "message " << n << " missing";
}

TEST(ShippedTexts, messagePiecesLeaveRoomForWhatTheProgramAppends) {
    const TranslationMessages messages = LoadTranslationMessages(TextsFolder + "Messages.csv");
    // A file name, command word, value or reason follows these directly.
    for (int n : {2,  3,  6,  8,  9,   10,  12,  19,  29,  32,  33,  80,
                  88, 89, 90, 92, 231, 232, 236, 237, 240, 243, 246, 248})
        for (const QString& text : messages.texts.value(n))
            EXPECT_TRUE(text.endsWith(u' ')) << "message " << n << ": " << text.toStdString();
    // These follow a value directly.
    for (int n : {9, 10, 11, 20})
        for (const QString& text : messages.texts.value(n))
            EXPECT_TRUE(text.startsWith(u' ') || text.front().isPunct())
                << "message " << n << ": " << text.toStdString();
    // The program adds its own blank before the forced version.
    for (const QString& text : messages.texts.value(23))
        EXPECT_FALSE(text.endsWith(u' ')) << text.toStdString();
}

TEST(ShippedTexts, connectionTextsMatchTheDesignedEnglishCaptions) {
    const TranslationMessages messages = LoadTranslationMessages(TextsFolder + "Messages.csv");
    const TranslationDictionary dictionary =
        LoadTranslationDictionary(TextsFolder + "Dictionary.csv");
    // Auto-connect compares the button's caption with "Connect".
    EXPECT_EQ(messages.texts.value(15)[0], QStringLiteral("Connect"));
    EXPECT_EQ(messages.texts.value(16)[0], QStringLiteral("No Connection"));
    EXPECT_EQ(messages.texts.value(13)[0], QStringLiteral("Disconnect"));
    EXPECT_EQ(messages.texts.value(14)[0], QStringLiteral("Connected"));
    // The button and label show the same words whether set by design or by message.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(messages.texts.value(15)[static_cast<size_t>(i + 1)],
                  dictionary.texts.value("Connect")[static_cast<size_t>(i)]);
        EXPECT_EQ(messages.texts.value(16)[static_cast<size_t>(i + 1)],
                  dictionary.texts.value("No Connection")[static_cast<size_t>(i)]);
    }
}

TEST(TextFileLoading, rejectsMalformedFilesNamingTheLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("Dictionary.csv");
    const QByteArray header = "ENGLISH;ITALIANO;FRANCAIS;ESPANOL;DEUTSCH\n";
    const QList<QByteArray> bad = {
        "ENGLISH;ITALIANO\nSet;Imposta\n",              // wrong header
        header + "Set;Imposta;Définir;Fijar\n",         // a field missing
        header + "Set;Imposta;Définir;Fijar;Set;zen\n", // a ";" inside a text
        header + "Set;Imposta; ;Fijar;Setzen\n",        // blank field
        header + "Set;a;b;c;d\nSet;e;f;g;h\n",          // listed twice
    };
    for (const QByteArray& content : bad) {
        WriteFile(file, content);
        EXPECT_THROW(LoadTranslationDictionary(file), EInOutError) << content.toStdString();
    }
    WriteFile(file, header + "\r\n Set ;Imposta;Définir;Fijar;Setzen\r\n");
    const TranslationDictionary dictionary = LoadTranslationDictionary(file);
    EXPECT_EQ(dictionary.texts.value("Set")[1], QStringLiteral("Définir"));

    const QString messages = dir.filePath("Messages.csv");
    const QByteArray messageHeader = "N;ENGLISH;ITALIANO;FRANCAIS;ESPANOL;DEUTSCH\n";
    for (const char* number : {"0", "500", "x", "1"}) {
        WriteFile(messages, messageHeader + "1;a;b;c;d;e\n" + number + ";a;b;c;d;e\n");
        EXPECT_THROW(LoadTranslationMessages(messages), EInOutError) << number;
    }
    EXPECT_THROW(LoadTranslationMessages(dir.filePath("absent.csv")), EInOutError);
}

TEST(FillTranslationTable, fillsControlRowsByEnglishTextAndMessageRowsByNumber) {
    StringGridModel grid(L::ColumnCount, L::RowCount);
    CreateTranslationTable(grid, {{"GBGear", Kind::GroupBox, 0, " Gear Detection ", {}},
                                  {"TSRecovery", Kind::TabSheet, 0, "Recovery && Special  ", {}},
                                  {"LNew", Kind::Label, 0, "Brand New", {}},
                                  {"LNew2", Kind::Label, 0, "Brand New", {}},
                                  {"RGLed", Kind::RadioGroup, 0, " Led ", {"RGB"}}});
    grid.SetCell(2, MessageRow(40), QStringLiteral("old text"));
    TranslationDictionary dictionary;
    dictionary.texts.insert("Gear Detection",
                            {"Rilevamento", "Détection", "Detección", "Erkennung"});
    dictionary.texts.insert("Recovery && Special",
                            {"Recovery && speciali", "Secours && spécial",
                             "Recuperación && especial", "Notlauf && Spezial"});
    dictionary.texts.insert("Led", {"Led", "Led", "Led", "LED"});
    dictionary.texts.insert("RGB", {"RGB", "RVB", "RGB", "RGB"});
    TranslationMessages messages;
    messages.texts.insert(5, {"Erase?", "Cancellare?", "Effacer ?", "¿Borrar?", "Löschen?"});

    const FillReport report = FillTranslationTable(grid, dictionary, messages);

    EXPECT_EQ(grid.Cell(3, 1), QStringLiteral("Rilevamento"));
    EXPECT_EQ(grid.Cell(6, 1), QStringLiteral("Erkennung"));
    // The tab's trailing spaces carry over to every language.
    EXPECT_EQ(grid.Cell(4, 2), QStringLiteral("Secours && spécial  "));
    EXPECT_EQ(grid.Cell(2, 2), QStringLiteral("Recovery && Special  "));
    // A text without an entry keeps its English placeholders and is reported once.
    EXPECT_EQ(grid.Cell(5, 3), QStringLiteral("Brand New"));
    EXPECT_EQ(report.missingTexts, QStringList({"Brand New"}));
    EXPECT_EQ(grid.Cell(4, 6), QStringLiteral("RVB"));
    EXPECT_EQ(report.rowsTranslated, 4);

    EXPECT_EQ(report.messagesFilled, 1);
    for (int language = 1; language <= 5; ++language)
        EXPECT_EQ(TranslateString(grid, language, 5),
                  messages.texts.value(5)[static_cast<size_t>(language - 1)]);
    EXPECT_EQ(grid.Cell(2, MessageRow(40)), QStringLiteral("old text"));
}

TEST(FillTranslationTable, shippedTextsSurviveTheTableFile) {
    StringGridModel grid(L::ColumnCount, L::RowCount);
    CreateTranslationTable(
        grid,
        {{"GBSystemInfo", Kind::GroupBox, 0, " System Info ", {}},
         {"BSerialCommunicationConnectDisconnect", Kind::Button, 0, "Connect", {}},
         {"GBInputsOutputsExtraInput", Kind::RadioGroup, 0, " Extra Input ", {"Clutch", "Brake"}},
         {"LSerialLiveGCUTempTitle", Kind::Label, 0, "GCU Temp", {}}});
    const FillReport report = FillTranslationTableFromFolder(grid, TextsFolder);
    EXPECT_TRUE(report.missingTexts.isEmpty()) << report.missingTexts.join(", ").toStdString();
    EXPECT_GE(report.messagesFilled, 34);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SaveStringGridToCSV(grid, dir.filePath("Translations.CSV"));
    StringGridModel loaded(L::ColumnCount, L::RowCount);
    ASSERT_TRUE(LoadTranslationFile(loaded, dir.filePath("Translations.CSV")));

    EXPECT_EQ(loaded.Cell(6, 2), QStringLiteral("Verbinden"));
    EXPECT_EQ(loaded.Cell(3, 4), QStringLiteral("Frizione"));
    // Accents and the trailing blank of a message survive the 8-bit file.
    EXPECT_EQ(TranslateString(loaded, 3, 2), TranslateString(grid, 3, 2));
    EXPECT_TRUE(TranslateString(loaded, 3, 2).endsWith(u' '));
    EXPECT_TRUE(TranslateString(loaded, 4, 25).startsWith(QStringLiteral("La versión")));
}

// The program splits these texts at "|" into column titles and fills the
// counts' placeholders: a translation with a title or a placeholder missing
// would shift or lose a column or a count.
TEST(ShippedTexts, restorePointTitlesAndCountsHaveEveryPartInEveryLanguage) {
    const TranslationMessages messages = LoadTranslationMessages(TextsFolder + "Messages.csv");
    for (const QString& text : messages.texts.value(81))
        EXPECT_EQ(text.split(u'|').size(), 6) << text.toStdString();
    for (const QString& text : messages.texts.value(82))
        EXPECT_EQ(text.split(u'|').size(), 7) << text.toStdString();
    for (const QString& text : messages.texts.value(87))
        for (int n = 1; n <= 7; ++n)
            EXPECT_EQ(text.count(QStringLiteral("%%1").arg(n)), 1)
                << n << ": " << text.toStdString();
}
