// Live telemetry: switching the status stream on and off, preparing the live
// panel, and showing each status line on its LEDs, labels, bars and edits.
#include "ui/UnitMain.h"

#include "device/DeviceNumbers.h"
#include "device/LiveTelemetry.h"
#include "model/CommandTable.h"
#include "model/LiveSession.h"
#include "ui/Inventory.h"
#include "ui/LivePlots.h"

#include <QApplication>
#include <QSignalBlocker>

namespace {
using Id = LiveFieldId;
constexpr int RpmLimiterRow = 98;

QString NameOf(const char* name) {
    return QString::fromLatin1(name);
}
TProgressBar& Bar(const TFormMain& form, Id id) {
    return form.Control<TProgressBar>(NameOf(LiveFieldOf(id).bar));
}

// The ranges the live bars hold now; status lines are clipped into them.
LiveBarRanges RangesShown(const TFormMain& form) {
    auto range = [&form](Id id) {
        const TProgressBar& bar = Bar(form, id);
        return BarRange{bar.Min(), bar.Max()};
    };
    LiveBarRanges ranges;
    ranges.barrel = range(Id::Barrel);
    ranges.tps = range(Id::Tps);
    ranges.rpm = range(Id::Rpm);
    ranges.battery = range(Id::Battery);
    ranges.gcuTemp = range(Id::GcuTemp);
    ranges.actuatorTemp = range(Id::ActuatorTemp);
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

void ShowBar(const TFormMain& form, Id id, const BarView& view) {
    TProgressBar& bar = Bar(form, id);
    bar.SetPosition(view.position);
    if (view.state)
        bar.SetState(ToBarState(*view.state));
}

void ShowLabel(const TFormMain& form, Id id, const QString& text) {
    TLabel& label = form.Control<TLabel>(NameOf(LiveFieldOf(id).label));
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

TEdit& EditOf(const TFormMain& form, Id id) {
    return form.Control<TEdit>(NameOf(LiveFieldOf(id).edit));
}

void ShowLed(const TFormMain& form, Id id, bool lit) {
    TLed& led = form.Control<TLed>(NameOf(LiveFieldOf(id).led));
    if (led.Lit() != lit)
        led.SetLit(lit);
}

void ShowView(const TFormMain& form, const LiveView& view) {
    ShowLed(form, Id::PaddleDown, view.paddleDownLit);
    ShowLed(form, Id::PaddleUp, view.paddleUpLit);
    ShowLed(form, Id::Neutral, view.neutralLit);
    ShowLabel(form, Id::Battery, view.batteryText);
    ShowBar(form, Id::Battery, view.batteryBar);
    ShowLabel(form, Id::ActuatorTemp, view.actuatorTempText);
    ShowBar(form, Id::ActuatorTemp, view.actuatorTempBar);
    ShowLabel(form, Id::Barrel, view.barrelText);
    ShowBar(form, Id::Barrel, view.barrelBar);
    TEdit& gear = EditOf(form, Id::Gear);
    ShowLook(gear, TextLook{view.gearText, gear.Color(), view.gearFont});
    ShowLabel(form, Id::Rpm, view.rpmText);
    ShowBar(form, Id::Rpm, view.rpmBar);
    ShowLabel(form, Id::Tps, view.tpsText);
    ShowBar(form, Id::Tps, view.tpsBar);
    ShowLed(form, Id::Brake, view.brakeLit);
    ShowLed(form, Id::Clutch, view.clutchLit);
    ShowLabel(form, Id::GcuTemp, view.gcuTempText);
    ShowBar(form, Id::GcuTemp, view.gcuTempBar);
    if (view.selector)
        ShowLook(EditOf(form, Id::SelectorPosition), *view.selector);
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
        ShowLiveHourglass(false); // no line will come to take it away
        throw;
    }
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
        ApplyRange(Bar(*this, Id::Barrel), ranges.barrel);
        ApplyRange(Bar(*this, Id::Tps), ranges.tps);
        ApplyRange(Bar(*this, Id::Rpm), ranges.rpm);
        ApplyRange(Bar(*this, Id::Battery), ranges.battery);
        ApplyRange(Bar(*this, Id::GcuTemp), ranges.gcuTemp);
        ApplyRange(Bar(*this, Id::ActuatorTemp), ranges.actuatorTemp);
        Session.LiveSwitched(true);
    } else {
        Session.LiveSwitched(false); // lines are missing from here
    }
    for (const LiveField& field : LiveFields()) {
        if (!field.bar)
            continue;
        TProgressBar& bar = Control<TProgressBar>(NameOf(field.bar));
        bar.SetPosition(bar.Min());
    }
    ShowLook(EditOf(*this, Id::SelectorPosition), setup->selector);
    ShowLook(EditOf(*this, Id::Gear), setup->gear);
    for (const LiveField& field : LiveFields()) {
        if (!field.led)
            continue;
        TLed& led = Control<TLed>(NameOf(field.led));
        led.SetOffColor(setup->ledOffColor);
        led.SetColor(setup->ledOnColor);
        if (setup->ledsSwitchedOff)
            led.SetLit(false);
    }
}

// No link, no live numbers: the labels show their inactive text, as at start.
void TFormMain::ShowLiveNumbersInactive() {
    for (const LiveField& field : LiveFields()) {
        if (!field.label)
            continue;
        const InventoryItem* item = FindInventoryItem(QLatin1String(field.label));
        if (!item)
            throw std::logic_error(std::string("no inventory row for ") + field.label);
        ShowLabel(*this, field.id, QString::fromUtf8(item->caption));
    }
}

void TFormMain::GetLive(const QString& line, std::optional<SteadyTime> arrived) {
    ShowLiveHourglass(false);
    const LiveParse parse =
        Session.TakeLiveLine(line, arrived.value_or(SteadyClock::now()), RangesShown(*this));
    if (!parse.accepted)
        return;
    ShowRawFields(Control<TMemo>(QStringLiteral("MemoLive")), parse.rawFields);
    // A line with a missing or malformed field changes nothing else.
    if (!parse.view)
        return;
    ShowView(*this, *parse.view);
    ++liveLinesShown_;
}
