// The live panel of the real window, fed status lines directly: every field's
// rule, the bar states, the gear and selector tables, lines that are not
// status lines, and the preparation of the panel for both states.
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr TColor Blue = RGBToColor(0, 0, 255);
constexpr TColor Green = RGBToColor(0, 128, 0);
constexpr TColor Gray = RGBToColor(128, 128, 128);
constexpr TColor Orange = RGBToColor(255, 128, 0);
constexpr TColor Fuchsia = RGBToColor(255, 0, 255);

// A status line whose fields are all plausible; tests change the ones they study.
struct StatusLine {
    QStringList fields{"7",   "1", "1",   "1",   "1", "1", "12.6", "40",
                       "1.3", "2", "100", "0.5", "1", "1", "35",   "3"};
    StatusLine& Set(int f, const QString& value) {
        fields[f] = value;
        return *this;
    }
    QString Text() const { return u'*' + fields.join(u'&') + QStringLiteral("#\r\n"); }
};

class LivePanel : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath(QStringLiteral("CFG"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"),
                                dataDir.filePath(QStringLiteral("CFG/Commands.CSV"))));
        SetProgramFolder(dataDir.path());
        form = std::make_unique<TFormMain>();
        form->show();
    }
    void TearDown() override {
        form.reset();
        SetProgramFolder(QString());
    }

    TProgressBar& Bar(const char* name) const {
        return form->Control<TProgressBar>(QString::fromLatin1(name));
    }
    QString Label(const char* name) const {
        return form->Control<TLabel>(QString::fromLatin1(name)).Caption();
    }
    TEdit& Edit(const char* name) const { return form->Control<TEdit>(QString::fromLatin1(name)); }
    TLed& Led(const char* name) const { return form->Control<TLed>(QString::fromLatin1(name)); }
    void Show(const StatusLine& line) { form->GetLive(line.Text()); }
    void Activate() { form->SetLiveControls(QStringLiteral("ACTIVE")); }

    QTemporaryDir dataDir;
    std::unique_ptr<TFormMain> form;
};

const char* const AllBars[] = {"PBSerialLiveBarrel",  "PBSerialLiveTPS",
                               "PBSerialLiveRPM",     "PBSerialLiveBattery",
                               "PBSerialLiveGCUTemp", "PBSerialLiveActuatorTemp"};
const char* const AllLeds[] = {"LedSerialLivePaddleDN", "LedSerialLivePaddleUP",
                               "LedSerialLiveNeutral", "LedSerialLiveBrake", "LedSerialLiveClutch"};

// ------------------------------------------------------------------ preparing the panel

TEST_F(LivePanel, activeTakesBarRangesFromCommandsWithRpmLimiterInRpm) {
    form->Commands[143].ActualValueFW = 0.45;
    form->Commands[144].ActualValueFW = 4.55;
    form->Commands[107].ActualValueFW = 0.6;
    form->Commands[108].ActualValueFW = 4.4;
    form->Commands[98].ActualValueFW = 200; // Hz
    form->Commands[1].ActualValueFW = 10.5;
    form->RPMFactorGLOB = 30;
    Activate();
    auto expectRange = [this](const char* name, int min, int max) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Bar(name).Min(), min);
        EXPECT_EQ(Bar(name).Max(), max);
        EXPECT_EQ(Bar(name).Position(), min);
    };
    expectRange("PBSerialLiveBarrel", 450, 4550);
    expectRange("PBSerialLiveTPS", 600, 4400);
    expectRange("PBSerialLiveRPM", 0, 6000); // 200 Hz at 30 RPM per Hz, not 200 RPM
    expectRange("PBSerialLiveBattery", 105, 160);
    expectRange("PBSerialLiveGCUTemp", 0, 200);
    expectRange("PBSerialLiveActuatorTemp", 0, 130);
    EXPECT_EQ(Edit("ESerialLiveSelector").Color(), clWhite);
    EXPECT_EQ(Edit("ESerialLiveSelector").FontColor(), clWhite);
    EXPECT_EQ(Edit("ESerialLiveGear").Color(), clWhite);
    EXPECT_EQ(Edit("ESerialLiveGear").FontColor(), clBlack);
    for (const char* led : AllLeds) {
        EXPECT_EQ(Led(led).OffColor(), clRed) << led;
        EXPECT_EQ(Led(led).Color(), clLime) << led;
    }
}

