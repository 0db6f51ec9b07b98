#include "device/LiveTelemetry.h"

#include "device/DeviceNumbers.h"
#include "model/CommandTable.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

#include <algorithm>

int BarRange::Clip(int position) const {
    return std::clamp(position, minimum, std::max(minimum, maximum));
}

QStringList LiveLineFields(const QString& line) {
    const int start = line.indexOf(u'*');
    const int end = line.lastIndexOf(u'#');
    QStringList fields;
    if (start >= 0 && end > start)
        SplitStringInStrings(u'&', line.mid(start + 1, end - start - 1), fields);
    return fields;
}

namespace {
const QString Degrees = QStringLiteral("\u00B0 C");

class FieldReader {
  public:
    FieldReader(const QStringList& fields, const CommandTable& table, int rpmFactor)
        : fields_(fields), table_(table), rpmFactor_(rpmFactor) {}

    double Number(int f) const {
        return Checked(f, [this, f] { return WireNumber(fields_[f]); });
    }
    int Integer(int f) const {
        return Checked(f, [this, f] { return DisplayTextToInt(fields_[f]); });
    }
    const QString& Text(int f) const { return fields_[f]; }
    int Rounded(int f) const { return RoundToIntClamped(Number(f)); }
    // A digital input after the inputs' scaling, rounded.
    int Input(int f) const {
        return RoundToIntClamped(
            FWValueToSWValue(table_, LiveLine::InputScalingRow, Number(f), rpmFactor_));
    }
    bool InputLit(int f) const { return Input(f) == 0; }

