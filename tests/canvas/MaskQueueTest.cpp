// The mask render queue: coalescing, the prerendered bypass, generations and lifetime.
#include "CanvasTestSupport.h"
#include "canvas/CanvasMaskQueue.h"
#include "platform/document/Dispatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>

using namespace canvas;
using namespace canvastest;
using platform::FilterImage;
using platform::Rect;

namespace {

// Runs the event loop and the background pool until nothing is left to do.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        platform::dispatch::waitForBackground();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

struct Harness {
    std::atomic<int> drawn { 0 };
    std::vector<FilterImage> installed;
    bool drawing = true;
    std::unique_ptr<CanvasMaskQueue> queue = std::make_unique<CanvasMaskQueue>(
        [this] {
            CanvasMaskQueue::Source s;
            s.working = { 40, 30 };
            if (drawing)
                s.draw = [this](QPainter& p, const Rect&) {
                    ++drawn;
                    p.fillRect(QRectF(0, 0, 20, 30), Qt::white);
                };
            return s;
        },
        [this](const FilterImage& m) { installed.push_back(m); });
};

} // namespace

TEST(MaskQueue, RequestsDuringARenderCostOneMore)
{
    struct Row {
        const char* name;
        int extraRequests;
        int expectedRenders;
    };
    const Row rows[] = { { "single", 0, 1 }, { "one during", 1, 2 }, { "two during", 2, 2 },
        { "five during", 5, 2 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.queue->invalidateMask();
        for (int i = 0; i < row.extraRequests; ++i)
            h.queue->invalidateMask();
        settle();
        EXPECT_EQ(h.drawn.load(), row.expectedRenders);
        EXPECT_EQ(int(h.installed.size()), row.expectedRenders);
        EXPECT_FALSE(h.queue->busy());
    }
}

TEST(MaskQueue, DrawnMaskIsWhiteWhereDrawn)
{
    Harness h;
    h.queue->invalidateMask();
    settle();
    ASSERT_EQ(h.installed.size(), 1u);
    const QImage m = renderAt(h.installed.back(), Rect(0, 0, 40, 30));
    EXPECT_EQ(testsupport::pixelAt(m, 5, 5).g, 255);
    EXPECT_EQ(testsupport::pixelAt(m, 35, 5).g, 0);
    EXPECT_EQ(testsupport::pixelAt(m, 35, 5).a, 255);
}

// Each installation voids a render started before it.
TEST(MaskQueue, OlderResultsAreDropped)
{
    const FilterImage dab = leftHalfMask(40, 30);
    struct Row {
        const char* name;
        std::function<void(CanvasMaskQueue&)> meanwhile;
        size_t expectedInstalls;
        bool expectDab;
    };
    const Row rows[] = {
        { "a dab during the render", [&](CanvasMaskQueue& q) { q.setPrerenderedMask(dab); }, 1,
            true },
        { "a new picture during the render", [](CanvasMaskQueue& q) { q.pictureLoaded(); }, 0,
            false },
        { "a red tint change keeps the render", [](CanvasMaskQueue& q) { q.reinstall(); }, 2,
            false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.queue->invalidateMask();
        row.meanwhile(*h.queue);
        settle();
        EXPECT_EQ(h.installed.size(), row.expectedInstalls);
        if (row.expectDab)
            EXPECT_EQ(h.installed.back(), dab) << "the older black mask must not land last";
    }
}

TEST(MaskQueue, PrerenderedMaskBypassesTheQueue)
{
    Harness h;
    const FilterImage dab = leftHalfMask(40, 30);
    h.queue->setPrerenderedMask(dab);
    ASSERT_EQ(h.installed.size(), 1u);
    h.queue->invalidateMask();
    h.queue->invalidateMask();
    settle();
    EXPECT_EQ(h.drawn.load(), 0) << "no background render while a prerendered mask rules";
    EXPECT_TRUE(h.queue->busy());
    h.queue->setPrerenderedMask({});
    settle();
    EXPECT_EQ(h.drawn.load(), 1) << "removing it renders at once";
    EXPECT_FALSE(h.queue->busy());
    EXPECT_TRUE(h.queue->prerenderedMask().isNull());

    h.queue->setPrerenderedMask(dab);
    h.queue->pictureLoaded();
    EXPECT_TRUE(h.queue->prerenderedMask().isNull()) << "no old mask after a new picture";
    EXPECT_FALSE(h.queue->busy());
}

TEST(MaskQueue, FreedMidRenderCallsNothing)
{
    Harness h;
    h.queue->invalidateMask();
    h.queue.reset();
    settle();
    EXPECT_TRUE(h.installed.empty());
}

TEST(MaskQueue, MaskForSize)
{
    struct Row {
        const char* name;
        platform::Size size;
        double scale;
        bool draws;
        bool expectNull;
        bool expectWhiteLeft;
    };
    const Row rows[] = {
        { "zero width", { 0, 30 }, 1, true, true, false },
        { "NaN height", { 40, std::nan("") }, 1, true, true, false },
        { "nothing drawn: constant black", { 6000, 4000 }, 1, false, false, false },
        { "drawn at half scale", { 40, 30 }, 0.5, true, false, true },
        { "oversized bitmap refused", { 1e6, 1e6 }, 1, true, true, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CanvasMaskQueue::Source s { row.size, row.scale, {} };
        if (row.draws)
            s.draw = [](QPainter& p, const Rect& b) {
                p.fillRect(QRectF(0, 0, b.width() / 2, b.height()), Qt::white);
            };
        const FilterImage m = CanvasMaskQueue::maskImageForSize(s);
        EXPECT_EQ(m.isNull(), row.expectNull);
        if (m.isNull())
            continue;
        EXPECT_EQ(m.extent(), Rect(0, 0, row.size.width, row.size.height));
        const QImage px = renderAt(m, Rect(0, 0, 40, 30));
        EXPECT_EQ(testsupport::pixelAt(px, 5, 15).g, row.expectWhiteLeft ? 255 : 0);
        EXPECT_EQ(testsupport::pixelAt(px, 35, 15).g, 0);
        EXPECT_EQ(testsupport::pixelAt(px, 35, 15).a, 255);
    }
}