TEST_F(LivePanel, rpmBarFollowsEngineSpeedAboveTheLimiterInHertz) {
    Activate(); // limiter 225 Hz = 13500 RPM at 60 RPM per Hz
    Show(StatusLine().Set(10, "200"));
    EXPECT_EQ(Label("LSerialLiveRPM"), "12000 RPM");
    EXPECT_EQ(Bar("PBSerialLiveRPM").Position(), 12000);
}

TEST_F(LivePanel, inactiveResetsBarsSelectorGearAndLeds) {
    Activate();
    Show(StatusLine().Set(3, "0").Set(4, "0").Set(9, "-1").Set(15, "9"));
    ASSERT_TRUE(Led("LedSerialLivePaddleDN").Lit());
    form->SetLiveControls(QStringLiteral("INACTIVE"));
    for (const char* bar : AllBars)
        EXPECT_EQ(Bar(bar).Position(), Bar(bar).Min()) << bar;
    EXPECT_EQ(Edit("ESerialLiveSelector").Text(), "A");
    EXPECT_EQ(Edit("ESerialLiveSelector").Color(), clSilver);
    EXPECT_EQ(Edit("ESerialLiveSelector").FontColor(), Gray);
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "N");
    EXPECT_EQ(Edit("ESerialLiveGear").Color(), clSilver);
    EXPECT_EQ(Edit("ESerialLiveGear").FontColor(), Gray);
    for (const char* led : AllLeds) {
        EXPECT_FALSE(Led(led).Lit()) << led;
        EXPECT_EQ(Led(led).OffColor(), clSilver) << led;
    }
}

TEST_F(LivePanel, unknownStatusChangesNothing) {
    Activate();
    Show(StatusLine().Set(9, "4"));
    form->SetLiveControls(QStringLiteral("active"));
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "4");
    EXPECT_EQ(Bar("PBSerialLiveBarrel").Position(), 1300);
}

// ------------------------------------------------------------------ one line, every field

TEST_F(LivePanel, lineShowsEveryFieldInLabelsBarsAndMemo) {
    Activate();
    Show(StatusLine().Set(16 - 1, "5").Set(3, "0").Set(13, "0"));
    EXPECT_EQ(Label("LSerialLiveBattery"), "12,6 V");
    EXPECT_EQ(Bar("PBSerialLiveBattery").Position(), 130);
    EXPECT_EQ(Label("LSerialLiveActuatorTemp"), QString::fromUtf8("40° C"));
    EXPECT_EQ(Bar("PBSerialLiveActuatorTemp").Position(), 40);
    EXPECT_EQ(Label("LSerialLiveBarrel"), "1300 mV");
    EXPECT_EQ(Bar("PBSerialLiveBarrel").Position(), 1300);
    EXPECT_EQ(Label("LSerialLiveRPM"), "6000 RPM");
    EXPECT_EQ(Bar("PBSerialLiveRPM").Position(), 6000);
    EXPECT_EQ(Label("LSerialLiveTPS"), "500 mV");
    EXPECT_EQ(Bar("PBSerialLiveTPS").Position(), 500);
    EXPECT_EQ(Label("LSerialLiveGCUTemp"), QString::fromUtf8("35° C"));
    EXPECT_EQ(Bar("PBSerialLiveGCUTemp").Position(), 35);
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "2");
    EXPECT_EQ(Edit("ESerialLiveSelector").Text(), "3");
    // An input reading 0 lights its LED, 1 leaves it dark.
    EXPECT_TRUE(Led("LedSerialLivePaddleDN").Lit());
    EXPECT_FALSE(Led("LedSerialLivePaddleUP").Lit());
    EXPECT_FALSE(Led("LedSerialLiveNeutral").Lit());
    EXPECT_FALSE(Led("LedSerialLiveBrake").Lit());
    EXPECT_TRUE(Led("LedSerialLiveClutch").Lit());
    const TMemo& memo = form->Control<TMemo>(QStringLiteral("MemoLive"));
    ASSERT_EQ(memo.LineCount(), 16);
    EXPECT_EQ(memo.Line(0), "7");
    EXPECT_EQ(memo.Line(6), "12.6");
    EXPECT_EQ(memo.Line(15), "5");
}

