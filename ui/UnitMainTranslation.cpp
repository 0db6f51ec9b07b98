// The translation page: the table of window and message texts, its file, and
// switching the window to another language.
#include "translation/MessageNumbers.h"
#include "translation/ToolkitTranslations.h"
#include "translation/TranslationTable.h"
#include "ui/ErrorReport.h"
#include "ui/Inventory.h"
#include "util/ProgramPaths.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "ui/UnitsPage.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace {

QString TranslationFilePath() {
    return DataFolder() + u'/' + QString::fromLatin1(TranslationLayout::FileName);
}

QStringList TitleRow(const StringGridModel& grid) {
    QStringList titles;
    for (int col = 0; col < grid.ColCount(); ++col)
        titles.append(grid.Cell(col, 0));
    return titles;
}

// The language buttons by language number, 1 English .. 5 German.
const char* const LanguageButtons[] = {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                                       "BTranslateSpanish", "BTranslateGerman"};
// Each language by its own name, as the language button's menu lists them.
const char* const LanguageOwnNames[] = {"English", "Italiano", "Fran\u00e7ais", "Espa\u00f1ol",
                                        "Deutsch"};
const QString LanguageChoiceName = QStringLiteral("BCommunicationLanguage");
// Narrower than the status label above it, whatever it says, so that the
// group keeps its width.
constexpr int LanguageChoiceWidth = 46;

// The caption a component was designed with; empty for one not in the layout.
QString DesignCaptionOf(const QString& name) {
    for (const InventoryItem& item : MainWindowInventory())
        if (name == QLatin1String(item.name))
            return QString::fromUtf8(item.caption);
    return {};
}

QString CaptionOf(const QObject* component) {
    if (auto* label = qobject_cast<const TLabel*>(component))
        return label->Caption();
    if (auto* button = qobject_cast<const TButton*>(component))
        return button->Caption();
    if (auto* check = qobject_cast<const TCheckBox*>(component))
        return check->Caption();
    if (auto* page = qobject_cast<const TTabSheet*>(component))
        return page->Caption();
    if (auto* radio = qobject_cast<const TRadioGroup*>(component))
        return radio->Caption();
    if (auto* group = qobject_cast<const TGroupBox*>(component))
        return group->Caption();
    return {};
}

ComponentTexts TextsOf(const QObject* component) {
    ComponentTexts texts;
    texts.name = component->objectName();
    texts.kind = TranslatableKindOfClassName(TFormMain::ClassName(component));
    if (const TComponent* props = AsComponent(const_cast<QObject*>(component)))
        texts.tag = props->Tag();
    texts.caption = CaptionOf(component);
    if (auto* radio = qobject_cast<const TRadioGroup*>(component))
        texts.items = radio->Items();
    return texts;
}

// A button keeps the width its caption needs, as the layout sized it: fixed
// inside a group, at least that wide elsewhere.
void FitButtonToCaption(TButton& button) {
    const int width =
        std::max(56, TFormMain::TextWidth(&button, CaptionToDisplayText(button.Caption())) + 20);
    if (button.minimumWidth() == button.maximumWidth())
        button.setFixedWidth(width);
    else
        button.setMinimumWidth(width);
}

void ApplyRadioItems(TRadioGroup& radio, const TextAction& action) {
    // One rebuild, so the selected item (the shown value) survives the switch.
    if (action.replaceItems)
        radio.SetItems(action.items);
    else
        radio.SetItems(radio.Items() + action.items);
}

void ApplyTextAction(TFormMain& form, const TextAction& action) {
    QObject* component = form.FindComponent(action.name);
    if (auto* radio = qobject_cast<TRadioGroup*>(component)) {
        if (action.caption)
            radio->SetCaption(*action.caption);
        ApplyRadioItems(*radio, action);
        return;
    }
    if (!action.caption)
        return;
    if (auto* label = qobject_cast<TLabel*>(component)) {
        label->SetCaption(*action.caption);
    } else if (auto* button = qobject_cast<TButton*>(component)) {
        button->SetCaption(*action.caption);
        FitButtonToCaption(*button);
    } else if (auto* page = qobject_cast<TTabSheet*>(component)) {
        page->SetCaption(*action.caption);
    } else if (auto* group = qobject_cast<TGroupBox*>(component)) {
        group->SetCaption(*action.caption);
    } else if (auto* check = qobject_cast<TCheckBox*>(component)) {
        check->SetCaption(*action.caption);
        // Text width + 17 is the box and gap of the classic check box; this
        // toolkit draws a wider box, so its own size hint is the floor that
        // keeps the caption uncut. The marker follows its check box (layout).
        if (action.width)
            check->setFixedWidth(std::max(*action.width, check->sizeHint().width()));
    }
}

} // namespace

// ---------------------------------------------------------------- captions

bool TFormMain::LinkClosedCaptionShown() const {
    const QString caption =
        Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect")).Caption();
    const QString translated = TranslateString(Msg::CaptionConnect);
    return caption == QLatin1String("Connect") || (!translated.isEmpty() && caption == translated);
}

std::vector<ComponentTexts> TFormMain::WindowComponentTexts() const {
    std::vector<ComponentTexts> texts;
    texts.reserve(size_t(ComponentCount()));
    for (const QObject* component : ComponentList())
        texts.push_back(TextsOf(component));
    return texts;
}

// ---------------------------------------------------------------- the page's buttons

void TFormMain::BCreateTranslationClick(QObject*) {
    CreateTranslationTable(Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
                           WindowComponentTexts());
}

