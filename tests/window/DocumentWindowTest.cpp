// The document window's set-up, its answers to its own canvas's pinches, the mode switch, the
// sidebar's fitting and what two windows keep apart.
#include "ReadyWindow.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/document/SharingService.h"
#include "platform/ui/Event.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/PanelContentView.h"
#include "window/SegmentSwitch.h"
#include "window/SidebarContainerView.h"
#include "window/WindowContentView.h"
#include "window/ZoomSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstring>
#include <gtest/gtest.h>

using canvas::CanvasCustomShapeControls;

using windowtest::ReadyWindow;
using windowtest::solidPicture;

TEST(DocumentWindow, EveryOutletIsMadeOnce)
{
    ReadyWindow w;
    // The outlets are pointers only: every one of them must be set.
    constexpr size_t count = sizeof(DocumentWindowOutlets) / sizeof(void*);
    static_assert(count * sizeof(void*) == sizeof(DocumentWindowOutlets));
    void* pointers[count];
    std::memcpy(pointers, &w.o, sizeof pointers);
    for (size_t i = 0; i < count; ++i)
        EXPECT_NE(pointers[i], nullptr) << "outlet " << i;
    // windowReady sets up, it does not replace.
    std::memcpy(pointers, &w.o, sizeof pointers);
    w.win.windowReady();
    EXPECT_EQ(std::memcmp(pointers, &w.o, sizeof pointers), 0);
    EXPECT_EQ(w.win.title(), QStringLiteral("Quillmark"));
}

// The set-up sends the picture sliders' start values on to the canvas and gives every effect
// slider the window's own thumbnail, fitted in 200 x 200.
TEST(DocumentWindow, SetUpReachesTheCanvas)
{
    ReadyWindow w;
    const canvas::CanvasControls& c = *w.canvas();
    EXPECT_DOUBLE_EQ(c.saturation(), 1.0);
    EXPECT_DOUBLE_EQ(c.blurStrength(), 0.0);
    EXPECT_DOUBLE_EQ(c.vignetteIntensity(), 0.0);
    EXPECT_EQ(w.win.originalThumbnail().size().width, 200);
    EXPECT_EQ(w.win.originalThumbnail().size().height, 150);
    for (ImageEffectIntensitySlider* slider : { w.o.drawSizeSlider, w.o.apertureSlider,
             w.o.imageboxsaturationSlider, w.o.textboxAngleSlider })
        EXPECT_EQ(slider->image(), w.win.originalThumbnail());
}

