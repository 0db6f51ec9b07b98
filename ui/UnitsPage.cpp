#include "ui/UnitsPage.h"

#include "model/RecordFiles.h"
#include "model/UnitRecognition.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QRegularExpression>

namespace {

const QString PageName = QStringLiteral("TSUnits");
const QString GridName = QStringLiteral("SGUnits");
const QString BaselineBoxName = QStringLiteral("CBUnitsBaseline");
const QString BaselineLabelName = QStringLiteral("LUnitsBaseline");
const QString FolderLabelName = QStringLiteral("LUnitsFolder");

// Name, adapter, last seen, firmware, PCB, reboots, points, differ, old key: the
// least widths; a column is as wide as its title in the language in use.
constexpr int ColumnWidths[] = {140, 130, 108, 56, 34, 56, 44, 52, 140};
constexpr int TitleMargin = 10;
enum Column {
    NameCol,
    AdapterCol,
    LastSeenCol,
    FirmwareCol,
    PcbCol,
    RebootsCol,
    PointsCol,
    DifferCol,
    OldKeyCol
};

QString LocalTimeText(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                          : QString();
}

// A unit's name as a file name: what a file system takes everywhere.
QString FileNameOf(const QString& unitName) {
    static const QRegularExpression notAllowed(QStringLiteral("[^\\w.-]+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QString name = unitName;
    name.replace(notAllowed, QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("unit") : name;
}

} // namespace

UnitsPage::UnitsPage(TFormMain& form) : QObject(&form), form_(form) {
    WireControls();
    connect(&form_, &TFormMain::LanguageSwitched, this, [this] { UpdateTexts(); });
}

UnitRegistry UnitsPage::Registry() const {
    return UnitRegistry(UserDataFolder());
}

void UnitsPage::WireControls() {
    auto& grid = form_.Control<TStringGrid>(GridName);
    grid.SetRowSelect(true);
    grid.setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetColWidths(col, ColumnWidths[col]);
    grid.horizontalHeader()->setStretchLastSection(true); // the old keys take what is left
    connect(grid.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });

    auto& folder = form_.Control<TLabel>(FolderLabelName);
    folder.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    folder.setWordWrap(true);
    folder.setMinimumHeight(2 * folder.fontMetrics().lineSpacing() + 2);
    folder.setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Long texts never widen the window: they wrap.
    auto& baseline = form_.Control<TLabel>(BaselineLabelName);
    baseline.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    baseline.setWordWrap(true);
    baseline.setMinimumHeight(2 * baseline.fontMetrics().lineSpacing() + 2);

    const auto onClick = [this](const char* name, void (UnitsPage::*action)()) {
        connect(&form_.Control<TButton>(QLatin1String(name)), &TButton::OnClick, this,
                [this, action] { RunReported([this, action] { (this->*action)(); }); });
    };
    onClick("BUnitsRename", &UnitsPage::RenameSelected);
    onClick("BUnitsMerge", &UnitsPage::MergeSelected);
    onClick("BUnitsShowHistory", &UnitsPage::ShowHistoryOfSelected);
    onClick("BUnitsExport", &UnitsPage::ExportNewestOfSelected);
    onClick("BUnitsDelete", &UnitsPage::DeleteSelected);
    onClick("BUnitsRefresh", &UnitsPage::Refresh);
    connect(&form_.Control<TButton>(QStringLiteral("BUnitsBaselineFile")), &TButton::OnClick, this,
            [this] {
                RunReported([this] {
                    TOpenDialog& dialog = *form_.OpenDialog;
                    dialog.Title.clear();
                    dialog.InitialDir = CfgFolder() + QLatin1Char('/');
                    dialog.Filter = QStringLiteral("Quarventa Configuration File|*.QCF");
                    dialog.DefaultExt = QStringLiteral("QCF");
                    dialog.FileName.clear();
                    if (dialog.Execute() && !dialog.FileName.isEmpty())
                        CompareWithFile(dialog.FileName);
                });
            });
    auto& box = form_.Control<TComboBox>(BaselineBoxName);
    connect(&box, &QComboBox::activated, this, [this](int index) {
        RunReported([this, index] {
            const QString key = baselineKeys_.value(index);
            if (key.isEmpty())
                ClearBaseline();
            else
                CompareWithUnit(key);
        });
    });
    auto& pages = form_.Control<TPageControl>(QStringLiteral("PCMain"));
    connect(&pages, &QTabWidget::currentChanged, this, [this] {
        if (PageInFront())
            RunReported([this] { Refresh(); });
    });
}

bool UnitsPage::PageInFront() const {
    return form_.Control<TPageControl>(QStringLiteral("PCMain")).currentWidget() ==
           &form_.Control<TTabSheet>(PageName);
}

// ---------------------------------------------------------------- the list

void UnitsPage::NameUnnamedFolders() {
    if (UserDataFolder().isEmpty() || !QFileInfo(UnitsFolder(UserDataFolder())).isDir())
        return;
    UnitRegistry registry = Registry();
    registry.Load();
    problems_ = registry.ProblemPhrases();
}

void UnitsPage::Refresh() {
    const QStringList selected = SelectedKeys();
    UnitRegistry registry = Registry();
    units_ = registry.Load();
    problems_ = registry.ProblemPhrases();
    // The unit on the link is shown by its name as it is now.
    UnitSession& session = form_.Session;
    for (const KnownUnit& unit : units_) {
        if (unit.key == session.UnitKey() && unit.name != session.UnitName())
            session.SetUnitKnownAs(unit.key, unit.name);
    }
    newest_.clear();
    // A baseline unit that is gone (merged, deleted) is no baseline any more.
    if (!baselineUnitKey_.isEmpty()) {
        const bool known = std::any_of(units_.begin(), units_.end(), [this](const KnownUnit& u) {
            return u.key == baselineUnitKey_;
        });
        if (known)
            CompareWithUnit(baselineUnitKey_);
        else
            ClearBaseline();
    }
    UpdateTexts();
    SelectUnits(selected);
}

void UnitsPage::UpdateTexts() {
    auto& grid = form_.Control<TStringGrid>(GridName);
    const QStringList titles = form_.TranslateString(Msg::UnitsTitles).split(u'|');
    for (int col = 0; col < grid.ColCount(); ++col) {
        grid.SetCells(col, 0, titles.value(col));
        grid.SetColWidths(
            col, std::max(ColumnWidths[col],
                          grid.fontMetrics().horizontalAdvance(titles.value(col)) + TitleMargin));
    }
    FillGrid();
    FillBaselineBox();
    ShowBaselineLabel();
    QString folder = form_.TranslateString(Msg::UnitsKeptIn) +
                     QDir::toNativeSeparators(UnitsFolder(UserDataFolder()));
    if (!problems_.isEmpty()) {
        QStringList problems;
        for (const DetailPhrase& problem : problems_)
            problems << form_.PhraseText(problem);
        folder += u'\n' + form_.TranslateString(Msg::UnitsNotAllNamed) +
                  problems.join(QStringLiteral("; "));
    }
    form_.Control<TLabel>(FolderLabelName).SetCaption(folder);
    UpdateButtons();
}

void UnitsPage::FillGrid() {
    auto& grid = form_.Control<TStringGrid>(GridName);
    const QSignalBlocker quiet(grid.selectionModel());
    grid.SetRowCount(std::max<int>(int(units_.size()), 1) + 1);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCells(col, 1, QString());
    for (int i = 0; i < units_.size(); ++i) {
        const KnownUnit& unit = units_[i];
        const int row = i + 1;
        QString adapter = unit.adapterSerial.isEmpty()
                              ? form_.TranslateString(Msg::UnitsAdapterWithoutSerial)
                              : unit.adapterSerial;
        if (!unit.adapterVendorProduct.isEmpty())
            adapter = unit.adapterVendorProduct + u' ' + adapter;
        QString differ;
        if (baseline_) {
            const std::optional<int> count = DifferingFromBaseline(unit.key);
            differ = count ? QString::number(*count) : QStringLiteral("-");
        }
        grid.SetCells(NameCol, row, unit.name);
        grid.SetCells(AdapterCol, row, adapter);
        grid.SetCells(LastSeenCol, row, LocalTimeText(unit.lastSeen));
        grid.SetCells(FirmwareCol, row, unit.firmware);
        grid.SetCells(PcbCol, row, unit.pcb);
        grid.SetCells(RebootsCol, row,
                      unit.reboots >= 0 ? QString::number(unit.reboots) : QString());
        grid.SetCells(PointsCol, row, QString::number(unit.pointCount));
        grid.SetCells(DifferCol, row, differ);
        grid.SetCells(OldKeyCol, row, unit.oldKeys.join(QStringLiteral(", ")));
    }
    grid.viewport()->update();
}

QStringList UnitsPage::SelectedKeys() const {
    const auto& grid = form_.Control<TStringGrid>(GridName);
    QList<int> rows;
    for (const QModelIndex& index : grid.selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QStringList keys;
    for (int row : rows) {
        if (row >= 1 && row <= units_.size())
            keys.append(units_[row - 1].key);
    }
    return keys;
}

void UnitsPage::SelectUnits(const QStringList& keys) {
    auto& grid = form_.Control<TStringGrid>(GridName);
    QItemSelectionModel& selection = *grid.selectionModel();
    selection.clearSelection();
    for (int i = 0; i < units_.size(); ++i) {
        if (!keys.contains(units_[i].key))
            continue;
        const QModelIndex index = grid.model()->index(i + 1, 0);
        selection.select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection.setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    UpdateButtons();
}

void UnitsPage::UpdateButtons() {
    const int selected = int(SelectedKeys().size());
    for (const char* name : {"BUnitsRename", "BUnitsShowHistory", "BUnitsExport", "BUnitsDelete"})
        form_.Control<TButton>(QLatin1String(name)).setEnabled(selected == 1);
    form_.Control<TButton>(QStringLiteral("BUnitsMerge")).setEnabled(selected == 2);
}

// ---------------------------------------------------------------- the baseline

const ComparedColumn* UnitsPage::NewestValues(const QString& key) {
    auto found = newest_.find(key);
    if (found == newest_.end()) {
        std::optional<ComparedColumn> values;
        if (const auto newest = Registry().Newest(key))
            values = ColumnOfRecords(newest->records);
        found = newest_.insert(key, values);
    }
    return found.value() ? &*found.value() : nullptr;
}

std::optional<int> UnitsPage::DifferingFromBaseline(const QString& key) {
    if (!baseline_)
        return std::nullopt;
    const ComparedColumn* values = NewestValues(key);
    if (!values)
        return std::nullopt;
    return CountDifferingValues(*values, *baseline_);
}

void UnitsPage::CompareWithUnit(const QString& key) {
    const ComparedColumn* values = NewestValues(key);
    if (!values) {
        const std::optional<KnownUnit> unit = Registry().Find(key);
        ShowMessage(form_.TranslateString(Msg::UnitsNoIntactPoint).arg(unit ? unit->name : key));
        ClearBaseline();
        return;
    }
    baseline_ = *values;
    baselineUnitKey_ = key;
    baselineFileName_.clear();
    FillGrid();
    FillBaselineBox();
    ShowBaselineLabel();
}

void UnitsPage::CompareWithFile(const QString& fileName) {
    RecordSeries<TCommandRecord> file;
    try {
        file = ReadConfigFile(fileName);
    } catch (const QvException& error) {
        ShowMessage(form_.TranslateString(Msg::RestorePointsFileNotCompared) +
                        form_.ReasonText(error),
                    TMsgDlgType::mtWarning);
        return;
    }
    baseline_ = ColumnOfRecords(file.records);
    baselineUnitKey_.clear();
    baselineFileName_ = QFileInfo(fileName).fileName();
    FillGrid();
    FillBaselineBox();
    ShowBaselineLabel();
}

void UnitsPage::ClearBaseline() {
    baseline_.reset();
    baselineUnitKey_.clear();
    baselineFileName_.clear();
    FillGrid();
    FillBaselineBox();
    ShowBaselineLabel();
}

void UnitsPage::FillBaselineBox() {
    baselineKeys_ = QStringList{QString()};
    QStringList items{QString()};
    for (const KnownUnit& unit : units_) {
        baselineKeys_.append(unit.key);
        items.append(unit.name);
    }
    auto& box = form_.Control<TComboBox>(BaselineBoxName);
    const QSignalBlocker quiet(&box);
    if (box.Items() != items)
        box.SetItems(items);
    box.SetItemIndex(std::max(0, int(baselineKeys_.indexOf(baselineUnitKey_))));
}

void UnitsPage::ShowBaselineLabel() {
    QString text = form_.TranslateString(Msg::UnitsBaselineNone);
    if (!baselineFileName_.isEmpty()) {
        text = form_.TranslateString(Msg::UnitsBaselineFile) + baselineFileName_;
    } else if (!baselineUnitKey_.isEmpty()) {
        const auto unit = std::find_if(units_.begin(), units_.end(), [this](const KnownUnit& u) {
            return u.key == baselineUnitKey_;
        });
        text = form_.TranslateString(Msg::UnitsBaselineUnit) +
               (unit != units_.end() ? unit->name : baselineUnitKey_);
    }
    form_.Control<TLabel>(BaselineLabelName).SetCaption(text);
}

// ---------------------------------------------------------------- the buttons

std::optional<QString> UnitsPage::OnlySelected() {
    const QStringList keys = SelectedKeys();
    if (keys.size() != 1) {
        ShowMessage(form_.TranslateString(Msg::UnitsSelectOne));
        return std::nullopt;
    }
    return keys.first();
}

void UnitsPage::ReportNotChanged(const QString& reason) const {
    ShowMessage(form_.TranslateString(Msg::UnitsNotChanged) + reason, TMsgDlgType::mtWarning);
}

QString UnitsPage::NameProblemText(UnitNameProblem problem, const QString& name) const {
    switch (problem) {
    case UnitNameProblem::Empty:
        return form_.TranslateString(Msg::UnitNameEmpty);
    case UnitNameProblem::TooLong:
        return form_.TranslateString(Msg::UnitNameTooLong).arg(UnitRegistry::MaxNameLength);
    case UnitNameProblem::Taken:
        return form_.TranslateString(Msg::UnitNameTaken) + name;
    case UnitNameProblem::None:
        break;
    }
    return {};
}

// The one unit selected, as the registry knows it now: none when none or
// several are selected, or when it went meanwhile (the list is refreshed).
std::optional<KnownUnit> UnitsPage::OnlySelectedUnit(const UnitRegistry& registry) {
    const std::optional<QString> key = OnlySelected();
    if (!key)
        return std::nullopt;
    std::optional<KnownUnit> unit = registry.Find(*key);
    if (!unit)
        Refresh();
    return unit;
}

void UnitsPage::RenameSelected() {
    UnitRegistry registry = Registry();
    const std::optional<KnownUnit> unit = OnlySelectedUnit(registry);
    if (!unit)
        return;
    const QString& key = unit->key;
    QString name = unit->name;
    QString caption = form_.Control<TButton>(QStringLiteral("BUnitsRename")).Caption();
    while (caption.endsWith(u'.'))
        caption.chop(1);
    if (!Dialogs().InputQuery(caption, form_.TranslateString(Msg::UnitsRenamePrompt), name))
        return;
    name = UnitRegistry::NormalizedName(name);
    if (name == unit->name)
        return;
    if (const UnitNameProblem problem = registry.CheckName(name, key);
        problem != UnitNameProblem::None) {
        ShowMessage(NameProblemText(problem, name), TMsgDlgType::mtWarning);
        return;
    }
    try {
        registry.Rename(key, name);
    } catch (const QvException& error) {
        ReportNotChanged(form_.ReasonText(error));
    }
    Refresh();
}

void UnitsPage::MergeSelected() {
    const QStringList keys = SelectedKeys();
    if (keys.size() != 2) {
        ShowMessage(form_.TranslateString(Msg::UnitsSelectTwoToMerge));
        return;
    }
    UnitRegistry registry = Registry();
    const std::optional<KnownUnit> first = registry.Find(keys[0]);
    const std::optional<KnownUnit> second = registry.Find(keys[1]);
    if (!first || !second) {
        Refresh();
        return;
    }
    const TModalResult answer = Dialogs().MessageDlg(
        form_.TranslateString(Msg::UnitsMergeQuestion).arg(first->name, second->name),
        TMsgDlgType::mtConfirmation, TMsgDlgButtons(mbYes) | mbNo | mbCancel);
    if (answer != mrYes && answer != mrNo)
        return;
    const QString into = answer == mrYes ? first->key : second->key;
    const QString from = answer == mrYes ? second->key : first->key;
    try {
        registry.Merge(from, into);
        // The unit on the link is the merged one now.
        if (form_.Session.UnitKey() == from)
            form_.Session.SetUnitKnownAs(into, QString());
    } catch (const QvException& error) {
        ReportNotChanged(form_.ReasonText(error));
    }
    Refresh();
    SelectUnits({into});
}

void UnitsPage::ShowHistoryOfSelected() {
    if (const std::optional<QString> key = OnlySelected())
        form_.RestorePoints().ShowUnit(*key);
}

void UnitsPage::ExportNewestOfSelected() {
    UnitRegistry registry = Registry();
    const std::optional<KnownUnit> unit = OnlySelectedUnit(registry);
    if (!unit)
        return;
    const QString& key = unit->key;
    const auto newest = registry.Newest(key);
    if (!newest) {
        ShowMessage(form_.TranslateString(Msg::UnitsNoIntactPoint).arg(unit->name));
        return;
    }
    TSaveDialog& dialog = *form_.SaveDialog;
    dialog.Title.clear();
    dialog.InitialDir = CfgFolder() + QLatin1Char('/');
    dialog.Filter = QStringLiteral("Quarventa Configuration File|*.QCF");
    dialog.DefaultExt = QStringLiteral("QCF");
    dialog.FileName = CfgFolder() + u'/' + FileNameOf(unit->name) + QStringLiteral(".QCF");
    if (!dialog.Execute() || dialog.FileName.isEmpty())
        return;
    // A file that cannot be written reaches the general error report.
    const std::optional<RestorePointInfo> point = registry.ExportNewest(key, dialog.FileName);
    if (!point) {
        ShowMessage(form_.TranslateString(Msg::UnitsNoIntactPoint).arg(unit->name));
        return;
    }
    ShowMessage(form_.TranslateString(Msg::UnitsExported)
                    .arg(unit->name, point->time.toLocalTime().toString(
                                         QStringLiteral("dd.MM.yyyy HH:mm:ss"))) +
                QFileInfo(dialog.FileName).fileName());
}

void UnitsPage::DeleteSelected() {
    UnitRegistry registry = Registry();
    const std::optional<KnownUnit> unit = OnlySelectedUnit(registry);
    if (!unit)
        return;
    const QString& key = unit->key;
    if (!AskYesNo(form_.TranslateString(Msg::UnitsDeleteQuestion)
                      .arg(unit->name)
                      .arg(unit->pointCount)
                      .arg(QDir::toNativeSeparators(registry.TrashFolder())),
                  TMsgDlgType::mtWarning))
        return;
    QString movedTo;
    try {
        movedTo = registry.Delete(key);
    } catch (const QvException& error) {
        ReportNotChanged(form_.ReasonText(error));
        Refresh();
        return;
    }
    Refresh();
    ShowMessage(form_.TranslateString(Msg::UnitsMovedToTrash) + QDir::toNativeSeparators(movedTo));
}
