// The redraw of a shape with every effect holds its pixels: star and oval callout, each with a
// gradient fill, then a gradient stroke, an inner shadow and a drop shadow added, rendered and
// compared bit for bit with the pictures kept in tests/data/shape_redraw (made by this same
// drawing). Work done to make the redraw cheaper must not move a single value.
//
// QUILLMARK_WRITE_PICTURES=1 writes the pictures anew instead (only after a change that is
// meant to alter the drawing).
#include "BoxTestSupport.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"

#include <QDir>
#include <gtest/gtest.h>

using platform::Color;
using platform::Rect;
using platform::View;

namespace {

// Large enough that the shadows' blurs are split over threads and the inner shadow's blur is
// taken in a window of its plane.
constexpr double kCanvas = 800.0;

struct Scene {
    View canvas { Rect(0, 0, kCanvas, kCanvas) };
    MyShapeView* shape = nullptr;

    Scene(int type, int parts)
    {
        auto* warp = canvas.addSubview(std::make_unique<MyPerspectiveView>(canvas.bounds()));
        auto* wrapper = warp->addSubview(std::make_unique<MyShapeSuper>(canvas.bounds()));
        shape = wrapper->addSubview(std::make_unique<MyShapeView>(Rect(40, 45, 720, 700), type));
        shape->setOverlayColor(boxtest::linear(Color(0.9, 0.2, 0.1), Color(0.1, 0.3, 0.9), 30.0));
        shape->setStrokeColor(boxtest::linear(Color(1.0, 0.9, 0.2), Color(0.2, 0.6, 0.1), 30.0));
        shape->setStrokeSize(parts >= 2 ? 10 : 0);
        shape->setInnerShadowColor(Color(0, 0, 0, 0.75));
        shape->setInnerShadowOffsetSize(parts >= 3 ? 10 : 0);
        shape->setInnerShadowBlurSize(12);
        shape->setShadowColor(
            parts >= 4 ? std::optional<Color>(Color(0, 0, 0, 0.75)) : std::nullopt);
        shape->setShadowOffsetSize(10);
        shape->setShadowBlurSize(10);
        shape->setShadows();
    }
};

QString picturePath(const char* name)
{
    return QDir(QString::fromLocal8Bit(qgetenv("QUILLMARK_TEST_DATA")))
        .filePath(QStringLiteral("shape_redraw/%1.png").arg(QLatin1String(name)));
}

} // namespace

TEST(ShapeRedrawPixels, EveryEffectKeepsItsBits)
{
    struct Row {
        const char* name;
        int type;
        int parts; // fill; + stroke; + inner shadow; + drop shadow
    };
    const Row rows[] = {
        { "star-fill", shape::Star, 1 },
        { "star-stroke", shape::Star, 2 },
        { "star-inner-shadow", shape::Star, 3 },
        { "star-drop-shadow", shape::Star, 4 },
        { "callout-fill", shape::OvalCallout, 1 },
        { "callout-stroke", shape::OvalCallout, 2 },
        { "callout-inner-shadow", shape::OvalCallout, 3 },
        { "callout-drop-shadow", shape::OvalCallout, 4 },
    };
    const bool write = qgetenv("QUILLMARK_WRITE_PICTURES") == "1";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene scene(row.type, row.parts);
        const QImage got
            = boxtest::render(scene.canvas).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Drawn twice, the same bits: the comparison below then holds the drawing itself.
        ASSERT_EQ(got,
            boxtest::render(scene.canvas).convertToFormat(QImage::Format_ARGB32_Premultiplied));
        const QString path = picturePath(row.name);
        if (write) {
            ASSERT_TRUE(testsupport::keepPicture(got, path));
            continue;
        }
        const testsupport::KeptDifference d
            = testsupport::differenceFromKept(got, path, QImage::Format_ARGB32_Premultiplied);
        ASSERT_TRUE(d.read) << path.toStdString();
        EXPECT_EQ(d.differing, 0) << "largest difference " << d.worst;
    }
}
