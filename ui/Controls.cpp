#include "ui/Controls.h"

#include "util/Exceptions.h"
#include "util/StringGridModel.h"
#include "util/UnitUtils.h"

#include <QAbstractTableModel>
#include <QButtonGroup>
#include <QGridLayout>
#include <QHeaderView>
#include <QPainter>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

// ---------------------------------------------------------------- common

TControl::TControl(QWidget* self, TColor defaultColor) : self_(self), color_(defaultColor) {}

void TControl::SetHint(const QString& hint) {
    hint_ = hint;
    UpdateToolTip();
}

void TControl::SetShowHint(bool show) {
    showHint_ = show;
    parentShowHint_ = false;
    UpdateToolTip();
}

void TControl::SetParentShowHint(bool follow) {
    parentShowHint_ = follow;
    if (follow)
        showHint_ = windowShowHint_;
    UpdateToolTip();
}

void TControl::SetWindowShowHint(bool show) {
    windowShowHint_ = show;
    if (parentShowHint_)
        showHint_ = show;
    UpdateToolTip();
}

void TControl::UpdateToolTip() {
    self_->setToolTip(showHint_ ? hint_ : QString());
}

void TControl::SetColor(TColor color) {
    // The colour a control already shows is not applied again: each new
    // palette costs the control a repaint.
    if (colorApplied_ && color == color_)
        return;
    color_ = color;
    colorApplied_ = true;
    ApplyColor(ToQColor(color));
}

void TControl::ApplyColor(const QColor& color) {
    QPalette palette = self_->palette();
    palette.setColor(QPalette::Window, color);
    self_->setPalette(palette);
}

TComponent* AsComponent(QObject* object) {
    return dynamic_cast<TComponent*>(object);
}

TControl* AsControl(QObject* object) {
    return dynamic_cast<TControl*>(object);
}

QString CaptionToDisplayText(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') {
                shown += u'&';
                ++i;
            }
            continue;
        }
        shown += caption[i];
    }
    return shown;
}

static void PaintBase(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    widget->setPalette(palette);
}

// ---------------------------------------------------------------- TSpinEdit

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent), TControl(this, clWindow) {
    setFocusPolicy(Qt::StrongFocus);
    lineEdit()->setText(QStringLiteral("0"));
    reportedText_ = lineEdit()->text();
    // A line edit reports a keystroke as edited before it reports the change.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { keystroke_ = true; });
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { TextChanged(); });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] { FinishTyping(); });
}

void TSpinEdit::TextChanged() {
    if (std::exchange(keystroke_, false)) {
        typing_ = true;
        return;
    }
    typing_ = false; // a program write replaces what was being typed
    ReportIfChanged();
}

void TSpinEdit::ReportIfChanged() {
    const QString text = lineEdit()->text();
    if (text == reportedText_)
        return;
    reportedText_ = text;
    Q_EMIT Change();
}

bool TSpinEdit::FinishTyping() {
    if (!typing_)
        return true;
    typing_ = false;
    bool ok = false;
    const int typed = lineEdit()->text().trimmed().toInt(&ok);
    if (ok && HeldToLimits(typed) != typed)
        typedBeyondLimits_ = typed; // the change handler tells the user
    if (ok)
        lineEdit()->setText(QString::number(HeldToLimits(typed))); // reports a new text
    ReportIfChanged(); // the text as typed, when the write left it as it was
    return ok;
}

int TSpinEdit::Value() const {
    bool ok = false;
    const int value = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? value : minValue_;
}

int TSpinEdit::HeldToLimits(int value) const {
    if (minValue_ == maxValue_)
        return value;
    return std::clamp(value, std::min(minValue_, maxValue_), std::max(minValue_, maxValue_));
}

void TSpinEdit::SetValue(int value) {
    lineEdit()->setText(QString::number(HeldToLimits(value)));
}

QString TSpinEdit::Text() const {
    return lineEdit()->text();
}

void TSpinEdit::SetText(const QString& text) {
    lineEdit()->setText(text);
}

