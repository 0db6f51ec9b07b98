#pragma once
// Colours as the window logic stores and compares them: 0x00BBGGRR, with the
// two system colours the window uses marked by the high byte.
#include <QColor>
#include <QtGlobal>

using TColor = quint32;

constexpr TColor clBlack = 0x00000000;
constexpr TColor clRed = 0x000000FF;
constexpr TColor clGreen = 0x00008000;
constexpr TColor clLime = 0x0000FF00;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clBtnFace = 0xFF00000F; // system colour of button faces
constexpr TColor clWindow = 0xFF000005;  // system colour of entry fields

constexpr TColor RGBToColor(int r, int g, int b) {
    return TColor(r & 0xFF) | TColor(g & 0xFF) << 8 | TColor(b & 0xFF) << 16;
}

// The colour to paint for Color; system colours come from the application palette.
QColor ToQColor(TColor color);
