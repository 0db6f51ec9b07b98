// Pending changes belong to the unit they were made for, checked with the
// session and simulated units in the same process: changes made against unit
// A, then another unit on the link. Whatever the other unit is (another PCB
// and firmware, a lower reboot counter, another unit known by name, one not
// yet known by name, or A itself again), nothing is written to another unit
// before the user chose to go on, and a parameter its PCB lacks is never
// written at all. And the points of a unit not yet known by name wait for the
// user's answer, then go to the unit chosen.
#include "device/DeviceFrames.h"
#include "device/RestorePointKeeper.h"
#include "device/UnitSession.h"
#include "model/RestorePoints.h"
#include "model/UnitRegistry.h"
#include "support/LoopbackGcu.h"
#include "ui/Inventory.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using qvtest::LoopbackGcu;
using qvtest::ShippedCommandTable;

// Two of them only the 4.3 board has.
const QMap<int, double> Edits{{8, 70}, {11, 80}, {124, 1}, {142, 50}};
const QVector<int> OnlyOn43{124, 142};

class Bench {
  public:
    Bench() : session_(view_) {
        session_.Commands() = ShippedCommandTable();
        BindCommandsFromInventory(session_.Commands());
        session_.Working().ShowDefaults();
        session_.Waiter().SetBusyIndicator({});
    }
    UnitSession& Session() { return session_; }
    // The unit is plugged in and its configuration read (Download) or not.
    void Plug(LoopbackGcu& unit, const QByteArray& firmware, bool download) {
        if (session_.LinkOpen())
            session_.LinkClosed();
        unit.Attach(session_, firmware);
        if (download) {
            ASSERT_TRUE(session_.Download().Ok());
        }
    }
    void MakeEdits() {
        for (auto it = Edits.constBegin(); it != Edits.constEnd(); ++it)
            session_.Working().Edit(it.key(), it.value());
        ASSERT_EQ(session_.PendingChanges(), Edits.size());
    }
    // The command IDs of the value frames a unit received (reads and the
    // store left out).
    static QVector<int> Written(const LoopbackGcu& unit, const CommandTable& table) {
        QVector<int> ids;
        for (const QByteArray& frame : unit.frames) {
            if (frame.startsWith("[INVPARAM") || frame.startsWith("[SAVEPRMT"))
                continue;
            const QString word = QString::fromLatin1(frame).section(u' ', 0, 0).mid(1);
            for (int id = 1; id <= CommandCount; ++id)
                if (!word.isEmpty() && table[id].Command == word && !frame.contains('?'))
                    ids.append(id);
        }
        return ids;
    }
    bool Pending(int id) const {
        const ChangeSequence& sequence = session_.Sequence();
        const int at = sequence.FindForCapture(id);
        return at > 0 && IsPendingStatus(sequence[at].Status);
    }

  private:
    NoWorkingCopyView view_;
    UnitSession session_;
};

struct OtherUnitCase {
    const char* what;
    QString pcb;
    QByteArray firmware;
    int reboots;     // A was read with 10
    QString knownAs; // the name the unit on the link is known by ("": none yet)
    bool downloaded; // read by a download; else the transmission reads it
    bool asks;       // the user must choose before anything is sent
};

const OtherUnitCase OtherUnitCases[] = {
    {"another PCB and firmware, no download", "4.2", "5.1.0", 50, "", false, true},
    {"another PCB and firmware, downloaded", "4.2", "5.1.0", 50, "unit-0002", true, true},
    {"same PCB and firmware, lower reboots", "4.3", "5.0.9", 3, "unit-0001", true, true},
    {"same PCB and firmware, another unit by name", "4.3", "5.0.9", 11, "unit-0002", true, true},
    {"same PCB and firmware, not yet known by name", "4.3", "5.0.9", 11, "", false, true},
    {"unit A again", "4.3", "5.0.9", 11, "unit-0001", true, false},
};

