// The display path's shortcuts against the plain computations: layers rendered in one request
// against separate renders, the vector loops and the pyramid against per-pixel references.
#include "ImagingTestUtil.h"
#include "platform/imaging/BitmapSource.h"
#include "platform/imaging/ColorControlsNode.h"
#include "platform/imaging/CpuFeatures.h"
#include "platform/imaging/ImageBufferPool.h"
#include "platform/imaging/PixelTile.h"
#include "platform/imaging/VignetteNode.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;
using namespace imagingtest;

namespace {

struct Canvas {
    FilterImage bottom, top;
};

// The canvas's two layers: the picture with its filters, and the blend of it through a small
// mask scaled up, cropped to the picture.
Canvas canvasLayers(const FilterImage& src, const Rect& topCrop)
{
    FilterImage img = apply("CIColorControls", src, { { "inputSaturation", 1.5 } });
    img = apply("CIAffineClamp", img);
    img = apply("CIGaussianBlur", img, { { "inputRadius", 5.0 } });
    img = apply("CICrop", img, { { "inputRectangle", FilterVector::fromRect(src.extent()) } });
    img = apply("CIVignette", img, { { "inputIntensity", 5.0 } });
    const QImage maskPic = makePicture(20, 12, [](int x, int y) {
        return Rgba { 0, (x * 3 + y * 5) % 11 / 10.0, 0, 1 };
    });
    const double k = src.extent().width() / 20;
    const FilterImage mask
        = FilterImage::fromQImage(maskPic).transformed(AffineTransform::makeScale(k, k));
    const FilterImage top = apply("CIBlendWithMask", img,
        { { "inputBackgroundImage", FilterImage::constantColor(Color::clear()) },
            { "inputMaskImage", mask } });
    return { img, top.cropped(topCrop) };
}

} // namespace

// The layer built on another reads that layer's pixels from the same request; what it gets
// must be exactly what it would compute itself.
TEST(FastPath, LayersInOneRequestMatchSeparateRenders)
{
    // Wider than one tile, so that tile seams and partial tiles are crossed.
    const QImage pic = texturedPicture(700, 300);
    const FilterImage src = FilterImage::fromQImage(pic);
    struct Row {
        const char* name;
        Rect region;
        double scale;
        RenderPath path;
        Rect topCrop;
    };
    const Rect all = src.extent();
    const Row rows[] = {
        { "display at 1/4", all, 0.25, RenderPath::Display, all },
        { "display between pyramid levels", all, 0.3, RenderPath::Display, all },
        { "exact, region beyond the picture", Rect(-9, -5, 720, 313), 1.0, RenderPath::Exact, all },
        { "exact, reduced afterwards", all, 0.5, RenderPath::Exact, all },
        { "top cut inside a tile (part of a shared tile)", all, 1.0, RenderPath::Exact,
            Rect(33, 21, 600, 250) },
    };
    for (const Row& row : rows) {
        const Canvas c = canvasLayers(src, row.topCrop);
        const QImage bottom = FilterRenderer::render(c.bottom, row.region, row.scale, row.path);
        const QImage top = FilterRenderer::render(c.top, row.region, row.scale, row.path);
        const std::vector<QImage> both
            = FilterRenderer::render({ c.bottom, c.top }, row.region, row.scale, row.path);
        ASSERT_EQ(both.size(), 2u) << row.name;
        ASSERT_FALSE(both[1].isNull()) << row.name;
        EXPECT_TRUE(both[0] == bottom) << row.name;
        EXPECT_TRUE(both[1] == top) << row.name;
    }

    // The same image twice, a part of it, an unrelated one and a null one in one list.
    const Canvas c = canvasLayers(src, all);
    const FilterImage grey = FilterImage::constantColor(Color(0.5, 0.5, 0.5, 1));
    const FilterImage part = c.bottom.cropped(Rect(40, 30, 500, 200));
    const std::vector<QImage> mixed = FilterRenderer::render(
        { c.bottom, FilterImage(), c.bottom, grey, part }, all, 1.0, RenderPath::Exact);
    ASSERT_EQ(mixed.size(), 5u);
    EXPECT_TRUE(mixed[1].isNull());
    EXPECT_TRUE(mixed[0] == mixed[2]);
    EXPECT_TRUE(mixed[3] == renderExact(grey, all));
    EXPECT_TRUE(mixed[4] == renderExact(part, all));

    std::atomic<bool> cancelled { true };
    const std::vector<QImage> none
        = FilterRenderer::render({ c.bottom, c.top }, all, 0.25, RenderPath::Display, &cancelled);
    EXPECT_TRUE(none[0].isNull() && none[1].isNull()) << "a cancelled request gives nothing";
}

