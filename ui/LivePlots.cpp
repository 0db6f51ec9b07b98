#include "ui/LivePlots.h"

#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
using Id = LiveFieldId;

QString SeriesBoxName(const LiveField& field) {
    return QStringLiteral("CBLivePlots") + QString::fromLatin1(field.key);
}
QColor ColorOf(const LiveField& field) {
    return QColor::fromRgb(QRgb(field.color));
}
QString GearText(int gear) {
    if (gear == -1)
        return QStringLiteral("R");
    if (gear == 0)
        return QStringLiteral("N");
    return QString::number(gear);
}
} // namespace

// ---------------------------------------------------------------- one strip

namespace {
// A step of 1, 2 or 5 times a power of ten that gives about Count intervals.
double NiceStep(double span, int count) {
    const double raw = span / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

int DecimalsFor(double step) {
    return step >= 1 ? 0 : (step >= 0.1 ? 1 : 2);
}

struct Axis {
    double low = 0, high = 1;
    double Map(double value, double top, double bottom) const {
        return bottom - (value - low) / (high - low) * (bottom - top);
    }
};

// Room for the data: 5 % above and below, never empty.
Axis Fitted(double low, double high) {
    if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 0.05;
    return {low - pad, high + pad};
}
} // namespace

// One strip: the fields of one LivePlotStrip over the shared time axis,
// drawn with QPainter, the shifts as vertical marks (the paddle dashed, the
// gear change solid), a legend on top. The mouse wheel zooms the values,
// with Ctrl the time, with Shift it scrolls.
class LiveStrip : public QWidget {
  public:
    LiveStrip(LivePlots& plots, int index, LivePlotStrip kind, QWidget* parent)
        : QWidget(parent), plots_(plots), index_(index), kind_(kind) {
        setObjectName(QStringLiteral("LivePlotStrip%1").arg(index));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumHeight(60);
        small_ = font();
        small_.setPixelSize(9);
        for (const LiveField& field : LiveFields())
            if (field.strip == kind)
                lines_.push_back({&field, {}, true, {}});
        hasRight_ = std::any_of(lines_.begin(), lines_.end(),
                                [](const LivePlotLine& l) { return l.field->rightAxis; });
    }

    std::vector<LivePlotLine>& Lines() { return lines_; }
    std::optional<std::pair<double, double>> manualRange;
    void ShowTimeLabels(bool shown) { timeLabels_ = shown; }
    std::pair<double, double> ValueRange() const { return {left_.low, left_.high}; }

    // Each line is named as its check box, in the language shown.
    void NameSeries() {
        for (LivePlotLine& line : lines_) {
            const auto* form = qobject_cast<TFormMain*>(window());
            auto* box = form ? form->Find<TCheckBox>(SeriesBoxName(*line.field)) : nullptr;
            if (box && line.name != box->Caption().remove(u'&')) {
                line.name = box->Caption().remove(u'&');
                update();
            }
        }
    }

    void Draw(const LiveHistory& data, double fromMs, double toMs) {
        NameSeries();
        fromMs_ = fromMs;
        toMs_ = toMs;
        const int columns = std::max(PlotRect().width(), 50);
        bool anyLeft = false, anyRight = false;
        double leftLow = 0, leftHigh = 0, rightLow = 0, rightHigh = 0;
        for (LivePlotLine& line : lines_) {
            if (!line.visible) {
                line.points.clear();
                continue;
            }
            data.Points(line.field->id, fromMs, toMs, columns, line.field->step,
                        line.field->stepOffset, line.points);
            double low = 0, high = 0;
            if (!data.Range(line.field->id, fromMs, toMs, low, high))
                continue;
            low += line.field->stepOffset;
            high += line.field->stepOffset;
            auto merge = [&](bool& any, double& l, double& h) {
                l = any ? std::min(l, low) : low;
                h = any ? std::max(h, high) : high;
                any = true;
            };
            if (line.field->rightAxis)
                merge(anyRight, rightLow, rightHigh);
            else
                merge(anyLeft, leftLow, leftHigh);
        }
        if (kind_ == LivePlotStrip::Inputs)
            left_ = {-0.5, 9.5}; // five states, one above the other
        else if (manualRange)
            left_ = {manualRange->first, manualRange->second};
        else if (anyLeft)
            left_ = Fitted(leftLow, leftHigh);
        if (anyRight)
            right_ = kind_ == LivePlotStrip::Barrel
                         ? Fitted(std::min(rightLow, -1.0), std::max(rightHigh, 6.0))
                         : Fitted(rightLow, rightHigh);
        shifts_.clear();
        for (const ShiftEvent& shift : data.Shifts())
            if (shift.timeMs >= fromMs - 2000 && shift.timeMs <= toMs)
                shifts_.push_back(shift);
        update();
    }

