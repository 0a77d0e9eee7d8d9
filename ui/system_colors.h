#pragma once

#include <QColor>

// Colours are named by the system's colour numbers, so that they follow the desktop theme;
// these are the two the windows use.
inline constexpr quint32 kWindowBackground = 0x80000005;
inline constexpr quint32 kButtonFace = 0x8000000F;

// The desktop theme's colour for a system colour number (from the application palette).
QColor system_color(quint32 code);