namespace {

// Passes its input on and counts how often it was rendered.
class CountingNode final : public FilterNode {
public:
    explicit CountingNode(FilterNodePtr input)
        : m_input(std::move(input))
    {
    }
    Rect extent() const override { return m_input->extent(); }
    bool render(const RenderArgs& args, PixelTile& out) const override
    {
        ++renders;
        return m_input->renderInto(args, out);
    }
    mutable std::atomic<int> renders { 0 };

private:
    FilterNodePtr m_input;
};

} // namespace

// The canvas shows the picture cropped to the working rectangle under the boxes, and blends
// the uncropped picture over them: the blend must read the picture the crop passed on, not
// compute the whole chain below it a second time. Where the crop cuts into a tile the picture
// is computed again, and the pixels are those of separate renders either way.
TEST(FastPath, LayerOverACroppedLayerReadsItsPixels)
{
    // Smaller than one tile of either path.
    const QImage pic = texturedPicture(200, 100);
    const FilterImage src = FilterImage::fromQImage(pic);
    const Rect all = src.extent();
    struct Row {
        const char* name;
        Rect crop;
        int renders; // of the shared picture, one tile
    };
    const Row rows[] = {
        { "crop holding the whole tile", all, 1 },
        { "crop cutting into the tile", Rect(10, 10, 150, 70), 2 },
    };
    for (const Row& row : rows) {
        const auto counting = std::make_shared<CountingNode>(
            apply("CIGaussianBlur", src, { { "inputRadius", 2.0 } }).node());
        const FilterImage picture(counting);
        const FilterImage back = picture.cropped(row.crop);
        const FilterImage top = apply("CIBlendWithMask", picture,
            { { "inputBackgroundImage", FilterImage::constantColor(Color::clear()) },
                { "inputMaskImage", FilterImage::constantColor(Color(0, 0.5, 0, 1)) } })
                                    .cropped(row.crop);
        const std::vector<QImage> both
            = FilterRenderer::render({ back, top }, all, 1.0, RenderPath::Exact);
        EXPECT_EQ(counting->renders.load(), row.renders) << row.name;
        ASSERT_EQ(both.size(), 2u);
        EXPECT_TRUE(both[0] == renderExact(back, all)) << row.name;
        EXPECT_TRUE(both[1] == renderExact(top, all)) << row.name;
    }
}

