#include "platform/graphics/Gradient.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

using Stops = std::shared_ptr<const std::vector<GradientStop>>;

// The stops of a new gradient, white to black. Made once and never freed: gradients may
// outlive any other static.
const Stops& defaultStops()
{
    static const auto* const stops = new Stops(std::make_shared<const std::vector<GradientStop>>(
        std::vector<GradientStop> { { Color::white(), 0.0 }, { Color::black(), 1.0 } }));
    return *stops;
}

// Stops equal to the default ones share them: the boxes of a document mostly keep the default
// fills, and their comparison then never reads the stops.
Stops shared(std::vector<GradientStop> stops)
{
    if (stops == *defaultStops())
        return defaultStops();
    return std::make_shared<const std::vector<GradientStop>>(std::move(stops));
}

} // namespace

Gradient::Gradient()
    : m_stops(defaultStops())
{
}

Gradient::Gradient(const Color& start, const Color& end)
    : m_stops(shared({ { start, 0.0 }, { end, 1.0 } }))
{
}

Gradient::Gradient(std::vector<GradientStop> stops)
{
    if (stops.size() > size_t(kMaxStops))
        stops.resize(size_t(kMaxStops));
    m_stops = shared(std::move(stops));
}

QGradientStops Gradient::toQtStops() const
{
    std::vector<GradientStop> sorted = *m_stops;
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
