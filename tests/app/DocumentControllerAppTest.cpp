// The application's controller and start-up: "Select image file", pictures opening as untitled
// documents, the welcome-window rule with and without "HideWelcomeWindow", and the menus.
#include "AppFakes.h"
#include "app/AppDelegate.h"
#include "app/AppMenus.h"
#include "foundation/SharedFunctions.h"
#include "platform/archive/KeyedArchiver.h"
#include "support/NamedCase.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QShortcut>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace apptest;

namespace {

struct Harness : AppSession {
    AppDelegate delegate { controller, welcome };
    int quits = 0;
    QMetaObject::Connection counting
        = QObject::connect(&delegate, &AppDelegate::quitRequested, [this] { ++quits; });
};

TEST(AppController, NewAsksForAPictureFile)
{
    Harness h;
    EXPECT_FALSE(h.controller.newDocument()) << "cancelled";
    ASSERT_EQ(h.fixture.panels->openRequests.size(), 1u);
    EXPECT_EQ(h.fixture.panels->openRequests[0].title, "Select image file");
    EXPECT_EQ(h.fixture.panels->openRequests[0].allowedSuffixes,
        (QStringList { "png", "jpg", "jpeg", "tif", "tiff" }));
    EXPECT_TRUE(h.fixture.alerts->messages.isEmpty()) << "cancelling reports nothing";

    h.fixture.panels->openAnswers.push_back(h.picture());
    platform::Document* document = h.controller.newDocument();
    ASSERT_TRUE(document);
    EXPECT_TRUE(document->filePath().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(FakeWindow::made, 1);

    const QString bad = h.dir.filePath("bad.png");
    writeFile(bad, "not a png");
    h.fixture.panels->openAnswers.push_back(bad);
    EXPECT_FALSE(h.controller.newDocument());
    EXPECT_EQ(h.fixture.alerts->messages,
        QStringList { "\u201cbad.png\u201d could not be opened: it is not a Quillmark document "
                      "or a picture. Unsupported image format!" });
    EXPECT_EQ(FakeWindow::made, 1) << "no window for an unreadable picture";
}

// A picture opened by path is a new untitled document; every open of it makes another.
TEST(AppController, PicturesOpenAsUntitledDocuments)
{
    Harness h;
    const QString path = h.picture();
    auto first = h.controller.openDocumentWithContentsOfFile(path);
    auto second = h.controller.openDocumentWithContentsOfFile(path);
    ASSERT_TRUE(first.document && second.document);
    EXPECT_NE(first.document, second.document);
    EXPECT_TRUE(first.document->filePath().isEmpty());
    EXPECT_TRUE(first.document->displayName().startsWith("Quillmark "));

    // Told by its bytes, not its name: a picture named as a document is still a picture.
    const QString disguised = h.dir.filePath("photo.quillmark");
    QFile::copy(path, disguised);
    auto third = h.controller.openDocumentWithContentsOfFile(disguised);
    ASSERT_TRUE(third.document);
    EXPECT_TRUE(third.document->filePath().isEmpty());
}

enum class Step { Launch, LaunchPickPicture, OpenThenCloseLast, ShowFromMenu, CheckBoxOn };

struct WelcomeRow {
    const char* name;
    bool hidden; // "HideWelcomeWindow" before the step
    Step step;
    bool welcomeVisible;
    bool quits;
    bool hiddenAfter;
};

class WelcomeRule : public ::testing::TestWithParam<WelcomeRow> { };

TEST_P(WelcomeRule, ShowsExactlyWhileNoDocumentIsOpen)
{
    const WelcomeRow& row = GetParam();
    Harness h;
    SetShowWelcomeWindow(!row.hidden);
    h.welcome.checked = true;
    switch (row.step) {
    case Step::Launch:
        if (!h.delegate.applicationDidFinishLaunching({}))
            emit h.delegate.quitRequested();
        EXPECT_EQ(h.fixture.panels->openRequests.size(), row.hidden ? 1u : 0u);
        EXPECT_TRUE(h.controller.documents().empty());
        break;
    case Step::LaunchPickPicture:
        h.fixture.panels->openAnswers.push_back(h.picture());
        EXPECT_TRUE(h.delegate.applicationDidFinishLaunching({}));
        EXPECT_EQ(h.controller.documents().size(), 1u);
        break;
    case Step::OpenThenCloseLast: {
        ASSERT_TRUE(h.delegate.applicationDidFinishLaunching({ h.picture() }));
        ASSERT_EQ(h.controller.documents().size(), 1u);
        EXPECT_FALSE(h.welcome.visible);
        h.fixture.panels->saveChangesAnswers.push_back(platform::SaveChangesAnswer::DontSave);
        h.controller.documents().front()->window()->close();
        spin(5);
        EXPECT_TRUE(h.controller.documents().empty());
        break;
    }
    case Step::ShowFromMenu:
        h.delegate.showWelcomeWindow();
        EXPECT_FALSE(h.welcome.checked);
        break;
    case Step::CheckBoxOn:
        h.delegate.dontShowWelcomeWindowToggled(true);
        break;
    }
    EXPECT_EQ(h.welcome.visible, row.welcomeVisible);
    EXPECT_EQ(h.quits > 0, row.quits);
    EXPECT_EQ(!ShouldShowWelcomeWindow(), row.hiddenAfter);
}

INSTANTIATE_TEST_SUITE_P(AppController, WelcomeRule,
    ::testing::Values(WelcomeRow { "launch", false, Step::Launch, true, false, false },
        WelcomeRow { "launch_hidden_cancel_quits", true, Step::Launch, false, true, true },
        WelcomeRow {
            "launch_hidden_picks_picture", true, Step::LaunchPickPicture, false, false, true },
        WelcomeRow {
            "close_last_shows_welcome", false, Step::OpenThenCloseLast, true, false, false },
        WelcomeRow { "close_last_hidden_quits", true, Step::OpenThenCloseLast, false, true, true },
        WelcomeRow { "menu_clears_default", true, Step::ShowFromMenu, true, false, false },
        WelcomeRow { "check_box_hides_at_start", false, Step::CheckBoxOn, false, false, true }),
    testsupport::RowName());

// Closing a window asks about unsaved changes; Cancel keeps the document and its window.
TEST(AppController, WindowCloseAsksBeforeClosing)
{
    Harness h;
    ASSERT_TRUE(h.delegate.applicationDidFinishLaunching({ h.picture() }));
    QWidget* window = h.controller.documents().front()->window();
    h.fixture.panels->saveChangesAnswers.push_back(platform::SaveChangesAnswer::Cancel);
    EXPECT_FALSE(window->close());
    spin(5);
    EXPECT_EQ(h.controller.documents().size(), 1u);
    EXPECT_EQ(h.fixture.panels->saveChangesAsked.size(), 1);

    h.fixture.panels->saveChangesAnswers.push_back(platform::SaveChangesAnswer::Cancel);
    EXPECT_FALSE(h.delegate.quit()) << "a cancelled question calls quitting off";
    EXPECT_EQ(h.quits, 0);
}

TEST(AppMenus, EveryCommandWithItsStandardKey)
{
    struct Row {
        AppCommand command;
        QKeySequence::StandardKey key;
        QList<QKeySequence> linuxKeys = {}; // bound whatever the desktop's standard keys are
    } rows[] = {
        { AppCommand::New, QKeySequence::New },
        { AppCommand::Open, QKeySequence::Open },
        { AppCommand::Close, QKeySequence::Close },
        { AppCommand::Save, QKeySequence::Save },
        { AppCommand::SaveAs, QKeySequence::SaveAs, { QKeySequence("Ctrl+Shift+S") } },
        { AppCommand::Quit, QKeySequence::Quit },
        { AppCommand::Undo, QKeySequence::Undo },
        { AppCommand::Redo, QKeySequence::Redo,
            { QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y") } },
        { AppCommand::Cut, QKeySequence::Cut },
        { AppCommand::Copy, QKeySequence::Copy },
        { AppCommand::Paste, QKeySequence::Paste },
        { AppCommand::Delete, QKeySequence::Delete, { QKeySequence("Backspace") } },
        { AppCommand::SelectAll, QKeySequence::SelectAll },
        { AppCommand::CopyStyle, QKeySequence::UnknownKey, { QKeySequence("Ctrl+Alt+C") } },
        { AppCommand::PasteStyle, QKeySequence::UnknownKey, { QKeySequence("Ctrl+Alt+V") } },
        { AppCommand::BringToFront, QKeySequence::UnknownKey, { QKeySequence("Ctrl+Shift+]") } },
        { AppCommand::BringForward, QKeySequence::UnknownKey, { QKeySequence("Ctrl+]") } },
        { AppCommand::SendBackward, QKeySequence::UnknownKey, { QKeySequence("Ctrl+[") } },
        { AppCommand::SendToBack, QKeySequence::UnknownKey, { QKeySequence("Ctrl+Shift+[") } },
        { AppCommand::ExportJpeg, QKeySequence::UnknownKey },
        { AppCommand::ShowWelcomeWindow, QKeySequence::UnknownKey },
    };
    QWidget window;
    std::vector<AppCommand> ran;
    AppMenus::Handlers handlers;
    for (const Row& row : rows)
        if (row.command != AppCommand::Quit)
            handlers[row.command] = [&ran, c = row.command] { ran.push_back(c); };
    AppMenus::build(&window, handlers);
    ASSERT_EQ(window.actions().size(), std::size(rows));
    for (const Row& row : rows) {
        QAction* action = nullptr;
        for (QAction* candidate : window.actions())
            if (candidate->data().toInt() == int(row.command))
                action = candidate;
        ASSERT_TRUE(action) << int(row.command);
        for (const QKeySequence& key : QKeySequence::keyBindings(row.key) + row.linuxKeys)
            EXPECT_TRUE(action->shortcuts().contains(key))
                << int(row.command) << " " << key.toString().toStdString();
        if (row.key == QKeySequence::UnknownKey && row.linuxKeys.isEmpty()) {
            EXPECT_TRUE(action->shortcuts().isEmpty());
        }
        EXPECT_EQ(action->isEnabled(), row.command != AppCommand::Quit)
            << "a command without a handler is disabled";
        ran.clear();
        action->trigger();
        EXPECT_EQ(ran.size(), row.command == AppCommand::Quit ? 0u : 1u);
        if (!ran.empty()) {
            EXPECT_EQ(ran.front(), row.command);
        }
    }
}

// Open panels start in the pictures folder, then where the user last chose a file; save panels
// in the document's folder, or the documents folder before it has one, offering our file type.
TEST(AppController, PanelsStartInTheUsersFolders)
{
    const auto userFolder = [](QStandardPaths::StandardLocation location) {
        const QString folder = QStandardPaths::writableLocation(location);
        return QFileInfo(folder).isDir() ? folder : QDir::homePath();
    };
    Harness h;
    auto& panels = *h.fixture.panels;
    panels.openAnswers.push_back(h.picture());
    auto* document = h.controller.newDocument();
    ASSERT_TRUE(document);
    h.controller.openDocument();
    ASSERT_EQ(panels.openRequests.size(), 2u);
    EXPECT_EQ(panels.openRequests[0].directory, userFolder(QStandardPaths::PicturesLocation));
    EXPECT_EQ(panels.openRequests[1].directory, h.dir.path()) << "the folder last used";

    panels.saveAnswers.push_back(h.dir.filePath("doc1"));
    ASSERT_TRUE(document->saveAs());
    document->saveAs();
    ASSERT_EQ(panels.saveRequests.size(), 2u);
    EXPECT_EQ(panels.saveRequests[0].directory, userFolder(QStandardPaths::DocumentsLocation));
    EXPECT_EQ(panels.saveRequests[1].directory, h.dir.path()) << "the document's folder";
    EXPECT_EQ(panels.saveRequests[0].nameFilter, "Quillmark document (*.quillmark)");
}

// Each window's menus open with Alt and their letter or with F10; the Window menu lists the
// open windows by their titles, and choosing one brings it back from the dock.
TEST(AppMenus, KeyboardOpensMenusAndWindowMenuListsWindows)
{
    Harness h;
    ASSERT_EQ(h.delegate.openFiles({ h.picture("a.png"), h.picture("b.png") }), 2);
    QWidget* a = h.controller.documents()[0]->window();
    QWidget* b = h.controller.documents()[1]->window();
    auto* bar = a->findChild<QMenuBar*>();
    ASSERT_TRUE(bar);
    QList<QKeySequence> mnemonics;
    for (QAction* menu : bar->actions())
        mnemonics << QKeySequence::mnemonic(menu->text());
    EXPECT_EQ(mnemonics,
        (QList<QKeySequence> { QKeySequence("Alt+F"), QKeySequence("Alt+E"), QKeySequence("Alt+A"),
            QKeySequence("Alt+W") }));
    auto* f10 = bar->findChild<QShortcut*>();
    ASSERT_TRUE(f10);
    EXPECT_EQ(f10->key(), QKeySequence(Qt::Key_F10));

    QMenu* windows = AppMenus::windowMenu(*bar);
    ASSERT_TRUE(windows);
    b->showMinimized();
    emit windows->aboutToShow();
    emit windows->aboutToShow(); // listed once however often the menu opens
    QStringList listed;
    QAction* bItem = nullptr;
    for (QAction* item : windows->actions())
        if (item->isCheckable()) {
            listed << item->text();
            if (item->text() == h.controller.documents()[1]->displayName() + "*")
                bItem = item;
        }
    EXPECT_EQ(listed,
        QStringList({ h.controller.documents()[0]->displayName() + "*",
            h.controller.documents()[1]->displayName() + "*" }))
        << "names with the unsaved mark of untitled documents";
    ASSERT_TRUE(bItem);
    bItem->trigger();
    EXPECT_FALSE(b->isMinimized());
}

// Undo from a window's menu undoes that window's document only.
TEST(AppMenus, UndoActsOnItsOwnDocument)
{
    Harness h;
    ASSERT_EQ(h.delegate.openFiles({ h.picture("a.png"), h.picture("b.png") }), 2);
    auto* a = static_cast<ColorDocument*>(h.controller.documents()[0]);
    auto* b = static_cast<ColorDocument*>(h.controller.documents()[1]);
    for (ColorDocument* d : { a, b })
        EXPECT_EQ(d->window()->actions().size(), qsizetype(AppMenus::items().size()))
            << "each window has its own menu";
    platform::UndoLifetime life;
    int undone = 0;
    for (ColorDocument* d : { a, b }) {
        d->undoManager().registerUndo(d, life, [&undone, d, a] { undone += d == a ? 1 : 10; });
        d->undoManager().endGroup();
    }
    h.delegate.handlersFor(b).at(AppCommand::Undo)();
    EXPECT_EQ(undone, 10);
    EXPECT_TRUE(a->undoManager().canUndo());
}

// A validated item is enabled by its validator while its menu is open, and its handler runs
// only when the validator agrees, menu or shortcut; with the menu closed the item is enabled so
// that its shortcut reaches that check.
TEST(AppMenus, ValidatorsEnableItemsAndGuardHandlers)
{
    QWidget window;
    bool valid = false;
    int ran = 0;
    QMenuBar* bar = AppMenus::build(&window, { { AppCommand::Paste, [&ran] { ++ran; } } },
        { { AppCommand::Paste, [&valid] { return valid; } } });
    QMenu* edit = nullptr;
    for (QAction* menu : bar->actions())
        if (menu->menu() && menu->menu()->objectName() == QLatin1String("Edit"))
            edit = menu->menu();
    ASSERT_TRUE(edit);
    QAction* paste = nullptr;
    for (QAction* action : edit->actions())
        if (action->data().toInt() == int(AppCommand::Paste))
            paste = action;
    ASSERT_TRUE(paste);
    for (const bool state : { false, true }) {
        valid = state;
        emit edit->aboutToShow();
        EXPECT_EQ(paste->isEnabled(), state);
        emit edit->aboutToHide();
        EXPECT_TRUE(paste->isEnabled());
        paste->trigger();
        EXPECT_EQ(ran, state ? 1 : 0);
    }
}

} // namespace

// A document larger than the archive reader takes is refused by its size before a byte is
// read, with its size and the bound; so is a picture file over its own bound. (Sparse files:
// no disk used.)
TEST(AppController, FilesOverTheReadersBoundAreRefusedUnread)
{
    AppSession s;
    const QString document = s.dir.filePath("big.quillmark");
    const QString picture = s.dir.filePath("big.png");
    {
        QFile file(document);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        platform::KeyedArchiver archiver;
        archiver.encodeDouble("Version", 1.2);
        file.write(archiver.finishEncoding()); // our header: read as a document
        ASSERT_TRUE(file.resize(qint64(600) * 1024 * 1024));
    }
    {
        QFile file(picture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\n");
        ASSERT_TRUE(file.resize(platform::Document::kMaxFileBytes + 1));
    }
    const struct {
        QString path;
        QString says;
    } rows[] = {
        { document,
            "\u201c"
            "big.quillmark\u201d could not be opened: it is 600.0 MB, larger than can "
            "be opened (512.0 MB)." },
        { picture,
            "\u201c"
            "big.png\u201d could not be opened: it is 1.0 GB, larger than can be opened "
            "(1.0 GB)." },
    };
    for (const auto& row : rows) {
        const auto result = s.controller.openDocumentWithContentsOfFile(row.path);
        EXPECT_FALSE(result.document);
        ASSERT_TRUE(result.error);
        EXPECT_EQ(result.error->message().toStdString(), row.says.toStdString());
    }
    EXPECT_EQ(FakeWindow::made, 0);
}
