#include "ui/Inventory.h"

#include "model/CommandTable.h"

// The rows below are data: names, captions, IDs and tags must stay exactly as
// they are, because the command table, the translation table and the
// configuration and sequence files refer to controls by name.
namespace {
using K = ControlKind;
namespace F = InventoryFlag;

// clang-format off
const InventoryItem inventory[] = {
    {.parent = "", .kind = K::Panel, .name = "PMain"},
    {.parent = "PMain", .kind = K::Panel, .name = "PBottom"},
    {.parent = "PBottom", .kind = K::GroupBox, .name = "GBSystemInfo", .caption = " System Info "},
    {.parent = "GBSystemInfo", .kind = K::Edit, .name = "EPCBVersion", .flags = F::ReadOnly},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoFrmwareTitle", .caption = "Firmware:"},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoRebootsTitle", .caption = "Reboots:"},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoSerialTitle", .caption = "Serial:"},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoSerial", .caption = "0000", .tag = 1},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoReboots", .caption = "0", .tag = 1},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LFirmwareVersion", .caption = "0.0.0", .tag = 1},
    {.parent = "GBSystemInfo", .kind = K::Label, .name = "LSystemInfoPCBVersionTitle", .caption = "PCB Version"},
    {.parent = "PBottom", .kind = K::GroupBox, .name = "GBSerialLive", .caption = " Live ", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Edit, .name = "ESerialLiveGear", .text = "N"},
    {.parent = "GBSerialLive", .kind = K::Edit, .name = "ESerialLiveSelector", .text = "A", .color = clGreen},
    {.parent = "GBSerialLive", .kind = K::CheckBox, .name = "CBLiveActive", .caption = "Active", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::Led, .name = "LedSerialLivePaddleDN"},
    {.parent = "GBSerialLive", .kind = K::Led, .name = "LedSerialLiveNeutral"},
    {.parent = "GBSerialLive", .kind = K::Led, .name = "LedSerialLivePaddleUP"},
    {.parent = "GBSerialLive", .kind = K::Led, .name = "LedSerialLiveClutch"},
    {.parent = "GBSerialLive", .kind = K::Led, .name = "LedSerialLiveBrake"},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveBarrel", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveTPS", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveRPM", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveBattery", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveActuatorTemp", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::ProgressBar, .name = "PBSerialLiveGCUTemp", .flags = F::Disabled},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveNeutralInterlock", .caption = "Neutral Interlock"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLivePaddleDown", .caption = "Paddle DOWN"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLivePaddleUp", .caption = "Paddle UP"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveBrake", .caption = "Brake"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveClutch", .caption = "Clutch"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveBarrelTitle", .caption = "Barrel"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveBarrel", .caption = "0 mV", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveTPSTitle", .caption = "TPS"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveTPS", .caption = "0 mV", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveRPMTitle", .caption = "RPM"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveRPM", .caption = "0", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveBatteryTitle", .caption = "Battery"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveBattery", .caption = "0,0 V", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveGear", .caption = "Gear"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveSelector", .caption = "Selector"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveGCUTempTitle", .caption = "GCU Temp"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveGCUTemp", .caption = "0° C", .tag = 1},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveACTTempTitle", .caption = "ACT Temp"},
    {.parent = "GBSerialLive", .kind = K::Label, .name = "LSerialLiveActuatorTemp", .caption = "0° C", .tag = 1},
    {.parent = "PBottom", .kind = K::GroupBox, .name = "GBCommunication", .caption = " Communication "},
    {.parent = "GBCommunication", .kind = K::Button, .name = "BSerialCommunicationConnectDisconnect", .caption = "Connect", .helpContext = -1},
    {.parent = "GBCommunication", .kind = K::Button, .name = "BCommunicationGetConfig", .caption = "Get Config."},
    {.parent = "GBCommunication", .kind = K::ComboBox, .name = "CBSerialCommunicationComPort", .text = "AUTO CONNECT"},
    {.parent = "GBCommunication", .kind = K::Led, .name = "LedSerialCommunication"},
    {.parent = "GBCommunication", .kind = K::Label, .name = "LSerialCommunicationStatus", .caption = "No Connection"},
    {.parent = "PMain", .kind = K::Panel, .name = "PExpand"},
    {.parent = "PExpand", .kind = K::Panel, .name = "PLeft"},
    {.parent = "PLeft", .kind = K::PageControl, .name = "PCMain", .helpContext = 81},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSMainSetting", .caption = "Main Setting"},
    {.parent = "TSMainSetting", .kind = K::GroupBox, .name = "GBRatiosRpm", .caption = " Ratios && RPM"},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm1P", .helpContext = 129},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm1S", .helpContext = 130},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm2P", .helpContext = 131},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm2S", .helpContext = 132},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm3P", .helpContext = 133},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm3S", .helpContext = 134},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm4P", .helpContext = 135},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm4S", .helpContext = 136},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm5P", .helpContext = 137},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm5S", .helpContext = 138},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm6P", .helpContext = 139},
    {.parent = "GBRatiosRpm", .kind = K::SpinEdit, .name = "SERatiosRpm6S", .helpContext = 140},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpmRPMLimiter", .helpContext = 98, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm2L", .helpContext = 56, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm3L", .helpContext = 57, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm4L", .helpContext = 58, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm5L", .helpContext = 59, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm6L", .helpContext = 60, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm1R", .helpContext = 17, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm2R", .helpContext = 18, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm3R", .helpContext = 19, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm4R", .helpContext = 20, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm5R", .helpContext = 21, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm6R", .helpContext = 22, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpm1L", .flags = F::ReadOnly | F::Hidden},
    {.parent = "GBRatiosRpm", .kind = K::Edit, .name = "ERatiosRpmRPMRecovery", .helpContext = 161, .flags = F::ReadOnly},
    {.parent = "GBRatiosRpm", .kind = K::CheckBox, .name = "CBRatiosRpmCutRpmLimiter", .caption = "Cut at RPM Limiter", .helpContext = 154},
    {.parent = "GBRatiosRpm", .kind = K::Shape, .name = "SCBRatiosRpmCutRpmLimiter"},
    {.parent = "GBRatiosRpm", .kind = K::SpinButton, .name = "SBERatiosRpmRPMLimiter"},
    {.parent = "GBRatiosRpm", .kind = K::SpinButton, .name = "SBERatiosRpmRPMRecovery", .helpContext = 161},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmRPMLimiter", .caption = "RPM Limiter", .helpContext = 98},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmPrimary", .caption = "Prim."},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm1", .caption = "1", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmSecondary", .caption = "Sec."},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmRatio", .caption = "Ratio"},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmDownshiftLimit", .caption = "DN Limit"},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpmRPMRecovery", .caption = "RPM Recovery", .helpContext = 161},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm2", .caption = "2", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm3", .caption = "3", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm4", .caption = "4", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm5", .caption = "5", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::Label, .name = "LRatiosRpm6", .caption = "6", .tag = 1},
    {.parent = "GBRatiosRpm", .kind = K::GroupBox, .name = "GBRatiosRpmRPM", .caption = " RPM ", .helpContext = 46},
    {.parent = "GBRatiosRpmRPM", .kind = K::SpinEdit, .name = "SERatiosRpmDivisor", .helpContext = 46},
    {.parent = "GBRatiosRpmRPM", .kind = K::CheckBox, .name = "CBRatiosRpmX2", .caption = "x 2", .helpContext = 76},
    {.parent = "GBRatiosRpmRPM", .kind = K::Shape, .name = "SCBRatiosRpmX2"},
    {.parent = "GBRatiosRpmRPM", .kind = K::Label, .name = "LRatiosRpmRPMDivisor", .caption = "Divisor", .helpContext = 46},
    {.parent = "TSMainSetting", .kind = K::GroupBox, .name = "GBGearDetection", .caption = " Gear Detection "},
    {.parent = "GBGearDetection", .kind = K::RadioGroup, .name = "GBGearDetectionSignalValues", .caption = " Signal Values ", .helpContext = 126, .items = "Decreasing|Increasing", .columns = 2},
    {.parent = "GBGearDetection", .kind = K::GroupBox, .name = "GBGearDetectionBarrelPosition", .caption = " Barrel Positions "},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPositionRMillivolts", .helpContext = 152, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPositionNMillivolts", .helpContext = 151, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition1Millivolts", .helpContext = 145, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition2Millivolts", .helpContext = 146, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition3Millivolts", .helpContext = 147, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition4Millivolts", .helpContext = 148, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition5Millivolts", .helpContext = 149, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::SpinEdit, .name = "SEGearDetectionBarrelPosition6Millivolts", .helpContext = 150, .increment = 10},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPositionRBarrel", .helpContext = 90, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPositionNBarrel", .helpContext = 89, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition1Barrel", .helpContext = 88, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition2Barrel", .helpContext = 87, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition3Barrel", .helpContext = 86, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition4Barrel", .helpContext = 85, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition5Barrel", .helpContext = 84, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Edit, .name = "EGearDetectionBarrelPosition6Barrel", .helpContext = 83, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPositionRSet", .caption = "Set", .helpContext = 90, .helpKeyword = "R"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPositionNSet", .caption = "Set", .helpContext = 89, .helpKeyword = "N"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition1Set", .caption = "Set", .helpContext = 88, .helpKeyword = "1"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition2Set", .caption = "Set", .helpContext = 87, .helpKeyword = "2"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition3Set", .caption = "Set", .helpContext = 86, .helpKeyword = "3"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition4Set", .caption = "Set", .helpContext = 85, .helpKeyword = "4"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition5Set", .caption = "Set", .helpContext = 84, .helpKeyword = "5"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Button, .name = "BGearDetectionBarrelPosition6Set", .caption = "Set", .helpContext = 83, .helpKeyword = "6"},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPositionR", .caption = "R", .helpContext = 152, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPositionMillivolts", .caption = "Millivolts", .helpContext = 152},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPositionBarrel", .caption = "Barrel °", .helpContext = 152},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPositionN", .caption = "N", .helpContext = 151, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition1", .caption = "1", .helpContext = 145, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition2", .caption = "2", .helpContext = 146, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition3", .caption = "3", .helpContext = 147, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition4", .caption = "4", .helpContext = 148, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition5", .caption = "5", .helpContext = 149, .tag = 1},
    {.parent = "GBGearDetectionBarrelPosition", .kind = K::Label, .name = "LGearDetectionBarrelPosition6", .caption = "6", .helpContext = 150, .tag = 1},
    {.parent = "GBGearDetection", .kind = K::GroupBox, .name = "GBGearDetectionSensorType", .caption = " Sensor Type ", .helpContext = 143},
    {.parent = "GBGearDetectionSensorType", .kind = K::SpinEdit, .name = "SEGearDetectionSensorTypeMinimum", .helpContext = 143, .increment = 10},
    {.parent = "GBGearDetectionSensorType", .kind = K::SpinEdit, .name = "SEGearDetectionSensorTypeMaximum", .helpContext = 144, .increment = 10},
    {.parent = "GBGearDetectionSensorType", .kind = K::Label, .name = "LGearDetectionSensorTypeMinimum", .caption = "Minimum", .helpContext = 143},
    {.parent = "GBGearDetectionSensorType", .kind = K::Label, .name = "LGearDetectionSensorTypeMaximum", .caption = "Maximum", .helpContext = 144},
    {.parent = "GBGearDetection", .kind = K::GroupBox, .name = "GBGearDetectionRecognitionTolerance", .caption = " Recognition Tolerance ", .helpContext = 62},
    {.parent = "GBGearDetectionRecognitionTolerance", .kind = K::SpinEdit, .name = "SEGearDetectionRecognitionToleranceMillivolts", .helpContext = 62, .increment = 10},
    {.parent = "GBGearDetectionRecognitionTolerance", .kind = K::Edit, .name = "EGearDetectionRecognitionToleranceBarrel", .helpContext = 62, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBGearDetectionRecognitionTolerance", .kind = K::Label, .name = "LGearDetectionRecognitionToleranceMillivolts", .caption = "Millivolts", .helpContext = 62},
    {.parent = "GBGearDetectionRecognitionTolerance", .kind = K::Label, .name = "LGearDetectionRecognitionToleranceBarrel", .caption = "Barrel °", .helpContext = 62},
    {.parent = "GBGearDetectionRecognitionTolerance", .kind = K::Label, .name = "LGearDetectionRecognitionToleranceAll", .caption = "ALL", .helpContext = 62},
    {.parent = "GBGearDetection", .kind = K::GroupBox, .name = "GBGearDetectionGearboxOptions", .caption = " Gearbox Options ", .helpContext = 41},
    {.parent = "GBGearDetectionGearboxOptions", .kind = K::CheckBox, .name = "CBFunctionStrategiesBikeGearbox", .caption = "Bike Gearbox", .helpContext = 41},
    {.parent = "GBGearDetectionGearboxOptions", .kind = K::CheckBox, .name = "CBFunctionStrategiesKartGearbox", .caption = "Kart Gearbox", .helpContext = 157},
    {.parent = "GBGearDetectionGearboxOptions", .kind = K::Shape, .name = "SCBFunctionStrategiesBikeGearbox"},
    {.parent = "GBGearDetectionGearboxOptions", .kind = K::Shape, .name = "SCBFunctionStrategiesKartGearbox"},
    {.parent = "TSMainSetting", .kind = K::GroupBox, .name = "GBFunctionStrategies", .caption = " Functions && Strategies"},
    {.parent = "GBFunctionStrategies", .kind = K::SpinEdit, .name = "SEFunctionStrategiesActuatorTempLimit", .helpContext = 2},
    {.parent = "GBFunctionStrategies", .kind = K::CheckBox, .name = "CBFunctionStrategiesRPMControl", .caption = "RPM Control", .helpContext = 34},
    {.parent = "GBFunctionStrategies", .kind = K::CheckBox, .name = "CBFunctionStrategiesActuatorTempControl", .caption = "Actuator Temp Control", .helpContext = 77},
    {.parent = "GBFunctionStrategies", .kind = K::CheckBox, .name = "CBFunctionStrategiesClosedLoop", .caption = "Closed Loop", .helpContext = 106},
    {.parent = "GBFunctionStrategies", .kind = K::CheckBox, .name = "CBFunctionStrategiesTPSControl", .caption = "TPS Control", .helpContext = 79},
    {.parent = "GBFunctionStrategies", .kind = K::CheckBox, .name = "CBFunctionStrategiesRangeOvershootControl", .caption = "Range Overshoot Control", .helpContext = 128},
    {.parent = "GBFunctionStrategies", .kind = K::Shape, .name = "SCBFunctionStrategiesClosedLoop"},
    {.parent = "GBFunctionStrategies", .kind = K::Shape, .name = "SCBFunctionStrategiesRPMControl"},
    {.parent = "GBFunctionStrategies", .kind = K::Shape, .name = "SCBFunctionStrategiesTPSControl"},
    {.parent = "GBFunctionStrategies", .kind = K::Shape, .name = "SCBFunctionStrategiesRangeOvershootControl"},
    {.parent = "GBFunctionStrategies", .kind = K::Shape, .name = "SCBFunctionStrategiesActuatorTempControl"},
    {.parent = "GBFunctionStrategies", .kind = K::Label, .name = "LFunctionStrategiesTemperatureLimit", .caption = "Limit °C", .helpContext = 22},
    {.parent = "TSMainSetting", .kind = K::GroupBox, .name = "GBThrottlePositionSensor", .caption = " Throttle Position Sensor ", .helpContext = 79},
    {.parent = "GBThrottlePositionSensor", .kind = K::SpinEdit, .name = "SEThrottlePositionSensorIdleMillivolts", .helpContext = 107, .flags = F::ReadOnly, .increment = 10},
    {.parent = "GBThrottlePositionSensor", .kind = K::SpinEdit, .name = "SEThrottlePositionSensorFullOpenMillivolts", .helpContext = 108, .flags = F::ReadOnly, .increment = 10},
    {.parent = "GBThrottlePositionSensor", .kind = K::SpinEdit, .name = "SEThrottlePositionSensorDNLock", .helpContext = 109},
    {.parent = "GBThrottlePositionSensor", .kind = K::SpinEdit, .name = "SEThrottlePositionSensorUPLock", .helpContext = 110},
    {.parent = "GBThrottlePositionSensor", .kind = K::RadioGroup, .name = "RGThrottlePositionSensorSignalValues", .caption = " Signal Values ", .helpContext = 127, .items = "Decreasing|Increasing", .columns = 2},
    {.parent = "GBThrottlePositionSensor", .kind = K::Button, .name = "BThrottlePositionSensorIdleSet", .caption = "Set", .helpContext = 107},
    {.parent = "GBThrottlePositionSensor", .kind = K::Button, .name = "BThrottlePositionSensorFullOpenSet", .caption = "Set", .helpContext = 108},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorIdle", .caption = "Idle", .helpContext = 107},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorFullOpen", .caption = "Full Open", .helpContext = 108},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorMillivolts", .caption = "Millivolts", .helpContext = 107},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorDownLock", .caption = "DN Lock (if >)", .helpContext = 109},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorUpLock", .caption = "UP Lock (if <)", .helpContext = 110},
    {.parent = "GBThrottlePositionSensor", .kind = K::Label, .name = "LThrottlePositionSensorPercentage", .caption = "Percentage", .helpContext = 109},
    {.parent = "TSMainSetting", .kind = K::GroupBox, .name = "GBInputsOutputs", .caption = " Inputs + Outputs "},
    {.parent = "GBInputsOutputs", .kind = K::SpinEdit, .name = "SEInputsOutputsRGBBrightness", .helpContext = 142},
    {.parent = "GBInputsOutputs", .kind = K::SpinEdit, .name = "SEInputsOutputsSecondaryShaftTeeth", .helpContext = 97},
    {.parent = "GBInputsOutputs", .kind = K::Edit, .name = "EInputsOutputsMinimumBatteryVoltage", .helpContext = 1, .flags = F::ReadOnly},
    {.parent = "GBInputsOutputs", .kind = K::CheckBox, .name = "CBInputsOutputsBluetooth", .caption = "Bluetooth", .helpContext = 125},
    {.parent = "GBInputsOutputs", .kind = K::CheckBox, .name = "CBInputsOutputsCANRPMInput", .caption = "CAN RPM Input", .helpContext = 165},
    {.parent = "GBInputsOutputs", .kind = K::CheckBox, .name = "GBInputsOutputsCANPaddleInput", .caption = "CAN Paddle Input", .helpContext = 166},
    {.parent = "GBInputsOutputs", .kind = K::RadioGroup, .name = "GBInputsOutputsExtraInput", .caption = " Extra Input ", .helpContext = 112, .items = "Clutch|Brake"},
    {.parent = "GBInputsOutputs", .kind = K::RadioGroup, .name = "GBInputsOutputsSelector", .caption = " Selector ", .helpContext = 141, .items = "Digital|Analog", .columns = 2},
    {.parent = "GBInputsOutputs", .kind = K::RadioGroup, .name = "GBInputsOutputsUpDownCmd", .caption = " Up / Down Cmd. ", .helpContext = 96, .items = "Straight|Inverted", .columns = 2},
    {.parent = "GBInputsOutputs", .kind = K::RadioGroup, .name = "GBInputsOutputsLed", .caption = " Led ", .helpContext = 124, .items = "Monochrome|RGB"},
    {.parent = "GBInputsOutputs", .kind = K::Shape, .name = "SCBInputsOutputsBluetooth"},
    {.parent = "GBInputsOutputs", .kind = K::Shape, .name = "SCBInputsOutputsCANRPMInput"},
    {.parent = "GBInputsOutputs", .kind = K::Shape, .name = "SGBInputsOutputsCANPaddleInput"},
    {.parent = "GBInputsOutputs", .kind = K::SpinButton, .name = "SBSEInputsOutputsMinimumBatteryVoltage", .tag = 1},
    {.parent = "GBInputsOutputs", .kind = K::Label, .name = "LInputsOutputsRGBBrightness", .caption = "RGB Brightness %", .helpContext = 142},
    {.parent = "GBInputsOutputs", .kind = K::Label, .name = "LInputsOutputsMinimumBatteryVoltage", .caption = "Minimum Battery Voltage", .tag = 1},
    {.parent = "GBInputsOutputs", .kind = K::Label, .name = "LInputsOutputsSecondaryShaftTeeth", .caption = "Secondary Shaft Teeth", .helpContext = 97},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSUpshift", .caption = "Up Shift"},
    {.parent = "TSUpshift", .kind = K::GroupBox, .name = "GBUpShiftEngineCut", .caption = " Engine Cut "},
    {.parent = "GBUpShiftEngineCut", .kind = K::GroupBox, .name = "GBUpShiftEngineCutPreCut", .caption = " Pre-Cut"},
    {.parent = "GBUpShiftEngineCutPreCut", .kind = K::SpinEdit, .name = "SEUpShiftEngineCutPreCutEngineCutAdvance", .helpContext = 162},
    {.parent = "GBUpShiftEngineCutPreCut", .kind = K::Label, .name = "LUpShiftEngineCutPreCutEngineCutAdvance", .caption = "Engine Cut Advance mS", .helpContext = 162},
    {.parent = "GBUpShiftEngineCut", .kind = K::GroupBox, .name = "GBUpShiftEngineCutMainCut", .caption = "Main-Cut"},
    {.parent = "GBUpShiftEngineCutMainCut", .kind = K::SpinEdit, .name = "SEUpShiftEngineCutMainCutEngineCutTimeout", .helpContext = 7},
    {.parent = "GBUpShiftEngineCutMainCut", .kind = K::Label, .name = "LUpShiftEngineCutMainCutEngineCutTimeout", .caption = "Engine Cut Timeout mS", .helpContext = 7},
    {.parent = "GBUpShiftEngineCut", .kind = K::GroupBox, .name = "GBUpShiftEngineCutOverCut", .caption = " Over-Cut "},
    {.parent = "GBUpShiftEngineCutOverCut", .kind = K::SpinEdit, .name = "SEUpShiftEngineCutOverCutEngineCutExtend", .helpContext = 82},
    {.parent = "GBUpShiftEngineCutOverCut", .kind = K::Label, .name = "LUpShiftEngineCutOverCutEngineCutExtend", .caption = "Engine Cut Extend mS", .helpContext = 82},
    {.parent = "TSUpshift", .kind = K::GroupBox, .name = "GBUpShiftHSAStrategy", .caption = " HSA Strategy "},
    {.parent = "GBUpShiftHSAStrategy", .kind = K::GroupBox, .name = "GBUpShiftHSAStrategyActivation", .caption = " Activation "},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBUpShiftHSAStrategyActivation12", .helpContext = 35, .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBUpShiftHSAStrategyActivation23", .helpContext = 36, .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBUpShiftHSAStrategyActivation34", .helpContext = 37, .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBUpShiftHSAStrategyActivation45", .helpContext = 38, .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBUpShiftHSAStrategyActivation56", .helpContext = 39, .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBUpShiftHSAStrategyActivation56"},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBUpShiftHSAStrategyActivation45"},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBUpShiftHSAStrategyActivation34"},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBUpShiftHSAStrategyActivation23"},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBUpShiftHSAStrategyActivation12"},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Label, .name = "LUpShiftHSAStrategyActivation12", .caption = "1->2", .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Label, .name = "LUpShiftHSAStrategyActivation23", .caption = "2->3", .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Label, .name = "LUpShiftHSAStrategyActivation34", .caption = "3->4", .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Label, .name = "LUpShiftHSAStrategyActivation45", .caption = "4->5", .tag = 1},
    {.parent = "GBUpShiftHSAStrategyActivation", .kind = K::Label, .name = "LUpShiftHSAStrategyActivation56", .caption = "5->6", .tag = 1},
    {.parent = "GBUpShiftHSAStrategy", .kind = K::GroupBox, .name = "GBUpShiftHSAStrategyMainSettings", .caption = " Main Settings "},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsTimeoutOvertime", .helpContext = 29},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsActuationPreload", .helpContext = 33},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsT1", .helpContext = 99},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsT2", .helpContext = 100},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsT3", .helpContext = 101},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LUpShiftHSAStrategyMainSettingsTimeoutOverTime", .caption = "Timeout Overtime mS", .helpContext = 29},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LUpShiftHSAStrategyMainSettingsActuationPreload", .caption = "Actuation Pre-Load mS", .helpContext = 33},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LUpShiftHSAStrategyMainSettingsT1", .caption = "T1 Primary Time %", .helpContext = 99},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LUpShiftHSAStrategyMainSettingsT2", .caption = "T2 Pause %", .helpContext = 100},
    {.parent = "GBUpShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LUpShiftHSAStrategyMainSettingsT3", .caption = "T3 Secondary Time %", .helpContext = 101},
    {.parent = "TSUpshift", .kind = K::GroupBox, .name = "GBUpShiftActuation", .caption = " Actuation "},
    {.parent = "GBUpShiftActuation", .kind = K::GroupBox, .name = "GBUpShiftActuationMainLoad", .caption = " Main-Load "},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationMainLoadActuationPower", .helpContext = 11},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationMainLoadActuationTimeout", .helpContext = 5},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEUpShiftEngineCutMainCutExitTravelMillivolts", .helpContext = 80, .increment = 10},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Edit, .name = "EUpShiftEngineCutMainCutExitTravelBarrel", .helpContext = 80, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Label, .name = "LUpShiftActuationMainLoadActuationPower", .caption = "Actuation Power %", .helpContext = 11},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Label, .name = "LUpShiftActuationMainLoadActuationTimeout", .caption = "Actuation Timeout mS", .helpContext = 5},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Label, .name = "LUpShiftActuationMainLoadExitTravel", .caption = "Exit Travel", .helpContext = 80},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Label, .name = "LUpShiftActuationMainLoadMillivolts", .caption = "Millivolts", .helpContext = 80},
    {.parent = "GBUpShiftActuationMainLoad", .kind = K::Label, .name = "LUpShiftActuationMainLoadBarrel", .caption = "Barrel °", .helpContext = 80},
    {.parent = "GBUpShiftActuation", .kind = K::GroupBox, .name = "GBUpShiftActuationPreLoad", .caption = " Pre-Load "},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationPreLoadActuationPower", .helpContext = 53},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationPreLoadActuationTime", .helpContext = 25},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationPreLoadExitTravelMillivolts", .helpContext = 44, .increment = 10},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Edit, .name = "EUpShiftActuationPreLoadExitTravelBarrel", .helpContext = 44, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Label, .name = "LUpShiftActuationPreLoadActuationPower", .caption = "Actuation Power %", .helpContext = 154},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Label, .name = "LUpShiftActuationPreLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 25},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Label, .name = "LUpShiftActuationPreLoadMillivolts", .caption = "Millivolts", .helpContext = 44},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Label, .name = "LUpShiftActuationPreLoadBarrel", .caption = "Barrel °", .helpContext = 44},
    {.parent = "GBUpShiftActuationPreLoad", .kind = K::Label, .name = "LUpShiftActuationPreLoadExitTravel", .caption = "Exit Travel", .helpContext = 44},
    {.parent = "GBUpShiftActuation", .kind = K::GroupBox, .name = "GBUpShiftActuationPostLoad", .caption = " Post-Load "},
    {.parent = "GBUpShiftActuationPostLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationPostLoadActuationPower", .helpContext = 153},
    {.parent = "GBUpShiftActuationPostLoad", .kind = K::SpinEdit, .name = "SEUpShiftActuationPostLoadActuationTime", .helpContext = 105},
    {.parent = "GBUpShiftActuationPostLoad", .kind = K::Label, .name = "LUpShiftActuationPostLoadActuationPower", .caption = "Actuation Power %", .helpContext = 153},
    {.parent = "GBUpShiftActuationPostLoad", .kind = K::Label, .name = "LUpShiftActuationPostLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 105},
    {.parent = "GBUpShiftActuation", .kind = K::GroupBox, .name = "GBUpShiftActuationActiveLeverReturn", .caption = " Active Lever Return "},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::SpinEdit, .name = "SEUpShiftActuationActiveLeverReturnActuationDelay", .helpContext = 64},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::SpinEdit, .name = "SEUpShiftActuationActiveLeverReturnActuationTime", .helpContext = 65},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::CheckBox, .name = "CBFunctionStrategiesActiveLeverUP", .caption = "Active Lever UP", .helpContext = 63},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::Shape, .name = "SCBFunctionStrategiesActiveLeverUP"},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::Label, .name = "LUpShiftActuationActiveLeverReturnActuationDelay", .caption = "Actuation Delay mS", .helpContext = 64},
    {.parent = "GBUpShiftActuationActiveLeverReturn", .kind = K::Label, .name = "LUpShiftActuationActiveLeverReturnActuationTime", .caption = "Actuation Time mS", .helpContext = 65},
    {.parent = "TSUpshift", .kind = K::GroupBox, .name = "GBUpShiftRetryStrategy", .caption = " Retry Strategy "},
    {.parent = "GBUpShiftRetryStrategy", .kind = K::GroupBox, .name = "GBUpShiftRetryStrategyMainSettings", .caption = " Main Settings "},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsRetryTravelMillivolts", .helpContext = 115, .increment = 10},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsActuationTime", .helpContext = 118},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsActuationPause", .helpContext = 119},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEUpShiftHSAStrategyMainSettingsTotalActuations", .helpContext = 120},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Edit, .name = "EUpShiftHSAStrategyMainSettingsRetryTravelBarrel", .helpContext = 115, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::CheckBox, .name = "CBFunctionStrategiesStrategyUP", .caption = "Strategy UP", .helpContext = 117},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Shape, .name = "SCBFunctionStrategiesStrategyUP"},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsRetryTravel", .caption = "Retry Travel", .helpContext = 115},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsMillivolts", .caption = "Millivolts", .helpContext = 115},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsBarrel", .caption = "Barrel °", .helpContext = 115},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsActuationTime", .caption = "Actuation Time mS", .helpContext = 118},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsActuationPause", .caption = "Actuation Pause mS", .helpContext = 119},
    {.parent = "GBUpShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LUpShiftRetryStrategyMainSettingsTotalActuation", .caption = "Total Actuations", .helpContext = 120},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSDownShift", .caption = "Down Shift"},
    {.parent = "TSDownShift", .kind = K::GroupBox, .name = "GBDownShiftActuation", .caption = " Actuation "},
    {.parent = "GBDownShiftActuation", .kind = K::GroupBox, .name = "GBDownShiftActuationMainLoad", .caption = " Main-Load "},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationMainLoadActuationPower", .helpContext = 8},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationMainLoadActuationTimeout", .helpContext = 3},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationMainLoadExitTravelMillivolts", .helpContext = 81, .increment = 10},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Edit, .name = "EDownShiftActuationMainLoadExitTravelBarrel", .helpContext = 81, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Label, .name = "LDownShiftActuationMainLoadActuationPower", .caption = "Actuation Power %", .helpContext = 154},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Label, .name = "LDownShiftActuationMainLoadActuationTimeout", .caption = "Actuation Timeout mS", .helpContext = 3},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Label, .name = "LDownShiftActuationMainLoadExitTravel", .caption = "Exit Travel", .helpContext = 81},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Label, .name = "LDownShiftActuationMainLoadMillivolts", .caption = "Millivolts", .helpContext = 81},
    {.parent = "GBDownShiftActuationMainLoad", .kind = K::Label, .name = "LDownShiftActuationMainLoadBarrel", .caption = "Barrel °", .helpContext = 81},
    {.parent = "GBDownShiftActuation", .kind = K::GroupBox, .name = "GBDownShiftActuationPreLoad", .caption = " Pre-Load "},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationPreLoadActuationPower", .helpContext = 111},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationPreLoadActuationTime", .helpContext = 72},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationPreLoadExitTravelMillivolts", .helpContext = 113, .increment = 10},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Edit, .name = "EDownShiftActuationPreLoadExitTravelBarrel", .helpContext = 113, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Label, .name = "LDownShiftActuationPreLoadActuationPower", .caption = "Actuation Power %", .helpContext = 111},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Label, .name = "LDownShiftActuationPreLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 72},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Label, .name = "LDownShiftActuationPreLoadMillivolts", .caption = "Millivolts", .helpContext = 113},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Label, .name = "LDownShiftActuationPreLoadBarrel", .caption = "Barrel °", .helpContext = 113},
    {.parent = "GBDownShiftActuationPreLoad", .kind = K::Label, .name = "LDownShiftActuationPreLoadExitTravel", .caption = "Exit Travel", .helpContext = 113},
    {.parent = "GBDownShiftActuation", .kind = K::GroupBox, .name = "GBDownShiftActuationPostLoad", .caption = " Post-Load "},
    {.parent = "GBDownShiftActuationPostLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationPostLoadActuationPower", .helpContext = 153},
    {.parent = "GBDownShiftActuationPostLoad", .kind = K::SpinEdit, .name = "SEDownShiftActuationPostLoadActuationTime", .helpContext = 78},
    {.parent = "GBDownShiftActuationPostLoad", .kind = K::Label, .name = "LDownShiftActuationPostLoadActuationPower", .caption = "Actuation Power %", .helpContext = 153},
    {.parent = "GBDownShiftActuationPostLoad", .kind = K::Label, .name = "LDownShiftActuationPostLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 78},
    {.parent = "GBDownShiftActuation", .kind = K::GroupBox, .name = "GBDownShiftActuationActiveLeverReturn", .caption = " Active Lever Return "},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::SpinEdit, .name = "SEDownShiftActuationActiveLeverReturnActuationDelay", .helpContext = 67},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::SpinEdit, .name = "SEDownShiftActuationActiveLeverReturnActuationTime", .helpContext = 68},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::CheckBox, .name = "CBFunctionStrategiesActiveLeverDOWN", .caption = "Active Lever DOWN", .helpContext = 66},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::Shape, .name = "SCBFunctionStrategiesActiveLeverDOWN"},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::Label, .name = "LDownShiftActuationActiveLeverReturnActuationDelay", .caption = "Actuation Delay mS", .helpContext = 67},
    {.parent = "GBDownShiftActuationActiveLeverReturn", .kind = K::Label, .name = "LDownShiftActuationActiveLeverReturnActuationTime", .caption = "Actuation Time mS", .helpContext = 68},
    {.parent = "TSDownShift", .kind = K::GroupBox, .name = "GBDownShiftEngineCut", .caption = " Engine Cut "},
    {.parent = "GBDownShiftEngineCut", .kind = K::GroupBox, .name = "GBDownShiftEngineCutPreCut", .caption = " Pre-Cut"},
    {.parent = "GBDownShiftEngineCutPreCut", .kind = K::SpinEdit, .name = "SEDownShiftEngineCutPreCutEngineCutAdvance", .helpContext = 70},
    {.parent = "GBDownShiftEngineCutPreCut", .kind = K::Label, .name = "LDownShiftEngineCutPreCutBlipKill", .caption = "Blip Kill mS", .helpContext = 70},
    {.parent = "GBDownShiftEngineCut", .kind = K::GroupBox, .name = "GBDownShiftEngineCutExtraCut", .caption = " Extra-Cut "},
    {.parent = "GBDownShiftEngineCutExtraCut", .kind = K::SpinEdit, .name = "SEDownShiftEngineCutExtraCutAntiPush", .helpContext = 54},
    {.parent = "GBDownShiftEngineCutExtraCut", .kind = K::CheckBox, .name = "CBDownShiftEngineCutExtraCutKillPostBlip", .caption = "Cut Post Blip", .helpContext = 71},
    {.parent = "GBDownShiftEngineCutExtraCut", .kind = K::Shape, .name = "SCBDownShiftEngineCutExtraCutKillPostBlip"},
    {.parent = "GBDownShiftEngineCutExtraCut", .kind = K::Label, .name = "LDownShiftEngineCutExtraCutAntiPush", .caption = "Anti-Push Engine Cut mS", .helpContext = 54},
    {.parent = "TSDownShift", .kind = K::GroupBox, .name = "GBDownShiftHSAStrategy", .caption = " HSA Strategy "},
    {.parent = "GBDownShiftHSAStrategy", .kind = K::GroupBox, .name = "GBDownShiftHSAStrategyActivation", .caption = " Activation "},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBDownShiftHSAStrategyActivation12", .helpContext = 47, .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBDownShiftHSAStrategyActivation23", .helpContext = 48, .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBDownShiftHSAStrategyActivation34", .helpContext = 49, .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBDownShiftHSAStrategyActivation45", .helpContext = 50, .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::CheckBox, .name = "CBDownShiftHSAStrategyActivation56", .helpContext = 51, .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBDownShiftHSAStrategyActivation56"},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBDownShiftHSAStrategyActivation45"},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBDownShiftHSAStrategyActivation34"},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBDownShiftHSAStrategyActivation23"},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Shape, .name = "SCBDownShiftHSAStrategyActivation12"},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Label, .name = "LDownShiftHSAStrategyActivation12", .caption = "1<-2", .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Label, .name = "LDownShiftHSAStrategyActivation23", .caption = "2<-3", .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Label, .name = "LDownShiftHSAStrategyActivation34", .caption = "3<-4", .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Label, .name = "LDownShiftHSAStrategyActivation45", .caption = "4<-5", .tag = 1},
    {.parent = "GBDownShiftHSAStrategyActivation", .kind = K::Label, .name = "LDownShiftHSAStrategyActivation56", .caption = "5<-6", .tag = 1},
    {.parent = "GBDownShiftHSAStrategy", .kind = K::GroupBox, .name = "GBDownShiftHSAStrategyMainSettings", .caption = " Main Settings "},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsTimeoutOvertime", .helpContext = 30},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsT1", .helpContext = 102},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsT2", .helpContext = 103},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsT3", .helpContext = 104},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LDownShiftHSAStrategyMainSettingsTimeoutOvertime", .caption = "Timeout Overtime mS", .helpContext = 30},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LDownShiftHSAStrategyMainSettingsT1", .caption = "T1 Primary Time %", .helpContext = 102},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LDownShiftHSAStrategyMainSettingsT2", .caption = "T2 Pause %", .helpContext = 103},
    {.parent = "GBDownShiftHSAStrategyMainSettings", .kind = K::Label, .name = "LDownShiftHSAStrategyMainSettingsT3", .caption = "T3 Secondary Time %", .helpContext = 104},
    {.parent = "TSDownShift", .kind = K::GroupBox, .name = "GBDownShiftBlipper", .caption = " Blipper "},
    {.parent = "GBDownShiftBlipper", .kind = K::GroupBox, .name = "GBDownShiftBlipperPreBlip", .caption = " Pre-Blip"},
    {.parent = "GBDownShiftBlipperPreBlip", .kind = K::SpinEdit, .name = "SEDownShiftBlipperPreBlipBlipAdvance", .helpContext = 55},
    {.parent = "GBDownShiftBlipperPreBlip", .kind = K::Label, .name = "LDownShiftBlipperPreBlipBlipAdvance", .caption = "Blip Advance mS", .helpContext = 55},
    {.parent = "GBDownShiftBlipper", .kind = K::GroupBox, .name = "GBDownShiftBlipperActuation", .caption = " Actuation "},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::SpinEdit, .name = "SEDownShiftBlipperMainCutBlipTimeout", .helpContext = 4},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::SpinEdit, .name = "SEDownShiftBlipperMainCutExitTravelMillivolts", .helpContext = 69, .increment = 10},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::Edit, .name = "EDownShiftBlipperMainCutExitTravelBarrel", .helpContext = 69, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::Label, .name = "LDownShiftBlipperActuationBlipTimeout", .caption = "Blip Timeout mS", .helpContext = 4},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::Label, .name = "LDownShiftBlipperActuationMillivolts", .caption = "Millivolts", .helpContext = 69},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::Label, .name = "LDownShiftBlipperActuationBarrel", .caption = "Barrel °", .helpContext = 69},
    {.parent = "GBDownShiftBlipperActuation", .kind = K::Label, .name = "LDownShiftBlipperActuationExitTravel", .caption = "Exit Travel", .helpContext = 69},
    {.parent = "TSDownShift", .kind = K::GroupBox, .name = "GBDownShiftRetryStrategy", .caption = " Retry Strategy "},
    {.parent = "GBDownShiftRetryStrategy", .kind = K::GroupBox, .name = "GBDownShiftRetryStrategyMainSettings", .caption = " Main Settings "},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsRetryTravelMillivolts", .helpContext = 115, .increment = 10},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsActuationTime", .helpContext = 121},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsActuationPause", .helpContext = 122},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::SpinEdit, .name = "SEDownShiftHSAStrategyMainSettingsTotalActuations", .helpContext = 123},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Edit, .name = "EDownShiftHSAStrategyMainSettingsRetryTravelBarrel", .helpContext = 115, .tag = 10, .flags = F::ReadOnly},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::CheckBox, .name = "CBFunctionStrategiesStrategyDOWN", .caption = "Strategy DOWN", .helpContext = 116},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Shape, .name = "SCBFunctionStrategiesStrategyDOWN"},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsRetryTravel", .caption = "Retry Travel", .helpContext = 115},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsMillivolts", .caption = "Millivolts", .helpContext = 115},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsBarrel", .caption = "Barrel °", .helpContext = 115},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsActuationTime", .caption = "Actuation Time mS", .helpContext = 121},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsActuationPause", .caption = "Actuation Pause mS"},
    {.parent = "GBDownShiftRetryStrategyMainSettings", .kind = K::Label, .name = "LDownShiftRetryStrategyMainSettingsTotalActuations", .caption = "Total Actuations", .helpContext = 123},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSRecovery", .caption = "Recovery && Special  "},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBRecoveryUpShift", .caption = " Up Shift Recovery "},
    {.parent = "GBRecoveryUpShift", .kind = K::GroupBox, .name = "GBRecoveryUpShiftActuation", .caption = " Actuation "},
    {.parent = "GBRecoveryUpShiftActuation", .kind = K::SpinEdit, .name = "SERecoveryUpShiftActuationActuationTime", .helpContext = 43},
    {.parent = "GBRecoveryUpShiftActuation", .kind = K::Label, .name = "LRecoveryUpShiftActuationActuationTime", .caption = "Actuation Time mS", .helpContext = 43},
    {.parent = "GBRecoveryUpShift", .kind = K::GroupBox, .name = "GBRecoveryUpShiftEngineCut", .caption = "  Engine Cut "},
    {.parent = "GBRecoveryUpShiftEngineCut", .kind = K::SpinEdit, .name = "SERecoveryUpShiftEngineCutEngineCutTime", .helpContext = 32},
    {.parent = "GBRecoveryUpShiftEngineCut", .kind = K::Label, .name = "LRecoveryUpShiftEngineCutTime", .caption = "Engine Cut Time mS", .helpContext = 32},
    {.parent = "GBRecoveryUpShift", .kind = K::GroupBox, .name = "GBRecoveryUpShiftHSAStrategy", .caption = " HSA Strategy "},
    {.parent = "GBRecoveryUpShiftHSAStrategy", .kind = K::SpinEdit, .name = "SERecoveryUpShiftHSAStrategyOverTime", .helpContext = 73},
    {.parent = "GBRecoveryUpShiftHSAStrategy", .kind = K::CheckBox, .name = "CBRecoveryUpShiftHSAStrategyActive", .caption = "Active", .helpContext = 40},
    {.parent = "GBRecoveryUpShiftHSAStrategy", .kind = K::Shape, .name = "SCBRecoveryUpShiftHSAStrategyActive"},
    {.parent = "GBRecoveryUpShiftHSAStrategy", .kind = K::Label, .name = "LRecoveryUpShiftHSAStrategyOverTime", .caption = "Over Time mS", .helpContext = 73},
    {.parent = "GBRecoveryUpShift", .kind = K::GroupBox, .name = "GBRecoveryUpShiftPreLoad", .caption = " Pre-Load "},
    {.parent = "GBRecoveryUpShiftPreLoad", .kind = K::SpinEdit, .name = "SERecoveryUpShiftPreLoadActuationTime", .helpContext = 61},
    {.parent = "GBRecoveryUpShiftPreLoad", .kind = K::Label, .name = "LRecoveryUpShiftPreLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 61},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBRecoveryDownShift", .caption = " Down Shift Recovery "},
    {.parent = "GBRecoveryDownShift", .kind = K::GroupBox, .name = "GBRecoveryDownShiftActuation", .caption = " Actuation "},
    {.parent = "GBRecoveryDownShiftActuation", .kind = K::SpinEdit, .name = "SERecoveryDownShiftActuationActuationTime", .helpContext = 42},
    {.parent = "GBRecoveryDownShiftActuation", .kind = K::Label, .name = "LRecoveryDownShiftActuationActuationTime", .caption = "Actuation Time mS", .helpContext = 42},
    {.parent = "GBRecoveryDownShift", .kind = K::GroupBox, .name = "GBRecoveryDownShiftHSAStrategy", .caption = " HSA Strategy "},
    {.parent = "GBRecoveryDownShiftHSAStrategy", .kind = K::SpinEdit, .name = "SERecoveryDownShiftHSAStrategyOverTime", .helpContext = 74},
    {.parent = "GBRecoveryDownShiftHSAStrategy", .kind = K::CheckBox, .name = "CBRecoveryDownShiftHSAStrategyActive", .caption = "Active", .helpContext = 52},
    {.parent = "GBRecoveryDownShiftHSAStrategy", .kind = K::Shape, .name = "SCBRecoveryDownShiftHSAStrategyActive"},
    {.parent = "GBRecoveryDownShiftHSAStrategy", .kind = K::Label, .name = "LRecoveryDownShiftHSAStrategyOverTime", .caption = "Over Time mS", .helpContext = 74},
    {.parent = "GBRecoveryDownShift", .kind = K::GroupBox, .name = "GBRecoveryDownShiftEngineCut", .caption = " Engine Cut "},
    {.parent = "GBRecoveryDownShiftEngineCut", .kind = K::SpinEdit, .name = "SERecoveryDownShiftEngineCutBlipKillTime", .helpContext = 45},
    {.parent = "GBRecoveryDownShiftEngineCut", .kind = K::SpinEdit, .name = "SERecoveryDownShiftEngineCutAntiPushTime", .helpContext = 75},
    {.parent = "GBRecoveryDownShiftEngineCut", .kind = K::Label, .name = "LRecoveryDownShiftEngineCutBlipKill", .caption = "Blip Kill Time mS", .helpContext = 45},
    {.parent = "GBRecoveryDownShiftEngineCut", .kind = K::Label, .name = "LRecoveryDownShiftEngineCutAntiPush", .caption = "Anti-Push Time mS", .helpContext = 75},
    {.parent = "GBRecoveryDownShift", .kind = K::GroupBox, .name = "GBRecoveryDownShiftBlipper", .caption = " Blipper "},
    {.parent = "GBRecoveryDownShiftBlipper", .kind = K::SpinEdit, .name = "SERecoveryDownShiftBlipperBlipTime", .helpContext = 31},
    {.parent = "GBRecoveryDownShiftBlipper", .kind = K::Label, .name = "LRecoveryDownShiftBlipperBlipTime", .caption = "Blip Time mS", .helpContext = 31},
    {.parent = "GBRecoveryDownShift", .kind = K::GroupBox, .name = "GBRecoveryDownShiftPreLoad", .caption = " Pre-Load "},
    {.parent = "GBRecoveryDownShiftPreLoad", .kind = K::SpinEdit, .name = "SERecoveryDownShiftPreLoadActuationTime", .helpContext = 23},
    {.parent = "GBRecoveryDownShiftPreLoad", .kind = K::Label, .name = "LRecoveryDownShiftPreLoadActuationTime", .caption = "Actuation Time mS", .helpContext = 23},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBRecoveryNeutralReverse", .caption = " Neutral && Reverse "},
    {.parent = "GBRecoveryNeutralReverse", .kind = K::GroupBox, .name = "GBRecoveryNeutralReverseActuation", .caption = " Actuation "},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::SpinEdit, .name = "SERecoveryNeutralReverseActuationActuationPulse", .helpContext = 6},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::SpinEdit, .name = "SERecoveryNeutralReverseActuationActuationPause", .helpContext = 10},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::SpinEdit, .name = "SERecoveryNeutralReverseActuationToNeutralPower", .helpContext = 24},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::SpinEdit, .name = "SERecoveryNeutralReverseActuationFromNeutralPower", .helpContext = 28},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::Label, .name = "LRecoveryNeutralReverseActuationActuationPulse", .caption = "Actuation Pulse mS", .helpContext = 6},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::Label, .name = "LRecoveryNeutralReverseActuationActuationPause", .caption = "Actuation Pause mS", .helpContext = 10},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::Label, .name = "LRecoveryNeutralReverseActuationToNeutralPower", .caption = "To Neutral Power %", .helpContext = 24},
    {.parent = "GBRecoveryNeutralReverseActuation", .kind = K::Label, .name = "LRecoveryNeutralReverseActuationFromNeutralPower", .caption = "From Neutral Power %", .helpContext = 28},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBRecoveryOutputTest", .caption = " Output Test "},
    {.parent = "GBRecoveryOutputTest", .kind = K::GroupBox, .name = "GBRecoveryOutputTestUpShift", .caption = "Up Shift "},
    {.parent = "GBRecoveryOutputTestUpShift", .kind = K::SpinEdit, .name = "SERecoveryOutputTestUpShiftActuationPower", .flags = F::Disabled, .color = clSilver},
    {.parent = "GBRecoveryOutputTestUpShift", .kind = K::SpinEdit, .name = "SERecoveryOutputTestUpShiftActuationTime"},
    {.parent = "GBRecoveryOutputTestUpShift", .kind = K::Button, .name = "BRecoveryOutputTestUpShiftTest", .caption = "Test"},
    {.parent = "GBRecoveryOutputTestUpShift", .kind = K::Label, .name = "LRecoveryOutputTestUpShiftActuationPower", .caption = "Actuation Power %", .flags = F::Disabled},
    {.parent = "GBRecoveryOutputTestUpShift", .kind = K::Label, .name = "LRecoveryOutputTestUpShiftActuationTime", .caption = "Actuation Time mS"},
    {.parent = "GBRecoveryOutputTest", .kind = K::GroupBox, .name = "GBRecoveryOutputTestDownShift", .caption = "Down Shift"},
    {.parent = "GBRecoveryOutputTestDownShift", .kind = K::SpinEdit, .name = "SERecoveryOutputTestDownShiftActuationPower", .flags = F::Disabled, .color = clSilver},
    {.parent = "GBRecoveryOutputTestDownShift", .kind = K::SpinEdit, .name = "SERecoveryOutputTestDownShiftActuationTime"},
    {.parent = "GBRecoveryOutputTestDownShift", .kind = K::Button, .name = "BRecoveryOutputTestDownShiftTest", .caption = "Test"},
    {.parent = "GBRecoveryOutputTestDownShift", .kind = K::Label, .name = "LRecoveryOutputTestDownShiftActuationPower", .caption = "Actuation Power %", .flags = F::Disabled},
    {.parent = "GBRecoveryOutputTestDownShift", .kind = K::Label, .name = "LRecoveryOutputTestDownShiftActuationTime", .caption = "Actuation Time mS"},
    {.parent = "GBRecoveryOutputTest", .kind = K::GroupBox, .name = "GBRecoveryOutputTestBlipper", .caption = " Blipper "},
    {.parent = "GBRecoveryOutputTestBlipper", .kind = K::SpinEdit, .name = "SERecoveryOutputTestBlipperActuationTime"},
    {.parent = "GBRecoveryOutputTestBlipper", .kind = K::Button, .name = "BRecoveryOutputTestBlipperTest", .caption = "Test"},
    {.parent = "GBRecoveryOutputTestBlipper", .kind = K::Label, .name = "LRecoveryOutputTestBlipperActuationTime", .caption = "Actuation Time mS"},
    {.parent = "GBRecoveryOutputTest", .kind = K::GroupBox, .name = "GBRecoveryOutputTestEngineCut", .caption = " Engine Cut "},
    {.parent = "GBRecoveryOutputTestEngineCut", .kind = K::SpinEdit, .name = "SERecoveryOutputTestEngineCutEngineCutTime"},
    {.parent = "GBRecoveryOutputTestEngineCut", .kind = K::Button, .name = "BRecoveryOutputTestEngineCutTest", .caption = "Test"},
    {.parent = "GBRecoveryOutputTestEngineCut", .kind = K::Label, .name = "LRecoveryOutputTestEngineCutTime", .caption = "Engine Cut Time mS"},
    {.parent = "GBRecoveryOutputTest", .kind = K::GroupBox, .name = "GBRecoveryOutputTestLed", .caption = " Led "},
    {.parent = "GBRecoveryOutputTestLed", .kind = K::SpinEdit, .name = "SERecoveryOutputTestLedLedTestTime"},
    {.parent = "GBRecoveryOutputTestLed", .kind = K::Button, .name = "BRecoveryOutputTestLedTest", .caption = "Test"},
    {.parent = "GBRecoveryOutputTestLed", .kind = K::Label, .name = "LRecoveryOutputTestLedTime", .caption = "Led Test Time mS"},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBRecoveryFirmwareUpdate", .caption = " Firmware Update "},
    {.parent = "GBRecoveryFirmwareUpdate", .kind = K::Button, .name = "BRecoveryFirmwareUpdate", .caption = "Firmware Update"},
    {.parent = "TSRecovery", .kind = K::GroupBox, .name = "GBKartAxlePosition", .caption = " Axle Positions Kart "},
    {.parent = "GBKartAxlePosition", .kind = K::Edit, .name = "EKartAxlePositionLowMillivolts", .helpContext = 158, .flags = F::ReadOnly},
    {.parent = "GBKartAxlePosition", .kind = K::Edit, .name = "EKartAxlePositionZeroMillivolts", .helpContext = 159, .flags = F::ReadOnly},
    {.parent = "GBKartAxlePosition", .kind = K::Edit, .name = "EKartAxlePositionHighMillivolts", .helpContext = 160, .flags = F::ReadOnly},
    {.parent = "GBKartAxlePosition", .kind = K::Button, .name = "BKartAxlePositionLowSet", .caption = "Set", .helpContext = 158},
    {.parent = "GBKartAxlePosition", .kind = K::Button, .name = "BKartAxlePositionZeroSet", .caption = "Set", .helpContext = 159},
    {.parent = "GBKartAxlePosition", .kind = K::Button, .name = "BKartAxlePositionHighSet", .caption = "Set", .helpContext = 160},
    {.parent = "GBKartAxlePosition", .kind = K::Label, .name = "LKartAxlePositionLow", .caption = "Low", .helpContext = 158},
    {.parent = "GBKartAxlePosition", .kind = K::Label, .name = "LKartAxlePositionMillivolts", .caption = "Millivolts", .helpContext = 158},
    {.parent = "GBKartAxlePosition", .kind = K::Label, .name = "LKartAxlePositionZero", .caption = "Zero", .helpContext = 159},
    {.parent = "GBKartAxlePosition", .kind = K::Label, .name = "LKartAxlePositionHigh", .caption = "High", .helpContext = 160},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSCommands", .caption = "Commands", .flags = F::TabHidden},
    {.parent = "TSCommands", .kind = K::Panel, .name = "Panel9"},
    {.parent = "Panel9", .kind = K::Button, .name = "BLoadCommands", .caption = "Load"},
    {.parent = "Panel9", .kind = K::Button, .name = "BSaveCommands", .caption = "Save"},
    {.parent = "Panel9", .kind = K::Button, .name = "BRefreshCommands", .caption = "Refresh"},
    {.parent = "TSCommands", .kind = K::Panel, .name = "Panel10"},
    {.parent = "Panel10", .kind = K::StringGrid, .name = "SGCommands", .grid = {.cols = 15, .rows = 201, .fixedCols = 1, .fixedRows = 1, .defaultColWidth = 30, .editable = true}},
    {.parent = "TSCommands", .kind = K::Panel, .name = "Panel11"},
    {.parent = "Panel11", .kind = K::Panel, .name = "Panel13"},
    {.parent = "Panel13", .kind = K::Edit, .name = "EditCMD"},
    {.parent = "Panel13", .kind = K::Button, .name = "BSend", .caption = "Send"},
    {.parent = "Panel11", .kind = K::Panel, .name = "Panel14"},
    {.parent = "Panel14", .kind = K::Memo, .name = "MemoLive"},
    {.parent = "Panel11", .kind = K::Panel, .name = "Panel15"},
    {.parent = "Panel15", .kind = K::Memo, .name = "Memo"},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSFirmwareUpdate", .caption = "Firmware Update", .flags = F::TabHidden},
    {.parent = "TSFirmwareUpdate", .kind = K::Label, .name = "LFirmwareUpdate1", .caption = "Firmware updating..."},
    {.parent = "TSFirmwareUpdate", .kind = K::Label, .name = "LFirmwareUpdate2", .caption = "Do not remove power"},
    {.parent = "TSFirmwareUpdate", .kind = K::Label, .name = "LFirmwareUpdate3", .caption = "wait for the process to finish"},
    {.parent = "TSFirmwareUpdate", .kind = K::Memo, .name = "MemoFirmwareUpdate"},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSTranslation", .caption = "Translation", .flags = F::TabHidden},
    {.parent = "TSTranslation", .kind = K::Panel, .name = "PTranslationsGrid"},
    {.parent = "PTranslationsGrid", .kind = K::StringGrid, .name = "SGTranslation", .grid = {.cols = 7, .rows = 1001, .fixedCols = 2, .fixedRows = 1, .editable = true}},
    {.parent = "TSTranslation", .kind = K::Panel, .name = "PTranslationsTop"},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BLoadTranslation", .caption = "Load"},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BSaveTranslation", .caption = "Save"},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BCreateTranslation", .caption = "Create"},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BTranslateEnglish", .caption = "English", .tag = 1},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BTranslateItalian", .caption = "Italiano", .tag = 2},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BTranslateFrench", .caption = "Francais", .tag = 3},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BTranslateSpanish", .caption = "Espanol", .tag = 4},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BTranslateGerman", .caption = "Deutsch", .tag = 5},
    {.parent = "PTranslationsTop", .kind = K::Button, .name = "BEmptyTranslation", .caption = "Empty"},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSLivePlots", .caption = "Live Plots"},
    {.parent = "TSLivePlots", .kind = K::Panel, .name = "PLivePlotsCharts"},
    {.parent = "TSLivePlots", .kind = K::Panel, .name = "PLivePlotsSide"},
    {.parent = "PLivePlotsSide", .kind = K::GroupBox, .name = "GBLivePlotsRecording", .caption = " Recording "},
    {.parent = "GBLivePlotsRecording", .kind = K::Button, .name = "BLivePlotsRecord", .caption = "Record", .flags = F::Disabled},
    {.parent = "GBLivePlotsRecording", .kind = K::Button, .name = "BLivePlotsStopRecording", .caption = "Stop Recording", .flags = F::Disabled},
    {.parent = "GBLivePlotsRecording", .kind = K::Button, .name = "BLivePlotsOpen", .caption = "Open Recording"},
    {.parent = "GBLivePlotsRecording", .kind = K::Button, .name = "BLivePlotsShowLive", .caption = "Show Live", .flags = F::Disabled},
    {.parent = "GBLivePlotsRecording", .kind = K::Label, .name = "LLivePlotsRecording", .tag = 1},
    {.parent = "PLivePlotsSide", .kind = K::GroupBox, .name = "GBLivePlotsView", .caption = " View "},
    {.parent = "GBLivePlotsView", .kind = K::RadioGroup, .name = "RGLivePlotsSpan", .caption = " Time Span ", .items = "10 s|30 s|120 s", .columns = 3},
    {.parent = "GBLivePlotsView", .kind = K::CheckBox, .name = "CBLivePlotsPause", .caption = "Pause"},
    {.parent = "GBLivePlotsView", .kind = K::Button, .name = "BLivePlotsBack", .caption = "<<", .tag = 1},
    {.parent = "GBLivePlotsView", .kind = K::Button, .name = "BLivePlotsForward", .caption = ">>", .tag = 1},
    {.parent = "GBLivePlotsView", .kind = K::Button, .name = "BLivePlotsResetZoom", .caption = "Reset Zoom"},
    {.parent = "PLivePlotsSide", .kind = K::GroupBox, .name = "GBLivePlotsSeries", .caption = " Series "},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsBarrel", .caption = "Barrel"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsGear", .caption = "Gear"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsRPM", .caption = "RPM"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsTPS", .caption = "TPS"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsPaddleUp", .caption = "Paddle UP"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsPaddleDown", .caption = "Paddle DOWN"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsNeutral", .caption = "Neutral Interlock"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsClutch", .caption = "Clutch"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsBrake", .caption = "Brake"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsBattery", .caption = "Battery"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsGCUTemp", .caption = "GCU Temp"},
    {.parent = "GBLivePlotsSeries", .kind = K::CheckBox, .name = "CBLivePlotsActuatorTemp", .caption = "ACT Temp"},
    {.parent = "PLivePlotsSide", .kind = K::Label, .name = "LLivePlotsShifts", .caption = "Shift Times"},
    {.parent = "PLivePlotsSide", .kind = K::StringGrid, .name = "SGLivePlotsShifts", .grid = {.cols = 5, .rows = 2, .fixedRows = 1, .defaultColWidth = 48, .rowSelect = true}},
    {.parent = "TSLivePlots", .kind = K::Label, .name = "LLivePlotsResolution", .tag = 1},
    {.parent = "PCMain", .kind = K::TabSheet, .name = "TSRestorePoints", .caption = "Restore Points"},
    {.parent = "TSRestorePoints", .kind = K::GroupBox, .name = "GBRestorePointsHistory", .caption = " History "},
    {.parent = "GBRestorePointsHistory", .kind = K::Label, .name = "LRestorePointsUnit", .caption = "Unit:"},
    {.parent = "GBRestorePointsHistory", .kind = K::ComboBox, .name = "CBRestorePointsUnit"},
    {.parent = "GBRestorePointsHistory", .kind = K::Label, .name = "LRestorePointsFolder", .tag = 1},
    {.parent = "GBRestorePointsHistory", .kind = K::Button, .name = "BRestorePointsRefresh", .caption = "Refresh"},
    {.parent = "GBRestorePointsHistory", .kind = K::StringGrid, .name = "SGRestorePointsHistory", .grid = {.cols = 6, .rows = 2, .fixedRows = 1, .defaultColWidth = 64, .rowSelect = true}},
    {.parent = "TSRestorePoints", .kind = K::GroupBox, .name = "GBRestorePointsCompare", .caption = " Compare "},
    {.parent = "GBRestorePointsCompare", .kind = K::Label, .name = "LRestorePointsComparedWith", .tag = 1},
    {.parent = "GBRestorePointsCompare", .kind = K::Button, .name = "BRestorePointsCompareFile", .caption = "Compare File..."},
    {.parent = "GBRestorePointsCompare", .kind = K::Label, .name = "LRestorePointsCounts", .tag = 1},
    {.parent = "GBRestorePointsCompare", .kind = K::CheckBox, .name = "CBRestorePointsDifferencesOnly", .caption = "Differences only"},
    {.parent = "GBRestorePointsCompare", .kind = K::StringGrid, .name = "SGRestorePointsCompare", .grid = {.cols = 6, .rows = 2, .fixedRows = 1, .defaultColWidth = 64, .rowSelect = true}},
    {.parent = "GBRestorePointsCompare", .kind = K::Button, .name = "BRestorePointsTake", .caption = "Take", .flags = F::Disabled},
    {.parent = "GBRestorePointsCompare", .kind = K::Button, .name = "BRestorePointsRestore", .caption = "Restore This Point", .flags = F::Disabled},
    {.parent = "GBRestorePointsCompare", .kind = K::Button, .name = "BRestorePointsExport", .caption = "Export CSV", .flags = F::Disabled},
    {.parent = "PExpand", .kind = K::Panel, .name = "PRight"},
    {.parent = "PRight", .kind = K::PageControl, .name = "PCRight"},
    {.parent = "PCRight", .kind = K::Label, .name = "LWorkingCopyOrigin", .tag = 1},
    {.parent = "PCRight", .kind = K::Label, .name = "LEditNotice", .tag = 1, .flags = F::Hidden},
    {.parent = "PCRight", .kind = K::TabSheet, .name = "TSSequence", .caption = "Sequence"},
    {.parent = "TSSequence", .kind = K::Panel, .name = "PSequenceProgressBar"},
    {.parent = "PSequenceProgressBar", .kind = K::ProgressBar, .name = "PBOperations"},
    {.parent = "TSSequence", .kind = K::Panel, .name = "PSequenceButtons"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceTransmit", .caption = "Transmit"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceDiscard", .caption = "Discard"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceSave", .caption = "Save Sequence"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceLoad", .caption = "Load Sequence"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceTransmitAll", .caption = "Transmit All"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceDiscardAll", .caption = "Discard All"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceErase", .caption = "Erase"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSequenceEraseAll", .caption = "Erase All"},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BSaveConfig", .caption = "Save Config."},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BLoadConfig", .caption = "Load Config."},
    {.parent = "PSequenceButtons", .kind = K::Button, .name = "BApplyConfig", .caption = "Apply Config."},
    {.parent = "TSSequence", .kind = K::Panel, .name = "PSequenceGrid"},
    {.parent = "PSequenceGrid", .kind = K::StringGrid, .name = "SGSequence", .grid = {.cols = 6, .rows = 201, .fixedRows = 1, .rowSelect = true}},
};
// clang-format on

