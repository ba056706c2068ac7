// The background renderer's list requests and exact pixel patches.
#include "ImagingTestUtil.h"
#include "platform/imaging/BackgroundRenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace imagingtest;

namespace {

// Picture and output sizes here stay clear of 2048 to 2730 pixels: the buffer pool lends such
// buffers for the pool test's 64 x 32 images, which would then count differently.
void waitFor(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

TEST(BackgroundRendererLists, LayersArriveTogetherAsRenderedAlone)
{
    const FilterImage pic = FilterImage::fromQImage(texturedPicture(200, 120));
    const FilterImage blurred = apply("CIGaussianBlur", pic, { { "inputRadius", 4.0 } });
    BackgroundRenderer renderer;
    std::vector<QImage> got;
    int calls = 0;
    renderer.request(std::vector<FilterImage> { pic, blurred }, pic.extent(), 0.5,
        RenderPath::Display, [&](const std::vector<QImage>& images) {
            ++calls;
            got = images;
        });
    waitFor([&] { return calls > 0; });
    ASSERT_EQ(calls, 1);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], FilterRenderer::render(pic, pic.extent(), 0.5, RenderPath::Display));
    EXPECT_EQ(got[1], FilterRenderer::render(blurred, pic.extent(), 0.5, RenderPath::Display));
}

// A patch must match the full render's pixels exactly where it lies, at scales whose region
// corner falls between pixels too, and must not cancel the full render it patches.
TEST(BackgroundRendererLists, PatchMatchesTheFullRenderOnItsGrid)
{
    struct Row {
        const char* name;
        Rect region;
        double scale;
        QRect pixels;
        QRect expected;
    };
    const Row rows[] = {
        { "whole scale", Rect(0, 0, 200, 120), 1.0, QRect(10, 5, 30, 20), QRect(10, 5, 30, 20) },
        { "half scale", Rect(0, 0, 200, 120), 0.5, QRect(3, 7, 16, 9), QRect(3, 7, 16, 9) },
        { "offset region", Rect(20, 10, 80, 60), 1.0, QRect(0, 0, 12, 12), QRect(0, 0, 12, 12) },
        { "clipped at the edge", Rect(0, 0, 200, 120), 1.0, QRect(190, 110, 30, 30),
            QRect(190, 110, 10, 10) },
    };
    const FilterImage pic = FilterImage::fromQImage(texturedPicture(200, 120));
    const FilterImage blurred = apply("CIGaussianBlur", pic, { { "inputRadius", 3.0 } });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QImage full
            = FilterRenderer::render(blurred, row.region, row.scale, RenderPath::Display);
        BackgroundRenderer renderer;
        int fullCalls = 0;
        renderer.request(blurred, row.region, row.scale, RenderPath::Display,
            [&](const QImage&) { ++fullCalls; });
        QImage patch;
        QRect where;
        renderer.requestPatch(blurred, row.region, row.scale, RenderPath::Display, row.pixels,
            [&](const QImage& img, const QRect& r) {
                patch = img;
                where = r;
            });
        waitFor([&] { return fullCalls > 0 && !patch.isNull(); });
        EXPECT_EQ(fullCalls, 1);
        ASSERT_EQ(where, row.expected);
        ASSERT_EQ(patch.size(), row.expected.size());
        EXPECT_EQ(patch.convertToFormat(full.format()), full.copy(row.expected));
    }
}

TEST(BackgroundRendererLists, PatchesAfterANewerFullRequestOrCancelAreDropped)
{
    const FilterImage pic = FilterImage::fromQImage(texturedPicture(90, 60));
    BackgroundRenderer renderer;
    int patches = 0;
    auto count = [&](const QImage&, const QRect&) { ++patches; };
    renderer.requestPatch(pic, pic.extent(), 1.0, RenderPath::Exact, QRect(0, 0, 5, 5), count);
    renderer.requestPatch(pic, pic.extent(), 1.0, RenderPath::Exact, QRect(5, 5, 5, 5), count);
    waitFor([&] { return patches == 2; });
    EXPECT_EQ(patches, 2) << "patches never cancel each other";

    patches = 0;
    renderer.requestPatch(pic, pic.extent(), 1.0, RenderPath::Exact, QRect(0, 0, 5, 5), count);
    bool full = false;
    renderer.request(
        pic, pic.extent(), 1.0, RenderPath::Exact, [&](const QImage&) { full = true; });
    renderer.requestPatch(pic, pic.extent(), 1.0, RenderPath::Exact, QRect(0, 0, 0, 0), count);
    waitFor([&] { return full; });
    EXPECT_TRUE(full);
    EXPECT_EQ(patches, 0) << "the newer full render already holds the change";

    renderer.requestPatch(pic, pic.extent(), 1.0, RenderPath::Exact, QRect(0, 0, 5, 5), count);
    renderer.cancel();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(patches, 0);
}
