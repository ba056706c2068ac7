// The views' kept pictures: what redraws a caching view and what only puts its picture down
// again, that the picture put down again is the picture a fresh drawing makes, the anchor that
// carries a picture along, and the shared budget.
#include "TestViews.h"
#include "platform/ui/ViewDrawingCache.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"

#include <functional>
#include <gtest/gtest.h>

using namespace platform;
using uitest::FillView;

namespace {

const Color kRed { 1, 0, 0, 1 };
const Color kBlue { 0, 0, 1, 1 };
const Color kGreen { 0, 0.6, 0, 0.8 };

// A caching group whose content follows one of its subviews (the anchor) when asked to.
class Group : public View {
public:
    explicit Group(const Rect& frame)
        : View(frame)
    {
        setCachesDrawing(true);
    }
    const View* anchor = nullptr;
    Rect extent = Rect::null();
    bool keepable = true;

protected:
    bool canKeepCachedDrawing() const override { return keepable; }
    Rect cachedDrawingExtent() const override { return extent.isNull() ? bounds() : extent; }
    const View* cachedDrawingAnchor() const override { return anchor ? anchor : this; }
};

// A host of 160 x 120 with a white root, a caching group of two boxes (one translucent over the
// other) and a plain view above the group.
struct Scene {
    Scene()
    {
        host.resize(160, 120);
        auto root = std::make_unique<FillView>(Rect(0, 0, 160, 120), Color::white());
        group = root->addSubview(std::make_unique<Group>(Rect(20, 10, 100, 80)));
        red = group->addSubview(std::make_unique<FillView>(Rect(10, 10, 40, 30), kRed));
        green = group->addSubview(std::make_unique<FillView>(Rect(30.5, 20.25, 40, 30), kGreen));
        above = root->addSubview(std::make_unique<FillView>(Rect(100, 70, 20, 20), kBlue));
        host.setRootView(std::move(root));
        ViewDrawingCache::clear();
    }
    // The host's own paint of everything, keeping and reusing pictures.
    QImage painted()
    {
        QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        host.render(&image);
        return image;
    }
    // The same with every kept picture let go first.
    QImage fresh()
    {
        ViewDrawingCache::clear();
        return painted();
    }
    ViewHost host;
    Group* group = nullptr;
    FillView* red = nullptr;
    FillView* green = nullptr;
    FillView* above = nullptr;
};

} // namespace

