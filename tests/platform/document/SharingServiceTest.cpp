// The share menu's services, with the desktop they call on replaced by recording doubles; and
// the real detached runner's exit codes.
#include "platform/document/SharingService.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIcon>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;

namespace {

struct Recorder {
    QStringList installed { QStringLiteral("xdg-email"), QStringLiteral("xdg-open") };
    bool portal = true;
    int portalResponse = 0;
    int programExit = 0;
    QStringList calls;
    std::unique_ptr<QMimeData> clipboard;

    SharingEnvironment environment()
    {
        SharingEnvironment env;
        env.findExecutable = [this](const QString& p) {
            return installed.contains(p) ? QStringLiteral("/usr/bin/") + p : QString();
        };
        env.runProgram = [this](const QString& p, const QStringList& args, auto done) {
            calls << p + QLatin1Char(' ') + args.join(QLatin1Char(' '));
            done(programExit);
        };
        env.hasPortal = [this] { return portal; };
        env.portalOpenFile = [this](const QString& path, auto done) {
            calls << QStringLiteral("portal ") + path;
            done(portalResponse);
        };
        env.setClipboard = [this](QMimeData* data) { clipboard.reset(data); };
        return env;
    }
};

QStringList titles(const std::vector<std::shared_ptr<SharingService>>& services)
{
    QStringList out;
    for (const auto& s : services)
        out << s->title();
    return out;
}

// Runs the service and waits (turning the event loop) for its one completion.
ShareResult perform(SharingService& service, const SharingItems& items)
{
    std::optional<ShareResult> result;
    int completions = 0;
    service.performWithItems(items, [&](const ShareResult& r) {
        result = r;
        ++completions;
    });
    QDeadlineTimer deadline(20000);
    while (!result && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(completions, 1);
    return result.value_or(ShareResult { false, QStringLiteral("no completion") });
}

std::shared_ptr<SharingService> serviceNamed(Recorder& rec, const QString& title)
{
    for (const auto& s : sharingServicesForItems(rec.environment()))
        if (s->title() == title)
            return s;
    return nullptr;
}

} // namespace

TEST(SharingService, ListsWhatThisDesktopCanDo)
{
    struct Row {
        QStringList installed;
        bool portal;
        QStringList expected;
    };
    const QString copy = QStringLiteral("Copy Image"), mail = QStringLiteral("Email…"),
                  open = QStringLiteral("Open With…");
    const Row rows[] = {
        { { QStringLiteral("xdg-email"), QStringLiteral("xdg-open") }, true, { copy, mail, open } },
        { { QStringLiteral("xdg-open") }, false, { copy, open } },
        { { QStringLiteral("xdg-email") }, true, { copy, mail, open } },
        { {}, true, { copy, open } },
        { {}, false, { copy } },
    };
    for (const Row& row : rows) {
        Recorder rec;
        rec.installed = row.installed;
        rec.portal = row.portal;
        EXPECT_EQ(titles(sharingServicesForItems(rec.environment())), row.expected)
            << row.installed.join(',').toStdString() << " portal " << row.portal;
    }
}

TEST(SharingService, EmailAttachesTheFileAndReportsItsExit)
{
    struct Row {
        int exit;
        bool ok;
        const char* errorPart;
    };
    for (const Row& row : { Row { 0, true, "" }, Row { 3, false, "code 3" },
             Row { -1, false, "could not be started" } }) {
        Recorder rec;
        rec.programExit = row.exit;
        const ShareResult r = perform(*serviceNamed(rec, QStringLiteral("Email…")),
            { QStringLiteral("/tmp/x/quillmarkout.jpg"), {} });
        EXPECT_EQ(rec.calls,
            QStringList { QStringLiteral("/usr/bin/xdg-email --attach /tmp/x/quillmarkout.jpg") });
        EXPECT_EQ(r.ok, row.ok) << row.exit;
        EXPECT_TRUE(r.error.contains(QLatin1String(row.errorPart))) << r.error.toStdString();
    }
}

TEST(SharingService, OpenWithAsksThePortalThenFallsBackToXdgOpen)
{
    const QString file = QStringLiteral("/tmp/x/quillmarkout.jpg");
    struct Row {
        bool portal;
        int response;
        QStringList calls;
        bool ok;
        bool silent; // no message: the person cancelled
    };
    const QString asked = QStringLiteral("portal ") + file;
    const QString xdgOpen = QStringLiteral("/usr/bin/xdg-open ") + file;
    const Row rows[] = {
        { true, 0, { asked }, true, true },
        { true, 1, { asked }, false, true },
        { true, 2, { asked }, false, false },
        { true, SharingEnvironment::kNoPortal, { asked, xdgOpen }, true, true },
        { false, 0, { xdgOpen }, true, true },
    };
    for (const Row& row : rows) {
        Recorder rec;
        rec.portal = row.portal;
        rec.portalResponse = row.response;
        const ShareResult r
            = perform(*serviceNamed(rec, QStringLiteral("Open With…")), { file, {} });
        EXPECT_EQ(rec.calls, row.calls) << row.response;
        EXPECT_EQ(r.ok, row.ok) << row.response;
        EXPECT_EQ(r.error.isEmpty(), row.silent) << row.response;
    }
}

TEST(SharingService, CopyImagePutsPngAndTheJpegOnTheClipboard)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmarkout.jpg"));
    QImage picture(64, 40, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 60));
    ASSERT_TRUE(picture.save(path, "JPEG", 100));
    QFile jpegFile(path);
    ASSERT_TRUE(jpegFile.open(QIODevice::ReadOnly));
    const QByteArray jpeg = jpegFile.readAll();

    for (bool withImage : { true, false }) {
        Recorder rec;
        const ShareResult r = perform(*serviceNamed(rec, QStringLiteral("Copy Image")),
            { path, withImage ? picture : QImage() });
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        ASSERT_TRUE(rec.clipboard);
        EXPECT_EQ(rec.clipboard->data(QStringLiteral("image/jpeg")), jpeg);
        const QImage png
            = QImage::fromData(rec.clipboard->data(QStringLiteral("image/png")), "PNG");
        ASSERT_EQ(png.size(), picture.size());
        // From the picture itself the PNG is exact; from the JPEG within its loss.
        const QColor c = png.pixelColor(10, 10);
        EXPECT_NEAR(c.red(), 200, withImage ? 0 : 4);
        EXPECT_NEAR(c.green(), 30, withImage ? 0 : 4);
    }

    Recorder rec;
    const ShareResult missing = perform(*serviceNamed(rec, QStringLiteral("Copy Image")),
        { dir.filePath(QStringLiteral("gone.jpg")), {} });
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(rec.clipboard);
}

