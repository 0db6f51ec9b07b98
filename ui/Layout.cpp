#include "ui/Layout.h"

#include "ui/UnitMain.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>

namespace {

// One container's grid. Stretch lists give each column or row its factor;
// without a row list a last empty row takes the spare height, so the content
// stays at the top.
struct GridRecipe {
    const char* container;
    std::vector<const char*> rows;
    std::vector<int> colStretch = {1};
    std::vector<int> rowStretch = {};
    int margin = 6;
    int spacing = 4;
};

// clang-format off
const std::vector<GridRecipe>& Recipes() {
    static const std::vector<GridRecipe> recipes = {
    // ------------------------------------------------------------ window areas
    {"PMain", {"PExpand", "PBottom"}, {1}, {1, 0}, 4, 4},
    {"PExpand", {"PLeft PRight"}, {1, 0}, {1}, 0, 4},
    {"PLeft", {"PCMain"}, {1}, {1}, 0, 0},
    {"PRight", {"PCRight"}, {1}, {1}, 0, 0},
    {"PBottom", {"GBSerialLive GBSystemInfo GBCommunication"}, {1, 0, 0}, {1}, 0, 4},
    {"GBSerialLive", {
        "LedSerialLivePaddleUP LSerialLivePaddleUp LedSerialLiveClutch LSerialLiveClutch "
            "LSerialLiveBarrelTitle PBSerialLiveBarrel >LSerialLiveBarrel "
            "LSerialLiveTPSTitle PBSerialLiveTPS >LSerialLiveTPS LSerialLiveGear ESerialLiveGear",
        "LedSerialLivePaddleDN LSerialLivePaddleDown LedSerialLiveBrake LSerialLiveBrake "
            "LSerialLiveRPMTitle PBSerialLiveRPM >LSerialLiveRPM "
            "LSerialLiveBatteryTitle PBSerialLiveBattery >LSerialLiveBattery "
            "LSerialLiveSelector ESerialLiveSelector",
        "LedSerialLiveNeutral LSerialLiveNeutralInterlock:3 "
            "LSerialLiveGCUTempTitle PBSerialLiveGCUTemp >LSerialLiveGCUTemp "
            "LSerialLiveACTTempTitle PBSerialLiveActuatorTemp >LSerialLiveActuatorTemp "
            "CBLiveActive:2"},
        {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0}, {0, 0, 0}, 6, 2},
    {"GBSystemInfo", {
        "LSystemInfoFrmwareTitle LFirmwareVersion LSystemInfoPCBVersionTitle",
        "LSystemInfoRebootsTitle LSystemInfoReboots EPCBVersion",
        "LSystemInfoSerialTitle LSystemInfoSerial ."},
        {0, 1, 0}, {0, 0, 0}, 6, 2},
    {"GBCommunication", {
        "CBSerialCommunicationComPort:2 ^LedSerialCommunication LSerialCommunicationStatus",
        "BSerialCommunicationConnectDisconnect BCommunicationGetConfig . >BCommunicationLanguage"},
        {1, 1, 0, 0}, {0, 0}, 6, 4},

    // ------------------------------------------------------------ Main Setting
    {"TSMainSetting", {
        "[GBRatiosRpm|GBFunctionStrategies] [GBGearDetection] "
        "[GBThrottlePositionSensor|GBInputsOutputs]"},
        {1, 1, 1}, {1}, 6, 6},
    {"GBRatiosRpm", {
        ". ^LRatiosRpmPrimary ^LRatiosRpmSecondary ^LRatiosRpmRatio ^LRatiosRpmDownshiftLimit",
        "LRatiosRpm1 SERatiosRpm1P SERatiosRpm1S ERatiosRpm1R ERatiosRpm1L",
        "LRatiosRpm2 SERatiosRpm2P SERatiosRpm2S ERatiosRpm2R ERatiosRpm2L",
        "LRatiosRpm3 SERatiosRpm3P SERatiosRpm3S ERatiosRpm3R ERatiosRpm3L",
        "LRatiosRpm4 SERatiosRpm4P SERatiosRpm4S ERatiosRpm4R ERatiosRpm4L",
        "LRatiosRpm5 SERatiosRpm5P SERatiosRpm5S ERatiosRpm5R ERatiosRpm5L",
        "LRatiosRpm6 SERatiosRpm6P SERatiosRpm6S ERatiosRpm6R ERatiosRpm6L",
        "LRatiosRpmRPMLimiter:3 {ERatiosRpmRPMLimiter|SBERatiosRpmRPMLimiter}:2",
        "LRatiosRpmRPMRecovery:3 {ERatiosRpmRPMRecovery|SBERatiosRpmRPMRecovery}:2",
        "CBRatiosRpmCutRpmLimiter:5",
        "GBRatiosRpmRPM:5"}},
    {"GBRatiosRpmRPM", {
        "LRatiosRpmRPMDivisor SERatiosRpmDivisor",
        "CBRatiosRpmX2:2"}},
    {"GBGearDetection", {
        "GBGearDetectionSignalValues",
        "GBGearDetectionBarrelPosition",
        "GBGearDetectionSensorType",
        "GBGearDetectionRecognitionTolerance",
        "GBGearDetectionGearboxOptions"}},
    {"GBGearDetectionBarrelPosition", {
        ". ^LGearDetectionBarrelPositionMillivolts ^LGearDetectionBarrelPositionBarrel .",
        "LGearDetectionBarrelPositionR SEGearDetectionBarrelPositionRMillivolts "
            "EGearDetectionBarrelPositionRBarrel BGearDetectionBarrelPositionRSet",
        "LGearDetectionBarrelPositionN SEGearDetectionBarrelPositionNMillivolts "
            "EGearDetectionBarrelPositionNBarrel BGearDetectionBarrelPositionNSet",
        "LGearDetectionBarrelPosition1 SEGearDetectionBarrelPosition1Millivolts "
            "EGearDetectionBarrelPosition1Barrel BGearDetectionBarrelPosition1Set",
        "LGearDetectionBarrelPosition2 SEGearDetectionBarrelPosition2Millivolts "
            "EGearDetectionBarrelPosition2Barrel BGearDetectionBarrelPosition2Set",
        "LGearDetectionBarrelPosition3 SEGearDetectionBarrelPosition3Millivolts "
            "EGearDetectionBarrelPosition3Barrel BGearDetectionBarrelPosition3Set",
        "LGearDetectionBarrelPosition4 SEGearDetectionBarrelPosition4Millivolts "
            "EGearDetectionBarrelPosition4Barrel BGearDetectionBarrelPosition4Set",
        "LGearDetectionBarrelPosition5 SEGearDetectionBarrelPosition5Millivolts "
            "EGearDetectionBarrelPosition5Barrel BGearDetectionBarrelPosition5Set",
        "LGearDetectionBarrelPosition6 SEGearDetectionBarrelPosition6Millivolts "
            "EGearDetectionBarrelPosition6Barrel BGearDetectionBarrelPosition6Set"}},
    {"GBGearDetectionSensorType", {
        "LGearDetectionSensorTypeMinimum SEGearDetectionSensorTypeMinimum",
        "LGearDetectionSensorTypeMaximum SEGearDetectionSensorTypeMaximum"}},
    {"GBGearDetectionRecognitionTolerance", {
        ". ^LGearDetectionRecognitionToleranceMillivolts ^LGearDetectionRecognitionToleranceBarrel",
        "LGearDetectionRecognitionToleranceAll SEGearDetectionRecognitionToleranceMillivolts "
            "EGearDetectionRecognitionToleranceBarrel"}},
    {"GBGearDetectionGearboxOptions", {
        "CBFunctionStrategiesBikeGearbox CBFunctionStrategiesKartGearbox"}, {1, 1}},
    {"GBFunctionStrategies", {
        "CBFunctionStrategiesRPMControl:2",
        "CBFunctionStrategiesTPSControl:2",
        "CBFunctionStrategiesClosedLoop:2",
        "CBFunctionStrategiesRangeOvershootControl:2",
        "CBFunctionStrategiesActuatorTempControl:2",
        "LFunctionStrategiesTemperatureLimit SEFunctionStrategiesActuatorTempLimit"}},
    {"GBThrottlePositionSensor", {
        "RGThrottlePositionSensorSignalValues:3",
        ". ^LThrottlePositionSensorMillivolts .",
        "LThrottlePositionSensorIdle SEThrottlePositionSensorIdleMillivolts "
            "BThrottlePositionSensorIdleSet",
        "LThrottlePositionSensorFullOpen SEThrottlePositionSensorFullOpenMillivolts "
            "BThrottlePositionSensorFullOpenSet",
        ". ^LThrottlePositionSensorPercentage .",
        "LThrottlePositionSensorDownLock SEThrottlePositionSensorDNLock",
        "LThrottlePositionSensorUpLock SEThrottlePositionSensorUPLock"}},
    {"GBInputsOutputs", {
        "LInputsOutputsRGBBrightness SEInputsOutputsRGBBrightness",
        "LInputsOutputsSecondaryShaftTeeth SEInputsOutputsSecondaryShaftTeeth",
        "LInputsOutputsMinimumBatteryVoltage "
            "{EInputsOutputsMinimumBatteryVoltage|SBSEInputsOutputsMinimumBatteryVoltage}",
        "CBInputsOutputsBluetooth:2",
        "CBInputsOutputsCANRPMInput:2",
        "GBInputsOutputsCANPaddleInput:2",
        "{GBInputsOutputsExtraInput|GBInputsOutputsLed}:2",
        // The two-column groups each get a row of their own: side by side their
        // items would widen the window in the longer languages.
        "GBInputsOutputsSelector:2",
        "GBInputsOutputsUpDownCmd:2"}},

    // ------------------------------------------------------------ Up Shift
    {"TSUpshift", {
        "[GBUpShiftEngineCut|GBUpShiftRetryStrategy] [GBUpShiftHSAStrategy] [GBUpShiftActuation]"},
        {1, 1, 1}, {1}, 6, 6},
    {"GBUpShiftEngineCut", {
        "GBUpShiftEngineCutPreCut", "GBUpShiftEngineCutMainCut", "GBUpShiftEngineCutOverCut"}},
    {"GBUpShiftEngineCutPreCut", {
        "LUpShiftEngineCutPreCutEngineCutAdvance SEUpShiftEngineCutPreCutEngineCutAdvance"}},
    {"GBUpShiftEngineCutMainCut", {
        "LUpShiftEngineCutMainCutEngineCutTimeout SEUpShiftEngineCutMainCutEngineCutTimeout"}},
    {"GBUpShiftEngineCutOverCut", {
        "LUpShiftEngineCutOverCutEngineCutExtend SEUpShiftEngineCutOverCutEngineCutExtend"}},
    {"GBUpShiftHSAStrategy", {
        "GBUpShiftHSAStrategyActivation", "GBUpShiftHSAStrategyMainSettings"}},
    {"GBUpShiftHSAStrategyActivation", {
        "^LUpShiftHSAStrategyActivation12 ^LUpShiftHSAStrategyActivation23 "
            "^LUpShiftHSAStrategyActivation34 ^LUpShiftHSAStrategyActivation45 "
            "^LUpShiftHSAStrategyActivation56",
        "^CBUpShiftHSAStrategyActivation12 ^CBUpShiftHSAStrategyActivation23 "
            "^CBUpShiftHSAStrategyActivation34 ^CBUpShiftHSAStrategyActivation45 "
            "^CBUpShiftHSAStrategyActivation56"},
        {1, 1, 1, 1, 1}},
    {"GBUpShiftHSAStrategyMainSettings", {
        "LUpShiftHSAStrategyMainSettingsTimeoutOverTime SEUpShiftHSAStrategyMainSettingsTimeoutOvertime",
        "LUpShiftHSAStrategyMainSettingsActuationPreload SEUpShiftHSAStrategyMainSettingsActuationPreload",
        "LUpShiftHSAStrategyMainSettingsT1 SEUpShiftHSAStrategyMainSettingsT1",
        "LUpShiftHSAStrategyMainSettingsT2 SEUpShiftHSAStrategyMainSettingsT2",
        "LUpShiftHSAStrategyMainSettingsT3 SEUpShiftHSAStrategyMainSettingsT3"}},
    {"GBUpShiftActuation", {
        "GBUpShiftActuationMainLoad", "GBUpShiftActuationPreLoad", "GBUpShiftActuationPostLoad",
        "GBUpShiftActuationActiveLeverReturn"}},
    {"GBUpShiftActuationMainLoad", {
        "LUpShiftActuationMainLoadActuationPower SEUpShiftActuationMainLoadActuationPower",
        "LUpShiftActuationMainLoadActuationTimeout SEUpShiftActuationMainLoadActuationTimeout",
        "LUpShiftActuationMainLoadExitTravel:2",
        "+LUpShiftActuationMainLoadMillivolts SEUpShiftEngineCutMainCutExitTravelMillivolts",
        "+LUpShiftActuationMainLoadBarrel EUpShiftEngineCutMainCutExitTravelBarrel"}},
    {"GBUpShiftActuationPreLoad", {
        "LUpShiftActuationPreLoadActuationPower SEUpShiftActuationPreLoadActuationPower",
        "LUpShiftActuationPreLoadActuationTime SEUpShiftActuationPreLoadActuationTime",
        "LUpShiftActuationPreLoadExitTravel:2",
        "+LUpShiftActuationPreLoadMillivolts SEUpShiftActuationPreLoadExitTravelMillivolts",
        "+LUpShiftActuationPreLoadBarrel EUpShiftActuationPreLoadExitTravelBarrel"}},
    {"GBUpShiftActuationPostLoad", {
        "LUpShiftActuationPostLoadActuationPower SEUpShiftActuationPostLoadActuationPower",
        "LUpShiftActuationPostLoadActuationTime SEUpShiftActuationPostLoadActuationTime"}},
    {"GBUpShiftActuationActiveLeverReturn", {
        "CBFunctionStrategiesActiveLeverUP:2",
        "LUpShiftActuationActiveLeverReturnActuationDelay SEUpShiftActuationActiveLeverReturnActuationDelay",
        "LUpShiftActuationActiveLeverReturnActuationTime SEUpShiftActuationActiveLeverReturnActuationTime"}},
    {"GBUpShiftRetryStrategy", {"GBUpShiftRetryStrategyMainSettings"}},
    {"GBUpShiftRetryStrategyMainSettings", {
        "CBFunctionStrategiesStrategyUP:2",
        "LUpShiftRetryStrategyMainSettingsRetryTravel:2",
        "+LUpShiftRetryStrategyMainSettingsMillivolts SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts",
        "+LUpShiftRetryStrategyMainSettingsBarrel EUpShiftHSAStrategyMainSettingsRetryTravelBarrel",
        "LUpShiftRetryStrategyMainSettingsActuationTime SEUpShiftHSAStrategyMainSettingsActuationTime",
        "LUpShiftRetryStrategyMainSettingsActuationPause SEUpShiftHSAStrategyMainSettingsActuationPause",
        "LUpShiftRetryStrategyMainSettingsTotalActuation "
            "SEUpShiftHSAStrategyMainSettingsTotalActuations"}},

    // ------------------------------------------------------------ Down Shift
    {"TSDownShift", {
        "[GBDownShiftActuation] [GBDownShiftEngineCut|GBDownShiftHSAStrategy] "
        "[GBDownShiftBlipper|GBDownShiftRetryStrategy]"},
        {1, 1, 1}, {1}, 6, 6},
    {"GBDownShiftActuation", {
        "GBDownShiftActuationMainLoad", "GBDownShiftActuationPreLoad",
        "GBDownShiftActuationPostLoad", "GBDownShiftActuationActiveLeverReturn"}},
    {"GBDownShiftActuationMainLoad", {
        "LDownShiftActuationMainLoadActuationPower SEDownShiftActuationMainLoadActuationPower",
        "LDownShiftActuationMainLoadActuationTimeout SEDownShiftActuationMainLoadActuationTimeout",
        "LDownShiftActuationMainLoadExitTravel:2",
        "+LDownShiftActuationMainLoadMillivolts SEDownShiftActuationMainLoadExitTravelMillivolts",
        "+LDownShiftActuationMainLoadBarrel EDownShiftActuationMainLoadExitTravelBarrel"}},
    {"GBDownShiftActuationPreLoad", {
        "LDownShiftActuationPreLoadActuationPower SEDownShiftActuationPreLoadActuationPower",
        "LDownShiftActuationPreLoadActuationTime SEDownShiftActuationPreLoadActuationTime",
        "LDownShiftActuationPreLoadExitTravel:2",
        "+LDownShiftActuationPreLoadMillivolts SEDownShiftActuationPreLoadExitTravelMillivolts",
        "+LDownShiftActuationPreLoadBarrel EDownShiftActuationPreLoadExitTravelBarrel"}},
    {"GBDownShiftActuationPostLoad", {
        "LDownShiftActuationPostLoadActuationPower SEDownShiftActuationPostLoadActuationPower",
        "LDownShiftActuationPostLoadActuationTime SEDownShiftActuationPostLoadActuationTime"}},
    {"GBDownShiftActuationActiveLeverReturn", {
        "CBFunctionStrategiesActiveLeverDOWN:2",
        "LDownShiftActuationActiveLeverReturnActuationDelay "
            "SEDownShiftActuationActiveLeverReturnActuationDelay",
        "LDownShiftActuationActiveLeverReturnActuationTime "
            "SEDownShiftActuationActiveLeverReturnActuationTime"}},
    {"GBDownShiftEngineCut", {"GBDownShiftEngineCutPreCut", "GBDownShiftEngineCutExtraCut"}},
    {"GBDownShiftEngineCutPreCut", {
        "LDownShiftEngineCutPreCutBlipKill SEDownShiftEngineCutPreCutEngineCutAdvance"}},
    {"GBDownShiftEngineCutExtraCut", {
        "LDownShiftEngineCutExtraCutAntiPush SEDownShiftEngineCutExtraCutAntiPush",
        "CBDownShiftEngineCutExtraCutKillPostBlip:2"}},
    {"GBDownShiftHSAStrategy", {
        "GBDownShiftHSAStrategyActivation", "GBDownShiftHSAStrategyMainSettings"}},
    {"GBDownShiftHSAStrategyActivation", {
        "^LDownShiftHSAStrategyActivation12 ^LDownShiftHSAStrategyActivation23 "
            "^LDownShiftHSAStrategyActivation34 ^LDownShiftHSAStrategyActivation45 "
            "^LDownShiftHSAStrategyActivation56",
        "^CBDownShiftHSAStrategyActivation12 ^CBDownShiftHSAStrategyActivation23 "
            "^CBDownShiftHSAStrategyActivation34 ^CBDownShiftHSAStrategyActivation45 "
            "^CBDownShiftHSAStrategyActivation56"},
        {1, 1, 1, 1, 1}},
    {"GBDownShiftHSAStrategyMainSettings", {
        "LDownShiftHSAStrategyMainSettingsTimeoutOvertime SEDownShiftHSAStrategyMainSettingsTimeoutOvertime",
        "LDownShiftHSAStrategyMainSettingsT1 SEDownShiftHSAStrategyMainSettingsT1",
        "LDownShiftHSAStrategyMainSettingsT2 SEDownShiftHSAStrategyMainSettingsT2",
        "LDownShiftHSAStrategyMainSettingsT3 SEDownShiftHSAStrategyMainSettingsT3"}},
    {"GBDownShiftBlipper", {"GBDownShiftBlipperPreBlip", "GBDownShiftBlipperActuation"}},
    {"GBDownShiftBlipperPreBlip", {
        "LDownShiftBlipperPreBlipBlipAdvance SEDownShiftBlipperPreBlipBlipAdvance"}},
    {"GBDownShiftBlipperActuation", {
        "LDownShiftBlipperActuationBlipTimeout SEDownShiftBlipperMainCutBlipTimeout",
        "LDownShiftBlipperActuationExitTravel:2",
        "+LDownShiftBlipperActuationMillivolts SEDownShiftBlipperMainCutExitTravelMillivolts",
        "+LDownShiftBlipperActuationBarrel EDownShiftBlipperMainCutExitTravelBarrel"}},
    {"GBDownShiftRetryStrategy", {"GBDownShiftRetryStrategyMainSettings"}},
    {"GBDownShiftRetryStrategyMainSettings", {
        "CBFunctionStrategiesStrategyDOWN:2",
        "LDownShiftRetryStrategyMainSettingsRetryTravel:2",
        "+LDownShiftRetryStrategyMainSettingsMillivolts SEDownShiftHSAStrategyMainSettingsRetryTravelMillivolts",
        "+LDownShiftRetryStrategyMainSettingsBarrel EDownShiftHSAStrategyMainSettingsRetryTravelBarrel",
        "LDownShiftRetryStrategyMainSettingsActuationTime "
            "SEDownShiftHSAStrategyMainSettingsActuationTime",
        "LDownShiftRetryStrategyMainSettingsActuationPause "
            "SEDownShiftHSAStrategyMainSettingsActuationPause",
        "LDownShiftRetryStrategyMainSettingsTotalActuations "
            "SEDownShiftHSAStrategyMainSettingsTotalActuations"}},

    // ------------------------------------------------------------ Recovery & Special
    {"TSRecovery", {
        "[GBRecoveryUpShift|GBRecoveryNeutralReverse] [GBRecoveryDownShift|GBKartAxlePosition] "
        "[GBRecoveryOutputTest|GBRecoveryFirmwareUpdate]"},
        {1, 1, 1}, {1}, 6, 6},
    {"GBRecoveryUpShift", {
        "GBRecoveryUpShiftActuation", "GBRecoveryUpShiftEngineCut",
        "GBRecoveryUpShiftHSAStrategy", "GBRecoveryUpShiftPreLoad"}},
    {"GBRecoveryUpShiftActuation", {
        "LRecoveryUpShiftActuationActuationTime SERecoveryUpShiftActuationActuationTime"}},
    {"GBRecoveryUpShiftEngineCut", {
        "LRecoveryUpShiftEngineCutTime SERecoveryUpShiftEngineCutEngineCutTime"}},
    {"GBRecoveryUpShiftHSAStrategy", {
        "CBRecoveryUpShiftHSAStrategyActive:2",
        "LRecoveryUpShiftHSAStrategyOverTime SERecoveryUpShiftHSAStrategyOverTime"}},
    {"GBRecoveryUpShiftPreLoad", {
        "LRecoveryUpShiftPreLoadActuationTime SERecoveryUpShiftPreLoadActuationTime"}},
    {"GBRecoveryDownShift", {
        "GBRecoveryDownShiftActuation", "GBRecoveryDownShiftHSAStrategy",
        "GBRecoveryDownShiftEngineCut", "GBRecoveryDownShiftBlipper",
        "GBRecoveryDownShiftPreLoad"}},
    {"GBRecoveryDownShiftActuation", {
        "LRecoveryDownShiftActuationActuationTime SERecoveryDownShiftActuationActuationTime"}},
    {"GBRecoveryDownShiftHSAStrategy", {
        "CBRecoveryDownShiftHSAStrategyActive:2",
        "LRecoveryDownShiftHSAStrategyOverTime SERecoveryDownShiftHSAStrategyOverTime"}},
    {"GBRecoveryDownShiftEngineCut", {
        "LRecoveryDownShiftEngineCutBlipKill SERecoveryDownShiftEngineCutBlipKillTime",
        "LRecoveryDownShiftEngineCutAntiPush SERecoveryDownShiftEngineCutAntiPushTime"}},
    {"GBRecoveryDownShiftBlipper", {
        "LRecoveryDownShiftBlipperBlipTime SERecoveryDownShiftBlipperBlipTime"}},
    {"GBRecoveryDownShiftPreLoad", {
        "LRecoveryDownShiftPreLoadActuationTime SERecoveryDownShiftPreLoadActuationTime"}},
    {"GBRecoveryNeutralReverse", {"GBRecoveryNeutralReverseActuation"}},
    {"GBRecoveryNeutralReverseActuation", {
        "LRecoveryNeutralReverseActuationActuationPulse SERecoveryNeutralReverseActuationActuationPulse",
        "LRecoveryNeutralReverseActuationActuationPause SERecoveryNeutralReverseActuationActuationPause",
        "LRecoveryNeutralReverseActuationToNeutralPower SERecoveryNeutralReverseActuationToNeutralPower",
        "LRecoveryNeutralReverseActuationFromNeutralPower "
            "SERecoveryNeutralReverseActuationFromNeutralPower"}},
    {"GBRecoveryOutputTest", {
        "GBRecoveryOutputTestUpShift", "GBRecoveryOutputTestDownShift",
        "GBRecoveryOutputTestBlipper", "GBRecoveryOutputTestEngineCut", "GBRecoveryOutputTestLed"}},
    {"GBRecoveryOutputTestUpShift", {
        "LRecoveryOutputTestUpShiftActuationPower SERecoveryOutputTestUpShiftActuationPower",
        "LRecoveryOutputTestUpShiftActuationTime SERecoveryOutputTestUpShiftActuationTime "
            "BRecoveryOutputTestUpShiftTest"}},
    {"GBRecoveryOutputTestDownShift", {
        "LRecoveryOutputTestDownShiftActuationPower SERecoveryOutputTestDownShiftActuationPower",
        "LRecoveryOutputTestDownShiftActuationTime SERecoveryOutputTestDownShiftActuationTime "
            "BRecoveryOutputTestDownShiftTest"}},
    {"GBRecoveryOutputTestBlipper", {
        "LRecoveryOutputTestBlipperActuationTime SERecoveryOutputTestBlipperActuationTime "
            "BRecoveryOutputTestBlipperTest"}},
    {"GBRecoveryOutputTestEngineCut", {
        "LRecoveryOutputTestEngineCutTime SERecoveryOutputTestEngineCutEngineCutTime "
            "BRecoveryOutputTestEngineCutTest"}},
    {"GBRecoveryOutputTestLed", {
        "LRecoveryOutputTestLedTime SERecoveryOutputTestLedLedTestTime BRecoveryOutputTestLedTest"}},
    {"GBRecoveryFirmwareUpdate", {"BRecoveryFirmwareUpdate"}},
    {"GBKartAxlePosition", {
        ". ^LKartAxlePositionMillivolts .",
        "LKartAxlePositionLow EKartAxlePositionLowMillivolts BKartAxlePositionLowSet",
        "LKartAxlePositionZero EKartAxlePositionZeroMillivolts BKartAxlePositionZeroSet",
        "LKartAxlePositionHigh EKartAxlePositionHighMillivolts BKartAxlePositionHighSet"}},

    // ------------------------------------------------------------ maintenance pages
    {"TSCommands", {"Panel9", "Panel10", "Panel11"}, {1}, {0, 3, 1}, 4, 4},
    {"Panel9", {"BLoadCommands BRefreshCommands BSaveCommands ."}, {0, 0, 0, 1}, {1}, 0, 6},
    {"Panel10", {"SGCommands"}, {1}, {1}, 0, 0},
    {"Panel11", {"Panel13:2", "Panel14 Panel15"}, {1, 1}, {0, 1}, 0, 4},
    {"Panel13", {"EditCMD BSend"}, {1, 0}, {1}, 0, 4},
    {"Panel14", {"MemoLive"}, {1}, {1}, 0, 0},
    {"Panel15", {"Memo"}, {1}, {1}, 0, 0},
    {"TSFirmwareUpdate", {
        "^LFirmwareUpdate1", "^LFirmwareUpdate2", "^LFirmwareUpdate3", "MemoFirmwareUpdate"},
        {1}, {0, 0, 0, 1}, 12, 12},
    {"TSTranslation", {"PTranslationsTop", "PTranslationsGrid"}, {1}, {0, 1}, 4, 4},
    {"PTranslationsTop", {
        "BLoadTranslation BSaveTranslation BCreateTranslation BEmptyTranslation . "
        "BTranslateEnglish BTranslateItalian BTranslateFrench BTranslateSpanish BTranslateGerman"},
        {0, 0, 0, 0, 1, 0, 0, 0, 0, 0}, {1}, 0, 6},
    {"PTranslationsGrid", {"SGTranslation"}, {1}, {1}, 0, 0},

    // ------------------------------------------------------------ live plots
    {"TSLivePlots", {"PLivePlotsCharts PLivePlotsSide", "PLivePlotsTools:2",
        "LLivePlotsResolution:2"},
        {1, 0}, {1, 0, 0}, 4, 4},
    {"PLivePlotsTools", {"GBLivePlotsReplay GBLivePlotsOverlay . BLivePlotsExportShifts"},
        {0, 0, 1, 0}, {1}, 0, 6},
    {"GBLivePlotsReplay", {
        "BLivePlotsPlay CBLivePlotsSpeed PBLivePlotsReading BLivePlotsCancelReading"},
        {0, 0, 0, 0}, {1}},
    {"GBLivePlotsOverlay", {
        "BLivePlotsOverlayFile BLivePlotsOverlayShift CBLivePlotsOverlayShift "
        "BLivePlotsOverlayClear"},
        {0, 0, 0, 0}, {1}},
    {"PLivePlotsSide", {"GBLivePlotsRecording", "GBLivePlotsView", "GBLivePlotsSeries",
        "LLivePlotsShifts", "SGLivePlotsShifts"},
        {1}, {0, 0, 0, 0, 1}, 0, 4},
    {"GBLivePlotsRecording", {
        "BLivePlotsRecord BLivePlotsStopRecording", "BLivePlotsOpen BLivePlotsShowLive",
        "LLivePlotsRecording:2"}, {1, 1}},
    {"GBLivePlotsView", {
        "RGLivePlotsSpan:4", "CBLivePlotsPause:4",
        "BLivePlotsBack BLivePlotsForward BLivePlotsResetZoom ."}, {0, 0, 0, 1}},
    {"GBLivePlotsSeries", {
        "CBLivePlotsBarrel CBLivePlotsGear", "CBLivePlotsRPM CBLivePlotsTPS",
        "CBLivePlotsPaddleUp CBLivePlotsPaddleDown", "CBLivePlotsNeutral CBLivePlotsClutch",
        "CBLivePlotsBrake CBLivePlotsBattery", "CBLivePlotsGCUTemp CBLivePlotsActuatorTemp"},
        {1, 1}},

    // ------------------------------------------------------------ restore points
    {"TSRestorePoints", {"GBRestorePointsHistory", "GBRestorePointsCompare"},
        {1}, {2, 5}, 4, 4},
    {"GBRestorePointsHistory", {
        "LRestorePointsUnit CBRestorePointsUnit LRestorePointsFolder BRestorePointsRefresh",
        "SGRestorePointsHistory:4"},
        {0, 0, 1, 0}, {0, 1}},
    {"GBRestorePointsCompare", {
        "LRestorePointsComparedWith:4 BRestorePointsCompareFile",
        "LRestorePointsCounts:5",
        "SGRestorePointsCompare:5",
        "CBRestorePointsDifferencesOnly BRestorePointsTake BRestorePointsRestore "
            "BRestorePointsExport ."},
        {0, 0, 0, 0, 1}, {0, 0, 1, 0}},

    // ------------------------------------------------------------ units
    {"TSUnits", {"GBUnitsBaseline", "GBUnitsList"}, {1}, {0, 1}, 4, 4},
    {"GBUnitsBaseline", {
        "LUnitsBaselineUnit CBUnitsBaseline BUnitsBaselineFile .",
        "LUnitsBaseline:4"},
        {0, 0, 0, 1}, {0, 0}},
    {"GBUnitsList", {
        "SGUnits:7",
        "BUnitsRename BUnitsMerge BUnitsShowHistory BUnitsExport BUnitsDelete . BUnitsRefresh",
        "LUnitsFolder:7"},
        {0, 0, 0, 0, 0, 1, 0}, {1, 0, 0}},

    // ------------------------------------------------------------ change sequence
    {"TSSequence", {"PSequenceProgressBar", "PSequenceButtons", "PSequenceGrid"},
        {1}, {0, 0, 1}, 4, 4},
    {"PSequenceProgressBar", {"PBOperations"}, {1}, {1}, 0, 0},
    {"PSequenceButtons", {
        "BSequenceTransmit:3 BSequenceTransmitAll:3",
        "BSequenceDiscard:3 BSequenceDiscardAll:3",
        "BSequenceErase:3 BSequenceEraseAll:3",
        "BSequenceSave:3 BSequenceLoad:3",
        "BSaveConfig:2 BLoadConfig:2 BApplyConfig:2"},
        {1, 1, 1, 1, 1, 1}, {0, 0, 0, 0, 0}, 0, 4},
    {"PSequenceGrid", {"SGSequence"}, {1}, {1}, 0, 0},
    };
    return recipes;
}
// clang-format on

// Sizes by kind, so that equal controls line up across the pages.
constexpr int FieldHeight = 20;
constexpr int SpinEditWidth = 60;
constexpr int EditWidth = 60;
constexpr int SmallNumberWidth = 46; // tooth counts and ratios

struct SizeOverride {
    const char* name;
    int width;  // -1 = by kind
    int height; // -1 = by kind
};

const SizeOverride sizeOverrides[] = {
    {"PBottom", -1, 88},
    {"PRight", 320, -1},
    {"PLivePlotsSide", 280, -1},
    {"CBLivePlotsSpeed", 52, -1},
    {"PBLivePlotsReading", 70, -1},
    {"CBLivePlotsOverlayShift", 104, -1},
    {"CBRestorePointsUnit", 220, -1},
    {"CBUnitsBaseline", 220, -1},
    {"ESerialLiveGear", 30, 18},
    {"ESerialLiveSelector", 30, 18},
    {"EPCBVersion", 46, 18},
    {"ERatiosRpmRPMLimiter", 60, -1},
    {"ERatiosRpmRPMRecovery", 60, -1},
    {"EInputsOutputsMinimumBatteryVoltage", 60, -1},
    {"EKartAxlePositionLowMillivolts", 60, -1},
    {"EKartAxlePositionZeroMillivolts", 60, -1},
    {"EKartAxlePositionHighMillivolts", 60, -1},
    {"PBOperations", -1, 16},
};

bool IsSmallNumberField(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^S?ERatiosRpm\\d[PSRL]$"));
    return pattern.match(name).hasMatch();
}

void SizeByKind(QWidget* widget) {
    const QString name = widget->objectName();
    if (qobject_cast<TSpinEdit*>(widget)) {
        widget->setFixedSize(IsSmallNumberField(name) ? SmallNumberWidth : SpinEditWidth,
                             FieldHeight);
    } else if (qobject_cast<TEdit*>(widget)) {
        if (name == QLatin1String("EditCMD"))
            widget->setFixedHeight(FieldHeight + 2);
        else
            widget->setFixedSize(IsSmallNumberField(name) ? SmallNumberWidth : EditWidth,
                                 FieldHeight);
    } else if (auto* button = qobject_cast<TButton*>(widget)) {
        button->setFixedHeight(22);
        const int width =
            std::max(56, button->fontMetrics().horizontalAdvance(button->text()) + 20);
        // Buttons inside a group sit at a fixed size so that they line up.
        if (qobject_cast<QGroupBox*>(button->parentWidget()))
            button->setFixedWidth(width);
        else
            button->setMinimumWidth(width);
    } else if (qobject_cast<TLed*>(widget)) {
        widget->setFixedSize(12, 12);
    } else if (qobject_cast<TProgressBar*>(widget)) {
        widget->setFixedHeight(12);
        widget->setMinimumWidth(60);
    } else if (qobject_cast<TComboBox*>(widget)) {
        widget->setFixedHeight(FieldHeight);
    } else if (qobject_cast<TSpinButton*>(widget)) {
        widget->setFixedSize(16, FieldHeight);
    }
    for (const SizeOverride& size : sizeOverrides) {
        if (name != QLatin1String(size.name))
            continue;
        if (size.width > 0)
            widget->setFixedWidth(size.width);
        if (size.height > 0)
            widget->setFixedHeight(size.height);
    }
}

Qt::Alignment AlignmentOf(char align) {
    switch (align) {
    case '^':
        return Qt::AlignCenter;
    case '>':
        return Qt::AlignRight | Qt::AlignVCenter;
    case '+':
        return Qt::AlignLeft | Qt::AlignVCenter;
    default:
        return {};
    }
}

// Keeps a check box's marker right behind it, whatever the layout does.
class MarkerFollower : public QObject {
  public:
    MarkerFollower(QWidget* checkBox, QWidget* marker)
        : QObject(checkBox), checkBox_(checkBox), marker_(marker) {
        checkBox->installEventFilter(this);
        Follow();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            Follow();
        return false;
    }