// Where the painted mask is clear the blend over the boxes shows its background alone: those
// tiles are written clear without rendering the picture or the mask, and every byte is what
// computing them gives (the same recipe with the mask behind a node that knows nothing of
// clear parts). Only all-zero pixels count as clear: a transparent pixel with colour left in
// it (not validly premultiplied) is computed as before.
TEST(FastPath, ClearPartsOfTheMaskAreNotComputed)
{
    const QImage pic = texturedPicture(700, 300);
    const FilterImage src = FilterImage::fromQImage(pic);
    const Rect all = src.extent();
    // Masks 70 x 30, scaled up to the picture.
    const auto maskOf = [](std::function<Rgba(int, int)> f) { return makePicture(70, 30, f); };
    const QImage leftPainted = maskOf([](int x, int) {
        return x < 23 ? Rgba { 1, 1, 1, 1 } : Rgba { 0, 0, 0, 0 };
    });
    const QImage spot = maskOf([](int x, int y) {
        return std::hypot(x - 50, y - 8) < 4 ? Rgba { 0.4, 0.7, 0.2, 0.8 } : Rgba { 0, 0, 0, 0 };
    });
    QImage leftover = maskOf([](int, int) { return Rgba { 0, 0, 0, 0 }; });
    leftover.setPixel(60, 20, qRgba(0, 200, 0, 0)); // colour under no alpha
    const QImage none = maskOf([](int, int) { return Rgba { 0, 0, 0, 0 }; });
    const AffineTransform fit = AffineTransform::makeScale(10, 10);
    const AffineTransform turned = AffineTransform::makeTranslation(350, 150)
                                       .concatenated(AffineTransform::makeRotation(0.3))
                                       .concatenated(AffineTransform::makeTranslation(-350, -150))
                                       .concatenated(fit);
    struct Row {
        const char* name;
        const QImage* mask;
        AffineTransform toPicture;
        double scale;
        RenderPath path;
        bool pictureUnused; // no tile of the top layer renders the picture
    };
    const Row rows[] = {
        { "left third painted, display at 1/4", &leftPainted, fit, 0.25, RenderPath::Display,
            false },
        { "left third painted, between levels", &leftPainted, fit, 0.3, RenderPath::Display,
            false },
        { "a painted spot, full size", &spot, fit, 1.0, RenderPath::Exact, false },
        { "a painted spot, turned", &spot, turned, 1.0, RenderPath::Exact, false },
        { "colour under no alpha", &leftover, fit, 1.0, RenderPath::Exact, false },
        { "nothing painted", &none, fit, 0.25, RenderPath::Display, true },
    };
    for (const Row& row : rows) {
        const auto picture = std::make_shared<CountingNode>(
            apply("CIGaussianBlur", src, { { "inputRadius", 2.0 } }).node());
        const FilterImage mask = FilterImage::fromQImage(*row.mask).transformed(row.toPicture);
        const auto blendOver = [&](const FilterImage& m) {
            return apply("CIBlendWithMask", FilterImage(picture),
                { { "inputBackgroundImage", FilterImage::constantColor(Color::clear()) },
                    { "inputMaskImage", m } })
                .cropped(all);
        };
        const QImage got = FilterRenderer::render(blendOver(mask), all, row.scale, row.path);
        const int renders = picture->renders.load();
        const QImage want = FilterRenderer::render(
            blendOver(FilterImage(std::make_shared<CountingNode>(mask.node()))), all, row.scale,
            row.path);
        ASSERT_FALSE(got.isNull()) << row.name;
        EXPECT_TRUE(got == want) << row.name;
        if (row.pictureUnused) {
            EXPECT_EQ(renders, 0) << row.name;
        }
    }
}

// A region known clear renders clear, at every scale and through the pyramid's levels and
// resampling (whose taps reach past the region), for a picture that is clear but for one
// faint pixel (which its pyramid levels round away) or one bright one, and for transforms of
// it. Far from the pixel, regions are known clear.
TEST(FastPath, RegionsKnownClearRenderClear)
{
    for (const int value : { 1, 255 }) {
        QImage pic(64, 48, QImage::Format_ARGB32_Premultiplied);
        pic.fill(0);
        // At a corner of the blocks the picture is mapped in.
        pic.setPixel(32, 48 - 1 - 32, qRgba(0, value, 0, value));
        const FilterImage src = FilterImage::fromQImage(pic);
        const FilterImage shrunk = src.transformed(AffineTransform::makeScale(0.45, 0.6));
        const FilterImage turned = src.transformed(AffineTransform::makeRotation(0.4));
        const struct {
            const char* name;
            FilterImage image;
        } images[] = { { "picture", src }, { "shrunk", shrunk }, { "turned", turned } };
        for (const auto& image : images) {
            for (const double scale : { 1.0, 0.7, 0.3, 0.13, 2.5 }) {
                for (const bool pyramid : { false, true }) {
                    RenderArgs args;
                    args.scale = scale;
                    args.usePyramid = pyramid;
                    const PixelRect around = image.image.node()->pixelExtent(scale).adjusted(3);
                    int known = 0;
                    // Every position: the reach of a tap past a region shows at one alignment.
                    for (int y = around.y; y < around.maxY(); ++y)
                        for (int x = around.x; x < around.maxX(); ++x) {
                            const PixelRect r(x, y, 4, 3);
                            if (!image.image.node()->isClear(args, r))
                                continue;
                            ++known;
                            PixelTile t;
                            ASSERT_TRUE(image.image.node()->renderRect(args, r, t));
                            for (int py = r.y; py < r.maxY(); ++py)
                                for (int px = r.x; px < r.maxX(); ++px)
                                    for (int c = 0; c < 4; ++c)
                                        ASSERT_EQ((*t.at(px, py))[c], 0.0f)
                                            << image.name << " value " << value << " at scale "
                                            << scale << (pyramid ? " (pyramid)" : "") << ", " << px
                                            << "," << py;
                        }
                    EXPECT_GT(known, 0) << image.name << " at scale " << scale;
                }
            }
        }
    }
}

