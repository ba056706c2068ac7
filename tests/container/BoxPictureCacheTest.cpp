// The boxes' kept pictures on a hosted layer: after each change a person makes (a nudge, a
// drag, a shadow, a fill, a turn, a warp, a zoom, an undo) the screen is what a drawing from
// scratch shows, pixel for pixel, selection handles included; moves and shadow changes draw no
// box again.
#include "LayerRecords.h"
#include "container/SelectedTextBoxView.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ViewDrawingCache.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"

#include <functional>
#include <gtest/gtest.h>

using namespace platform;
using layertest::Box;
using layertest::Kind;

namespace {

constexpr int kWidth = 400, kHeight = 300;

SZGradient solidFill(const Color& c)
{
    SZGradient g;
    g.gradientType = SZGradient::ColorFill;
    g.color = c;
    return g;
}

// Four boxes: a shadowed text with a border and a background, a turned text with a box
// shadow, a curved text and a picture box, all selected but the picture.
struct HostedLayer {
    HostedLayer()
    {
        std::vector<UNDODATA> records;
        auto text = [](const Rect& frame, const QString& characters) {
            UNDODATA r = layertest::record({ Kind::Text, true, frame });
            r.rtf = AttributedString(
                characters, { { TextAttributeNames::kern, AttributeValue(0.5) } });
            return r;
        };
        UNDODATA shadowed = text(Rect(40, 180, 150, 60), QStringLiteral("Shadowed"));
        shadowed.shadowColor = Color(0, 0, 0.2, 0.6);
        shadowed.shadowBlurSize = 8;
        shadowed.shadowOffsetSize = 5;
        shadowed.borderSize = 3;
        shadowed.borderColor = solidFill(Color(0.9, 0.5, 0.1, 1));
        shadowed.backColor = solidFill(Color(0.9, 0.9, 0.6, 0.8));
        records.push_back(shadowed);
        UNDODATA turned = text(Rect(200, 120, 140, 50), QStringLiteral("Turned"));
        turned.rotationAngle = 25;
        turned.boxShadowColor = Color(0.3, 0, 0, 0.8);
        turned.boxShadowBlurSize = 4;
        turned.boxShadowOffsetSize = 3;
        turned.layerOpacity = 0.8;
        records.push_back(turned);
        UNDODATA curved = text(Rect(60, 40, 180, 60), QStringLiteral("Curved text"));
        curved.curves = { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } };
        records.push_back(curved);
        records.push_back(layertest::record({ Kind::Image, false, Rect(280, 30, 80, 60) }));
        rig.container->applyUndoData(ContainerSnapshot(std::move(records)));

        host.resize(kWidth, kHeight);
        auto root = std::make_unique<View>(Rect(0, 0, kWidth, kHeight));
        c = root->addSubview(std::move(rig.container));
        auto overlay = std::make_unique<SelectedTextBoxView>(Rect(0, 0, kWidth, kHeight));
        overlay->setContainer(c);
        c->selectedView = root->addSubview(std::move(overlay));
        host.setRootView(std::move(root));
        ViewDrawingCache::clear();
    }
    // The host's paint, reusing what the boxes kept.
    QImage painted()
    {
        QImage image = testsupport::blankImage(kWidth, kHeight);
        host.render(&image);
        return image;
    }
    QImage fresh()
    {
        ViewDrawingCache::clear();
        return painted();
    }
    ContainerRig rig { Size(kWidth, kHeight) };
    ViewHost host;
    TextViewContainer* c = nullptr;
};

} // namespace

TEST(BoxPictureCache, EveryChangeShowsWhatAFreshDrawingShows)
{
    struct Row {
        const char* name;
        std::function<void(HostedLayer&)> change;
        bool redrawsBoxes;
        std::function<void(HostedLayer&)> before = [](HostedLayer&) {};
    };
    const Row rows[] = {
        { "arrow key right", [](HostedLayer& l) { l.c->MoveTextBoxwithKey(124, false); }, false },
        { "shift arrow key up", [](HostedLayer& l) { l.c->MoveTextBoxwithKey(126, true); }, false },
        { "drag of the selection by whole pixels",
            [](HostedLayer& l) {
                const Point to(133, 191);
                l.c->mouseDragged(Event::mouseEvent(EventType::LeftMouseDragged, to, 0));
            },
            false,
            // The press refreshes the text boxes it selects (drawn again once).
            [](HostedLayer& l) {
                const Point from(100, 210);
                l.c->mouseDownAtTextBox(from, Event::mouseEvent(EventType::LeftMouseDown, from, 0));
            } },
        { "drop shadow blur", [](HostedLayer& l) { l.c->shadowBlurChanged(13); }, false },
        { "drop shadow offset", [](HostedLayer& l) { l.c->shadowOffsetChanged(9); }, false },
        { "drop shadow colour",
            [](HostedLayer& l) { l.c->shadowColorChanged(Color(0.5, 0, 0, 0.9)); }, false },
        { "background fill",
            [](HostedLayer& l) { l.c->backgroundColorChanged(solidFill(Color(0.2, 0.6, 0.9, 1))); },
            true },
        { "border width", [](HostedLayer& l) { l.c->borderSizeChanged(7); }, true },
        { "box shadow blur", [](HostedLayer& l) { l.c->boxShadowBlurChanged(9); }, true },
        { "opacity", [](HostedLayer& l) { l.c->textboxOpacityChanged(0.5); }, true },
        { "turn", [](HostedLayer& l) { l.c->textboxAngleChanged(40); }, true },
        { "curve", [](HostedLayer& l) { l.c->curvesChanged(0.2); }, true },
        { "zoom", [](HostedLayer& l) { l.host.rootView()->setUnitScale(Size(1.25, 1.25)); }, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostedLayer l;
        row.before(l);
        l.painted();
        const qint64 drawn = ViewDrawingCache::picturesDrawn();
        row.change(l);
        l.rig.endEvent();
        const QImage shown = l.painted();
        EXPECT_EQ(ViewDrawingCache::picturesDrawn() > drawn, row.redrawsBoxes);
        EXPECT_EQ(testsupport::worstDifference(shown, l.fresh()), 0);

        // Undo takes the layer back: the screen shows the layer as it was.
        l.rig.undo.undo();
        const QImage undone = l.painted();
        EXPECT_EQ(testsupport::worstDifference(undone, l.fresh()), 0);
    }
}

TEST(BoxPictureCache, ABoxBeingEditedIsDrawnEveryTime)
{
    HostedLayer l;
    l.painted();
    MyViewBase* box = l.c->textViewAry.front();
    l.c->AnimateBox(*box, true); // not warped: editing begins at once
    ASSERT_TRUE(openForTyping(box));
    l.painted();
    const qint64 drawn = ViewDrawingCache::picturesDrawn();
    l.c->setNeedsDisplay();
    const QImage shown = l.painted();
    // The edited box is drawn again (its caret and selection change on their own); the others
    // are put down from their pictures.
    EXPECT_EQ(ViewDrawingCache::picturesDrawn() - drawn, 1);
    EXPECT_EQ(testsupport::worstDifference(shown, l.fresh()), 0);
}
