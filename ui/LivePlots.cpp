#include "ui/LivePlots.h"

#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

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
    if (gear >= 1 && gear <= 6)
        return QString::number(gear);
    return QStringLiteral("E");
}
QString SecondsText(double ms, int decimals) {
    return RealToStrDec(ms / 1000.0, decimals) + QStringLiteral(" s");
}
// The shift a shift time is shown for: the middle of paddle and barrel.
double MiddleOf(const ShiftEvent& shift) {
    const double end = std::isfinite(shift.paddleToBarrelMs) ? shift.paddleToBarrelMs
                       : std::isfinite(shift.paddleToGearMs) ? shift.paddleToGearMs
                                                             : 0;
    return shift.timeMs + end / 2;
}

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
    return step >= 1 ? 0 : (step >= 0.1 ? 1 : (step >= 0.01 ? 2 : 3));
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

// Draws Points (seconds, value) as polylines, broken at every PlotBreak.
template <class Map> void DrawBroken(QPainter& p, const QList<QPointF>& points, Map map) {
    QPolygonF run;
    run.reserve(points.size());
    const auto flush = [&] {
        if (run.size() > 1)
            p.drawPolyline(run);
        else if (run.size() == 1)
            p.drawPoint(run.front());
        run.clear();
    };
    for (const QPointF& point : points) {
        if (IsPlotBreak(point))
            flush();
        else
            run.append(map(point));
    }
    flush();
}

constexpr int DragThreshold = 4; // pixels a press may move and still be a click
} // namespace

// ---------------------------------------------------------------- one strip

// One strip: the fields of one LivePlotStrip over the shared time axis, the
// faded comparison, where lines are missing, the shifts as vertical marks
// (the paddle dashed, the gear change solid) and a legend on top. What the
// data gives is drawn into an image when the view or the data changes; the
// cursors are drawn over it, so moving the mouse costs only the copy.
// Mouse: the wheel zooms the values (with Ctrl the time, with Shift it
// scrolls); dragging pans, with Ctrl it zooms to the range dragged over; a
// click sets the first cursor, a shift-click the second, a right click clears
// them.
class LiveStrip : public QWidget {
  public:
    LiveStrip(LivePlots& plots, int index, LivePlotStrip kind, QWidget* parent)
        : QWidget(parent), plots_(plots), index_(index), kind_(kind) {
        setObjectName(QStringLiteral("LivePlotStrip%1").arg(index));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setMinimumHeight(56);
        small_ = font();
        small_.setPixelSize(9);
        for (const LiveField& field : LiveFields())
            if (field.strip == kind)
                lines_.push_back({&field, {}, true, {}, {}});
        hasRight_ = std::any_of(lines_.begin(), lines_.end(),
                                [](const LivePlotLine& l) { return l.field->rightAxis; });
    }

    std::vector<LivePlotLine>& Lines() { return lines_; }
    std::optional<std::pair<double, double>> manualRange;
    void ShowTimeLabels(bool shown) { timeLabels_ = shown; }
    bool ShowsTimeLabels() const { return timeLabels_; }
    std::pair<double, double> ValueRange() const { return {left_.low, left_.high}; }
    int PlotWidth() const { return PlotRect().width(); }
    // The time under x (widget pixels).
    double MsAt(double x) const {
        const QRect area = PlotRect();
        return fromMs_ + (x - area.left()) / std::max(area.width(), 1) * (toMs_ - fromMs_);
    }
    double XOf(double ms) const {
        const QRect area = PlotRect();
        return area.left() + (ms - fromMs_) / std::max(toMs_ - fromMs_, 1.0) * area.width();
    }

    // Each line is named as its check box, in the language shown.
    void NameSeries() {
        for (LivePlotLine& line : lines_) {
            const auto* form = qobject_cast<TFormMain*>(window());
            auto* box = form ? form->Find<TCheckBox>(SeriesBoxName(*line.field)) : nullptr;
            if (box && line.name != box->Caption().remove(u'&')) {
                line.name = box->Caption().remove(u'&');
                cacheValid_ = false;
                update();
            }
        }
    }

