#pragma once
// The "Live Plots" page: what the live session holds (or a recording being
// replayed) on five strips over one time axis, drawn with QPainter; the
// shift times as a table beside them and as marks on the strips; cursors
// that read the values at a time and the difference between two times; a
// second recording or stretch drawn faded over the first to compare shifts.
// The page only draws: the lines, the shifts, the gaps and the recorder are
// the live session's (model/LiveSession), recordings are read by
// model/LiveRecording on a thread of their own.
#include "model/LiveHistory.h"
#include "model/LivePlotColumns.h"
#include "model/LiveRecording.h"
#include "model/LiveSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

class TFormMain;
class LiveStrip;

// One field's line on its strip: the points drawn (seconds, value; a
// PlotBreak where lines are missing) and whether it is shown; named as its
// check box. Overlay: the same field of the faded recording, on the shown
// time axis.
struct LivePlotLine {
    const LiveField* field = nullptr;
    QString name;
    bool visible = true;
    QList<QPointF> points;
    QList<QPointF> overlay;
};

class LivePlots : public QObject {
    Q_OBJECT
  public:
    static constexpr int RedrawIntervalMs = 200;
    // The shift table lists the newest this many.
    static constexpr size_t MaxShiftRows = 2000;
    // A shift chosen in the table is shown over this span.
    static constexpr double ShiftSpanMs = 1000;
    static constexpr int ReadingSteps = 1000; // the reading progress bar's range
    static constexpr std::array<int, 3> Speeds{1, 4, 16};

    LivePlots(TFormMain& form, LiveSession& session);
    ~LivePlots() override;

    // Start-up: every series shown, the shortest time span, normal speed.
    void Prepare();
    LiveSession& Session() const { return session_; }

    // ---------------------------------------------------------- replay
    // Reads a recording in the background (the progress bar shows how far,
    // Cancel stops it); once read it is shown instead of the stream, which
    // goes on being kept and recorded meanwhile. A file that is no recording
    // is reported.
    void OpenReplay(const QString& fileName);
    bool Reading() const { return load_ != nullptr; }
    void CancelReading();
    void ShowLive();
    bool InReplay() const { return replay_ != nullptr; }
    const LiveHistory& Shown() const { return replay_ ? *replay_ : session_.History(); }
    // Replay: the view runs through the recording at the chosen speed from
    // where it stands (from the start once at the end); live: it follows the
    // stream again. The "Pause" box stops it.
    void Play();
    bool Playing() const;
    void SetSpeed(int factor);
    int Speed() const { return speed_; }

    // ---------------------------------------------------------- comparing
    // A recording read in the background and drawn faded, aligned on its
    // shift chosen in the overlay box with the shift chosen in the table.
    void OverlayFile(const QString& fileName);
    // The stretch around the shift chosen in the table, drawn faded over the
    // next shift chosen there.
    void OverlayChosenShift();
    void ClearOverlay();
    bool HasOverlay() const { return overlay_ != nullptr; }
    // Added to the overlay's times to put them on the shown time axis.
    double OverlayOffsetMs() const;
    const LiveHistory* Overlay() const { return overlay_; }
    // The overlay's own times that are drawn: all of a file, the stretch
    // around the chosen shift of the data shown.
    std::pair<double, double> OverlayStretchMs() const;

    // ---------------------------------------------------------- shifts
    // The shift in row Row of the table (1 = the newest).
    std::optional<ShiftEvent> ShiftOfRow(int row) const;
    // Centres and zooms the strips on the shift in row Row; the view stands still.
    void ShowShift(int row);
    // Raises EInOutError when the file cannot be written.
    void ExportShifts(const QString& fileName) const;

