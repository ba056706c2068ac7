#pragma once
// The platform's segmented control: n equally wide segments, each with a picture, an enabled
// and a selected state and an optional menu. A press and release on one enabled segment
// applies the tracking mode and sends the action:
//  - SelectOne: that segment becomes the only selected one;
//  - SelectAny: that segment's selection toggles;
//  - Momentary: the segment shows selected while pressed; selectedSegment() names it for the
//    action, and nothing stays selected.
// A segment with a menu pops the menu up under itself on the press instead. The standard look
// is a rounded bar whose selected and pressed segments are lighter; subclasses draw each
// segment through drawSegment() or replace the whole look.
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"

#include <QPointer>
#include <vector>

class QMenu;

namespace platform {

class SegmentedControl : public Control {
public:
    enum class TrackingMode { SelectOne = 0, SelectAny = 1, Momentary = 2 };

    explicit SegmentedControl(QWidget* parent = nullptr);

    int segmentCount() const { return int(m_segments.size()); }
    // Keeps the first segments' settings; new segments are enabled and unselected.
    void setSegmentCount(int count);
    TrackingMode trackingMode() const { return m_mode; }
    void setTrackingMode(TrackingMode mode) { m_mode = mode; }

    Image imageForSegment(int segment) const;
    void setImage(const Image& image, int segment);
    bool isEnabledForSegment(int segment) const;
    void setEnabled(bool enabled, int segment);
    bool isSelectedForSegment(int segment) const;
    // In SelectOne mode selecting a segment deselects the others. Silent.
    void setSelected(bool selected, int segment);
    // The selected segment (the lowest one in SelectAny mode), the segment last clicked in
    // Momentary mode, or -1.
    int selectedSegment() const;
    void setSelectedSegment(int segment);
    // The segment the last click acted on, or the one setSelectedSegment last named; -1
    // before either. In SelectAny mode this is the segment whose state the action should
    // apply, whichever other segments are on.
    int clickedSegment() const { return m_clicked; }
    // Not owned; shown under the segment on a press.
    void setMenu(QMenu* menu, int segment);

    // The segment under a point (y-up), or -1 outside the control.
    int segmentAt(const Point& p) const;
    // Segment i's frame: (W * i / n, 0, W / n, H).
    Rect frameForSegment(int segment) const;

protected:
    void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
    // Draws one segment into its frame; the default draws its picture centred.
    virtual void drawSegment(GraphicsContext& ctx, int segment, const Rect& frame);

    void mouseDown(const Point& location, unsigned modifierFlags) override;
    void mouseDragged(const Point& location, unsigned modifierFlags) override;
    void mouseUp(const Point& location, unsigned modifierFlags) override;

    // The segment being pressed (drawn as selected while the pointer is over it), or -1.
    int pressedSegment() const { return m_pressed; }

private:
    struct Segment {
        Image image;
        bool enabled = true;
        bool selected = false;
        QPointer<QMenu> menu;
    };
    bool valid(int segment) const { return segment >= 0 && segment < segmentCount(); }

    std::vector<Segment> m_segments;
    TrackingMode m_mode = TrackingMode::SelectOne;
    int m_pressed = -1;
    int m_momentary = -1;
    int m_clicked = -1;
};

} // namespace platform
