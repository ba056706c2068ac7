#pragma once
// A gradient as a list of colour stops. A valid gradient has at least two stops; locations
// run from 0 to 1 and are kept in the order given (the drawing sorts a copy).
#include "platform/graphics/Color.h"

#include <QGradientStops>
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

    Gradient();  // white to black at 0 and 1
    Gradient(const Color& start, const Color& end);
    explicit Gradient(std::vector<GradientStop> stops);

    int numberOfColorStops() const { return int(m_stops.size()); }
    const GradientStop& stop(int index) const { return m_stops[size_t(index)]; }
    const std::vector<GradientStop>& stops() const { return m_stops; }

    // Stops compared in order, exactly.
    bool operator==(const Gradient&) const = default;

    // The stops for a Qt gradient: sorted by location, clamped colours, clamped locations.
    QGradientStops toQtStops() const;

private:
    std::vector<GradientStop> m_stops;
};

} // namespace platform