    void Draw(double fromMs, double toMs) {
        NameSeries();
        fromMs_ = fromMs;
        toMs_ = toMs;
        const LivePlotColumns& columns = plots_.Columns();
        const LiveHistory* overlay = plots_.Overlay();
        const double offset = plots_.OverlayOffsetMs();
        bool anyLeft = false, anyRight = false;
        double leftLow = 0, leftHigh = 0, rightLow = 0, rightHigh = 0;
        for (LivePlotLine& line : lines_) {
            line.overlay.clear();
            if (!line.visible) {
                line.points.clear();
                continue;
            }
            const LiveField& field = *line.field;
            columns.Points(field.id, fromMs, toMs, field.step, field.stepOffset, line.points);
            double low = 0, high = 0;
            bool any = columns.Range(field.id, fromMs, toMs, low, high);
            if (overlay) {
                const auto [first, last] = plots_.OverlayStretchMs();
                overlay->Points(field.id, std::max(fromMs - offset, first),
                                std::min(toMs - offset, last), PlotWidth(), field.step,
                                field.stepOffset, line.overlay);
                for (QPointF& point : line.overlay)
                    if (!IsPlotBreak(point))
                        point.rx() += offset / 1000.0;
                double oLow = 0, oHigh = 0;
                if (overlay->Range(field.id, std::max(fromMs - offset, first),
                                   std::min(toMs - offset, last), oLow, oHigh)) {
                    low = any ? std::min(low, oLow) : oLow;
                    high = any ? std::max(high, oHigh) : oHigh;
                    any = true;
                }
            }
            if (!any)
                continue;
            low += field.stepOffset;
            high += field.stepOffset;
            auto merge = [&](bool& seen, double& l, double& h) {
                l = seen ? std::min(l, low) : low;
                h = seen ? std::max(h, high) : high;
                seen = true;
            };
            if (field.rightAxis)
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
        const LiveHistory& data = plots_.Shown();
        shifts_.clear();
        for (auto it = data.Shifts().rbegin(); it != data.Shifts().rend(); ++it) {
            if (it->timeMs < fromMs - 2000)
                break;
            if (it->timeMs <= toMs)
                shifts_.push_back(*it);
        }
        gaps_.clear();
        for (const LiveGap& gap : data.Gaps())
            if (gap.toMs >= fromMs && gap.fromMs <= toMs)
                gaps_.push_back(gap);
        cacheValid_ = false;
        update();
    }

  protected:
    // The same on every strip, so that a time stands at the same x on all.
    QRect PlotRect() const {
        const int left = 44, right = 30;
        const int top = 14, bottom = timeLabels_ ? 14 : 3;
        return QRect(left, top, std::max(width() - left - right, 10),
                     std::max(height() - top - bottom, 10));
    }

    void resizeEvent(QResizeEvent*) override { cacheValid_ = false; }

    void paintEvent(QPaintEvent*) override {
        if (!cacheValid_ || cache_.size() != size() * devicePixelRatioF())
            Render();
        QPainter p(this);
        p.drawImage(QPoint(0, 0), cache_);
        DrawCursors(p);
        if (dragging_ && zoomDrag_) {
            const QRect area = PlotRect();
            const double a = std::clamp<double>(pressX_, area.left(), area.right());
            const double b = std::clamp<double>(dragX_, area.left(), area.right());
            p.fillRect(QRectF(std::min(a, b), area.top(), std::abs(b - a), area.height()),
                       QColor(60, 120, 220, 50));
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            plots_.ClearCursors();
            return;
        }
        if (event->button() != Qt::LeftButton)
            return;
        pressX_ = dragX_ = event->position().x();
        pressModifiers_ = event->modifiers();
        dragging_ = false;
        zoomDrag_ = event->modifiers() & Qt::ControlModifier;
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const double x = event->position().x();
        if (!(event->buttons() & Qt::LeftButton)) {
            plots_.SetHover(PlotRect().contains(event->position().toPoint())
                                ? std::optional<double>(MsAt(x))
                                : std::nullopt);
            return;
        }
        if (!dragging_ && std::abs(x - pressX_) < DragThreshold)
            return;
        dragging_ = true;
        if (zoomDrag_) {
            dragX_ = x;
            update();
            return;
        }
        plots_.PanBy(MsAt(dragX_) - MsAt(x)); // the data follows the mouse
        dragX_ = x;
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        const double x = event->position().x();
        if (!dragging_) {
            plots_.PinCursor(MsAt(x), pressModifiers_ & Qt::ShiftModifier);
            return;
        }
        dragging_ = false;
        if (zoomDrag_) {
            const double a = MsAt(pressX_), b = MsAt(x);
            update();
            if (std::abs(x - pressX_) >= DragThreshold)
                plots_.ZoomToRange(std::min(a, b), std::max(a, b));
        }
    }

    void leaveEvent(QEvent*) override { plots_.SetHover(std::nullopt); }

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
    void Render() {
        const qreal ratio = devicePixelRatioF();
        if (cache_.size() != size() * ratio) {
            cache_ = QImage(size() * ratio, QImage::Format_RGB32);
            cache_.setDevicePixelRatio(ratio);
        }
        cacheValid_ = true;
        QPainter p(&cache_);
        p.fillRect(rect(), palette().window());
        const QRect area = PlotRect();
        p.fillRect(area, Qt::white);
        p.setFont(small_);
        const QFontMetrics metrics(small_);
        const double top = area.top(), bottom = area.bottom();
        // Where lines are missing: a grey band, the reason in the top strip.
        for (const LiveGap& gap : gaps_) {
            const double a = std::max(XOf(gap.fromMs), double(area.left()));
            const double b = std::min(XOf(gap.toMs), double(area.right()));
            if (b <= a)
                continue;
            p.fillRect(QRectF(a, top, b - a, bottom - top), QColor(232, 232, 232));
            if (index_ == 0) {
                const QString text = plots_.GapText(gap);
                if (metrics.horizontalAdvance(text) + 4 < b - a) {
                    p.setPen(QColor(90, 90, 90));
                    p.drawText(QPointF(a + 2, top + metrics.ascent() + 1), text);
                }
            }
        }
        // Grid and labels: time.
        const double timeStep = NiceStep((toMs_ - fromMs_) / 1000.0, 6) * 1000.0;
        for (double t = std::ceil(fromMs_ / timeStep) * timeStep; t <= toMs_; t += timeStep) {
            const double x = XOf(t);
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
        // The lines, the faded comparison under them.
        p.save();
        p.setClipRect(area);
        for (bool faded : {true, false}) {
            for (const LivePlotLine& line : lines_) {
                const QList<QPointF>& points = faded ? line.overlay : line.points;
                if (!line.visible || points.isEmpty())
                    continue;
                const Axis& axis = line.field->rightAxis ? right_ : left_;
                QColor colour = ColorOf(*line.field);
                if (faded)
                    colour = QColor::fromRgbF(0.55 + 0.45 * colour.redF() * 0.6,
                                              0.55 + 0.45 * colour.greenF() * 0.6,
                                              0.55 + 0.45 * colour.blueF() * 0.6);
                p.setPen(QPen(colour, faded ? 2 : 1));
                DrawBroken(p, points, [&](const QPointF& point) {
                    return QPointF(XOf(point.x() * 1000.0), axis.Map(point.y(), top, bottom));
                });
            }
        }
        // The shifts.
        for (const ShiftEvent& shift : shifts_) {
            p.setPen(QPen(shift.missed ? QColor(Qt::red) : QColor(255, 128, 0), 1, Qt::DashLine));
            const double x = XOf(shift.timeMs);
            p.drawLine(QPointF(x, top), QPointF(x, bottom));
            if (!shift.missed && std::isfinite(shift.paddleToGearMs) && shift.paddleToGearMs > 0) {
                p.setPen(QPen(QColor(0, 128, 0), 1));
                const double g = XOf(shift.timeMs + shift.paddleToGearMs);
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

    // The cursor lines, and a box with the values at the cursor (or the
    // values at both cursors and their difference).
    void DrawCursors(QPainter& p) {
        const QRect area = PlotRect();
        const auto hover = plots_.HoverMs();
        const auto a = plots_.CursorMs(false), b = plots_.CursorMs(true);
        const auto line = [&](std::optional<double> ms, const QPen& pen) {
            if (!ms || *ms < fromMs_ || *ms > toMs_)
                return;
            p.setPen(pen);
            const double x = XOf(*ms);
            p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        };
        line(a, QPen(QColor(20, 60, 200), 1));
        line(b, QPen(QColor(180, 0, 160), 1));
        line(hover, QPen(QColor(80, 80, 80), 1, Qt::DotLine));
        QStringList texts;
        std::optional<double> at;
        const bool difference = a && b && !hover;
        if (difference) {
            at = *b;
            if (index_ == 0)
                texts << QStringLiteral("\u0394t %1 ms").arg(RealToStrDec(*b - *a, 0));
            for (const LivePlotLine& l : lines_) {
                if (!l.visible)
                    continue;
                const QString delta = plots_.DifferenceText(l.field->id, *a, *b);
                texts << l.name + QStringLiteral(": ") + plots_.ValueText(l.field->id, *a) +
                             QStringLiteral(" \u2192 ") + plots_.ValueText(l.field->id, *b) +
                             (delta.isEmpty() ? QString()
                                              : QStringLiteral(" (\u0394 ") + delta + u')');
            }
        } else if (hover || a) {
            at = hover ? *hover : *a;
            if (index_ == 0)
                texts << SecondsText(*at, 3);
            for (const LivePlotLine& l : lines_)
                if (l.visible)
                    texts << l.name + QStringLiteral(": ") + plots_.ValueText(l.field->id, *at);
        }
        if (!at || *at < fromMs_ || *at > toMs_ || texts.isEmpty())
            return;
        p.setFont(small_);
        const QFontMetrics metrics(small_);
        int width = 0;
        for (const QString& text : texts)
            width = std::max(width, metrics.horizontalAdvance(text));
        const int lineHeight = metrics.height();
        const int boxWidth = width + 8;
        const int boxHeight = std::min(int(texts.size()) * lineHeight + 4, area.height());
        double x = XOf(*at) + 6;
        if (x + boxWidth > area.right())
            x = XOf(*at) - 6 - boxWidth;
        x = std::max(x, double(area.left()));
        const QRectF box(x, area.top() + 1, boxWidth, boxHeight);
        p.fillRect(box, QColor(255, 255, 240, 230));
        p.setPen(QColor(150, 150, 150));
        p.drawRect(box);
        p.setPen(Qt::black);
        p.save();
        p.setClipRect(box);
        for (int i = 0; i < texts.size(); ++i)
            p.drawText(QPointF(box.left() + 4, box.top() + 2 + metrics.ascent() + i * lineHeight),
                       texts[i]);
        p.restore();
    }

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
    std::vector<LiveGap> gaps_;
    QImage cache_;
    bool cacheValid_ = false;
    // A press that may become a drag.
    double pressX_ = 0, dragX_ = 0;
    Qt::KeyboardModifiers pressModifiers_;
    bool dragging_ = false;
    bool zoomDrag_ = false;
};

// ---------------------------------------------------------------- the page

LivePlots::LivePlots(TFormMain& form, LiveSession& session)
    : QObject(&form), form_(form), session_(session) {
    BuildStrips();
    WireControls();
    redrawTimer_.setInterval(RedrawIntervalMs);
    connect(&redrawTimer_, &QTimer::timeout, this, [this] { Tick(); });
    redrawTimer_.start();
    loadTimer_.setInterval(50);
    connect(&loadTimer_, &QTimer::timeout, this, [this] { PollReading(); });
}

LivePlots::~LivePlots() = default;

void LivePlots::Prepare() {
    for (const LiveField& field : LiveFields())
        if (field.strip != LivePlotStrip::None)
            form_.Control<TCheckBox>(SeriesBoxName(field)).SetChecked(true);
    form_.Control<TRadioGroup>(QStringLiteral("RGLivePlotsSpan")).SetItemIndex(0);
    auto& speed = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsSpeed"));
    QStringList speeds;
    for (int factor : Speeds)
        speeds << QStringLiteral("%1x").arg(factor);
    speed.SetItems(speeds);
    speed.SetItemIndex(0);
    auto& reading = form_.Control<TProgressBar>(QStringLiteral("PBLivePlotsReading"));
    reading.SetMin(0);
    reading.SetMax(ReadingSteps);
    reading.SetPosition(0);
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
    auto& speed = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsSpeed"));
    connect(&speed, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < int(Speeds.size()))
            SetSpeed(Speeds[size_t(index)]);
    });
    auto& pause = form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause"));
    connect(&pause, &TCheckBox::Click, this, [this, &pause] { SetPaused(pause.Checked()); });
    const auto button = [this](const char* name, auto action) {
        connect(&form_.Control<TButton>(QString::fromLatin1(name)), &TButton::OnClick, this,
                action);
    };
    button("BLivePlotsBack", [this] { ScrollBy(-0.5); });
    button("BLivePlotsForward", [this] { ScrollBy(0.5); });
    button("BLivePlotsResetZoom", [this] { ResetZoom(); });
    button("BLivePlotsPlay", [this] { Play(); });
    button("BLivePlotsCancelReading", [this] { CancelReading(); });
    button("BLivePlotsOverlayShift", [this] { OverlayChosenShift(); });
    button("BLivePlotsOverlayClear", [this] { ClearOverlay(); });
    for (const LiveField& field : LiveFields()) {
        if (field.strip == LivePlotStrip::None)
            continue;
        auto& box = form_.Control<TCheckBox>(SeriesBoxName(field));
        const LiveFieldId id = field.id;
        connect(&box, &TCheckBox::Click, this,
                [this, id, &box] { SetSeriesShown(id, box.Checked()); });
    }
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    connect(&grid, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { ShowShift(index.row()); });
    auto& overlayShift = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsOverlayShift"));
    connect(&overlayShift, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!overlayFile_ || overlay_ != overlayFile_.get() || index < 0 ||
            size_t(index) >= overlayFile_->Shifts().size())
            return;
        overlayAnchorMs_ = overlayFile_->Shifts()[size_t(index)].timeMs;
        dirty_ = true;
    });
}

bool LivePlots::PageShown() const {
    const auto* page = form_.Find<TTabSheet>(QStringLiteral("TSLivePlots"));
    return page && page->isVisible();
}

void LivePlots::Tick() {
    // A recording whose file stopped taking rows ends at once and says so,
    // rather than counting lines that go nowhere.
    const LiveRecorder& recorder = session_.Recorder();
    if (recorder.IsRecording() && !recorder.Error().isEmpty()) {
        const QString error = recorder.Error();
        session_.StopRecording(QString::fromLatin1(LiveCsv::EndStopped));
        UpdateControls();
        ShowMessage(form_.TranslateString(Msg::LivePlotsWriteFailed) + error,
                    TMsgDlgType::mtWarning);
    }
    if (replay_ && playing_) {
        endMs_ += double(playClock_.restart()) * speed_;
        if (endMs_ >= replay_->LastMs()) {
            endMs_ = std::max(replay_->LastMs(), replay_->FirstMs() + spanMs_);
            form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause")).SetChecked(true);
        }
        dirty_ = true;
    }
    if (!replay_ && following_ && session_.Revision() != drawnRevision_)
        dirty_ = true;
    if (gridSource_ != &Shown() || (!replay_ && gridShiftRevision_ != session_.ShiftRevision()))
        FillShiftGrid();
    UpdateTexts();
    if (!PageShown())
        return;
    for (LiveStrip* strip : strips_)
        strip->NameSeries();
    if (dirty_)
        Redraw();
}

// ---------------------------------------------------------------- reading recordings

void LivePlots::StartReading(const QString& fileName, bool forOverlay) {
    CancelReading();
    load_ = std::make_unique<LiveRecordingLoad>(fileName);
    loadForOverlay_ = forOverlay;
    form_.Control<TProgressBar>(QStringLiteral("PBLivePlotsReading")).SetPosition(0);
    loadTimer_.start();
    UpdateControls();
}

void LivePlots::OpenReplay(const QString& fileName) {
    StartReading(fileName, false);
}

void LivePlots::OverlayFile(const QString& fileName) {
    StartReading(fileName, true);
}

void LivePlots::CancelReading() {
    if (!load_)
        return;
    loadTimer_.stop();
    load_.reset(); // cancels and waits for the thread
    form_.Control<TProgressBar>(QStringLiteral("PBLivePlotsReading")).SetPosition(0);
    UpdateControls();
}

void LivePlots::PollReading() {
    if (!load_)
        return;
    form_.Control<TProgressBar>(QStringLiteral("PBLivePlotsReading"))
        .SetPosition(int(std::lround(load_->Fraction() * ReadingSteps)));
    if (load_->Done())
        FinishReading();
}

void LivePlots::FinishReading() {
    loadTimer_.stop();
    const std::unique_ptr<LiveRecordingLoad> load = std::move(load_);
    form_.Control<TProgressBar>(QStringLiteral("PBLivePlotsReading")).SetPosition(0);
    std::unique_ptr<LiveHistory> history = load->TakeHistory();
    UpdateControls();
    if (!history) {
        if (!load->Cancelled()) {
            const std::optional<DetailPhrase> phrase = load->ErrorPhrase();
            ShowMessage(form_.TranslateString(Msg::LivePlotsNotARecording) +
                            (phrase ? form_.PhraseText(*phrase) : load->Error()),
                        TMsgDlgType::mtWarning);
        }
        return;
    }
    if (loadForOverlay_) {
        ClearOverlay();
        overlayFile_ = std::move(history);
        overlayFileName_ = load->FileName();
        overlay_ = overlayFile_.get();
        overlayAnchorMs_ =
            overlay_->Shifts().empty() ? overlay_->FirstMs() : overlay_->Shifts().front().timeMs;
        targetAnchorMs_ =
            chosenShift_ ? std::optional<double>(chosenShift_->timeMs) : std::optional<double>();
        FillOverlayShifts();
    } else {
        // A comparison of the stretch shown so far compares nothing now.
        if (overlay_ && overlay_ != overlayFile_.get())
            ClearOverlay();
        replay_ = std::move(history);
        replayFile_ = load->FileName();
        targetAnchorMs_.reset(); // a shift of what was shown before
        following_ = false;
        playing_ = false;
        chosenShift_.reset();
        ClearCursors();
        endMs_ = replay_->IsEmpty() ? spanMs_ : replay_->FirstMs() + spanMs_;
        form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause")).SetChecked(true);
        FillShiftGrid();
    }
    UpdateControls();
    dirty_ = true;
    if (PageShown())
        Redraw();
}

void LivePlots::ShowLive() {
    if (overlay_ && overlay_ == replay_.get())
        ClearOverlay();
    replay_.reset();
    replayFile_.clear();
    targetAnchorMs_.reset(); // a shift of the recording
    playing_ = false;
    chosenShift_.reset();
    ClearCursors();
    form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause")).SetChecked(false);
    following_ = true;
    FillShiftGrid();
    UpdateControls();
    dirty_ = true;
}

void LivePlots::Play() {
    auto& pause = form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause"));
    if (pause.Checked())
        pause.SetChecked(false); // its handler sets the view going
    else
        SetPaused(false);
}

bool LivePlots::Playing() const {
    return replay_ ? playing_ : following_;
}

void LivePlots::SetSpeed(int factor) {
    speed_ = std::max(factor, 1);
}

// ---------------------------------------------------------------- comparing

void LivePlots::OverlayChosenShift() {
    if (!chosenShift_)
        return;
    ClearOverlay();
    overlay_ = &Shown();
    overlayAnchorMs_ = chosenShift_->timeMs;
    targetAnchorMs_ = chosenShift_->timeMs;
    UpdateControls();
    dirty_ = true;
}

void LivePlots::ClearOverlay() {
    overlay_ = nullptr;
    overlayFile_.reset();
    overlayFileName_.clear();
    targetAnchorMs_.reset();
    auto& box = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsOverlayShift"));
    {
        const QSignalBlocker silent(&box);
        box.SetItems({});
    }
    UpdateControls();
    dirty_ = true;
}

double LivePlots::OverlayOffsetMs() const {
    if (!overlay_)
        return 0;
    if (targetAnchorMs_)
        return *targetAnchorMs_ - overlayAnchorMs_;
    return Shown().FirstMs() - overlay_->FirstMs();
}

std::pair<double, double> LivePlots::OverlayStretchMs() const {
    if (overlay_ && overlay_ != overlayFile_.get())
        return {overlayAnchorMs_ - ShiftSpanMs, overlayAnchorMs_ + ShiftSpanMs};
    return {-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
}

void LivePlots::FillOverlayShifts() {
    auto& box = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsOverlayShift"));
    QStringList items;
    if (overlayFile_)
        for (const ShiftEvent& shift : overlayFile_->Shifts())
            items << RealToStrDec(shift.timeMs / 1000.0, 2) + QStringLiteral(" s  ") +
                         GearText(shift.fromGear) + QStringLiteral("\u2192") +
                         (shift.missed ? QStringLiteral("-") : GearText(shift.toGear));
    const QSignalBlocker silent(&box);
    box.SetItems(items);
    box.SetItemIndex(items.isEmpty() ? -1 : 0);
}

// ---------------------------------------------------------------- shifts

std::optional<ShiftEvent> LivePlots::ShiftOfRow(int row) const {
    const auto& shifts = Shown().Shifts();
    if (row < 1 || size_t(row) > std::min(shifts.size(), MaxShiftRows))
        return std::nullopt;
    return shifts[shifts.size() - size_t(row)];
}

void LivePlots::ShowShift(int row) {
    const std::optional<ShiftEvent> shift = ShiftOfRow(row);
    if (!shift)
        return;
    chosenShift_ = shift;
    if (overlay_)
        targetAnchorMs_ = shift->timeMs;
    spanMs_ = ShiftSpanMs;
    ShowStandingAt(MiddleOf(*shift) + spanMs_ / 2);
    UpdateControls();
    if (PageShown())
        Redraw();
}

void LivePlots::ExportShifts(const QString& fileName) const {
    WriteShiftTable(fileName, Shown().Shifts());
}

// ---------------------------------------------------------------- the view

double LivePlots::EndMs() const {
    if (following_ && !replay_)
        return std::max(Shown().LastMs(), spanMs_);
    return endMs_;
}

void LivePlots::SetSpanSeconds(double seconds) {
    const double end = EndMs();
    spanMs_ = std::clamp(seconds, 0.2, 3600.0) * 1000.0;
    if (!following_)
        endMs_ = end;
    dirty_ = true;
}

void LivePlots::SetPaused(bool paused) {
    if (replay_) {
        if (playing_ == !paused)
            return;
        playing_ = !paused;
        if (playing_) {
            if (endMs_ >= replay_->LastMs())
                endMs_ = replay_->FirstMs() + spanMs_; // from the start again
            playClock_.start();
        }
        dirty_ = true;
        UpdateControls();
        return;
    }
    if (paused == !following_)
        return;
    if (paused)
        endMs_ = EndMs();
    following_ = !paused;
    dirty_ = true;
    UpdateControls();
}

// The view stands still with its right edge at EndMs.
void LivePlots::ShowStandingAt(double endMs) {
    auto& pause = form_.Control<TCheckBox>(QStringLiteral("CBLivePlotsPause"));
    if (!pause.Checked())
        pause.SetChecked(true);
    following_ = false;
    playing_ = false;
    endMs_ = endMs;
    dirty_ = true;
}

void LivePlots::ScrollBy(double fraction) {
    const LiveHistory& data = Shown();
    double end = EndMs() + fraction * spanMs_;
    end = std::min(end, std::max(data.LastMs(), spanMs_));
    end = std::max(end, data.FirstMs() + std::min(spanMs_, data.LastMs() - data.FirstMs()));
    ShowStandingAt(end);
}

void LivePlots::PanBy(double ms) {
    ShowStandingAt(EndMs() + ms);
    if (PageShown())
        Redraw();
}

void LivePlots::ZoomToRange(double fromMs, double toMs) {
    if (!(toMs > fromMs))
        return;
    const double middle = (fromMs + toMs) / 2;
    spanMs_ = std::clamp(toMs - fromMs, 200.0, 3600000.0);
    ShowStandingAt(middle + spanMs_ / 2);
    if (PageShown())
        Redraw();
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

QWidget& LivePlots::StripWidget(int index) const {
    return Strip(index);
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
    // One column a pixel: every strip has the width of the widest plot.
    int width = 1;
    for (LiveStrip* strip : strips_)
        width = std::max(width, strip->PlotWidth());
    columns_.Update(Shown(), from, end, spanMs_ / width);
    for (LiveStrip* strip : strips_)
        strip->Draw(from, end);
    ++redraws_;
    drawnRevision_ = session_.Revision();
    dirty_ = false;
}

// ---------------------------------------------------------------- cursors

void LivePlots::RepaintCursors() {
    for (LiveStrip* strip : strips_)
        strip->update();
}

void LivePlots::SetHover(std::optional<double> ms) {
    if (ms == hoverMs_)
        return;
    hoverMs_ = ms;
    RepaintCursors();
}

void LivePlots::PinCursor(double ms, bool second) {
    (second ? pinB_ : pinA_) = ms;
    RepaintCursors();
}

void LivePlots::ClearCursors() {
    pinA_.reset();
    pinB_.reset();
    RepaintCursors();
}

std::optional<double> LivePlots::ValueAt(LiveFieldId field, double ms) const {
    const LiveHistory& data = Shown();
    const std::optional<size_t> line = data.LineAt(ms);
    if (!line)
        return std::nullopt;
    const double value = data.ValueAt(*line, field);
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString LivePlots::ValueText(LiveFieldId field, double ms) const {
    const std::optional<double> value = ValueAt(field, ms);
    if (!value)
        return QStringLiteral("-");
    const LiveField& f = LiveFieldOf(field);
    if (f.scaling == LiveScaling::Active)
        return form_.TranslateString(*value == 1 ? Msg::LivePlotsPressed : Msg::LivePlotsReleased);
    if (field == Id::Gear)
        return GearText(int(std::lround(*value)));
    QString text = RealToStrDec(*value, f.decimals);
    if (*f.unit)
        text += u' ' + QString::fromUtf8(f.unit);
    return text;
}

QString LivePlots::DifferenceText(LiveFieldId field, double fromMs, double toMs) const {
    const LiveField& f = LiveFieldOf(field);
    if (f.step)
        return QString();
    const std::optional<double> a = ValueAt(field, fromMs), b = ValueAt(field, toMs);
    if (!a || !b)
        return QString();
    const double d = *b - *a;
    QString text = (d > 0 ? QStringLiteral("+") : QString()) + RealToStrDec(d, f.decimals);
    if (*f.unit)
        text += u' ' + QString::fromUtf8(f.unit);
    return text;
}

QString LivePlots::GapText(const LiveGap& gap) const {
    switch (gap.reason) {
    case LiveGapReason::LiveOff:
        return form_.TranslateString(Msg::LivePlotsGapLiveOff);
    case LiveGapReason::LinkLost:
        return form_.TranslateString(Msg::LivePlotsGapLinkLost);
    case LiveGapReason::LinkClosed:
        return form_.TranslateString(Msg::LivePlotsGapLinkClosed);
    case LiveGapReason::CounterJump:
        return form_.TranslateString(Msg::LivePlotsGapLinesMissing)
            .arg(gap.linesMissing >= 0 ? QString::number(gap.linesMissing) : QStringLiteral("?"));
    case LiveGapReason::Silence:
        return form_.TranslateString(Msg::LivePlotsGapSilence)
            .arg(std::lround(gap.toMs - gap.fromMs));
    }
    return QString();
}

// ---------------------------------------------------------------- texts and controls

void LivePlots::FillShiftGrid() {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const auto& shifts = Shown().Shifts();
    gridSource_ = &Shown();
    gridShiftRevision_ = session_.ShiftRevision();
    const int rows = int(std::min<size_t>(shifts.size(), MaxShiftRows));
    grid.SetRowCount(std::max(rows, 1) + 1);
    for (int col = 0; col < grid.ColCount(); ++col)
        grid.SetCells(col, 1, QString());
    for (int row = 1; row <= rows; ++row)
        ShowShiftInGrid(row, shifts[shifts.size() - size_t(row)]);
    UpdateControls();
}

void LivePlots::ShowShiftInGrid(int row, const ShiftEvent& shift) {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    const double interval = session_.LineIntervalMs() > 0 ? session_.LineIntervalMs() : 50;
    const auto ms = [&shift, interval](double value) {
        if (!std::isfinite(value))
            return QStringLiteral("-");
        // Paddle and event in the same line: less than the line interval.
        if (value == 0 && shift.resolutionMs > 0)
            return QStringLiteral("< %1").arg(std::lround(shift.resolutionMs));
        QString text = QString::number(std::lround(value));
        // Measured across a missing status line: coarser than the rest.
        if (shift.resolutionMs > 1.5 * interval)
            text += u'*';
        return text;
    };
    grid.SetCells(0, row, RealToStrDec(shift.timeMs / 1000.0, 2));
    grid.SetCells(1, row, GearText(shift.fromGear));
    grid.SetCells(2, row, shift.missed ? QStringLiteral("-") : GearText(shift.toGear));
    grid.SetCells(3, row, ms(shift.missed ? NoValue : shift.paddleToGearMs));
    grid.SetCells(4, row, ms(shift.paddleToBarrelMs));
    grid.SetCells(5, row, QString::number(std::lround(shift.resolutionMs)));
}

void LivePlots::UpdateTexts() {
    auto& grid = form_.Control<TStringGrid>(QStringLiteral("SGLivePlotsShifts"));
    QStringList titles = form_.TranslateString(Msg::LivePlotsShiftTitles).split(u'|');
    titles << form_.TranslateString(Msg::LivePlotsShiftResolutionTitle);
    if (grid.ColCount() != int(titles.size()))
        grid.SetColCount(int(titles.size()));
    bool retitled = false;
    for (int col = 0; col < grid.ColCount(); ++col) {
        const QString title = titles.value(col);
        if (grid.Cells(col, 0) != title) {
            grid.SetCells(col, 0, title);
            retitled = true;
        }
    }
    // Each column as wide as its title or the widest text it takes; the
    // time gives up room first when they do not fit beside the scroll bar.
    if (retitled || grid.width() != gridSizedFor_) {
        gridSizedFor_ = grid.width();
        const QFontMetrics metrics = grid.fontMetrics();
        const QString widest[] = {QStringLiteral("000,00"), QStringLiteral("N"),
                                  QStringLiteral("N"),      QStringLiteral("< 000"),
                                  QStringLiteral("< 000"),  QStringLiteral("000")};
        std::vector<int> widths;
        int total = 0;
        for (int col = 0; col < grid.ColCount(); ++col) {
            widths.push_back(std::max(metrics.horizontalAdvance(titles.value(col)),
                                      metrics.horizontalAdvance(widest[col])) +
                             8);
            total += widths.back();
        }
        const int room = grid.width() - 2 * grid.frameWidth() -
                         grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 1;
        if (total > room && room > 0)
            widths[0] = std::max(widths[0] - (total - room),
                                 metrics.horizontalAdvance(titles.value(0)) + 4);
        for (int col = 0; col < grid.ColCount(); ++col)
            grid.SetColWidths(col, widths[size_t(col)]);
    }
    // The interval shown moves only when the stream's rate does, not with
    // every millisecond of jitter (each new text lays the page out again).
    const double measured = session_.LineIntervalMs() > 0 ? session_.LineIntervalMs() : 50;
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
    const LiveRecorder& recorder = session_.Recorder();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool countDue = now - statusShownAt_ >= 1000; // the line count once a second
    if (recorder.IsRecording() && !countDue && !statusShownFor_.isEmpty() && !load_)
        return;
    statusShownAt_ = now;
    statusShownFor_ = recorder.FileName();
    if (load_)
        status =
            form_.TranslateString(Msg::LivePlotsReading) + QFileInfo(load_->FileName()).fileName();
    else if (recorder.IsRecording())
        status = form_.TranslateString(Msg::LivePlotsRecordingTo) +
                 QFileInfo(recorder.FileName()).fileName() +
                 QStringLiteral(" (%1)").arg(recorder.LinesAdded());
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
    const bool recording = session_.Recorder().IsRecording();
    const auto enable = [this](const char* name, bool enabled) {
        auto& control = form_.Control<TButton>(QString::fromLatin1(name));
        if (control.isEnabled() != enabled)
            control.setEnabled(enabled);
    };
    enable("BLivePlotsRecord", !recording && form_.SerialConnectedGLOB);
    enable("BLivePlotsStopRecording", recording);
    enable("BLivePlotsShowLive", InReplay());
    enable("BLivePlotsOpen", !Reading());
    enable("BLivePlotsOverlayFile", !Reading());
    enable("BLivePlotsCancelReading", Reading());
    enable("BLivePlotsPlay", InReplay() || !following_);
    enable("BLivePlotsOverlayShift", chosenShift_.has_value());
    enable("BLivePlotsOverlayClear", HasOverlay());
    enable("BLivePlotsExportShifts", !Shown().Shifts().empty());
    auto& box = form_.Control<TComboBox>(QStringLiteral("CBLivePlotsOverlayShift"));
    const bool choosable = overlayFile_ && overlay_ == overlayFile_.get() && box.count() > 0;
    if (box.isEnabled() != choosable)
        box.setEnabled(choosable);
    UpdateTexts();
}