  protected:
    QRect PlotRect() const {
        const int left = 44, right = hasRight_ ? 30 : 8;
        const int top = 14, bottom = timeLabels_ ? 14 : 3;
        return QRect(left, top, std::max(width() - left - right, 10),
                     std::max(height() - top - bottom, 10));
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const QRect area = PlotRect();
        p.fillRect(area, Qt::white);
        p.setFont(small_);
        const QFontMetrics metrics(small_);
        const double top = area.top(), bottom = area.bottom();
        const auto xOf = [&](double ms) {
            return area.left() + (ms - fromMs_) / std::max(toMs_ - fromMs_, 1.0) * area.width();
        };
        // Grid and labels: time.
        p.setPen(QColor(225, 225, 225));
        const double timeStep = NiceStep((toMs_ - fromMs_) / 1000.0, 6) * 1000.0;
        for (double t = std::ceil(fromMs_ / timeStep) * timeStep; t <= toMs_; t += timeStep) {
            const double x = xOf(t);
            p.setPen(QColor(225, 225, 225));
            p.drawLine(QPointF(x, top), QPointF(x, bottom));
            if (timeLabels_) {
                p.setPen(Qt::black);
                const QString label = RealToStrDec(t / 1000.0, DecimalsFor(timeStep / 1000.0));
                p.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2.0,
                                   bottom + metrics.ascent() + 2),
                           label);
            }
        }
        // Values.
        const auto valueLabels = [&](const Axis& axis, bool rightSide) {
            const int ticks = kind_ == LivePlotStrip::Barrel ? 5 : 3;
            const double step = NiceStep(axis.high - axis.low, ticks);
            for (double v = std::ceil(axis.low / step) * step; v <= axis.high; v += step) {
                const double y = axis.Map(v, top, bottom);
                if (!rightSide) {
                    p.setPen(QColor(225, 225, 225));
                    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
                }
                if (kind_ == LivePlotStrip::Inputs)
                    continue;
                p.setPen(Qt::black);
                const QString label = RealToStrDec(v, DecimalsFor(step));
                const double x = rightSide ? area.right() + 3
                                           : area.left() - 3 - metrics.horizontalAdvance(label);
                p.drawText(QPointF(x, y + metrics.ascent() / 2.0 - 1), label);
            }
        };
        valueLabels(left_, false);
        if (hasRight_)
            valueLabels(right_, true);
        p.setPen(Qt::gray);
        p.drawRect(area);
        // The lines.
        p.save();
        p.setClipRect(area);
        QPolygonF polygon;
        for (const LivePlotLine& line : lines_) {
            if (!line.visible || line.points.isEmpty())
                continue;
            const Axis& axis = line.field->rightAxis ? right_ : left_;
            polygon.resize(line.points.size());
            for (qsizetype i = 0; i < line.points.size(); ++i)
                polygon[i] = QPointF(xOf(line.points[i].x() * 1000.0),
                                     axis.Map(line.points[i].y(), top, bottom));
            p.setPen(QPen(ColorOf(*line.field), 1.5));
            p.drawPolyline(polygon);
        }
        // The shifts.
        for (const ShiftEvent& shift : shifts_) {
            p.setPen(QPen(shift.missed ? QColor(Qt::red) : QColor(255, 128, 0), 1, Qt::DashLine));
            const double x = xOf(shift.timeMs);
            p.drawLine(QPointF(x, top), QPointF(x, bottom));
            if (!shift.missed && std::isfinite(shift.paddleToGearMs)) {
                p.setPen(QPen(QColor(0, 128, 0), 1));
                const double g = xOf(shift.timeMs + shift.paddleToGearMs);
                p.drawLine(QPointF(g, top), QPointF(g, bottom));
            }
        }
        p.restore();
        // The legend: a square in the line's colour and its name.
        double x = area.left();
        for (const LivePlotLine& line : lines_) {
            const QColor colour = line.visible ? ColorOf(*line.field) : QColor(Qt::lightGray);
            p.fillRect(QRectF(x, 3, 8, 8), colour);
            p.setPen(line.visible ? Qt::black : Qt::gray);
            p.drawText(QPointF(x + 11, 3 + metrics.ascent() - 1), line.name);
            x += 11 + metrics.horizontalAdvance(line.name) + 12;
        }
    }

    void wheelEvent(QWheelEvent* event) override {
        const double steps = event->angleDelta().y() / 120.0;
        if (steps == 0)
            return;
        const double factor = std::pow(0.8, steps);
        if (event->modifiers() & Qt::ControlModifier)
            plots_.ZoomTime(factor);
        else if (event->modifiers() & Qt::ShiftModifier)
            plots_.ScrollBy(-0.1 * steps);
        else
            plots_.ZoomValues(index_, factor);
        event->accept();
    }

  private:
    LivePlots& plots_;
    int index_;
    LivePlotStrip kind_;
    QFont small_;
    bool hasRight_ = false;
    bool timeLabels_ = false;
    double fromMs_ = 0, toMs_ = 10000;
    Axis left_, right_;
    std::vector<LivePlotLine> lines_;
    std::vector<ShiftEvent> shifts_;
};

