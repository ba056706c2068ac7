#pragma once
// Pixel probes for drawing tests. Coordinates are y-up, as everywhere in the model: (0, 0) is
// the bottom-left pixel of the image.
#include <QImage>
#include <string>

namespace testsupport {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

// A cleared premultiplied ARGB image.
QImage blankImage(int width, int height);

// The unpremultiplied colour of the pixel whose bottom-left corner is (x, y) in y-up terms.
Rgba pixelAt(const QImage& image, int x, int y);
// The premultiplied components, as stored.
Rgba premultipliedAt(const QImage& image, int x, int y);

// True when every component differs by at most tolerance.
bool near(const Rgba& a, const Rgba& b, int tolerance);

std::string describe(const Rgba& c);

// The largest difference of any premultiplied component between two images of one size.
int worstDifference(const QImage& a, const QImage& b);
// The mean difference of the premultiplied components over all pixels.
double meanDifference(const QImage& a, const QImage& b);

// How a drawing differs from the picture kept for it in a file, both taken in one format.
struct KeptDifference {
    bool read = false; // the kept picture could be read, and has the drawing's size
    long differing = 0; // pixels not equal
    int worst = 0; // the largest difference of one component
};
KeptDifference differenceFromKept(const QImage& drawn, const QString& path, QImage::Format format);
// Keeps a drawing as the picture later drawings are compared with (the tests' write mode).
bool keepPicture(const QImage& drawn, const QString& path);

// The painter flattens curves within a quarter of a pixel, our coverage rasteriser within a
// twentieth: where drawing through the painter's clip is compared with drawing through our
// coverage, an edge pixel of a curve may differ by this much (the means stay well under one).
constexpr int kPainterFlatteningDifference = 32;

} // namespace testsupport

#define EXPECT_PIXEL_NEAR(image, x, y, expected, tol)                                              \
    do {                                                                                           \
        const auto got_ = ::testsupport::pixelAt((image), (x), (y));                               \
        EXPECT_TRUE(::testsupport::near(got_, (expected), (tol)))                                  \
            << "at (" << (x) << ", " << (y) << ") got " << ::testsupport::describe(got_)           \
            << " expected " << ::testsupport::describe(expected);                                  \
    } while (0)
