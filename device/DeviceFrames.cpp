#include "device/DeviceFrames.h"

#include "model/CommandTable.h"
#include "model/ParameterLimits.h"
#include "util/UnitUtils.h"

#include <array>
#include <cmath>

bool RequestId::IsStoredAnswer(int id) {
    return (id >= BarrelGear6 && id <= BarrelGearR) || id == TpsIdle || id == TpsFullOpen ||
           id == KartAxleLow || id == KartAxleZero || id == KartAxleHigh;
}

QByteArray DeviceFrames::Frame(const QString& word, const QString& argument) {
    return ToCp1252(QStringLiteral("[") + word + QStringLiteral(" ") + argument +
                    QStringLiteral("]\r\n"));
}

QByteArray DeviceFrames::Query(const QString& word) {
    return Frame(word, QStringLiteral("?"));
}

QByteArray DeviceFrames::GetConfiguration() {
    return Frame(QStringLiteral("INVPARAM"), QStringLiteral("1"));
}

QByteArray DeviceFrames::SaveParameters() {
    return Frame(QStringLiteral("SAVEPRMT"), QStringLiteral("0"));
}

QByteArray DeviceFrames::LiveStream(bool on) {
    return Frame(QStringLiteral("PRINTSTS"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray DeviceFrames::ParameterWrite(const TCommandRecord& row, double firmwareValue) {
    return ToCp1252(ParameterWriteText(row.Command, row, firmwareValue));
}

QByteArray DeviceFrames::ManualCommand(const QString& typed) {
    return ToCp1252(typed + QStringLiteral("\r\n"));
}

namespace {
const std::array<OutputTestInfo, 5> OutputTests{{
    {OutputTest::UpShift, "TESTATUP", "BRecoveryOutputTestUpShiftTest",
     "SERecoveryOutputTestUpShiftActuationTime", 5},
    {OutputTest::DownShift, "TESTATDW", "BRecoveryOutputTestDownShiftTest",
     "SERecoveryOutputTestDownShiftActuationTime", 3},
    {OutputTest::Blipper, "TESTBLIP", "BRecoveryOutputTestBlipperTest",
     "SERecoveryOutputTestBlipperActuationTime", 4},
    {OutputTest::EngineCut, "TESTACUT", "BRecoveryOutputTestEngineCutTest",
     "SERecoveryOutputTestEngineCutEngineCutTime", 7},
    {OutputTest::Led, "TESTLEDN", "BRecoveryOutputTestLedTest",
     "SERecoveryOutputTestLedLedTestTime", 0},
}};
} // namespace

const OutputTestInfo& OutputTestInfoOf(OutputTest test) {
    return OutputTests[static_cast<std::size_t>(test)];
}

std::optional<OutputTest> OutputTestForButton(const QString& buttonName) {
    for (const OutputTestInfo& info : OutputTests)
        if (buttonName == QLatin1String(info.buttonName))
            return info.test;
    return std::nullopt;
}

DurationLimits OutputTestLimits(OutputTest test, const CommandTable& commands) {
    const int id = OutputTestInfoOf(test).limitsCommand;
    if (!CommandTable::IsValidId(id) || commands[id].Command.isEmpty())
        return OwnOutputTestLimits;
    const TCommandRecord& row = commands[id];
    const DurationLimits limits{RoundHalfToEvenInt(std::ceil(row.MinValueSW)),
                                RoundHalfToEvenInt(std::floor(row.MaxValueSW))};
    if (limits.minimum < 0 || limits.minimum >= limits.maximum)
        return OwnOutputTestLimits;
    return limits;
}

QByteArray OutputTestFrame(OutputTest test, int durationMs, const DurationLimits& limits) {
    const OutputTestInfo& info = OutputTestInfoOf(test);
    if (durationMs < limits.minimum || durationMs > limits.maximum) {
        LimitRefusal refusal;
        refusal.command = QLatin1String(info.word);
        refusal.unit = QStringLiteral("mS");
        refusal.value = durationMs;
        refusal.minimum = limits.minimum;
        refusal.maximum = limits.maximum;
        throw EValueOutOfLimits(refusal);
    }
    return DeviceFrames::Frame(QLatin1String(info.word), QString::number(durationMs));
}