void TSpinEdit::stepBy(int steps) {
    if (isReadOnly())
        return;
    // A step starts from the typed value, held to the limits and reported.
    FinishTyping();
    SetValue(Value() + steps * increment_);
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    if (isReadOnly() || !isEnabled())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

// A parameter changes only when the user means it: the wheel steps a field
// only while it has the focus, so scrolling past it changes nothing.
void TSpinEdit::wheelEvent(QWheelEvent* event) {
    if (hasFocus())
        QAbstractSpinBox::wheelEvent(event);
    else
        event->ignore();
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    static const QRegularExpression integerText(QStringLiteral("^[+-]?\\d*$"));
    return integerText.match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

void TSpinEdit::ApplyColor(const QColor& color) {
    PaintBase(this, color);
    PaintBase(lineEdit(), color);
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(QWidget* parent) : QLineEdit(parent), TControl(this, clWindow) {
    connect(this, &QLineEdit::textEdited, this, [this] { keystroke_ = true; });
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
    connect(this, &QLineEdit::editingFinished, this, [this] { FinishTyping(); });
}

void TEdit::TextChanged() {
    if (std::exchange(keystroke_, false)) {
        typing_ = true;
        return;
    }
    typing_ = false;
    ReportIfChanged();
}

void TEdit::ReportIfChanged() {
    if (text() == reportedText_)
        return;
    reportedText_ = text();
    Q_EMIT Change();
}

bool TEdit::FinishTyping() {
    if (!typing_)
        return true;
    typing_ = false;
    double typed = 0.0;
    try {
        typed = DisplayTextToFloat(text());
    } catch (const EConvertError&) {
        ReportIfChanged(); // judged by the change handler
        return false;
    }
    if (limits_) {
        const double low = std::min(limits_->minimum, limits_->maximum);
        const double high = std::max(limits_->minimum, limits_->maximum);
        if (typed < low || typed > high) {
            typedBeyondLimits_ = typed; // the change handler tells the user
            setText(RealToStrDec(typed < low ? low : high, std::max(0, limits_->digits)));
        }
    }
    ReportIfChanged();
    return true;
}

void TEdit::ApplyColor(const QColor& color) {
    PaintBase(this, color);
}

void TEdit::SetFontColor(TColor color) {
    fontColor_ = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, ToQColor(color));
    setPalette(palette);
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(QWidget* parent) : QCheckBox(parent), TControl(this, clBtnFace) {
    setTristate(true);
    connect(this, &QCheckBox::stateChanged, this, [this] { Q_EMIT Click(); });
}

void TCheckBox::SetCaption(const QString& caption) {
    caption_ = caption;
    setText(caption);
}

TCheckBoxState TCheckBox::State() const {
    switch (checkState()) {
    case Qt::Checked:
        return TCheckBoxState::cbChecked;
    case Qt::PartiallyChecked:
        return TCheckBoxState::cbGrayed;
    default:
        return TCheckBoxState::cbUnchecked;
    }
}

void TCheckBox::SetState(TCheckBoxState state) {
    switch (state) {
    case TCheckBoxState::cbChecked:
        setCheckState(Qt::Checked);
        break;
    case TCheckBoxState::cbGrayed:
        setCheckState(Qt::PartiallyChecked);
        break;
    case TCheckBoxState::cbUnchecked:
        setCheckState(Qt::Unchecked);
        break;
    }
}

void TCheckBox::SetChecked(bool checked) {
    SetState(checked ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
}

void TCheckBox::nextCheckState() {
    SetChecked(State() != TCheckBoxState::cbChecked);
}

// ---------------------------------------------------------------- TRadioGroup

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent), TControl(this, clBtnFace), buttons_(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(2);
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            UserSelected(id);
    });
}

void TRadioGroup::SetItems(const QStringList& items) {
    items_ = items;
    if (itemIndex_ >= items_.size())
        itemIndex_ = -1;
    RebuildButtons();
}

void TRadioGroup::SetColumns(int columns) {
    columns_ = std::max(1, columns);
    RebuildButtons();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= items_.size())
        index = -1;
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    ShowItemIndex();
    Q_EMIT Click();
}

void TRadioGroup::UserSelected(int index) {
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    Q_EMIT Click();
}

void TRadioGroup::ShowItemIndex() {
    const QSignalBlocker blocker(buttons_);
    buttons_->setExclusive(false);
    for (QAbstractButton* button : buttons_->buttons())
        button->setChecked(buttons_->id(button) == itemIndex_);
    buttons_->setExclusive(true);
}

