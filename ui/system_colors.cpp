#include "ui/system_colors.h"

#include <QApplication>
#include <QPalette>

QColor system_color(quint32 code)
{
    const QPalette palette = QApplication::palette();
    switch (code) {
    case kButtonFace:
        return palette.color(QPalette::Button);
    case kWindowBackground:
    default:
        return palette.color(QPalette::Base);
    }
}
