// Where new boxes come from besides the Text button: picture files from the open panel or
// dropped on the window (decoded off the main thread, bad files refused with one message), the
// shape picker's placement and choice, the keyboard after a box is added, and the
// colour-removal toggle.
#include "ReadyWindow.h"
#include "boxes/MyViewBase.h"
#include "boxes/ShapeModel.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/Dispatch.h"
#include "platform/document/Document.h"
#include "platform/document/PanelPresenter.h"
#include "platform/imaging/PictureLoader.h"
#include "platform/ui/ViewHost.h"
#include "support/NamedCase.h"
#include "support/PictureFiles.h"
#include "window/SegmentSwitch.h"
#include "window/ShapePanel.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform;
using windowtest::ReadyWindow;
using windowtest::solidPicture;

namespace {

struct CountingAlerts : AlertPresenter {
    QStringList messages;
    void runModal(AlertStyle, const QString& m) override { messages << m; }
    int runModalWithButtons(
        AlertStyle, const QString& m, const QString&, const QStringList&) override
    {
        messages << m;
        return kFirstButtonReturn;
    }
};

struct Files {
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    QString jpeg(const QString& name, int w = 64, int h = 48)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(20, 120, 220));
        const QString path = dir.filePath(name);
        image.save(path, "JPEG");
        return path;
    }
};

// A window that records its alerts and waits for its picture loads.
struct DropRig : ReadyWindow {
    explicit DropRig(bool shown = false)
        : ReadyWindow(shown)
    {
    }
    std::shared_ptr<CountingAlerts> alerts = std::make_shared<CountingAlerts>();
    std::shared_ptr<AlertPresenter> previous = AlertPresenter::install(alerts);
    ~DropRig() { AlertPresenter::install(previous); }
    void settle()
    {
        for (int i = 0; i < 100 && win.pendingPictureLoads() > 0; ++i) {
            dispatch::waitForBackground();
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }
};

const QString kUnsupported = QStringLiteral("Unsupported image format!");

} // namespace

struct DropRow {
    const char* name;
    std::function<QList<QUrl>(Files&)> urls;
    bool accepted;
    std::size_t boxes;
    int messages;
    // The alert's text: each refused file by name, with its reason.
    QString says = {};
};

namespace {
class Drop : public ::testing::TestWithParam<DropRow> { };
} // namespace

TEST_P(Drop, EachFileOpensOrIsRefused)
{
    const DropRow& row = GetParam();
    Files files;
    DropRig w;
    w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
    w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
    EXPECT_EQ(w.win.dropFiles(row.urls(files)), row.accepted);
    w.settle();
    EXPECT_EQ(w.boxes().textViewAry.size(), row.boxes);
    EXPECT_EQ(w.alerts->messages.size(), row.messages);
    if (row.messages > 0) {
        EXPECT_EQ(w.alerts->messages.front().toStdString(), row.says.toStdString());
    }
    if (row.boxes > 0) {
        EXPECT_FALSE(w.win.isPaintViewShowed()) << "a dropped picture leaves mask painting";
    }
}