void TRadioGroup::RebuildButtons() {
    for (QAbstractButton* button : buttons_->buttons()) {
        buttons_->removeButton(button);
        delete button;
    }
    auto* grid = static_cast<QGridLayout*>(layout());
    const int rows = int((items_.size() + columns_ - 1) / columns_);
    for (int i = 0; i < items_.size(); ++i) {
        auto* button = new QRadioButton(items_[i], this);
        buttons_->addButton(button, i);
        // Items fill the columns top to bottom, as the column count says.
        grid->addWidget(button, rows ? i % rows : 0, rows ? i / rows : 0);
    }
    ShowItemIndex();
}

// ---------------------------------------------------------------- TShape

TShape::TShape(QWidget* parent) : QWidget(parent), TControl(this, RGBToColor(255, 255, 128)) {}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ToQColor(Color()).darker(130), 1));
    painter.setBrush(ToQColor(Color()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

void TShape::ApplyColor(const QColor&) {
    update();
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(QWidget* parent) : QLabel(parent), TControl(this, clBtnFace) {}

void TLabel::SetCaption(const QString& caption) {
    caption_ = caption;
    setText(CaptionToDisplayText(caption));
}

// ---------------------------------------------------------------- containers and buttons

TGroupBox::TGroupBox(QWidget* parent) : QGroupBox(parent), TControl(this, clBtnFace) {}

TButton::TButton(QWidget* parent) : QPushButton(parent), TControl(this, clBtnFace) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { Q_EMIT OnClick(); });
}

TSpinButton::TSpinButton(QWidget* parent)
    : QWidget(parent), TControl(this, clBtnFace), up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFixedSize(16, 10);
        layout->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Q_EMIT UpClick(); });
    connect(down_, &QToolButton::clicked, this, [this] { Q_EMIT DownClick(); });
}

// ---------------------------------------------------------------- TLed

TLed::TLed(QWidget* parent) : QWidget(parent), TControl(this, clLime) {}

void TLed::SetLit(bool lit) {
    lit_ = lit;
    update();
}

void TLed::SetOffColor(TColor color) {
    offColor_ = color;
    update();
}

void TLed::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor on = ToQColor(Color());
    painter.setPen(QPen(QColor(80, 80, 80), 1));
    painter.setBrush(lit_ ? on : ToQColor(offColor_));
    painter.drawEllipse(circle);
}

// ---------------------------------------------------------------- TProgressBar

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent), TControl(this, clBtnFace) {
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
}

// A changed range leaves the position where it was, held within the new range
// (QProgressBar would reset a position outside it to below the minimum).
void TProgressBar::SetMin(int value) {
    const int kept = this->value();
    setMinimum(value);
    SetPosition(kept);
}

void TProgressBar::SetMax(int value) {
    const int kept = this->value();
    setMaximum(value);
    SetPosition(kept);
}

void TProgressBar::SetPosition(int value) {
    setValue(std::clamp(value, minimum(), maximum()));
}

void TProgressBar::SetState(TProgressBarState state) {
    state_ = state;
    update();
}

QColor TProgressBar::StateColor(TProgressBarState state) {
    switch (state) {
    case TProgressBarState::pbsError:
        return QColor(220, 40, 40);
    case TProgressBarState::pbsPaused:
        return QColor(230, 200, 20);
    default:
        return QColor(40, 180, 60);
    }
}

int TProgressBar::FilledWidth(int width) const {
    if (maximum() <= minimum())
        return 0;
    const double share = double(value() - minimum()) / double(maximum() - minimum());
    return int(share * width + 0.5);
}

void TProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(frame);
    const QRect inner = frame.adjusted(2, 2, -1, -1);
    QColor bar = StateColor(state_);
    if (!isEnabled())
        bar = bar.lighter(140);
    painter.fillRect(QRect(inner.topLeft(), QSize(FilledWidth(inner.width()), inner.height())),
                     bar);
}

// ---------------------------------------------------------------- TComboBox, TMemo

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent), TControl(this, clWindow) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void TComboBox::SetText(const QString& text) {
    setEditText(text);
}

QStringList TComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    return items;
}

void TComboBox::SetItems(const QStringList& items) {
    const QString shown = currentText();
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(shown);
}

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent), TControl(this, clWindow) {}

int TMemo::LineCount() const {
    return document()->isEmpty() ? 0 : document()->blockCount();
}

QString TMemo::Line(int index) const {
    return document()->findBlockByNumber(index).text();
}

void TMemo::ApplyColor(const QColor& color) {
    PaintBase(this, color);
}

