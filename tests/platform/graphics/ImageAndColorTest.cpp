// Pictures as shared immutable handles; colours and gradient stops as they become Qt values.
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Image.h"

#include <QtConcurrent/QtConcurrentRun>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QImage solid(int w, int h, QRgb c, QImage::Format f = QImage::Format_RGB32)
{
    QImage img(w, h, f);
    img.fill(c);
    return img;
}

class CountingRep final : public ImageRepresentation {
public:
    explicit CountingRep(QSize s)
        : m_size(s)
    {
    }
    QSize pixelSize() const override { return m_size; }
    QImage rasterize() const override
    {
        ++calls;
        return solid(m_size.width(), m_size.height(), qRgb(1, 2, 3));
    }
    mutable std::atomic<int> calls { 0 };

private:
    QSize m_size;
};

} // namespace

TEST(Image, HandlesShareAndCompareByIdentity)
{
    const Image a = Image::fromQImage(solid(4, 3, qRgb(10, 20, 30)));
    const Image copy = a;
    const Image samePixels = Image::fromQImage(solid(4, 3, qRgb(10, 20, 30)));
    EXPECT_EQ(a, copy);
    EXPECT_NE(a, samePixels); // never a pixel compare
    EXPECT_EQ(a.size(), Size(4, 3));
    EXPECT_EQ(a.pixelSize(), QSize(4, 3));
    EXPECT_EQ(a.toQImage().format(), QImage::Format_ARGB32_Premultiplied);

    const Image resized = a.withSize(Size(2, 1.5));
    EXPECT_NE(resized, a);
    EXPECT_EQ(resized.size(), Size(2, 1.5));
    EXPECT_EQ(resized.pixelSize(), QSize(4, 3));

    EXPECT_TRUE(Image().isNull());
    EXPECT_EQ(Image(), Image());
    EXPECT_TRUE(Image::fromQImage(QImage()).isNull());
    EXPECT_TRUE(Image().toQImage().isNull());
    EXPECT_EQ(Image().pixelSize(), QSize(0, 0));
}

TEST(Image, PixelSizeIsTheLargestRepresentationRasterisedOnce)
{
    auto small = std::make_shared<CountingRep>(QSize(2, 2));
    auto large = std::make_shared<CountingRep>(QSize(8, 6));
    const Image img = Image::fromRepresentations({ small, large }, Size(4, 3));
    EXPECT_EQ(img.pixelSize(), QSize(8, 6));
    // Many threads ask at once: one rasterisation, one shared result.
    QList<QFuture<QImage>> futures;
    for (int i = 0; i < 8; ++i)
        futures.append(QtConcurrent::run([img] { return img.toQImage(); }));
    for (auto& f : futures)
        EXPECT_EQ(f.result().size(), QSize(8, 6));
    EXPECT_EQ(large->calls.load(), 1);
    EXPECT_EQ(small->calls.load(), 0);
    EXPECT_TRUE(Image::fromRepresentations({}, Size(1, 1)).isNull());
}

TEST(Image, ConvertsToPremultiplied)
{
    const Image img = Image::fromQImage(solid(1, 1, qRgba(255, 0, 0, 128), QImage::Format_ARGB32));
    const QRgb p = img.toQImage().pixel(0, 0);
    EXPECT_NEAR(qRed(p), 128, 1);
    EXPECT_EQ(qAlpha(p), 128);
}

TEST(Color, ClampsOnlyWhereItBecomesPixels)
{
    const Color c(1.5, -0.5, NAN, 2.0);
    EXPECT_EQ(c.red, 1.5); // kept as given
    const QColor q = c.toQt();
    EXPECT_EQ(q.red(), 255);
    EXPECT_EQ(q.green(), 0);
    EXPECT_EQ(q.blue(), 0);
    EXPECT_EQ(q.alpha(), 255);
    const Color back = Color::fromQt(QColor(255, 0, 0, 51));
    EXPECT_EQ(back.red, 1.0);
    EXPECT_NEAR(back.alpha, 0.2, 1e-6);
}

TEST(Gradient, QtStopsAreSortedClampedAndKeepHardEdges)
{
    const Gradient g({ { Color(0, 0, 1), 1.0 }, { Color(1, 0, 0), 0.0 }, { Color(0, 1, 0), 0.5 },
        { Color(1, 1, 1), 0.5 }, { Color(0, 0, 0), NAN } });
    EXPECT_EQ(g.numberOfColorStops(), 5);
    EXPECT_EQ(g.stop(0).location, 1.0); // kept in the order given
    const QGradientStops stops = g.toQtStops();
    ASSERT_EQ(stops.size(), 5); // a shared location must not swallow a stop
    for (qsizetype i = 1; i < stops.size(); ++i)
        EXPECT_LT(stops[i - 1].first, stops[i].first);
    EXPECT_EQ(stops[2].second, QColor(0, 255, 0)); // the hard edge keeps its order
    EXPECT_EQ(stops[3].second, QColor(255, 255, 255));
    EXPECT_EQ(stops.back().second, QColor(0, 0, 255));

    std::vector<GradientStop> many(size_t(Gradient::kMaxStops) + 5, GradientStop { Color(), 1.0 });
    EXPECT_EQ(Gradient(many).numberOfColorStops(), Gradient::kMaxStops);
    EXPECT_EQ(Gradient(many).toQtStops().size(), Gradient::kMaxStops);
    EXPECT_EQ(Gradient().stop(0).color, Color::white());
}

// Gradients compare by their stops, however they were made: copies and default stops share
// their storage, other equal stops do not, and neither may change the answer.
TEST(Gradient, EqualityFollowsTheStopsWhetherOrNotTheyAreShared)
{
    const Gradient red(Color(1, 0, 0), Color(0, 0, 1));
    struct Row {
        const char* name;
        Gradient a, b;
        bool equal;
    };
    const Row rows[] = {
        { "default and default", Gradient(), Gradient(), true },
        { "default and white to black", Gradient(), Gradient(Color::white(), Color::black()),
            true },
        { "default and the same stops listed", Gradient(),
            Gradient({ { Color::white(), 0.0 }, { Color::black(), 1.0 } }), true },
        { "a copy", red, Gradient(red), true },
        { "equal stops made apart", red, Gradient(Color(1, 0, 0), Color(0, 0, 1)), true },
        { "default and black to white", Gradient(), Gradient(Color::black(), Color::white()),
            false },
        { "a stop's location differs", Gradient(),
            Gradient({ { Color::white(), 0.0 }, { Color::black(), 0.5 } }), false },
        { "a third stop", red,
            Gradient({ { Color(1, 0, 0), 0.0 }, { Color(0, 0, 1), 1.0 }, { Color(), 1.0 } }),
            false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.a == row.b, row.equal);
        EXPECT_EQ(row.b == row.a, row.equal);
        EXPECT_EQ(row.a.stops() == row.b.stops(), row.equal);
    }
    // A gradient assigned over, or moved from, keeps stops.
    Gradient moved = red;
    Gradient taken = std::move(moved);
    EXPECT_EQ(moved.numberOfColorStops(), 2);
    EXPECT_TRUE(taken == red);
    moved = Gradient();
    EXPECT_EQ(moved.stop(1).color, Color::black());
}
