#pragma once
// Painting of a window in batches while a long run of small changes goes on
// inside local event loops (each entry of "Transmit All" waits for the GCU's
// answer in one): the window's update requests are held back and let through
// at most once a period, so that the changes of many steps are painted
// together instead of each step waiting for its own paint.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>

class BatchedPainting : public QObject {
  public:
    static constexpr std::chrono::milliseconds DefaultPeriod{100};

    // Holds back the update requests of Window (a top-level widget) from now on.
    explicit BatchedPainting(QWidget* window, std::chrono::milliseconds period = DefaultPeriod);
    // Stop().
    ~BatchedPainting() override;
    BatchedPainting(const BatchedPainting&) = delete;
    BatchedPainting& operator=(const BatchedPainting&) = delete;

    // Painting as usual again; what was held back is painted as soon as the
    // event loop runs. Safe to call twice.
    void Stop();
    // How many held-back requests were let through so far.
    int Batches() const { return batches_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LetThrough();
    QPointer<QWidget> window_;
    QTimer period_;
    bool held_ = false;
    bool passing_ = false;
    bool stopped_ = false;
    int batches_ = 0;
};