  private:
    void Follow() {
        // The marker frames the box and its caption with a small margin.
        const QSize hint = checkBox_->sizeHint();
        QRect area(checkBox_->geometry().topLeft(),
                   QSize(std::min(hint.width(), checkBox_->width()), checkBox_->height()));
        marker_->setGeometry(area.adjusted(-3, -1, 3, 1));
        marker_->stackUnder(checkBox_);
    }
    QWidget* checkBox_;
    QWidget* marker_;
};

// Keeps a label in the room a page control's tabs leave at the right of its
// tab bar, so that it moves no control and the tabs never need scrolling,
// whatever their captions' language.
class BesideTabs : public QObject {
  public:
    // ShownAlways: the label shows whenever there is room; otherwise its owner
    // shows it when it has something to say.
    BesideTabs(QTabWidget* pages, QWidget* label, bool shownAlways, QWidget* cover = nullptr)
        : QObject(pages), pages_(pages), label_(label), shownAlways_(shownAlways), cover_(cover) {
        pages->installEventFilter(this);
        pages->tabBar()->installEventFilter(this);
        Fit();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
            event->type() == QEvent::Show || event->type() == QEvent::Move)
            Fit();
        return false;
    }

  private:
    void Fit() {
        const QTabBar* bar = pages_->tabBar();
        const int left = bar->x() + bar->sizeHint().width() + 8;
        const int width = pages_->width() - left - 4;
        const QRect place(left, bar->y(), std::max(0, width), bar->height());
        if (label_->geometry() != place)
            label_->setGeometry(place);
        if (shownAlways_)
            label_->setVisible(width > 40 && !(cover_ && cover_->isVisible()));
        else if (width <= 40)
            label_->setVisible(false);
        label_->raise();
    }
    QTabWidget* pages_;
    QWidget* label_;
    bool shownAlways_;
    QWidget* cover_; // a label shown in this one's place for a while
};

