#pragma once

#include <QString>

#include <optional>

enum class Adjustment { Multiply, Add };

// The number in value multiplied by or added to amount, written with as many decimals as value
// had, so that integers stay integers; nothing when value is not a number.
std::optional<QString> adjusted_value(const QString &value, Adjustment how, double amount);
