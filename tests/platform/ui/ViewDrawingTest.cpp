// Drawing a view tree: renderToImage, group opacity, the group's drop shadow, hidden views,
// dirty rectangles and the host's y-up painting.
#include "TestViews.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"

#include <QPixmap>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::Rgba;
using uitest::FillView;

namespace {

const Color kWhite = Color::white();
const Color kRed { 1, 0, 0, 1 };
const Color kBlue { 0, 0, 1, 1 };
const Rgba kWhitePx { 255, 255, 255, 255 };
const Rgba kRedPx { 255, 0, 0, 255 };
const Rgba kBluePx { 0, 0, 255, 255 };
const Rgba kBlackPx { 0, 0, 0, 255 };

// Sets needs-display from inside drawRect, which drawing must refuse.
class MisbehavingView : public View {
public:
    using View::View;
    void drawRect(const Rect&, GraphicsContext&) override
    {
        setNeedsDisplay();
        removeFromSuperview();
    }
};

} // namespace

TEST(RenderToImage, ScaleTwoIsYUpAndCeilsThePixelSize)
{
    FillView root(Rect(0, 0, 100, 50), kBlue);
    root.addSubview(std::make_unique<FillView>(Rect(10, 10, 10, 5), kRed));
    const Image image = renderToImage(root, Rect(0, 0, 100, 50), 2.0);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelSize(), QSize(200, 100));
    EXPECT_EQ(image.size(), Size(100, 50));
    const QImage px = image.toQImage();
    // The red view covers pixels 20..39 across and 20..29 up from the bottom.
    EXPECT_PIXEL_NEAR(px, 20, 20, kRedPx, 0);
    EXPECT_PIXEL_NEAR(px, 39, 29, kRedPx, 0);
    EXPECT_PIXEL_NEAR(px, 19, 25, kBluePx, 0);
    EXPECT_PIXEL_NEAR(px, 30, 30, kBluePx, 0);

    // A part of the view, at a fractional size.
    const Image part = renderToImage(root, Rect(5, 8, 10.25, 5), 2.0);
    EXPECT_EQ(part.pixelSize(), QSize(21, 10));
    EXPECT_PIXEL_NEAR(part.toQImage(), 10, 4, kRedPx, 0);
    EXPECT_PIXEL_NEAR(part.toQImage(), 9, 4, kBluePx, 0);
    EXPECT_PIXEL_NEAR(part.toQImage(), 10, 3, kBluePx, 0);

    struct Bad {
        const char* name;
        Rect rect;
        double scale;
    };
    const Bad bad[] = {
        { "empty", { 0, 0, 0, 10 }, 1 },
        { "zero scale", { 0, 0, 10, 10 }, 0 },
        { "NaN scale", { 0, 0, 10, 10 }, NAN },
        { "infinite rect", { 0, 0, INFINITY, 10 }, 1 },
        { "huge", { 0, 0, 1e6, 1e6 }, 1 },
    };
    for (const Bad& row : bad)
        EXPECT_TRUE(renderToImage(root, row.rect, row.scale).isNull()) << row.name;
}

TEST(ViewDrawing, HiddenViewsDrawNothing)
{
    FillView root(Rect(0, 0, 40, 40), kBlue);
    auto* child = root.addSubview(std::make_unique<FillView>(Rect(0, 0, 20, 20), kRed));
    auto* grandchild = child->addSubview(std::make_unique<FillView>(Rect(0, 0, 5, 5), kWhite));
    child->setHidden(true);
    const QImage px = renderToImage(root, root.bounds(), 1).toQImage();
    EXPECT_PIXEL_NEAR(px, 2, 2, kBluePx, 0);
    EXPECT_PIXEL_NEAR(px, 10, 10, kBluePx, 0);
    EXPECT_EQ(child->drawCount, 0);
    EXPECT_EQ(grandchild->drawCount, 0);
}

TEST(ViewDrawing, GroupOpacityBlendsTheWholeGroupOnce)
{
    FillView root(Rect(0, 0, 60, 20), kWhite);
    auto* group = root.addSubview(std::make_unique<View>(Rect(0, 0, 60, 20)));
    group->addSubview(std::make_unique<FillView>(Rect(0, 0, 40, 20), kRed));
    group->addSubview(std::make_unique<FillView>(Rect(20, 0, 40, 20), kRed));
    group->setAlphaValue(0.5);
    const QImage px = renderToImage(root, root.bounds(), 1).toQImage();
    // Half red over white everywhere: the overlap is no darker than the rest.
    const Rgba half { 255, 128, 128, 255 };
    EXPECT_PIXEL_NEAR(px, 10, 10, half, 2);
    EXPECT_PIXEL_NEAR(px, 30, 10, half, 2);
    EXPECT_PIXEL_NEAR(px, 50, 10, half, 2);
}

