#pragma once
// The translation table without a widget: the content of the translation grid
// (window texts and message texts in five languages), building a fresh table
// from the window's own texts, the language marker of the title row, and the
// language switch as a list of caption changes that the window applies.
//
// Layout of the grid (7 columns, rows 0..1000):
//   row 0        titles: "COMPONENT", "PROPERTY", then the five languages; the
//                title of the language in use is written in brackets;
//   rows 1..501  control texts, one per row: name, "Caption" or "Item i", text
//                per language;
//   rows 502..1000 message texts 1..499, labelled "String 001" .. "String 499"
//                (the first 100 are the designed set; the program's own
//                messages continue the numbering in the rows after them).
#include "util/DetailPhrase.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class StringGridModel;

namespace TranslationLayout {
constexpr int ColumnCount = 7;
constexpr int RowCount = 1001;
constexpr int ComponentColumn = 0;
constexpr int PropertyColumn = 1;
constexpr int FirstControlRow = 1;
constexpr int LastControlRow = 501;
constexpr int MessageCount = 499; // rows 502..1000
constexpr int FirstLanguage = 1;  // English
constexpr int LastLanguage = 5;   // German
// Below the program's folder.
inline const char* const FileName = "CFG/Translations.CSV";
} // namespace TranslationLayout

// Languages by number: 1 English, 2 Italian, 3 French, 4 Spanish, 5 German.
bool IsValidLanguage(int language);
// Grid column of a language (language + 1).
int LanguageColumn(int language);
// Plain title of a language column ("ENGLISH", "ITALIANO", "FRANCAIS", "ESPANOL",
// "DEUTSCH"); empty for an unknown language.
QString LanguageTitle(int language);

// Grid row of message N (N + 501).
int MessageRow(int messageNumber);
// Column-0 label of message N: "String " and N with three digits ("String 007").
QString MessageLabel(int messageNumber);

// Why a translation file cannot be used: the file's line (the title line is
// line 1; 0 for the file as a whole) and what is wrong.
struct TranslationFileFault {
    int line = 0;
    QString reason;
};
// Checks the lines of a translation file: a title line of the seven column
// titles (a language title may be in brackets), at most 1001 lines of seven
// columns each, and every labelled message row labelled with its own number
// ("String 007" on line 509). Nothing when the file can be used.
std::optional<TranslationFileFault> CheckTranslationLines(const QStringList& lines);

// Message N (1..499) in the given language. A cell left empty gives the
// English text of the table, else the English text built into the program
// (translation/texts/Messages.csv); a language outside 1..5 (none chosen
// yet) is English; a number outside 1..499 or a message nobody wrote give an
// empty text.
QString TranslateString(const StringGridModel& grid, int language, int messageNumber);
// BuiltInMessageText(N), the English text of message N as built into the
// program, is util/DetailPhrase.h's.

// The kinds of component that take part in translation; every other kind is
// Other. Marker shapes are Other too.
enum class TranslatableKind { Label, Button, CheckBox, TabSheet, GroupBox, RadioGroup, Other };

// Maps a control's class name ("TLabel", "TButton", "TCheckBox", "TTabSheet",
// "TGroupBox", "TRadioGroup") onto its kind; any other name gives Other.
TranslatableKind TranslatableKindOfClassName(const QString& className);

// One component of the window as "Create" sees it.
struct ComponentTexts {
    QString name;
    TranslatableKind kind = TranslatableKind::Other;
    int tag = 0;
    QString caption;   // as designed, spaces included
    QStringList items; // a radio group's items
};

struct CreateResult {
    int lastRowUsed = 0;  // last control row written (0 = none)
    int textsLeftOut = 0; // control texts that did not fit into rows 1..501
};

// "Create": empties rows 0..501, labels the 499 message rows (their texts stay),
// writes the titles with English marked and one row per control text of the
// given components, in their order. Components with a tag other than 0, of
// another kind, or whose caption equals their name are left out; group box
// and radio group captions are stored without surrounding spaces; a radio
// group's items follow its caption row as "Item 0", "Item 1", .... Texts that
// would run past row 501 are not written and are counted instead. A grid
// smaller than the table's layout is enlarged first.
CreateResult CreateTranslationTable(StringGridModel& grid,
                                    const std::vector<ComponentTexts>& components);

// "Empty": every cell of columns 0..6 of every row becomes empty.
void EmptyTranslationTable(StringGridModel& grid);

// Row 0: the column of Language gets its title in brackets, the other four
// language columns their plain titles. An unknown language changes nothing.
void MarkLanguageColumn(StringGridModel& grid, int language);
// The language of the first language column (in column order) whose title
// begins with "["; nullopt when none is marked.
std::optional<int> MarkedLanguage(const StringGridModel& grid);

// One change of a window component that a language switch asks for.
struct TextAction {
    QString name;
    TranslatableKind kind = TranslatableKind::Other;
    // New caption, ready to set (group boxes and radio groups with their
    // spaces); nullopt leaves the caption as it is.
    std::optional<QString> caption;
    // Radio group: when true the item list becomes Items; otherwise Items are
    // appended to the list the group has.
    bool replaceItems = false;
    QStringList items;
    // Check box: new width (text width + 17) ...
    std::optional<int> width;
    // ... and, when its marker "S" + name exists, the marker's new width
    // (text width + 25).
    QString markerName;
    std::optional<int> markerWidth;
};

// What the language switch needs to know about the window.
struct WindowTextsQuery {
    // The kind of the component with that name; nullopt when there is none.
    std::function<std::optional<TranslatableKind>(const QString& name)> componentKind;
    // Pixel width of a text in the window's font.
    std::function<int(const QString& text)> textWidth;
    // The designed (English) caption of a component, which a caption row with
    // an empty cell keeps; without it such a row empties the caption.
    std::function<QString(const QString& name)> designCaption;
};

// Pixels a check box needs beside its caption, and its marker beside it.
constexpr int CheckBoxExtraWidth = 17;
constexpr int CheckBoxMarkerExtraWidth = 25;

// The caption changes for switching to Language, from rows 2..501 whose
// component exists (row 1 is never applied). Item rows of a radio group are
// gathered into the action of its caption row, so the group's item list is
// rebuilt from its item rows in row order; item rows without an applied
// caption row before them start a fresh list at "Item 0" and otherwise append.
// An unknown language gives no action.
std::vector<TextAction> LanguageSwitchActions(const StringGridModel& grid, int language,
                                              const WindowTextsQuery& window);

// Loads the table file into the grid when it exists; a missing file changes
// nothing and gives false. A file that exists but cannot be read raises
// EInOutError.
bool LoadTranslationFile(StringGridModel& grid, const QString& fileName);