// ---------------------------------------------------------------- the page

LivePlots::LivePlots(TFormMain& form) : QObject(&form), form_(form) {
    BuildStrips();
    WireControls();
    redrawTimer_.setInterval(RedrawIntervalMs);
    connect(&redrawTimer_, &QTimer::timeout, this, [this] { Tick(); });
    redrawTimer_.start();
}

LivePlots::~LivePlots() {
    // The window's controls are gone by now: only the file is closed.
    if (recorder_.IsRecording())
        recorder_.Stop(QString::fromLatin1(LiveCsv::EndClosed));
}

void LivePlots::Prepare() {
    for (const LiveField& field : LiveFields())
        if (field.strip != LivePlotStrip::None)
            form_.Control<TCheckBox>(SeriesBoxName(field)).SetChecked(true);
    form_.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).SetItemIndex(0);
    UpdateControls();
}

void LivePlots::BuildStrips() {
    auto& panel = form_.Control<TPanel>(QStringLiteral("PLivePlotsCharts"));
    auto* layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const LivePlotStrip kinds[] = {LivePlotStrip::Barrel, LivePlotStrip::Rpm, LivePlotStrip::Tps,
                                   LivePlotStrip::Inputs, LivePlotStrip::Supply};
    int index = 0;
    for (LivePlotStrip kind : kinds) {
        auto* strip = new LiveStrip(*this, index++, kind, &panel);
        layout->addWidget(strip, kind == LivePlotStrip::Barrel ? 3 : 2);
        strips_.push_back(strip);
    }
    for (LiveStrip* strip : strips_)
        strip->ShowTimeLabels(strip == strips_.back());
}