TEST(ViewDrawing, DropShadowFollowsTheGroupsAlpha)
{
    struct Row {
        const char* name;
        double zoom;
        double blur;
    };
    const Row rows[] = { { "sharp", 1, 0 }, { "sharp at zoom 2", 2, 0 }, { "blurred", 1, 8 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FillView root(Rect(0, 0, 200, 200), kWhite);
        auto* canvas = root.addSubview(std::make_unique<View>(Rect(0, 0, 200, 200)));
        canvas->scaleUnitSquareToSize({ row.zoom, row.zoom });
        // The outermost view of a box nest: transparent itself, carrying the shadow.
        auto* nest = canvas->addSubview(std::make_unique<View>(canvas->bounds()));
        nest->addSubview(std::make_unique<FillView>(Rect(20, 40, 20, 20), kRed));
        nest->setShadow(Shadow { { 10, -10 }, row.blur, Color(0, 0, 0, 1) });
        const QImage px = renderToImage(root, root.bounds(), 1).toQImage();

        const int z = int(row.zoom);
        // The content covers its shadow.
        EXPECT_PIXEL_NEAR(px, 30 * z, 50 * z, kRedPx, 0);
        EXPECT_PIXEL_NEAR(px, 38 * z, 42 * z, kRedPx, 0);
        // Right of and below the content, offset (10, -10) in the nest's own units.
        if (row.blur == 0) {
            EXPECT_PIXEL_NEAR(px, 45 * z, 35 * z, kBlackPx, 0);
            EXPECT_PIXEL_NEAR(px, 49 * z + z - 1, 31 * z, kBlackPx, 0);
            EXPECT_PIXEL_NEAR(px, 51 * z, 35 * z, kWhitePx, 0);
            EXPECT_PIXEL_NEAR(px, 45 * z, 29 * z, kWhitePx, 0);
        } else {
            // Dark at the middle of the shadow, graded across its edge, gone far off.
            const auto grey = [&](int x, int y) { return testsupport::pixelAt(px, x, y).r; };
            EXPECT_LT(grey(45, 40), 40);
            EXPECT_GT(grey(50, 40), 80);
            EXPECT_LT(grey(50, 40), 180);
            EXPECT_LT(grey(47, 40), grey(50, 40));
            EXPECT_LT(grey(50, 40), grey(53, 40));
            EXPECT_GT(grey(65, 40), 250);
        }
        // No shadow where the offset does not carry it.
        EXPECT_PIXEL_NEAR(px, 15, 65 * z, kWhitePx, 0);
    }
}

TEST(ViewDrawing, DirtyRectsReachTheHostInWidgetCoordinates)
{
    ViewHost host;
    host.resize(300, 200);
    auto root = std::make_unique<View>();
    auto* canvas = root->addSubview(std::make_unique<View>(Rect(0, 0, 300, 200)));
    canvas->scaleUnitSquareToSize({ 2, 2 });
    auto* box = canvas->addSubview(std::make_unique<View>(Rect(10, 10, 20, 20)));
    host.setRootView(std::move(root));
    // Painting (here through grab) forgets what was marked.
    host.grab();

    // Marked region in the box -> window (20, 20)-(30, 30), y-up -> widget y 170..180.
    box->setNeedsDisplayInRect({ 0, 0, 5, 5 });
    EXPECT_TRUE(box->needsDisplay());
    EXPECT_EQ(box->dirtyRect(), Rect(0, 0, 5, 5));
    EXPECT_FALSE(canvas->needsDisplay());
    EXPECT_EQ(host.pendingRepaint().boundingRect(), QRect(19, 169, 12, 12));

    // A hidden view asks for nothing; a shadow widens the request by its reach.
    host.grab();
    EXPECT_TRUE(host.pendingRepaint().isEmpty());
    EXPECT_FALSE(box->needsDisplay());
    box->setHidden(true);
    host.grab();
    box->setNeedsDisplay();
    EXPECT_TRUE(host.pendingRepaint().isEmpty());
    box->setHidden(false);
    host.grab();
    canvas->setShadow(Shadow { { 0, 0 }, 2, Color(0, 0, 0, 1) });
    host.grab();
    box->setNeedsDisplayInRect({ 0, 0, 5, 5 });
    // Reach 1.5 * blur + 1 = 4 own units of the canvas around the box's 5 x 5 corner.
    EXPECT_EQ(host.pendingRepaint().boundingRect(), QRect(11, 161, 28, 28));
}

TEST(ViewDrawing, DrawingNeverInvalidatesOrChangesTheTree)
{
    FillView root(Rect(0, 0, 20, 20), kBlue);
    auto* bad = root.addSubview(std::make_unique<MisbehavingView>(Rect(0, 0, 10, 10)));
    root.clearNeedsDisplayInTree();
    const Image image = renderToImage(root, root.bounds(), 1);
    EXPECT_FALSE(image.isNull());
    EXPECT_FALSE(bad->needsDisplay());
    EXPECT_EQ(bad->superview(), &root);
    EXPECT_FALSE(View::isDrawing());
}

TEST(ViewHostPainting, PaintsTheTreeYUp)
{
    ViewHost host;
    host.resize(80, 60);
    auto root = std::make_unique<FillView>(Rect(), kWhite);
    auto* canvas = root->addSubview(std::make_unique<View>(Rect(0, 0, 80, 60)));
    canvas->scaleUnitSquareToSize({ 2, 2 });
    canvas->addSubview(std::make_unique<FillView>(Rect(0, 0, 10, 5), kRed));
    host.setRootView(std::move(root));
    const QImage px = host.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(px.size(), QSize(80, 60));
    // The red view sits at the bottom-left, 20 x 10 pixels after the zoom.
    EXPECT_PIXEL_NEAR(px, 0, 0, kRedPx, 0);
    EXPECT_PIXEL_NEAR(px, 19, 9, kRedPx, 0);
    EXPECT_PIXEL_NEAR(px, 20, 9, kWhitePx, 0);
    EXPECT_PIXEL_NEAR(px, 5, 10, kWhitePx, 0);
}

// Moving few views asks for exactly their old and new areas; moving many asks for a bounded
// number of rectangles (at worst their bounding box), so that each request stays cheap. Either
// way repainting what was asked for over the old picture gives the full picture.
TEST(ViewHostPainting, RepaintRequestsOfManyMovesStayBoundedAndComplete)
{
    struct Row {
        const char* name;
        int views;
        bool exact;
    };
    for (const Row& row :
        { Row { "three views", 3, true }, Row { "three hundred views", 300, false } }) {
        SCOPED_TRACE(row.name);
        ViewHost host;
        host.resize(400, 300);
        auto root = std::make_unique<FillView>(Rect(), kWhite);
        std::vector<View*> views;
        for (int i = 0; i < row.views; ++i)
            views.push_back(root->addSubview(std::make_unique<FillView>(
                Rect(10.0 + (i * 97) % 370, 10.0 + (i * 53) % 270, 6, 6), kRed)));
        host.setRootView(std::move(root));
        QImage shown(400, 300, QImage::Format_ARGB32_Premultiplied);
        shown.fill(Qt::green);
        host.render(&shown);
        ASSERT_TRUE(host.pendingRepaint().isEmpty());

        for (View* v : views)
            v->setFrameOrigin(v->frame().origin + Point(3, 2));
        const QRegion asked = host.pendingRepaint();
        EXPECT_LE(asked.rectCount(), 32);
        for (const View* v : views) {
            const QRect now = host.widgetRectFromWindow(v->frame()).toAlignedRect();
            EXPECT_TRUE((QRegion(now) - asked).isEmpty());
            EXPECT_TRUE((QRegion(now.translated(-3, 2)) - asked).isEmpty());
        }
        const double area = [&] {
            double a = 0;
            for (const QRect& r : asked)
                a += double(r.width()) * r.height();
            return a;
        }();
        const QRect bounds = asked.boundingRect();
        if (row.exact)
            EXPECT_LT(area, 0.5 * bounds.width() * bounds.height());

        // (render puts the region's top left at the offset given.)
        host.render(&shown, asked.boundingRect().topLeft(), asked);
        QImage full(400, 300, QImage::Format_ARGB32_Premultiplied);
        host.render(&full);
        EXPECT_EQ(testsupport::worstDifference(shown, full), 0);
    }
}

TEST(ViewDrawing, ShadowFromContentOutsideTheDrawnRect)
{
    // Only the shadow lies in the drawn part (42, 30)-(52, 38); the content casting it does not.
    const auto makeTree = [] {
        auto root = std::make_unique<FillView>(Rect(0, 0, 200, 200), kWhite);
        auto* nest = root->addSubview(std::make_unique<View>(root->bounds()));
        nest->addSubview(std::make_unique<FillView>(Rect(20, 40, 20, 20), kRed));
        nest->setShadow(Shadow { { 10, -10 }, 0, Color(0, 0, 0, 1) });
        return root;
    };
    auto root = makeTree();
    const QImage rendered = renderToImage(*root, Rect(42, 30, 10, 8), 1).toQImage();
    EXPECT_PIXEL_NEAR(rendered, 2, 2, kBlackPx, 0);
    EXPECT_PIXEL_NEAR(rendered, 9, 2, kWhitePx, 0);

    // The same through a partial repaint of the host.
    ViewHost host;
    host.resize(200, 200);
    host.setRootView(makeTree());
    QImage painted(10, 8, QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    host.render(&painted, QPoint(), QRegion(QRect(42, 200 - 38, 10, 8)));
    EXPECT_PIXEL_NEAR(painted, 2, 2, kBlackPx, 0);
    EXPECT_PIXEL_NEAR(painted, 9, 2, kWhitePx, 0);
}

TEST(ViewHostPainting, PutsDownTheRepaintedRegionOverWhatTheTargetHolds)
{
    // A translucent red view over the whole host; the target holds blue. Only two bands of the
    // host are repainted: between them the target keeps its blue, in them red lies over blue.
    struct Row {
        const char* name;
        QImage::Format format;
        QPoint offset; // where the host lands in the target
        double pixelRatio;
    };
    const Row rows[] = {
        { "a premultiplied image", QImage::Format_ARGB32_Premultiplied, QPoint(), 1.0 },
        { "an opaque image", QImage::Format_RGB32, QPoint(), 1.0 },
        { "an image the host lands in at an offset", QImage::Format_ARGB32_Premultiplied,
            QPoint(7, 5), 1.0 },
        { "a high-density image", QImage::Format_ARGB32_Premultiplied, QPoint(), 2.0 },
    };
    const Rgba kRedOverBluePx { 128, 0, 127, 255 };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewHost host;
        host.resize(60, 40);
        auto root = std::make_unique<View>(Rect(0, 0, 60, 40));
        root->addSubview(std::make_unique<FillView>(Rect(0, 0, 60, 40), Color(1, 0, 0, 0.5)));
        host.setRootView(std::move(root));
        QImage target(QSize(80, 60) * row.pixelRatio, row.format);
        target.setDevicePixelRatio(row.pixelRatio);
        target.fill(QColor(0, 0, 255));
        const QRegion bands = QRegion(0, 0, 20, 40) + QRegion(40, 0, 20, 40);
        host.render(&target, row.offset, bands, QWidget::DrawChildren);
        QImage px = target.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        px.setDevicePixelRatio(1.0);
        const int s = int(row.pixelRatio);
        // Target pixels, y-up: the host's top-left widget pixel (x, y) is at row.offset.
        auto at = [&](int x, int y) {
            return QPoint(s * (row.offset.x() + x), px.height() - 1 - s * (row.offset.y() + y));
        };
        for (const auto& [x, y] : { std::pair { 2, 3 }, { 19, 39 }, { 40, 0 }, { 59, 20 } })
            EXPECT_PIXEL_NEAR(px, at(x, y).x(), at(x, y).y(), kRedOverBluePx, 1);
        for (const auto& [x, y] : { std::pair { 20, 3 }, { 39, 39 }, { 30, 20 } })
            EXPECT_PIXEL_NEAR(px, at(x, y).x(), at(x, y).y(), kBluePx, 0);
        // Outside the host, the target is left alone.
        EXPECT_PIXEL_NEAR(px, at(61, 20).x(), at(61, 20).y(), kBluePx, 0);
    }
}

// A picture drawn with a shadow margin around it shares its pixels with the buffer the next
// picture is drawn in while it lives: the next picture must not draw over it, nor see what
// its holder wrote into it.
TEST(RenderToImage, AKeptPictureIsNotDrawnOverByTheNext)
{
    const auto makeTree = [](const Color& colour) {
        auto root = std::make_unique<FillView>(Rect(0, 0, 60, 40), kWhite);
        auto* nest = root->addSubview(std::make_unique<View>(root->bounds()));
        nest->addSubview(std::make_unique<FillView>(Rect(10, 10, 20, 20), colour));
        nest->setShadow(Shadow { { 4, -4 }, 6, Color(0, 0, 0, 1) });
        return root;
    };
    auto red = makeTree(kRed), blue = makeTree(kBlue);
    QImage first = renderToImage(*red, red->bounds(), 1).toQImage();
    ASSERT_EQ(first.size(), QSize(60, 40));
    const QImage expected = first.copy();
    EXPECT_PIXEL_NEAR(first, 20, 20, kRedPx, 0);
    const QImage second = renderToImage(*blue, blue->bounds(), 1).toQImage();
    EXPECT_PIXEL_NEAR(second, 20, 20, kBluePx, 0);
    EXPECT_EQ(first, expected);

    // Written into, then let go: the next picture starts clear.
    first.fill(qRgba(0, 255, 0, 255));
    first = QImage();
    const QImage third = renderToImage(*blue, blue->bounds(), 1).toQImage();
    EXPECT_EQ(third, second);
}
