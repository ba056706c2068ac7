#include "window/ShapePanel.h"

#include "boxes/ShapeModel.h"
#include "foundation/ColorAdditions.h"
#include "foundation/SharedFunctions.h"
#include "window/BackgroundView.h"

#include <QEvent>
#include <QPropertyAnimation>
#include <cmath>

using platform::BezierPath;
using platform::Point;
using platform::Rect;

namespace {

// The kinds the picker offers, in its order (three to a row). Type 1 is the arrow line.
constexpr int kShapeTags[] = { shape::Line, shape::ArrowLine, shape::Curve, shape::Rectangle,
    shape::RoundedRectangle, shape::Ellipse, shape::IsoscelesTriangle, shape::RightTriangle,
    shape::Diamond, shape::RightBlockArrow, shape::DoubleBlockArrow, shape::RegularPolygon,
    shape::Star, shape::OvalCallout, shape::RoundedBoxCallout, shape::PenPath };

constexpr int kColumns = 3;
constexpr int kButtonSize = 64;
constexpr int kMarginX = (ShapePanel::kWidth - kColumns * kButtonSize) / 2;
constexpr int kTop = 24; // below the callout's arrow

BezierPath polygon(std::initializer_list<Point> points)
{
    BezierPath p;
    bool first = true;
    for (const Point& pt : points) {
        if (first)
            p.moveTo(pt);
        else
            p.lineTo(pt);
        first = false;
    }
    p.closePath();
    return p;
}

// Points on a circle of radius r around c, starting at the top.
std::vector<Point> ring(Point c, double r, int n, double phase = 0.0)
{
    std::vector<Point> pts;
    for (int i = 0; i < n; ++i) {
        const double a = M_PI / 2 + phase + 2 * M_PI * i / n;
        pts.emplace_back(c.x + r * std::cos(a), c.y + r * std::sin(a));
    }
    return pts;
}

BezierPath closedThrough(const std::vector<Point>& pts)
{
    BezierPath p;
    for (size_t i = 0; i < pts.size(); ++i)
        i == 0 ? p.moveTo(pts[i]) : p.lineTo(pts[i]);
    p.closePath();
    return p;
}

// The picture of a kind inside r (y-up): figures are filled, lines stroked.
BezierPath shapeIcon(int tag, const Rect& r, bool& stroked)
{
    const double x0 = r.origin.x, y0 = r.origin.y, w = r.size.width, h = r.size.height;
    const double x1 = x0 + w, y1 = y0 + h, cx = x0 + w / 2, cy = y0 + h / 2;
    stroked = false;
    switch (tag) {
    case shape::Line:
    case shape::ArrowLine: {
        stroked = true;
        BezierPath p;
        p.moveTo({ x0, y0 });
        p.lineTo({ x1, y1 });
        if (tag == shape::ArrowLine) {
            p.moveTo({ x1 - w / 3, y1 });
            p.lineTo({ x1, y1 });
            p.lineTo({ x1, y1 - h / 3 });
        }
        return p;
    }
    case shape::Curve:
    case shape::PenPath: {
        stroked = true;
        BezierPath p;
        p.moveTo({ x0, y0 });
        p.curveTo({ x1, y1 }, { x1, y0 }, { x0, y1 });
        if (tag == shape::PenPath)
            p.lineTo({ x1, y0 + h / 3 });
        return p;
    }
    case shape::Rectangle:
        return BezierPath::rect(r);
    case shape::RoundedRectangle:
        return BezierPath::roundedRect(r, w / 5, w / 5);
    case shape::Ellipse:
        return BezierPath::oval(r);
    case shape::IsoscelesTriangle:
        return polygon({ { x0, y0 }, { x1, y0 }, { cx, y1 } });
    case shape::RightTriangle:
        return polygon({ { x0, y0 }, { x1, y0 }, { x0, y1 } });
    case shape::Diamond:
        return polygon({ { cx, y0 }, { x1, cy }, { cx, y1 }, { x0, cy } });
    case shape::RightBlockArrow:
        return polygon({ { x0, cy - h / 6 }, { cx, cy - h / 6 }, { cx, y0 }, { x1, cy }, { cx, y1 },
            { cx, cy + h / 6 }, { x0, cy + h / 6 } });
    case shape::DoubleBlockArrow: {
        const double head = w / 4;
        return polygon({ { x0, cy }, { x0 + head, y0 + h / 6 }, { x0 + head, cy - h / 8 },
            { x1 - head, cy - h / 8 }, { x1 - head, y0 + h / 6 }, { x1, cy },
            { x1 - head, y1 - h / 6 }, { x1 - head, cy + h / 8 }, { x0 + head, cy + h / 8 },
            { x0 + head, y1 - h / 6 } });
    }
    case shape::RegularPolygon:
        return closedThrough(ring({ cx, cy }, w / 2, 5));
    case shape::Star: {
        std::vector<Point> pts;
        const auto outer = ring({ cx, cy }, w / 2, 5), inner = ring({ cx, cy }, w / 5, 5, M_PI / 5);
        for (size_t i = 0; i < outer.size(); ++i) {
            pts.push_back(outer[i]);
            pts.push_back(inner[i]);
        }
        return closedThrough(pts);
    }
    case shape::OvalCallout: {
        BezierPath p = BezierPath::oval(Rect(x0, y0 + h / 4, w, h * 3 / 4));
        p.appendPath(polygon(
            { { x0 + w / 4, y0 + h / 3 }, { x0 + w / 2.5, y0 + h / 3 }, { x0 + w / 6, y0 } }));
        return p;
    }
    case shape::RoundedBoxCallout:
    default: {
        BezierPath p = BezierPath::roundedRect(Rect(x0, y0 + h / 4, w, h * 3 / 4), w / 8, w / 8);
        p.appendPath(polygon(
            { { x0 + w / 4, y0 + h / 3 }, { x0 + w / 2.5, y0 + h / 3 }, { x0 + w / 6, y0 } }));
        return p;
    }
    }
}

} // namespace

