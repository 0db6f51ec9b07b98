#include "model/LiveFields.h"

namespace {
using Id = LiveFieldId;
using S = LiveScaling;
using P = LivePlotStrip;

// clang-format off
constexpr std::array<LiveField, LiveFieldCount> Fields{{
    // id                 key               unit    scaling        dec wire  led                       label                       bar                          edit                   strip      step   right  colour    offset
    {Id::Counter,          "Line",           "",     S::Plain,      0,  0,   nullptr,                  nullptr,                    nullptr,                     nullptr,               P::None,   false, false, 0x000000, 0},
    {Id::SelectorInputA,   "SelectorA",      "",     S::Input,      0,  0,   nullptr,                  nullptr,                    nullptr,                     nullptr,               P::None,   true,  false, 0x000000, 0},
    {Id::SelectorInputB,   "SelectorB",      "",     S::Input,      0,  0,   nullptr,                  nullptr,                    nullptr,                     nullptr,               P::None,   true,  false, 0x000000, 0},
    {Id::PaddleDown,       "PaddleDown",     "",     S::Active,     0,  0,   "LedSerialLivePaddleDN",  nullptr,                    nullptr,                     nullptr,               P::Inputs, true,  false, 0xD02020, 6},
    {Id::PaddleUp,         "PaddleUp",       "",     S::Active,     0,  0,   "LedSerialLivePaddleUP",  nullptr,                    nullptr,                     nullptr,               P::Inputs, true,  false, 0x1060E0, 7.5},
    {Id::Neutral,          "Neutral",        "",     S::Active,     0,  0,   "LedSerialLiveNeutral",   nullptr,                    nullptr,                     nullptr,               P::Inputs, true,  false, 0x008000, 4.5},
    {Id::Battery,          "Battery",        "V",    S::Battery,    2,  2,   nullptr,                  "LSerialLiveBattery",       "PBSerialLiveBattery",       nullptr,               P::Supply, false, false, 0x1060E0, 0},
    {Id::ActuatorTemp,     "ActuatorTemp",   "\u00B0C", S::Rounded, 0,  0,   nullptr,                  "LSerialLiveActuatorTemp",  "PBSerialLiveActuatorTemp",  nullptr,               P::Supply, false, true,  0xD02020, 0},
    {Id::Barrel,           "Barrel",         "mV",   S::Millivolts, 0,  3,   nullptr,                  "LSerialLiveBarrel",        "PBSerialLiveBarrel",        nullptr,               P::Barrel, false, false, 0x1060E0, 0},
    {Id::Gear,             "Gear",           "",     S::Integer,    0,  0,   nullptr,                  nullptr,                    nullptr,                     "ESerialLiveGear",     P::Barrel, true,  true,  0xD02020, 0},
    {Id::Rpm,              "RPM",            "RPM",  S::Rpm,        0,  0,   nullptr,                  "LSerialLiveRPM",           "PBSerialLiveRPM",           nullptr,               P::Rpm,    false, false, 0x1060E0, 0},
    {Id::Tps,              "TPS",            "mV",   S::Millivolts, 0,  3,   nullptr,                  "LSerialLiveTPS",           "PBSerialLiveTPS",           nullptr,               P::Tps,    false, false, 0x008000, 0},
    {Id::Brake,            "Brake",          "",     S::Active,     0,  0,   "LedSerialLiveBrake",     nullptr,                    nullptr,                     nullptr,               P::Inputs, true,  false, 0x800080, 0},
    {Id::Clutch,           "Clutch",         "",     S::Active,     0,  0,   "LedSerialLiveClutch",    nullptr,                    nullptr,                     nullptr,               P::Inputs, true,  false, 0xA06000, 1.5},
    {Id::GcuTemp,          "GCUTemp",        "\u00B0C", S::Rounded, 0,  0,   nullptr,                  "LSerialLiveGCUTemp",       "PBSerialLiveGCUTemp",       nullptr,               P::Supply, false, true,  0x008000, 0},
    {Id::SelectorPosition, "Selector",       "",     S::Rounded,    0,  0,   nullptr,                  nullptr,                    nullptr,                     "ESerialLiveSelector", P::None,   true,  false, 0x000000, 0},
}};
// clang-format on

constexpr bool InLineOrder() {
    for (int i = 0; i < LiveFieldCount; ++i)
        if (FieldIndex(Fields[size_t(i)].id) != i)
            return false;
    return true;
}
static_assert(InLineOrder(), "the live fields are listed in line order");
} // namespace

const std::array<LiveField, LiveFieldCount>& LiveFields() {
    return Fields;
}
