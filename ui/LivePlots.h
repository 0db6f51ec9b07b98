#pragma once
// The "Live Plots" page: the live stream (or a recording being replayed) on
// five strips over one time axis (drawn with QPainter: Qt Charts took five
// times the CPU of the whole live panel at 20 lines a second), the shift times as a table beside
// them and as marks on the strips, and the recorder. The page's controls are the window's; this
// object draws the strips and keeps the history.
#include "model/LiveHistory.h"
#include "model/LiveRecording.h"
#include "model/ShiftDetector.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

class TFormMain;
class LiveStrip;

// One field's line on its strip: the points drawn (seconds, value) and
// whether it is shown; named as its check box.
struct LivePlotLine {
    const LiveField* field = nullptr;
    QString name;
    bool visible = true;
    QList<QPointF> points;
};

class LivePlots : public QObject {
    Q_OBJECT
  public:
    static constexpr int RedrawIntervalMs = 200;
    // The shift table lists the newest this many.
    static constexpr size_t MaxShiftRows = 2000;

    explicit LivePlots(TFormMain& form);
    ~LivePlots() override;

    // Start-up: every series shown, the shortest time span.
    void Prepare();

    // ---------------------------------------------------------- the stream
    // Live mode started: the gear bands for the shift times. The clock runs
    // from the first start, so a pause of the stream shows as a gap.
    void LiveStarted(const GearBands& bands);
    // One parsed status line; it is stamped with the time it arrived.
    void TakeLine(LiveSample sample);
    const LiveHistory& LiveData() const { return live_; }
    // The mean interval of the last status lines, ms (0 before two lines).
    double LineIntervalMs() const { return lineIntervalMs_; }

    // ---------------------------------------------------------- recording
    // Raises EInOutError when the file cannot be created.
    void StartRecording(const QString& fileName);
    // Ends an open recording with Reason in its last line; false when the
    // file could not be written completely (Recorder().Error() says why).
    bool StopRecording(const QString& reason);
    const LiveRecorder& Recorder() const { return recorder_; }

    // ---------------------------------------------------------- replay
    // Shows a recording instead of the stream; raises EInOutError when the
    // file is not one. The stream goes on being kept (and recorded) meanwhile.
    void OpenReplay(const QString& fileName);
    void ShowLive();
    bool InReplay() const { return replay_.has_value(); }
    const LiveHistory& Shown() const { return replay_ ? *replay_ : live_; }

    // ---------------------------------------------------------- the view
    void SetSpanSeconds(double seconds);
    double SpanMs() const { return spanMs_; }
    // The time at the right edge, ms.
    double EndMs() const;
    void SetPaused(bool paused);
    bool Following() const { return following_; }
    // Moves the view by Fraction of its span (negative: back in time).
    void ScrollBy(double fraction);
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
    // The line that draws Field (nullptr for a field that is not plotted).
    const LivePlotLine* SeriesOf(LiveFieldId field) const;
    // The page's enabled states, texts and the shift table, as things stand.
    void UpdateControls();

  private:
    void BuildStrips();
    void WireControls();
    void OnShift(const ShiftEvent& shift);
    void FillShiftGrid();
    void ShowShiftInGrid(int row, const ShiftEvent& shift);
    void UpdateTexts();
    bool PageShown() const;
    void Tick();

    TFormMain& form_;
    LiveHistory live_;
    std::optional<LiveHistory> replay_;
    QString replayFile_;
    ShiftDetector detector_;
    LiveRecorder recorder_;
    QElapsedTimer clock_;
    double lastLineMs_ = -1;
    double lineIntervalMs_ = 0;
    double spanMs_ = 10000;
    double endMs_ = 0; // the right edge while not following
    bool following_ = true;
    bool dirty_ = true;
    bool gridDirty_ = false;
    double shownIntervalMs_ = 0;
    qint64 statusShownAt_ = 0;
    QString statusShownFor_;
    quint64 redraws_ = 0;
    std::vector<LiveStrip*> strips_;
    QTimer redrawTimer_;
};
