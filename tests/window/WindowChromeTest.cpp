// The title-less window's chrome: button hover and clicks, disabled buttons, title placement,
// the close checks, and the drawn colours.
#include "foundation/ColorAdditions.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"
#include "window/Window.h"
#include "window/WindowContentView.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <gtest/gtest.h>
#include <memory>

using platform::Rect;
using testsupport::Rgba;

namespace {

constexpr unsigned kAll = Window::Closable | Window::Miniaturizable | Window::Resizable;
constexpr unsigned kFixed = Window::Closable;

// Button centres in widget (y-down) coordinates: x 18, 39, 60, y 22.
QPointF centreOf(int button)
{
    return QPointF(12 + 6 + (button - 1) * 21, 16 + 6);
}

void mouse(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    testsupport::sendMouse(
        w, type, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons);
}

struct Shown {
    explicit Shown(unsigned style, QString title = QStringLiteral("Photo"))
        : window(std::make_unique<Window>(Rect(0, 0, 800, 600), style))
    {
        window->setTitle(title);
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }
    WindowContentView& view() { return *window->contentView(); }
    std::unique_ptr<Window> window;
    int closeRequests = 0;
    void countCloses()
    {
        window->setShouldCloseHandler([this](Window&) {
            ++closeRequests;
            return false;
        });
    }
};

Rgba rgbaOf(int value)
{
    return { (value >> 16) & 255, (value >> 8) & 255, value & 255, 255 };
}

Rgba brightened(int value)
{
    auto up = [](int c) { return std::min(255, c + 77); };
    const Rgba c = rgbaOf(value);
    return { up(c.r), up(c.g), up(c.b), 255 };
}

} // namespace

// A window without the resizable bit has only its close button enabled; indices outside 1...3
// are never buttons.
TEST(WindowChrome, TitledBitDroppedAndButtonsEnabledByStyle)
{
    Window window(Rect(0, 0, 300, 200), Window::Titled | kFixed);
    EXPECT_EQ(window.styleMask(), kFixed);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.validateMenuItem(Window::Command::Zoom)) << "menu commands stay enabled";
    EXPECT_FALSE(window.validateMenuItem(Window::Command::Other));
    const WindowContentView& v = *window.contentView();
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(v.windowButtonEnabledAtIndex(i), i == 1) << i;
    window.setStyleMask(kAll);
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(v.windowButtonEnabledAtIndex(i), i >= 1 && i <= 3) << i;
}

TEST(WindowChrome, DrawnTitleResolvesTheUnsavedMark)
{
    Window window(Rect(0, 0, 300, 200), kAll);
    window.setTitle(QStringLiteral("photo[*]"));
    EXPECT_EQ(window.title(), "photo");
    window.setWindowModified(true);
    EXPECT_EQ(window.title(), "photo*");
}

TEST(WindowChrome, MenuBarSitsInTheTitleBarBesideTheButtons)
{
    Window window(Rect(0, 0, 800, 500), kAll);
    auto* bar = new QMenuBar;
    bar->addMenu(QStringLiteral("File"));
    bar->addMenu(QStringLiteral("Edit"));
    window.setMenuBar(bar);
    window.resize(900, 600);
    const QRect g = bar->geometry();
    // Buttons end at x 66 (top-down); the bar stays inside the 45-point bar, right of them.
    EXPECT_GE(g.left(), 66);
    EXPECT_GE(g.top(), 0);
    EXPECT_LE(g.bottom(), 45);
    EXPECT_GT(g.width(), 0);
    EXPECT_EQ(bar->parentWidget(), &window);
    // A narrow window whose centred title would meet the menu takes the menu to the right.
    Window narrow(Rect(0, 0, 520, 360), kAll);
    narrow.setTitle(QStringLiteral("Welcome to Quillmark"));
    auto* menu = new QMenuBar;
    menu->addMenu(QStringLiteral("File"));
    menu->addMenu(QStringLiteral("Edit"));
    menu->addMenu(QStringLiteral("Window"));
    narrow.setMenuBar(menu);
    const auto [textLeft, textRight] = narrow.contentView()->titleTextSpan();
    EXPECT_GT(menu->geometry().left(), textRight);
    EXPECT_LE(menu->geometry().right(), 520);
    EXPECT_GT(textLeft, 66);
    // Replacing the bar frees the old one.
    QPointer<QMenuBar> old = bar;
    window.setMenuBar(new QMenuBar);
    EXPECT_TRUE(old.isNull());
}