// Widths 1 to 9 put pixels both in the four-at-a-time loops and in their one-at-a-time tails.
TEST(FastPath, VectorLoopsMatchPerPixelReferences)
{
    for (int w = 1; w <= 9; ++w) {
        const QImage pic = makePicture(w, 3, [](int x, int y) {
            const double a = y == 0 ? 1.0 : (y == 1 ? 0.4 + 0.05 * x : (x % 3 ? 0.7 : 0.0));
            return Rgba { a * (0.1 + 0.1 * x), a * (0.9 - 0.08 * x), a * 0.5, a };
        });
        const FilterImage src = FilterImage::fromQImage(pic);
        const Rect region(0, 0, w, 3);
        EXPECT_TRUE(renderExact(src, region) == pic) << "8-bit to float and back, width " << w;

        const double sat = 1.7, bright = 0.05, contrast = 1.2;
        const QImage cc
            = renderExact(apply("CIColorControls", src,
                              { { "inputSaturation", sat }, { "inputBrightness", bright },
                                  { "inputContrast", contrast } }),
                region);
        const QImage vig
            = renderExact(apply("CIVignette", src, { { "inputIntensity", 3.0 } }), region);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                const auto p = at(pic, x, y);
                const double a = p[3] / 255.0;
                const auto got = at(cc, x, y);
                if (a == 0) {
                    EXPECT_EQ(got, (std::array<int, 4> { 0, 0, 0, 0 })) << "clear stays clear";
                    continue;
                }
                double u[3];
                for (int c = 0; c < 3; ++c)
                    u[c] = p[std::size_t(c)] / 255.0 / a;
                const double luma = 0.2125 * u[0] + 0.7154 * u[1] + 0.0721 * u[2];
                for (int c = 0; c < 3; ++c) {
                    const double v
                        = ((luma + (u[c] - luma) * sat + bright - 0.5) * contrast + 0.5) * a;
                    EXPECT_NEAR(got[std::size_t(c)], std::clamp(v, 0.0, a) * 255, 1.0)
                        << "colour controls, width " << w << " at " << x << "," << y;
                }
                EXPECT_EQ(got[3], p[3]);

                const double d
                    = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - 1.5) / (std::hypot(w, 3) / 2);
                const double f = VignetteNode::factor(d, 3.0, 1.0);
                const auto v = at(vig, x, y);
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(v[std::size_t(c)], p[std::size_t(c)] * f, 1.0)
                        << "vignette, width " << w << " at " << x << "," << y;
                EXPECT_EQ(v[3], p[3]);
            }
    }
}

