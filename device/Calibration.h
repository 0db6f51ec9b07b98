#pragma once
// Calibration steps: the GCU learns a sensor position from the present
// reading ("teach" frame), is asked for the learned value ("?" query), and the
// answer is stored in the step's command row and shown in its control.
#include "device/LinkExchange.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class CommandTable;

enum class CalibrationDisplay {
    SpinEditText,  // TPS: the spin edit's text
    EditText,      // kart axle: the edit's text
    SpinEditValue, // barrel positions: the spin edit's value
};

struct CalibrationStep {
    QString buttonName;
    QString teachWord; // sent with argument 0
    QString queryWord; // sent with argument "?"
    int requestId = 0;
    int row = 0; // command row that receives the learned value
    QString controlName;
    CalibrationDisplay display = CalibrationDisplay::SpinEditText;
};

// All thirteen steps: TPS idle and full open, kart axle high, low and zero,
// barrel positions 6 to 1, N and R.
const std::vector<CalibrationStep>& CalibrationSteps();
const CalibrationStep* CalibrationStepForButton(const QString& buttonName);
const CalibrationStep* CalibrationStepForRequest(int requestId);

// The learned value of an answer: digits, "." and "," kept (so never negative),
// read as point text. Empty when the answer holds no number.
std::optional<double> CalibrationAnswerValue(const QString& answer);

struct CalibrationResult {
    bool ok = false;
    bool linkLost = false;
    int messageNumber = 0; // DeviceMessage number when not ok
    QString detail;        // the answer as received, for a bad answer
    double valueFW = 0.0;
    double valueSW = 0.0;
    int shownValue = 0; // what the control shows
};

class CalibrationRunner {
  public:
    struct Hooks {
        std::function<bool()> liveActive;
        // Sets or clears the live check box and runs its handler (which sends
        // the stream frame and switches the router's live request).
        std::function<void(bool on)> switchLive;
        // Writes the shown value into the step's control (its change handling runs).
        std::function<void(const CalibrationStep& step, int shownValue)> showResult;
        std::function<void(bool busy)> hourglass;
        std::function<void()> beep; // the system's default sound
    };

    CalibrationRunner(LinkExchange& exchange, Hooks hooks)
        : exchange_(exchange), hooks_(std::move(hooks)) {}

    // Runs one step. A missing or malformed answer leaves the row and control
    // unchanged and is reported in the result; a refused send propagates after
    // the end steps (cursor, sound, live mode restarted) have run. Live mode
    // is not restarted on a link that was lost during the step.
    CalibrationResult Run(const CalibrationStep& step, CommandTable& table, int rpmFactor);

  private:
    enum class RestartFailure { Propagate, Ignore };
    void RunEndSteps(bool restartLive, RestartFailure onFailure);
    CalibrationResult TeachAndAsk(const CalibrationStep& step, CommandTable& table, int rpmFactor);

    LinkExchange& exchange_;
    Hooks hooks_;
};
