#pragma once
// The white callout with an arrow on its top edge that forms the body of the shape picker:
// a body with corners of radius 6 and an arrow 12 points wide and 8 high whose tip sits
// arrowX points right of the middle. Only the outer half of its white outline is painted, so
// the outline never eats into the body.
#include "platform/ui/Control.h"

class BackgroundView : public platform::Control {
public:
    explicit BackgroundView(QWidget* parent = nullptr);

    long arrowX() const { return m_arrowX; }
    void setArrowX(long arrowX);
    platform::Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const platform::Color& color);

    // The callout's outline in the view's coordinates (y-up) for bounds b.
    static platform::BezierPath calloutPath(const platform::Rect& b, long arrowX);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    long m_arrowX = 0;
    platform::Color m_backgroundColor = platform::Color::white();
};
