#include "window/ColoredButton.h"

#include "platform/text/StringDrawing.h"

using namespace platform;

ColoredButton::ColoredButton(QWidget* parent)
    : Control(parent)
{
}

void ColoredButton::setColoringColor(const Color& color)
{
    m_coloringColor = color;
    update();
}

void ColoredButton::setImage(const Image& image)
{
    m_image = image;
    update();
}

void ColoredButton::setTitle(const QString& title)
{
    m_title = title;
    update();
}

void ColoredButton::setCellStyle(CellStyle style)
{
    m_style = style;
    update();
}

void ColoredButton::setDrawsSwatch(bool draws)
{
    m_drawsSwatch = draws;
    update();
}

double ColoredButton::pictureAlpha(bool highlighted, bool enabled, bool hovered)
{
    if (highlighted)
        return 0.5;
    if (!enabled)
        return 0.2;
    return hovered ? 0.75 : 1.0;
}

void ColoredButton::mouseUp(const Point& location, unsigned)
{
    if (isEnabled() && bounds().contains(location))
        sendAction();
}

void ColoredButton::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    if (m_drawsSwatch) {
        GStateGuard guard(ctx);
        const BezierPath swatch = BezierPath::roundedRect(b, 6, 6);
        ctx.setFillColor(m_coloringColor);
        ctx.fillPath(swatch);
        ctx.setStrokeColor(Color(0.46, 0.46, 0.46, 1));
        ctx.setStrokeStyle(StrokeStyle { 2.0 });
        ctx.strokePath(swatch);
    }
    if (m_style == CellStyle::TextOnly) {
        const Font font = systemFont(12);
        const double h = font.lineHeight();
        drawStringInRect(ctx, m_title, Rect(0, (b.size.height + h) / 2 - h, b.size.width, h), font,
            Color::grey(0.84, isEnabled() ? 1.0 : 0.4), StringAlignment::Center);
        return;
    }
    if (m_image.isNull())
        return;
    const Size s = m_image.size();
    GStateGuard guard(ctx);
    ctx.setAlpha(pictureAlpha(isHighlighted(), isEnabled(), isHovered()));
    ctx.drawImage(m_image,
        Rect((b.size.width - s.width) / 2, (b.size.height - s.height) / 2, s.width, s.height));
}
