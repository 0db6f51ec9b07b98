// Units known by name in the real window, with simulated units that follow
// one another on one link path (one unplugged, the next plugged in): which
// unit the window takes each for and where its points go, what it asks and
// when; pending changes made for one unit that meet another; the unit kept
// across a firmware update through the simulated boot loader with live mode
// on; and a point failure told again on the next connection. With
// QV_SCREENSHOT_DIR set, the question and the "Unit:" line are saved there in
// English and Italian.
#include "model/RestorePoints.h"
#include "model/UnitRegistry.h"
#include "support/FirmwareImages.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "ui/RestorePointsPage.h"
#include "ui/UnitQuestion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTextDocumentFragment>

namespace {

using qvtest::WaitFor;

class UnitsOnLink : public qvtest::WindowWithGcu {
  protected:
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        options.linkPath = data.FilePath(QStringLiteral("ttyGCU"));
        options.rebootCounter = 40;
    }
    UnitRegistry Registry() const { return UnitRegistry(data.UserPath()); }
    // The moments points of the unit were taken, with their reasons, oldest first.
    QStringList Moments(const QString& key) const {
        QVector<std::pair<QDateTime, QString>> all;
        for (const RestorePointInfo& point : RestorePointStore(Registry().FolderOf(key)).List()) {
            all.append({point.time, point.reason});
            for (const RestorePointMoment& moment : point.alsoTaken)
                all.append({moment.time, moment.reason});
        }
        std::sort(all.begin(), all.end());
        QStringList reasons;
        for (const auto& [time, reason] : all)
            reasons << reason;
        return reasons;
    }
    QStringList UnitNames() const {
        QStringList names;
        for (const KnownUnit& unit : Registry().Load())
            names << unit.name;
        return names;
    }
    // Questions and messages that begin with message N's text up to its first
    // place for a value.
    QStringList AskedBeginningWith(int message) const {
        const QString start =
            form->TranslateString(message).section(u'%', 0, 0).section(u'|', 0, 0);
        QStringList texts;
        for (const auto& q : dialogs.asked)
            if (q.text.startsWith(start))
                texts << q.text;
        return texts;
    }
    // The line as shown (its text without the link markup while it asks).
    QString UnitLine() const {
        return QTextDocumentFragment::fromHtml(
                   form->Control<TLabel>(QStringLiteral("LUnitOnLink")).text())
            .toPlainText();
    }
    QString AskedSoFar() const {
        QStringList texts;
        for (const auto& q : dialogs.asked)
            texts << q.text.left(90);
        return texts.join(QStringLiteral("\n"));
    }
    QString UnitLineFor(const QString& name) const {
        return form->TranslateString(Msg::UnitOnLink).arg(name);
    }
    UnitQuestion& Question() const { return *form->UnitQuestionDialog(); }
    // The unit on the link goes, as an unplugged adapter.
    void Unplug(GcuSimulator& unit) {
        unit.HangUp();
        ASSERT_TRUE(WaitFor([this] { return !Connected(); }));
    }
    // Auto-connect finds the next unit on the path; the offer to read is
    // answered with Answer (Yes: wait for the report).
    void Reconnect(TModalResult answer) {
        const int offered = TimesAsked(Msg::OfferToReadConfig);
        const int read = TimesAsked(Msg::ConfigRead);
        dialogs.messageAnswers.push_back(answer);
        ASSERT_TRUE(WaitFor([this] { return Connected(); }));
        ASSERT_TRUE(WaitFor([&] { return TimesAsked(Msg::OfferToReadConfig) == offered + 1; }));
        if (answer == mrYes) {
            ASSERT_TRUE(WaitFor([&] { return TimesAsked(Msg::ConfigRead) == read + 1; }));
        }
    }
    void SaveShot(const QString& name) {
        const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QApplication::processEvents();
        EXPECT_TRUE(form->grab().save(folder + u'/' + name + QStringLiteral("-window.png")));
        if (Question().isVisible()) {
            EXPECT_TRUE(
                Question().grab().save(folder + u'/' + name + QStringLiteral("-question.png")));
        }
    }
};

