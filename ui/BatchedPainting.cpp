#include "ui/BatchedPainting.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScopedValueRollback>

// A widget's window paints its changed parts when it receives an update
// request; the request holds no region of its own, so one request let through
// later paints everything changed meanwhile.
BatchedPainting::BatchedPainting(QWidget* window, std::chrono::milliseconds period)
    : window_(window) {
    if (!window_) {
        stopped_ = true;
        return;
    }
    window_->installEventFilter(this);
    period_.setInterval(period);
    connect(&period_, &QTimer::timeout, this, [this] { LetThrough(); });
    period_.start();
}

BatchedPainting::~BatchedPainting() {
    Stop();
}

void BatchedPainting::Stop() {
    if (stopped_)
        return;
    stopped_ = true;
    period_.stop();
    if (!window_)
        return;
    window_->removeEventFilter(this);
    if (held_) {
        held_ = false;
        ++batches_;
        QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    }
}

bool BatchedPainting::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::UpdateRequest && !passing_) {
        held_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BatchedPainting::LetThrough() {
    if (!held_ || !window_)
        return;
    held_ = false;
    ++batches_;
    const QScopedValueRollback<bool> passing(passing_, true);
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
}