void LivePlots::WireControls() {
    auto& span = form_.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan"));
    connect(&span, &TRadioGroup::Click, this, [this, &span] {
        static constexpr double Seconds[] = {10, 30, 120};
        const int index = span.ItemIndex();
        if (index >= 0 && index < 3)
            SetSpanSeconds(Seconds[index]);
    });
    auto& pause = form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause"));
    connect(&pause, &TCheckBox::Click, this, [this, &pause] { SetPaused(pause.Checked()); });
    connect(&form_.Control<TButton>(QStringLiteral("BLivePlotsBack")), &TButton::OnClick, this,
            [this] { ScrollBy(-0.5); });
    connect(&form_.Control<TButton>(QStringLiteral("BLivePlotsForward")), &TButton::OnClick, this,
            [this] { ScrollBy(0.5); });
    connect(&form_.Control<TButton>(QStringLiteral("BLivePlotsResetZoom")), &TButton::OnClick, this,
            [this] { ResetZoom(); });
    for (const LiveField& field : LiveFields()) {
        if (field.strip == LivePlotStrip::None)
            continue;
        auto& box = form_.Control<TCheckBox>(SeriesBoxName(field));
        const LiveFieldId id = field.id;
        connect(&box, &TCheckBox::Click, this,
                [this, id, &box] { SetSeriesShown(id, box.Checked()); });
    }
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const int widths[] = {52, 36, 36, 58, 58};
    for (int col = 0; col < 5; ++col)
        grid.SetColWidths(col, widths[col]);
}

bool LivePlots::PageShown() const {
    const auto* page = form_.Find<TTabSheet>(QStringLiteral("TSLivePlots"));
    return page && page->isVisible();
}

void LivePlots::Tick() {
    // A recording whose file stopped taking rows ends at once and says so,
    // rather than counting lines that go nowhere.
    if (recorder_.IsRecording() && !recorder_.Error().isEmpty()) {
        const QString error = recorder_.Error();
        StopRecording(QString::fromLatin1(LiveCsv::EndStopped));
        ShowMessage(form_.TranslateString(Msg::LivePlotsWriteFailed) + error,
                    TMsgDlgType::mtWarning);
    }
    if (gridDirty_) {
        gridDirty_ = false;
        FillShiftGrid();
    }
    UpdateTexts();
    if (PageShown())
        for (LiveStrip* strip : strips_)
            strip->NameSeries();
    if (dirty_ && PageShown())
        Redraw();
}

// ---------------------------------------------------------------- the stream

void LivePlots::LiveStarted(const GearBands& bands) {
    detector_.SetBands(bands);
    if (!clock_.isValid())
        clock_.start();
}

void LivePlots::TakeLine(LiveSample sample) {
    if (!clock_.isValid())
        clock_.start();
    sample.timeMs = double(clock_.nsecsElapsed()) / 1e6;
    if (lastLineMs_ >= 0) {
        const double gap = sample.timeMs - lastLineMs_;
        if (gap < 1000) // a pause of the stream is no interval
            lineIntervalMs_ = lineIntervalMs_ > 0 ? 0.9 * lineIntervalMs_ + 0.1 * gap : gap;
    }
    lastLineMs_ = sample.timeMs;
    live_.Add(sample);
    recorder_.Add(sample);
    for (const ShiftEvent& shift : detector_.Add(sample))
        OnShift(shift);
    if (!replay_ && following_)
        dirty_ = true;
}

void LivePlots::OnShift(const ShiftEvent& shift) {
    live_.AddShift(shift);
    recorder_.AddShift(shift);
    if (replay_)
        return;
    gridDirty_ = true; // filled at the next redraw, however many shifts come
    dirty_ = true;
}

// ---------------------------------------------------------------- recording

void LivePlots::StartRecording(const QString& fileName) {
    if (!clock_.isValid())
        clock_.start();
    const double now = double(clock_.nsecsElapsed()) / 1e6;
    recorder_.Start(fileName, now, QDateTime::currentDateTime());
    UpdateControls();
}

