// The debugging aids that write pictures: into the desktop folder, else the pictures folder,
// here both pointed into a temporary folder through the XDG user-dirs file.
#include "foundation/BezierPathAdditionsDebug.h"
#include "foundation/ImageAdditions.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using platform::BezierPath;

// Points the desktop and pictures folders at sub-folders of a temporary folder (created or
// not) for the lifetime of the object.
class UserDirs {
public:
    UserDirs(bool desktop, bool pictures)
        : m_previous(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", m_root.path().toLocal8Bit());
        QFile file(m_root.filePath("user-dirs.dirs"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("XDG_DESKTOP_DIR=\"%1\"\nXDG_PICTURES_DIR=\"%2\"\n")
                       .arg(desktopPath(), picturesPath())
                       .toUtf8());
        file.close();
        if (desktop)
            QDir().mkpath(desktopPath());
        if (pictures)
            QDir().mkpath(picturesPath());
    }
    ~UserDirs() { qputenv("XDG_CONFIG_HOME", m_previous); }
    QString desktopPath() const { return m_root.filePath("Desk top"); }
    QString picturesPath() const { return m_root.filePath("Pictures"); }

private:
    QTemporaryDir m_root;
    QByteArray m_previous;
};

QImage sample()
{
    QImage image(7, 5, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(10, 200, 30));
    image.setPixelColor(3, 2, QColor(250, 0, 0, 128));
    return image;
}

TEST(PathDebug, SaveDesktopTestImage)
{
    struct Row {
        const char* name;
        bool desktop, pictures;
        QString file;
        bool written;
        const char* folder; // "desktop", "pictures" or none
    } rows[] = {
        { "into the desktop folder", true, true, "probe", true, "desktop" },
        { "the pictures folder when there is no desktop", false, true, "probe", true, "pictures" },
        { "neither folder: a failure", false, false, "probe", false, nullptr },
        { "a name that walks out of the folder", true, true, "../probe", false, nullptr },
        { "no name", true, true, "", false, nullptr },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const UserDirs dirs(row.desktop, row.pictures);
        EXPECT_EQ(
            saveDesktopTestImage(platform::Image::fromQImage(sample()), row.file), row.written);
        if (!row.folder)
            continue;
        const QString folder
            = QString(row.folder) == "desktop" ? dirs.desktopPath() : dirs.picturesPath();
        const QImage back(QDir(folder).filePath(row.file + ".png"));
        ASSERT_FALSE(back.isNull());
        // Lossless: every pixel as it was.
        EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32_Premultiplied), sample());
    }
    const UserDirs dirs(true, true);
    EXPECT_FALSE(saveDesktopTestImage(platform::Image(), "null"));
    EXPECT_FALSE(QFile::exists(QDir(dirs.desktopPath()).filePath("null.png")));
}

TEST(PathDebug, ShowIntersectionsMarksEachRecord)
{
    const UserDirs dirs(true, false);
    BezierPath a;
    a.moveTo({ 0, 0 });
    a.lineTo({ 10, 10 });
    BezierPath b;
    b.moveTo({ 0, 10 });
    b.lineTo({ 10, 0 });
    ASSERT_TRUE(showIntersectionsWithPath(a, b, "crossing"));
    const QImage picture(QDir(dirs.desktopPath()).filePath("crossing.png"));
    ASSERT_FALSE(picture.isNull());
    // The crossing (5, 5) lands in the middle of the picture: its dot is red or blue (the
    // other path's entry code is +1 or -1), beside the black and grey strokes.
    int marked = 0;
    const QPoint centre(picture.width() / 2, picture.height() / 2);
    for (int y = centre.y() - 3; y <= centre.y() + 3; ++y)
        for (int x = centre.x() - 3; x <= centre.x() + 3; ++x) {
            const QColor c = picture.pixelColor(x, y);
            marked += (c.red() > 200 || c.blue() > 200) && c.green() < 60;
        }
    EXPECT_GT(marked, 4);
    // Nothing finite to draw is reported, not written.
    BezierPath infinite;
    infinite.moveTo({ 0, 0 });
    infinite.lineTo({ std::numeric_limits<double>::infinity(), 1 });
    EXPECT_FALSE(showIntersectionsWithPath(infinite, b, "infinite"));
    EXPECT_FALSE(showIntersectionsWithPath(BezierPath(), BezierPath(), "empty"));
}

} // namespace
