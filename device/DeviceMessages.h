#pragma once
// Numbers of the translated messages that the device link reports. The window
// shows TranslateString(number), followed directly by the detail text if any.
namespace DeviceMessage {
constexpr int NoAnswer = 26;               // the GCU did not answer in time
constexpr int MalformedConfiguration = 27; // the configuration read is damaged; nothing changed
constexpr int BadCalibrationAnswer = 28;   // the learned value is not a number; nothing changed
} // namespace DeviceMessage