// ---------------------------------------------------------------- TStringGrid

// Presents a StringGridModel to the table view.
class StringGridTableModel : public QAbstractTableModel {
  public:
    StringGridTableModel(TStringGrid* grid, StringGridModel& cells)
        : QAbstractTableModel(grid), grid_(grid), cells_(cells), rows_(cells.RowCount()),
          cols_(cells.ColCount()) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : cols_;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return cells_.Cell(index.column(), index.row());
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole)
            return false;
        cells_.SetCell(index.column(), index.row(), value.toString());
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (grid_->IsFixedCell(index.column(), index.row()))
            return Qt::ItemIsEnabled;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (grid_->CellsEditable())
            flags |= Qt::ItemIsEditable;
        return flags;
    }
    // Follows the cells: a new shape resets the view, new text repaints it.
    void Sync() {
        if (rows_ != cells_.RowCount() || cols_ != cells_.ColCount()) {
            beginResetModel();
            rows_ = cells_.RowCount();
            cols_ = cells_.ColCount();
            endResetModel();
        } else if (rows_ > 0 && cols_ > 0) {
            Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
        }
    }
    // One cell's new text repaints that cell alone.
    void CellChanged(int col, int row) {
        if (rows_ != cells_.RowCount() || cols_ != cells_.ColCount())
            Sync();
        else
            Q_EMIT dataChanged(index(row, col), index(row, col));
    }

  private:
    TStringGrid* grid_;
    StringGridModel& cells_;
    int rows_;
    int cols_;
};

// Draws fixed cells as titles and lets the grid's DrawCell handler paint over
// each cell after the default drawing.
class StringGridDelegate : public QStyledItemDelegate {
  public:
    explicit StringGridDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int col = index.column();
        const int row = index.row();
        const bool selected = option.state & QStyle::State_Selected;
        if (grid_->IsFixedCell(col, row)) {
            painter->fillRect(option.rect, ToQColor(clBtnFace));
            painter->setPen(option.palette.color(QPalette::Mid));
            painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
            painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
            painter->setPen(option.palette.color(QPalette::ButtonText));
            // One pixel of margin: titles that want more begin with a space,
            // and " COMMAND" then just fits its 65-pixel column.
            painter->drawText(option.rect.adjusted(1, 0, -1, 0), Qt::AlignVCenter | Qt::AlignLeft,
                              index.data().toString());
        } else {
            QStyledItemDelegate::paint(painter, option, index);
        }
        painter->save();
        Q_EMIT grid_->DrawCell(painter, col, row, option.rect, selected);
        painter->restore();
    }

  private:
    TStringGrid* grid_;
};

TStringGrid::TStringGrid(QWidget* parent)
    : QTableView(parent), TControl(this, clWindow), grid_(std::make_unique<StringGridModel>()),
      tableModel_(new StringGridTableModel(this, *grid_)) {
    grid_->textWidth = [this](const QString& text) {
        return fontMetrics().horizontalAdvance(text);
    };
    grid_->changed = [this] { ModelChanged(); };
    grid_->cellChanged = [this](int col, int row) { tableModel_->CellChanged(col, row); };
    setModel(tableModel_);
    setItemDelegate(new StringGridDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(12);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    ApplyColumnWidths();
}

TStringGrid::~TStringGrid() {
    grid_->changed = nullptr;
    grid_->cellChanged = nullptr;
    grid_->textWidth = nullptr;
}

QString TStringGrid::Cells(int col, int row) const {
    return grid_->Cell(col, row);
}

void TStringGrid::SetCells(int col, int row, const QString& text) {
    grid_->SetCell(col, row, text);
}

int TStringGrid::ColCount() const {
    return grid_->ColCount();
}

void TStringGrid::SetColCount(int count) {
    grid_->SetColCount(count);
}

int TStringGrid::RowCount() const {
    return grid_->RowCount();
}

void TStringGrid::SetRowCount(int count) {
    grid_->SetRowCount(count);
}

int TStringGrid::ColWidths(int col) const {
    return grid_->ColWidth(col);
}

void TStringGrid::SetColWidths(int col, int width) {
    grid_->SetColWidth(col, width);
}

void TStringGrid::SetDefaultColWidth(int width) {
    grid_->SetDefaultColWidth(width);
}

void TStringGrid::SetFixedRows(int rows) {
    fixedRows_ = rows;
    row_ = std::max(row_, rows);
    viewport()->update();
}

void TStringGrid::SetFixedCols(int cols) {
    fixedCols_ = cols;
    col_ = std::max(col_, cols);
    viewport()->update();
}

void TStringGrid::SetRowSelect(bool rowSelect) {
    rowSelect_ = rowSelect;
    setSelectionBehavior(rowSelect ? QAbstractItemView::SelectRows
                                   : QAbstractItemView::SelectItems);
}

void TStringGrid::SetRow(int row) {
    if (row == row_ || !TrySelect(col_, row))
        return;
    const QScopedValueRollback<bool> guard(selecting_, true);
    setCurrentIndex(tableModel_->index(row, col_));
}

void TStringGrid::UpdateRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    const int top = rowViewportPosition(row);
    viewport()->update(QRect(0, top, viewport()->width(), rowHeight(row)));
}

