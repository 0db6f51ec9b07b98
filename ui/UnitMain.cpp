#include "ui/UnitMain.h"
#include "translation/MessageNumbers.h"
#include "translation/ToolkitTranslations.h"
#include "util/BuildInfo.h"

#include "translation/TranslationTable.h"
#include "ui/ErrorReport.h"
#include "ui/Inventory.h"
#include "ui/Layout.h"
#include "ui/LivePlots.h"
#include "ui/UnitsPage.h"
#include "util/ProgramPaths.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScreen>

TFormMain* FormMain = nullptr;

namespace {
constexpr int ClientWidth = 1200;
constexpr int ClientHeight = 729;

// The window's font: DejaVu Sans at 11 pixels, so text widths and the layout
// are the same on every machine.
QFont WindowFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}
} // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FormMain"));
    SetCaption(QStringLiteral("Quarventa - ") + QLatin1String(BuildInfo::CaptionVersion));
    setFont(WindowFont());
    BuildControls();
    CreateNonVisualComponents();
    ArrangeMainWindow(*this);
    WireLayoutHandlers();
    WatchPorts();
    resize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), QSize(ClientWidth, ClientHeight));
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    qApp->installEventFilter(this);
    if (!FormMain) {
        FormMain = this;
        InstallDialogTexts();
    }
}

// The dialogs' own texts (button captions, the end of a list cut short) come
// from the translation table, in the language in use when they are shown.
void TFormMain::InstallDialogTexts() {
    SetDialogTextSource([this](DialogText text) {
        switch (text) {
        case DialogText::YesToAll:
            return TranslateString(Msg::ButtonYesToAll);
        case DialogText::NoToAll:
            return TranslateString(Msg::ButtonNoToAll);
        case DialogText::Cancel:
            return TranslateString(Msg::ButtonCancel);
        case DialogText::ListAndMore:
            return TranslateString(Msg::ListAndMore);
        case DialogText::ListMore:
            return TranslateString(Msg::ListMore);
        }
        return QString();
    });
}

TFormMain::~TFormMain() {
    qApp->removeEventFilter(this);
    // The page draws from the live session: it goes first, then the session
    // ends an open recording as "program closed".
    delete livePlots_;
    livePlots_ = nullptr;
    // The port's events call into the window: none may come once it goes.
    UnwireSerialPortEvents();
    if (FormMain == this) {
        SetDialogTextSource({});
        FormMain = nullptr;
    }
}

// ---------------------------------------------------------------- registry

QString TFormMain::ClassName(const QObject* component) {
    return component ? QString::fromLatin1(component->metaObject()->className()) : QString();
}

int TFormMain::TextWidth(const QWidget* control, const QString& text) {
    return control->fontMetrics().horizontalAdvance(text);
}

void TFormMain::Register(QObject* component, const QString& name) {
    component->setObjectName(name);
    byName_.insert(name, component);
    components_.append(component);
}

void TFormMain::SetShowHint(bool show) {
    showHint_ = show;
    for (QObject* component : components_) {
        if (TControl* control = AsControl(component))
            control->SetWindowShowHint(show);
    }
}

// ---------------------------------------------------------------- building

void TFormMain::BuildControls() {
    for (const InventoryItem& item : MainWindowInventory())
        Register(CreateControl(item), QString::fromLatin1(item.name));
    // Alt+letter and screen readers reach an edit through its label.
    for (const InventoryItem& item : MainWindowInventory()) {
        if (const InventoryItem* label = LabelOfEdit(item))
            Control<TLabel>(QString::fromLatin1(label->name))
                .setBuddy(&Control<QWidget>(QString::fromLatin1(item.name)));
    }
}