TEST(DocumentWindow, PinchesMoveTheirSliderWithinBounds)
{
    struct Row {
        const char* name;
        bool brush;
        double start, delta, expected;
    };
    const Row rows[] = {
        { "zoom up by a fifth of the delta", false, 0.3, 1.0, 0.5 },
        { "zoom capped at 1", false, 0.9, 1.0, 1.0 },
        { "strong pinch in leaves 0.01, not 0", false, 0.3, -5.0, 0.01 },
        { "brush size takes the delta unscaled, capped", true, 0.25, 1.0, 1.0 },
        { "brush size down", true, 0.5, -0.2, 0.3 },
        { "brush size never below 0.01", true, 0.5, -3.0, 0.01 },
        { "non-finite delta is ignored", true, 0.5, std::nan(""), 0.5 },
        { "infinite delta is ignored", false, 0.4, INFINITY, 0.4 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadyWindow w;
        const auto value = [&] {
            return row.brush ? w.o.drawSizeSlider->value()
                             : double(w.o.customDrawingZoomSlider->value());
        };
        if (row.brush)
            w.o.drawSizeSlider->setForceValue(row.start);
        else
            w.o.customDrawingZoomSlider->setForceValue(float(row.start));
        w.pinch(row.brush ? CanvasCustomShapeControls::kRequestBrushSize
                          : CanvasCustomShapeControls::kRequestZoom,
            row.delta);
        EXPECT_NEAR(value(), row.expected, 1e-6);
    }
}

TEST(DocumentWindow, TwoWindowsKeepPinchesThumbnailsAndPanelHeightsApart)
{
    ReadyWindow first;
    ReadyWindow second(false, solidPicture(100, 400, QColor(20, 200, 40)));
    // A pinch over the first canvas moves the first window's slider only.
    first.o.customDrawingZoomSlider->setForceValue(0.3f);
    second.o.customDrawingZoomSlider->setForceValue(0.3f);
    first.pinch(CanvasCustomShapeControls::kRequestZoom, 1.0);
    EXPECT_NEAR(first.o.customDrawingZoomSlider->value(), 0.5, 1e-6);
    EXPECT_NEAR(second.o.customDrawingZoomSlider->value(), 0.3, 1e-6);
    // A pinch posted by nobody in particular zooms no window.
    first.pinch(CanvasCustomShapeControls::kRequestZoom, 1.0, &first);
    EXPECT_NEAR(first.o.customDrawingZoomSlider->value(), 0.5, 1e-6);

    // Each window's thumbnail is of its own picture.
    EXPECT_EQ(second.win.originalThumbnail().size().width, 50);
    EXPECT_EQ(second.win.originalThumbnail().size().height, 200);
    const QImage a = first.win.originalThumbnail().toQImage();
    const QImage b = second.win.originalThumbnail().toQImage();
    EXPECT_EQ(QColor(a.pixel(10, 10)).red(), 200);
    EXPECT_EQ(QColor(b.pixel(10, 10)).green(), 200);
    EXPECT_EQ(second.o.saturationSlider->image(), second.win.originalThumbnail());

    // Panel-stack heights are per window.
    const double stacked = second.win.panelStackHeight();
    first.win.setPanelStackHeight(stacked + 100);
    EXPECT_DOUBLE_EQ(second.win.panelStackHeight(), stacked);
}

TEST(DocumentWindow, PanelStackFitsTheSidebar)
{
    struct Row {
        const char* name;
        double stack;
        int scrollHeight;
        int expectedHeight;
        int expectedYUp; // the content view's y in the scroll view, y-up
    };
    const Row rows[] = {
        { "taller stack scrolls from its top", 648.0, 500, 648, -148 },
        { "short stack fills the scroll view less 2", 648.0, 700, 698, 2 },
        { "equal heights count as short", 600.0, 600, 598, 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadyWindow w;
        w.win.setPanelStackHeight(row.stack);
        w.o.panelScrollView->resize(w.o.panelScrollView->width(), row.scrollHeight);
        w.win.viewDidEndLiveResize();
        const QWidget* content = w.o.panelContentView;
        EXPECT_EQ(content->height(), row.expectedHeight);
        EXPECT_EQ(row.scrollHeight - (content->y() + content->height()), row.expectedYUp);
    }
}

TEST(DocumentWindow, RequestSaturationRendersWithTheRestoredValue)
{
    struct Row {
        const char* name;
        double value;
        std::vector<double> sent;
    };
    const Row rows[] = {
        { "a lowered value clamps at 0", 0.05, { 0.0, 0.05 } },
        { "the middle", 0.5, { 0.4, 0.5 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadyWindow w;
        w.o.saturationSlider->setForceValue(row.value);
        std::vector<double> sent;
        w.o.saturationSlider->setAction([&](platform::Control& c) {
            sent.push_back(static_cast<ImageEffectIntensitySlider&>(c).value());
        });
        EXPECT_TRUE(w.canvas()->supressRendering());
        w.win.requestSaturation();
        EXPECT_FALSE(w.canvas()->supressRendering());
        ASSERT_EQ(sent.size(), row.sent.size());
        for (size_t i = 0; i < sent.size(); ++i)
            EXPECT_NEAR(sent[i], row.sent[i], 1e-12);
    }
}

TEST(DocumentWindow, ModeSwitchPicksTheSidebarContainer)
{
    ReadyWindow w;
    struct Row {
        const char* name;
        long segment;
        bool painting;
        SidebarContainerView* shown;
    };
    const Row rows[] = {
        { "mask painting", 1, true, w.o.drawingControlContainerView },
        { "back to boxes, nothing selected", 0, false, w.o.mainControlContainerView },
        { "painting again", 1, true, w.o.drawingControlContainerView },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(row.segment);
        w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
        EXPECT_EQ(w.win.isPaintViewShowed(), row.painting);
        for (SidebarContainerView* c : { w.o.mainControlContainerView, w.o.textControlContainerView,
                 w.o.drawingControlContainerView })
            EXPECT_EQ(c->isHidden(), c != row.shown);
    }
}

TEST(DocumentWindow, PopUpsAreFilledOnce)
{
    ReadyWindow w;
    w.win.windowReady();
    for (QComboBox* popup : { w.o.popupStartPoint, w.o.popupEndPoint }) {
        ASSERT_EQ(popup->count(), 9);
        EXPECT_EQ(popup->itemText(0), QStringLiteral("None"));
        for (int i = 1; i < 9; ++i)
            EXPECT_TRUE(popup->itemText(i).isEmpty());
    }
    // One pop-up item per font record, in the same order.
    const auto& fonts = w.win.fontAry();
    ASSERT_EQ(int(fonts.size()), w.o.popupFonts->count());
    ASSERT_FALSE(fonts.empty());
    for (size_t i = 0; i < fonts.size(); ++i)
        EXPECT_EQ(w.o.popupFonts->itemText(int(i)), fonts[i].fontName);
}

TEST(DocumentWindow, ScrollingMapsTheDocumentViewYUp)
{
    ReadyWindow w;
    w.win.show();
    // Three times the best fit: the document view outgrows the viewport.
    w.o.customDrawingZoomSlider->setValue(1.0f);
    const platform::Size doc = w.win.documentSize();
    const platform::Size view = w.win.shownViewportSize();
    ASSERT_GT(doc.width, view.width);
    ASSERT_GT(doc.height, view.height);
    struct Row {
        const char* name;
        platform::Point to;
    };
    const Row rows[] = {
        { "bottom left", { 0, 0 } },
        { "top right", { doc.width - view.width, doc.height - view.height } },
        { "inside", { 10, 20 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.win.scrollTo(row.to);
        const platform::Rect r = w.win.visibleRect();
        EXPECT_NEAR(r.origin.x, row.to.x, 1.0);
        EXPECT_NEAR(r.origin.y, row.to.y, 1.0);
        EXPECT_EQ(r.size.width, view.width);
    }
    // The bottom-left of the document view is the bottom of Qt's scroll range.
    w.win.scrollTo({ 0, 0 });
    EXPECT_EQ(w.o.controlScrollView->verticalScrollBar()->value(),
        w.o.controlScrollView->verticalScrollBar()->maximum());
    // A wheel turned up and left over the canvas shows more of the top and less of the right.
    w.win.scrollTo({ 100, 0 });
    w.win.scrollWheel(platform::Event::scrollEvent({ 50, 50 }, 0, 0, 0, 40, 30, true));
    EXPECT_NEAR(w.win.visibleRect().origin.x, 60, 1.0);
    EXPECT_NEAR(w.win.visibleRect().origin.y, 30, 1.0);
}

// The zoomed picture shows its scroll bars, and the wheel moves it by Qt's wheel step: a notch
// is wheelScrollLines() lines of the bar's line height; a touchpad's pixels move it as they are.
TEST(DocumentWindow, ZoomedPictureScrollsByTheWheelStep)
{
    ReadyWindow w(true);
    QScrollBar* bar = w.o.controlScrollView->verticalScrollBar();
    w.o.customDrawingZoomSlider->setValue(0.0f);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar->isVisible()) << "the fitted picture needs no bars";
    w.o.customDrawingZoomSlider->setValue(1.0f);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(w.o.controlScrollView->horizontalScrollBar()->isVisible());
    EXPECT_EQ(w.win.shownViewportSize().width, w.o.controlScrollView->viewport()->width());

    platform::ViewHost* host = w.canvas()->host();
    ASSERT_TRUE(host);
    struct Row {
        const char* name;
        QPoint pixels, angle;
        int moved;
    };
    const int notch = QApplication::wheelScrollLines() * bar->singleStep();
    ASSERT_GE(notch, 20) << "a sensible line height";
    const Row rows[] = {
        { "one notch down", {}, { 0, -120 }, notch },
        { "one notch up", {}, { 0, 120 }, -notch },
        { "touchpad pixels", { 0, -7 }, { 0, -14 }, 7 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bar->setValue(bar->maximum() / 2);
        const int before = bar->value();
        const QPointF at(host->width() / 2.0, host->height() / 2.0);
        QWheelEvent wheel(at, host->mapToGlobal(at), row.pixels, row.angle, Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(host, &wheel);
        EXPECT_EQ(bar->value() - before, row.moved);
    }
}

TEST(DocumentWindow, ShowsThePictureBesideTheSidebar)
{
    ReadyWindow w(true);
    w.win.requestSaturation();
    // The layers render off the main thread; wait for the picture to arrive.
    QImage shot;
    QElapsedTimer clock;
    clock.start();
    const QPoint centre
        = w.o.controlScrollView->geometry().center() + w.o.controlScrollView->parentWidget()->pos();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        shot = w.win.grab().toImage();
    } while (QColor(shot.pixel(centre)).red() < 150 && clock.elapsed() < 10000);
    const QColor inPicture(shot.pixel(centre));
    EXPECT_NEAR(inPicture.red(), 200, 4);
    EXPECT_NEAR(inPicture.green(), 30, 4);
    // The sidebar's dark body right of the canvas.
    const QColor sidebar(shot.pixel(w.win.width() - 10, w.win.height() - 10));
    EXPECT_LT(sidebar.red(), 60);
}

TEST(DocumentWindow, SettingUpLeavesTheDocumentUnchanged)
{
    // A document opened from its file must not look edited: neither the set-up nor the first
    // render leaves an undo step.
    ReadyWindow w;
    w.win.requestSaturation();
    QApplication::processEvents();
    EXPECT_FALSE(w.undo.canUndo());
    EXPECT_EQ(w.undo.changeCount(), 0);
}

TEST(DocumentWindow, MenuBarSitsInTheTitleBarBesideTheButtons)
{
    ReadyWindow w;
    auto* bar = new QMenuBar(&w.win);
    bar->addMenu(QStringLiteral("File"));
    bar->addMenu(QStringLiteral("Edit"));
    w.win.show();
    QApplication::processEvents();
    const QRect r = bar->geometry();
    EXPECT_GE(r.top(), 0);
    EXPECT_LE(r.bottom(), int(WindowContentView::kTitleBarHeight));
    // Clear of the window buttons and of the centred title.
    const platform::Rect zoomButton = w.win.contentView()->maximizeButtonFrame();
    EXPECT_GT(r.left(), zoomButton.origin.x + zoomButton.size.width);
    EXPECT_LT(r.right(), w.win.width() / 2 - 40);
    // The body starts under the title bar, so the bar covers no control.
    EXPECT_GE(w.o.controlScrollView->mapTo(&w.win, QPoint(0, 0)).y(),
        int(WindowContentView::kTitleBarHeight));
}

TEST(DocumentWindow, SelectingABoxShowsTheInspectorFromItsTop)
{
    ReadyWindow w;
    w.win.show();
    w.win.setPanelStackHeight(2000);
    w.win.viewDidEndLiveResize();
    QApplication::processEvents();
    QScrollBar* scroller = w.o.panelScroller;
    ASSERT_GT(scroller->maximum(), 100);
    scroller->setValue(100);
    // A new text box is selected: the container tells the window, which picks the inspector.
    w.win.newTextBox();
    EXPECT_FALSE(w.o.textControlContainerView->isHidden());
    EXPECT_TRUE(w.o.mainControlContainerView->isHidden());
    EXPECT_TRUE(w.o.drawingControlContainerView->isHidden());
    EXPECT_EQ(scroller->value(), scroller->minimum());
    // Already showing: a later refresh keeps the user's scroll position.
    scroller->setValue(100);
    w.win.ShowSideBar();
    EXPECT_EQ(scroller->value(), 100);
}

TEST(DocumentWindow, ShrinkingKeepsACanvasToFitInto)
{
    ReadyWindow w;
    w.win.show();
    w.win.resize(100, 100);
    QApplication::processEvents();
    const platform::Size view = w.win.viewportSize();
    EXPECT_GT(view.width, 100);
    EXPECT_GT(view.height, 100);
    // The fit still works, so the picture stays on screen.
    EXPECT_GT(w.canvas()->customDrawingZoomScale(), 0.0);
}

namespace {
class NamedService final : public platform::SharingService {
public:
    explicit NamedService(QString title)
        : m_title(std::move(title))
    {
    }
    QString title() const override { return m_title; }
    QIcon image() const override { return m_icon; }
    void performWithItems(const platform::SharingItems&, platform::ShareCompletion) override { }
    QIcon m_icon;

private:
    QString m_title;
};
} // namespace

// The share menu is filled as it opens: the services of the moment, a separator, the two fixed
// commands; each service's item hands that service to the document.
TEST(DocumentWindow, ShareMenuListsTheServicesThenTheFixedCommands)
{
    ReadyWindow w;
    std::vector<std::shared_ptr<platform::SharingService>> services;
    w.win.setSharingServicesSource([&] { return services; });
    std::vector<QString> handed;
    w.win.setShareHandler(
        [&](std::shared_ptr<platform::SharingService> s) { handed.push_back(s->title()); });
    const auto texts = [&] {
        QStringList out;
        for (QAction* a : w.win.shareMenu()->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    const QString save = QStringLiteral("Save Quillmark document"),
                  exportJpeg = QStringLiteral("Export JPEG image");
    w.win.share();
    EXPECT_EQ(texts(), (QStringList { save, exportJpeg }));
    services = { std::make_shared<NamedService>("Copy Image"),
        std::make_shared<NamedService>("Email…") };
    emit w.win.shareMenu()->aboutToShow();
    EXPECT_EQ(texts(), (QStringList { "Copy Image", "Email…", "-", save, exportJpeg }));
    // A service's item carries its icon, where it has one.
    QPixmap red(16, 16);
    red.fill(Qt::red);
    static_cast<NamedService&>(*services[1]).m_icon = QIcon(red);
    emit w.win.shareMenu()->aboutToShow();
    EXPECT_TRUE(w.win.shareMenu()->actions().at(0)->icon().isNull());
    EXPECT_FALSE(w.win.shareMenu()->actions().at(1)->icon().isNull());
    w.win.shareMenu()->actions().at(1)->trigger();
    EXPECT_EQ(handed, std::vector<QString> { "Email…" });
}

// The drawn title is the document's: its name and, while there are unsaved changes, the mark.
TEST(DocumentWindow, DrawnTitleShowsTheDocumentsName)
{
    ReadyWindow w;
    w.win.setTitle(QStringLiteral("doc1[*]"));
    EXPECT_EQ(w.win.title(), "doc1");
    w.win.setWindowModified(true);
    EXPECT_EQ(w.win.title(), "doc1*");
}

// With nothing selected the Font box names the face new text is drawn in.
TEST(DocumentWindow, FontBoxStartsAtTheFaceOfNewText)
{
    ReadyWindow w;
    w.win.newTextBox();
    ASSERT_EQ(w.boxes().textViewAry.size(), 1u);
    auto* text = dynamic_cast<MyTextView*>(w.boxes().textViewAry[0]);
    ASSERT_TRUE(text && text->txtBox());
    const platform::Font drawn = text->txtBox()->editor().layout().fontAt(0);
    ReadyWindow fresh;
    EXPECT_EQ(fresh.o.popupFonts->currentText(), drawn.fontName());
}

namespace {
// A wheel turn of notches (negative: towards the bottom) over a scroll area's viewport: where
// the system's wheel events over its controls arrive, since the controls take none.
void wheel(QWidget& w, int notches)
{
    const QPointF at(w.width() / 2.0, w.height() / 2.0);
    for (int i = 0; i < std::abs(notches); ++i) {
        QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, notches > 0 ? 120 : -120),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&w, &e);
    }
}

// The lowest point of w in its scroll area's viewport, which shows [0, viewport height).
int bottomInViewport(const QWidget& w, const QScrollArea& area)
{
    return w.mapTo(area.viewport(), QPoint(0, w.height())).y();
}
} // namespace

// At the smallest window size every control of every sidebar container can be scrolled to.
TEST(DocumentWindow, SidebarScrollsWhenTallerThanTheWindow)
{
    ReadyWindow w(true);
    w.win.resize(640, 480);
    QApplication::processEvents();
    QScrollArea* main = w.o.mainControlContainerView->scrollArea();
    ASSERT_TRUE(main);
    EXPECT_GT(bottomInViewport(*w.o.btnShare, *main), main->viewport()->height())
        << "Share starts below the window's bottom";
    wheel(*main->viewport(), -20);
    EXPECT_EQ(main->verticalScrollBar()->value(), main->verticalScrollBar()->maximum());
    EXPECT_LE(bottomInViewport(*w.o.btnShare, *main), main->viewport()->height());
    EXPECT_LE(bottomInViewport(*w.o.btnRevertToOriginal, *main), main->viewport()->height());
    EXPECT_LE(main->verticalScrollBar()->sizeHint().width(), 8) << "a thin bar";

    // The inspector scrolls over every panel of the stack, not a fixed height.
    w.win.newTextBox();
    QApplication::processEvents();
    int stack = 0;
    for (QWidget* panel : w.o.panels())
        stack += panel->isHidden() ? 0 : panel->height();
    EXPECT_EQ(w.o.panelContentView->height(), stack);
    wheel(*w.o.panelScrollView->viewport(), -100);
    const QWidget* last = nullptr;
    for (QWidget* panel : w.o.panels())
        last = panel->isHidden() ? last : panel;
    ASSERT_TRUE(last);
    EXPECT_LE(
        bottomInViewport(*last, *w.o.panelScrollView), w.o.panelScrollView->viewport()->height());
    EXPECT_GT(w.o.panelScroller->value(), 0);

    // Painting the mask: its controls scroll too.
    w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
    w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
    w.win.resize(640, 300);
    QApplication::processEvents();
    QScrollArea* drawing = w.o.drawingControlContainerView->scrollArea();
    ASSERT_TRUE(drawing);
    wheel(*drawing->viewport(), -20);
    EXPECT_LE(bottomInViewport(*w.o.chkRedMask, *drawing), drawing->viewport()->height());
}

namespace {
void key(QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&w, &press);
}
} // namespace

// Tab reaches the sliders, and Escape ends text editing with the box still selected.
TEST(DocumentWindow, KeyboardReachesSlidersAndEndsEditing)
{
    ReadyWindow w(true);
    QApplication::setActiveWindow(&w.win);
    w.o.btnNewShape->setFocus();
    ASSERT_TRUE(w.o.btnNewShape->hasFocus());
    key(*w.o.btnNewShape, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.o.apertureSlider);
    key(*w.o.apertureSlider, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(w.o.apertureSlider->value(), 0.1, 1e-9);
    w.undo.endGroup();
    EXPECT_TRUE(w.undo.canUndo()) << "a key's move is an edit";

    w.win.newTextBox();
    MyViewBase* box = w.boxes().textViewAry.at(0);
    w.boxes().AnimateBox(*box, true);
    ASSERT_TRUE(box->isEditing());
    auto* host = w.win.findChild<platform::ViewHost*>();
    ASSERT_TRUE(host);
    key(*host, Qt::Key_Escape);
    EXPECT_FALSE(box->isEditing());
    EXPECT_TRUE(box->selected());
    EXPECT_FALSE(w.o.textControlContainerView->isHidden()) << "the inspector stays";
}