TEST(ViewCachedDrawing, WhatRedrawsAndWhatIsPutDownAgain)
{
    struct Row {
        const char* name;
        std::function<void(Scene&)> change;
        bool redraws;
    };
    const Shadow shadow { Size(3, -4), 6, Color(0, 0, 0, 0.5) };
    const Row rows[] = {
        { "nothing changed", [](Scene&) {}, false },
        { "the group moved by whole pixels",
            [](Scene& s) { s.group->setFrameOrigin(Point(27, 4)); }, false },
        { "the group given a shadow", [&](Scene& s) { s.group->setShadow(shadow); }, false },
        { "the shadow's blur and offset changed",
            [&](Scene& s) {
                s.group->setShadow(Shadow { Size(-5, 2), 11, Color(0.2, 0, 0.4, 0.7) });
            },
            false },
        { "the group made translucent", [](Scene& s) { s.group->setAlphaValue(0.6); }, false },
        { "the group hidden and shown again",
            [](Scene& s) {
                s.group->setHidden(true);
                s.group->setHidden(false);
            },
            false },
        { "a view outside the group changed", [](Scene& s) { s.above->setNeedsDisplay(); }, false },
        { "the group moved by half a pixel",
            [](Scene& s) { s.group->setFrameOrigin(Point(27.5, 4)); }, true },
        { "a subview marked for display", [](Scene& s) { s.green->setNeedsDisplay(); }, true },
        { "a subview moved", [](Scene& s) { s.red->setFrameOrigin(Point(12, 10)); }, true },
        { "a subview resized", [](Scene& s) { s.red->setFrameSize(Size(30, 30)); }, true },
        { "a subview turned", [](Scene& s) { s.green->setFrameRotation(20); }, true },
        { "a subview hidden", [](Scene& s) { s.green->setHidden(true); }, true },
        { "a subview added",
            [](Scene& s) {
                s.group->addSubview(std::make_unique<FillView>(Rect(0, 0, 8, 8), kBlue));
            },
            true },
        { "the group resized", [](Scene& s) { s.group->setFrameSize(Size(90, 80)); }, true },
        { "the group turned", [](Scene& s) { s.group->setFrameRotation(15); }, true },
        { "the window zoomed", [](Scene& s) { s.host.rootView()->setUnitScale(Size(1.5, 1.5)); },
            true },
        { "the group's content scrolled", [](Scene& s) { s.group->setBoundsOrigin(Point(3, 0)); },
            true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        s.painted();
        ASSERT_TRUE(s.group->hasCachedDrawing());
        const int before = s.red->drawCount;
        const qint64 pictures = ViewDrawingCache::picturesDrawn();
        row.change(s);
        const QImage again = s.painted();
        EXPECT_EQ(s.red->drawCount > before, row.redraws);
        EXPECT_EQ(ViewDrawingCache::picturesDrawn() > pictures, row.redraws);
        // Put down again or drawn anew, it is what a fresh drawing shows.
        EXPECT_EQ(testsupport::worstDifference(again, s.fresh()), 0);
    }
}

TEST(ViewCachedDrawing, IsTheGroupAsATransparencyLayerDrawsIt)
{
    // Without the cache a view with a shadow or an opacity is drawn through a transparency
    // layer over what shows: the kept picture, shadow and all, must give the same pixels.
    // Opaque, the shadow is cast once from the kept picture; translucent, from the picture at
    // its alpha each time.
    for (const double alpha : { 1.0, 0.8 }) {
        SCOPED_TRACE(alpha);
        Scene cached;
        Scene plain;
        plain.group->setCachesDrawing(false);
        for (Scene* s : { &cached, &plain }) {
            s->group->setShadow(Shadow { Size(4, -3), 9, Color(0, 0, 0.3, 0.6) });
            s->group->setAlphaValue(alpha);
        }
        cached.painted();
        cached.group->setFrameOrigin(Point(31, 17));
        plain.group->setFrameOrigin(Point(31, 17));
        EXPECT_EQ(testsupport::worstDifference(cached.painted(), plain.painted()), 0);
        // A blur cast ahead of the paint, as the host does for all kept pictures at once.
        for (Scene* s : { &cached, &plain })
            s->group->setShadow(Shadow { Size(-2, 5), 14, Color(0.4, 0, 0, 0.5) });
        View::castKeptShadows(*cached.host.rootView());
        EXPECT_EQ(testsupport::worstDifference(cached.painted(), plain.painted()), 0);
    }
}

TEST(ViewCachedDrawing, TheAnchorCarriesThePictureAlong)
{
    struct Row {
        const char* name;
        Point redTo;
        bool redraws;
    } rows[] = {
        { "anchor moved by whole pixels", Point(14, 3), false },
        { "anchor moved back", Point(10, 10), false },
        { "anchor moved by a fraction", Point(14.25, 3), true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        // Only the red box draws: the green one is out of the group's extent and hidden.
        s.green->setHidden(true);
        s.group->anchor = s.red;
        s.group->extent = s.red->frame();
        s.painted();
        const qint64 pictures = ViewDrawingCache::picturesDrawn();
        s.red->setFrameOrigin(row.redTo);
        s.group->extent = s.red->frame();
        const QImage again = s.painted();
        EXPECT_EQ(ViewDrawingCache::picturesDrawn() > pictures, row.redraws);
        EXPECT_EQ(testsupport::worstDifference(again, s.fresh()), 0);
    }
    // Another subview's move is a change of the content, anchor or not.
    Scene s;
    s.group->anchor = s.red;
    s.painted();
    const qint64 pictures = ViewDrawingCache::picturesDrawn();
    s.green->setFrameOrigin(Point(31.5, 20.25));
    const QImage again = s.painted();
    EXPECT_GT(ViewDrawingCache::picturesDrawn(), pictures);
    EXPECT_EQ(testsupport::worstDifference(again, s.fresh()), 0);
}

TEST(ViewCachedDrawing, PicturesShareOneBudgetLeastRecentlyUsedFirst)
{
    Scene s;
    View& root = *s.host.rootView();
    s.group->setHidden(true);
    // Five groups of 25 x 25 pixels (2500 bytes each) in a strip along the top.
    std::vector<Group*> groups;
    for (int i = 0; i < 5; ++i) {
        groups.push_back(root.addSubview(std::make_unique<Group>(Rect(10 + 30 * i, 95, 25, 25))));
        groups.back()->addSubview(std::make_unique<FillView>(Rect(0, 0, 25, 25), kBlue));
    }
    const auto paintAllButTheFirst = [&s] {
        QImage image = testsupport::blankImage(160, 120);
        s.host.render(&image, QPoint(), QRegion(38, 0, 122, 25));
    };
    ViewDrawingCache::setBudgetBytes(5 * 2500);
    s.painted();
    for (Group* g : groups)
        EXPECT_TRUE(g->hasCachedDrawing());
    EXPECT_EQ(ViewDrawingCache::usedBytes(), 5 * 2500);

    // After two paints without the first group, its picture is the one used longest ago.
    paintAllButTheFirst();
    paintAllButTheFirst();
    ViewDrawingCache::setBudgetBytes(4 * 2500);
    groups[1]->setNeedsDisplay();
    paintAllButTheFirst();
    EXPECT_EQ(ViewDrawingCache::usedBytes(), 4 * 2500);
    EXPECT_FALSE(groups[0]->hasCachedDrawing());
    for (int i = 1; i < 5; ++i)
        EXPECT_TRUE(groups[size_t(i)]->hasCachedDrawing()) << i;

    // Paints that need more than the budget keep the pictures they used lately and draw the one
    // beyond them without keeping it, rather than letting the others go one by one (each of
    // them would then be drawn anew at every paint).
    const qint64 drawn = ViewDrawingCache::picturesDrawn();
    s.painted();
    s.painted();
    EXPECT_EQ(ViewDrawingCache::picturesDrawn() - drawn, 2);
    EXPECT_FALSE(groups[0]->hasCachedDrawing());
    EXPECT_EQ(ViewDrawingCache::pictureCount(), 4);
    ViewDrawingCache::setBudgetBytes(std::nullopt);
    s.group->setHidden(false);

    // A picture larger than the whole budget is drawn but not kept.
    ViewDrawingCache::clear();
    ViewDrawingCache::setBudgetBytes(64);
    const QImage small = s.painted();
    ViewDrawingCache::setBudgetBytes(std::nullopt);
    EXPECT_EQ(ViewDrawingCache::pictureCount(), 0);
    EXPECT_EQ(testsupport::worstDifference(small, s.fresh()), 0);

    // A render into an image keeps nothing, and a view gone takes its picture along.
    ViewDrawingCache::clear();
    renderToImage(root, Rect(0, 0, 160, 120), 1.0);
    EXPECT_EQ(ViewDrawingCache::pictureCount(), 0);
    s.painted();
    const int kept = ViewDrawingCache::pictureCount();
    // A view that cannot keep its picture now lets it go when a host paints, not when an
    // image is made elsewhere (an export).
    groups[2]->keepable = false;
    renderToImage(root, Rect(0, 0, 160, 120), 1.0);
    EXPECT_TRUE(groups[2]->hasCachedDrawing());
    s.painted();
    EXPECT_FALSE(groups[2]->hasCachedDrawing());
    groups[2]->keepable = true;
    s.painted();
    ASSERT_EQ(ViewDrawingCache::pictureCount(), kept);
    groups.back()->removeFromSuperview();
    EXPECT_EQ(ViewDrawingCache::pictureCount(), kept - 1);
}

TEST(ViewCachedDrawing, ShadowsCastWhileTheTreeIsDrawnAreTheOnesAFreshDrawingCasts)
{
    // Sixty shadowed groups (their pictures enough pixels in all to be cast on several cores)
    // whose shadow changes between paints: the host casts their shadows
    // on the other cores while it draws, and each group put down waits for its own. Whether
    // the pictures stay, are drawn anew, or are let go while their shadows are being cast,
    // the pixels are those of drawing without kept pictures.
    struct Row {
        const char* name;
        std::function<void(Scene&, std::vector<Group*>&)> change;
        bool keptAll = true; // every picture is still kept after the partial repaint
    };
    const Row rows[] = {
        { "only the shadows changed", [](Scene&, std::vector<Group*>&) {} },
        { "every other group drawn anew too",
            [](Scene&, std::vector<Group*>& groups) {
                for (size_t i = 0; i < groups.size(); i += 2)
                    groups[i]->subviews().front()->setNeedsDisplay();
            } },
        { "pictures let go for a budget of a few",
            [](Scene&, std::vector<Group*>&) { ViewDrawingCache::setBudgetBytes(40000); }, false },
        { "half the groups off the repainted part",
            [](Scene& s, std::vector<Group*>& groups) {
                for (size_t i = 0; i < groups.size(); i += 2)
                    groups[i]->setFrameOrigin(Point(groups[i]->frame().origin.x, -60));
                (void)s;
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene cached, plain;
        std::vector<Group*> groups[2];
        for (int k = 0; k < 2; ++k) {
            Scene& s = k == 0 ? cached : plain;
            s.group->setHidden(true);
            for (int i = 0; i < 60; ++i) {
                auto* g = s.host.rootView()->addSubview(
                    std::make_unique<Group>(Rect(5 + 2.0 * (i % 30), 5 + 1.5 * (i % 40), 60, 40)));
                g->addSubview(std::make_unique<FillView>(Rect(4, 4, 44 + i % 7, 30), kGreen));
                g->setShadow(Shadow { Size(3, -2), 4, Color(0, 0, 0.4, 0.6) });
                g->setCachesDrawing(k == 0);
                groups[k].push_back(g);
            }
        }
        cached.painted();
        for (int k = 0; k < 2; ++k) {
            Scene& s = k == 0 ? cached : plain;
            for (size_t i = 0; i < groups[k].size(); ++i)
                groups[k][i]->setShadow(
                    Shadow { Size(-2, 4), 7.0 + double(i % 3), Color(0.5, 0, 0, 0.7) });
            row.change(s, groups[k]);
        }
        // A repaint of the lower part of the host only (widget rows 40 .. 119).
        auto part = [](Scene& s) {
            QImage image = testsupport::blankImage(160, 120);
            s.host.render(&image, QPoint(), QRegion(0, 40, 160, 80));
            return image;
        };
        const QImage got = part(cached);
        ViewDrawingCache::setBudgetBytes(std::nullopt);
        EXPECT_EQ(testsupport::worstDifference(got, part(plain)), 0);
        // Painted again with nothing changed, the shadows cast while drawing are put down.
        const qint64 drawn = ViewDrawingCache::picturesDrawn();
        EXPECT_EQ(testsupport::worstDifference(cached.painted(), plain.painted()), 0);
        if (row.keptAll)
            EXPECT_EQ(ViewDrawingCache::picturesDrawn(), drawn);
    }
}