namespace {
QUrl local(const QString& path)
{
    return QUrl::fromLocalFile(path);
}
QByteArray pngHeader(quint32 w, quint32 h)
{
    QByteArray bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (quint32 v : { w, h })
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((v >> shift) & 0xff));
    bytes.append("\x08\x06\0\0\0\0\0\0\0", 9);
    return bytes;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(BoxSources, Drop,
    ::testing::Values(
        DropRow {
            "Photo", [](Files& f) { return QList<QUrl> { local(f.jpeg("a.jpg")) }; }, true, 1, 0 },
        // Refused unread, and told: a drop that does nothing says why.
        DropRow { "RemoteAddress",
            [](Files&) { return QList<QUrl> { QUrl("https://example.org/a.jpg") }; }, false, 0, 1,
            "\u201ca.jpg\u201d could not be opened: it is not a file on this computer." },
        DropRow { "Directory",
            [](Files& f) {
                QDir(f.dir.path()).mkdir("Holiday");
                return QList<QUrl> { local(f.dir.filePath("Holiday/")) };
            },
            false, 0, 1, "\u201cHoliday\u201d could not be opened: it is a folder, not a file." },
        DropRow { "FolderAndPhoto",
            [](Files& f) {
                QDir(f.dir.path()).mkdir("Holiday");
                return QList<QUrl> { local(f.dir.filePath("Holiday")), local(f.jpeg("a.jpg")) };
            },
            true, 1, 1, "\u201cHoliday\u201d could not be opened: it is a folder, not a file." },
        DropRow { "TextNamedJpg",
            [](Files& f) { return QList<QUrl> { local(f.write("t.jpg", "just text")) }; }, true, 0,
            1, "\u201ct.jpg\u201d could not be opened: it is not a picture. " + kUnsupported },
        DropRow { "HugePngHeader",
            [](Files& f) {
                return QList<QUrl> { local(f.write("h.png", pngHeader(40000, 40000))) };
            },
            true, 0, 1,
            // A header alone: the file ends before the picture's data begin.
            "\u201ch.png\u201d could not be opened: it is damaged (cut short)." },
        DropRow { "TruncatedJpeg",
            [](Files& f) {
                QFile whole(f.jpeg("w.jpg", 300, 200));
                whole.open(QIODevice::ReadOnly);
                return QList<QUrl> { local(f.write("cut.jpg", whole.readAll().left(400))) };
            },
            true, 0, 1, "\u201ccut.jpg\u201d could not be opened: it is damaged (cut short)." },
        // Only regular files are read: a pipe with no writer would block the reading forever.
        DropRow { "NamedPipe",
            [](Files& f) {
                const QString path = f.dir.filePath("pipe.jpg");
                ::mkfifo(QFile::encodeName(path).constData(), 0600);
                return QList<QUrl> { local(path) };
            },
            true, 0, 1,
            "\u201cpipe.jpg\u201d could not be opened: it is a named pipe, not a file." },
        // Refused by its size before a byte is read (sparse: no disk used).
        DropRow { "OverTheSizeBound",
            [](Files& f) {
                QFile file(f.dir.filePath("huge.png"));
                file.open(QIODevice::WriteOnly);
                file.resize(platform::Document::kMaxFileBytes + 1);
                return QList<QUrl> { local(file.fileName()) };
            },
            true, 0, 1,
            "\u201chuge.png\u201d could not be opened: it is 1.0 GB, larger than can be opened "
            "(1.0 GB)." },
        DropRow { "HundredFilesOneMessage",
            [](Files& f) {
                QList<QUrl> urls;
                for (int i = 0; i < 50; ++i) {
                    urls << local(f.jpeg(QString("p%1.jpg").arg(i), 16, 16));
                    urls << local(f.write(QString("bad%1.jpg").arg(i), "no"));
                }
                return urls;
            },
            true, 50, 1,
            "\u201cbad0.jpg\u201d could not be opened: it is not a picture. " + kUnsupported
                + "\n\u201cbad1.jpg\u201d could not be opened: it is not a picture. " + kUnsupported
                + "\n\u201cbad2.jpg\u201d could not be opened: it is not a picture. " + kUnsupported
                + "\n47 more files could not be opened." }),
    testsupport::RowName());

// Pictures dropped together share one budget of pixels. One refused because those before it
// spent that budget is not too large by itself: the message says the drop's budget ran out,
// with its figures.
TEST(BoxSources, DropPastItsSharedBudgetSaysSo)
{
    Files files;
    QImage seed(8, 8, QImage::Format_ARGB32);
    seed.fill(Qt::red);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        seed.save(&buffer, "PNG");
    }
    // Each claims a size that fits the budget alone, but not twice.
    const QByteArray claiming = testsupport::pngClaiming(png, 12000, 12000);
    const qint64 cost = PictureLoader::header(claiming).cost;
    ASSERT_GT(cost, PictureLoader::kMaxPixels / 2);
    ASSERT_LE(cost, PictureLoader::kMaxPixels);
    DropRig w;
    EXPECT_TRUE(w.win.dropFiles(
        { local(files.write("first.png", claiming)), local(files.write("second.png", claiming)) }));
    w.settle();
    ASSERT_EQ(w.alerts->messages.size(), 1);
    const QStringList lines = w.alerts->messages.front().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const auto millions = [](qint64 n) { return QString::number(double(n) / 1e6, 'f', 1); };
    EXPECT_EQ(lines[1].toStdString(),
        QStringLiteral("\u201csecond.png\u201d could not be opened: the pictures dropped before it "
                       "used up what one drop may decode (%1 of %2 million pixels were left; it "
                       "needs %3 million).")
            .arg(millions(PictureLoader::kMaxPixels - cost), millions(PictureLoader::kMaxPixels),
                millions(cost))
            .toStdString());
}