// ------------------------------------------------------------------ recognition on connect

struct NextUnit {
    const char* what;
    bool unitAAgain; // A itself plugged in again (else another simulated unit)
    QString pcb;
    QString firmware;
    int reboots; // A was seen with 41
    bool asked;  // "Which unit is this?"
};

// Unit A ("Kart 7") connected and read, unplugged; then the next unit on the
// same path, read: A again is A without a question; a unit with A's PCB,
// firmware and values but fewer reboots is asked about, and nothing of it
// goes to A's history until the answer (a new unit here); a unit no known
// unit could be (another PCB) is a unit of its own without a question.
TEST_F(UnitsOnLink, nextUnitOnTheSamePath_isTakenForTheUnitItIs_askedWhenNotClear) {
    const NextUnit cases[] = {
        {"unit A again", true, "4.3", "5.0.9", 0, false},
        {"same PCB and firmware, fewer reboots", false, "4.3", "5.0.9", 5, true},
        {"another PCB and firmware", false, "4.2", "5.1.0", 60, false},
    };
    ConnectAndRead();
    ASSERT_EQ(UnitNames(), QStringList{"Unit 1"});
    const QString keyA = form->Session.UnitKey();
    ASSERT_EQ(keyA, "unit-0001");
    Registry().Rename(keyA, QStringLiteral("Kart 7"));
    GcuSimulator* onLink = gcu.get();
    int units = 1;
    for (const NextUnit& c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList momentsOfA = Moments(keyA);
        Unplug(*onLink);
        if (c.unitAAgain) {
            gcu->Replug();
            onLink = gcu.get();
        } else {
            onLink = &StartAnotherUnit([&c](GcuSimulatorOptions& options) {
                options.pcbVersion = c.pcb;
                options.firmwareVersion = c.firmware;
                options.rebootCounter = c.reboots;
            });
        }
        Reconnect(mrYes);
        EXPECT_TRUE(onLink->IsPortOpen());
        if (c.asked) {
            ASSERT_TRUE(WaitFor([this] { return Question().isVisible(); }));
            EXPECT_TRUE(form->Session.UnitKey().isEmpty());
            EXPECT_EQ(Moments(keyA), momentsOfA); // nothing filed under A
            ASSERT_EQ(Question().CandidateCount(), 1);
            EXPECT_EQ(Question().CandidateKey(0), keyA);
            EXPECT_EQ(
                UnitLine(),
                UnitLineFor(form->TranslateString(Msg::UnitUnknownTexts).split('|').value(2)));
            for (const char* language : {"BTranslateEnglish", "BTranslateItalian"}) {
                Button(language).click();
                SaveShot(QStringLiteral("unit-question-%1").arg(form->LanguageGLOB));
            }
            Button("BTranslateEnglish").click();
            Question().PickNewUnit(QStringLiteral("Kart 9"));
            Question().Answer();
            EXPECT_FALSE(Question().isVisible());
            EXPECT_EQ(form->Session.UnitName(), "Kart 9");
            EXPECT_EQ(Moments(form->Session.UnitKey()), QStringList{RestoreReason::Downloaded});
            ++units;
        } else {
            EXPECT_FALSE(Question().isVisible());
            if (c.unitAAgain) {
                EXPECT_EQ(form->Session.UnitKey(), keyA);
                EXPECT_EQ(Moments(keyA), momentsOfA + QStringList{RestoreReason::Downloaded});
            } else {
                EXPECT_NE(form->Session.UnitKey(), keyA);
                EXPECT_EQ(Moments(keyA), momentsOfA);
                ++units;
            }
        }
        EXPECT_EQ(UnitLine(), UnitLineFor(form->Session.UnitName()));
        EXPECT_EQ(UnitNames().size(), units);
        EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 0);
    }
    // In every language the line stays on one line in the room beside the
    // tabs: whole, or the name alone; the whole line is its hint.
    const auto& line = form->Control<TLabel>(QStringLiteral("LUnitOnLink"));
    const QString name = form->Session.UnitName();
    for (const char* language : {"BTranslateItalian", "BTranslateFrench", "BTranslateSpanish",
                                 "BTranslateGerman", "BTranslateEnglish"}) {
        Button(language).click();
        QApplication::processEvents();
        EXPECT_TRUE(UnitLine() == UnitLineFor(name) || UnitLine() == name)
            << language << ": " << qPrintable(UnitLine());
        EXPECT_LE(line.fontMetrics().horizontalAdvance(UnitLine()), line.width()) << language;
        EXPECT_EQ(line.toolTip(), UnitLineFor(name)) << language;
    }
    SaveShot(QStringLiteral("unit-line"));
}

