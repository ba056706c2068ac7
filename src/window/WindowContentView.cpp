#include "window/WindowContentView.h"

#include "foundation/ColorAdditions.h"
#include "platform/text/StringDrawing.h"
#include "window/Window.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

constexpr double kButtonSize = 12.0;
constexpr double kButtonSpacing = 9.0;
constexpr double kButtonLeft = 12.0;
constexpr double kButtonTop = 16.0;
constexpr double kCornerRadius = 6.0;
constexpr double kTitleWidth = 300.0;
// The least room kept between the title and the buttons, the menu bar or the window's edge.
constexpr double kTitleGap = 12.0;

const QString kWelcomeTitle = QStringLiteral("Welcome to Quillmark");

Color buttonColour(int index)
{
    switch (index) {
    case WindowContentView::Close:
        return colorWithValue(0xFC5753);
    case WindowContentView::Minimize:
        return colorWithValue(0xFDBC40);
    default:
        return colorWithValue(0x33C748);
    }
}

} // namespace

WindowContentView::WindowContentView(Window* window)
    : platform::Control(window)
    , m_window(window)
{
    setMouseTracking(true);
}

bool WindowContentView::windowButtonEnabledAtIndex(int index) const
{
    switch (index) {
    case Close:
        return true;
    case Minimize:
    case Maximize:
        return m_window->canResize();
    default:
        return false;
    }
}

Rect WindowContentView::buttonFrame(int index) const
{
    const double x = kButtonLeft + (index - 1) * (kButtonSize + kButtonSpacing);
    return Rect(x, height() - kButtonSize - kButtonTop, kButtonSize, kButtonSize);
}

int WindowContentView::buttonAt(const Point& location) const
{
    for (int index : { Close, Minimize, Maximize })
        if (buttonFrame(index).contains(location))
            return windowButtonEnabledAtIndex(index) ? index : None;
    return None;
}

Rect WindowContentView::titleRect() const
{
    const double w = width();
    // The welcome window's title sits nearer the middle than a document's.
    const double left = m_window->title() == kWelcomeTitle ? w / 2 - kTitleWidth / 2 - 10
                                                           : w / 2 - kTitleWidth + 50;
    return Rect(std::round(left), height() - kTitleBarHeight - 10, kTitleWidth, kTitleBarHeight);
}

void WindowContentView::drawRect(platform::GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    const double w = b.size.width, h = b.size.height;
    const Color body = colorWithValue(0x181918);
    if (!m_window->hasTranslucentCorners()) {
        ctx.setFillColor(body);
        ctx.fillRect(b);
    }
    platform::GStateGuard guard(ctx);
    ctx.clipToPath(platform::BezierPath::roundedRect(b, kCornerRadius, kCornerRadius));
    ctx.setFillColor(body);
    ctx.fillRect(b);
    ctx.setFillColor(colorWithValue(0x151516));
    ctx.fillRect(Rect(0, h - kTitleBarHeight, w, kTitleBarHeight));

    for (int index : { Close, Minimize, Maximize }) {
        Color colour = buttonColour(index);
        if (!windowButtonEnabledAtIndex(index))
            colour = Color::grey(1.0 / 3.0); // the platform's dark grey
        else if (m_hoveredWindowButton > None)
            colour = colorByAdding(colour, 0.3f);
        ctx.setFillColor(colour);
        ctx.fillPath(platform::BezierPath::oval(buttonFrame(index)));
    }
    drawTitle(ctx);
}

namespace {
platform::Font titleFont()
{
    return platform::controlFont(QStringLiteral("Helvetica Neue Bold"), 14);
}
} // namespace

std::pair<double, double> WindowContentView::titleTextSpan() const
{
    const Rect r = titleRect();
    const double middle = r.origin.x + r.size.width / 2;
    const QString title = m_window->title();
    const double half = title.isEmpty()
        ? 0
        : std::min(r.size.width, platform::sizeOfString(title, titleFont()).width) / 2;
    return { middle - half, middle + half };
}

