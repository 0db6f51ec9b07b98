#pragma once
// The control kinds of the main window. Each is a small Qt widget whose class
// name is the one the window logic compares ("TSpinEdit", "TCheckBox", ...),
// with the common properties every control carries (tag, help context and
// keyword, hint, colour). Notifications are raised for program writes exactly
// as for user edits; handlers silence themselves where they must.
#include "ui/Colors.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

class QButtonGroup;
class QToolButton;
class StringGridModel;
class StringGridTableModel;

// Properties every component has, visual or not.
class TComponent {
  public:
    virtual ~TComponent() = default;
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int id) { helpContext_ = id; }
    const QString& HelpKeyword() const { return helpKeyword_; }
    void SetHelpKeyword(const QString& keyword) { helpKeyword_ = keyword; }
    // Whether a handler has been attached to the main notification
    // (change or click); the binding attaches generic handlers only where none is.
    bool HandlerAttached() const { return handlerAttached_; }
    void SetHandlerAttached(bool attached) { handlerAttached_ = attached; }

  private:
    int tag_ = 0;
    int helpContext_ = 0;
    QString helpKeyword_;
    bool handlerAttached_ = false;
};

// Properties of every visible control. The hint shows as a tool tip when the
// control's own show-hint flag is on, or, while it follows the window
// (ParentShowHint), when the window's flag is on.
class TControl : public TComponent {
  public:
    QWidget* Widget() const { return self_; }
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    // Setting the control's own flag stops it following the window.
    void SetShowHint(bool show);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool follow);
    // Called by the window when its own show-hint flag changes.
    void SetWindowShowHint(bool show);

    TColor Color() const { return color_; }
    void SetColor(TColor color);

  protected:
    TControl(QWidget* self, TColor defaultColor);
    // How a kind shows its colour; the default paints the window background.
    virtual void ApplyColor(const QColor& color);

  private:
    void UpdateToolTip();
    QWidget* self_;
    QString hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    bool windowShowHint_ = true;
    TColor color_;
    bool colorApplied_ = false;
};

// The component properties of Object, or nullptr when it is not one of ours.
TComponent* AsComponent(QObject* object);
TControl* AsControl(QObject* object);

// "&&" shows as "&"; a single "&" marks the accelerator and is not shown.
QString CaptionToDisplayText(const QString& caption);

// Typing into a spin edit or an edit: the user's keystrokes raise no change
// notification. When the typing ends (Enter, the focus leaves, or the window
// calls FinishTyping because a button was pressed) the finished text is held
// to the control's limits and the notification is raised once, if the text
// differs from the one the last notification reported. Program writes raise
// it at once, as before, and end any typing.
class TSpinEdit : public QAbstractSpinBox, public TControl {
    Q_OBJECT
  public:
    explicit TSpinEdit(QWidget* parent = nullptr);
    // The shown text as an integer; MinValue when the text is not one.
    int Value() const;
    // Stores Value limited to MinValue..MaxValue, but only when the two differ.
    void SetValue(int value);
    // Value limited to MinValue..MaxValue when the two differ.
    int HeldToLimits(int value) const;
    // True while the user has typed text that has not been finished.
    bool Typing() const { return typing_; }
    // Ends the typing: an integer becomes the nearest limit when it lies
    // outside them and is shown so. False when the finished text is not an
    // integer (its notification is raised all the same, so that it is judged).
    bool FinishTyping();
    // What the user typed when the finished typing was held to the limits;
    // nothing otherwise. Taking it clears it.
    std::optional<double> TakeTypedBeyondLimits() { return std::exchange(typedBeyondLimits_, {}); }
    int MinValue() const { return minValue_; }
    void SetMinValue(int value) { minValue_ = value; }
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value) { maxValue_ = value; }
    int Increment() const { return increment_; }
    void SetIncrement(int step) { increment_ = step; }
    QString Text() const;
    void SetText(const QString& text);
    void stepBy(int steps) override;

  Q_SIGNALS:
    void Change();

  protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void ApplyColor(const QColor& color) override;

  private:
    void TextChanged();
    void ReportIfChanged();
    int minValue_ = 0;
    int maxValue_ = 0;
    int increment_ = 1;
    bool keystroke_ = false; // the text change under way comes from the user
    bool typing_ = false;
    QString reportedText_;
    std::optional<double> typedBeyondLimits_;
};

// An edit that shows a number can carry limits: typed text is then held to
// them when the typing ends (see TSpinEdit).
struct EditLimits {
    double minimum = 0.0;
    double maximum = 0.0;
    int digits = 0; // decimals of a limit written in place of the typed text
};