// ------------------------------------------------------------------ pending changes

// Changes made for unit A (4.3) meet unit B (4.2, firmware 5.1.0, other
// values) plugged in on the same path, whose download the user declined:
// "Transmit All" reads B, sends nothing and asks; No leaves everything
// pending; Yes sends what B has, never the two parameters only a 4.3 board
// has, and says so.
TEST_F(UnitsOnLink,
       changesMadeForAnotherUnit_nothingSentBeforeTheUserChooses_neverWhatItsPcbLacks) {
    ConnectAndRead();
    Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(80);   // 11
    Spin("SEDownShiftActuationMainLoadActuationPower").SetValue(70); // 8
    form->Session.Working().Edit(124, 1);                            // only on 4.3
    form->Session.Working().Edit(142, 50);                           // only on 4.3
    ASSERT_EQ(form->Session.PendingChanges(), 4);

    Unplug(*gcu);
    GcuSimulator& b = StartAnotherUnit([](GcuSimulatorOptions& options) {
        options.pcbVersion = QStringLiteral("4.2");
        options.firmwareVersion = QStringLiteral("5.1.0");
        options.rebootCounter = 7;
        options.storedValues = {QStringLiteral("MINVBATT=11.5")};
    });
    Reconnect(mrNo);
    const auto valuesWritten = [&b] {
        QList<QByteArray> writes;
        for (const QByteArray& frame : b.ReceivedFrames())
            if (!frame.startsWith("[INVPARAM") && !frame.startsWith("[PRINTSTS"))
                writes << frame.trimmed();
        return writes;
    };

    dialogs.messageAnswers.push_back(mrNo);
    Button("BSequenceTransmitAll").click();
    ASSERT_EQ(AskedBeginningWith(Msg::PendingForOtherUnit).size(), 1);
    const QString question = AskedBeginningWith(Msg::PendingForOtherUnit).value(0);
    EXPECT_TRUE(question.contains("\"Unit 1\" (PCB 4.3, firmware 5.0.9")) << question.toStdString();
    EXPECT_TRUE(question.contains("(PCB 4.2, firmware 5.1.0, reboots 8)"))
        << question.toStdString();
    EXPECT_TRUE(valuesWritten().isEmpty());
    EXPECT_EQ(form->Session.PendingChanges(), 4);
    EXPECT_EQ(b.ParameterById(11), 100);

    dialogs.messageAnswers.push_back(mrYes);
    const int storesBefore = int(b.ReceivedFrames().count("[SAVEPRMT 0]"));
    Button("BSequenceTransmitAll").click();
    ASSERT_TRUE(WaitFor([&] { return TimesAsked(Msg::ReadBackAllHeld) == 1; }));
    EXPECT_EQ(AskedBeginningWith(Msg::PendingForOtherUnit).size(), 2);
    QList<QByteArray> writes = valuesWritten();
    writes.removeAll("[SAVEPRMT 0]");
    EXPECT_EQ(writes, QList<QByteArray>({"[DNACTPWR 70]", "[UPACTPWR 80]"}))
        << writes.join(' ').toStdString();
    EXPECT_EQ(int(b.ReceivedFrames().count("[SAVEPRMT 0]")), storesBefore + 1);
    EXPECT_EQ(b.ParameterById(8), 70);
    EXPECT_EQ(b.ParameterById(11), 80);
    const QString notSent = ShownStartingWith(Msg::NotOnPcbNotSent);
    EXPECT_TRUE(notSent.contains("[LEDRGBMD]") && notSent.contains("[RGBBRGHT]"))
        << notSent.toStdString();
    EXPECT_EQ(EntryOf(124)->Status, "M");
    EXPECT_EQ(EntryOf(142)->Status, "M");
    EXPECT_EQ(form->Session.PendingChanges(), 2);
}

