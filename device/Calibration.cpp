#include "device/Calibration.h"

#include "device/DeviceFrames.h"
#include "device/DeviceNumbers.h"
#include "model/CommandTable.h"
#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

namespace {
CalibrationStep Fixed(const char* button, const char* word, int id, const char* control,
                      CalibrationDisplay display) {
    return {QLatin1String(button),
            QLatin1String(word),
            QLatin1String(word),
            id,
            id,
            QLatin1String(control),
            display};
}

CalibrationStep Barrel(const char* gear, int requestId, int row) {
    const QString g = QLatin1String(gear);
    return {QStringLiteral("BGearDetectionBarrelPosition") + g + QStringLiteral("Set"),
            QStringLiteral("SOGLMAR") + g,
            QStringLiteral("SSOGMAR") + g,
            requestId,
            row,
            QStringLiteral("SEGearDetectionBarrelPosition") + g + QStringLiteral("Millivolts"),
            CalibrationDisplay::SpinEditValue};
}

std::vector<CalibrationStep> BuildSteps() {
    using D = CalibrationDisplay;
    return {
        Fixed("BThrottlePositionSensorIdleSet", "MINVATPS", 107,
              "SEThrottlePositionSensorIdleMillivolts", D::SpinEditText),
        Fixed("BThrottlePositionSensorFullOpenSet", "MAXVATPS", 108,
              "SEThrottlePositionSensorFullOpenMillivolts", D::SpinEditText),
        Fixed("BKartAxlePositionHighSet", "LEMKARTH", 160, "EKartAxlePositionHighMillivolts",
              D::EditText),
        Fixed("BKartAxlePositionLowSet", "LEMKARTL", 158, "EKartAxlePositionLowMillivolts",
              D::EditText),
        Fixed("BKartAxlePositionZeroSet", "LEMKARTZ", 159, "EKartAxlePositionZeroMillivolts",
              D::EditText),
        Barrel("6", 83, 150),
        Barrel("5", 84, 149),
        Barrel("4", 85, 148),
        Barrel("3", 86, 147),
        Barrel("2", 87, 146),
        Barrel("1", 88, 145),
        Barrel("N", 89, 151),
        Barrel("R", 90, 152),
    };
}

} // namespace

const std::vector<CalibrationStep>& CalibrationSteps() {
    static const std::vector<CalibrationStep> steps = BuildSteps();
    return steps;
}

const CalibrationStep* CalibrationStepForButton(const QString& buttonName) {
    for (const CalibrationStep& step : CalibrationSteps())
        if (step.buttonName == buttonName)
            return &step;
    return nullptr;
}

const CalibrationStep* CalibrationStepForRequest(int requestId) {
    for (const CalibrationStep& step : CalibrationSteps())
        if (step.requestId == requestId)
            return &step;
    return nullptr;
}

std::optional<double> CalibrationAnswerValue(const QString& answer) {
    try {
        return WireNumber(StrLeaveOnlyNumbersDotComma(answer));
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

CalibrationResult CalibrationRunner::Run(const CalibrationStep& step, CommandTable& table,
                                         int rpmFactor) {
    if (hooks_.hourglass)
        hooks_.hourglass(true);
    const bool wasLive = hooks_.liveActive && hooks_.liveActive();
    CalibrationResult result;
    try {
        if (wasLive && hooks_.switchLive)
            hooks_.switchLive(false);
        result = TeachAndAsk(step, table, rpmFactor);
    } catch (...) {
        RunEndSteps(wasLive, RestartFailure::Ignore);
        throw;
    }
    RunEndSteps(wasLive && !result.linkLost, RestartFailure::Propagate);
    return result;
}

// Cursor back, sound, live mode restarted. When an error is already on its way,
// a second one from the restart is dropped so that the first is the one shown.
void CalibrationRunner::RunEndSteps(bool restartLive, RestartFailure onFailure) {
    if (hooks_.hourglass)
        hooks_.hourglass(false);
    if (hooks_.beep)
        hooks_.beep();
    if (!restartLive || !hooks_.switchLive)
        return;
    if (onFailure == RestartFailure::Propagate) {
        hooks_.switchLive(true);
        return;
    }
    try {
        hooks_.switchLive(true);
    } catch (...) {
    }
}

CalibrationResult CalibrationRunner::TeachAndAsk(const CalibrationStep& step, CommandTable& table,
                                                 int rpmFactor) {
    CalibrationResult result;
    exchange_.Send(DeviceFrames::Frame(step.teachWord, QStringLiteral("0")));
    // The learned value lies within the row's limits; they tell an answer glued
    // to a status line cut short from the line's last field.
    const TCommandRecord& limits = table[step.row];
    std::optional<AnswerRange> range;
    if (limits.MaxValueFW > limits.MinValueFW)
        range = AnswerRange{limits.MinValueFW, limits.MaxValueFW};
    switch (exchange_.Ask(step.requestId, DeviceFrames::Query(step.queryWord), range)) {
    case WaitResult::Completed:
        break;
    case WaitResult::TimedOut:
        result.messageNumber = Msg::NoAnswer;
        return result;
    case WaitResult::Unusable:
        result.messageNumber = Msg::BadCalibrationAnswer;
        result.detail = exchange_.Router().PassedOverText();
        return result;
    case WaitResult::LinkLost:
        result.messageNumber = Msg::LinkLost;
        result.linkLost = true;
        return result;
    }
    const QString answer = exchange_.Router().ReceivedText();
    const std::optional<double> value = CalibrationAnswerValue(answer);
    if (!value) {
        result.messageNumber = Msg::BadCalibrationAnswer;
        result.detail = answer.trimmed();
        return result;
    }
    result.valueFW = *value;
    result.valueSW = FWValueToSWValue(table, step.row, *value, rpmFactor);
    result.shownValue = RoundToIntClamped(result.valueSW);
    TCommandRecord& row = table[step.row];
    row.ActualValueFW = result.valueFW;
    row.ActualValueSW = result.valueSW;
    row.Status = QStringLiteral("A");
    result.ok = true;
    if (hooks_.showResult)
        hooks_.showResult(step, result.shownValue);
    return result;
}