void PlaceCell(TFormMain& form, QGridLayout* grid, const LayoutCell& cell) {
    if (cell.name.startsWith(u'[') || cell.name.startsWith(u'{')) {
        // "[A|B]" stacks A over B, "{A|B}" puts them side by side.
        const bool vertical = cell.name.startsWith(u'[');
        QBoxLayout* stack = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout)
                                     : static_cast<QBoxLayout*>(new QHBoxLayout);
        stack->setSpacing(vertical ? grid->verticalSpacing() : grid->horizontalSpacing());
        const QString inner = cell.name.mid(1, cell.name.size() - 2);
        QList<QWidget*> widgets;
        for (const QString& name : inner.split(u'|', Qt::SkipEmptyParts)) {
            if (auto* widget = qobject_cast<QWidget*>(form.FindComponent(name)))
                widgets << widget;
        }
        // Fixed-size fields side by side keep to the right, with the other fields.
        const bool allFixed = std::all_of(widgets.begin(), widgets.end(), [](QWidget* w) {
            return w->minimumWidth() == w->maximumWidth();
        });
        if (!vertical && allFixed)
            stack->addStretch(1);
        for (QWidget* widget : widgets)
            stack->addWidget(widget);
        if (vertical)
            stack->addStretch(1);
        grid->addLayout(stack, cell.row, cell.col, cell.rowSpan, cell.colSpan);
        return;
    }
    auto* widget = qobject_cast<QWidget*>(form.FindComponent(cell.name));
    if (!widget)
        return;
    if (auto* label = qobject_cast<QLabel*>(widget); label && cell.align == '+')
        label->setIndent(14);
    grid->addWidget(widget, cell.row, cell.col, cell.rowSpan, cell.colSpan,
                    AlignmentOf(cell.align));
}

