#include "ui/LivePlots.h"

#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QVBoxLayout>
#include <QValueAxis>
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
// A value axis with room for its data: 5 % above and below, never empty.
void FitAxis(QValueAxis* axis, double low, double high) {
    if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 0.05;
    axis->setRange(low - pad, high + pad);
    // Enough decimals that neighbouring labels differ.
    const double step = (high - low + 2 * pad) / std::max(axis->tickCount() - 1, 1);
    const int decimals = step >= 5 ? 0 : (step >= 0.5 ? 1 : 2);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + u'f');
}
} // namespace

// ---------------------------------------------------------------- one strip

// One strip: a chart with the fields of one LivePlotStrip, the shifts drawn
// over it as vertical marks, and the mouse wheel: zoom the values, with Ctrl
// zoom the time, with Shift scroll the time.
class LiveStrip : public QChartView {
  public:
    LiveStrip(LivePlots& plots, int index, LivePlotStrip kind, QWidget* parent)
        : QChartView(parent), plots_(plots), index_(index), kind_(kind) {
        setObjectName(QStringLiteral("LivePlotStrip%1").arg(index));
        auto* c = new QChart();
        // Display numbers use the decimal comma, without thousands groups.
        QLocale numbers(QLocale::Italian);
        numbers.setNumberOptions(QLocale::OmitGroupSeparator);
        c->setLocale(numbers);
        c->setLocalizeNumbers(true);
        c->setMargins(QMargins(2, 0, 2, 0));
        c->setBackgroundRoundness(0);
        c->legend()->setAlignment(Qt::AlignTop);
        QFont small = font();
        small.setPixelSize(9);
        // The lower strips are short: fewer value labels, so none is cut.
        const int ticks = kind == LivePlotStrip::Barrel ? 5 : 3;
        c->legend()->setFont(small);
        c->setAnimationOptions(QChart::NoAnimation);
        time_ = new QValueAxis(c);
        time_->setLabelsFont(small);
        time_->setLabelFormat(QStringLiteral("%.1f"));
        c->addAxis(time_, Qt::AlignBottom);
        left_ = new QValueAxis(c);
        left_->setTickCount(ticks);
        left_->setLabelsFont(small);
        left_->setLabelFormat(QStringLiteral("%.0f"));
        c->addAxis(left_, Qt::AlignLeft);
        for (const LiveField& field : LiveFields()) {
            if (field.strip != kind)
                continue;
            auto* series = new QLineSeries(c);
            series->setPen(QPen(ColorOf(field), 1.5));
            c->addSeries(series);
            series->attachAxis(time_);
            if (field.rightAxis) {
                if (!right_) {
                    right_ = new QValueAxis(c);
                    right_->setTickCount(ticks);
                    right_->setLabelsFont(small);
                    right_->setLabelFormat(QStringLiteral("%.0f"));
                    c->addAxis(right_, Qt::AlignRight);
                }
                series->attachAxis(right_);
            } else {
                series->attachAxis(left_);
            }
            lines_.push_back({&field, series});
        }
        if (kind == LivePlotStrip::Inputs)
            left_->setLabelsVisible(false);
        setChart(c);
        setRenderHint(QPainter::Antialiasing, false);
        setMinimumHeight(60);
    }

    struct Line {
        const LiveField* field;
        QLineSeries* series;
    };
    const std::vector<Line>& Lines() const { return lines_; }
    QValueAxis* TimeAxis() const { return time_; }
    QValueAxis* ValueAxis() const { return left_; }
    std::optional<std::pair<double, double>> manualRange;

    void ShowTimeLabels(bool shown) { time_->setLabelsVisible(shown); }
    // Each series is named as its check box, in the language shown.
    void NameSeries() {
        for (const Line& line : lines_) {
            const CheckBoxLink box = Box(*line.field);
            if (box.caption && line.series->name() != *box.caption)
                line.series->setName(*box.caption);
        }
    }