namespace {
QWidget* NewControl(ControlKind kind, QWidget* parent) {
    switch (kind) {
    case ControlKind::Panel:
        return new TPanel(parent);
    case ControlKind::PageControl:
        return new TPageControl(parent);
    case ControlKind::TabSheet:
        return new TTabSheet(parent);
    case ControlKind::GroupBox:
        return new TGroupBox(parent);
    case ControlKind::SpinEdit:
        return new TSpinEdit(parent);
    case ControlKind::Edit:
        return new TEdit(parent);
    case ControlKind::CheckBox:
        return new TCheckBox(parent);
    case ControlKind::RadioGroup:
        return new TRadioGroup(parent);
    case ControlKind::Shape:
        return new TShape(parent);
    case ControlKind::Label:
        return new TLabel(parent);
    case ControlKind::Button:
        return new TButton(parent);
    case ControlKind::SpinButton:
        return new TSpinButton(parent);
    case ControlKind::Led:
        return new TLed(parent);
    case ControlKind::ProgressBar:
        return new TProgressBar(parent);
    case ControlKind::ComboBox:
        return new TComboBox(parent);
    case ControlKind::Memo:
        return new TMemo(parent);
    case ControlKind::StringGrid:
        return new TStringGrid(parent);
    }
    return nullptr;
}

void ApplyCaption(QWidget* widget, const QString& caption) {
    if (auto* label = qobject_cast<TLabel*>(widget))
        label->SetCaption(caption);
    else if (auto* button = qobject_cast<TButton*>(widget))
        button->SetCaption(caption);
    else if (auto* check = qobject_cast<TCheckBox*>(widget))
        check->SetCaption(caption);
    else if (auto* radio = qobject_cast<TRadioGroup*>(widget))
        radio->SetCaption(caption);
    else if (auto* group = qobject_cast<TGroupBox*>(widget))
        group->SetCaption(caption);
    else if (auto* page = qobject_cast<TTabSheet*>(widget))
        page->SetCaption(caption);
}

void ApplyText(QWidget* widget, const QString& text) {
    if (auto* edit = qobject_cast<TEdit*>(widget))
        edit->SetText(text);
    else if (auto* combo = qobject_cast<TComboBox*>(widget))
        combo->SetText(text);
}

void ApplyReadOnly(QWidget* widget) {
    if (auto* spin = qobject_cast<TSpinEdit*>(widget))
        spin->setReadOnly(true);
    else if (auto* edit = qobject_cast<TEdit*>(widget))
        edit->setReadOnly(true);
}

void ApplyGridShape(TStringGrid* grid, const GridShape& shape) {
    grid->SetDefaultColWidth(shape.defaultColWidth);
    grid->SetColCount(shape.cols);
    grid->SetRowCount(shape.rows);
    grid->SetFixedCols(shape.fixedCols);
    grid->SetFixedRows(shape.fixedRows);
    grid->SetCellsEditable(shape.editable);
    grid->SetRowSelect(shape.rowSelect);
}
} // namespace

QObject* TFormMain::CreateControl(const InventoryItem& item) {
    QWidget* parent = this;
    if (*item.parent)
        parent = qobject_cast<QWidget*>(FindComponent(QString::fromLatin1(item.parent)));
    Q_ASSERT(parent);
    QWidget* widget = NewControl(item.kind, parent);
    TControl* control = AsControl(widget);
    widget->setObjectName(QString::fromLatin1(item.name));
    control->SetTag(item.tag);
    control->SetHelpContext(item.helpContext);
    control->SetHelpKeyword(QString::fromUtf8(item.helpKeyword));
    control->SetWindowShowHint(showHint_);

    if (auto* page = qobject_cast<TTabSheet*>(widget)) {
        page->SetCaption(QString::fromUtf8(item.caption));
        qobject_cast<TPageControl*>(parent)->AddPage(page);
        page->SetTabVisible(!(item.flags & InventoryFlag::TabHidden));
    } else {
        ApplyCaption(widget, QString::fromUtf8(item.caption));
    }
    if (auto* radio = qobject_cast<TRadioGroup*>(widget)) {
        radio->SetColumns(item.columns);
        radio->SetItems(QString::fromUtf8(item.items).split(u'|', Qt::SkipEmptyParts));
    }
    if (auto* spin = qobject_cast<TSpinEdit*>(widget))
        spin->SetIncrement(item.increment);
    if (auto* grid = qobject_cast<TStringGrid*>(widget); grid && item.grid.cols > 0)
        ApplyGridShape(grid, item.grid);
    if (*item.text)
        ApplyText(widget, QString::fromUtf8(item.text));
    if (item.color != NoDesignColor)
        control->SetColor(item.color);
    if (item.flags & InventoryFlag::ReadOnly)
        ApplyReadOnly(widget);
    if (item.flags & InventoryFlag::Disabled)
        widget->setEnabled(false);
    // Markers show only once the binding has coloured them.
    if (item.flags & InventoryFlag::Hidden || item.kind == ControlKind::Shape)
        widget->setVisible(false);
    return widget;
}

