#pragma once

#include <QString>

#include <optional>

// The order people expect of names and values: runs of digits compare as numbers, so that "w2"
// comes before "w10", and letters compare without regard to case. Ties fall back to the plain
// text, so that two different texts never compare equal.
int natural_compare(QStringView a, QStringView b);

// The number a value holds, read the same in every locale ("12", "-3", "0.25", "1e3"), or
// nothing when the text is anything else, blanks, infinities and hexadecimal included.
std::optional<double> read_number(QStringView text);