class TEdit : public QLineEdit, public TControl {
    Q_OBJECT
  public:
    explicit TEdit(QWidget* parent = nullptr);
    QString Text() const { return text(); }
    void SetText(const QString& text) { setText(text); }
    // Colour of the text (Font.Color).
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);
    const std::optional<EditLimits>& Limits() const { return limits_; }
    void SetLimits(const std::optional<EditLimits>& limits) { limits_ = limits; }
    bool Typing() const { return typing_; }
    // Ends the typing: a number outside the limits becomes the nearest limit,
    // written with the limits' decimals; a number inside them stays as typed.
    // False when the finished text is not a number.
    bool FinishTyping();
    // What the user typed when the finished typing was held to the limits;
    // nothing otherwise. Taking it clears it.
    std::optional<double> TakeTypedBeyondLimits() { return std::exchange(typedBeyondLimits_, {}); }

  Q_SIGNALS:
    void Change();

  protected:
    void ApplyColor(const QColor& color) override;

  private:
    void TextChanged();
    void ReportIfChanged();
    TColor fontColor_ = clBlack;
    std::optional<EditLimits> limits_;
    bool keystroke_ = false;
    bool typing_ = false;
    QString reportedText_;
    std::optional<double> typedBeyondLimits_;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public QCheckBox, public TControl {
    Q_OBJECT
  public:
    explicit TCheckBox(QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    TCheckBoxState State() const;
    void SetState(TCheckBoxState state);
    bool Checked() const { return State() == TCheckBoxState::cbChecked; }
    void SetChecked(bool checked);

  Q_SIGNALS:
    // Raised whenever the state changes, by the user or the program.
    void Click();

  protected:
    // A user click goes unchecked -> checked -> unchecked; grayed -> checked.
    void nextCheckState() override;

  private:
    QString caption_;
};

class TRadioGroup : public QGroupBox, public TControl {
    Q_OBJECT
  public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    QString Caption() const { return title(); }
    void SetCaption(const QString& caption) { setTitle(caption); }
    QStringList Items() const { return items_; }
    void SetItems(const QStringList& items);
    int Columns() const { return columns_; }
    void SetColumns(int columns);
    // -1 = no item selected.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

  Q_SIGNALS:
    // Raised whenever the selected item changes, by the user or the program.
    void Click();

  private:
    void RebuildButtons();
    void ShowItemIndex();
    void UserSelected(int index);
    QStringList items_;
    int columns_ = 1;
    int itemIndex_ = -1;
    QButtonGroup* buttons_;
};

// The rounded-rectangle marker drawn behind a check box to show its status colour.
class TShape : public QWidget, public TControl {
    Q_OBJECT
  public:
    explicit TShape(QWidget* parent = nullptr);
    TColor BrushColor() const { return Color(); }
    void SetBrushColor(TColor color) { SetColor(color); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void ApplyColor(const QColor& color) override;
};

class TLabel : public QLabel, public TControl {
    Q_OBJECT
  public:
    explicit TLabel(QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

  private:
    QString caption_;
};

class TGroupBox : public QGroupBox, public TControl {
    Q_OBJECT
  public:
    explicit TGroupBox(QWidget* parent = nullptr);
    QString Caption() const { return title(); }
    void SetCaption(const QString& caption) { setTitle(caption); }
};

class TButton : public QPushButton, public TControl {
    Q_OBJECT
  public:
    explicit TButton(QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    // Runs the click notification as a mouse click would, also when disabled.
    void Click() { Q_EMIT OnClick(); }

  Q_SIGNALS:
    void OnClick();
};

// A pair of up/down arrows without a field of its own.
class TSpinButton : public QWidget, public TControl {
    Q_OBJECT
  public:
    explicit TSpinButton(QWidget* parent = nullptr);
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

  Q_SIGNALS:
    void UpClick();
    void DownClick();

  private:
    QToolButton* up_;
    QToolButton* down_;
};

// A round lamp; its colour is the colour when lit.
class TLed : public QWidget, public TControl {
    Q_OBJECT
  public:
    explicit TLed(QWidget* parent = nullptr);
    bool Lit() const { return lit_; }
    void SetLit(bool lit);
    // The colour while not lit.
    TColor OffColor() const { return offColor_; }
    void SetOffColor(TColor color);
    QSize sizeHint() const override { return {14, 14}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void ApplyColor(const QColor&) override { update(); }

  private:
    bool lit_ = false;
    TColor offColor_ = clSilver;
};

enum class TProgressBarState { pbsNormal, pbsError, pbsPaused };

// A QProgressBar (so that styles and screen readers know it as one) drawn in
// the program's state colours. The position is held within the range.
class TProgressBar : public QProgressBar, public TControl {
    Q_OBJECT
  public:
    explicit TProgressBar(QWidget* parent = nullptr);
    int Min() const { return minimum(); }
    void SetMin(int value);
    int Max() const { return maximum(); }
    void SetMax(int value);
    int Position() const { return value(); }
    void SetPosition(int value);
    TProgressBarState State() const { return state_; }
    void SetState(TProgressBarState state);
    // The bar colour of each state: green, red, yellow.
    static QColor StateColor(TProgressBarState state);
    // The filled part of a bar Width pixels wide.
    int FilledWidth(int width) const;
    QSize sizeHint() const override { return {100, 14}; }
    QSize minimumSizeHint() const override { return {}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void ApplyColor(const QColor&) override { update(); }

  private:
    TProgressBarState state_ = TProgressBarState::pbsNormal;
};

class TComboBox : public QComboBox, public TControl {
    Q_OBJECT
  public:
    explicit TComboBox(QWidget* parent = nullptr);
    QString Text() const { return currentText(); }
    void SetText(const QString& text);
    QStringList Items() const;
    void SetItems(const QStringList& items);
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int index) { setCurrentIndex(index); }
};

class TMemo : public QPlainTextEdit, public TControl {
    Q_OBJECT
  public:
    explicit TMemo(QWidget* parent = nullptr);
    void Append(const QString& line) { appendPlainText(line); }
    void Clear() { clear(); }
    int LineCount() const;
    QString Line(int index) const;

  protected:
    void ApplyColor(const QColor& color) override;
};

// A grid of text cells showing a StringGridModel. Row 0.. FixedRows-1 and
// columns 0.. FixedCols-1 are drawn as titles and cannot be selected.
class TStringGrid : public QTableView, public TControl {
    Q_OBJECT
  public:
    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    StringGridModel& Model() { return *grid_; }
    const StringGridModel& Model() const { return *grid_; }
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);
    int ColCount() const;
    void SetColCount(int count);
    int RowCount() const;
    void SetRowCount(int count);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    void SetDefaultColWidth(int width);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int rows);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int cols);
    bool CellsEditable() const { return editable_; }
    void SetCellsEditable(bool editable) { editable_ = editable; }
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool rowSelect);
    bool IsFixedCell(int col, int row) const { return col < fixedCols_ || row < fixedRows_; }

    // The selected cell. Selecting another cell raises SelectCell first, which
    // may refuse it; selecting the selected cell raises nothing.
    int Row() const { return row_; }
    int Col() const { return col_; }
    void SetRow(int row);
    void SetCol(int col);
    // Repaints the cells of Row (their look depends on more than their text).
    void UpdateRow(int row);

  Q_SIGNALS:
    // After the default drawing of a cell; a handler may paint over it.
    void DrawCell(QPainter* canvas, int col, int row, const QRect& rect, bool selected);
    void SelectCell(int col, int row, bool* canSelect);

  protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    friend class StringGridDelegate;
    bool TrySelect(int col, int row);
    void ModelChanged();
    void ApplyColumnWidths();
    std::unique_ptr<StringGridModel> grid_;
    StringGridTableModel* tableModel_;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    bool editable_ = false;
    bool rowSelect_ = false;
    int row_ = 1;
    int col_ = 1;
    bool selecting_ = false;
};

class TTabSheet;

class TPageControl : public QTabWidget, public TControl {
    Q_OBJECT
  public:
    explicit TPageControl(QWidget* parent = nullptr);
    void AddPage(TTabSheet* page);
    int PageCount() const { return count(); }
    TTabSheet* Pages(int index) const;
    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* page);
};

class TTabSheet : public QWidget, public TControl {
    Q_OBJECT
  public:
    explicit TTabSheet(QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    bool TabVisible() const;
    void SetTabVisible(bool visible);
    // Position among the visible tabs of its page control (0-based); -1 when
    // its tab is hidden or it has no page control.
    int TabIndex() const;
    // Position among all pages of its page control.
    int PageIndex() const;
    TPageControl* PageControl() const { return pageControl_; }

  private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    QString caption_;
};

class TPanel : public QFrame, public TControl {
    Q_OBJECT
  public:
    explicit TPanel(QWidget* parent = nullptr);
};

class TTimer : public QTimer, public TComponent {
    Q_OBJECT
  public:
    explicit TTimer(QObject* parent = nullptr);
    bool Enabled() const { return isActive(); }
    void SetEnabled(bool enabled);
    int Interval() const { return interval(); }
    void SetInterval(int ms);

  Q_SIGNALS:
    void OnTimer();
};