// Axis-aligned scaling against bilinear sampling in double (clear outside the picture).
TEST(FastPath, AxisAlignedScalingIsBilinear)
{
    const QImage pic = texturedPicture(13, 9);
    struct Row {
        const char* name;
        double sx, sy;
    };
    const Row rows[] = {
        { "enlarged", 3.0, 3.0 },
        { "reduced", 0.6, 0.6 },
        { "stretched one way, squeezed the other", 2.5, 0.7 },
    };
    for (const Row& row : rows) {
        const FilterImage scaled
            = FilterImage::fromQImage(pic).transformed(AffineTransform::makeScale(row.sx, row.sy));
        const int ow = int(std::ceil(13 * row.sx)) + 1, oh = int(std::ceil(9 * row.sy)) + 1;
        const QImage out = renderExact(scaled, Rect(0, 0, ow, oh));
        ASSERT_FALSE(out.isNull()) << row.name;
        auto sample = [&](int x, int y, int c) {
            return x < 0 || y < 0 || x >= 13 || y >= 9 ? 0.0
                                                       : double(at(pic, x, y)[std::size_t(c)]);
        };
        int worst = 0;
        for (int y = 0; y < oh; ++y)
            for (int x = 0; x < ow; ++x) {
                const double u = (x + 0.5) / row.sx - 0.5, v = (y + 0.5) / row.sy - 0.5;
                const int i = int(std::floor(u)), j = int(std::floor(v));
                const double fx = u - i, fy = v - j;
                for (int c = 0; c < 4; ++c) {
                    const double want
                        = (sample(i, j, c) * (1 - fx) + sample(i + 1, j, c) * fx) * (1 - fy)
                        + (sample(i, j + 1, c) * (1 - fx) + sample(i + 1, j + 1, c) * fx) * fy;
                    worst = std::max(
                        worst, int(std::lround(std::abs(want - at(out, x, y)[std::size_t(c)]))));
                }
            }
        EXPECT_LE(worst, 1) << row.name;
    }
}

// Tile buffers are recycled between tiles: a live tile never shares its pixels with another.
TEST(FastPath, RecycledTileBuffersAreNeverShared)
{
    PixelTile a, b;
    ASSERT_TRUE(a.allocate({ 0, 0, 64, 64 }));
    ASSERT_TRUE(b.allocate({ 0, 0, 64, 64 }));
    b.fill(Px { 2, 2, 2, 2 });
    a = PixelTile(); // its buffer goes back to the cache
    PixelTile c, d;
    ASSERT_TRUE(c.allocate({ 5, 5, 32, 32 }));
    ASSERT_TRUE(d.allocate({ 5, 5, 32, 32 }));
    c.fill(Px { 3, 3, 3, 3 });
    d.fill(Px { 4, 4, 4, 4 });
    EXPECT_EQ((*b.at(63, 63))[0], 2.0f);
    EXPECT_EQ((*c.at(36, 36))[0], 3.0f);
    EXPECT_EQ(c.rect(), PixelRect(5, 5, 32, 32));
    PixelTile moved = std::move(d);
    EXPECT_FALSE(d.isValid());
    EXPECT_EQ((*moved.at(5, 5))[0], 4.0f);
    EXPECT_FALSE(c.allocate({ 0, 0, 0, 4 })) << "an empty rectangle";
    EXPECT_FALSE(c.isValid());
}

// Each pyramid level pixel is the rounded mean of the 2x2 block of the level below it, blocks
// counted from the bottom row (y-up); a block cut by the picture's edge averages what it has.
// A level asked for before the levels below it (which are then never kept) is the same.
TEST(FastPath, PyramidLevelsAreRoundedBlockMeans)
{
    for (const QSize size :
        { QSize(9, 7), QSize(16, 6), QSize(1, 5), QSize(6, 1), QSize(11, 2), QSize(37, 21) }) {
        const int w = size.width(), h = size.height();
        const QImage pic = makePicture(w, h, [](int x, int y) {
            return Rgba { (x * 37 + y * 11) % 256 / 255.0, (x * 5 + y * 91) % 256 / 255.0,
                (x * y * 13) % 256 / 255.0, 1.0 };
        });
        std::vector<QImage> expected { pic };
        while (expected.back().width() > 1 || expected.back().height() > 1) {
            const QImage& below = expected.back();
            const int bw = below.width(), bh = below.height();
            QImage next((bw + 1) / 2, (bh + 1) / 2, QImage::Format_ARGB32_Premultiplied);
            for (int j = 0; j < next.height(); ++j)
                for (int i = 0; i < next.width(); ++i) {
                    std::array<int, 4> mean {};
                    for (int c = 0; c < 4; ++c) {
                        int sum = 0, n = 0;
                        for (int y = 2 * j; y < std::min(2 * j + 2, bh); ++y)
                            for (int x = 2 * i; x < std::min(2 * i + 2, bw); ++x, ++n)
                                sum += at(below, x, y)[std::size_t(c)];
                        mean[std::size_t(c)] = (sum + n / 2) / n;
                    }
                    next.setPixel(
                        i, next.height() - 1 - j, qRgba(mean[0], mean[1], mean[2], mean[3]));
                }
            expected.push_back(next);
        }
        const BitmapSource source(pic);
        const int top = int(expected.size()) - 1;
        for (const int k : { std::min(3, top), 1, top, 2 % (top + 1) })
            EXPECT_EQ(source.level(k), expected[std::size_t(k)]) << w << "x" << h << " level " << k;
    }
}

