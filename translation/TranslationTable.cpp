#include "translation/TranslationTable.h"

#include "translation/TranslationTexts.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QFileInfo>
#include <array>

namespace L = TranslationLayout;

namespace {

const std::array<const char*, 5> LanguageTitles = {"ENGLISH", "ITALIANO", "FRANCAIS", "ESPANOL",
                                                   "DEUTSCH"};

const QString CaptionProperty = QStringLiteral("Caption");
const QString ItemPropertyPrefix = QStringLiteral("Item ");

QString BracketedTitle(int language) {
    return u'[' + LanguageTitle(language) + u']';
}

void EnsureLayoutSize(StringGridModel& grid) {
    if (grid.ColCount() < L::ColumnCount)
        grid.SetColCount(L::ColumnCount);
    if (grid.RowCount() < L::RowCount)
        grid.SetRowCount(L::RowCount);
}

void EmptyRows(StringGridModel& grid, int firstRow, int lastRow) {
    for (int row = firstRow; row <= lastRow; ++row)
        for (int col = 0; col < L::ColumnCount; ++col)
            grid.SetCell(col, row, QString());
}

void WriteTitles(StringGridModel& grid) {
    grid.SetCell(L::ComponentColumn, 0, QStringLiteral("COMPONENT"));
    grid.SetCell(L::PropertyColumn, 0, QStringLiteral("PROPERTY"));
    for (int language = L::FirstLanguage; language <= L::LastLanguage; ++language)
        grid.SetCell(LanguageColumn(language), 0, LanguageTitle(language));
    grid.SetCell(LanguageColumn(L::FirstLanguage), 0, BracketedTitle(L::FirstLanguage));
}

void LabelMessageRows(StringGridModel& grid) {
    for (int n = 1; n <= L::MessageCount; ++n)
        grid.SetCell(L::ComponentColumn, MessageRow(n), MessageLabel(n));
}

bool IsTranslated(const ComponentTexts& component) {
    return component.tag == 0 && component.kind != TranslatableKind::Other &&
           component.caption != component.name;
}

bool HasFramedCaption(TranslatableKind kind) {
    return kind == TranslatableKind::GroupBox || kind == TranslatableKind::RadioGroup;
}

// The English text a component's caption is stored as.
QString StoredCaption(const ComponentTexts& component) {
    return HasFramedCaption(component.kind) ? component.caption.trimmed() : component.caption;
}

// One row of a new table: the English text doubles as the placeholder of
// every translation.
struct TextRow {
    QString property;
    QString english;
};

std::vector<TextRow> TextRowsOf(const ComponentTexts& component) {
    std::vector<TextRow> rows{{CaptionProperty, StoredCaption(component)}};
    if (component.kind == TranslatableKind::RadioGroup)
        for (int i = 0; i < component.items.size(); ++i)
            rows.push_back({ItemPropertyPrefix + QString::number(i), component.items[i]});
    return rows;
}

void WriteTextRow(StringGridModel& grid, int row, const QString& name, const TextRow& text) {
    grid.SetCell(L::ComponentColumn, row, name);
    grid.SetCell(L::PropertyColumn, row, text.property);
    for (int language = L::FirstLanguage; language <= L::LastLanguage; ++language)
        grid.SetCell(LanguageColumn(language), row, text.english);
}

QString Framed(const QString& text) {
    return u' ' + text + u' ';
}

// Appends Text to the radio group action that the previous rows opened for
// the same group. Without one (its caption row was not applied, for example
// because it is row 1) an "Item 0" row starts a fresh list, so that switching
// twice does not pile the items up; a later item only appends.
void AddRadioItem(std::vector<TextAction>& actions, const QString& name, const QString& property,
                  const QString& text) {
    if (!actions.empty() && actions.back().name == name &&
        actions.back().kind == TranslatableKind::RadioGroup) {
        actions.back().items.append(text);
        return;
    }
    TextAction action;
    action.name = name;
    action.kind = TranslatableKind::RadioGroup;
    action.replaceItems = property == ItemPropertyPrefix + u'0';
    action.items.append(text);
    actions.push_back(action);
}

TextAction CaptionAction(const QString& name, TranslatableKind kind, const QString& text,
                         const WindowTextsQuery& window) {
    TextAction action;
    action.name = name;
    action.kind = kind;
    switch (kind) {
    case TranslatableKind::GroupBox:
        action.caption = Framed(text);
        break;
    case TranslatableKind::RadioGroup:
        action.caption = Framed(text);
        action.replaceItems = true;
        break;
    case TranslatableKind::CheckBox: {
        action.caption = text;
        const int textWidth = window.textWidth ? window.textWidth(text) : 0;
        action.width = textWidth + CheckBoxExtraWidth;
        const QString marker = u'S' + name;
        if (window.componentKind(marker).has_value()) {
            action.markerName = marker;
            action.markerWidth = textWidth + CheckBoxMarkerExtraWidth;
        }
        break;
    }
    default:
        action.caption = text;
        break;
    }
    return action;
}

} // namespace