void TFormMain::CreateNonVisualComponents() {
    for (const NonVisualItem& item : MainWindowNonVisualComponents()) {
        const QString name = QString::fromLatin1(item.name);
        const QString className = QString::fromLatin1(item.className);
        if (className == QLatin1String("TTimer")) {
            auto* timer = new TTimer(this);
            timer->SetInterval(item.interval);
            Register(timer, name);
            // Only TimerAutoConnect runs from creation; the others are one-shot.
            timer->setSingleShot(!item.enabled);
            timer->SetEnabled(item.enabled);
        } else if (className == QLatin1String("TSaveDialog")) {
            SaveDialog = new TSaveDialog(this);
            SaveDialog->SetHelpContext(item.helpContext);
            Register(SaveDialog, name);
        } else if (className == QLatin1String("TOpenDialog")) {
            OpenDialog = new TOpenDialog(this);
            OpenDialog->SetHelpContext(item.helpContext);
            Register(OpenDialog, name);
        } else if (className == QLatin1String("TSerialPort")) {
            SerialPort = CreateSerialPort();
            Register(SerialPort, name);
        }
    }
    TimerConnection = Find<TTimer>(QStringLiteral("TimerConnection"));
    TimerAutoConnect = Find<TTimer>(QStringLiteral("TimerAutoConnect"));
    TimerCalculateBarrelDegrees = Find<TTimer>(QStringLiteral("TimerCalculateBarrelDegrees"));
}

// The serial-port object with its design-time settings. The port is chosen
// before each connection; COM8 is only where it starts.
TSerialPort* TFormMain::CreateSerialPort() {
    auto* port = new TSerialPort(this);
    port->SetCommPort(TSerialPort::StringToCommPort("COM8"));
    port->SetBaudRate(TSerialPort::IntToBaudRate(115200));
    port->SetCustomPortName("vcom1");
    port->SetNewLine(InsertControlChars("[CR][LF]"));
    port->SetPacketSize(0);
    return port;
}

// ---------------------------------------------------------------- handler wiring

void TFormMain::AttachHandler(QObject* component, Handler handler) {
    Q_ASSERT(component);
    const auto call = Reported([this, component, handler] { (this->*handler)(component); });
    // A press ends the user's typing first, so that the button acts on the
    // finished value; a typed text refused as not a number leaves the press
    // without effect.
    const auto press = Reported([this, component, handler] {
        if (FinishTyping())
            (this->*handler)(component);
    });
    if (auto* button = qobject_cast<TButton*>(component))
        connect(button, &TButton::OnClick, this, press);
    else if (auto* check = qobject_cast<TCheckBox*>(component))
        connect(check, &TCheckBox::Click, this, call);
    else if (auto* radio = qobject_cast<TRadioGroup*>(component))
        connect(radio, &TRadioGroup::Click, this, call);
    else if (auto* spin = qobject_cast<TSpinEdit*>(component))
        connect(spin, &TSpinEdit::Change, this, call);
    else if (auto* edit = qobject_cast<TEdit*>(component))
        connect(edit, &TEdit::Change, this, call);
    else if (auto* timer = qobject_cast<TTimer*>(component))
        connect(timer, &TTimer::OnTimer, this, call);
    else
        throw std::logic_error("no notification to attach on " +
                               component->objectName().toStdString());
    if (TComponent* props = AsComponent(component))
        props->SetHandlerAttached(true);
}