TEST(SharingService, TheDetachedRunnerReportsExitCodes)
{
    const SharingEnvironment env = SharingEnvironment::system();
    struct Row {
        QString program;
        QStringList args;
        int expected;
    };
    const Row rows[] = {
        { QStringLiteral("/bin/true"), {}, 0 },
        { QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("exit 4") }, 4 },
        // Arguments with spaces and quotes arrive as they were given.
        { QStringLiteral("/bin/sh"),
            { QStringLiteral("-c"), QStringLiteral("[ \"$1\" = 'a \"b\" c' ]"),
                QStringLiteral("sh"), QStringLiteral("a \"b\" c") },
            0 },
    };
    for (const Row& row : rows) {
        std::optional<int> code;
        env.runProgram(row.program, row.args, [&](int c) { code = c; });
        QDeadlineTimer deadline(10000);
        while (!code && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(code, row.expected) << row.args.join(' ').toStdString();
    }
}

// Each service carries the icon theme's icon where the theme has one (Adwaita keeps only the
// symbolic forms), and none where it has not.
TEST(SharingService, ServicesCarryTheThemesIcons)
{
    const QString previous = QIcon::themeName();
    const QString fallback = QIcon::fallbackThemeName();
    const QStringList paths = QIcon::themeSearchPaths();
    // Where the desktop keeps its themes (the offscreen platform names none).
    QIcon::setThemeSearchPaths({ QStringLiteral("/usr/share/icons") });
    Recorder rec;
    rec.installed = { QStringLiteral("xdg-email"), QStringLiteral("xdg-open") };
    rec.portal = true;
    QIcon::setFallbackThemeName(QStringLiteral("no-such-theme"));
    for (const auto& [theme, expected] : { std::pair { QStringLiteral("Adwaita"), true },
             { QStringLiteral("no-such-theme"), false } }) {
        QIcon::setThemeName(theme);
        if (expected && QIcon::fromTheme(QStringLiteral("edit-copy-symbolic")).isNull()) {
            QIcon::setThemeName(previous);
            QIcon::setFallbackThemeName(fallback);
            QIcon::setThemeSearchPaths(paths);
            GTEST_SKIP() << "the Adwaita icon theme is not installed";
        }
        for (const auto& s : sharingServicesForItems(rec.environment()))
            EXPECT_EQ(!s->image().isNull(), expected)
                << s->title().toStdString() << " in " << theme.toStdString();
    }
    QIcon::setThemeName(previous);
    QIcon::setFallbackThemeName(fallback);
    QIcon::setThemeSearchPaths(paths);
}