TEST_F(LivePanel, inputsAreReadAfterTheirScalingAndRounding) {
    Activate();
    Show(StatusLine().Set(4, "0.4").Set(5, "0.6").Set(12, "0.5"));
    EXPECT_TRUE(Led("LedSerialLivePaddleUP").Lit());
    EXPECT_FALSE(Led("LedSerialLiveNeutral").Lit());
    // The inputs' scaling rounds its result to no decimals, taking 0.5 up.
    EXPECT_FALSE(Led("LedSerialLiveBrake").Lit());
}

TEST_F(LivePanel, fieldsBeyondSixteenAppearOnlyInTheMemo) {
    Activate();
    StatusLine line;
    line.fields << "extra";
    Show(line);
    const TMemo& memo = form->Control<TMemo>(QStringLiteral("MemoLive"));
    ASSERT_EQ(memo.LineCount(), 17);
    EXPECT_EQ(memo.Line(16), "extra");
    EXPECT_EQ(Edit("ESerialLiveSelector").Text(), "1"); // f15 = 3 still read
}

// ------------------------------------------------------------------ bar states

TEST_F(LivePanel, actuatorTemperatureStatesAndSensorFault) {
    Activate();
    TProgressBar& bar = Bar("PBSerialLiveActuatorTemp");
    const struct {
        const char* f7;
        TProgressBarState state;
        int position;
    } cases[] = {{"125", TProgressBarState::pbsError, 125},
                 {"105", TProgressBarState::pbsPaused, 105},
                 {"100", TProgressBarState::pbsNormal, 100},
                 {"140", TProgressBarState::pbsError, 130}}; // clipped to the maximum
    for (const auto& c : cases) {
        Show(StatusLine().Set(7, c.f7));
        EXPECT_EQ(bar.State(), c.state) << c.f7;
        EXPECT_EQ(bar.Position(), c.position) << c.f7;
    }
    Show(StatusLine().Set(7, "-60"));
    EXPECT_EQ(Label("LSerialLiveActuatorTemp"), "Error");
    EXPECT_EQ(bar.State(), TProgressBarState::pbsError);
    EXPECT_EQ(bar.Position(), bar.Min());
}

TEST_F(LivePanel, gcuTemperatureStates) {
    Activate();
    TProgressBar& bar = Bar("PBSerialLiveGCUTemp");
    Show(StatusLine().Set(14, "71"));
    EXPECT_EQ(bar.State(), TProgressBarState::pbsError);
    Show(StatusLine().Set(14, "51"));
    EXPECT_EQ(bar.State(), TProgressBarState::pbsPaused);
    Show(StatusLine().Set(14, "50"));
    EXPECT_EQ(bar.State(), TProgressBarState::pbsNormal);
}

TEST_F(LivePanel, barrelTpsAndRpmBarsKeepTheirStateAndClipToTheirRange) {
    Activate();
    Bar("PBSerialLiveBarrel").SetState(TProgressBarState::pbsPaused);
    Show(StatusLine().Set(8, "4.9").Set(11, "0.1"));
    EXPECT_EQ(Label("LSerialLiveBarrel"), "4900 mV");
    EXPECT_EQ(Bar("PBSerialLiveBarrel").Position(), 4500);
    EXPECT_EQ(Bar("PBSerialLiveBarrel").State(), TProgressBarState::pbsPaused);
    EXPECT_EQ(Label("LSerialLiveTPS"), "100 mV");
    EXPECT_EQ(Bar("PBSerialLiveTPS").Position(), 500);
}

// ------------------------------------------------------------------ gear and selector

TEST_F(LivePanel, gearTextAndColourFollowTheGearTable) {
    Activate();
    const struct {
        const char* f9;
        const char* text;
        TColor font;
    } cases[] = {{"-1", "R", Blue},   {"0", "N", Green}, {"1", "1", clBlack},
                 {"6", "6", clBlack}, {"7", "E", clRed}, {"-2", "E", clRed}};
    for (const auto& c : cases) {
        Show(StatusLine().Set(9, c.f9));
        EXPECT_EQ(Edit("ESerialLiveGear").Text(), c.text) << c.f9;
        EXPECT_EQ(Edit("ESerialLiveGear").FontColor(), c.font) << c.f9;
        EXPECT_EQ(Edit("ESerialLiveGear").Color(), clWhite) << c.f9;
    }
}