// Rendered images lend their buffers from a pool: a buffer returns only when the last copy of
// its image is gone, and is then lent again rather than shared.
TEST(FastPath, ImageBuffersReturnWhenTheLastCopyGoes)
{
    const qsizetype before = ImageBufferPool::heldBytes();
    QImage copy;
    {
        QImage a = ImageBufferPool::make(64, 32);
        ASSERT_FALSE(a.isNull());
        EXPECT_EQ(a.format(), QImage::Format_ARGB32_Premultiplied);
        a.fill(0xff102030);
        copy = a;
    }
    EXPECT_EQ(copy.pixel(5, 5), 0xff102030u) << "a copy keeps the buffer";
    EXPECT_EQ(ImageBufferPool::heldBytes(), before);
    const uchar* lent = copy.constBits();
    copy = QImage();
    EXPECT_EQ(ImageBufferPool::heldBytes(), before + 64 * 32 * 4);

    QImage b = ImageBufferPool::make(64, 32);
    QImage c = ImageBufferPool::make(64, 32);
    EXPECT_TRUE(b.constBits() == lent || c.constBits() == lent) << "reused";
    EXPECT_NE(b.constBits(), c.constBits());
    b.fill(0xffffffff);
    c.fill(0xff000000);
    EXPECT_EQ(b.pixel(63, 31), 0xffffffffu);

    EXPECT_TRUE(ImageBufferPool::make(0, 10).isNull());
    EXPECT_TRUE(ImageBufferPool::make(1 << 20, 1 << 20).isNull()) << "too large";
    const qsizetype held = ImageBufferPool::heldBytes();
    {
        QImage big = ImageBufferPool::make(4096, 1100);
    } // above the size that is kept
    EXPECT_EQ(ImageBufferPool::heldBytes(), held);
}

// A pixel's value does not depend on where the tile it falls in starts or ends: the vector
// loops and their one-pixel tails compute the same thing.
TEST(FastPath, BlurredPixelsDoNotDependOnTheTiling)
{
    const QImage pic = texturedPicture(41, 29);
    const FilterImage src = FilterImage::fromQImage(pic);
    for (const double sigma : { 0.3, 1.25, 2.6, 5.0 }) {
        const FilterImage img
            = apply("CIGaussianBlur", apply("CIColorControls", src, { { "inputSaturation", 1.3 } }),
                { { "inputRadius", sigma } });
        const QImage whole = renderExact(img, src.extent());
        for (const Rect part : { Rect(3, 2, 17, 11), Rect(10, 5, 1, 9), Rect(0, 0, 9, 29) }) {
            const QImage piece = renderExact(img, part);
            ASSERT_FALSE(piece.isNull());
            for (int y = 0; y < piece.height(); ++y)
                for (int x = 0; x < piece.width(); ++x)
                    ASSERT_EQ(at(piece, x, y), at(whole, int(part.x()) + x, int(part.y()) + y))
                        << "sigma " << sigma << " at " << x << "," << y << " of a " << piece.width()
                        << "-wide part";
        }
    }
}