bool LivePlots::StopRecording(const QString& reason) {
    if (!recorder_.IsRecording())
        return true;
    const bool written = recorder_.Stop(reason);
    UpdateControls();
    return written;
}

// ---------------------------------------------------------------- replay

void LivePlots::OpenReplay(const QString& fileName) {
    LiveRecordingFile file = ReadLiveRecording(fileName);
    LiveHistory history(std::max(file.samples.size(), size_t(1)));
    history.Assign(std::move(file.samples), std::move(file.shifts));
    replay_ = std::move(history);
    replayFile_ = fileName;
    following_ = false;
    endMs_ = replay_->IsEmpty() ? spanMs_ : replay_->FirstMs() + spanMs_;
    form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause")).SetChecked(true);
    FillShiftGrid();
    UpdateControls();
    dirty_ = true;
}

void LivePlots::ShowLive() {
    replay_.reset();
    replayFile_.clear();
    form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause")).SetChecked(false);
    following_ = true;
    FillShiftGrid();
    UpdateControls();
    dirty_ = true;
}

// ---------------------------------------------------------------- the view

double LivePlots::EndMs() const {
    if (following_)
        return std::max(Shown().LastMs(), spanMs_);
    return endMs_;
}

void LivePlots::SetSpanSeconds(double seconds) {
    const double end = EndMs();
    spanMs_ = std::clamp(seconds, 0.5, 3600.0) * 1000.0;
    if (!following_)
        endMs_ = end;
    dirty_ = true;
}

void LivePlots::SetPaused(bool paused) {
    if (paused == !following_)
        return;
    if (paused)
        endMs_ = EndMs();
    following_ = !paused;
    dirty_ = true;
}

void LivePlots::ScrollBy(double fraction) {
    const LiveHistory& data = Shown();
    double end = EndMs() + fraction * spanMs_;
    end = std::min(end, std::max(data.LastMs(), spanMs_));
    end = std::max(end, data.FirstMs() + std::min(spanMs_, data.LastMs() - data.FirstMs()));
    auto& pause = form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause"));
    if (!pause.Checked())
        pause.SetChecked(true); // looking back holds the view
    following_ = false;
    endMs_ = end;
    dirty_ = true;
}

void LivePlots::ZoomValues(int strip, double factor) {
    LiveStrip& s = Strip(strip);
    const auto [low, high] = s.ValueRange();
    const double middle = (low + high) / 2, half = (high - low) / 2 * factor;
    s.manualRange = std::make_pair(middle - half, middle + half);
    dirty_ = true;
    Redraw();
}

void LivePlots::ZoomTime(double factor) {
    SetSpanSeconds(spanMs_ * factor / 1000.0);
}

void LivePlots::ResetZoom() {
    for (LiveStrip* strip : strips_)
        strip->manualRange.reset();
    static constexpr double Seconds[] = {10, 30, 120};
    const int index = form_.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).ItemIndex();
    SetSpanSeconds(index >= 0 && index < 3 ? Seconds[index] : 10);
}

void LivePlots::SetSeriesShown(LiveFieldId field, bool shown) {
    for (LiveStrip* strip : strips_)
        for (LivePlotLine& line : strip->Lines())
            if (line.field->id == field)
                line.visible = shown; // its legend entry stays, greyed
    dirty_ = true;
}

const LivePlotLine* LivePlots::SeriesOf(LiveFieldId field) const {
    for (LiveStrip* strip : strips_)
        for (const LivePlotLine& line : strip->Lines())
            if (line.field->id == field)
                return &line;
    return nullptr;
}

void LivePlots::Redraw() {
    const double end = EndMs();
    const double from = end - spanMs_;
    for (LiveStrip* strip : strips_)
        strip->Draw(Shown(), from, end);
    ++redraws_;
    dirty_ = false;
}

// ---------------------------------------------------------------- texts and controls

