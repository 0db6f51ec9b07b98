// "Transmit All" in the real window against the simulated GCU, painted in
// batches: every entry is still selected and marked as the run goes, but the
// grid is painted a few times a second instead of once for each entry, and
// the window shows the final state after every way the run can end.
#include "device/ConfigDump.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

using namespace std::chrono_literals;
using qvtest::WaitFor;

// Counts the paint events one widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    ~PaintCounter() override {
        if (widget_)
            widget_->removeEventFilter(this);
    }
    int count = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint)
            ++count;
        return false;
    }

  private:
    QPointer<QWidget> widget_;
};

class TransmitAllPainting : public qvtest::WindowWithGcu {
  protected:
    // Short enough for the runs the GCU stops answering, long enough that a
    // machine busy with other work does not end a whole run early.
    void ConfigureLimits(LinkExchange::Limits& limits) override { limits.anyPiece = 1500ms; }

    // Every parameter a control shows and the GCU (PCB 4.3) takes, as an "L" entry with
    // the value the window shows (as a configuration file loads them).
    int LoadWritableParameters() {
        form->Sequence.ClearAll();
        int place = 0;
        for (int id = 1; id <= CommandCount && place < SequenceCount; ++id) {
            const TCommandRecord& row = form->Commands[id];
            // Parameters the unit's PCB does not have are never sent.
            if (row.WriteToGCUID <= 0 || row.SenderName1.isEmpty() ||
                !IsVisibleOnPcb(row, form->PCBVersionGLOB))
                continue;
            TSequenceRecord& entry = form->Sequence[++place];
            entry.CommandID = id;
            entry.Command = row.Command;
            entry.ActualValueFW = row.ActualValueFW;
            entry.ActualValueSW = row.ActualValueSW;
            entry.Status = StatusLetter::Loaded;
            entry.SenderType = row.SenderType;
            entry.SenderName1 = row.SenderName1;
            entry.SenderName2 = row.SenderName2;
            entry.ActivePageIndex1 = row.ActivePageIndex1;
            entry.ActivePageIndex2 = row.ActivePageIndex2;
        }
        form->FillSGSequence();
        form->EnableControls();
        QTest::qWait(50); // painted before the run
        return place;
    }
    int ShownPage() const { return form->Control<TPageControl>("PCMain").currentIndex(); }
    // Calls Action from the window's event loop once the GCU has received
    // Frames more frames, while a run goes on.
    void AfterFrames(int frames, const std::function<void()>& action) {
        const int target = gcu->FramesReceived() + frames;
        auto* poll = new QTimer(form.get());
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, target, action] {
            if (gcu->FramesReceived() < target)
                return;
            poll->stop();
            poll->deleteLater();
            action();
        });
        poll->start(2);
    }
    // What the screen shows in the status cell of grid row Row: read back
    // from the window's backing store, so only what was really painted.
    QRgb ShownColorOfRow(int row) const {
        const QRect cell = Grid().visualRect(Grid().model()->index(row, 5));
        const QPoint at = Grid().viewport()->mapTo(form.get(), cell.topLeft() + QPoint(2, 2));
        const QPixmap shot = form->screen()->grabWindow(form->winId(), at.x(), at.y(), 1, 1);
        return shot.toImage().pixel(0, 0) & 0xFFFFFF;
    }
    // Every row the grid shows is painted in its entry's status colour, the
    // selected row in the selected one, and says its entry's status.
    void ExpectShownRowsPaintedAsTheyStand() {
        QTest::qWait(50); // the paint at the run's end
        int checked = 0;
        for (int row = 1; row <= EntryCount(); ++row) {
            const QRect cell = Grid().visualRect(Grid().model()->index(row, 5));
            if (cell.bottom() >= Grid().viewport()->height())
                break;
            const QRgb expected =
                ToQColor(GetStatusColor(Entry(row).Status, row == Grid().Row())).rgb() & 0xFFFFFF;
            EXPECT_EQ(ShownColorOfRow(row), expected) << "row " << row;
            EXPECT_EQ(Grid().model()->index(row, 5).data().toString(), Entry(row).Status);
            ++checked;
        }
        EXPECT_GT(checked, 5);
        EXPECT_TRUE(form->updatesEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the hourglass is gone
    }
};