void TFormMain::AttachHandler(const QString& name, Handler handler) {
    QObject* component = FindComponent(name);
    if (!component)
        throw std::logic_error("no component " + name.toStdString());
    AttachHandler(component, handler);
}

void TFormMain::AttachSpinButtonHandlers(const QString& name, Handler up, Handler down) {
    auto& arrows = Control<TSpinButton>(name);
    connect(&arrows, &TSpinButton::UpClick, this, Reported([this, &arrows, up] {
        if (FinishTyping())
            (this->*up)(&arrows);
    }));
    connect(&arrows, &TSpinButton::DownClick, this, Reported([this, &arrows, down] {
        if (FinishTyping())
            (this->*down)(&arrows);
    }));
    arrows.SetHandlerAttached(true);
}

// The handlers that belong to controls by layout. Each area adds its own
// lines here as its handlers come into being.
void TFormMain::WireLayoutHandlers() {
    AttachHandler(QStringLiteral("BLoadCommands"), &TFormMain::BLoadCommandsClick);
    AttachHandler(QStringLiteral("BRefreshCommands"), &TFormMain::BRefreshCommandsClick);
    AttachHandler(QStringLiteral("BSaveCommands"), &TFormMain::BSaveCommandsClick);
    // Live telemetry (Ctrl+L toggles the check box, which runs this handler).
    AttachHandler(QStringLiteral("CBLiveActive"), &TFormMain::CBLiveActiveClick);
    WireCalibrationHandlers();
    // Device link: the port object's events, connect, auto-connect, the offer
    // to read the configuration, Get / Apply Config. and the manual command.
    WireSerialPortEvents();
    AttachHandler(QStringLiteral("BSerialCommunicationConnectDisconnect"),
                  &TFormMain::BSerialCommunicationConnectDisconnectClick);
    AttachHandler(TimerAutoConnect, &TFormMain::TimerAutoConnectTimer);
    AttachHandler(TimerConnection, &TFormMain::TimerConnectionTimer);
    AttachHandler(QStringLiteral("BCommunicationGetConfig"),
                  &TFormMain::BCommunicationGetConfigClick);
    AttachHandler(QStringLiteral("BApplyConfig"), &TFormMain::BApplyConfigClick);
    AttachHandler(QStringLiteral("BSend"), &TFormMain::BSendClick);
    // Parameter editing and the change sequence: the generic capture handlers
    // for the binding, the coupled timings, spin buttons, grid and buttons.
    WireEditingHandlers();
    WireSequenceHandlers();
    // Configuration and sequence files: the four file buttons of the sequence page.
    WireFileHandlers();
    // Firmware update: its button and the firmware page's output memo.
    WireFirmwareHandlers();
    // Live plots and recordings: the buttons that need the window; the page's
    // view controls belong to the plots.
    WireLivePlotsHandlers();
    // Restore points: the page's buttons; the page follows the link and the sequence.
    WireRestorePointsHandlers();
    WireUnitHandlers();
    // Units known by name: the page wires its own controls.
    units_ = new UnitsPage(*this);
    // Translation page; the five language buttons share one handler.
    AttachHandler(QStringLiteral("BCreateTranslation"), &TFormMain::BCreateTranslationClick);
    AttachHandler(QStringLiteral("BEmptyTranslation"), &TFormMain::BEmptyTranslationClick);
    AttachHandler(QStringLiteral("BLoadTranslation"), &TFormMain::BLoadTranslationClick);
    AttachHandler(QStringLiteral("BSaveTranslation"), &TFormMain::BSaveTranslationClick);
    for (const char* language : {"BTranslateEnglish", "BTranslateItalian", "BTranslateFrench",
                                 "BTranslateSpanish", "BTranslateGerman"})
        AttachHandler(QString::fromLatin1(language), &TFormMain::BTranslateEnglishClick);
    WireLanguageChoice();
}

