#pragma once

// Positions and sizes are kept in twips: 1440 to the inch, 15 to a pixel at 96 dpi, at the
// font the windows were laid out for. With a larger application font every twip grows by the
// same factor, so that texts keep the room they were given.
inline constexpr int kTwipsPerPixel = 15;

// How many times taller the application's font is than the one the windows were laid out for;
// 1 at that font and at any smaller one, and while there is no application to ask.
double font_scale();

int twips_to_pixels(double twips);
double pixels_to_twips(int pixels);

class QWidget;

// Under a larger font, lets a control whose text needs more room than its scaled place grow to
// the right and downwards; at the usual font every place holds exactly as measured.
void grow_to_text_when_scaled(QWidget *control);