const NonVisualItem nonVisual[] = {
    {.name = "SaveDialog",
     .className = "TSaveDialog",
     .helpContext = 2000,
     .interval = 0,
     .enabled = false},
    {.name = "OpenDialog",
     .className = "TOpenDialog",
     .helpContext = 2000,
     .interval = 0,
     .enabled = false},
    {.name = "SerialPort",
     .className = "TSerialPort",
     .helpContext = 0,
     .interval = 0,
     .enabled = false},
    {.name = "TimerConnection",
     .className = "TTimer",
     .helpContext = 0,
     .interval = 500,
     .enabled = false},
    {.name = "TimerAutoConnect",
     .className = "TTimer",
     .helpContext = 0,
     .interval = 1000,
     .enabled = true},
    {.name = "TimerCalculateBarrelDegrees",
     .className = "TTimer",
     .helpContext = 0,
     .interval = 500,
     .enabled = false},
};
} // namespace

std::span<const InventoryItem> MainWindowInventory() {
    return inventory;
}

const InventoryItem* FindInventoryItem(const QString& name) {
    for (const InventoryItem& item : inventory)
        if (name == QLatin1String(item.name))
            return &item;
    return nullptr;
}

const InventoryItem* LabelOfEdit(const InventoryItem& edit) {
    if ((edit.kind != K::Edit && edit.kind != K::SpinEdit) || edit.helpContext <= 0)
        return nullptr;
    const InventoryItem* label = nullptr;
    for (const InventoryItem& item : inventory) {
        if (item.kind != K::Label || item.helpContext != edit.helpContext ||
            qstrcmp(item.parent, edit.parent) != 0)
            continue;
        if (label)
            return nullptr;
        label = &item;
    }
    return label;
}