// ---------------------------------------------------------------- start-up

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    RunReported([this] { FormShow(this); });
}

void TFormMain::FormShow(QObject*) {
    SequenceActivePositionGLOB = 0;
    SilentControlsEventsGLOB = true;
    SilentActivePageChangeGLOB = false;
    SerialConnectedGLOB = false;
    SerialRequestGLOB = 0;
    RPMFactorGLOB = 60;
    PCBVersionGLOB = 0;
    PCBForceVersionGLOB = 0;
    SetSGSequenceStructure(Control<TStringGrid>(QStringLiteral("SGSequence")).Model());
    for (int index = 1; index <= CommandCount; ++index) {
        Commands.Clear(index);
        ClearSequenceRecord(index);
    }
    // A file that cannot serve as the command table ends the start-up here,
    // reported; the link stays closed.
    if (!LoadCommandTableAtStartUp())
        return;
    AssignCommandsToControls();
    // Until a unit is read, the working copy is the table's defaults.
    Session.Working().ShowDefaults();
    BindOutputTestDurations();
    EnableControls();
    CalculateBarrelDegrees();
    SetLiveControls(QStringLiteral("INACTIVE"));
    Plots().Prepare();
    SerialLoadComPorts();
    auto& translation = Control<TStringGrid>(QStringLiteral("SGTranslation"));
    translation.SetColWidths(0, 300);
    translation.SetColWidths(1, 70);
    for (int col = 2; col <= 6; ++col)
        translation.SetColWidths(col, 200);
    LanguageGLOB = 1;
    UseToolkitTranslations(LanguageGLOB);
    ShowLanguageChoice();
    LoadStandardTranslation();
    SilentControlsEventsGLOB = false;
    ShowOrigin();
    WarnIfCommandTableHoldsNothing();
    // Unit folders from before units had names become named units.
    Units().NameUnnamedFolders();
    // Files of the per-user copy that the user changed although a newer one
    // came with this installation: said once, when the window is up.
    PostReported(this, [this] { TellOfNewerShippedFiles(); });
    // A known adapter that another driver took shows no port: say so once the
    // window is up.
    PostReported(this, [this] { ReportAdaptersWithoutPort(false); });
}

void TFormMain::TellOfNewerShippedFiles() {
    const QStringList files = TakeNewerShippedFiles();
    if (files.isEmpty())
        return;
    QStringList shipped;
    for (const QString& file : files)
        shipped << QDir::toNativeSeparators(ProgramFolder() + u'/' + file);
    ShowMessage(TranslateString(Msg::NewerShippedFilesKept) + QStringLiteral("\n\n") +
                    MessageList(shipped),
                TMsgDlgType::mtInformation);
}

// ---------------------------------------------------------------- closing

void TFormMain::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    RunReported([this, &canClose] { FormCloseQuery(this, canClose); });
    // Only the user's No to closing with unsent changes keeps the window
    // open; a failed disconnect does not.
    event->setAccepted(canClose);
}

void TFormMain::FormCloseQuery(QObject*, bool& CanClose) {
    // Closing while avrdude writes would leave the GCU half programmed.
    if (FirmwareUpdateRunning()) {
        CanClose = false;
        ShowMessage(TranslateString(Msg::CloseDuringFirmwareUpdate), TMsgDlgType::mtWarning);
        return;
    }
    // A value still being typed is a change like any other.
    FinishTyping();
    CanClose = ConfirmCloseWithPendingChanges();
    if (!CanClose)
        return;
    EndLiveRecording(LiveCsv::EndClosed);
    auto& connect = Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
    if (connect.Tag() == 1)
        connect.Click();
}

// ---------------------------------------------------------------- shortcuts

