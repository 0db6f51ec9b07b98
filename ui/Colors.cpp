#include "ui/Colors.h"

#include <QGuiApplication>
#include <QPalette>

QColor ToQColor(TColor color) {
    if (color == clBtnFace)
        return QGuiApplication::palette().color(QPalette::Button);
    if (color == clWindow)
        return QGuiApplication::palette().color(QPalette::Base);
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}
