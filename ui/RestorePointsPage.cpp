#include "ui/RestorePointsPage.h"

#include "model/RecordFiles.h"
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

// Files the program keeps for itself never lie below its own folder or its CFG/ and FW/.
bool IsBelow(const QString& path, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString p = QDir::cleanPath(QDir(path).absolutePath()) + u'/';
    const QString f = QDir::cleanPath(QDir(folder).absolutePath()) + u'/';
    return p.startsWith(f);
}

QString LocalTimeText(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

} // namespace

RestorePointsPage::RestorePointsPage(TFormMain& form) : QObject(&form), form_(form) {
    WireControls();
}

// ---------------------------------------------------------------- the unit and its points

void RestorePointsPage::LinkOpened() {
    pickedKey_.clear();
    unit_.reset();
    unitCurrent_ = false;
    linkKey_.clear();
}

void RestorePointsPage::Downloaded(const UnitReading& reading) {
    unit_ = reading;
    unitCurrent_ = true;
    TakePoint(RestoreReason::Downloaded, reading);
    WorkingCopyChanged();
}

void RestorePointsPage::BeforeTransmission() {
    if (const std::optional<UnitReading> reading = ReadingForPoint(false))
        TakePoint(RestoreReason::BeforeStore, *reading);
    // The frames about to go out change the unit: its values are read again
    // before they are taken as what it holds.
    unitCurrent_ = false;
}

void RestorePointsPage::ReadBack(const UnitReading& reading, bool verified) {
    unit_ = reading;
    unitCurrent_ = true;
    if (verified)
        TakePoint(RestoreReason::Stored, reading);
    WorkingCopyChanged();
}

void RestorePointsPage::BeforeFirmwareUpdate() {
    if (const std::optional<UnitReading> reading = ReadingForPoint(true))
        TakePoint(RestoreReason::BeforeFirmwareUpdate, *reading);
}

void RestorePointsPage::ValueLearned(int id, double valueFW) {
    if (unit_ && unit_->values.Has(id))
        unit_->values.fw[id] = valueFW;
}

// A reading of this link's unit: a fresh one when asked for or when the last
// one may be out of date, else the last one. A unit that does not answer
// leaves the last reading of this link, if there is one.
std::optional<UnitReading> RestorePointsPage::ReadingForPoint(bool readFirst) {
    // Without a link there is no unit to keep (and nothing will be written to it).
    if (!form_.SerialConnectedGLOB)
        return std::nullopt;
    if (readFirst || !unitCurrent_) {
        QString why;
        if (std::optional<UnitReading> fresh = form_.ReadUnitSilently(&why)) {
            unit_ = fresh;
            unitCurrent_ = true;
            WorkingCopyChanged();
            return fresh;
        }
        if (!unit_) {
            ReportFailure(why);
            return std::nullopt;
        }
    }
    return unit_;
}

QString RestorePointsPage::ConnectedUnitKey() const {
    if (!linkKey_.isEmpty())
        return linkKey_;
    if (!form_.SerialConnectedGLOB)
        return {};
    const TAdapterIdentity adapter = form_.LinkAdapter();
    UnitIdentity identity;
    identity.adapterSerial = adapter.usbSerial;
    identity.adapterVendorProduct = adapter.vendorProduct;
    if (unit_) {
        identity.pcbVersion = unit_->pcbText;
        identity.firmwareVersion = unit_->firmware;
    }
    return UnitKey(identity);
}

QString RestorePointsPage::FolderOf(const QString& key) const {
    return UnitsFolder(UserDataFolder()) + u'/' + key;
}