// A display render between two pyramid levels keeps the resampled picture, made piece by
// piece as tiles ask for it; whatever rectangles made it, what a render reads from it must be
// exactly the floats resampling the level itself gives (first render and later ones alike),
// and so must what the colour controls make of it, reading it where it is kept.
TEST(FastPath, KeptResampledPictureIsTheResampledLevel)
{
    const QImage pic = makePicture(1203, 290, [](int x, int y) {
        const double a = 0.25 + 0.75 * ((x * 3 + y * 5) % 17) / 16.0;
        return Rgba { a * (0.5 + 0.45 * std::sin(x * 0.37 + y * 0.11)),
            a * (0.5 + 0.45 * std::cos(x * 0.05 - y * 0.29)), a * ((x * 7 + y * 13) % 31) / 30.0,
            a };
    });
    // The render scale is `within` times the level's own scale.
    const struct {
        const char* name;
        int level;
        double within;
    } cases[] = {
        { "just below a quarter (a best fit)", 2, 0.99975 },
        { "between half and a quarter", 1, 0.71 },
        { "just below full size", 0, 0.9375 },
        { "an eighth, shrunk further", 3, 0.55 },
    };
    for (const auto& c : cases) {
        const auto source = std::make_shared<const BitmapSource>(pic);
        const double s = std::ldexp(c.within, -c.level);
        ASSERT_EQ(source->levelFor(s), c.level) << c.name;
        // The level on its own, resampled at the same ratio without the pyramid.
        const auto level = std::make_shared<const BitmapSource>(source->level(c.level));
        const ColorControlsNode sourceColours(source, 1.4, 0.05, 1.1);
        const ColorControlsNode levelColours(level, 1.4, 0.05, 1.1);
        RenderArgs display;
        display.scale = s;
        display.usePyramid = true;
        RenderArgs direct;
        direct.scale = c.within;
        const PixelRect all = source->pixelExtent(s);
        const PixelRect parts[] = {
            { all.x + 37, all.y + 5, 90, 41 }, // inside, across cells
            { all.maxX() - 20, all.maxY() - 9, 20, 9 }, // the far corner
            all, // everything, some of it made already
            { all.x, all.y + 3, all.width, 1 }, // one row
            { all.x, all.y, 1, all.height }, // one column
            all.adjusted(2), // beyond the picture
        };
        for (int pass = 0; pass < 2; ++pass) {
            for (const PixelRect& r : parts) {
                // The colour controls first, so that some cells are made on their way.
                const std::pair<const FilterNode*, const FilterNode*> pairs[]
                    = { { &sourceColours, &levelColours }, { source.get(), level.get() } };
                for (const auto& [kept, plain] : pairs) {
                    PixelTile got, want;
                    ASSERT_TRUE(kept->renderRect(display, r, got)) << c.name;
                    ASSERT_TRUE(plain->renderRect(direct, r, want)) << c.name;
                    for (int y = r.y; y < r.maxY(); ++y)
                        for (int x = r.x; x < r.maxX(); ++x)
                            ASSERT_EQ(std::memcmp(got.at(x, y), want.at(x, y), sizeof(Px)), 0)
                                << c.name << (kept == source.get() ? "" : ", colour controls")
                                << ", pass " << pass << ", a " << r.width << "x" << r.height
                                << " render at " << x << "," << y;
                }
            }
        }
    }
}

