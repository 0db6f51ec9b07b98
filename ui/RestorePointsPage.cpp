#include "ui/RestorePointsPage.h"

#include "model/ConfigText.h"
#include "model/RecordFiles.h"
#include "model/UnitRegistry.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTimer>

namespace {

const QString PageName = QStringLiteral("TSRestorePoints");
const QString UnitBoxName = QStringLiteral("CBRestorePointsUnit");
const QString FolderLabelName = QStringLiteral("LRestorePointsFolder");
const QString HistoryGridName = QStringLiteral("SGRestorePointsHistory");
const QString CompareGridName = QStringLiteral("SGRestorePointsCompare");
const QString ComparedWithName = QStringLiteral("LRestorePointsComparedWith");
const QString CountsName = QStringLiteral("LRestorePointsCounts");
const QString DifferencesOnlyName = QStringLiteral("CBRestorePointsDifferencesOnly");

// Column widths in pixels: time, reason, last seen, firmware, PCB, differ.
constexpr int HistoryWidths[] = {130, 300, 130, 70, 50, 80};
// ID, command, description, unit, working copy, point or file.
constexpr int CompareWidths[] = {34, 76, 280, 90, 90, 110};
constexpr int CompareValueColumn = 3; // the first of the three sets

// Differing rows in the pale colour of a change, the values that differ from
// the unit's in its full colour.
constexpr TColor DifferingRowColor = 0x00AAFFFF;
constexpr TColor DifferingValueColor = 0x0000FFFF;

QString LocalTimeText(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

} // namespace

RestorePointsPage::RestorePointsPage(TFormMain& form) : QObject(&form), form_(form) {
    WireControls();
    FollowSession();
}

// What the page shows follows the unit as the session reads it and the
// working copy as it changes.
void RestorePointsPage::FollowSession() {
    UnitSession& session = form_.Session;
    connect(&session, &UnitSession::linkOpened, this, [this] { pickedKey_.clear(); });
    connect(&session, &UnitSession::unitRead, this,
            [this](ReadReason, const UnitReading&) { WorkingCopyChanged(); });
    connect(&session, &UnitSession::storeChecked, this,
            [this](const UnitReading&, bool) { WorkingCopyChanged(); });
    connect(&session, &UnitSession::workingCopyChanged, this, [this] { WorkingCopyChanged(); });
    connect(&form_, &TFormMain::LanguageSwitched, this, [this] { UpdateTexts(); });
    connect(&form_.PointKeeper(), &RestorePointKeeper::pointTaken, this, [this] {
        if (PageInFront())
            RunReported([this] { Refresh(); });
    });
}

const std::optional<UnitReading>& RestorePointsPage::Unit() const {
    return form_.Session.Unit();
}

QString RestorePointsPage::ConnectedUnitKey() const {
    return form_.PointKeeper().ConnectedUnitKey();
}

QString RestorePointsPage::FolderOf(const QString& key) const {
    return form_.PointKeeper().FolderOf(key);
}

// ---------------------------------------------------------------- the page

void RestorePointsPage::WireControls() {
    auto& history = form_.Control<TStringGrid>(HistoryGridName);
    history.SetRowSelect(true);
    for (int col = 0; col < history.ColCount(); ++col)
        history.SetColWidths(col, HistoryWidths[col]);
    connect(&history, &TStringGrid::SelectCell, this,
            [this](int, int row, bool*) { RunReported([this, row] { ComparePoint(row); }); });

    auto& compare = form_.Control<TStringGrid>(CompareGridName);
    compare.SetRowSelect(true);
    compare.setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (int col = 0; col < compare.ColCount(); ++col)
        compare.SetColWidths(col, CompareWidths[col]);
    connect(&compare, &TStringGrid::DrawCell, this,
            [this](QPainter* canvas, int col, int row, const QRect& rect, bool selected) {
                try {
                    DrawComparisonCell(canvas, col, row, rect, selected);
                } catch (...) {
                }
            });

    // Long file names and counts never widen the window: they are cut or wrapped.
    for (const QString& name : {FolderLabelName, ComparedWithName, CountsName}) {
        auto& label = form_.Control<TLabel>(name);
        label.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label.setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    auto& counts = form_.Control<TLabel>(CountsName);
    counts.setWordWrap(true);
    counts.setMinimumHeight(2 * counts.fontMetrics().lineSpacing() + 2);

    auto& units = form_.Control<TComboBox>(UnitBoxName);
    connect(&units, &QComboBox::activated, this, [this](int index) {
        RunReported([this, index] {
            pickedKey_ = unitKeys_.value(index);
            chosen_.reset();
            FillHistory();
            Recompare();
        });
    });
    connect(&form_.Control<TCheckBox>(DifferencesOnlyName), &TCheckBox::Click, this,
            [this] { RunReported([this] { FillComparisonGrid(); }); });
    auto& pages = form_.Control<TPageControl>(QStringLiteral("PCMain"));
    connect(&pages, &QTabWidget::currentChanged, this, [this, &pages](int) {
        if (pages.currentWidget() == &form_.Control<TTabSheet>(PageName))
            RunReported([this] { Refresh(); });
    });
}

// The page the main page control shows, whether or not the window is on screen.
bool RestorePointsPage::PageInFront() const {
    return form_.Control<TPageControl>(QStringLiteral("PCMain")).currentWidget() ==
           &form_.Control<TTabSheet>(PageName);
}

void RestorePointsPage::Refresh() {
    UpdateTexts();
    FillUnitList();
    FillHistory();
    Recompare();
}

void RestorePointsPage::ShowUnit(const QString& key) {
    pickedKey_ = key;
    chosen_.reset();
    if (PageInFront())
        Refresh();
    else
        form_.Control<TPageControl>(QStringLiteral("PCMain"))
            .SetActivePage(&form_.Control<TTabSheet>(PageName));
}

void RestorePointsPage::UpdateTexts() {
    auto& history = form_.Control<TStringGrid>(HistoryGridName);
    const QStringList historyTitles =
        form_.TranslateString(Msg::RestorePointsHistoryTitles).split(u'|');
    for (int col = 0; col < history.ColCount(); ++col)
        history.SetCells(col, 0, historyTitles.value(col));
    auto& compare = form_.Control<TStringGrid>(CompareGridName);
    const QStringList compareTitles =
        form_.TranslateString(Msg::RestorePointsCompareTitles).split(u'|');
    for (int col = 0; col < compare.ColCount(); ++col)
        compare.SetCells(col, 0, compareTitles.value(col));
    if (!history_.isEmpty())
        FillHistory();
    form_.Control<TLabel>(ComparedWithName)
        .SetCaption(chosen_ ? form_.TranslateString(Msg::RestorePointsComparedWith) + ChosenLabel()
                            : QString());
    FillComparisonGrid();
}

void RestorePointsPage::WorkingCopyChanged() {
    if (recomparePending_)
        return;
    recomparePending_ = true;
    QTimer::singleShot(0, this, [this] {
        recomparePending_ = false;
        if (PageInFront())
            RunReported([this] { Recompare(); });
    });
}

// The units known by name, each shown by its name: the one the user picked,
// else the connected one.
void RestorePointsPage::FillUnitList() {
    UnitRegistry registry(UserDataFolder());
    QStringList keys;
    QStringList names;
    if (!UserDataFolder().isEmpty()) {
        for (const KnownUnit& unit : registry.Load()) {
            keys << unit.key;
            names << unit.name;
        }
    }
    const QString connected = ConnectedUnitKey();
    auto& units = form_.Control<TComboBox>(UnitBoxName);
    QString wanted = pickedKey_;
    if (!keys.contains(wanted))
        wanted = connected;
    if (!keys.contains(wanted))
        wanted = shownKey_;
    if (!keys.contains(wanted))
        wanted = keys.value(0);
    unitKeys_ = keys;
    if (units.Items() != names)
        units.SetItems(names);
    units.SetItemIndex(int(keys.indexOf(wanted)));
}

void RestorePointsPage::FillHistory() {
    auto& units = form_.Control<TComboBox>(UnitBoxName);
    const QString key = unitKeys_.value(units.ItemIndex());
    if (key != shownKey_)
        chosen_.reset();
    shownKey_ = key;
    history_.clear();
    if (!key.isEmpty())
        history_ = RestorePointStore(FolderOf(key)).List();
    form_.Control<TLabel>(FolderLabelName)
        .SetCaption(key.isEmpty() ? QString() : QDir::toNativeSeparators(FolderOf(key)));

    const RestorePointStore store(FolderOf(key));
    const std::optional<ComparedColumn> unit =
        Unit() ? std::optional(ColumnOfUnit(form_.Commands, Unit()->values)) : std::nullopt;
    auto& grid = form_.Control<TStringGrid>(HistoryGridName);
    grid.SetRowCount(std::max<int>(int(history_.size()), 1) + 1);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCells(col, 1, QString());
    int selected = 0;
    for (int i = 0; i < history_.size(); ++i) {
        const RestorePointInfo& point = history_[i];
        const int row = i + 1;
        QStringList reasons{ReasonText(point.reason)};
        for (const RestorePointMoment& moment : point.alsoTaken) {
            if (!reasons.contains(ReasonText(moment.reason)))
                reasons.append(ReasonText(moment.reason));
        }
        grid.SetCells(0, row, LocalTimeText(point.time));
        grid.SetCells(1, row, reasons.join(QStringLiteral(", ")));
        grid.SetCells(2, row,
                      point.alsoTaken.isEmpty() ? QString()
                                                : LocalTimeText(point.alsoTaken.last().time));
        grid.SetCells(3, row, point.firmware);
        grid.SetCells(4, row, point.pcb);
        QString differ;
        QString error;
        if (const ReadPoint* read = CachedPoint(store, point, &error)) {
            if (!read->intact)
                differ = form_.TranslateString(Msg::RestorePointDamaged);
            else if (unit)
                differ = QString::number(CompareParameterSets(form_.Commands, form_.PCBVersionGLOB,
                                                              form_.RPMFactorGLOB, unit,
                                                              std::nullopt, read->column)
                                             .counts.unitVsChosen);
        } else {
            differ = form_.TranslateString(Msg::RestorePointDamaged);
        }
        grid.SetCells(5, row, differ);
        if (chosen_ && chosen_->pointFile == store.ConfigFilePath(point))
            selected = row;
    }
    const QSignalBlocker quiet(&grid);
    if (selected > 0)
        grid.SetRow(selected);
    grid.viewport()->update();
}

const RestorePointsPage::ReadPoint* RestorePointsPage::CachedPoint(const RestorePointStore& store,
                                                                   const RestorePointInfo& point,
                                                                   QString* error) {
    const QString path = store.ConfigFilePath(point);
    auto found = readPoints_.constFind(path);
    if (found != readPoints_.constEnd())
        return &found.value();
    try {
        const RestorePointStore::PointRecords read = store.Read(point);
        return &readPoints_.insert(path, ReadPoint{ColumnOfRecords(read.records), read.intact})
                    .value();
    } catch (const QvException& failure) {
        if (error)
            *error = form_.ReasonText(failure);
        return nullptr;
    }
}

QString RestorePointsPage::ReasonText(const QString& reason) const {
    if (reason == RestoreReason::Downloaded)
        return form_.TranslateString(Msg::RestoreReasonDownloaded);
    if (reason == RestoreReason::BeforeStore)
        return form_.TranslateString(Msg::RestoreReasonBeforeStore);
    if (reason == RestoreReason::Stored)
        return form_.TranslateString(Msg::RestoreReasonStored);
    if (reason == RestoreReason::BeforeFirmwareUpdate)
        return form_.TranslateString(Msg::RestoreReasonBeforeFirmwareUpdate);
    return reason;
}

QString RestorePointsPage::PointLabel(const RestorePointInfo& point) const {
    return QStringLiteral("%1 (%2, %3)")
        .arg(LocalTimeText(point.time), QString::number(point.number), ReasonText(point.reason));
}

QString RestorePointsPage::ChosenLabel() const {
    if (!chosen_)
        return {};
    if (chosen_->pointFile.isEmpty())
        return chosen_->fileName;
    QString label = PointLabel(chosen_->point);
    if (!chosen_->intact)
        label += QStringLiteral(" - ") + form_.TranslateString(Msg::RestorePointDamaged);
    return label;
}

void RestorePointsPage::ComparePoint(int row) {
    if (row < 1 || row > history_.size())
        return;
    const RestorePointStore store(FolderOf(shownKey_));
    const RestorePointInfo& point = history_[row - 1];
    QString error;
    const ReadPoint* read = CachedPoint(store, point, &error);
    if (!read) {
        ShowMessage(form_.TranslateString(Msg::RestorePointsFileNotCompared) + error,
                    TMsgDlgType::mtWarning);
        return;
    }
    chosen_ = Chosen{QString(), read->column, store.ConfigFilePath(point), point, read->intact};
    Recompare();
}

void RestorePointsPage::CompareFile(const QString& fileName) {
    RecordSeries<TCommandRecord> file;
    try {
        file = ReadConfigFile(fileName);
    } catch (const QvException& error) {
        ShowMessage(form_.TranslateString(Msg::RestorePointsFileNotCompared) +
                        form_.ReasonText(error),
                    TMsgDlgType::mtWarning);
        return;
    }
    chosen_ =
        Chosen{QFileInfo(fileName).fileName(), ColumnOfRecords(file.records), QString(), {}, true};
    auto& history = form_.Control<TStringGrid>(HistoryGridName);
    history.clearSelection();
    Recompare();
}

void RestorePointsPage::Recompare() {
    std::optional<ComparedColumn> unit;
    if (Unit())
        unit = ColumnOfUnit(form_.Commands, Unit()->values);
    std::optional<ComparedColumn> chosen;
    if (chosen_)
        chosen = chosen_->column;
    comparison_ =
        CompareParameterSets(form_.Commands, form_.PCBVersionGLOB, form_.RPMFactorGLOB, unit,
                             ColumnOfWorkingCopy(form_.Commands, form_.Sequence), chosen);
    form_.Control<TLabel>(ComparedWithName)
        .SetCaption(chosen_ ? form_.TranslateString(Msg::RestorePointsComparedWith) + ChosenLabel()
                            : QString());
    FillComparisonGrid();
}

void RestorePointsPage::FillComparisonGrid() {
    const ComparisonCounts& n = comparison_.counts;
    QString counts = form_.TranslateString(Msg::RestorePointsCounts);
    if (counts.contains(QLatin1String("%7")))
        counts = counts.arg(n.rows)
                     .arg(n.differing)
                     .arg(n.unitVsWorking)
                     .arg(n.unitVsChosen)
                     .arg(n.workingVsChosen)
                     .arg(n.missingInChosen)
                     .arg(n.extraInChosen);
    if (!comparison_.present[int(CompareColumn::Unit)])
        counts += u' ' + form_.TranslateString(Msg::RestorePointsNoUnitValues);
    form_.Control<TLabel>(CountsName).SetCaption(counts);

    shown_ = ::ShownRows(comparison_, form_.Control<TCheckBox>(DifferencesOnlyName).Checked());
    auto& grid = form_.Control<TStringGrid>(CompareGridName);
    grid.clearSelection();
    grid.SetRowCount(std::max<int>(int(shown_.size()), 1) + 1);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCells(col, 1, QString());
    for (int i = 0; i < shown_.size(); ++i) {
        const ComparisonRow& row = comparison_.rows[shown_[i]];
        grid.SetCells(0, i + 1, QString::number(row.id));
        grid.SetCells(1, i + 1, row.command);
        grid.SetCells(2, i + 1, row.description);
        for (int c = 0; c < CompareColumnCount; ++c) {
            const bool missing = comparison_.present[c] && !row.fw[c];
            grid.SetCells(CompareValueColumn + c, i + 1,
                          missing ? QStringLiteral("-") : row.text[c]);
        }
    }
    grid.viewport()->update();
    UpdateButtons();
}

void RestorePointsPage::UpdateButtons() {
    const bool chosen = comparison_.present[int(CompareColumn::Chosen)];
    form_.Control<TButton>(QStringLiteral("BRestorePointsTake")).setEnabled(chosen);
    form_.Control<TButton>(QStringLiteral("BRestorePointsRestore")).setEnabled(chosen);
    form_.Control<TButton>(QStringLiteral("BRestorePointsExport"))
        .setEnabled(!comparison_.rows.isEmpty());
}

void RestorePointsPage::DrawComparisonCell(QPainter* canvas, int col, int row, const QRect& rect,
                                           bool selected) {
    if (row < 1 || row > shown_.size() || selected)
        return;
    const ComparisonRow& compared = comparison_.rows[shown_[row - 1]];
    if (!compared.Differs())
        return;
    TColor color = DifferingRowColor;
    const int set = col - CompareValueColumn;
    if (set > int(CompareColumn::Unit) && set < CompareColumnCount &&
        ((set == int(CompareColumn::Working) && compared.unitVsWorking) ||
         (set == int(CompareColumn::Chosen) && compared.unitVsChosen)))
        color = DifferingValueColor;
    canvas->fillRect(rect, ToQColor(color));
    canvas->setPen(Qt::black);
    const auto& grid = form_.Control<TStringGrid>(CompareGridName);
    canvas->drawText(
        rect.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
        grid.fontMetrics().elidedText(grid.Cells(col, row), Qt::ElideRight, rect.width() - 4));
}

// ---------------------------------------------------------------- take, restore, export

void RestorePointsPage::TakeSelected() {
    auto& grid = form_.Control<TStringGrid>(CompareGridName);
    QVector<int> rows;
    for (const QModelIndex& index : grid.selectionModel()->selectedRows()) {
        const int row = index.row();
        if (row >= 1 && row <= shown_.size())
            rows.append(shown_[row - 1]);
    }
    std::sort(rows.begin(), rows.end());
    QVector<int> known;
    for (int index : rows) {
        if (comparison_.rows[index].known)
            known.append(index);
    }
    if (ValuesToTake(comparison_, known, CompareColumn::Chosen).isEmpty()) {
        ShowMessage(form_.TranslateString(Msg::RestorePointsNothingToTake));
        return;
    }
    TakeRows(known);
}

void RestorePointsPage::RestoreChosen() {
    const QVector<int> rows = RowsToRestore(comparison_);
    if (rows.isEmpty()) {
        ShowMessage(form_.TranslateString(Msg::RestorePointsNothingToRestore));
        return;
    }
    TakeRows(rows);
}

// A value comes with the values it makes sense with, from the same point or
// file (a gear's teeth with the ratios and limits, the RPM values with the
// factor, a coupled timing group); where the set does not fit what follows
// from it, the user chooses before anything is taken.
void RestorePointsPage::TakeRows(const QVector<int>& rows) {
    // Another unit's point goes into the changes for the connected one only
    // when the user says so, with both names before them.
    if (chosen_ && !chosen_->pointFile.isEmpty() && form_.Session.LinkOpen() &&
        shownKey_ != form_.Session.UnitKey()) {
        const auto& units = form_.Control<TComboBox>(UnitBoxName);
        const QString question =
            form_.TranslateString(Msg::RestoreOtherUnitsPoint)
                .arg(units.Text(), form_.UnitFactsText(form_.Session.ConnectedFacts()));
        if (!AskYesNo(question, TMsgDlgType::mtWarning))
            return;
    }
    const QVector<int> all = RowsWithCoupledGroups(comparison_, form_.Commands, rows);
    const std::optional<QVector<TakenValue>> values =
        form_.ResolveFollowingValues(ValuesToTake(comparison_, all, CompareColumn::Chosen), true);
    if (!values)
        return;
    const SequenceLoadResult result =
        TakeIntoSequence(form_.SequenceRules, *values, form_.Session.Working().TargetRpmFactor(),
                         form_.BoundControls());
    form_.Session.Working().Reconcile();
    form_.Control<TStringGrid>(QStringLiteral("SGSequence")).viewport()->update();
    form_.EnableControls();
    Recompare();
    QString text = form_.TranslateString(Msg::RestorePointsTaken) +
                   QString::number(result.appended + result.replaced);
    if (!result.leftOut.isEmpty())
        text += QStringLiteral("\n\n") + form_.LeftOutRecordsText(result.leftOut);
    ShowMessage(text,
                result.leftOut.isEmpty() ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning);
}

bool RestorePointsPage::ExportConfigText(const QString& fileName) {
    std::optional<CompareColumn> from;
    for (const CompareColumn column : {CompareColumn::Chosen, CompareColumn::Unit})
        if (!from && comparison_.present[int(column)])
            from = column;
    if (!from)
        return false;
    QVector<TCommandRecord> records;
    for (const ComparisonRow& row : comparison_.rows) {
        const std::optional<double>& fw = row.fw[int(*from)];
        if (!row.known || !fw)
            continue;
        TCommandRecord record = form_.Commands[row.id];
        record.ActualValueFW = *fw;
        records.append(record);
    }
    ConfigTextHeader header;
    header.unitName = form_.Control<TComboBox>(UnitBoxName).Text();
    if (form_.PCBVersionGLOB > 0)
        header.pcbVersion = QString::number(form_.PCBVersionGLOB / 10.0, 'f', 1);
    SaveWholeFileOrRaise(fileName, ConfigText(form_.Commands, records, header).toUtf8());
    return true;
}

void RestorePointsPage::ExportCsv(const QString& fileName) {
    const QString text = ComparisonCsv(
        comparison_, shown_, form_.TranslateString(Msg::RestorePointsCompareTitles).split(u'|'));
    const QByteArray bytes = text.toUtf8();
    if (const std::optional<FileSaveFailure> failure = SaveWholeFile(fileName, bytes))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, failure->reason}});
    ShowMessage(form_.TranslateString(Msg::RestorePointsExported) + QFileInfo(fileName).fileName());
}
