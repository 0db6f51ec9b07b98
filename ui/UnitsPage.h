#pragma once
// The "Units" page: every unit known by name with what identified it when it
// was last seen, how many restore points it has and how many values of its
// newest point differ from a chosen baseline (another unit's newest point or
// a configuration file). Rename, merge two entries that are one unit, show a
// unit's history on the "Restore Points" page, export its newest
// configuration, delete it (its folder goes to trash/). The units themselves
// are model/UnitRegistry; this class asks, shows and tells.
#include "model/ConfigComparison.h"
#include "model/UnitRegistry.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class TFormMain;

class UnitsPage : public QObject {
    Q_OBJECT
  public:
    explicit UnitsPage(TFormMain& form);

    // Start-up: folders from before units had names become named units,
    // without a word (the page lists what could not be written).
    void NameUnnamedFolders();
    // The units anew (the page is shown, Refresh, after each change).
    void Refresh();
    // Column titles and texts in the current language.
    void UpdateTexts();
    // The units the grid shows, by grid row - 1.
    const QVector<KnownUnit>& ShownUnits() const { return units_; }
    // The keys of the selected rows, in grid order.
    QStringList SelectedKeys() const;
    // Selects the units of these keys (nothing else).
    void SelectUnits(const QStringList& keys);

    // The buttons; each acts on the selected unit (two for Merge) and says
    // what it needs when the selection does not fit.
    void RenameSelected();
    void MergeSelected();
    void ShowHistoryOfSelected();
    void ExportNewestOfSelected();
    void DeleteSelected();
    // The baseline the "Differ" column counts from.
    void CompareWithUnit(const QString& key);
    void CompareWithFile(const QString& fileName);
    void ClearBaseline();
    // How many values of the unit's newest point differ from the baseline;
    // nullopt without a baseline or without an intact point.
    std::optional<int> DifferingFromBaseline(const QString& key);
    // Why a name cannot be given, in the language in use.
    QString NameProblemText(UnitNameProblem problem, const QString& name) const;

  private:
    void WireControls();
    bool PageInFront() const;
    std::optional<QString> OnlySelected();
    std::optional<KnownUnit> OnlySelectedUnit(const UnitRegistry& registry);
    void FillGrid();
    void FillBaselineBox();
    void ShowBaselineLabel();
    void UpdateButtons();
    void ReportNotChanged(const QString& reason) const;
    // The values of a unit's newest intact point, read once per point.
    const ComparedColumn* NewestValues(const QString& key);
    UnitRegistry Registry() const;

    TFormMain& form_;
    QVector<KnownUnit> units_;
    QVector<DetailPhrase> problems_;
    // By unit key; read anew on each Refresh.
    QHash<QString, std::optional<ComparedColumn>> newest_;
    std::optional<ComparedColumn> baseline_;
    QString baselineUnitKey_;  // the baseline is this unit's newest point
    QString baselineFileName_; // or this file
    QStringList baselineKeys_; // the baseline box's items, by index ("" first)
};