void ApplyRecipe(TFormMain& form, const GridRecipe& recipe) {
    auto* container = qobject_cast<QWidget*>(form.FindComponent(QLatin1String(recipe.container)));
    if (!container || recipe.rows.empty())
        return;
    auto* grid = new QGridLayout(container);
    int top = recipe.margin;
    if (qobject_cast<QGroupBox*>(container))
        top = std::max(2, recipe.margin - 2);
    grid->setContentsMargins(recipe.margin, top, recipe.margin, recipe.margin);
    grid->setHorizontalSpacing(recipe.spacing + 2);
    grid->setVerticalSpacing(recipe.spacing);
    QStringList rows;
    for (const char* row : recipe.rows)
        rows << QString::fromLatin1(row);
    for (const LayoutCell& cell : ParseLayoutRows(rows))
        PlaceCell(form, grid, cell);
    for (size_t col = 0; col < recipe.colStretch.size(); ++col)
        grid->setColumnStretch(int(col), recipe.colStretch[col]);
    if (recipe.rowStretch.empty()) {
        grid->setRowStretch(int(recipe.rows.size()), 1);
    } else {
        for (size_t row = 0; row < recipe.rowStretch.size(); ++row)
            grid->setRowStretch(int(row), recipe.rowStretch[row]);
    }
}

} // namespace