  private:
    template <typename Read> auto Checked(int f, Read read) const -> decltype(read()) {
        try {
            return read();
        } catch (const QvException& error) {
            throw QvException(QStringLiteral("f%1: %2").arg(f).arg(error.Message()));
        }
    }
    const QStringList& fields_;
    const CommandTable& table_;
    int rpmFactor_;
};

// Millivolt text of a voltage and the bar position it gives.
void ShowMillivolts(double volts, const BarRange& range, QString& text, BarView& bar) {
    const QString millivolts = RealToStrDec(volts * 1000.0, 0);
    text = millivolts + QStringLiteral(" mV");
    bar.position = range.Clip(RoundToIntClamped(DisplayTextToFloat(millivolts)));
}

void ShowBattery(const FieldReader& in, const CommandTable& table, const BarRange& range,
                 LiveView& view) {
    const double volts = in.Number(FieldIndex(LiveFieldId::Battery));
    view.batteryText =
        RealToStrDec(volts * table[LiveLine::BatteryRow].FWtoSWFactor, 1) + QStringLiteral(" V");
    const int position = range.Clip(RoundToIntClamped(10.0 * RoundToIntClamped(volts)));
    const double span = range.maximum - range.minimum;
    view.batteryBar.position = position;
    if (position < span / 4)
        view.batteryBar.state = BarState::Error;
    else if (position < span / 2)
        view.batteryBar.state = BarState::Paused;
    else
        view.batteryBar.state = BarState::Normal;
}

void ShowActuatorTemp(const FieldReader& in, const BarRange& range, LiveView& view) {
    const int degrees = in.Rounded(FieldIndex(LiveFieldId::ActuatorTemp));
    if (degrees <= -50) { // sensor fault
        view.actuatorTempText = QStringLiteral("Error");
        view.actuatorTempBar = {range.minimum, BarState::Error};
        return;
    }
    view.actuatorTempText = QString::number(degrees) + Degrees;
    const int position = range.Clip(degrees);
    view.actuatorTempBar.position = position;
    if (position > range.maximum - 10)
        view.actuatorTempBar.state = BarState::Error;
    else if (position > range.maximum - 30)
        view.actuatorTempBar.state = BarState::Paused;
    else
        view.actuatorTempBar.state = BarState::Normal;
}

void ShowGear(const FieldReader& in, LiveView& view) {
    const int gear = in.Integer(FieldIndex(LiveFieldId::Gear));
    if (gear == -1) {
        view.gearText = QStringLiteral("R");
        view.gearFont = LiveColor::Blue;
    } else if (gear == 0) {
        view.gearText = QStringLiteral("N");
        view.gearFont = LiveColor::Green;
    } else if (gear >= 1 && gear <= 6) {
        view.gearText = in.Text(FieldIndex(LiveFieldId::Gear));
        view.gearFont = LiveColor::Black;
    } else {
        view.gearText = QStringLiteral("E");
        view.gearFont = LiveColor::Red;
    }
}

void ShowRpm(const FieldReader& in, int rpmFactor, const BarRange& range, LiveView& view) {
    const int rpm = RoundToIntClamped(in.Number(FieldIndex(LiveFieldId::Rpm)) * rpmFactor);
    view.rpmText = QString::number(rpm) + QStringLiteral(" RPM");
    view.rpmBar.position = range.Clip(rpm);
}

void ShowGcuTemp(const FieldReader& in, const BarRange& range, LiveView& view) {
    const int degrees = in.Rounded(FieldIndex(LiveFieldId::GcuTemp));
    view.gcuTempText = QString::number(degrees) + Degrees;
    const int position = range.Clip(degrees);
    view.gcuTempBar.position = position;
    if (position > 70)
        view.gcuTempBar.state = BarState::Error;
    else if (position > 50)
        view.gcuTempBar.state = BarState::Paused;
    else
        view.gcuTempBar.state = BarState::Normal;
}

std::optional<TextLook> LookFromInputs(int a, int b) {
    using namespace LiveColor;
    if (a == 1 && b == 1)
        return TextLook{QStringLiteral("A"), Green, White};
    if (a == 0 && b == 1)
        return TextLook{QStringLiteral("M"), Red, White};
    if (a == 1 && b == 0)
        return TextLook{QStringLiteral("3"), White, Black};
    if (a == 0 && b == 0)
        return TextLook{QStringLiteral("4"), White, Black};
    return std::nullopt;
}

std::optional<TextLook> SelectorLook(int n, int inputA, int inputB) {
    using namespace LiveColor;
    if (n == 0)
        return LookFromInputs(inputA, inputB);
    if (n == 1)
        return TextLook{QStringLiteral("A"), Green, White};
    if (n == 2)
        return TextLook{QStringLiteral("M"), Red, White};
    if (n >= 3 && n <= 8)
        return TextLook{QString::number(n - 2), White, Black};
    switch (n) {
    case 9:
        return TextLook{QStringLiteral("R"), Yellow, Black};
    case 10:
        return TextLook{QStringLiteral("C"), Blue, White};
    case 11:
        return TextLook{QStringLiteral("T"), Orange, White};
    case 12:
        return TextLook{QStringLiteral("#"), Fuchsia, White};
    default:
        return std::nullopt;
    }
}

LiveView BuildView(const FieldReader& in, const CommandTable& table, int rpmFactor,
                   const LiveBarRanges& ranges) {
    using Id = LiveFieldId;
    LiveView view;
    const int selectorA = in.Input(FieldIndex(Id::SelectorInputA));
    const int selectorB = in.Input(FieldIndex(Id::SelectorInputB));
    view.paddleDownLit = in.InputLit(FieldIndex(Id::PaddleDown));
    view.paddleUpLit = in.InputLit(FieldIndex(Id::PaddleUp));
    view.neutralLit = in.InputLit(FieldIndex(Id::Neutral));
    ShowBattery(in, table, ranges.battery, view);
    ShowActuatorTemp(in, ranges.actuatorTemp, view);
    ShowMillivolts(in.Number(FieldIndex(Id::Barrel)), ranges.barrel, view.barrelText,
                   view.barrelBar);
    ShowGear(in, view);
    ShowRpm(in, rpmFactor, ranges.rpm, view);
    ShowMillivolts(in.Number(FieldIndex(Id::Tps)), ranges.tps, view.tpsText, view.tpsBar);
    view.brakeLit = in.InputLit(FieldIndex(Id::Brake));
    view.clutchLit = in.InputLit(FieldIndex(Id::Clutch));
    ShowGcuTemp(in, ranges.gcuTemp, view);
    view.selector =
        SelectorLook(in.Rounded(FieldIndex(Id::SelectorPosition)), selectorA, selectorB);
    return view;
}

LiveSample BuildSample(const QStringList& fields, const CommandTable& table, int rpmFactor) {
    LiveSample sample;
    for (const LiveField& field : LiveFields()) {
        const int f = FieldIndex(field.id);
        try {
            sample.values[size_t(f)] = LiveFieldValue(field, fields[f], table, rpmFactor);
        } catch (const QvException&) {
            // Only a field the view does not read can get here (the counter).
            sample.values[size_t(f)] = NoValue;
        }
    }
    return sample;
}
} // namespace