bool TFormMain::IsFirstSightOfKey(QObject* receiver, const QEvent* event) {
    // A key the focused control leaves travels up to its parents; the window
    // acts on it once, where it arrives first.
    auto* widget = qobject_cast<QWidget*>(receiver);
    auto* last = qobject_cast<QWidget*>(lastKeyReceiver_.data());
    const bool propagated =
        event == lastKeyEvent_ && widget && last && widget != last && widget->isAncestorOf(last);
    lastKeyEvent_ = event;
    lastKeyReceiver_ = receiver;
    return !propagated;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || !IsFirstSightOfKey(watched, event))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    RunReported(
        [&] { FormKeyDown(this, key->key(), key->modifiers(), QGuiApplication::mouseButtons()); });
    return false; // the focused control still receives the key
}

void TFormMain::FormKeyDown(QObject*, int Key, Qt::KeyboardModifiers Shift,
                            Qt::MouseButtons Buttons) {
    RunShortcut(ShortcutFor(Key, Shift, Buttons));
}

void TFormMain::RunShortcut(ShortcutAction action) {
    switch (action) {
    case ShortcutAction::None:
        return;
    case ShortcutAction::ToggleLive: {
        auto& live = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
        if (live.isEnabled())
            live.SetChecked(!live.Checked());
        return;
    }
    case ShortcutAction::LanguageEnglish:
        return ClickLanguageButton("BTranslateEnglish");
    case ShortcutAction::LanguageItalian:
        return ClickLanguageButton("BTranslateItalian");
    case ShortcutAction::LanguageFrench:
        return ClickLanguageButton("BTranslateFrench");
    case ShortcutAction::LanguageSpanish:
        return ClickLanguageButton("BTranslateSpanish");
    case ShortcutAction::LanguageGerman:
        return ClickLanguageButton("BTranslateGerman");
    case ShortcutAction::ForcePCBVersion:
        return ForceOrReleasePCBVersion();
    case ShortcutAction::ToggleHints:
        return SetShowHint(!ShowHint());
    case ShortcutAction::ToggleTranslationTab:
        return ToggleTab("TSTranslation");
    case ShortcutAction::ToggleCommandsTab:
        return ToggleTab("TSCommands");
    }
}

// The five language buttons share one click handler, which reads the
// language from the button's tag; the shortcut clicks the button.
void TFormMain::ClickLanguageButton(const char* name) {
    Control<TButton>(QString::fromLatin1(name)).Click();
}

void TFormMain::ToggleTab(const char* pageName) {
    auto& page = Control<TTabSheet>(QString::fromLatin1(pageName));
    page.SetTabVisible(!page.TabVisible());
}

void TFormMain::ForceOrReleasePCBVersion() {
    if (PCBForceVersionGLOB > 0) {
        PCBForceVersionGLOB = 0;
        ShowMessage(TranslateString(Msg::PcbVersionReleased));
        return;
    }
    const QString answer =
        InputBox(QStringLiteral("PCB Version"), QStringLiteral("Ex. 43"), QString());
    if (answer.isEmpty() || !StrIsOnlyNumbers(answer))
        return;
    // A decimal, a lone sign or a comparison sign fails here and is reported;
    // the forced version keeps its value.
    PCBForceVersionGLOB = DisplayTextToInt(answer);
    ShowMessage(TranslateString(Msg::PcbVersionForced) + u' ' + answer);
}

QString TFormMain::TranslateString(int StringIndex) const {
    return ::TranslateString(Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
                             LanguageGLOB, StringIndex);
}

QString TFormMain::PhraseText(const DetailPhrase& phrase) const {
    if (phrase.message == 0) // a text without a message of its own
        return phrase.values.join(u' ');
    return FillPhrase(TranslateString(phrase.message), phrase.values);
}

QString TFormMain::ReasonText(const QvException& error) const {
    return error.Phrase() ? PhraseText(*error.Phrase()) : error.Message();
}
