// Live telemetry: switching the status stream on and off, preparing the live
// panel, and showing each status line on its LEDs, labels, bars and edits.
#include "ui/UnitMain.h"

#include "device/DeviceNumbers.h"
#include "device/LiveTelemetry.h"
#include "model/CommandTable.h"
#include "ui/Inventory.h"

#include <QApplication>
#include <QSignalBlocker>

namespace {
const QString Bars[] = {
    QStringLiteral("PBSerialLiveBarrel"),  QStringLiteral("PBSerialLiveTPS"),
    QStringLiteral("PBSerialLiveRPM"),     QStringLiteral("PBSerialLiveBattery"),
    QStringLiteral("PBSerialLiveGCUTemp"), QStringLiteral("PBSerialLiveActuatorTemp"),
};
// The labels that show a live number; with no stream they show their inactive
// text, the one they start with.
const char* const NumberLabels[] = {
    "LSerialLiveBarrel",  "LSerialLiveTPS",     "LSerialLiveRPM",
    "LSerialLiveBattery", "LSerialLiveGCUTemp", "LSerialLiveActuatorTemp",
};
const QString Leds[] = {
    QStringLiteral("LedSerialLivePaddleDN"), QStringLiteral("LedSerialLivePaddleUP"),
    QStringLiteral("LedSerialLiveNeutral"),  QStringLiteral("LedSerialLiveBrake"),
    QStringLiteral("LedSerialLiveClutch"),
};
constexpr int RpmLimiterRow = 98;

TProgressBar& Bar(const TFormMain& form, const char* name) {
    return form.Control<TProgressBar>(QString::fromLatin1(name));
}

// The ranges the live bars hold now; status lines are clipped into them.
LiveBarRanges RangesShown(const TFormMain& form) {
    auto range = [&form](const char* name) {
        const TProgressBar& bar = Bar(form, name);
        return BarRange{bar.Min(), bar.Max()};
    };
    LiveBarRanges ranges;
    ranges.barrel = range("PBSerialLiveBarrel");
    ranges.tps = range("PBSerialLiveTPS");
    ranges.rpm = range("PBSerialLiveRPM");
    ranges.battery = range("PBSerialLiveBattery");
    ranges.gcuTemp = range("PBSerialLiveGCUTemp");
    ranges.actuatorTemp = range("PBSerialLiveActuatorTemp");
    return ranges;
}

void ApplyRange(TProgressBar& bar, const BarRange& range) {
    bar.SetMin(range.minimum);
    bar.SetMax(range.maximum);
}

TProgressBarState ToBarState(BarState state) {
    switch (state) {
    case BarState::Error:
        return TProgressBarState::pbsError;
    case BarState::Paused:
        return TProgressBarState::pbsPaused;
    case BarState::Normal:
        break;
    }
    return TProgressBarState::pbsNormal;
}

void ShowBar(const TFormMain& form, const char* name, const BarView& view) {
    TProgressBar& bar = Bar(form, name);
    bar.SetPosition(view.position);
    if (view.state)
        bar.SetState(ToBarState(*view.state));
}

void ShowLabel(const TFormMain& form, const char* name, const QString& text) {
    TLabel& label = form.Control<TLabel>(QString::fromLatin1(name));
    if (label.Caption() != text)
        label.SetCaption(text);
}

void ShowLook(TEdit& edit, const TextLook& look) {
    if (look.text && edit.Text() != *look.text)
        edit.SetText(*look.text);
    if (edit.Color() != look.background)
        edit.SetColor(look.background);
    if (edit.FontColor() != look.font)
        edit.SetFontColor(look.font);
}

void ShowLed(const TFormMain& form, const QString& name, bool lit) {
    TLed& led = form.Control<TLed>(name);
    if (led.Lit() != lit)
        led.SetLit(lit);
}

void ShowView(const TFormMain& form, const LiveView& view) {
    ShowLed(form, Leds[0], view.paddleDownLit);
    ShowLed(form, Leds[1], view.paddleUpLit);
    ShowLed(form, Leds[2], view.neutralLit);
    ShowLabel(form, "LSerialLiveBattery", view.batteryText);
    ShowBar(form, "PBSerialLiveBattery", view.batteryBar);
    ShowLabel(form, "LSerialLiveActuatorTemp", view.actuatorTempText);
    ShowBar(form, "PBSerialLiveActuatorTemp", view.actuatorTempBar);
    ShowLabel(form, "LSerialLiveBarrel", view.barrelText);
    ShowBar(form, "PBSerialLiveBarrel", view.barrelBar);
    TEdit& gear = form.Control<TEdit>(QStringLiteral("ESerialLiveGear"));
    ShowLook(gear, TextLook{view.gearText, gear.Color(), view.gearFont});
    ShowLabel(form, "LSerialLiveRPM", view.rpmText);
    ShowBar(form, "PBSerialLiveRPM", view.rpmBar);
    ShowLabel(form, "LSerialLiveTPS", view.tpsText);
    ShowBar(form, "PBSerialLiveTPS", view.tpsBar);
    ShowLed(form, Leds[3], view.brakeLit);
    ShowLed(form, Leds[4], view.clutchLit);
    ShowLabel(form, "LSerialLiveGCUTemp", view.gcuTempText);
    ShowBar(form, "PBSerialLiveGCUTemp", view.gcuTempBar);
    if (view.selector)
        ShowLook(form.Control<TEdit>(QStringLiteral("ESerialLiveSelector")), *view.selector);
}

void ShowRawFields(TMemo& memo, const QStringList& fields) {
    memo.setPlainText(fields.join(u'\n'));
}
} // namespace