TEST(PendingChangesBelongToTheirUnit,
     nothingWrittenToAnotherUnitBeforeTheUserChooses_neverAParameterItsPcbLacks) {
    for (const OtherUnitCase& c : OtherUnitCases) {
        SCOPED_TRACE(c.what);
        Bench bench;
        UnitSession& session = bench.Session();
        LoopbackGcu a(ShippedCommandTable(), QStringLiteral("4.3"));
        a.Parameters().SetRebootCounter(10);
        bench.Plug(a, "5.0.9", true);
        session.SetUnitKnownAs(QStringLiteral("unit-0001"), QStringLiteral("Kart 7"));
        bench.MakeEdits();
        ASSERT_TRUE(session.PendingMadeFor().has_value());
        EXPECT_EQ(session.PendingMadeFor()->name, "Kart 7");

        LoopbackGcu b(ShippedCommandTable(), c.pcb);
        b.Parameters().SetRebootCounter(c.reboots);
        bench.Plug(b, c.firmware, c.downloaded);
        if (!c.knownAs.isEmpty())
            session.SetUnitKnownAs(c.knownAs, c.knownAs);

        TransmitOutcome outcome = session.Transmit(true);
        if (c.asks) {
            EXPECT_EQ(outcome.stop, TransmitOutcome::Stop::OtherUnit);
            ASSERT_TRUE(outcome.otherUnit.has_value());
            EXPECT_EQ(outcome.otherUnit->madeFor.name, "Kart 7");
            EXPECT_EQ(outcome.otherUnit->connected.pcb, c.pcb);
            EXPECT_TRUE(Bench::Written(b, session.Commands()).isEmpty());
            EXPECT_FALSE(b.frames.contains("[SAVEPRMT 0]"));
            EXPECT_EQ(session.PendingChanges(), Edits.size());
            // Asked again, the same answer: still nothing.
            EXPECT_EQ(session.Transmit(true).stop, TransmitOutcome::Stop::OtherUnit);
            EXPECT_TRUE(Bench::Written(b, session.Commands()).isEmpty());
            session.GoOnWithConnectedUnit();
            outcome = session.Transmit(true);
        }
        EXPECT_NE(outcome.stop, TransmitOutcome::Stop::OtherUnit);
        EXPECT_EQ(outcome.check, TransmitOutcome::Check::Verified);
        const bool lacks = c.pcb == QLatin1String("4.2");
        const QVector<int> written = Bench::Written(b, session.Commands());
        for (auto it = Edits.constBegin(); it != Edits.constEnd(); ++it) {
            SCOPED_TRACE(it.key());
            const bool sendable = !lacks || !OnlyOn43.contains(it.key());
            EXPECT_EQ(written.contains(it.key()), sendable);
            EXPECT_EQ(bench.Pending(it.key()), !sendable);
            if (sendable) {
                EXPECT_EQ(b.Parameters().ValueOfCommand(it.key()), it.value());
            }
        }
        QVector<int> notOnPcb = outcome.notOnPcb;
        std::sort(notOnPcb.begin(), notOnPcb.end());
        EXPECT_EQ(notOnPcb, lacks ? OnlyOn43 : QVector<int>{});
        // What was not sent is still for the unit chosen: no question again.
        if (lacks) {
            EXPECT_EQ(session.Transmit(true).stop, TransmitOutcome::Stop::NothingToSend);
        }
        EXPECT_TRUE(Bench::Written(a, session.Commands()).isEmpty());
    }
}

// ------------------------------------------------------------------ held points

// The moments a unit's points were taken (a point of the same values as the
// newest notes the moment on it).
int MomentsOf(const QString& userData, const QString& key) {
    int moments = 0;
    for (const RestorePointInfo& point :
         RestorePointStore(UnitRegistry(userData).FolderOf(key)).List())
        moments += 1 + int(point.alsoTaken.size());
    return moments;
}