// ------------------------------------------------------------------ another unit's points

// The Restore Points page names every unit, and another unit's point goes
// into the changes for the connected one only after a question that names
// both; a configuration text saved names the unit on the link.
TEST_F(UnitsOnLink, anotherUnitsPoint_shownByItsName_takenOnlyAfterAQuestion) {
    ConnectAndRead();
    const QString text = data.FilePath(QStringLiteral("CFG/A.qvt"));
    dialogs.fileAnswers.push_back(text);
    Button("BSaveConfig").click();
    QFile saved(text);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("# unit: Unit 1\n"));
    saved.close();
    Registry().Rename(form->Session.UnitKey(), QStringLiteral("Kart 7"));

    Unplug(*gcu);
    StartAnotherUnit([](GcuSimulatorOptions& options) {
        options.pcbVersion = QStringLiteral("4.2");
        options.firmwareVersion = QStringLiteral("5.1.0");
        options.storedValues = {QStringLiteral("UPACTPWR=55")};
    });
    Reconnect(mrYes);
    ASSERT_EQ(form->Session.UnitName(), "Unit 2");

    auto& pages = form->Control<TPageControl>(QStringLiteral("PCMain"));
    pages.SetActivePage(&form->Control<TTabSheet>(QStringLiteral("TSRestorePoints")));
    QApplication::processEvents();
    auto& box = form->Control<TComboBox>(QStringLiteral("CBRestorePointsUnit"));
    EXPECT_EQ(box.Items(), QStringList({"Kart 7", "Unit 2"}));
    EXPECT_EQ(box.Text(), "Unit 2");
    box.SetItemIndex(0);
    Q_EMIT box.activated(0);
    ASSERT_EQ(form->RestorePoints().ShownUnitKey(), "unit-0001");
    form->RestorePoints().ComparePoint(1);
    ASSERT_GT(form->RestorePoints().CurrentComparison().counts.unitVsChosen, 0);

    dialogs.messageAnswers.push_back(mrNo);
    Button("BRestorePointsRestore").click();
    const QStringList asked = AskedBeginningWith(Msg::RestoreOtherUnitsPoint);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("\"Kart 7\"") && asked[0].contains("\"Unit 2\" (PCB 4.2"))
        << asked[0].toStdString();
    EXPECT_EQ(EntryCount(), 0);

    dialogs.messageAnswers.push_back(mrYes);
    Button("BRestorePointsRestore").click();
    EXPECT_EQ(AskedBeginningWith(Msg::RestoreOtherUnitsPoint).size(), 2);
    ASSERT_NE(EntryOf(11), nullptr);
    EXPECT_EQ(EntryOf(11)->ActualValueFW, 100);

    // The connected unit's own point is taken without a question.
    box.SetItemIndex(1);
    Q_EMIT box.activated(1);
    form->RestorePoints().ComparePoint(1);
    Button("BRestorePointsRestore").click();
    EXPECT_EQ(AskedBeginningWith(Msg::RestoreOtherUnitsPoint).size(), 2);
}