// A picture decoded after its window closed is dropped, not added to a dead canvas.
TEST(BoxSources, DropThenCloseIsHarmless)
{
    Files files;
    const QString path = files.jpeg("a.jpg", 2000, 1500);
    {
        DropRig w;
        EXPECT_TRUE(w.win.dropFiles({ local(path) }));
    }
    dispatch::waitForBackground();
    QCoreApplication::processEvents();
}

TEST(BoxSources, OpenPanelPictureOrMessage)
{
    Files files;
    DropRig w;
    auto panels = std::make_shared<ScriptedPanelPresenter>();
    const auto previousPanels = PanelPresenter::install(panels);
    panels->openAnswers
        = { files.write("bad.png", "not a picture"), std::nullopt, files.jpeg("good.jpg") };
    w.win.newImageBox();
    w.settle();
    EXPECT_TRUE(w.boxes().textViewAry.empty());
    EXPECT_EQ(w.alerts->messages,
        QStringList {
            "\u201cbad.png\u201d could not be opened: it is not a picture. " + kUnsupported });
    w.win.newImageBox(); // cancelled
    w.settle();
    EXPECT_TRUE(w.boxes().textViewAry.empty());
    w.win.newImageBox();
    w.settle();
    ASSERT_EQ(w.boxes().textViewAry.size(), 1u);
    EXPECT_EQ(w.boxes().textViewAry[0]->getUndoData().type, UNDODATA::ImageBox);
    PanelPresenter::install(previousPanels);
}

struct PickerRow {
    const char* name;
    QRect button;
    QRect expected;
};

namespace {
class PickerPlacement : public ::testing::TestWithParam<PickerRow> { };
} // namespace

// The screen's free area here is (0, 30) to (1920, 1080).
TEST_P(PickerPlacement, CentredUnderTheButtonKeptOnScreen)
{
    const PickerRow& row = GetParam();
    EXPECT_EQ(DocumentWindow::shapePanelFrame(row.button, QRect(0, 30, 1920, 1050)), row.expected);
}

INSTANTIATE_TEST_SUITE_P(BoxSources, PickerPlacement,
    ::testing::Values(PickerRow { "Middle", QRect(800, 300, 84, 24), QRect(710, 324, 264, 472) },
        PickerRow { "RightEdge", QRect(1850, 300, 60, 24), QRect(1648, 324, 264, 472) },
        PickerRow { "LeftEdge", QRect(0, 300, 60, 24), QRect(8, 324, 264, 472) },
        PickerRow { "BottomEdge", QRect(800, 900, 84, 24), QRect(710, 600, 264, 472) },
        PickerRow { "TopEdge", QRect(800, -100, 84, 24), QRect(710, 38, 264, 472) }),
    testsupport::RowName());

TEST(BoxSources, ShapeChosenInBoxMode)
{
    ReadyWindow w;
    w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
    w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
    w.win.newShapeBox();
    ShapeButton* button = w.win.shapePanel()->buttons().at(2);
    w.win.shapeClicked(*button);
    EXPECT_FALSE(w.win.isPaintViewShowed());
    ASSERT_EQ(w.boxes().textViewAry.size(), 1u);
    EXPECT_EQ(w.boxes().textViewAry[0]->getUndoData().shapeType, button->tag());
    w.undo.endGroup();
    w.win.undo();
    EXPECT_TRUE(w.boxes().textViewAry.empty());
}

// On starts colour removal on the selected picture box; off, or any other action, ends it.
TEST(BoxSources, InstantAlphaToggle)
{
    ReadyWindow w;
    w.boxes().newImageBox(solidPicture(60, 40, Qt::green));
    w.o.btInstantAlpha->click();
    EXPECT_TRUE(w.o.btInstantAlpha->isChecked());
    EXPECT_TRUE(w.boxes().bInstantAlpha);
    w.o.btInstantAlpha->click();
    EXPECT_FALSE(w.boxes().bInstantAlpha);
    w.o.btInstantAlpha->click();
    ASSERT_TRUE(w.boxes().bInstantAlpha);
    w.win.selectAll();
    EXPECT_FALSE(w.boxes().bInstantAlpha);
    EXPECT_FALSE(w.o.btInstantAlpha->isChecked());
}