// A unit known by name with one point of what the loopback unit holds, seen
// last with 20 reboots.
QString KnownUnitWithPoint(const QString& userData, UnitSession& session, LoopbackGcu& unit) {
    UnitRegistry registry(userData);
    UnitSighting seen;
    seen.pcb = QStringLiteral("4.3");
    seen.firmware = QStringLiteral("5.0.9");
    seen.reboots = 20;
    const KnownUnit known = registry.Add(QStringLiteral("Kart 7"), seen);
    RestorePointContent content;
    content.time = QDateTime::currentDateTimeUtc().addDays(-1);
    content.reason = RestoreReason::Downloaded;
    content.pcb = seen.pcb;
    content.firmware = seen.firmware;
    content.reboots = seen.reboots;
    UnitValues values;
    for (int id = 1; id <= CommandCount; ++id)
        if (const std::optional<double> v = unit.Parameters().ValueOfCommand(id))
            values.fw.insert(id, *v);
    content.records = UnitConfigRecords(session.Commands(), 43, values, session.RPMFactor());
    RestorePointStore(registry.FolderOf(known.key)).Take(content);
    return known.key;
}

TEST(PointsOfAUnitNotYetKnownByName, waitForTheAnswer_thenGoToTheUnitChosen) {
    for (const bool chooseKnown : {true, false}) {
        SCOPED_TRACE(chooseKnown ? "the known unit" : "a new unit");
        QTemporaryDir userData;
        ASSERT_TRUE(userData.isValid());
        Bench bench;
        UnitSession& session = bench.Session();
        LoopbackGcu unit(ShippedCommandTable());
        const QString known = KnownUnitWithPoint(userData.path(), session, unit);
        RestorePointKeeper::Places places;
        places.unitsFolder = [&] { return UnitsFolder(userData.path()); };
        places.userDataFolder = [&] { return userData.path(); };
        RestorePointKeeper keeper(session, places);
        ASSERT_NE(keeper.Recognizer(), nullptr);
        int asked = 0;
        QObject::connect(keeper.Recognizer(), &UnitRecognizer::askingWhich, [&] { ++asked; });

        // The same values, but fewer reboots than last seen: asked, once.
        unit.Parameters().SetRebootCounter(5);
        bench.Plug(unit, "5.0.9", true);
        EXPECT_EQ(asked, 1);
        ASSERT_TRUE(keeper.Recognizer()->AskingWhich());
        ASSERT_EQ(keeper.Recognizer()->Candidates().size(), 1);
        EXPECT_EQ(keeper.Recognizer()->Candidates()[0].key, known);
        EXPECT_EQ(keeper.Recognizer()->Candidates()[0].differingValues, 0);
        EXPECT_TRUE(session.UnitKey().isEmpty());
        EXPECT_EQ(keeper.HeldPoints(), 1);
        EXPECT_EQ(MomentsOf(userData.path(), known), 1);
        ASSERT_TRUE(session.Download().Ok()); // read again: still one question
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(keeper.HeldPoints(), 2);

        QString key = known;
        if (chooseKnown) {
            keeper.Recognizer()->Choose(known);
        } else {
            keeper.Recognizer()->ChooseNew(QStringLiteral("Kart 9"));
            key = session.UnitKey();
            EXPECT_NE(key, known);
            EXPECT_EQ(session.UnitName(), "Kart 9");
        }
        EXPECT_EQ(session.UnitKey(), key);
        EXPECT_EQ(keeper.HeldPoints(), 0);
        EXPECT_EQ(MomentsOf(userData.path(), key), chooseKnown ? 3 : 2);
        EXPECT_EQ(MomentsOf(userData.path(), known), chooseKnown ? 3 : 1);
        // The unit chosen is seen with the reboot counter read.
        EXPECT_EQ(UnitRegistry(userData.path()).Find(key)->reboots,
                  unit.Parameters().RebootCounter());
    }
}

} // namespace
