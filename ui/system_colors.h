#pragma once

#include <QColor>

// The design names colours by the system's colour numbers; these are the two it uses.
inline constexpr quint32 kWindowBackground = 0x80000005;
inline constexpr quint32 kButtonFace = 0x8000000F;

// The desktop theme's colour for a system colour number (from the application palette).
QColor system_color(quint32 code);
