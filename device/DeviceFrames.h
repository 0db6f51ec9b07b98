#pragma once
// Command frames sent to the GCU: "[" + word + " " + argument + "]" + CR LF,
// as 8-bit (Windows-1252) text ready for the serial port.
#include <QByteArray>
#include <QString>
#include <optional>

struct TCommandRecord;

// Request IDs: the command ID that stands for the question asked.
namespace RequestId {
constexpr int None = 0;
constexpr int Live = 27;
constexpr int BarrelGear6 = 83;
constexpr int BarrelGearR = 90;
constexpr int TpsIdle = 107;
constexpr int TpsFullOpen = 108;
constexpr int ConfigDump = 156;
constexpr int KartAxleLow = 158;
constexpr int KartAxleZero = 159;
constexpr int KartAxleHigh = 160;

// Requests whose answer is one line stored for the asking step.
bool IsStoredAnswer(int id);
} // namespace RequestId

namespace DeviceFrames {
// Any frame from its command word and argument text.
QByteArray Frame(const QString& word, const QString& argument);
QByteArray Query(const QString& word);

QByteArray GetConfiguration();  // "[INVPARAM 1]"
QByteArray SaveParameters();    // "[SAVEPRMT 0]"
QByteArray LiveStream(bool on); // "[PRINTSTS 1]" / "[PRINTSTS 0]"

// A parameter write: the firmware value with the row's DigitsValueFW decimals
// and a decimal point, whatever the display separator is. A value outside the
// row's firmware limits raises EValueOutOfLimits and is not framed.
QByteArray ParameterWrite(const TCommandRecord& row, double firmwareValue);

// The manual command line: the typed text plus CR LF, nothing else added.
QByteArray ManualCommand(const QString& typed);
} // namespace DeviceFrames

// Output tests: one frame, the duration in milliseconds from the test's spin
// edit. A duration is held to the limits of the command row that bounds it
// (the longest the GCU itself drives that output), or to the test's own
// limits when the command table has no such row.
enum class OutputTest { UpShift, DownShift, Blipper, EngineCut, Led };

struct OutputTestInfo {
    OutputTest test;
    const char* word;         // command word of the frame
    const char* buttonName;   // the "Test" button
    const char* durationEdit; // spin edit whose text is the duration
    int limitsCommand;        // command row whose display limits bound the duration; 0: none
};

struct DurationLimits {
    int minimum = 0;
    int maximum = 0;
};
// The test's own limits, used when no command row bounds its duration.
constexpr DurationLimits OwnOutputTestLimits{10, 1000};

class CommandTable;

const OutputTestInfo& OutputTestInfoOf(OutputTest test);
std::optional<OutputTest> OutputTestForButton(const QString& buttonName);
DurationLimits OutputTestLimits(OutputTest test, const CommandTable& commands);
// The test frame; a duration outside Limits raises EValueOutOfLimits and is
// not framed.
QByteArray OutputTestFrame(OutputTest test, int durationMs, const DurationLimits& limits);