TEST(WindowChrome, ClicksActOnlyWhenPressAndReleaseHitOneEnabledButton)
{
    struct Row {
        const char* name;
        unsigned style;
        QPointF press; // empty: no press at all
        QPointF release;
        bool closes;
        bool minimises;
        bool maximises;
    };
    const QPointF bar(400, 20), body(400, 300), off(-50, 300);
    const Row rows[] = {
        { "close pressed and released", kAll, centreOf(1), centreOf(1), true, false, false },
        { "close pressed, dragged off and released", kAll, centreOf(1), off, false, false, false },
        { "close pressed, released on minimise", kAll, centreOf(1), centreOf(2), false, false,
            false },
        { "bar pressed, released on close", kAll, bar, centreOf(1), false, false, false },
        { "release on close without a press", kAll, QPointF(), centreOf(1), false, false, false },
        { "body clicked", kAll, body, body, false, false, false },
        { "minimise", kAll, centreOf(2), centreOf(2), false, true, false },
        { "zoom", kAll, centreOf(3), centreOf(3), false, false, true },
        { "minimise without resizable bit", kFixed, centreOf(2), centreOf(2), false, false, false },
        { "zoom without resizable bit", kFixed, centreOf(3), centreOf(3), false, false, false },
        { "close without resizable bit", kFixed, centreOf(1), centreOf(1), true, false, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shown s(row.style);
        s.countCloses();
        // A hover left over from earlier must not make a later click act.
        mouse(s.view(), QEvent::MouseMove, centreOf(1), Qt::NoButton);
        if (!row.press.isNull())
            mouse(s.view(), QEvent::MouseButtonPress, row.press, Qt::LeftButton);
        if (!row.press.isNull())
            mouse(s.view(), QEvent::MouseMove, row.release, Qt::LeftButton);
        mouse(s.view(), QEvent::MouseButtonRelease, row.release, Qt::NoButton);
        EXPECT_EQ(s.closeRequests, row.closes ? 1 : 0);
        EXPECT_EQ(s.window->isMinimized(), row.minimises);
        EXPECT_EQ(s.window->isMaximized(), row.maximises);
    }
}

TEST(WindowChrome, ZoomTogglesMaximised)
{
    Shown s(kAll);
    s.window->performZoom();
    EXPECT_TRUE(s.window->isMaximized());
    s.window->performZoom();
    EXPECT_FALSE(s.window->isMaximized());
}

// A double click on the bar maximises and restores, as Linux window managers do; on a button,
// on the body or on a window that cannot be resized it does not.
TEST(WindowChrome, DoubleClickOnTheBarZooms)
{
    struct Row {
        const char* name;
        unsigned style;
        QPointF at;
        bool maximises;
    };
    const Row rows[] = {
        { "bar", kAll, QPointF(400, 20), true },
        { "bar beside the buttons", kAll, QPointF(90, 40), true },
        { "zoom button: two clicks, back to normal", kAll, centreOf(3), false },
        { "body", kAll, QPointF(400, 300), false },
        { "bar of a fixed window", kFixed, QPointF(400, 20), false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shown s(row.style);
        s.countCloses();
        for (bool maximised : { row.maximises, false }) {
            mouse(s.view(), QEvent::MouseButtonPress, row.at, Qt::LeftButton);
            mouse(s.view(), QEvent::MouseButtonRelease, row.at, Qt::NoButton);
            mouse(s.view(), QEvent::MouseButtonDblClick, row.at, Qt::LeftButton);
            mouse(s.view(), QEvent::MouseButtonRelease, row.at, Qt::NoButton);
            EXPECT_EQ(s.window->isMaximized(), maximised);
        }
        EXPECT_EQ(s.closeRequests, 0);
    }
}

// Where a window opens: fitted into the screen's free area, centred, later ones cascading.
TEST(WindowChrome, PlacementFitsCentresAndCascades)
{
    struct Row {
        const char* name;
        QRect available;
        std::optional<QRect> previous;
        QRect expected;
    };
    const QSize preferred(1200, 800), minimum(640, 480);
    const Row rows[] = {
        { "room to spare: centred", QRect(0, 0, 1920, 1050), std::nullopt,
            QRect(360, 125, 1200, 800) },
        { "scale 2 on 1920 x 1080: fitted", QRect(0, 0, 960, 510), std::nullopt,
            QRect(0, 0, 960, 510) },
        { "second screen to the right", QRect(1920, 0, 1920, 1080), std::nullopt,
            QRect(2280, 140, 1200, 800) },
        { "area smaller than the minimum", QRect(0, 0, 600, 400), std::nullopt,
            QRect(0, 0, 600, 400) },
        { "cascades from the previous", QRect(0, 0, 1920, 1050), QRect(360, 125, 1200, 800),
            QRect(388, 153, 1200, 800) },
        { "cascade off the area starts again at its top left", QRect(0, 30, 1920, 1050),
            QRect(700, 260, 1200, 800), QRect(0, 30, 1200, 800) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QRect placed = Window::placement(preferred, minimum, row.available, row.previous);
        EXPECT_EQ(placed, row.expected);
        EXPECT_TRUE(row.available.contains(placed));
    }
}

// Two windows placed one after the other do not open on top of each other.
TEST(WindowChrome, SecondWindowCascades)
{
    Window first(Rect(0, 0, 400, 300), kAll), second(Rect(0, 0, 400, 300), kAll);
    first.center();
    first.show();
    second.center();
    const QRect free = first.screen()->availableGeometry();
    EXPECT_EQ(first.geometry().center(), free.center());
    EXPECT_EQ(second.pos(), first.pos() + QPoint(Window::kCascadeStep, Window::kCascadeStep));
}

TEST(WindowChrome, HoverBrightensEveryEnabledButtonAndLeavingClearsIt)
{
    struct Row {
        const char* name;
        unsigned style;
        int hoveredButton; // where the pointer goes
        int expectHover;
    };
    const Row rows[] = {
        { "close, resizable", kAll, 1, 1 },
        { "zoom, resizable", kAll, 3, 3 },
        { "close, fixed", kFixed, 1, 1 },
        { "minimise, fixed: never hovered", kFixed, 2, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shown s(row.style);
        mouse(s.view(), QEvent::MouseMove, centreOf(row.hoveredButton), Qt::NoButton);
        EXPECT_EQ(s.view().hoveredWindowButton(), row.expectHover);
        const QImage image = s.view().renderToImage();
        const bool lit = row.expectHover > 0;
        const int colours[3] = { 0xFC5753, 0xFDBC40, 0x33C748 };
        for (int b = 1; b <= 3; ++b) {
            Rgba expected;
            if (!s.view().windowButtonEnabledAtIndex(b))
                expected = { 85, 85, 85, 255 };
            else
                expected = lit ? brightened(colours[b - 1]) : rgbaOf(colours[b - 1]);
            EXPECT_PIXEL_NEAR(image, int(centreOf(b).x()), 600 - 22, expected, 2);
        }
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&s.view(), &leave);
        EXPECT_EQ(s.view().hoveredWindowButton(), 0);
    }
}

TEST(WindowChrome, BodyBarAndCorners)
{
    for (bool translucent : { false, true }) {
        SCOPED_TRACE(translucent ? "translucent corners" : "opaque corners");
        Window window(Rect(0, 0, 400, 300), kAll);
        window.setTranslucentCorners(translucent);
        const QImage image = window.contentView()->renderToImage();
        EXPECT_PIXEL_NEAR(image, 200, 100, rgbaOf(0x181918), 1);
        EXPECT_PIXEL_NEAR(image, 390, 280, rgbaOf(0x151516), 1);
        EXPECT_PIXEL_NEAR(image, 390, 250, rgbaOf(0x181918), 1);
        const Rgba corner = testsupport::pixelAt(image, 0, 0);
        EXPECT_EQ(corner.a, translucent ? 0 : 255);
    }
}

TEST(WindowChrome, TitlePlacement)
{
    struct Row {
        const char* title;
        int width;
        double x;
    };
    const Row rows[] = {
        { "Welcome to Quillmark", 800, 240 },
        { "Welcome to Quillmark", 801, 241 }, // 240.5 rounds away from zero
        { "Photo.quillmark", 800, 150 },
        { "Photo.quillmark", 801, 151 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        Window window(Rect(0, 0, row.width, 400), kAll);
        window.setTitle(QString::fromUtf8(row.title));
        EXPECT_EQ(window.contentView()->titleRect(), Rect(row.x, 400 - 55, 300, 45));
        // The title's ink is centred in its rectangle and stays in the bar.
        const QImage image = window.contentView()->renderToImage();
        int left = row.width, right = -1;
        for (int y = 400 - 45; y < 400; ++y)
            for (int x = 0; x < row.width; ++x)
                if (testsupport::near(testsupport::pixelAt(image, x, y), rgbaOf(0xB0B0B0), 40)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, left);
        EXPECT_NEAR((left + right + 1) / 2.0, row.x + 150, 3);
    }
}

// In a narrow window the title is drawn only where neither the window buttons nor the menu
// (File, Edit, Arrange, Window) are: whole, cut short with an ellipsis, or not at all.
TEST(WindowChrome, TitleKeepsOffTheButtonsAndTheMenu)
{
    struct Row {
        const char* name;
        int width;
        const char* title;
        enum { Whole, Cut, None } shown;
    };
    const Row rows[] = {
        { "short title at 500", 500, "Photo.quillmark", Row::Whole },
        { "long title at 500", 500, "Holiday at the lake, the second afternoon, edited.quillmark",
            Row::Cut },
        { "long title at 1200", 1200,
            "Holiday at the lake, the second afternoon, edited.quillmark", Row::Whole },
        { "no room at 330", 330, "Photo.quillmark", Row::None },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Window window(Rect(0, 0, row.width, 300), kAll);
        window.setTitle(QString::fromUtf8(row.title));
        auto* bar = new QMenuBar;
        for (const char* menu : { "File", "Edit", "Arrange", "Window" })
            bar->addMenu(QString::fromLatin1(menu));
        window.setMenuBar(bar);
        QApplication::processEvents();
        const QRect menu = bar->geometry();
        ASSERT_GT(menu.width(), 200) << "the four menus";
        // The title's ink, along x, in the bar's rows (the picture is y-up, as in TitlePlacement).
        const QImage image = window.contentView()->renderToImage();
        int left = row.width, right = -1;
        for (int y = 300 - 45; y < 300; ++y)
            for (int x = 0; x < row.width; ++x)
                if (testsupport::near(testsupport::pixelAt(image, x, y), rgbaOf(0xB0B0B0), 40)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        const auto shown = window.contentView()->shownTitle();
        if (row.shown == Row::None) {
            EXPECT_FALSE(shown);
            EXPECT_EQ(right, -1) << "no title drawn";
            continue;
        }
        ASSERT_TRUE(shown);
        ASSERT_GE(right, left) << "a title drawn";
        EXPECT_GT(left, 66) << "right of the window buttons";
        EXPECT_LT(right, row.width);
        EXPECT_TRUE(right < menu.left() || left > menu.right())
            << "ink " << left << ".." << right << ", menu " << menu.left() << ".." << menu.right();
        EXPECT_EQ(shown->text == window.title(), row.shown == Row::Whole);
        if (row.shown == Row::Cut) {
            EXPECT_TRUE(shown->text.contains(QChar(0x2026)));
        }
    }
}

TEST(WindowChrome, CloseChecks)
{
    struct Row {
        const char* name;
        bool shouldClose;
        bool documentAnswer;
        bool hasDocument;
        bool staysOpen;
    };
    const Row rows[] = {
        { "no document closes", true, true, false, false },
        { "delegate refuses", false, true, false, true },
        { "document check answers yes", true, true, true, false },
        { "document check answers no", true, false, true, true },
        { "delegate refuses before the document is asked", false, true, true, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shown s(kAll);
        int asked = 0;
        s.window->setShouldCloseHandler([&](Window&) { return row.shouldClose; });
        if (row.hasDocument)
            s.window->setDocumentCloseCheck([&](std::function<void(bool)> done) {
                ++asked;
                done(row.documentAnswer);
            });
        s.window->performClose();
        EXPECT_EQ(s.window->isVisible(), row.staysOpen);
        EXPECT_EQ(asked, row.hasDocument && row.shouldClose ? 1 : 0);
    }
}

TEST(WindowChrome, OutsideCloseGoesThroughTheChecksAndLateAnswersAreHarmless)
{
    std::function<void(bool)> pending;
    auto s = std::make_unique<Shown>(kAll);
    s->window->setDocumentCloseCheck([&](std::function<void(bool)> done) { pending = done; });
    s->window->close();
    QApplication::processEvents();
    EXPECT_TRUE(s->window->isVisible());
    ASSERT_TRUE(pending);
    s.reset();
    pending(true); // the window is gone: nothing happens
}
