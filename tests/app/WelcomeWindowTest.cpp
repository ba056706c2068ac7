// Files dropped on the welcome window: a picture opens as a document, a file that cannot be
// opened shows File > Open's alert, and drags without a local file are declined.
#include "app/WelcomeWindow.h"

#include "AppFakes.h"
#include "app/AppDelegate.h"
#include "app/ORBSubscribeView.h"
#include "platform/document/UserDefaults.h"
#include "window/WindowContentView.h"

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

struct DropRig : apptest::AppSession {
    WelcomeWindow window;
    AppDelegate delegate { controller, welcome };

    DropRig()
    {
        // As the application wires it.
        QObject::connect(&window, &WelcomeWindow::fileDropped, &delegate,
            [this](const QString& path) { delegate.openFiles({ path }); });
    }
    // Drags urls over the window and drops them; answers whether the window took the drag.
    bool drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
        apptest::spin(30);
        return dropped.isAccepted();
    }
};

} // namespace

TEST(WelcomeWindowDrop, APictureOpensAsADocument)
{
    DropRig rig;
    EXPECT_TRUE(rig.drop({ QUrl::fromLocalFile(rig.picture("photo.jpg", { 40, 30 })) }));
    ASSERT_EQ(rig.controller.documents().size(), 1u);
    EXPECT_TRUE(rig.fixture.alerts->messages.isEmpty());
}

TEST(WelcomeWindowDrop, AFileThatCannotOpenShowsTheOpenAlert)
{
    DropRig rig;
    const QString path = rig.dir.filePath("notes.txt");
    apptest::writeFile(path, "not a picture");
    const auto expected = rig.controller.openDocumentWithContentsOfFile(path).error;
    ASSERT_TRUE(expected.has_value());

    EXPECT_TRUE(rig.drop({ QUrl::fromLocalFile(path) }));
    EXPECT_TRUE(rig.controller.documents().empty());
    EXPECT_EQ(rig.fixture.alerts->messages, QStringList { expected->message() });
}

TEST(WelcomeWindowDrop, DeclinesDragsWithoutALocalFile)
{
    DropRig rig;
    EXPECT_FALSE(rig.drop({}));
    EXPECT_FALSE(rig.drop({ QUrl("https://example.org/photo.jpg") }));
    EXPECT_TRUE(rig.controller.documents().empty());
    EXPECT_TRUE(rig.fixture.alerts->messages.isEmpty());
    EXPECT_FALSE(rig.window.subscribeView()->inputField()->acceptDrops())
        << "the e-mail field would take a dropped file as text";
}

// The welcome window's bar has no Arrange menu (there is nothing to arrange), so it fits beside
// the drawn title instead of running over it; a document's window keeps it.
TEST(WelcomeWindowMenu, TheBarFitsBesideTheTitle)
{
    DropRig rig;
    rig.window.resize(520, 360);
    QMenuBar* bar = rig.delegate.installMenu(&rig.window, nullptr);
    ASSERT_TRUE(bar);
    QStringList shown;
    for (QAction* menu : bar->actions())
        if (menu->isVisible())
            shown << menu->text();
    EXPECT_EQ(shown, (QStringList { "&File", "&Edit", "&Window" }));
    rig.window.show();
    QCoreApplication::processEvents();
    const auto [textLeft, textRight] = rig.window.contentView()->titleTextSpan();
    const QRect placed = bar->geometry();
    EXPECT_TRUE(placed.right() < textLeft || placed.left() > textRight)
        << placed.left() << "-" << placed.right() << " against the title " << textLeft << "-"
        << textRight;
}

// At start the e-mail field has the keyboard: what a person types goes into it.
TEST(WelcomeWindowForm, TheEmailFieldTakesTheKeyboardAtStart)
{
    apptest::AppFixture fixture;
    platform::UserDefaults::standard().removeObjectForKey(ORBSubscribeView::kEmailKey);
    WelcomeWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    apptest::spin(30);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, window.subscribeView()->inputField())
        << (focus ? focus->metaObject()->className() : "no focus");
    for (const QChar c : QStringLiteral("ann@example.org")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    EXPECT_EQ(window.subscribeView()->inputField()->text(), "ann@example.org");
}

// Without a window manager the welcome window places itself: centred on its screen when it
// first shows and again when it comes back (after the last document closed), wherever it was
// moved in between.
TEST(WelcomeWindowPlace, CentredEachTimeItShows)
{
    WelcomeWindow window;
    window.resize(520, 360);
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    const QPoint middle = screen->availableGeometry().center();
    for (int shown = 0; shown < 2; ++shown) {
        window.makeKeyAndOrderFront();
        QCoreApplication::processEvents();
        EXPECT_LE((window.geometry().center() - middle).manhattanLength(), 2) << shown;
        window.hide();
        window.move(0, 0);
    }
}