void RestorePointsPage::TakePoint(const QString& reason, const UnitReading& reading) {
    UnitIdentity identity;
    const TAdapterIdentity adapter = form_.LinkAdapter();
    identity.adapterSerial = adapter.usbSerial;
    identity.adapterVendorProduct = adapter.vendorProduct;
    identity.pcbVersion = reading.pcbText;
    identity.firmwareVersion = reading.firmware;
    const QString key = UnitKey(identity);
    if (key.isEmpty()) {
        ReportFailure(form_.TranslateString(Msg::PhraseGcuNotTellableApart));
        return;
    }
    const QString folder = FolderOf(key);
    for (const QString& kept : {ProgramFolder(), CfgFolder(), FwFolder()}) {
        if (IsBelow(folder, kept)) {
            ReportFailure(form_.PhraseText(
                {Msg::PhraseFolderInsideProgramFolder,
                 {QDir::toNativeSeparators(folder), QDir::toNativeSeparators(kept)}}));
            return;
        }
    }
    RestorePointContent content;
    content.time = QDateTime::currentDateTimeUtc();
    content.reason = reason;
    content.firmware = reading.firmware;
    content.pcb = reading.pcbText;
    content.reboots = reading.reboots;
    content.records =
        UnitConfigRecords(form_.Commands, reading.pcbVersion, reading.values, form_.RPMFactorGLOB);
    try {
        RestorePointStore(folder).Take(content);
    } catch (const QvException& error) {
        ReportFailure(form_.ReasonText(error));
        return;
    }
    linkKey_ = key;
    if (PageInFront())
        Refresh();
}

// Once per run: the user knows, and everything else goes on.
void RestorePointsPage::ReportFailure(const QString& reason) {
    if (failureShown_)
        return;
    failureShown_ = true;
    ShowMessage(form_.TranslateString(Msg::RestorePointsNotWritten) + reason,
                TMsgDlgType::mtWarning);
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
    connect(&units, &QComboBox::activated, this, [this, &units](int) {
        RunReported([this, &units] {
            pickedKey_ = units.Text();
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

// The units that have points: the one the user picked, else the connected one.
void RestorePointsPage::FillUnitList() {
    QStringList keys = KnownUnitKeys(UserDataFolder());
    const QString connected = ConnectedUnitKey();
    if (!connected.isEmpty() && !keys.contains(connected))
        keys.prepend(connected);
    auto& units = form_.Control<TComboBox>(UnitBoxName);
    QString wanted = pickedKey_;
    if (!keys.contains(wanted))
        wanted = connected;
    if (!keys.contains(wanted))
        wanted = units.Text();
    if (!keys.contains(wanted))
        wanted = keys.value(0);
    if (units.Items() != keys)
        units.SetItems(keys);
    units.SetItemIndex(int(keys.indexOf(wanted)));
}

void RestorePointsPage::FillHistory() {
    auto& units = form_.Control<TComboBox>(UnitBoxName);
    const QString key = units.Text();
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
        unit_ ? std::optional(ColumnOfUnit(form_.Commands, unit_->values)) : std::nullopt;
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
    if (unit_)
        unit = ColumnOfUnit(form_.Commands, unit_->values);
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

void RestorePointsPage::TakeRows(const QVector<int>& rows) {
    const QVector<TakenValue> values = ValuesToTake(comparison_, rows, CompareColumn::Chosen);
    const SequenceLoadResult result =
        TakeIntoSequence(form_.SequenceRules, values, form_.RPMFactorGLOB, form_.BoundControls());
    form_.Control<TStringGrid>(QStringLiteral("SGSequence")).viewport()->update();
    form_.EnableControls();
    Recompare();
    ShowMessage(form_.TranslateString(Msg::RestorePointsTaken) +
                QString::number(result.appended + result.replaced));
    form_.ReportLeftOutRecords(result.leftOut);
}

void RestorePointsPage::ExportCsv(const QString& fileName) {
    const QString text = ComparisonCsv(
        comparison_, shown_, form_.TranslateString(Msg::RestorePointsCompareTitles).split(u'|'));
    const QByteArray bytes = text.toUtf8();
    if (const std::optional<FileSaveFailure> failure = SaveWholeFile(fileName, bytes))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, failure->reason}});
    ShowMessage(form_.TranslateString(Msg::RestorePointsExported) + QFileInfo(fileName).fileName());
}
