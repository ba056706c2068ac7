#include "container/MyInstantAlphaView.h"

#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/StringDrawing.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextContainer.h"
#include "platform/text/TextLayout.h"

#include <QCursor>
#include <algorithm>
#include <cmath>
#include <functional>

using platform::AffineTransform;
using platform::BezierPath;
using platform::Color;
using platform::Event;
using platform::GraphicsContext;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextAlignment;
using platform::TextLayout;

namespace {

// Lays text out in rect as the platform's string drawing does (no line padding, lines from the
// top) and fills the glyphs white, clipped to rect.
void drawWhiteText(
    GraphicsContext& ctx, const QString& text, const Rect& rect, TextAlignment alignment)
{
    if (text.isEmpty() || !(rect.size.width > 0.0) || !(rect.size.height > 0.0))
        return;
    namespace names = platform::TextAttributeNames;
    const platform::AttributeDictionary attributes {
        { names::font, TextLayout::defaultFont().withSize(MyInstantAlphaView::kFontSize) },
        { names::paragraphStyle, platform::ParagraphStyle::withAlignment(alignment) },
        { names::foregroundColor, Color::white() },
    };
    // Lines are laid out without a height limit and cut by the clip: a line a little taller
    // than its share of the rectangle (13 points of the default face need about 15) still shows.
    auto container = std::make_shared<platform::TextContainer>(
        Size(rect.size.width, platform::TextContainer::unlimited));
    container->setLineFragmentPadding(0.0);
    TextLayout layout(container);
    layout.setText(platform::AttributedString(text, attributes));
    const AffineTransform toView
        = TextLayout::yUpTransform(rect.maxY())
              .concatenated(AffineTransform::makeTranslation(rect.minX(), 0.0));
    BezierPath glyphs;
    for (const platform::LaidOutGlyph& g : layout.glyphs()) {
        if (g.glyph == 0)
            continue;
        BezierPath outline = TextLayout::glyphOutline(g);
        const Point p = toView.map(g.position);
        outline.transform(AffineTransform::makeTranslation(p.x, p.y));
        glyphs.appendPath(outline);
    }
    platform::GStateGuard guard(ctx);
    ctx.clipToRect(rect);
    ctx.setFillColor(Color::white());
    ctx.fillPath(glyphs);
}

// A borderless button titled "x": acts when a press is released inside it.
class CloseBox : public platform::View {
public:
    CloseBox(const Rect& frame, std::function<void()> action)
        : View(frame)
        , m_action(std::move(action))
    {
    }
    bool mouseDown(const Event&) override { return true; }
    bool mouseUp(const Event& event) override
    {
        const Point p = convertPointFromView(event.locationInWindow(), nullptr);
        if (bounds().contains(p) && m_action)
            m_action();
        return true;
    }
    bool becomeFirstResponder() override { return false; }
    void drawRect(const Rect&, GraphicsContext& ctx) override
    {
        // The title centred: one line of the bubble's font is taller than the box, so the line
        // is centred on the box and clipped to it.
        const Rect b = bounds();
        const double lineHeight
            = TextLayout::defaultFont().withSize(MyInstantAlphaView::kFontSize).lineHeight();
        const Rect line(
            b.minX(), b.minY() + (b.size.height - lineHeight) / 2.0, b.size.width, lineHeight);
        platform::GStateGuard guard(ctx);
        ctx.clipToRect(b);
        drawWhiteText(ctx, QStringLiteral("x"), line, TextAlignment::Center);
    }

private:
    std::function<void()> m_action;
};

Rect closeBoxFrame(const Size& size)
{
    return Rect(size.width - MyInstantAlphaView::kCloseBoxInset,
        size.height - MyInstantAlphaView::kCloseBoxInset, MyInstantAlphaView::kCloseBoxSide,
        MyInstantAlphaView::kCloseBoxSide);
}

} // namespace

MyInstantAlphaView::MyInstantAlphaView(const Rect& frame, const QString& text, int lines)
    : View(frame)
    , m_string(text)
    , m_linesCount(lines)
{
    m_closeBox = addSubview(
        std::make_unique<CloseBox>(closeBoxFrame(frame.size), [this] { closeClicked(); }));
    frameDidChange();
}

void MyInstantAlphaView::setFrame(const Rect& frame)
{
    View::setFrame(frame);
    frameDidChange();
}

void MyInstantAlphaView::setFrameSize(const Size& size)
{
    View::setFrameSize(size);
    frameDidChange();
}

void MyInstantAlphaView::frameDidChange()
{
    const Size size = frame().size;
    m_closeBox->setFrame(closeBoxFrame(size));
    m_closeBox->View::setHidden(size.width < kCloseBoxMinWidth);
    applyVisibility();
}

void MyInstantAlphaView::setHidden(bool hidden)
{
    m_hideRequested = hidden;
    applyVisibility();
}

void MyInstantAlphaView::applyVisibility()
{
    const bool refused = m_closedManually && frame().size.width > kCloseBoxMinWidth;
    View::setHidden(m_hideRequested || refused);
}

void MyInstantAlphaView::closeClicked()
{
    setHidden(true);
    m_closedManually = true;
}

double MyInstantAlphaView::widthToFit(const QString& text)
{
    const platform::Font font = TextLayout::defaultFont().withSize(kFontSize);
    double widest = 0.0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, platform::sizeOfString(line, font).width);
    // The text rectangle is nine tenths of the bubble; a point spare for rounding.
    return std::ceil(widest / 0.9) + 1.0;
}

Rect MyInstantAlphaView::textRect() const
{
    const Rect b = bounds();
    Rect r(b.minX() + b.size.width / 20.0, b.minY(), b.size.width - b.size.width / 10.0,
        b.size.height);
    if (m_linesCount >= 1 && m_linesCount <= 3) {
        r.size.height = 15.0 * m_linesCount;
        r.origin.y = (b.size.height - r.size.height) * 0.5;
    }
    return r;
}

void MyInstantAlphaView::updateTrackingAreas()
{
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    m_trackingArea = addTrackingArea(bounds(),
        platform::TrackingMouseMoved | platform::TrackingCursorUpdate
            | platform::TrackingActiveInKeyWindow);
}

bool MyInstantAlphaView::arrowOverCloseBox(const Event& event)
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    if (m_closeBox->isHidden() || !m_closeBox->frame().contains(p))
        return false;
    setCursor(Qt::ArrowCursor);
    return true;
}

bool MyInstantAlphaView::mouseMoved(const Event& event)
{
    return arrowOverCloseBox(event) || View::mouseMoved(event);
}

bool MyInstantAlphaView::cursorUpdate(const Event& event)
{
    return arrowOverCloseBox(event) || View::cursorUpdate(event);
}

void MyInstantAlphaView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    View::drawRect(dirty, ctx);
    const Rect b = bounds();
    ctx.setFillColor(Color::grey(0.0, kFillAlpha));
    ctx.fillPath(BezierPath::roundedRect(b, kCornerRadius, kCornerRadius));
    const TextAlignment alignment
        = frame().size.width < kCloseBoxMinWidth ? TextAlignment::Center : TextAlignment::Left;
    drawWhiteText(ctx, m_string, textRect(), alignment);
}