void TStringGrid::SetCol(int col) {
    if (col == col_ || !TrySelect(col, row_))
        return;
    const QScopedValueRollback<bool> guard(selecting_, true);
    setCurrentIndex(tableModel_->index(row_, col));
}

bool TStringGrid::TrySelect(int col, int row) {
    if (IsFixedCell(col, row) || row >= RowCount() || col >= ColCount())
        return false;
    bool canSelect = true;
    Q_EMIT SelectCell(col, row, &canSelect);
    if (!canSelect)
        return false;
    row_ = row;
    col_ = col;
    return true;
}

QItemSelectionModel::SelectionFlags TStringGrid::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    if (!selecting_) {
        const int col = index.column();
        const int row = index.row();
        if (col != col_ || row != row_) {
            // User navigation: the grid asks its handler before moving.
            if (!const_cast<TStringGrid*>(this)->TrySelect(col, row))
                return QItemSelectionModel::NoUpdate;
        }
    }
    return QTableView::selectionCommand(index, event);
}

void TStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid() && (current.row() != row_ || current.column() != col_) &&
        !IsFixedCell(current.column(), current.row())) {
        row_ = current.row();
        col_ = current.column();
    }
}

void TStringGrid::ModelChanged() {
    tableModel_->Sync();
    ApplyColumnWidths();
}

void TStringGrid::ApplyColumnWidths() {
    for (int col = 0; col < grid_->ColCount(); ++col) {
        if (columnWidth(col) != grid_->ColWidth(col))
            setColumnWidth(col, grid_->ColWidth(col));
    }
}

// ---------------------------------------------------------------- pages

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), TControl(this, clBtnFace) {}

void TPageControl::AddPage(TTabSheet* page) {
    page->pageControl_ = this;
    addTab(page, page->Caption());
}

TTabSheet* TPageControl::Pages(int index) const {
    return qobject_cast<TTabSheet*>(widget(index));
}

TTabSheet* TPageControl::ActivePage() const {
    return qobject_cast<TTabSheet*>(currentWidget());
}

void TPageControl::SetActivePage(TTabSheet* page) {
    setCurrentWidget(page);
}

TTabSheet::TTabSheet(QWidget* parent) : QWidget(parent), TControl(this, clBtnFace) {}

void TTabSheet::SetCaption(const QString& caption) {
    caption_ = caption;
    if (pageControl_)
        pageControl_->setTabText(PageIndex(), caption);
}

bool TTabSheet::TabVisible() const {
    return pageControl_ && pageControl_->isTabVisible(PageIndex());
}

void TTabSheet::SetTabVisible(bool visible) {
    if (pageControl_)
        pageControl_->setTabVisible(PageIndex(), visible);
}

int TTabSheet::PageIndex() const {
    return pageControl_ ? pageControl_->indexOf(this) : -1;
}

int TTabSheet::TabIndex() const {
    if (!TabVisible())
        return -1;
    int visibleBefore = 0;
    for (int i = 0; i < PageIndex(); ++i) {
        if (pageControl_->isTabVisible(i))
            ++visibleBefore;
    }
    return visibleBefore;
}

TPanel::TPanel(QWidget* parent) : QFrame(parent), TControl(this, clBtnFace) {}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(QObject* parent) : QTimer(parent) {
    connect(this, &QTimer::timeout, this, [this] { Q_EMIT OnTimer(); });
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled)
        start();
    else
        stop();
}

void TTimer::SetInterval(int ms) {
    setInterval(ms);
}