std::span<const NonVisualItem> MainWindowNonVisualComponents() {
    return nonVisual;
}

const char* ControlKindClassName(ControlKind kind) {
    switch (kind) {
    case K::Panel:
        return "TPanel";
    case K::PageControl:
        return "TPageControl";
    case K::TabSheet:
        return "TTabSheet";
    case K::GroupBox:
        return "TGroupBox";
    case K::SpinEdit:
        return "TSpinEdit";
    case K::Edit:
        return "TEdit";
    case K::CheckBox:
        return "TCheckBox";
    case K::RadioGroup:
        return "TRadioGroup";
    case K::Shape:
        return "TShape";
    case K::Label:
        return "TLabel";
    case K::Button:
        return "TButton";
    case K::SpinButton:
        return "TSpinButton";
    case K::Led:
        return "TLed";
    case K::ProgressBar:
        return "TProgressBar";
    case K::ComboBox:
        return "TComboBox";
    case K::Memo:
        return "TMemo";
    case K::StringGrid:
        return "TStringGrid";
    }
    return "";
}

void BindCommandsFromInventory(CommandTable& table) {
    const std::span<const InventoryItem> items = MainWindowInventory();
    // The page an item lies on: the enclosing tab sheet, numbered among the
    // visible tabs of its page control from 1.
    const auto pageOf = [&](const InventoryItem& item) {
        const InventoryItem* at = &item;
        while (at && at->kind != ControlKind::TabSheet)
            at = FindInventoryItem(QString::fromLatin1(at->parent));
        if (!at)
            return 0;
        int index = 0;
        for (const InventoryItem& page : items) {
            if (page.kind != ControlKind::TabSheet || qstrcmp(page.parent, at->parent) != 0 ||
                (page.flags & InventoryFlag::TabHidden))
                continue;
            ++index;
            if (&page == at)
                return index;
        }
        return 0;
    };
    for (const InventoryItem& item : items) {
        const int id = item.helpContext;
        if (!CommandTable::IsValidId(id))
            continue;
        const bool bound = item.kind == ControlKind::SpinEdit ||
                           (item.kind == ControlKind::Edit && item.tag != 10) ||
                           item.kind == ControlKind::RadioGroup ||
                           item.kind == ControlKind::CheckBox;
        if (!bound)
            continue;
        TCommandRecord& row = table[id];
        const QString name = ShortText(QString::fromLatin1(item.name), CommandTextCapacity::SenderName);
        row.SenderType = QString::fromLatin1(ControlKindClassName(item.kind));
        if (row.SenderName1.isEmpty()) {
            row.SenderName1 = name;
            row.ActivePageIndex1 = pageOf(item);
        } else {
            row.SenderName2 = name;
            row.ActivePageIndex2 = pageOf(item);
        }
    }
}

BoundControlLookup InventoryBoundControls(const CommandTable& table) {
    return [&table](const QString& controlName, const QString& controlType,
                    int commandId) -> std::optional<BoundControl> {
        if (!CommandTable::IsValidId(commandId) || controlName.isEmpty())
            return std::nullopt;
        const TCommandRecord& row = table[commandId];
        if (controlName != row.SenderName1 && controlName != row.SenderName2)
            return std::nullopt;
        const InventoryItem* item = FindInventoryItem(controlName);
        if (!item || QLatin1String(ControlKindClassName(item->kind)) != controlType)
            return std::nullopt;
        if (item->kind == ControlKind::RadioGroup)
            return BoundControl{static_cast<int>(
                QString::fromUtf8(item->items).split(u'|', Qt::SkipEmptyParts).size())};
        if (item->kind == ControlKind::CheckBox)
            return BoundControl{2};
        return BoundControl{};
    };
}