// The smoke session's key for a file drop, present only when a file is named.
TEST(BoxSources, TestDropHook)
{
    Files files;
    qputenv("QUILLMARK_TEST_DROP", files.jpeg("smoke.jpg").toLocal8Bit());
    DropRig w;
    qunsetenv("QUILLMARK_TEST_DROP");
    QShortcut* hook = nullptr;
    for (QShortcut* s : w.win.findChildren<QShortcut*>())
        if (s->key() == QKeySequence("Ctrl+Alt+Shift+D"))
            hook = s;
    ASSERT_TRUE(hook);
    emit hook->activated();
    w.settle();
    EXPECT_EQ(w.boxes().textViewAry.size(), 1u);
    ReadyWindow plain;
    for (QShortcut* s : plain.win.findChildren<QShortcut*>())
        EXPECT_NE(s->key(), QKeySequence("Ctrl+Alt+Shift+D"));
}

// A folder dragged from the file manager onto the canvas and dropped: nothing is added, and
// the person is told why, after the drop has returned to the file manager.
TEST(BoxSources, AFolderDroppedOnTheCanvasSaysWhy)
{
    Files files;
    QDir(files.dir.path()).mkdir("Holiday");
    DropRig w(true);
    QMimeData data;
    data.setUrls({ local(files.dir.filePath("Holiday")) });
    // Where the pointer lets go: the widget there that takes drops, or its nearest parent that
    // does, as the window system delivers a drop.
    QWidget* canvas = w.win.findChild<platform::ViewHost*>();
    ASSERT_TRUE(canvas);
    const QPoint at = canvas->mapTo(&w.win, canvas->rect().center());
    QWidget* target = w.win.childAt(at);
    while (target && !target->acceptDrops())
        target = target->parentWidget();
    ASSERT_TRUE(target) << "nothing there takes drops";
    const QPoint there = target->mapFrom(&w.win, at);
    QDragEnterEvent enter(there, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted()) << "a drag of files is offered to the window";
    QDropEvent drop(there, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(w.alerts->messages.isEmpty()) << "no alert while the drop is under way";
    w.settle();
    EXPECT_TRUE(w.boxes().textViewAry.empty());
    EXPECT_EQ(w.alerts->messages,
        QStringList { "\u201cHoliday\u201d could not be opened: it is a folder, not a file." });
}

// The box a button adds moves with the arrow keys at once: the keyboard goes to the canvas,
// not to the button that was pressed (nor to the shape picker), as a click on the box would.
TEST(BoxSources, ArrowKeysMoveTheBoxJustAdded)
{
    struct Row {
        const char* name;
        std::function<void(DropRig&, const QString& photo)> add;
    };
    const Row rows[] = {
        { "the Text button",
            [](DropRig& w, const QString&) {
                QTest::mouseClick(w.o.btnNewTextBox, Qt::LeftButton);
            } },
        { "a shape from the picker",
            [](DropRig& w, const QString&) {
                QTest::mouseClick(w.o.btnNewShape, Qt::LeftButton);
                ASSERT_TRUE(w.win.shapePanel()->panel()->isVisible());
                for (ShapeButton* b : w.win.shapePanel()->buttons())
                    if (b->tag() == shape::Rectangle)
                        QTest::mouseClick(b, Qt::LeftButton);
            } },
        { "the Picture button and its panel",
            [](DropRig& w, const QString& photo) {
                auto panels = std::make_shared<ScriptedPanelPresenter>();
                const auto previous = PanelPresenter::install(panels);
                panels->openAnswers = { photo };
                QTest::mouseClick(w.o.btnNewImageLayer, Qt::LeftButton);
                PanelPresenter::install(previous);
                w.settle();
            } },
    };
    Files files;
    const QString photo = files.jpeg("p.jpg");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DropRig w(true);
        QApplication::setActiveWindow(&w.win);
        row.add(w, photo);
        ASSERT_EQ(w.boxes().textViewAry.size(), 1u);
        MyViewBase& box = *w.boxes().textViewAry.front();
        ASSERT_TRUE(box.selected());
        w.undo.endGroup();
        const Point start = box.frame().origin;
        QWidget* keyboard = QApplication::focusWidget();
        ASSERT_TRUE(keyboard) << "nothing has the keyboard";
        for (const bool down : { true, false }) {
            QKeyEvent e(
                down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
            QCoreApplication::sendEvent(keyboard, &e);
        }
        EXPECT_EQ(box.frame().origin, Point(start.x + 1, start.y))
            << "the keyboard is the " << keyboard->metaObject()->className() << "'s";
    }
}