// The 8-bit store and the vignette take eight pixels at a time where the processor allows,
// four at a time and one at a time otherwise: the same bytes for values out of range
// (negative, above alpha, alpha above 1) at every width's mix of wide loop, narrow loop and
// tail.
TEST(FastPath, WideLoopsMatchNarrowLoops)
{
    for (int w = 1; w <= 19; ++w) {
        const QImage pic = makePicture(w, 4, [](int x, int y) {
            const double a = y == 3 ? 0.0 : 0.3 + 0.7 * ((x * 5 + y * 3) % 7) / 6.0;
            return Rgba { a * ((x * 37 + y * 11) % 19) / 18.0, a * ((x * 13 + y * 29) % 23) / 22.0,
                a * ((x + y) % 2), a };
        });
        const FilterImage src = FilterImage::fromQImage(pic);
        const struct {
            const char* name;
            FilterImage image;
        } cases[] = {
            { "as loaded", src },
            { "pushed out of range",
                apply("CIColorControls", src,
                    { { "inputSaturation", 2.6 }, { "inputBrightness", -0.3 },
                        { "inputContrast", 1.9 } }) },
            { "vignetted", apply("CIVignette", src, { { "inputIntensity", 4.0 } }) },
            { "alpha above 1",
                apply("CIColorMatrix", src,
                    { { "inputAVector", FilterVector(0, 0, 0, 1.7) },
                        { "inputBiasVector", FilterVector(-0.2, 0.1, 0.4, 0) } }) },
        };
        for (const auto& c : cases) {
            const QImage wide = renderExact(c.image, Rect(0, 0, w, 4));
            const bool was = CpuFeatures::allowAvx(false);
            const QImage narrow = renderExact(c.image, Rect(0, 0, w, 4));
            CpuFeatures::allowAvx(was);
            ASSERT_FALSE(wide.isNull());
            EXPECT_TRUE(wide == narrow) << c.name << ", width " << w;
            // Display renders stream their bytes past the caches where a row's alignment
            // allows (rows of every width start at every alignment here).
            const QImage streamed
                = FilterRenderer::render(c.image, Rect(0, 0, w, 4), 1.0, RenderPath::Display);
            EXPECT_TRUE(streamed == narrow) << c.name << ", display, width " << w;
        }
        // The vignette's factors to the last bit, not only to the byte, far from the centre
        // of a wide picture at a scale where the distances are not whole halves.
        const FilterImage vignetted = apply("CIVignette",
            FilterImage::fromQImage(texturedPicture(997, 5)), { { "inputIntensity", 4.0 } });
        const PixelRect r(611, 0, w, 3);
        RenderArgs args;
        args.scale = 0.7;
        PixelTile wideTile, narrowTile;
        ASSERT_TRUE(vignetted.node()->renderRect(args, r, wideTile));
        const bool was = CpuFeatures::allowAvx(false);
        ASSERT_TRUE(vignetted.node()->renderRect(args, r, narrowTile));
        CpuFeatures::allowAvx(was);
        for (int y = r.y; y < r.maxY(); ++y)
            for (int x = r.x; x < r.maxX(); ++x)
                ASSERT_EQ(std::memcmp(wideTile.at(x, y), narrowTile.at(x, y), sizeof(Px)), 0)
                    << "vignette, width " << w << " at " << x << "," << y;
    }
}

// The picture's bytes become exactly byte / 255 in float on every path: the wide conversion
// divides without a division, and a value one unit in the last place off would shift every
// filter after it.
TEST(FastPath, PictureBytesConvertToTheLastBit)
{
    // Every byte value in every channel, on rows of 256 pixels; alpha varies on the last row
    // (the colour then at most alpha, as premultiplied pixels are).
    QImage pic(256, 3, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 256; ++x) {
        const int v = x, w = 255 - x;
        reinterpret_cast<QRgb*>(pic.scanLine(0))[x] = qRgba(v, w, (v * 7) & 255, 255);
        reinterpret_cast<QRgb*>(pic.scanLine(1))[x] = qRgba((v * 13) & 255, v, w, 255);
        reinterpret_cast<QRgb*>(pic.scanLine(2))[x] = qRgba(v / 2, v / 3, v, v);
    }
    const FilterImage src = FilterImage::fromQImage(pic);
    RenderArgs args;
    for (const bool wide : { true, false }) {
        // Tiles of every alignment and a width whose last pixels take the narrow loops.
        for (const PixelRect r :
            { PixelRect(0, 0, 256, 3), PixelRect(3, 0, 250, 3), PixelRect(5, 1, 13, 2) }) {
            PixelTile tile;
            const bool was = CpuFeatures::allowAvx(wide);
            ASSERT_TRUE(src.node()->renderRect(args, r, tile));
            CpuFeatures::allowAvx(was);
            for (int y = r.y; y < r.maxY(); ++y)
                for (int x = r.x; x < r.maxX(); ++x) {
                    const QRgb p = pic.pixel(x, pic.height() - 1 - y);
                    const Px want = { float(qRed(p)) / 255.0f, float(qGreen(p)) / 255.0f,
                        float(qBlue(p)) / 255.0f, float(qAlpha(p)) / 255.0f };
                    ASSERT_EQ(std::memcmp(tile.at(x, y), &want, sizeof(Px)), 0)
                        << (wide ? "wide" : "narrow") << " at " << x << "," << y;
                }
        }
    }
}
