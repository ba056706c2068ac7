#pragma once
// A gradient as a list of colour stops. A valid gradient has at least two stops; locations
// run from 0 to 1 and are kept in the order given (the drawing sorts a copy).
#include "platform/graphics/Color.h"

#include <QGradientStops>
#include <memory>
#include <vector>

namespace platform {

struct GradientStop {
    Color color;
    double location = 0.0;
    constexpr bool operator==(const GradientStop&) const = default;
};

class Gradient {
public:
    // The largest number of stops a gradient keeps; longer lists are cut to their first
    // kMaxStops entries where a gradient is made.
    static constexpr int kMaxStops = 1000;

    Gradient(); // white to black at 0 and 1
    Gradient(const Color& start, const Color& end);
    explicit Gradient(std::vector<GradientStop> stops);
    // Copied, never moved from: a gradient always has its stops.
    Gradient(const Gradient&) = default;
    Gradient& operator=(const Gradient&) = default;

    int numberOfColorStops() const { return int(m_stops->size()); }
    const GradientStop& stop(int index) const { return (*m_stops)[size_t(index)]; }
    const std::vector<GradientStop>& stops() const { return *m_stops; }

    // Stops compared in order, exactly (copies share their stops, which settles it at once).
    bool operator==(const Gradient& other) const
    {
        return m_stops == other.m_stops || *m_stops == *other.m_stops;
    }

    // The stops for a Qt gradient: sorted by location, clamped colours, clamped locations.
    QGradientStops toQtStops() const;

private:
    // Never null, never changed once made: copies share it, and every default gradient shares
    // one, so that comparing the fills of many boxes seldom reads the stops.
    std::shared_ptr<const std::vector<GradientStop>> m_stops;
};

} // namespace platform