// ------------------------------------------------------------------ firmware update

class UnitsOnLinkFirmware : public UnitsOnLink {
  protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral("/usr/bin/avrdude")))
            GTEST_SKIP() << "/usr/bin/avrdude is not installed";
        UnitsOnLink::SetUp();
    }
    void ConfigureGcu(GcuSimulatorOptions& options) override {
        UnitsOnLink::ConfigureGcu(options);
        options.bootWindowMs = 1000; // avrdude reaches the boot loader
    }
};

// The update keeps the unit: with live mode on, the stream is stopped and
// the unit read for the point before the update; the reading after it (new
// firmware, one reboot more) is the same unit, without a question, and its
// history holds the points before and after.
TEST_F(UnitsOnLinkFirmware, updateWithLiveModeOn_pointBeforeIt_andOneHistoryAfter) {
    AutoConnect(mrNo); // nothing read: only a reading for the point can give it
    Check("CBLiveActive").SetChecked(true);
    ASSERT_TRUE(WaitFor([this] { return form->LiveLinesShown() > 3; }));

    const QString image = data.FilePath(QStringLiteral("Update.HEX"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(qvtest::SmallImage(nullptr, "5.1.0"));
    file.close();
    dialogs.fileAnswers.push_back(image);
    dialogs.messageAnswers.push_back(mrYes); // the update
    dialogs.messageAnswers.push_back(mrOK);  // its report
    dialogs.messageAnswers.push_back(mrYes); // the offer to read after it
    Button("BRecoveryFirmwareUpdate").click();
    ASSERT_EQ(TimesAsked(Msg::FirmwareUpdated), 1);
    ASSERT_TRUE(WaitFor([this] { return TimesAsked(Msg::ConfigRead) == 1; }))
        << AskedSoFar().toStdString();
    EXPECT_EQ(gcu->FirmwareVersion(), "5.1.0");

    EXPECT_TRUE(AskedBeginningWith(Msg::FirmwareWithoutPoint).isEmpty());
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 0);
    EXPECT_FALSE(Question().isVisible());
    const QString key = form->Session.UnitKey();
    EXPECT_EQ(key, "unit-0001");
    EXPECT_EQ(Moments(key),
              QStringList({RestoreReason::BeforeFirmwareUpdate, RestoreReason::Downloaded}));
    const std::optional<KnownUnit> unit = Registry().Find(key);
    ASSERT_TRUE(unit.has_value());
    EXPECT_EQ(unit->firmware, "5.1.0");
    EXPECT_EQ(unit->reboots, gcu->RebootCounter());
    EXPECT_EQ(UnitNames().size(), 1);
}

// ------------------------------------------------------------------ failures

// A point failure is told once on a connection, and again on the next one.
TEST_F(UnitsOnLink, unwritableFolderAfterASuccessfulPoint_toldOncePerConnection) {
    ConnectAndRead();
    ASSERT_EQ(Moments(form->Session.UnitKey()).size(), 1);
    // A file where the folder of every unit's points was.
    const QString units = UnitsFolder(data.UserPath());
    ASSERT_TRUE(QDir().rename(units, units + QStringLiteral(".kept")));
    QFile blocker(units);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    for (const int value : {80, 90}) {
        Spin("SEUpShiftActuationMainLoadActuationPower").SetValue(value);
        Button("BSequenceTransmitAll").click();
        ASSERT_EQ(gcu->ParameterById(11), value);
    }
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 1);
    const QString told = ShownStartingWith(Msg::RestorePointsNotWritten);
    EXPECT_TRUE(told.contains(QDir::toNativeSeparators(units))) << told.toStdString();

    Unplug(*gcu);
    gcu->Replug();
    dialogs.messageAnswers.push_back(mrYes); // the transmitted entries go with the download
    Reconnect(mrYes);
    EXPECT_EQ(TimesAsked(Msg::RestorePointsNotWritten), 2);
}

} // namespace
