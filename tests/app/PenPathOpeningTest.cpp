// Pen paths the reader accepts, however far their points or wide their stroke, open and paint
// their first frame in the real window with work bounded by what is shown: CPU time of this
// process, measured around the opening (the unbounded drawing took minutes, or never ended).
// The smaller reproducers are kept as document fuzz inputs too; these are too large for that.
#include "../../fuzz/DocumentInput.h"
#include "AppFakes.h"
#include "app/DocumentFile.h"
#include "support/NamedCase.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace {

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct PenRow {
    const char* name;
    int points;
    double centre; // unit-box coordinates, spread evenly around the centre
    double spread;
    int stroke;
    bool closed = false;
    bool gradient = false; // the stroke filled with a linear gradient, through its band as a clip
};

QByteArray penDocument(const PenRow& row)
{
    DocumentContents c;
    c.imageData = apptest::pictureBytes(QSize(600, 400), "jpeg");
    UNDODATA r;
    r.type = UNDODATA::ShapeBox;
    r.shapeType = 15; // pen path
    r.frame = platform::Rect(50, 50, 200, 150);
    r.strokeSize = row.stroke;
    r.strokeColor = SZGradient();
    if (row.gradient) {
        r.strokeColor->gradientType = SZGradient::LinearFill;
        r.strokeColor->gradient
            = platform::Gradient(platform::Color(1, 0, 0), platform::Color(0, 0, 1));
    }
    if (row.closed)
        r.endType = 99; // a closed path: filled, and stroked along its outline
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int i = 0; i < row.points; ++i) {
        r.points.emplace_back(
            row.centre + row.spread * unit(random), row.centre + row.spread * unit(random));
        r.controlVals.emplace_back(false);
    }
    c.boxes = ContainerSnapshot({ r });
    return DocumentFile::write(c);
}

class PenPaths : public ::testing::TestWithParam<PenRow> { };

} // namespace

TEST_P(PenPaths, OpenAndPaintWithinBoundedWork)
{
    const QByteArray bytes = penDocument(GetParam());
    ASSERT_FALSE(bytes.isEmpty());
    const double before = processCpuSeconds();
    fuzzinput::openDocument(bytes);
    EXPECT_LT(processCpuSeconds() - before, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Document, PenPaths,
    ::testing::Values(PenRow { "points_1000_stroke_100000", 1000, 0.5, 0.5, 100000 },
        PenRow { "points_100000_at_1e300_stroke_100000", 100000, 0.0, 1e300, 100000 },
        PenRow { "points_100000_near_1e4", 100000, 1e4, 100, 6 },
        PenRow { "points_100000_over_1e4_stroke_100000", 100000, 0.0, 1e4, 100000 },
        PenRow { "closed_points_1000_stroke_100000", 1000, 0.5, 0.5, 100000, true },
        PenRow { "closed_points_1000_gradient_stroke_100000", 1000, 0.5, 0.5, 100000, true, true },
        PenRow { "closed_points_100000_over_1e4_stroke_100000", 100000, 0.0, 1e4, 100000, true }),
    testsupport::RowName());