TEST_F(LivePanel, selectorTextAndColoursFollowTheSelectorTable) {
    Activate();
    const struct {
        const char* f15;
        const char* text;
        TColor background, font;
    } cases[] = {
        {"1", "A", Green, clWhite},   {"2", "M", clRed, clWhite},   {"3", "1", clWhite, clBlack},
        {"5", "3", clWhite, clBlack}, {"8", "6", clWhite, clBlack}, {"9", "R", clYellow, clBlack},
        {"10", "C", Blue, clWhite},   {"11", "T", Orange, clWhite}, {"12", "#", Fuchsia, clWhite}};
    TEdit& selector = Edit("ESerialLiveSelector");
    for (const auto& c : cases) {
        Show(StatusLine().Set(15, c.f15));
        EXPECT_EQ(selector.Text(), c.text) << c.f15;
        EXPECT_EQ(selector.Color(), c.background) << c.f15;
        EXPECT_EQ(selector.FontColor(), c.font) << c.f15;
    }
    // Out of the table: the selector keeps the last look.
    Show(StatusLine().Set(15, "13"));
    EXPECT_EQ(selector.Text(), "#");
    Show(StatusLine().Set(15, "-1"));
    EXPECT_EQ(selector.Color(), Fuchsia);
}

TEST_F(LivePanel, selectorZeroReadsInputsAAndB) {
    Activate();
    const struct {
        const char *a, *b, *text;
        TColor background, font;
    } cases[] = {{"1", "1", "A", Green, clWhite},
                 {"0", "1", "M", clRed, clWhite},
                 {"1", "0", "3", clWhite, clBlack},
                 {"0", "0", "4", clWhite, clBlack}};
    TEdit& selector = Edit("ESerialLiveSelector");
    for (const auto& c : cases) {
        Show(StatusLine().Set(15, "0").Set(1, c.a).Set(2, c.b));
        EXPECT_EQ(selector.Text(), c.text) << c.a << c.b;
        EXPECT_EQ(selector.Color(), c.background) << c.a << c.b;
        EXPECT_EQ(selector.FontColor(), c.font) << c.a << c.b;
    }
    Show(StatusLine().Set(15, "0").Set(1, "2").Set(2, "1"));
    EXPECT_EQ(selector.Text(), "4"); // another pair leaves it as it was
}

// ------------------------------------------------------------------ lines that are not status
// lines

TEST_F(LivePanel, pieceWithoutStartFieldOrEndMarkIsIgnored) {
    Activate();
    Show(StatusLine().Set(9, "3"));
    const TMemo& memo = form->Control<TMemo>(QStringLiteral("MemoLive"));
    const QString line = StatusLine().Set(9, "5").Text();
    for (const QString& broken : {QString(line).remove(u'*'), QString(line).remove(u'#'),
                                  QString(line).replace(u'&', u';')}) {
        form->GetLive(broken);
        EXPECT_EQ(Edit("ESerialLiveGear").Text(), "3") << broken.toStdString();
        EXPECT_EQ(memo.Line(9), "3") << broken.toStdString();
    }
}

TEST_F(LivePanel, shortOrMalformedLineListsItsFieldsButChangesNoControl) {
    Activate();
    Show(StatusLine().Set(9, "3").Set(14, "20"));
    StatusLine shortLine;
    shortLine.fields.removeLast();
    shortLine.Set(9, "5");
    Show(shortLine);
    const TMemo& memo = form->Control<TMemo>(QStringLiteral("MemoLive"));
    EXPECT_EQ(memo.LineCount(), 15);
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "3");
    Show(StatusLine().Set(9, "5").Set(14, "hot"));
    EXPECT_EQ(memo.Line(14), "hot");
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "3");
    EXPECT_EQ(Label("LSerialLiveGCUTemp"), QString::fromUtf8("20° C"));
    Show(StatusLine().Set(9, "2.5")); // the gear must be a whole number
    EXPECT_EQ(Edit("ESerialLiveGear").Text(), "3");
}

} // namespace
