#pragma once
// The live status stream: what each status line shows, and how the live
// controls are prepared when the stream starts and stops. Pure data; the
// window copies it onto its LEDs, labels, bars and edits.
//
// A status line: "*", fields f0..f15 separated by "&", then "#" and CR LF.
#include "model/LiveFields.h"

#include <QString>
#include <QStringList>
#include <optional>

class CommandTable;

// Colours as 0x00BBGGRR, the layout the window's colour values use.
using DeviceColor = quint32;
namespace LiveColor {
constexpr DeviceColor White = 0x00FFFFFF;
constexpr DeviceColor Black = 0x00000000;
constexpr DeviceColor Red = 0x000000FF;
constexpr DeviceColor Green = 0x00008000;
constexpr DeviceColor Lime = 0x0000FF00;
constexpr DeviceColor Blue = 0x00FF0000;
constexpr DeviceColor Yellow = 0x0000FFFF;
constexpr DeviceColor Fuchsia = 0x00FF00FF;
constexpr DeviceColor Orange = 0x000080FF; // RGB 255, 128, 0
constexpr DeviceColor Silver = 0x00C0C0C0;
constexpr DeviceColor Gray = 0x00808080;
} // namespace LiveColor

enum class BarState { Normal, Error, Paused };

struct BarRange {
    int minimum = 0;
    int maximum = 100;
    // The position as the bar holds it.
    int Clip(int position) const;
    bool operator==(const BarRange&) const = default;
};

struct LiveBarRanges {
    BarRange barrel, tps, rpm, battery, gcuTemp, actuatorTemp;
    bool operator==(const LiveBarRanges&) const = default;
};

struct BarView {
    int position = 0;
    std::optional<BarState> state; // empty: the bar keeps its state
};

struct TextLook {
    std::optional<QString> text; // empty: the text stays
    DeviceColor background = LiveColor::White;
    DeviceColor font = LiveColor::Black;
};

struct LiveView {
    bool paddleDownLit = false;
    bool paddleUpLit = false;
    bool neutralLit = false;
    bool brakeLit = false;
    bool clutchLit = false;
    QString batteryText;
    BarView batteryBar;
    QString actuatorTempText;
    BarView actuatorTempBar;
    QString barrelText;
    BarView barrelBar;
    QString gearText;
    DeviceColor gearFont = LiveColor::Black; // the gear's background stays
    QString rpmText;
    BarView rpmBar;
    QString tpsText;
    BarView tpsBar;
    QString gcuTempText;
    BarView gcuTempBar;
    std::optional<TextLook> selector; // empty: the selector stays as it is
};

struct LiveParse {
    // The line has "*", "&" and "#"; otherwise it is ignored entirely.
    bool accepted = false;
    QStringList rawFields; // for the raw field list, also when a field is bad
    // The whole line's view; empty when a field is missing or not a number
    // (error says which), so a broken line changes no control.
    std::optional<LiveView> view;
    // The same line's values in display units (with the view, never without).
    std::optional<LiveSample> sample;
    QString error;
};

namespace LiveLine {
constexpr int FieldCount = LiveFieldCount;
constexpr int InputScalingRow = 34; // scaling of the digital inputs
constexpr int BatteryRow = 1;
} // namespace LiveLine

// The fields between the line's "*" and its last "#".
QStringList LiveLineFields(const QString& line);
LiveParse ParseLiveLine(const QString& line, const CommandTable& table, int rpmFactor,
                        const LiveBarRanges& ranges);

// A field's value in display units, as the field table's scaling says.
// Raises QvException when the field is not a number.
double LiveFieldValue(const LiveField& field, const QString& text, const CommandTable& table,
                      int rpmFactor);

// Preparing the live controls for "ACTIVE" or "INACTIVE".
struct LiveControlsSetup {
    // New bar ranges (ACTIVE only). In both states every bar goes to its minimum.
    std::optional<LiveBarRanges> ranges;
    TextLook selector;
    TextLook gear;
    DeviceColor ledOffColor = LiveColor::Silver;
    DeviceColor ledOnColor = LiveColor::Lime;
    bool ledsSwitchedOff = false;
};
// Any other status text: nothing to do.
std::optional<LiveControlsSetup> LiveControlsFor(const QString& status, const CommandTable& table);
LiveBarRanges ActiveLiveRanges(const CommandTable& table);