std::optional<WindowContentView::ShownTitle> WindowContentView::shownTitle() const
{
    const QString title = m_window->title();
    if (title.isEmpty())
        return std::nullopt;
    // The free part of the bar along x.
    double left = maximizeButtonFrame().maxX() + kTitleGap;
    double right = width() - kTitleGap;
    if (const QMenuBar* bar = m_window->menuBar(); bar && !bar->isHidden()) {
        const QRect g = bar->geometry();
        const double barLeft = mapFrom(m_window, g.topLeft()).x();
        const double barRight = barLeft + g.width();
        if (g.width() > 0 && barRight + kTitleGap > left && barLeft - kTitleGap < right) {
            // Left of the bar or right of it, whichever leaves more room.
            if (barLeft - kTitleGap - left >= right - (barRight + kTitleGap))
                right = barLeft - kTitleGap;
            else
                left = barRight + kTitleGap;
        }
    }
    const double room = right - left;
    if (!(room > 0))
        return std::nullopt;
    const platform::Font font = titleFont();
    QString text = title;
    double textWidth = platform::sizeOfString(text, font).width;
    if (textWidth > room) {
        text = QFontMetricsF(font.toQFont()).elidedText(title, Qt::ElideMiddle, room);
        textWidth = platform::sizeOfString(text, font).width;
        // An ellipsis alone, or a cut that the drawing measures wider, shows nothing.
        if (text.isEmpty() || text == QStringLiteral("\u2026") || textWidth > room)
            return std::nullopt;
    }
    // As near its centred place as the free part allows.
    const auto [spanLeft, spanRight] = titleTextSpan();
    const double middle = (spanLeft + spanRight) / 2;
    const double x = std::clamp(middle - textWidth / 2, left, right - textWidth);
    const Rect r = titleRect();
    return ShownTitle { text, Rect(x, r.origin.y, textWidth, r.size.height) };
}

void WindowContentView::drawTitle(platform::GraphicsContext& ctx)
{
    std::optional<ShownTitle> shown = shownTitle();
    if (!shown)
        return;
    Rect r = shown->rect;
    if (m_window->subtitle().isEmpty())
        r.origin.y -= 8;
    platform::drawStringInRect(ctx, shown->text, r, titleFont(), colorWithValue(0xB0B0B0),
        platform::StringAlignment::Center);
}

bool WindowContentView::isInTitleBar(const Point& location) const
{
    return location.y >= height() - kTitleBarHeight && buttonAt(location) == None;
}

void WindowContentView::mouseDown(const Point& location, unsigned)
{
    m_pressedButton = buttonAt(location);
    m_movePress.reset();
    if (m_pressedButton == None && isInTitleBar(location))
        m_movePress = location;
}

void WindowContentView::mouseDragged(const Point& location, unsigned)
{
    if (!m_movePress)
        return;
    const double dx = location.x - m_movePress->x, dy = location.y - m_movePress->y;
    if (std::hypot(dx, dy) < QApplication::startDragDistance())
        return;
    m_movePress.reset();
    if (m_window->windowHandle())
        m_window->windowHandle()->startSystemMove();
}

void WindowContentView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const Point location = convertFromWidget(event->position());
    if (event->button() == Qt::LeftButton && isInTitleBar(location)
        && windowButtonEnabledAtIndex(Maximize)) {
        m_movePress.reset();
        m_window->zoom();
        return;
    }
    platform::Control::mouseDoubleClickEvent(event);
}

void WindowContentView::mouseUp(const Point& location, unsigned)
{
    const int pressed = m_pressedButton;
    m_pressedButton = None;
    m_movePress.reset();
    if (pressed == None || buttonAt(location) != pressed)
        return;
    switch (pressed) {
    case Close:
        m_window->performClose();
        break;
    case Minimize:
        m_window->miniaturize();
        break;
    case Maximize:
        m_window->zoom();
        break;
    default:
        break;
    }
}

void WindowContentView::mouseMoved(const Point& location, unsigned)
{
    setHoveredWindowButton(m_window->isActiveWindow() ? buttonAt(location) : None);
}

void WindowContentView::hoverChanged()
{
    if (!isHovered())
        setHoveredWindowButton(None);
}

void WindowContentView::changeEvent(QEvent* event)
{
    platform::Control::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !m_window->isActiveWindow())
        setHoveredWindowButton(None);
}

void WindowContentView::setHoveredWindowButton(int button)
{
    if (button == m_hoveredWindowButton)
        return;
    m_hoveredWindowButton = button;
    update();
}
