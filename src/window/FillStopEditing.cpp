#include "window/FillStopEditing.h"

#include "window/FieldNumbers.h"

#include <cmath>

using platform::Color;
using platform::GradientStop;

namespace fillstops {

platform::Rect markerHitRect(double l, double Rw, double barY)
{
    return platform::Rect(l * Rw, barY - 10, 10, 12);
}

namespace {

Color blend(const Color& a, const Color& b, double f)
{
    return Color(f * a.red + (1 - f) * b.red, f * a.green + (1 - f) * b.green,
        f * a.blue + (1 - f) * b.blue, f * a.alpha + (1 - f) * b.alpha);
}

} // namespace

std::optional<int> addStop(std::vector<GradientStop>& stops, double t)
{
    if (!std::isfinite(t) || stops.empty() || int(stops.size()) >= platform::Gradient::kMaxStops)
        return std::nullopt;
    std::vector<GradientStop> out;
    out.reserve(stops.size() + 1);
    std::optional<int> inserted;
    for (size_t k = 0; k < stops.size(); ++k) {
        const GradientStop& s = stops[k];
        if (!inserted && k == 0 && s.location > t) {
            out.push_back({ s.color, t });
            inserted = 0;
        } else if (!inserted && !out.empty() && out.back().location <= t && t < s.location) {
            const GradientStop& before = out.back();
            const double f = 1 - (t - before.location) / (s.location - before.location);
            out.push_back({ blend(before.color, s.color, f), t });
            inserted = int(out.size()) - 1;
        }
        out.push_back(s);
    }
    if (!inserted) {
        out.push_back({ stops.back().color, t });
        inserted = int(out.size()) - 1;
    }
    stops = std::move(out);
    return inserted;
}

bool moveStop(std::vector<GradientStop>& stops, int k, double t, double minGap)
{
    const int n = int(stops.size());
    if (k < 0 || k >= n || !std::isfinite(t) || !std::isfinite(minGap))
        return false;
    t = std::clamp(t, 0.0, 1.0);
    const bool clearOfPrevious = k == 0 || t > stops[size_t(k - 1)].location + minGap;
    const bool clearOfNext = k == n - 1 || t < stops[size_t(k + 1)].location - minGap;
    if (!clearOfPrevious || !clearOfNext)
        return false;
    stops[size_t(k)].location = t;
    return true;
}

int removeStopsAt(
    std::vector<GradientStop>& stops, const platform::Point& p, double Rw, double barY)
{
    int removed = 0;
    for (int i = int(stops.size()) - 1; i >= 0 && stops.size() > 2; --i) {
        if (markerHitRect(stops[size_t(i)].location, Rw, barY).contains(p)) {
            stops.erase(stops.begin() + i);
            ++removed;
        }
    }
    return removed;
}

int angleFromText(const QString& text)
{
    return fieldnumbers::leadingInt(text, fieldnumbers::kDegrees).value_or(0);
}

} // namespace fillstops
