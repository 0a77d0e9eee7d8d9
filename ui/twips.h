#pragma once

#include <QtGlobal>

// Positions and sizes are kept in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twips_to_pixels(double twips)
{
    return static_cast<int>(twips >= 0 ? twips / kTwipsPerPixel + 0.5
                                       : twips / kTwipsPerPixel - 0.5);
}

constexpr double pixels_to_twips(int pixels)
{
    return static_cast<double>(pixels) * kTwipsPerPixel;
}
