#pragma once
// The texts that fill a translation table: a dictionary of window texts
// (English -> Italian, French, Spanish, German) and the message texts by
// number in all five languages. Both are kept as ";"-separated UTF-8 files
// beside the sources (translation/texts/Dictionary.csv, Messages.csv); the
// filler turns a table made by "Create" into the shipped translation file.
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>

class StringGridModel;

// Italian, French, Spanish, German: the order of the table's columns 3..6.
using Translations = std::array<QString, 4>;
// English, then the four translations: the order of columns 2..6.
using MessageTexts = std::array<QString, 5>;

struct TranslationDictionary {
    // Keyed by the English text without surrounding spaces.
    QHash<QString, Translations> texts;
};

struct TranslationMessages {
    QMap<int, MessageTexts> texts;
};

// File headers, exactly as the files start.
inline const char* const DictionaryHeader = "ENGLISH;ITALIANO;FRANCAIS;ESPANOL;DEUTSCH";
inline const char* const MessagesHeader = "N;ENGLISH;ITALIANO;FRANCAIS;ESPANOL;DEUTSCH";

// Reads the files. Empty lines are skipped; a wrong header, a line with another
// number of fields, an empty field, a repeated English text or message number,
// or a message number outside 1..499 raise EInOutError naming the file and line.
TranslationDictionary LoadTranslationDictionary(const QString& fileName);
TranslationMessages LoadTranslationMessages(const QString& fileName);

struct FillReport {
    int rowsTranslated = 0;   // control rows whose translations were filled
    int messagesFilled = 0;   // message rows filled
    QStringList missingTexts; // English texts without a dictionary entry, once each
};

// Fills columns 3..6 of every control row (rows 1..501 with a name) from the
// dictionary by the row's English text; the translations take over the spaces
// that surround the English text. Rows whose text is missing keep their cells.
// Fills columns 2..6 of the rows of every message in Messages.
FillReport FillTranslationTable(StringGridModel& grid, const TranslationDictionary& dictionary,
                                const TranslationMessages& messages);

// Loads Dictionary.csv and Messages.csv from Folder and fills the grid.
FillReport FillTranslationTableFromFolder(StringGridModel& grid, const QString& folder);
