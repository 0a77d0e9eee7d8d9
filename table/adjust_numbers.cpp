#include "table/adjust_numbers.h"

#include "collection/natural_order.h"

#include <cmath>

std::optional<QString> adjusted_value(const QString &value, Adjustment how, double amount)
{
    const std::optional<double> number = read_number(value);
    if (!number)
        return std::nullopt;
    const double result = how == Adjustment::Multiply ? *number * amount : *number + amount;
    if (!std::isfinite(result))
        return std::nullopt;
    const qsizetype point = value.indexOf(u'.');
    qsizetype exponent = value.indexOf(u'e', 0, Qt::CaseInsensitive);
    if (exponent < 0)
        exponent = value.size();
    const int decimals = point < 0 || point > exponent ? 0 : int(exponent - point - 1);
    QString text = QString::number(result, 'f', decimals);
    // A value rounded to nothing reads as zero, never as "-0".
    if (text.startsWith(u'-') && read_number(text) == 0.0)
        text.remove(0, 1);
    return text;
}