void TFormMain::BEmptyTranslationClick(QObject*) {
    if (!AskYesNo(TranslateString(Msg::EmptyTranslation), TMsgDlgType::mtWarning))
        return;
    EmptyTranslationTable(Control<TStringGrid>(QStringLiteral("SGTranslation")).Model());
}

void TFormMain::BLoadTranslationClick(QObject*) {
    LoadTranslationFile(Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
                        TranslationFilePath());
}

void TFormMain::BSaveTranslationClick(QObject*) {
    SaveStringGridToCSV(Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
                        TranslationFilePath());
}

// ---------------------------------------------------------------- language switch

void TFormMain::BTranslateEnglishClick(QObject* Sender) {
    const TComponent* button = AsComponent(Sender);
    const int language = button ? button->Tag() : 0;
    if (!IsValidLanguage(language))
        return;
    LanguageGLOB = language;
    // The toolkit's stock buttons and file dialogs follow; without Qt's
    // catalogue for the language they stay English.
    UseToolkitTranslations(language);
    ShowLanguageChoice();
    StringGridModel& grid = Control<TStringGrid>(QStringLiteral("SGTranslation")).Model();
    const TLabel& measure = Control<TLabel>(QStringLiteral("LRatiosRpmRPMLimiter"));
    WindowTextsQuery window;
    window.componentKind = [this](const QString& name) -> std::optional<TranslatableKind> {
        const QObject* component = FindComponent(name);
        if (!component)
            return std::nullopt;
        return TranslatableKindOfClassName(ClassName(component));
    };
    window.textWidth = [&measure](const QString& text) { return TextWidth(&measure, text); };
    window.designCaption = [](const QString& name) { return DesignCaptionOf(name); };
    for (const TextAction& action : LanguageSwitchActions(grid, language, window))
        ApplyTextAction(*this, action);
    // The captions that follow the link state are not the table's.
    ShowLinkStateTexts();
    const QStringList titlesBefore = TitleRow(grid);
    MarkLanguageColumn(grid, language);
    // The marker in the file is how the choice survives to the next start;
    // the file is written only when the marker moved.
    if (TitleRow(grid) != titlesBefore)
        StoreLanguageChoice(Sender);
    Q_EMIT LanguageSwitched();
}

// A folder that cannot be written must not stop the window: the language
// stays switched, and the user hears of the failure once.
void TFormMain::StoreLanguageChoice(QObject* Sender) {
    if (translationFileUnusable_)
        return;
    try {
        BSaveTranslationClick(Sender);
    } catch (const EInOutError& error) {
        if (languageStoreFailureShown_)
            return;
        languageStoreFailureShown_ = true;
        ShowMessage(TranslateString(Msg::LanguageNotStored) + error.Message(),
                    TMsgDlgType::mtWarning);
    }
}

// A file that cannot be used is not loaded: the window keeps its English
// texts, says so once, naming the file and the line, and never writes over
// the file (a language switch is then not stored).
void TFormMain::LoadStandardTranslation() {
    StringGridModel& grid = Control<TStringGrid>(QStringLiteral("SGTranslation")).Model();
    const QString path = TranslationFilePath();
    if (!QFileInfo::exists(path))
        return;
    QStringList lines;
    std::optional<TranslationFileFault> fault;
    try {
        lines = ReadCsvLines(path);
        fault = CheckTranslationLines(lines);
    } catch (const EInOutError& unreadable) {
        fault = TranslationFileFault{0, unreadable.Message()};
    }
    if (fault) {
        translationFileUnusable_ = true;
        QString text =
            TranslateString(Msg::TranslationFileUnusable) + QDir::toNativeSeparators(path);
        if (fault->line > 0)
            text += u'\n' + TranslateString(Msg::FileLine) + QString::number(fault->line);
        ShowMessage(text + QStringLiteral(": ") + fault->reason, TMsgDlgType::mtWarning);
        return;
    }
    LoadStringGridFromLines(grid, lines);
    // A switch rewrites the titles, so only the first marked column counts.
    for (int language = TranslationLayout::FirstLanguage;
         language <= TranslationLayout::LastLanguage; ++language) {
        if (grid.Cell(LanguageColumn(language), 0).startsWith(u'['))
            BTranslateEnglishClick(
                FindComponent(QString::fromLatin1(LanguageButtons[language - 1])));
    }
}

// ---------------------------------------------------------------- language button

void TFormMain::WireLanguageChoice() {
    auto& button = Control<TButton>(LanguageChoiceName);
    auto* menu = new QMenu(&button);
    auto* group = new QActionGroup(menu);
    for (int language = TranslationLayout::FirstLanguage;
         language <= TranslationLayout::LastLanguage; ++language) {
        QAction* action = menu->addAction(QString::fromUtf8(LanguageOwnNames[language - 1]));
        action->setCheckable(true);
        action->setData(language);
        group->addAction(action);
        connect(action, &QAction::triggered, this, Reported([this, language](bool) {
                    ClickLanguageButton(LanguageButtons[language - 1]);
                }));
    }
    button.setMenu(menu);
    button.setFixedWidth(LanguageChoiceWidth);
    QStringList names;
    for (const char* name : LanguageOwnNames)
        names << QString::fromUtf8(name);
    button.setToolTip(names.join(QStringLiteral(" \u00b7 ")));
    ShowLanguageChoice();
}

void TFormMain::ShowLanguageChoice() {
    auto& button = Control<TButton>(LanguageChoiceName);
    // Before start-up the designed caption stands.
    if (const QString code = LanguageCode(LanguageGLOB); !code.isEmpty())
        button.SetCaption(code.toUpper());
    if (QMenu* menu = button.menu()) {
        for (QAction* action : menu->actions())
            action->setChecked(action->data().toInt() == LanguageGLOB);
    }
}
