// Calibration steps and output tests. A step pauses live mode, has the GCU
// learn the sensor's present reading, asks for the learned value, stores it in
// the step's command row and shows it; a test sends one frame.
#include "device/Calibration.h"
#include "device/DeviceFrames.h"
#include "ui/UnitMain.h"

#include <QApplication>
#include <QSignalBlocker>

namespace {
const QString LiveCheckBox = QStringLiteral("CBLiveActive");

// The learned value's control shows it at once, not after the step's sound.
void RepaintLearnedValue(const TFormMain& form, const CalibrationStep& step) {
    if (auto* control = qobject_cast<QWidget*>(form.FindComponent(step.controlName)))
        control->repaint();
}

void ShowHourglass(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
} // namespace

// The unit holds the learned value: the working copy takes it as a value read
// ("A"), or, when a change of the user's is pending for it, as that change's
// value; the page shows it.
void TFormMain::ShowLearnedValueAsRead(const CalibrationStep& step, double learnedFW) {
    Session.ValueLearned(step.row, learnedFW);
    RepaintLearnedValue(*this, step);
}

void TFormMain::RunCalibrationStep(QObject* button) {
    const CalibrationStep* step = CalibrationStepForButton(button->objectName());
    if (!step)
        throw std::logic_error("no calibration step for " + button->objectName().toStdString());
    const RequestScope request(Session);
    if (!request.Claimed())
        return;
    CalibrationRunner::Hooks hooks;
    hooks.liveActive = [this] { return Control<TCheckBox>(LiveCheckBox).Checked(); };
    // The box is set or cleared silently and live mode switched here, so that
    // a refused frame reaches the step instead of the general error report.
    hooks.switchLive = [this](bool on) {
        auto& live = Control<TCheckBox>(LiveCheckBox);
        {
            const QSignalBlocker silent(&live);
            live.SetChecked(on);
        }
        SwitchLiveMode();
    };
    // The step learns into a copy of the table; the session takes the value.
    CommandTable learned = Commands;
    hooks.showResult = [this, &learned](const CalibrationStep& shownStep, int) {
        ShowLearnedValueAsRead(shownStep, learned[shownStep.row].ActualValueFW);
    };
    hooks.hourglass = ShowHourglass;
    hooks.beep = [] { QApplication::beep(); };
    CalibrationRunner runner(Exchange(), std::move(hooks));
    const CalibrationResult result = runner.Run(*step, learned, RPMFactorGLOB);
    if (result.ok)
        return;
    QString text = TranslateString(result.messageNumber);
    if (!result.detail.isEmpty())
        text += u' ' + result.detail;
    ShowMessage(text, TMsgDlgType::mtError);
}

void TFormMain::BThrottlePositionSensorIdleSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

void TFormMain::BThrottlePositionSensorFullOpenSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

void TFormMain::BKartAxlePositionHighSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

void TFormMain::BKartAxlePositionLowSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

void TFormMain::BKartAxlePositionZeroSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

void TFormMain::BGearDetectionBarrelPositionRSetClick(QObject* Sender) {
    RunCalibrationStep(Sender);
}

// ---------------------------------------------------------------- output tests

// The duration is the field's finished value, held to the test's limits; a
// field that does not hold a whole number sends nothing (message 34).
void TFormMain::RunOutputTest(QObject* button) {
    const std::optional<OutputTest> test = OutputTestForButton(button->objectName());
    if (!test)
        throw std::logic_error("no output test for " + button->objectName().toStdString());
    if (RequestPending())
        return; // its acknowledgement would reach the pending request
    auto& field = Control<TSpinEdit>(QString::fromLatin1(OutputTestInfoOf(*test).durationEdit));
    bool isNumber = false;
    const int typed = field.Text().trimmed().toInt(&isNumber);
    if (!isNumber) {
        NumberFieldChange(&field); // shows the last valid duration again, with message 34
        return;
    }
    const int duration = field.HeldToLimits(typed);
    if (duration != typed)
        field.SetValue(duration);
    QByteArray frame;
    try {
        frame = OutputTestFrame(*test, duration, OutputTestLimits(*test, Commands));
    } catch (const EValueOutOfLimits& refused) {
        ReportValueOutOfLimits(refused.Refusal()); // the limits changed since the binding
        return;
    }
    Exchange().Send(frame);
}

// The duration fields take their limits from the command table once it is
// loaded; a duration outside them is never sent.
void TFormMain::BindOutputTestDurations() {
    for (const OutputTest test : {OutputTest::UpShift, OutputTest::DownShift, OutputTest::Blipper,
                                  OutputTest::EngineCut, OutputTest::Led}) {
        const DurationLimits limits = OutputTestLimits(test, Commands);
        auto& field = Control<TSpinEdit>(QString::fromLatin1(OutputTestInfoOf(test).durationEdit));
        field.SetMinValue(limits.minimum);
        field.SetMaxValue(limits.maximum);
        field.SetValue(field.Value());
    }
}

void TFormMain::BRecoveryOutputTestUpShiftTestClick(QObject* Sender) {
    RunOutputTest(Sender);
}

void TFormMain::BRecoveryOutputTestDownShiftTestClick(QObject* Sender) {
    RunOutputTest(Sender);
}

void TFormMain::BRecoveryOutputTestBlipperTestClick(QObject* Sender) {
    RunOutputTest(Sender);
}

void TFormMain::BRecoveryOutputTestEngineCutTestClick(QObject* Sender) {
    RunOutputTest(Sender);
}

void TFormMain::BRecoveryOutputTestLedTestClick(QObject* Sender) {
    RunOutputTest(Sender);
}

// ---------------------------------------------------------------- wiring

void TFormMain::WireCalibrationHandlers() {
    AttachHandler(QStringLiteral("BThrottlePositionSensorIdleSet"),
                  &TFormMain::BThrottlePositionSensorIdleSetClick);
    AttachHandler(QStringLiteral("BThrottlePositionSensorFullOpenSet"),
                  &TFormMain::BThrottlePositionSensorFullOpenSetClick);
    AttachHandler(QStringLiteral("BKartAxlePositionHighSet"),
                  &TFormMain::BKartAxlePositionHighSetClick);
    AttachHandler(QStringLiteral("BKartAxlePositionLowSet"),
                  &TFormMain::BKartAxlePositionLowSetClick);
    AttachHandler(QStringLiteral("BKartAxlePositionZeroSet"),
                  &TFormMain::BKartAxlePositionZeroSetClick);
    for (const CalibrationStep& step : CalibrationSteps())
        if (step.display == CalibrationDisplay::SpinEditValue)
            AttachHandler(step.buttonName, &TFormMain::BGearDetectionBarrelPositionRSetClick);
    const std::pair<OutputTest, Handler> tests[] = {
        {OutputTest::UpShift, &TFormMain::BRecoveryOutputTestUpShiftTestClick},
        {OutputTest::DownShift, &TFormMain::BRecoveryOutputTestDownShiftTestClick},
        {OutputTest::Blipper, &TFormMain::BRecoveryOutputTestBlipperTestClick},
        {OutputTest::EngineCut, &TFormMain::BRecoveryOutputTestEngineCutTestClick},
        {OutputTest::Led, &TFormMain::BRecoveryOutputTestLedTestClick},
    };
    for (const auto& [test, handler] : tests) {
        const OutputTestInfo& info = OutputTestInfoOf(test);
        AttachHandler(QString::fromLatin1(info.buttonName), handler);
        const QString field = QString::fromLatin1(info.durationEdit);
        AttachHandler(field, &TFormMain::NumberFieldChange);
        Control<TSpinEdit>(field).SetText(QStringLiteral("180"));
    }
}
