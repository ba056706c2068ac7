#pragma once
// The sidebar's icon segment bars (font style, alignment, layout, perspective, curve): every
// segment equally wide, its picture centred at alpha 1.0 when selected, 0.5 when enabled and
// 0.2 when disabled, and optional separator lines between neighbours. The segment under the
// pointer is tracked (nothing draws it yet).
#include "platform/ui/SegmentedControl.h"

class CustomSegmentedCtrl : public platform::SegmentedControl {
public:
    explicit CustomSegmentedCtrl(QWidget* parent = nullptr);

    bool useSeparator() const { return m_useSeparator; }
    void setUseSeparator(bool use);
    platform::Color separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(const platform::Color& color);
    // The segment under the pointer, -1 after it left.
    long segmentHovered() const { return m_hovered; }

    // The picture's alpha for a segment's state.
    static double segmentAlpha(bool selected, bool enabled);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void drawSegment(
        platform::GraphicsContext& ctx, int segment, const platform::Rect& frame) override;
    void mouseMoved(const platform::Point& location, unsigned modifierFlags) override;
    void hoverChanged() override;

private:
    bool m_useSeparator = false;
    platform::Color m_separatorColor = platform::Color::grey(0.5);
    long m_hovered = -1;
};