std::vector<LayoutCell> ParseLayoutRows(const QStringList& rows) {
    static const QRegularExpression tokenPattern(QStringLiteral(
        "^([\\^>+]?)(\\[[^\\]]*\\]|\\{[^}]*\\}|[A-Za-z0-9_]+)(?::(\\d+)(?:x(\\d+))?)?$"));
    std::vector<LayoutCell> cells;
    for (int row = 0; row < rows.size(); ++row) {
        int col = 0;
        for (const QString& token : rows[row].split(u' ', Qt::SkipEmptyParts)) {
            if (token == QLatin1String(".")) {
                ++col;
                continue;
            }
            LayoutCell cell;
            cell.row = row;
            cell.col = col;
            const QRegularExpressionMatch match = tokenPattern.match(token);
            if (match.hasMatch()) {
                const QString align = match.captured(1);
                cell.align = align.isEmpty() ? 0 : char(align[0].unicode());
                cell.name = match.captured(2);
                if (match.hasCaptured(3))
                    cell.colSpan = match.captured(3).toInt();
                if (match.hasCaptured(4))
                    cell.rowSpan = match.captured(4).toInt();
            } else {
                cell.name = token;
            }
            col += cell.colSpan;
            cells.push_back(cell);
        }
    }
    return cells;
}