bool IsValidLanguage(int language) {
    return language >= L::FirstLanguage && language <= L::LastLanguage;
}

int LanguageColumn(int language) {
    return language + 1;
}

QString LanguageTitle(int language) {
    if (!IsValidLanguage(language))
        return {};
    return QString::fromLatin1(LanguageTitles[static_cast<size_t>(language - 1)]);
}

int MessageRow(int messageNumber) {
    return messageNumber + L::LastControlRow;
}

QString MessageLabel(int messageNumber) {
    return QStringLiteral("String ") + StrAlignFill(QString::number(messageNumber), 3,
                                                    QStringLiteral("R"), QStringLiteral("0"));
}

std::optional<TranslationFileFault> CheckTranslationLines(const QStringList& lines) {
    if (lines.isEmpty())
        return TranslationFileFault{0, QStringLiteral("the file is empty")};
    if (lines.size() > L::RowCount)
        return TranslationFileFault{
            0,
            QStringLiteral("the file has %1 lines, %2 at most").arg(lines.size()).arg(L::RowCount)};
    for (int row = 0; row < lines.size(); ++row) {
        const int columns = int(lines[row].count(u';')) + 1;
        if (columns < L::ColumnCount)
            return TranslationFileFault{
                row + 1,
                QStringLiteral("%1 columns where %2 are needed").arg(columns).arg(L::ColumnCount)};
    }
    const QStringList titles = lines.first().split(u';');
    QStringList expected = {QStringLiteral("COMPONENT"), QStringLiteral("PROPERTY")};
    for (int language = L::FirstLanguage; language <= L::LastLanguage; ++language)
        expected << LanguageTitle(language);
    for (int col = 0; col < L::ColumnCount; ++col) {
        const QString& title = titles[col];
        const bool bracketed =
            col >= LanguageColumn(L::FirstLanguage) && title == u'[' + expected[col] + u']';
        if (title != expected[col] && !bracketed)
            return TranslationFileFault{1, QStringLiteral("the title of column %1 is \"%2\" where "
                                                          "\"%3\" belongs")
                                               .arg(col + 1)
                                               .arg(title.left(40), expected[col])};
    }
    for (int n = 1; n <= L::MessageCount && MessageRow(n) < lines.size(); ++n) {
        const QString label = lines[MessageRow(n)].section(u';', 0, 0);
        if (!label.isEmpty() && label != MessageLabel(n))
            return TranslationFileFault{
                MessageRow(n) + 1,
                QStringLiteral("\"%1\" where \"%2\" belongs").arg(label.left(40), MessageLabel(n))};
    }
    return std::nullopt;
}

QString TranslateString(const StringGridModel& grid, int language, int messageNumber) {
    if (messageNumber < 1 || messageNumber > L::MessageCount)
        return {};
    // Before any language is chosen (a start-up that ended early) the texts
    // are English.
    if (!IsValidLanguage(language))
        language = L::FirstLanguage;
    const int row = MessageRow(messageNumber);
    QString text = grid.Cell(LanguageColumn(language), row);
    // A text the table lacks in this language: its English text, from the
    // table or else the one built into the program.
    if (text.isEmpty())
        text = grid.Cell(LanguageColumn(L::FirstLanguage), row);
    if (text.isEmpty())
        text = BuiltInMessageText(messageNumber);
    return text;
}

