#pragma once
// The sixteen fields of the GCU's live status line, described once. The
// parser, the live panel, the plots, the recorder and the simulated GCU all
// read this table: a field's place on the line, its name and unit, how its
// value in display units is reached, the controls of the live panel that show
// it, the plot it belongs to and its column in a recording.
#include <array>
#include <cmath>
#include <limits>

// The fields in line order; the value is the field's index (f0 .. f15).
enum class LiveFieldId {
    Counter,
    SelectorInputA,
    SelectorInputB,
    PaddleDown,
    PaddleUp,
    Neutral,
    Battery,
    ActuatorTemp,
    Barrel,
    Gear,
    Rpm,
    Tps,
    Brake,
    Clutch,
    GcuTemp,
    SelectorPosition,
};
constexpr int LiveFieldCount = 16;
constexpr int FieldIndex(LiveFieldId id) {
    return static_cast<int>(id);
}

// How a field's wire number becomes its value in display units.
enum class LiveScaling {
    Plain,      // the number as sent (the line counter)
    Input,      // a digital input after the inputs' scaling (command 34), rounded
    Active,     // a digital input shown by a lamp: 1 while lit (the input reads 0), else 0
    Battery,    // volts times the factor of the minimum battery voltage (command 1)
    Rounded,    // rounded to a whole number (temperatures, the selector position)
    Millivolts, // volts times 1000, rounded
    Integer,    // a whole number as sent (the gear)
    Rpm,        // hertz times the RPM factor, rounded
};

// The strips of the plot view, top to bottom.
enum class LivePlotStrip { None, Barrel, Rpm, Tps, Inputs, Supply };
constexpr int LivePlotStripCount = 5; // without None

struct LiveField {
    LiveFieldId id;
    // Column name in a recording; a plotted field's series is switched by the
    // check box "CBLivePlots" + key, whose caption names the series.
    const char* key;
    const char* unit; // display unit; "" for states and counts
    LiveScaling scaling;
    int decimals;     // decimals of the value in a recording
    int wireDecimals; // decimals the GCU sends
    // The live panel's controls that show it (nullptr: none).
    const char* led;
    const char* label;
    const char* bar;
    const char* edit;
    LivePlotStrip strip;
    bool step;         // plotted as steps (states, gear)
    bool rightAxis;    // on its strip's second axis
    unsigned color;    // series colour, 0xRRGGBB
    double stepOffset; // states share one strip, each lifted by this much
};

const std::array<LiveField, LiveFieldCount>& LiveFields();
inline const LiveField& LiveFieldOf(LiveFieldId id) {
    return LiveFields()[static_cast<size_t>(FieldIndex(id))];
}

// One status line in display units, in field order. A field that could not
// be read (only the counter may be such) is NaN.
struct LiveSample {
    double timeMs = 0; // since the start of the stream or recording
    std::array<double, LiveFieldCount> values{};
    double operator[](LiveFieldId id) const { return values[size_t(FieldIndex(id))]; }
    double& operator[](LiveFieldId id) { return values[size_t(FieldIndex(id))]; }
};

constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();
