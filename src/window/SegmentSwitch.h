#pragma once
// The flat two-half switch: the window's box-editing / mask-painting switch, and a darker
// look for a switch whose first title is "Font & Style". A release over a half selects it and
// sends the action, even when it was already selected; a release outside does nothing, and
// the index is always 0 or 1.
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"

#include <QString>

class SegmentSwitch : public platform::Control {
public:
    explicit SegmentSwitch(QWidget* parent = nullptr);

    QString firstTitle() const { return m_firstTitle; }
    void setFirstTitle(const QString& title);
    QString secondTitle() const { return m_secondTitle; }
    void setSecondTitle(const QString& title);
    platform::Image firstImage() const { return m_firstImage; }
    void setFirstImage(const platform::Image& image);
    platform::Image secondImage() const { return m_secondImage; }
    void setSecondImage(const platform::Image& image);

    long selectedSegmentIndex() const { return m_selected; }
    // Clamped into 0..1; redraws.
    void setSelectedSegmentIndex(long index);

    bool usesDarkLook() const;

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;

private:
    void drawHalf(platform::GraphicsContext& ctx, int half, const platform::Rect& s);

    QString m_firstTitle, m_secondTitle;
    platform::Image m_firstImage, m_secondImage;
    long m_selected = 0;
};