TranslatableKind TranslatableKindOfClassName(const QString& className) {
    static const std::array<std::pair<const char*, TranslatableKind>, 6> kinds = {{
        {"TLabel", TranslatableKind::Label},
        {"TButton", TranslatableKind::Button},
        {"TCheckBox", TranslatableKind::CheckBox},
        {"TTabSheet", TranslatableKind::TabSheet},
        {"TGroupBox", TranslatableKind::GroupBox},
        {"TRadioGroup", TranslatableKind::RadioGroup},
    }};
    for (const auto& [name, kind] : kinds)
        if (className == QLatin1String(name))
            return kind;
    return TranslatableKind::Other;
}

CreateResult CreateTranslationTable(StringGridModel& grid,
                                    const std::vector<ComponentTexts>& components) {
    EnsureLayoutSize(grid);
    EmptyRows(grid, 0, L::LastControlRow);
    LabelMessageRows(grid);
    WriteTitles(grid);

    CreateResult result;
    int row = 0;
    for (const ComponentTexts& component : components) {
        if (!IsTranslated(component))
            continue;
        for (const TextRow& text : TextRowsOf(component)) {
            // Past row 501 lie the message texts, which must survive.
            if (row == L::LastControlRow) {
                ++result.textsLeftOut;
                continue;
            }
            WriteTextRow(grid, ++row, component.name, text);
        }
    }
    result.lastRowUsed = row;
    return result;
}

void EmptyTranslationTable(StringGridModel& grid) {
    EmptyRows(grid, 0, grid.RowCount() - 1);
}

void MarkLanguageColumn(StringGridModel& grid, int language) {
    if (!IsValidLanguage(language))
        return;
    for (int other = L::FirstLanguage; other <= L::LastLanguage; ++other)
        grid.SetCell(LanguageColumn(other), 0,
                     other == language ? BracketedTitle(other) : LanguageTitle(other));
}

std::optional<int> MarkedLanguage(const StringGridModel& grid) {
    for (int language = L::FirstLanguage; language <= L::LastLanguage; ++language)
        if (grid.Cell(LanguageColumn(language), 0).startsWith(u'['))
            return language;
    return std::nullopt;
}

std::vector<TextAction> LanguageSwitchActions(const StringGridModel& grid, int language,
                                              const WindowTextsQuery& window) {
    std::vector<TextAction> actions;
    if (!IsValidLanguage(language) || !window.componentKind)
        return actions;
    const int column = LanguageColumn(language);
    // Row 1 is never applied: the first text "Create" found keeps its
    // designed caption.
    for (int row = L::FirstControlRow + 1; row <= L::LastControlRow; ++row) {
        const QString name = grid.Cell(L::ComponentColumn, row);
        if (name.isEmpty())
            continue;
        const std::optional<TranslatableKind> kind = window.componentKind(name);
        if (!kind || *kind == TranslatableKind::Other)
            continue;
        QString text = grid.Cell(column, row);
        const QString property = grid.Cell(L::PropertyColumn, row);
        // A caption the table lacks keeps the designed English one.
        if (text.isEmpty() && property == CaptionProperty && window.designCaption)
            text = HasFramedCaption(*kind) ? window.designCaption(name).trimmed()
                                           : window.designCaption(name);
        if (*kind == TranslatableKind::RadioGroup && property != CaptionProperty) {
            AddRadioItem(actions, name, property, text);
            continue;
        }
        actions.push_back(CaptionAction(name, *kind, text, window));
    }
    return actions;
}

bool LoadTranslationFile(StringGridModel& grid, const QString& fileName) {
    if (!QFileInfo::exists(fileName))
        return false;
    LoadStringGridFromCSV(grid, fileName);
    return true;
}
