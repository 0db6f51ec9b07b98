#include "DeviceFrames.h"

#include "model/CommandTable.h"
#include "util/UnitUtils.h"

#include <array>

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

QString DeviceFrames::ParameterArgument(double firmwareValue, int digitsFW) {
    return StrCommaToDot(RealToStrDec(firmwareValue, digitsFW));
}

QByteArray DeviceFrames::ParameterWrite(const TCommandRecord& row, double firmwareValue) {
    return Frame(row.Command, ParameterArgument(firmwareValue, row.DigitsValueFW));
}

QByteArray DeviceFrames::ManualCommand(const QString& typed) {
    return ToCp1252(typed + QStringLiteral("\r\n"));
}

namespace {
const std::array<OutputTestInfo, 5> OutputTests{{
    {OutputTest::UpShift, "TESTATUP", "BRecoveryOutputTestUpShiftTest",
     "SERecoveryOutputTestUpShiftActuationTime"},
    {OutputTest::DownShift, "TESTATDW", "BRecoveryOutputTestDownShiftTest",
     "SERecoveryOutputTestDownShiftActuationTime"},
    {OutputTest::Blipper, "TESTBLIP", "BRecoveryOutputTestBlipperTest",
     "SERecoveryOutputTestBlipperActuationTime"},
    {OutputTest::EngineCut, "TESTACUT", "BRecoveryOutputTestEngineCutTest",
     "SERecoveryOutputTestEngineCutEngineCutTime"},
    {OutputTest::Led, "TESTLEDN", "BRecoveryOutputTestLedTest",
     "SERecoveryOutputTestLedLedTestTime"},
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

QByteArray OutputTestFrame(OutputTest test, const QString& durationText) {
    return DeviceFrames::Frame(QLatin1String(OutputTestInfoOf(test).word), durationText);
}
