// The inspector fields' number reading: a leading number of our own, never Qt's all-or-nothing
// conversions.
#include "window/FieldNumbers.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace fieldnumbers {

namespace {

struct Leading {
    bool negative = false;
    double whole = 0; // saturating
    double fraction = 0;
    bool any = false;
};

std::optional<Leading> readLeading(const QString& text, const QString& unit)
{
    QString t = unit.isEmpty() ? text : QString(text).remove(unit);
    int i = 0;
    const int n = int(t.size());
    while (i < n && t[i].isSpace())
        ++i;
    Leading r;
    if (i < n && (t[i] == u'-' || t[i] == u'+' || t[i] == u'\u2212')) {
        r.negative = t[i] != u'+';
        ++i;
    }
    while (i < n && t[i] >= u'0' && t[i] <= u'9') {
        r.whole = std::min(r.whole * 10 + (t[i].unicode() - u'0'), 1e18);
        r.any = true;
        ++i;
    }
    if (i < n && (t[i] == u'.' || t[i] == u',')) {
        ++i;
        double scale = 0.1;
        while (i < n && t[i] >= u'0' && t[i] <= u'9') {
            r.fraction += scale * (t[i].unicode() - u'0');
            scale *= 0.1;
            r.any = true;
            ++i;
        }
    }
    if (!r.any)
        return std::nullopt;
    return r;
}

} // namespace

std::optional<int> leadingInt(const QString& text, const QString& unit)
{
    const std::optional<Leading> r = readLeading(text, unit);
    if (!r)
        return std::nullopt;
    const double v = std::min(r->whole, double(INT_MAX));
    return r->negative ? -int(v) : int(v);
}

std::optional<double> leadingDouble(const QString& text, const QString& unit)
{
    const std::optional<Leading> r = readLeading(text, unit);
    if (!r)
        return std::nullopt;
    const double v = std::min(r->whole + r->fraction, 1e9);
    return r->negative ? -v : v;
}

int held(int value, int lo, int hi)
{
    return std::clamp(value, lo, std::max(lo, hi));
}

} // namespace fieldnumbers
