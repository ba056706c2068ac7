#include "window/SegmentSwitch.h"

#include "foundation/ColorAdditions.h"
#include "foundation/ImageAdditions.h"
#include "foundation/SharedFunctions.h"
#include "platform/text/StringDrawing.h"

#include <algorithm>
#include <cmath>

using namespace platform;

SegmentSwitch::SegmentSwitch(QWidget* parent)
    : Control(parent)
{
}

void SegmentSwitch::setFirstTitle(const QString& title)
{
    m_firstTitle = title;
    update();
}

void SegmentSwitch::setSecondTitle(const QString& title)
{
    m_secondTitle = title;
    update();
}

void SegmentSwitch::setFirstImage(const Image& image)
{
    m_firstImage = image;
    update();
}

void SegmentSwitch::setSecondImage(const Image& image)
{
    m_secondImage = image;
    update();
}

// The window treats any index but 0 as painting, so an index outside 0..1 would switch modes
// unasked.
void SegmentSwitch::setSelectedSegmentIndex(long index)
{
    m_selected = std::clamp(index, 0L, 1L);
    update();
}

bool SegmentSwitch::usesDarkLook() const
{
    return m_firstTitle == QLatin1String("Font & Style");
}

void SegmentSwitch::mouseUp(const Point& location, unsigned)
{
    if (!bounds().contains(location) || width() <= 0)
        return;
    setSelectedSegmentIndex(long(std::floor(2 * location.x / width())));
    sendAction();
}

void SegmentSwitch::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    GStateGuard guard(ctx);
    if (!usesDarkLook())
        ctx.clipToPath(BezierPath::roundedRect(b, 2, 2));
    Rect s(0, 0, b.size.width / 2, b.size.height);
    for (int half = 0; half < 2; ++half) {
        drawHalf(ctx, half, s);
        s.origin.x += b.size.width / 2;
    }
}

void SegmentSwitch::drawHalf(GraphicsContext& ctx, int half, const Rect& s)
{
    const bool selected = m_selected == half;
    const bool dark = usesDarkLook();
    // The standard look's other half is light grey, not black: black on its dark grey is
    // barely legible on the dark sidebar.
    const Color text = colorWithValue(
        dark ? (selected ? 0xD6D6D6 : 0xBEBEBE) : (selected ? 0xFFFFFF : 0xC8C8C8));
    const Color back = colorWithValue(
        dark ? (selected ? 0x464646 : 0x1E1E1E) : (selected ? 0x818181 : 0x515151));
    ctx.setFillColor(back);
    ctx.fillRect(s.integral());

    const QString& title = half == 0 ? m_firstTitle : m_secondTitle;
    const Image& picture = half == 0 ? m_firstImage : m_secondImage;
    const Font font = boldSystemFont(11);
    Rect textRect(Point(0, 0), sizeOfString(title, font));
    CenterRectInRect(textRect, s);
    if (!picture.isNull()) {
        const Image tinted = tintedImageWithColor(picture, text);
        Rect pictureRect(Point(0, 0), tinted.size());
        CenterRectInRect(pictureRect, s);
        // Picture and title side by side, 5 points apart, centred together.
        const double g = pictureRect.size.width + 5;
        pictureRect.origin.x = textRect.origin.x - g / 2;
        textRect.origin.x += g / 2;
        ctx.drawImage(tinted, pictureRect);
    }
    drawStringInRect(ctx, title, textRect, font, text);
}