ShapeButton::ShapeButton(int tag, QWidget* parent)
    : platform::Control(parent)
    , m_tag(tag)
{
    setAttribute(Qt::WA_Hover);
}

void ShapeButton::drawRect(platform::GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    if (isHovered() || isHighlighted()) {
        ctx.setFillColor(colorWithValue(isHighlighted() ? 0xD0D4DA : 0xE8EBEF));
        ctx.fillPath(BezierPath::roundedRect(b.insetBy(3, 3), 6, 6));
    }
    bool stroked = false;
    const BezierPath icon
        = shapeIcon(m_tag, b.insetBy(b.size.width * 0.25, b.size.height * 0.25), stroked);
    const platform::Color ink = colorWithValue(0x3A3D42);
    if (stroked) {
        ctx.setStrokeColor(ink);
        platform::StrokeStyle style = ctx.strokeStyle();
        style.width = 2.5;
        style.cap = platform::LineCap::Round;
        style.join = platform::LineJoin::Round;
        ctx.setStrokeStyle(style);
        ctx.strokePath(icon);
    } else {
        ctx.setFillColor(ink);
        ctx.fillPath(icon);
    }
}

void ShapeButton::mouseUp(const Point& location, unsigned)
{
    if (bounds().contains(location))
        sendAction();
}

ShapePanelWindow::ShapePanelWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint)
{
}

QRect ShapePanelWindow::frameForSize(const QSize& size) const
{
    // Qt's screen y grows downwards: keeping the top edge keeps y.
    const QRect old = geometry();
    return QRect(old.x() + (old.width() - size.width()), old.y(), size.width(), size.height());
}

void ShapePanelWindow::setFrame(const QRect& frame)
{
    setGeometry(m_inLiveResize ? frameForSize(frame.size()) : frame);
}

void ShapePanelWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
        resignKeyWindow();
}

ShapePanel::ShapePanel(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
{
}

ShapePanel::~ShapePanel()
{
    delete m_panel.data();
}

ShapePanelWindow* ShapePanel::panel()
{
    if (!m_panel)
        windowDidLoad();
    return m_panel;
}

BackgroundView* ShapePanel::backgroundView()
{
    panel();
    return m_backgroundView;
}

const std::vector<ShapeButton*>& ShapePanel::buttons()
{
    panel();
    return m_buttons;
}

void ShapePanel::windowDidLoad()
{
    m_buttons.clear();
    m_panel = new ShapePanelWindow(m_owner);
    m_panel->setMouseTracking(true);
    m_panel->setAttribute(Qt::WA_TranslucentBackground);
    m_panel->resize(kWidth, kHeight);
    m_backgroundView = new BackgroundView(m_panel);
    m_backgroundView->setGeometry(0, 0, kWidth, kHeight);
    m_backgroundView->setBackgroundColor(platform::Color::white());
    int index = 0;
    for (int tag : kShapeTags) {
        auto* button = new ShapeButton(tag, m_backgroundView);
        button->setGeometry(kMarginX + (index % kColumns) * kButtonSize,
            kTop + (index / kColumns) * kButtonSize, kButtonSize, kButtonSize);
        button->setAction(
            [this](platform::Control& sender) { shapeClicked(static_cast<ShapeButton&>(sender)); });
        m_buttons.push_back(button);
        ++index;
    }
}

void ShapePanel::showWindow()
{
    panel();
    ++m_generation;
    if (m_fade)
        m_fade->stop();
    // A finished or stopped fade-out leaves the panel transparent; a new showing starts opaque
    // (the caller may still fade it in from there).
    m_panel->setWindowOpacity(1.0);
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void ShapePanel::shapeClicked(ShapeButton& sender)
{
    QPointer<ShapePanel> self = this;
    PerformSelectorIfResponding<ShapeButton&>(m_target, sender);
    if (!self || !m_panel)
        return; // the target closed the owner
    if (m_fade)
        m_fade->stop();
    auto* fade = new QPropertyAnimation(m_panel, "windowOpacity", m_panel);
    m_fade = fade;
    fade->setDuration(kFadeMilliseconds);
    fade->setEndValue(0.0);
    const unsigned generation = m_generation;
    connect(fade, &QPropertyAnimation::finished, this, [this, generation] {
        if (generation == m_generation && m_panel)
            m_panel->hide();
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
