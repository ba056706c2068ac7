// The accumulator, background renders and the thread pool.
#include "ImagingTestUtil.h"
#include "platform/imaging/BackgroundRenderer.h"
#include "platform/imaging/FilterImageRepresentation.h"
#include "platform/imaging/ImageAccumulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace imagingtest;

TEST(ImageAccumulator, DabsAccumulateAndSnapshotsStayPut)
{
    ImageAccumulator acc(Rect(0, 0, 64, 48));
    ASSERT_TRUE(acc.isValid());
    const FilterImage before = acc.image();

    Filter dab = Filter::withName(QStringLiteral("CIRadialGradient"));
    dab.setValue(QStringLiteral("inputCenter"), FilterVector(20, 20));
    dab.setValue(QStringLiteral("inputRadius0"), 4.0);
    dab.setValue(QStringLiteral("inputRadius1"), 8.0);
    dab.setValue(QStringLiteral("inputColor0"), Color(1, 1, 1, 0.5));
    dab.setValue(QStringLiteral("inputColor1"), Color(1, 1, 1, 0));
    for (int i = 0; i < 2; ++i) {
        const FilterImage over = dab.outputImage().compositedOver(acc.image());
        acc.setImage(over, Rect(12, 12, 16, 16));
    }
    const QImage now = renderExact(acc.image(), acc.extent());
    EXPECT_NEAR(at(now, 20, 20)[1], 191, 1) << "two half-opaque dabs give 3/4";
    EXPECT_EQ(at(now, 40, 40)[3], 0) << "outside the dab nothing changed";
    EXPECT_EQ(at(renderExact(before, acc.extent()), 20, 20)[3], 0) << "an old snapshot is kept";

    // Values are stored clamped, as a 16-bit store keeps them.
    acc.setImage(FilterImage::constantColor(Color(2, 2, 2, 2)));
    EXPECT_EQ(at(renderExact(acc.image(), acc.extent()), 3, 3)[3], 255);
    acc.clear();
    EXPECT_EQ(at(renderExact(acc.image(), acc.extent()), 3, 3)[3], 0);

    EXPECT_FALSE(ImageAccumulator(Rect::infinite()).isValid());
    EXPECT_FALSE(ImageAccumulator(Rect(0, 0, 1e9, 1e9)).isValid()) << "bounded allocation";
}

TEST(FilterImageRepresentation, RendersItsExtentLazily)
{
    const FilterImage pic = FilterImage::fromQImage(texturedPicture(30, 20));
    const FilterImage moved = pic.transformed(AffineTransform::makeTranslation(10, 5));
    ASSERT_TRUE(FilterImageRepresentation::canRepresent(moved));
    const FilterImageRepresentation rep(moved);
    EXPECT_EQ(rep.pixelSize(), QSize(30, 20));
    EXPECT_EQ(at(rep.rasterize(), 0, 0), at(texturedPicture(30, 20), 0, 0));
    EXPECT_FALSE(FilterImageRepresentation::canRepresent(FilterImage()));
    EXPECT_FALSE(
        FilterImageRepresentation::canRepresent(FilterImage::constantColor(Color::white())));
}

TEST(BackgroundRenderer, OnlyTheNewestRequestIsDelivered)
{
    const FilterImage pic = FilterImage::fromQImage(texturedPicture(300, 200));
    const FilterImage blurred = apply("CIGaussianBlur", pic, { { "inputRadius", 8.0 } });
    BackgroundRenderer renderer;
    std::vector<int> delivered;
    renderer.request(blurred, pic.extent(), 1.0, RenderPath::Exact,
        [&](const QImage&) { delivered.push_back(1); });
    QImage last;
    const quint64 g
        = renderer.request(pic, pic.extent(), 0.5, RenderPath::Display, [&](const QImage& img) {
              delivered.push_back(2);
              last = img;
          });
    EXPECT_EQ(renderer.generation(), g);
    QElapsedTimer t;
    t.start();
    while (delivered.empty() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    ASSERT_EQ(delivered, std::vector<int> { 2 });
    EXPECT_EQ(last.size(), QSize(150, 100));

    // A cancelled request delivers nothing; destroying a busy renderer is safe.
    bool called = false;
    renderer.request(
        blurred, pic.extent(), 1.0, RenderPath::Exact, [&](const QImage&) { called = true; });
    renderer.cancel();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    auto busy = std::make_unique<BackgroundRenderer>();
    busy->request(
        blurred, pic.extent(), 1.0, RenderPath::Exact, [&](const QImage&) { called = true; });
    busy.reset();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_FALSE(called);
}
