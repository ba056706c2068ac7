#pragma once
// Helpers shared by the box tests: fills, pictures, pixel probes at model points, an image box
// nest with a stand-in container, clicks through a hosting widget, and a guard for the
// process-wide box state.
#include "boxes/BoxHost.h"
#include "boxes/BoxStatics.h"
#include "boxes/MyImageView.h"
#include "boxes/MyImageViewSuper.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace boxtest {

using testsupport::Rgba;

inline const Rgba kClear { 0, 0, 0, 0 };
inline const Rgba kBlack { 0, 0, 0, 255 };
inline const Rgba kWhite { 255, 255, 255, 255 };
inline const Rgba kRed { 255, 0, 0, 255 };
inline const Rgba kGreen { 0, 255, 0, 255 };
inline const Rgba kBlue { 0, 0, 255, 255 };

inline SZGradient solid(const platform::Color& c, int kind = SZGradient::ColorFill)
{
    SZGradient g;
    g.gradientType = kind;
    g.color = c;
    return g;
}

inline SZGradient noFill()
{
    return solid(platform::Color(), SZGradient::NoFill);
}

inline SZGradient linear(
    const platform::Color& from, const platform::Color& to, double angle = 0, int drawType = 0)
{
    SZGradient g;
    g.gradientType = SZGradient::LinearFill;
    g.gradient = platform::Gradient(from, to);
    g.angle = angle;
    g.drawType = drawType;
    return g;
}

inline QImage render(platform::View& view)
{
    return platform::renderToImage(view, view.bounds(), 1).toQImage();
}

// An expected colour at a pixel (y-up), for tables of probes.
struct PixelCheck {
    int x, y;
    Rgba expected;
};

inline void expectPixels(const QImage& image, const std::vector<PixelCheck>& checks, int tolerance)
{
    for (const PixelCheck& c : checks)
        EXPECT_PIXEL_NEAR(image, c.x, c.y, c.expected, tolerance);
}

inline QImage pixels(int w, int h, const QColor& colour = QColor(200, 40, 10))
{
    QImage px(w, h, QImage::Format_ARGB32_Premultiplied);
    px.fill(colour);
    return px;
}

inline platform::Image picture(int w = 8, int h = 4, const QColor& colour = QColor(200, 40, 10))
{
    return platform::Image::fromQImage(pixels(w, h, colour));
}

// The pixel under a model point (y-up).
inline Rgba probe(const QImage& image, const platform::Point& p)
{
    return testsupport::pixelAt(image, int(std::floor(p.x)), int(std::floor(p.y)));
}

// Restores the process-wide box state whatever a test leaves behind, and starts from rest.
struct StaticsGuard {
    EditAnimation animation = gEditAnimation;
    bool exporting = gCanvasExporting;
    WarpCaptureRect capture = gWarpCaptureRect;
    StaticsGuard()
    {
        gEditAnimation = EditAnimation();
        gCanvasExporting = false;
        gWarpCaptureRect = WarpCaptureRect();
    }
    ~StaticsGuard()
    {
        gEditAnimation = animation;
        gCanvasExporting = exporting;
        gWarpCaptureRect = capture;
    }
};

// Fills its bounds: the picture under the boxes.
class PlainView : public platform::View {
public:
    PlainView(const platform::Rect& frame, const platform::Color& color)
        : View(frame)
        , m_color(color)
    {
    }
    void drawRect(const platform::Rect&, platform::GraphicsContext& ctx) override
    {
        ctx.setFillColor(m_color);
        ctx.fillRect(bounds());
    }

private:
    platform::Color m_color;
};

// The container stand-in: records presses (its own and those boxes hand it) and says which box
// outline lies under its own.
class FakeContainer : public platform::View, public BoxHost {
public:
    using View::View;
    std::vector<MyViewBase*> boxes;
    std::vector<platform::Point> presses; // container coordinates
    MyViewBase* hitBox = nullptr;
    std::vector<platform::Point> boxPresses;

    bool mouseDown(const platform::Event& event) override
    {
        const platform::Point p = convertPointFromView(event.locationInWindow(), nullptr);
        presses.push_back(p);
        hitBox = nullptr;
        for (MyViewBase* box : boxes) {
            std::array<platform::Point, 8> q;
            box->GetFourPoints(q, 0);
            platform::BezierPath outline;
            outline.moveTo(q[0]);
            outline.lineTo(q[1]);
            outline.lineTo(q[2]);
            outline.lineTo(q[3]);
            outline.closePath();
            if (outline.containsPoint(p))
                hitBox = box;
        }
        return true;
    }
    void mouseDownAtTextBox(const platform::Point& point, const platform::Event&) override
    {
        boxPresses.push_back(point);
    }
};

// An image box in its nest: container > [picture] > warp view > wrapper > (box, overlay).
struct ImageNest {
    FakeContainer container { platform::Rect(0, 0, 200, 150) };
    platform::View* warp = nullptr;
    MyImageViewSuper* wrapper = nullptr;
    MyImageView* box = nullptr;

    explicit ImageNest(const platform::Rect& frame = platform::Rect(20, 30, 80, 40),
        std::optional<platform::Color> under = std::nullopt)
    {
        if (under)
            container.addSubview(std::make_unique<PlainView>(container.bounds(), *under));
        auto image = std::make_unique<MyImageView>(frame);
        box = image.get();
        box->setMyTextViewContainer(&container);
        container.boxes.push_back(box);
        warp = container.addSubview(std::make_unique<platform::View>(container.bounds()));
        wrapper = warp->addSubview(
            std::make_unique<MyImageViewSuper>(std::move(image), container.bounds()));
    }
    QImage render() { return boxtest::render(container); }
};

// A left click, press and release, at a window point of a hosted view tree.
inline void clickInHost(platform::ViewHost& host, const platform::Point& windowPoint)
{
    const QPointF w = host.widgetPointFromWindow(windowPoint);
    QMouseEvent down(QEvent::MouseButtonPress, w, host.mapToGlobal(w), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&host, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, w, host.mapToGlobal(w), Qt::LeftButton, Qt::NoButton,
        Qt::NoModifier);
    QCoreApplication::sendEvent(&host, &up);
}

} // namespace boxtest
