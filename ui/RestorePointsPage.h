#pragma once
// The "Restore Points" page: a unit's history and the comparison of the unit
// (what the session last read of it), the working copy and a point or file,
// from which values are taken into the change sequence. Points are taken by
// the session's restore-point keeper; the points and the comparison
// themselves are model/RestorePoints and model/ConfigComparison. This class
// follows the session's events, shows and tells.
#include "model/ConfigComparison.h"
#include "model/RestorePoints.h"
#include "model/UnitValues.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <optional>

class TFormMain;
class QPainter;
class QRect;

class RestorePointsPage : public QObject {
    Q_OBJECT
  public:
    explicit RestorePointsPage(TFormMain& form);

    // The folder name of the connected unit ("" when not known).
    QString ConnectedUnitKey() const;

    // ------------------------------------------------------------ the page
    // History and comparison anew (the page is shown, Refresh).
    void Refresh();
    // Brings the page to the front with the history of the unit in folder Key.
    void ShowUnit(const QString& key);
    // Column titles and texts in the current language.
    void UpdateTexts();
    // The working copy changed: the comparison follows when the page is shown.
    void WorkingCopyChanged();
    // Compare with history row Row (1-based grid row).
    void ComparePoint(int row);
    // Compare with a configuration file.
    void CompareFile(const QString& fileName);
    // The buttons.
    void TakeSelected();
    void RestoreChosen();
    void ExportCsv(const QString& fileName);
    // The values of the chosen point or file (else the unit's) as a
    // configuration text; false when the comparison holds no set to write.
    bool ExportConfigText(const QString& fileName);
    const Comparison& CurrentComparison() const { return comparison_; }
    // Comparison rows the grid shows, by grid row - 1.
    const QVector<int>& ShownRows() const { return shown_; }
    // The history's points of the unit the page shows, newest first.
    const QVector<RestorePointInfo>& HistoryPoints() const { return history_; }
    QString ShownUnitKey() const { return shownKey_; }

  private:
    void WireControls();
    void FollowSession();
    bool PageInFront() const;
    QString FolderOf(const QString& key) const;
    const std::optional<UnitReading>& Unit() const;
    void FillUnitList();
    void FillHistory();
    void Recompare();
    void FillComparisonGrid();
    void UpdateButtons();
    void TakeRows(const QVector<int>& rows);
    QString ReasonText(const QString& reason) const;
    QString PointLabel(const RestorePointInfo& point) const;
    void DrawComparisonCell(QPainter* canvas, int col, int row, const QRect& rect, bool selected);

    struct ReadPoint {
        ComparedColumn column;
        bool intact = false;
    };
    const ReadPoint* CachedPoint(const RestorePointStore& store, const RestorePointInfo& point,
                                 QString* error = nullptr);

    struct Chosen {
        QString fileName; // a file's name; empty for a point
        ComparedColumn column;
        QString pointFile; // the point's configuration file, for the history's selection
        RestorePointInfo point;
        bool intact = true;
    };
    // What the comparison's third column holds, in the current language.
    QString ChosenLabel() const;

    TFormMain& form_;
    bool recomparePending_ = false;
    QString pickedKey_; // the unit the user picked in the list, until the next link
    QString shownKey_;
    QStringList unitKeys_; // the unit box's items, by index
    QVector<RestorePointInfo> history_;
    QHash<QString, ReadPoint> readPoints_; // by configuration file path
    std::optional<Chosen> chosen_;
    Comparison comparison_;
    QVector<int> shown_;
};