    // ---------------------------------------------------------- the view
    void SetSpanSeconds(double seconds);
    double SpanMs() const { return spanMs_; }
    // The time at the right edge, ms.
    double EndMs() const;
    void SetPaused(bool paused);
    bool Following() const { return following_; }
    // Moves the view by Fraction of its span (negative: back in time).
    void ScrollBy(double fraction);
    void PanBy(double ms);
    // Shows FromMs to ToMs; the view stands still.
    void ZoomToRange(double fromMs, double toMs);
    // Zooms strip Index's value axis around its middle (Factor < 1: closer).
    void ZoomValues(int strip, double factor);
    void ZoomTime(double factor);
    void ResetZoom();
    void SetSeriesShown(LiveFieldId field, bool shown);
    // Draws now (tests and measurements; the page redraws five times a second).
    void Redraw();
    quint64 Redraws() const { return redraws_; }
    int StripCount() const { return int(strips_.size()); }
    LiveStrip& Strip(int index) const { return *strips_[size_t(index)]; }
    QWidget& StripWidget(int index) const;
    // The line that draws Field (nullptr for a field that is not plotted).
    const LivePlotLine* SeriesOf(LiveFieldId field) const;
    const LivePlotColumns& Columns() const { return columns_; }
    // The page's enabled states, texts and the shift table, as things stand.
    void UpdateControls();

    // ---------------------------------------------------------- cursors
    // The mouse over the strips: a line at that time and every visible
    // field's value there.
    void SetHover(std::optional<double> ms);
    // Click: the first cursor; with Second (shift-click) the second one; the
    // two show the difference in time and values.
    void PinCursor(double ms, bool second);
    void ClearCursors();
    std::optional<double> HoverMs() const { return hoverMs_; }
    std::optional<double> CursorMs(bool second) const { return second ? pinB_ : pinA_; }
    // A field's value at Ms as the cursor shows it, in its unit; "-" where
    // no line stands (before the first, after the last, inside a gap).
    QString ValueText(LiveFieldId field, double ms) const;
    // The difference of a field's values from A to B, in its unit; empty when
    // either has none or the field is a state.
    QString DifferenceText(LiveFieldId field, double fromMs, double toMs) const;
    QString GapText(const LiveGap& gap) const;

  private:
    void BuildStrips();
    void WireControls();
    void FillShiftGrid();
    void ShowShiftInGrid(int row, const ShiftEvent& shift);
    void UpdateTexts();
    bool PageShown() const;
    void Tick();
    void PollReading();
    void FinishReading();
    void StartReading(const QString& fileName, bool forOverlay);
    void FillOverlayShifts();
    void ShowStandingAt(double endMs);
    std::optional<double> ValueAt(LiveFieldId field, double ms) const;
    void RepaintCursors();

    TFormMain& form_;
    LiveSession& session_;
    std::unique_ptr<LiveHistory> replay_;
    QString replayFile_;
    LivePlotColumns columns_;

    // Reading a recording.
    std::unique_ptr<LiveRecordingLoad> load_;
    bool loadForOverlay_ = false;
    QTimer loadTimer_;

    // The faded comparison.
    std::unique_ptr<LiveHistory> overlayFile_;
    QString overlayFileName_;
    const LiveHistory* overlay_ = nullptr;
    double overlayAnchorMs_ = 0;            // the overlay's shift, on its own axis
    std::optional<double> targetAnchorMs_;  // the shown shift it is aligned on
    std::optional<ShiftEvent> chosenShift_; // the last shift chosen in the table

    // Cursors.
    std::optional<double> hoverMs_, pinA_, pinB_;

    // The view.
    double spanMs_ = 10000;
    double endMs_ = 0; // the right edge while not following
    bool following_ = true;
    bool playing_ = false;
    int speed_ = 1;
    QElapsedTimer playClock_;
    bool dirty_ = true;
    quint64 drawnRevision_ = 0;
    quint64 gridShiftRevision_ = quint64(-1);
    const LiveHistory* gridSource_ = nullptr;
    double shownIntervalMs_ = 0;
    int gridSizedFor_ = -1; // the shift table's width its columns were sized for
    qint64 statusShownAt_ = 0;
    QString statusShownFor_;
    quint64 redraws_ = 0;
    std::vector<LiveStrip*> strips_;
    QTimer redrawTimer_;
};
