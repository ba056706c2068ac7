#include "platform/graphics/Gradient.h"

#include <algorithm>
#include <cmath>

namespace platform {

Gradient::Gradient()
    : Gradient(Color::white(), Color::black())
{
}

Gradient::Gradient(const Color& start, const Color& end)
    : m_stops { { start, 0.0 }, { end, 1.0 } }
{
}

Gradient::Gradient(std::vector<GradientStop> stops)
    : m_stops(std::move(stops))
{
    if (m_stops.size() > size_t(kMaxStops))
        m_stops.resize(size_t(kMaxStops));
}

QGradientStops Gradient::toQtStops() const
{
    std::vector<GradientStop> sorted = m_stops;
    for (GradientStop& s : sorted)
        s.location = std::isfinite(s.location) ? std::clamp(s.location, 0.0, 1.0) : 0.0;
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const GradientStop& a, const GradientStop& b) { return a.location < b.location; });
    if (sorted.empty())
        sorted = { { Color::clear(), 0.0 }, { Color::clear(), 1.0 } };
    if (sorted.size() == 1)
        sorted.push_back(sorted.front());

    // Qt keeps one stop per location (a second one replaces the first), so stops that share a
    // location, the hard edges of a gradient, are pulled apart by a hair.
    constexpr double kApart = 1e-6;
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i].location <= sorted[i - 1].location)
            sorted[i].location = std::min(1.0, sorted[i - 1].location + kApart);
    }
    for (size_t i = sorted.size() - 1; i-- > 0;) {
        if (sorted[i].location >= sorted[i + 1].location)
            sorted[i].location = sorted[i + 1].location - kApart;
    }

    QGradientStops out;
    out.reserve(qsizetype(sorted.size()));
    for (const GradientStop& s : sorted)
        out.append({ s.location, s.color.toQt() });
    return out;
}

} // namespace platform