std::vector<std::pair<const char*, const char*>> LabelsBesideTabs() {
    return {
        {"PCRight", "LWorkingCopyOrigin"}, {"PCRight", "LEditNotice"}, {"PCMain", "LUnitOnLink"}};
}

QStringList LaidOutContainers() {
    QStringList containers;
    for (const GridRecipe& recipe : Recipes())
        containers << QString::fromLatin1(recipe.container);
    return containers;
}

QStringList LaidOutNames(const QString& container) {
    QStringList names;
    for (const GridRecipe& recipe : Recipes()) {
        if (container != QLatin1String(recipe.container))
            continue;
        QStringList rows;
        for (const char* row : recipe.rows)
            rows << QString::fromLatin1(row);
        for (const LayoutCell& cell : ParseLayoutRows(rows)) {
            if (cell.name.startsWith(u'[') || cell.name.startsWith(u'{'))
                names << cell.name.mid(1, cell.name.size() - 2).split(u'|', Qt::SkipEmptyParts);
            else
                names << cell.name;
        }
    }
    return names;
}

void ArrangeMainWindow(TFormMain& form) {
    for (QObject* component : form.ComponentList()) {
        if (auto* widget = qobject_cast<QWidget*>(component))
            SizeByKind(widget);
    }
    for (const GridRecipe& recipe : Recipes())
        ApplyRecipe(form, recipe);
    // The window itself holds PMain alone.
    auto* window = new QGridLayout(&form);
    window->setContentsMargins(0, 0, 0, 0);
    window->addWidget(qobject_cast<QWidget*>(form.FindComponent(QStringLiteral("PMain"))), 0, 0);
    for (QObject* component : form.ComponentList()) {
        auto* marker = qobject_cast<TShape*>(component);
        if (!marker)
            continue;
        auto* checkBox = qobject_cast<QWidget*>(form.FindComponent(marker->objectName().mid(1)));
        if (checkBox)
            new MarkerFollower(checkBox, marker);
    }
    // Beside the sequence's tab, where they move nothing: where the shown
    // values come from with the changes not yet in the unit, and for a while
    // after an edit, in its place, why a value became other than typed.
    // Beside the pages' tabs: which unit is on the link.
    for (const auto& [pagesName, labelName] : LabelsBesideTabs()) {
        auto* pages = qobject_cast<QTabWidget*>(form.FindComponent(QLatin1String(pagesName)));
        auto* label = qobject_cast<QLabel*>(form.FindComponent(QLatin1String(labelName)));
        if (!pages || !label)
            continue;
        QFont small = label->font();
        small.setPixelSize(10);
        label->setFont(small);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setContentsMargins(4, 0, 4, 0);
        // A label hidden at start is shown over the other one for a while.
        QWidget* cover = nullptr;
        for (const auto& [otherPages, otherName] : LabelsBesideTabs()) {
            auto* other = qobject_cast<QWidget*>(form.FindComponent(QLatin1String(otherName)));
            if (other && other != label && QLatin1String(otherPages) == QLatin1String(pagesName) &&
                other->isHidden())
                cover = other;
        }
        new BesideTabs(pages, label, !label->isHidden(), label->isHidden() ? nullptr : cover);
    }
    // The firmware-update notice is read from a distance.
    for (const char* name : {"LFirmwareUpdate1", "LFirmwareUpdate2", "LFirmwareUpdate3"}) {
        auto* label = qobject_cast<QWidget*>(form.FindComponent(QLatin1String(name)));
        QFont font = label->font();
        font.setPixelSize(24);
        font.setBold(true);
        label->setFont(font);
    }
}