void LivePlots::FillShiftGrid() {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const auto& shifts = Shown().Shifts();
    const int rows = int(std::min<size_t>(shifts.size(), MaxShiftRows));
    grid.SetRowCount(std::max(rows, 1) + 1);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCells(col, 1, QString());
    for (int row = 1; row <= rows; ++row)
        ShowShiftInGrid(row, shifts[shifts.size() - size_t(row)]);
}

void LivePlots::ShowShiftInGrid(int row, const ShiftEvent& shift) {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const auto ms = [&shift](double value) {
        if (!std::isfinite(value))
            return QStringLiteral("-");
        QString text = QString::number(std::lround(value));
        // Measured across a missing status line: coarser than the rest.
        if (shift.resolutionMs > 75)
            text += u'*';
        return text;
    };
    grid.SetCells(0, row, RealToStrDec(shift.timeMs / 1000.0, 2));
    grid.SetCells(1, row, GearText(shift.fromGear));
    grid.SetCells(2, row, shift.missed ? QStringLiteral("-") : GearText(shift.toGear));
    grid.SetCells(3, row, ms(shift.missed ? NoValue : shift.paddleToGearMs));
    grid.SetCells(4, row, ms(shift.paddleToBarrelMs));
}

void LivePlots::UpdateTexts() {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const QStringList titles = form_.TranslateString(Msg::LivePlotsShiftTitles).split(u'|');
    for (int col = 0; col < grid.ColCount(); ++col) {
        const QString title = titles.value(col);
        if (grid.Cells(col, 0) != title)
            grid.SetCells(col, 0, title);
    }
    // The interval shown moves only when the stream's rate does, not with
    // every millisecond of jitter (each new text lays the page out again).
    const double measured = lineIntervalMs_ > 0 ? lineIntervalMs_ : 50;
    if (shownIntervalMs_ <= 0 || std::abs(measured - shownIntervalMs_) >= 3)
        shownIntervalMs_ = measured;
    const double interval = shownIntervalMs_;
    QString resolution = form_.TranslateString(Msg::LivePlotsResolution);
    if (resolution.contains(QLatin1String("%2")))
        resolution = resolution.arg(std::lround(interval)).arg(RealToStrDec(1000.0 / interval, 0));
    auto& note = form_.Control<TLabel>(QStringLiteral("LLivePlotsResolution"));
    if (note.Caption() != resolution)
        note.SetCaption(resolution);
    QString status;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool countDue = now - statusShownAt_ >= 1000; // the line count once a second
    if (recorder_.IsRecording() && !countDue && !statusShownFor_.isEmpty())
        return;
    statusShownAt_ = now;
    statusShownFor_ = recorder_.FileName();
    if (recorder_.IsRecording())
        status = form_.TranslateString(Msg::LivePlotsRecordingTo) +
                 QFileInfo(recorder_.FileName()).fileName() +
                 QStringLiteral(" (%1)").arg(recorder_.LinesAdded());
    else if (replay_)
        status = QFileInfo(replayFile_).fileName() + QStringLiteral(" (%1)").arg(replay_->Size());
    auto& label = form_.Control<TLabel>(QStringLiteral("LLivePlotsRecording"));
    // A long file name is shortened in the middle to the width there is.
    status = label.fontMetrics().elidedText(status, Qt::ElideMiddle,
                                            label.parentWidget()->contentsRect().width() - 12);
    if (label.Caption() != status)
        label.SetCaption(status);
}

void LivePlots::UpdateControls() {
    const bool recording = recorder_.IsRecording();
    form_.Control<TButton>(QStringLiteral("BLivePlotsRecord"))
        .setEnabled(!recording && form_.SerialConnectedGLOB);
    form_.Control<TButton>(QStringLiteral("BLivePlotsStopRecording")).setEnabled(recording);
    form_.Control<TButton>(QStringLiteral("BLivePlotsShowLive")).setEnabled(InReplay());
    UpdateTexts();
}
