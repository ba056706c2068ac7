// Our own artwork by name: rendered at the asked size and scale, cached, and absent names or
// bad sizes give no picture rather than a crash.
#include "platform/ui/NamedImage.h"

#include "support/PixelProbe.h"

#include <QDir>
#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

TEST(NamedImage, RendersOurArtworkAtSizeAndScale)
{
    struct Row {
        const char* name;
        Size natural;
    };
    for (const Row& row :
        { Row { "downbutton", { 25, 25 } }, Row { "ZoomSliderBackdrop", { 166, 16 } } }) {
        const QString name = QString::fromLatin1(row.name);
        EXPECT_EQ(namedImageNaturalSize(name).width, row.natural.width) << row.name;
        const Image at1 = namedImage(name, row.natural, 1.0);
        const Image at2 = namedImage(name, row.natural, 2.0);
        ASSERT_FALSE(at1.isNull()) << row.name;
        EXPECT_EQ(at1.size().width, row.natural.width) << row.name;
        EXPECT_EQ(at2.pixelSize(), QSize(int(row.natural.width * 2), int(row.natural.height * 2)))
            << row.name;
        EXPECT_TRUE(at1 == namedImage(name, row.natural, 1.0)) << "cached: " << row.name;
        // Something is painted.
        const QImage px = at2.toQImage();
        int painted = 0;
        for (int y = 0; y < px.height(); ++y)
            for (int x = 0; x < px.width(); ++x)
                painted += qAlpha(px.pixel(x, y)) > 0;
        EXPECT_GT(painted, 20) << row.name;
    }
}

TEST(NamedImage, MissingNamesAndBadSizesGiveNoPicture)
{
    EXPECT_TRUE(namedImage(QStringLiteral("no-such-artwork"), { 10, 10 }).isNull());
    for (Size s : { Size(0, 10), Size(-1, 5), Size(NAN, 4), Size(INFINITY, 4) })
        EXPECT_TRUE(namedImage(QStringLiteral("downbutton"), s).isNull());
    EXPECT_TRUE(namedImage(QStringLiteral("downbutton"), { 25, 25 }, NAN).isNull());
    EXPECT_EQ(namedImageNaturalSize(QStringLiteral("no-such-artwork")).width, 0);
}

// Every picture of ours parses without complaint: the SVG renderer drops elements it cannot read
// (and says so) while still drawing the rest, so broken artwork would otherwise go unnoticed.
TEST(NamedImage, EveryArtworkFileParsesCleanly)
{
    static QStringList complaints;
    complaints.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& message) {
            if (context.category && QByteArray(context.category).startsWith("qt.svg"))
                complaints << message;
        });
    const QDir resources(
        qEnvironmentVariable("QUILLMARK_TEST_DATA") + QStringLiteral("/../../resources"));
    const QStringList files = resources.entryList({ QStringLiteral("*.svg") }, QDir::Files);
    EXPECT_GT(files.size(), 10);
    for (const QString& file : files) {
        const QString name = file.chopped(4);
        const Size natural = namedImageNaturalSize(name);
        EXPECT_FALSE(namedImage(name, natural, 1.0).isNull()) << name.toStdString();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(complaints.isEmpty()) << complaints.join(QLatin1Char('\n')).toStdString();
}
