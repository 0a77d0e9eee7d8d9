#include "collection/natural_order.h"

#include <charconv>
#include <cmath>

namespace
{

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// A run of digits as a number without its leading zeros, compared by length and then by digits,
// so that runs of any length compare without overflow.
int compareDigitRuns(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == u'0')
        a = a.sliced(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.sliced(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

qsizetype digitRunEnd(QStringView text, qsizetype from)
{
    while (from < text.size() && isDigit(text[from]))
        ++from;
    return from;
}

} // namespace

int natural_compare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const qsizetype endA = digitRunEnd(a, i), endB = digitRunEnd(b, j);
            if (const int order = compareDigitRuns(a.sliced(i, endA - i), b.sliced(j, endB - j)))
                return order;
            i = endA;
            j = endB;
            continue;
        }
        // Most of what a table sorts shares long stretches (folders, "weapon"), which need no
        // folding to be passed over.
        if (a[i] == b[j]) {
            ++i;
            ++j;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    const int plain = a.compare(b);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

std::optional<double> read_number(QStringView text)
{
    constexpr qsizetype kLongest = 64;
    if (text.isEmpty() || text.size() > kLongest)
        return std::nullopt;
    char latin[kLongest];
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0x7f)
            return std::nullopt;
        latin[i] = static_cast<char>(c);
    }
    const char *end = latin + text.size();
    double value = 0;
    const auto [stop, error] = std::from_chars(latin, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}