    void Draw(const LiveHistory& data, double fromMs, double toMs) {
        const int columns = std::max(int(chart()->plotArea().width()), 50);
        time_->setRange(fromMs / 1000.0, toMs / 1000.0);
        bool anyLeft = false, anyRight = false;
        double leftLow = 0, leftHigh = 0, rightLow = 0, rightHigh = 0;
        NameSeries();
        for (const Line& line : lines_) {
            if (!line.series->isVisible())
                continue;
            data.Points(line.field->id, fromMs, toMs, columns, line.field->step,
                        line.field->stepOffset, points_);
            line.series->replace(points_);
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
            left_->setRange(-0.5, 9.5); // five states, one above the other
        else if (manualRange)
            left_->setRange(manualRange->first, manualRange->second);
        else if (anyLeft)
            FitAxis(left_, leftLow, leftHigh);
        if (right_ && anyRight) {
            if (kind_ == LivePlotStrip::Barrel)
                FitAxis(right_, std::min(rightLow, -1.0), std::max(rightHigh, 6.0));
            else
                FitAxis(right_, rightLow, rightHigh);
        }
        shifts_.clear();
        for (const ShiftEvent& shift : data.Shifts())
            if (shift.timeMs >= fromMs - 2000 && shift.timeMs <= toMs)
                shifts_.push_back(shift);
        viewport()->update();
    }

  protected:
    void drawForeground(QPainter* painter, const QRectF& rect) override {
        QChartView::drawForeground(painter, rect);
        if (lines_.empty() || shifts_.empty())
            return;
        const QRectF area = chart()->plotArea();
        QLineSeries* anchor = lines_.front().series;
        const auto xOf = [&](double ms) {
            return chart()->mapToPosition(QPointF(ms / 1000.0, 0), anchor).x();
        };
        painter->save();
        for (const ShiftEvent& shift : shifts_) {
            const double x = xOf(shift.timeMs);
            if (x >= area.left() && x <= area.right()) {
                painter->setPen(
                    QPen(shift.missed ? QColor(Qt::red) : QColor(255, 128, 0), 1, Qt::DashLine));
                painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            }
            if (!shift.missed && std::isfinite(shift.paddleToGearMs)) {
                const double g = xOf(shift.timeMs + shift.paddleToGearMs);
                if (g >= area.left() && g <= area.right()) {
                    painter->setPen(QPen(QColor(0, 128, 0), 1));
                    painter->drawLine(QPointF(g, area.top()), QPointF(g, area.bottom()));
                }
            }
        }
        painter->restore();
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
    struct CheckBoxLink {
        std::optional<QString> caption;
    };
    CheckBoxLink Box(const LiveField& field) const {
        const auto* form = qobject_cast<TFormMain*>(window());
        if (!form)
            return {};
        if (auto* box = form->Find<TCheckBox>(SeriesBoxName(field)))
            return {box->Caption().remove(u'&')};
        return {};
    }

    LivePlots& plots_;
    int index_;
    LivePlotStrip kind_;
    QValueAxis* time_ = nullptr;
    QValueAxis* left_ = nullptr;
    QValueAxis* right_ = nullptr;
    std::vector<Line> lines_;
    std::vector<ShiftEvent> shifts_;
    QList<QPointF> points_;
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
    FillShiftGrid(); // newest first
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
    const double low = s.ValueAxis()->min(), high = s.ValueAxis()->max();
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
        for (const LiveStrip::Line& line : strip->Lines())
            if (line.field->id == field) {
                line.series->setVisible(shown);
                // Its legend entry stays, greyed, so it can be found again.
                for (QLegendMarker* marker : strip->chart()->legend()->markers(line.series))
                    marker->setVisible(true);
            }
    dirty_ = true;
}

QLineSeries* LivePlots::SeriesOf(LiveFieldId field) const {
    for (LiveStrip* strip : strips_)
        for (const LiveStrip::Line& line : strip->Lines())
            if (line.field->id == field)
                return line.series;
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
    const int rows = int(std::min<size_t>(shifts.size(), 5000));
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
    const double interval = lineIntervalMs_ > 0 ? lineIntervalMs_ : 50;
    QString resolution = form_.TranslateString(Msg::LivePlotsResolution);
    if (resolution.contains(QLatin1String("%2")))
        resolution = resolution.arg(std::lround(interval)).arg(RealToStrDec(1000.0 / interval, 0));
    auto& note = form_.Control<TLabel>(QStringLiteral("LLivePlotsResolution"));
    if (note.Caption() != resolution)
        note.SetCaption(resolution);
    QString status;
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