LiveParse ParseLiveLine(const QString& line, const CommandTable& table, int rpmFactor,
                        const LiveBarRanges& ranges) {
    LiveParse parse;
    if (!line.contains(u'*') || !line.contains(u'&') || !line.contains(u'#'))
        return parse;
    parse.accepted = true;
    parse.rawFields = LiveLineFields(line);
    if (parse.rawFields.size() < LiveLine::FieldCount) {
        parse.error = QStringLiteral("the status line holds %1 fields, %2 expected")
                          .arg(parse.rawFields.size())
                          .arg(LiveLine::FieldCount);
        return parse;
    }
    try {
        parse.view =
            BuildView(FieldReader(parse.rawFields, table, rpmFactor), table, rpmFactor, ranges);
        parse.sample = BuildSample(parse.rawFields, table, rpmFactor);
    } catch (const QvException& error) {
        parse.error = error.Message();
    }
    return parse;
}

double LiveFieldValue(const LiveField& field, const QString& text, const CommandTable& table,
                      int rpmFactor) {
    const auto input = [&] {
        return RoundToIntClamped(
            FWValueToSWValue(table, LiveLine::InputScalingRow, WireNumber(text), rpmFactor));
    };
    switch (field.scaling) {
    case LiveScaling::Plain:
        return WireNumber(text);
    case LiveScaling::Input:
        return input();
    case LiveScaling::Active:
        return input() == 0 ? 1 : 0;
    case LiveScaling::Battery:
        return WireNumber(text) * table[LiveLine::BatteryRow].FWtoSWFactor;
    case LiveScaling::Rounded:
        return RoundToIntClamped(WireNumber(text));
    case LiveScaling::Millivolts: // as the panel's label shows it
        return RoundToIntClamped(DisplayTextToFloat(RealToStrDec(WireNumber(text) * 1000.0, 0)));
    case LiveScaling::Integer:
        return DisplayTextToInt(text);
    case LiveScaling::Rpm:
        return RoundToIntClamped(WireNumber(text) * rpmFactor);
    }
    return NoValue;
}

LiveBarRanges ActiveLiveRanges(const CommandTable& table) {
    auto scaled = [](double value, double factor) { return RoundToIntClamped(value * factor); };
    LiveBarRanges ranges;
    ranges.barrel = {scaled(table[143].ActualValueFW, 1000),
                     scaled(table[144].ActualValueFW, 1000)};
    ranges.tps = {scaled(table[107].ActualValueFW, 1000), scaled(table[108].ActualValueFW, 1000)};
    ranges.rpm = {0, RoundToIntClamped(table[98].ActualValueFW)};
    ranges.battery = {scaled(table[LiveLine::BatteryRow].ActualValueFW, 10),
                      scaled(table[LiveLine::BatteryRow].MaxValueFW, 10)};
    ranges.gcuTemp = {0, 200};
    ranges.actuatorTemp = {0, 130};
    return ranges;
}

std::optional<LiveControlsSetup> LiveControlsFor(const QString& status, const CommandTable& table) {
    LiveControlsSetup setup;
    if (status == QLatin1String("INACTIVE")) {
        setup.selector = {QStringLiteral("A"), LiveColor::Silver, LiveColor::Gray};
        setup.gear = {QStringLiteral("N"), LiveColor::Silver, LiveColor::Gray};
        setup.ledOffColor = LiveColor::Silver;
        setup.ledsSwitchedOff = true;
        return setup;
    }
    if (status == QLatin1String("ACTIVE")) {
        setup.ranges = ActiveLiveRanges(table);
        // The selector's text stays invisible until the first line colours it.
        setup.selector = {std::nullopt, LiveColor::White, LiveColor::White};
        setup.gear = {std::nullopt, LiveColor::White, LiveColor::Black};
        setup.ledOffColor = LiveColor::Red;
        return setup;
    }
    return std::nullopt;
}