void TFormMain::ShowLiveHourglass(bool shown) {
    if (shown == liveHourglassShown_)
        return;
    liveHourglassShown_ = shown;
    if (shown)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// While a request awaits its answer, live mode would take that answer as
// status text: the box goes back to how it stood.
void TFormMain::CBLiveActiveClick(QObject*) {
    auto& box = Control<TCheckBox>(QStringLiteral("CBLiveActive"));
    if (RequestPending()) {
        const QSignalBlocker silent(&box);
        box.SetChecked(!box.Checked());
        return;
    }
    SwitchLiveMode();
}

// The router follows live mode before the frame goes out, so no line of the
// stream's start is missed; a refused start leaves live routing off.
void TFormMain::SwitchLiveMode() {
    const bool on = Control<TCheckBox>(QStringLiteral("CBLiveActive")).Checked();
    if (on)
        ShowLiveHourglass(true);
    try {
        Exchange().SwitchLive(on);
    } catch (...) {
        SyncLinkGlobals();
        ShowLiveHourglass(false); // no line will come to take it away
        throw;
    }
    SyncLinkGlobals();
    SetLiveControls(on ? QStringLiteral("ACTIVE") : QStringLiteral("INACTIVE"));
    EnableControls();
}

void TFormMain::SetLiveControls(const QString& Status) {
    const std::optional<LiveControlsSetup> setup = LiveControlsFor(Status, Commands);
    if (!setup)
        return;
    // Without the stream no line comes to take the hourglass away.
    if (Status == QLatin1String("INACTIVE"))
        ShowLiveHourglass(false);
    if (setup->ranges) {
        LiveBarRanges ranges = *setup->ranges;
        // The bar shows RPM, so its top is the limiter in RPM, not the GCU's Hz.
        ranges.rpm.maximum = RoundToIntClamped(FWValueToSWValue(
            Commands, RpmLimiterRow, Commands[RpmLimiterRow].ActualValueFW, RPMFactorGLOB));
        ApplyRange(Bar(*this, "PBSerialLiveBarrel"), ranges.barrel);
        ApplyRange(Bar(*this, "PBSerialLiveTPS"), ranges.tps);
        ApplyRange(Bar(*this, "PBSerialLiveRPM"), ranges.rpm);
        ApplyRange(Bar(*this, "PBSerialLiveBattery"), ranges.battery);
        ApplyRange(Bar(*this, "PBSerialLiveGCUTemp"), ranges.gcuTemp);
        ApplyRange(Bar(*this, "PBSerialLiveActuatorTemp"), ranges.actuatorTemp);
    }
    for (const QString& name : Bars) {
        TProgressBar& bar = Control<TProgressBar>(name);
        bar.SetPosition(bar.Min());
    }

    ShowLook(Control<TEdit>(QStringLiteral("ESerialLiveSelector")), setup->selector);
    ShowLook(Control<TEdit>(QStringLiteral("ESerialLiveGear")), setup->gear);
    for (const QString& name : Leds) {
        TLed& led = Control<TLed>(name);
        led.SetOffColor(setup->ledOffColor);
        led.SetColor(setup->ledOnColor);
        if (setup->ledsSwitchedOff)
            led.SetLit(false);
    }
}

// No link, no live numbers: the labels show their inactive text, as at start.
void TFormMain::ShowLiveNumbersInactive() {
    for (const char* name : NumberLabels) {
        const InventoryItem* item = FindInventoryItem(QLatin1String(name));
        if (!item)
            throw std::logic_error(std::string("no inventory row for ") + name);
        ShowLabel(*this, name, QString::fromUtf8(item->caption));
    }
}

void TFormMain::GetLive(const QString& line) {
    ShowLiveHourglass(false);
    const LiveParse parse = ParseLiveLine(line, Commands, RPMFactorGLOB, RangesShown(*this));
    if (!parse.accepted)
        return;
    ShowRawFields(Control<TMemo>(QStringLiteral("MemoLive")), parse.rawFields);
    // A line with a missing or malformed field changes nothing else.
    if (!parse.view)
        return;
    ShowView(*this, *parse.view);
    ++liveLinesShown_;
}