TEST_F(TransmitAllPainting,
       wholeConfiguration_everyEntryT_rowOneAndItsPageSelected_gridPaintedAFewTimesASecond) {
    ConnectAndRead();
    const int entries = LoadWritableParameters();
    ASSERT_GE(entries, 100);
    const int framesBefore = gcu->FramesReceived();
    const int asked = MessagesAsked();

    PaintCounter paints(Grid().viewport());
    // Counted until the last entries are going out (a few round trips before
    // the run ends, so that the 2 ms poll surely sees it inside the run); the
    // store and the read-back follow the run.
    QElapsedTimer took;
    qint64 ms = -1;
    int paintsDuringRun = -1;
    AfterFrames(entries - 3, [&] {
        ms = took.elapsed();
        paintsDuringRun = paints.count;
    });
    took.start();
    Button("BSequenceTransmitAll").click();
    ASSERT_GE(paintsDuringRun, 0);

    for (int i = 1; i <= entries; ++i) {
        ASSERT_EQ(Entry(i).Status, StatusLetter::Transmitted) << i;
        EXPECT_EQ(Grid().Cells(5, i), StatusLetter::Transmitted) << i;
        EXPECT_EQ(Grid().model()->index(i, 0).data().toString(),
                  QString::number(Entry(i).CommandID));
    }
    // The store goes out after the entries, then the read-back's dump request.
    EXPECT_TRUE(WaitFor([&] { return FramesSince(framesBefore).size() == entries + 2; }));
    EXPECT_EQ(Grid().Row(), 1);
    EXPECT_EQ(form->Sequence.GridSelectedRow, 1);
    EXPECT_EQ(form->Sequence.ActivePosition, 1);
    EXPECT_EQ(ShownPage(), Entry(1).ActivePageIndex1 - 1);
    EXPECT_EQ(MessagesAsked(), asked + 1);
    EXPECT_EQ(TimesAsked(Msg::ReadBackAllHeld), 1);

    // A paint every 100 ms and a few more, not one for each entry.
    EXPECT_LE(paintsDuringRun, ms / 100 + 4) << entries << " entries in " << ms << " ms";
    EXPECT_LT(paintsDuringRun, entries / 4);
    ExpectShownRowsPaintedAsTheyStand();
    EXPECT_GT(paints.count, paintsDuringRun); // painted once more at the end
}

TEST_F(TransmitAllPainting, progressIsPaintedWhileTheRunGoesOn) {
    ConnectAndRead();
    LoadWritableParameters();
    PaintCounter paints(Grid().viewport());
    int paintsAfterSixtyFrames = -1;
    AfterFrames(60, [&] { paintsAfterSixtyFrames = paints.count; });
    Button("BSequenceTransmitAll").click();
    EXPECT_GT(paintsAfterSixtyFrames, 0);
}

TEST_F(TransmitAllPainting, gcuStopsAnsweringMidRun_windowShowsWhatWasAndWasNotSent) {
    ConnectAndRead();
    const int entries = LoadWritableParameters();
    GcuFaultOptions silent;
    silent.neverAnswer = true;
    AfterFrames(20, [this, silent] { gcu->SetFaults(silent); });
    Button("BSequenceTransmitAll").click();
    // Told once that the GCU stopped answering; the read-back of what was
    // stored then gets no answer either: only that the store is not verified.
    EXPECT_EQ(TimesAsked(Msg::NoAnswer), 1);
    EXPECT_EQ(TimesAsked(Msg::ReadBackNotVerified), 1);
    // The answered entries were stored, but nobody saw the unit keep them:
    // they are to be sent again, not shown as stored.
    EXPECT_EQ(Entry(1).Status, StatusLetter::Loaded);
    EXPECT_EQ(Entry(entries).Status, StatusLetter::Loaded);
    EXPECT_EQ(Grid().Row(), 1);
    ExpectShownRowsPaintedAsTheyStand();
}

TEST_F(TransmitAllPainting, linkLostMidRun_windowShowsWhatWasAndWasNotSent) {
    ConnectAndRead();
    const int entries = LoadWritableParameters();
    AfterFrames(20, [this] { gcu->HangUp(); });
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TimesAsked(Msg::LinkLost), 1);
    // Nothing was stored: the entries sent before the loss are to be sent again.
    EXPECT_EQ(Entry(1).Status, StatusLetter::Loaded);
    EXPECT_EQ(Entry(entries).Status, StatusLetter::Loaded);
    ExpectShownRowsPaintedAsTheyStand();
}

TEST_F(TransmitAllPainting, valueOutsideItsLimits_nothingSent_windowShowsTheRefusedEntry) {
    ConnectAndRead();
    LoadWritableParameters();
    form->Sequence[3].ActualValueFW = 1e9;
    const int framesBefore = gcu->FramesReceived();
    Button("BSequenceTransmitAll").click();
    EXPECT_EQ(TimesAsked(Msg::ValueOutOfLimitsNotSent), 1);
    EXPECT_TRUE(FramesSince(framesBefore).isEmpty());
    EXPECT_EQ(Grid().Row(), 3);
    ExpectShownRowsPaintedAsTheyStand();
}

TEST_F(TransmitAllPainting, windowClosedMidRun_hourglassGone_windowPaintsAgainWhenShown) {
    ConnectAndRead();
    LoadWritableParameters();
    AfterFrames(20, [this] {
        dialogs.messageAnswers = {mrYes}; // close with unsent changes
        form->close();
    });
    Button("BSequenceTransmitAll").click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    PaintCounter paints(Grid().viewport());
    form->show();
    EXPECT_TRUE(WaitFor([&] { return paints.count > 0; }));
}

} // namespace
