// The document window's set-up once its picture is known, the canvas's pinch requests, the mode
// switch, the choice of sidebar container and the resize handling.
#include "window/DocumentWindow.h"

#include "boxes/MyTextBox.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "container/TextViewContainer.h"
#include "foundation/ImageAdditions.h"
#include "platform/document/NotificationCenter.h"
#include "platform/document/SharingService.h"
#include "platform/ui/Event.h"
#include "platform/ui/NamedImage.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/ViewHost.h"
#include "window/BrushPanel.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/GradientCtrl.h"
#include "window/PanelContentView.h"
#include "window/PictureSliders.h"
#include "window/SegmentSwitch.h"
#include "window/ShapePanel.h"
#include "window/SidebarContainerView.h"
#include "window/WindowContentView.h"
#include "window/WindowLogging.h"
#include "window/ZoomSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

using platform::Image;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

// The inspector's effect sliders' start value and maximum; the picture and brush sliders start
// from their own tables.
struct SliderStart {
    ImageEffectIntensitySlider* DocumentWindowOutlets::*slider;
    double value;
    double maxValue;
    bool sendsAction;
};

constexpr SliderStart kSliderStarts[] = {
    { &DocumentWindowOutlets::imageboxsaturationSlider, 0.5, 2.0, true },
    { &DocumentWindowOutlets::textboxOpacitySlider, 1.0, 1.0, false },
    { &DocumentWindowOutlets::textboxAngleSlider, 1.0, 1.0, false },
};

// A pinch's "delta" moved onto a slider value, kept within 0.01..1; nothing for a delta that
// is missing or not finite.
std::optional<double> pinchedValue(const platform::Notification& note, double current, double k)
{
    bool ok = false;
    const float delta = note.userInfo.value(QStringLiteral("delta")).toFloat(&ok);
    if (!ok || !std::isfinite(delta))
        return std::nullopt;
    return std::clamp(current + k * double(delta), 0.01, 1.0);
}

} // namespace

DocumentWindow::DocumentWindow(platform::UndoManager& undo, QWidget* parent)
    : Window(Rect(0, 0, 1200, 800), Titled | Closable | Miniaturizable | Resizable, parent)
    , m_undo(undo)
{
    setTitle(QStringLiteral("Quillmark"));
    // Room for the sidebar and a canvas that still has an area to fit the picture into.
    setMinimumSize(640, 480);
    buildLayout();
    makeInspectorPanels();
}

DocumentWindow::~DocumentWindow()
{
    // The canvas goes before the controls it reports to.
    if (m_canvasControls)
        m_canvasControls->setCanvasWindow(nullptr);
}

void DocumentWindow::windowReady()
{
    if (m_windowReady)
        return;
    m_windowReady = true;
    // Step 1 (resizes reach viewDidEndLiveResize) is resizeEvent's, once this flag is set.
    m_canvasControls->setCanvasWindow(this);
    m_originalThumbnail = resizedImageWithMaxSide(m_originalImage, 200);
    setUpEffectSliders();
    const auto track = [](ImageEffectIntensitySlider* s, const QString& name) {
        s->setImage(platform::namedImage(name, Size(s->width(), s->height())));
    };
    track(shadowBlurSlider, QStringLiteral("blurslider"));
    track(innerShadowBlurSlider, QStringLiteral("blurslider"));
    track(shadowOffsetSlider, QStringLiteral("offsetslider"));
    track(innerShadowOffsetSlider, QStringLiteral("offsetslider"));
    track(perspectiveSlider, QStringLiteral("perspectiveslider"));
    track(curveSlider, QStringLiteral("curveslider"));
    customDrawingZoomSlider->setValue(0.0f);
    // The size follows the painting view's zoom just set.
    drawSizeSlider->sendAction();
    // Only this window's canvas: a pinch in one window must not zoom the others.
    const void* canvas = static_cast<const platform::View*>(m_canvasControls);
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(canvas::CanvasCustomShapeControls::kRequestZoom, canvas, &m_observerContext,
        [this](const platform::Notification& n) { requestZoom(n); });
    center.addObserver(canvas::CanvasCustomShapeControls::kRequestBrushSize, canvas,
        &m_observerContext, [this](const platform::Notification& n) { requestBrushSize(n); });
    switchColorCropMode(*cropColorSegmentSwitch);
    applyDarkAppearance();
    ShowSideBar();
    chkRedMask->setStyleSheet(QStringLiteral("color: white"));
    // Its box dark as the sidebar's fields are: the tick is drawn in the title's white, which
    // would vanish in a white box.
    QPalette tickBox = chkRedMask->palette();
    tickBox.setColor(QPalette::Base, QColor(0x2B, 0x2B, 0x2B));
    chkRedMask->setPalette(tickBox);
    chkRedMask->setChecked(false);
    m_fontPanel->fillFontPopup();
    // The wells' edits go to the panels that own them (set when the panels were made).
    for (GradientCtrl* well :
        { btFontColor, btTextboxBackgroundColor, btBorderColor, btOverlayColor, btStrokeColor })
        well->initControls();
    setAcceptDrops(true);
    m_shapePanel = std::make_unique<ShapePanel>(this);
    m_shapePanel->setTarget([this](ShapeButton& b) { shapeClicked(b); });
    fillHeadPopups();
    segmentInnerShadow->setSelectedSegment(0);
}

// The sidebar's standard controls in the dark look, in the order the set-up gives it.
void DocumentWindow::applyDarkAppearance()
{
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(0x18, 0x19, 0x18));
    dark.setColor(QPalette::Base, QColor(0x2B, 0x2B, 0x2B));
    dark.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    for (QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        dark.setColor(role, QColor(0xDD, 0xDD, 0xDD));
    fontStyleSegmentedCtrl->setUseSeparator(true);
    QWidget* const controls[] = { popupFonts, fontStyleSegmentedCtrl, fontAlignmentSegmentedCtrl,
        fontSizeTextField, fontSizeStepper, charspaceTextField, linespaceTextField,
        charspaceStepper, linespaceStepper, btFontColor, borderSizeStepper, strokeSizeStepper,
        shadowAngleStepper, shadowBlurStepper, shadowOffsetStepper, innerShadowAngleStepper,
        innerShadowBlurStepper, innerShadowOffsetStepper, perspectiveStepper, curveStepper,
        controlScrollView, panelScrollView, segmentInnerShadow };
    for (QWidget* control : controls)
        control->setPalette(dark);
}

void DocumentWindow::setUpEffectSliders()
{
    for (const PictureSlider& row : pictureSliders()) {
        ImageEffectIntensitySlider& s = *(this->*row.outlet);
        s.setImage(m_originalThumbnail);
        s.setMaxValue(row.maxValue);
        s.setGeneratePreviewImageBlock(previewBlockFor(s));
        s.setValue(row.start);
    }
    for (const BrushSlider& row : BrushPanel::sliders()) {
        ImageEffectIntensitySlider& s = *(this->*row.outlet);
        s.setImage(m_originalThumbnail);
        s.setGeneratePreviewImageBlock(previewBlockFor(s));
        s.setValue(row.start);
    }
    for (const SliderStart& start : kSliderStarts) {
        ImageEffectIntensitySlider& s = *(this->*start.slider);
        s.setImage(m_originalThumbnail);
        s.setValue(start.value);
        if (start.maxValue >= 0)
            s.setMaxValue(start.maxValue);
        s.setGeneratePreviewImageBlock(previewBlockFor(s));
        if (start.sendsAction)
            s.sendAction();
    }
}

void DocumentWindow::fillHeadPopups()
{
    static const char* const kHeads[] = { "arrow", "circle", "diamond", "thinarrow", "thickarrow",
        "square", "reversearrow", "line" };
    const auto fill = [](QComboBox* popup, int end) {
        popup->clear();
        popup->addItem(QStringLiteral("None"));
        for (const char* head : kHeads) {
            const QString name = QStringLiteral("%1-%2").arg(QLatin1String(head)).arg(end);
            const Image picture
                = platform::namedImage(name, Size(60, 16), popup->devicePixelRatioF());
            popup->addItem(QIcon(QPixmap::fromImage(picture.toQImage())), QString());
        }
        popup->setIconSize(QSize(60, 16));
    };
    fill(popupStartPoint, 1);
    fill(popupEndPoint, 2);
}

void DocumentWindow::requestSaturation()
{
    qCDebug(lcWindow, "request saturation");
    m_canvasControls->setSupressRendering(false);
    const double v = saturationSlider->value();
    saturationSlider->setValue(v - 0.1);
    saturationSlider->setValue(v);
}

void DocumentWindow::requestZoom(const platform::Notification& note)
{
    if (auto v = pinchedValue(note, customDrawingZoomSlider->value(), 0.2))
        customDrawingZoomSlider->setValue(float(*v));
}

void DocumentWindow::requestBrushSize(const platform::Notification& note)
{
    if (auto v = pinchedValue(note, drawSizeSlider->value(), 1.0))
        drawSizeSlider->setValue(*v);
}

bool DocumentWindow::isPaintViewShowed() const
{
    const auto* brush
        = dynamic_cast<canvas::CanvasCustomShapeControls*>(m_canvasControls->controls());
    return brush && brush->isPaintViewShowed();
}

void DocumentWindow::switchColorCropMode(SegmentSwitch& sender)
{
    qCDebug(lcWindow, "font style & mask mode");
    beforeAction();
    auto* brush = dynamic_cast<canvas::CanvasCustomShapeControls*>(m_canvasControls->controls());
    if (sender.selectedSegmentIndex() != 0) {
        if (brush)
            brush->showPaintView();
        m_canvasControls->removeAllTextBoxSelection();
    } else if (brush) {
        brush->hidePaintView();
    }
    ShowSideBar();
}

void DocumentWindow::viewDidEndLiveResize()
{
    qCDebug(lcWindow, "resizing");
    m_canvasControls->setCustomDrawingZoomScale(customDrawingZoomSlider->value());
    fitPanelStack();
}

void DocumentWindow::fitPanelStack()
{
    // The stack fills the scroll view; a taller one scrolls, starting at its top.
    const int h = panelScrollView->height();
    const double s = m_panelStackHeight;
    const int width = panelContentView->width();
    if (s > h)
        panelContentView->resize(width, int(std::lround(s)));
    else
        panelContentView->resize(width, std::max(0, h - 2));
}

void DocumentWindow::resizeEvent(QResizeEvent* event)
{
    Window::resizeEvent(event);
    layoutBody();
    if (m_windowReady)
        viewDidEndLiveResize();
}

// ---- sidebar

void DocumentWindow::scrollPanelsToTop()
{
    panelScroller->setValue(panelScroller->minimum());
}

void DocumentWindow::ShowSideBar()
{
    // Whichever container comes into view starts at the top of its panels.
    const auto showOnly = [this](SidebarContainerView* shown) {
        if (shown->isHidden())
            scrollPanelsToTop();
        for (SidebarContainerView* c :
            { mainControlContainerView, textControlContainerView, drawingControlContainerView })
            c->setVisible(c == shown);
    };
    if (isPaintViewShowed()) {
        showOnly(drawingControlContainerView);
        return;
    }
    const TextViewContainer* boxes = m_canvasControls->textViewContainer();
    // Counted once: over thousands of boxes each pass costs.
    const int selected = boxes ? boxes->GetSelectedBoxCount() : 0;
    if (selected < 1) {
        m_selectedThumbnail = Image();
        showOnly(mainControlContainerView);
        return;
    }
    showOnly(textControlContainerView);
    layOutPanels(boxes->boxSelectedStates(), selected);
}

void DocumentWindow::layOutPanels(const TextViewContainer::SelectedBoxStates& states, int n)
{
    for (QWidget* panel : panels())
        panel->show();
    // The label panel holds no control of its own: a title over nothing, for every kind.
    panelLabelProperties->hide();
    for (QWidget* w :
        { static_cast<QWidget*>(imageboxsaturationSlider), static_cast<QWidget*>(popupStartPoint),
            static_cast<QWidget*>(popupEndPoint), static_cast<QWidget*>(lblStrokePoints) })
        w->show();
    const auto hide = [](std::initializer_list<QWidget*> widgets) {
        for (QWidget* w : widgets)
            w->hide();
    };
    // Without the head popups the stroke panel ends above them.
    const auto strokeWithoutHeads = [&] {
        hide({ popupStartPoint, popupEndPoint, lblStrokePoints });
        panelStroke->resize(panelStroke->width(), kStrokePanelShort);
    };
    panelStroke->resize(panelStroke->width(), kStrokePanelTall);
    panelCommon->resize(panelCommon->width(), kCommonPanelTall);
    if (states.total() != 1)
        panelFrame->hide();
    segmentInnerShadow->hide();
    // A mixed selection gets every hiding of its kinds; the last height written wins.
    if (states.images > 0) {
        btInstantAlpha->setEnabled(n == 1);
        hide({ panelFont, panelStroke, panelOtherProperties, panelRoundRect });
        strokeWithoutHeads();
        segmentInnerShadow->setSelectedSegment(0);
    }
    if (states.texts > 0) {
        hide({ panelImageButton, panelOverlayColor, panelRoundRect, imageboxsaturationSlider,
            panelLabelProperties });
        strokeWithoutHeads();
        panelCommon->resize(panelCommon->width(), kCommonPanelShort);
        segmentInnerShadow->show();
    }
    if (states.shapes > 0) {
        segmentInnerShadow->setSelectedSegment(0);
        hide({ panelFont, panelImageButton, panelOtherProperties, imageboxsaturationSlider });
        panelCommon->resize(panelCommon->width(), kCommonPanelShort);
        if (states.bLine)
            hide({ panelBackgroundColor, panelOverlayColor });
        else
            strokeWithoutHeads();
        if (!(states.shapes == 1 && states.bRoundRect))
            panelRoundRect->hide();
    }
    // The separator keeps to the stroke panel's bottom edge, whichever height it got.
    seperatorStroke->move(
        seperatorStroke->x(), panelStroke->height() - seperatorStroke->height() - 2);
    showSliderPictures(states, n);
    for (ImageEffectIntensitySlider* s : { textboxOpacitySlider, textboxAngleSlider })
        s->update();
    stackPanels();
}

void DocumentWindow::showSliderPictures(const TextViewContainer::SelectedBoxStates& states, int n)
{
    if (n == 1 && states.images == 1) {
        // The one picture box's own picture, made once while it stays the selection.
        if (m_selectedThumbnail.isNull())
            m_selectedThumbnail = resizedImageWithMaxSide(
                imageWithCIImage(m_canvasControls->textViewContainer()->GetSelectedImageBoxImage()),
                200);
        for (ImageEffectIntensitySlider* s : { textboxOpacitySlider, textboxAngleSlider }) {
            s->setUsePreviewImage(true);
            s->setImage(m_selectedThumbnail);
        }
        imageboxsaturationSlider->setImage(m_selectedThumbnail);
        return;
    }
    m_selectedThumbnail = Image();
    if (states.images == 0 && states.shapes == 0) {
        const auto picture = [](ImageEffectIntensitySlider* s, const char* name) {
            s->setUsePreviewImage(false);
            s->setImage(platform::namedImage(QLatin1String(name), Size(s->width(), s->height())));
        };
        picture(textboxOpacitySlider, "opacityslider");
        picture(textboxAngleSlider, "angleslider");
        return;
    }
    for (ImageEffectIntensitySlider* s : { textboxOpacitySlider, textboxAngleSlider }) {
        s->setUsePreviewImage(true);
        s->setImage(m_originalThumbnail);
    }
}

void DocumentWindow::setInstantAlphaState(int state)
{
    btInstantAlpha->setChecked(state != 0);
}

QRect DocumentWindow::shapePanelFrame(const QRect& button, const QRect& available)
{
    constexpr int kEdge = 8;
    const int w = ShapePanel::kWidth, h = ShapePanel::kHeight;
    // Centred under the button, its top edge on the button's bottom edge.
    int x = int(std::lround(float(button.x() + button.width() / 2.0 - w / 2.0)));
    int y = button.y() + button.height();
    // Kept 8 from every edge of the screen's free area; a screen too small gets the top left.
    x = std::max(std::min(x, available.right() + 1 - kEdge - w), available.left() + kEdge);
    y = std::max(std::min(y, available.bottom() + 1 - kEdge - h), available.top() + kEdge);
    return QRect(x, y, w, h);
}

void DocumentWindow::newShapeBox()
{
    m_shapePanel->showWindow();
    ShapePanelWindow* panel = m_shapePanel->panel();
    const QRect button(btnNewShape->mapToGlobal(QPoint(0, 0)), btnNewShape->size());
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect frame = shapePanelFrame(button,
        screen ? screen->availableGeometry() : QRect(button.topLeft(), QSize(10000, 10000)));
    qCDebug(lcWindow, "panelRect:%f %f %f %f", double(frame.x()), double(frame.y()),
        double(frame.width()), double(frame.height()));
    panel->setFrame(frame);
    panel->setWindowOpacity(0.0);
    auto* fade = new QPropertyAnimation(panel, "windowOpacity", panel);
    fade->setDuration(ShapePanel::kFadeMilliseconds);
    fade->setEndValue(1.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void DocumentWindow::shapeClicked(ShapeButton& sender)
{
    qCDebug(lcWindow, "shape tag:%d", int(sender.tag()));
    cropColorSegmentSwitch->setSelectedSegmentIndex(0);
    switchColorCropMode(*cropColorSegmentSwitch);
    raise();
    activateWindow();
    if (TextViewContainer* container = boxLayer()) {
        container->setDelegate(this);
        container->setDocumentWindow(this);
        container->newShapeBox(int(sender.tag()));
    }
    giveCanvasTheKeyboard();
}

void DocumentWindow::instantAlpha()
{
    if (btInstantAlpha->isChecked()) {
        beforeAction();
        if (m_canvasControls)
            m_canvasControls->instantAlpha();
        btInstantAlpha->setChecked(true);
    } else if (TextViewContainer* container = boxLayer()) {
        container->cancelInstantAlpha();
    }
}

void DocumentWindow::redMaskChanged()
{
    beforeAction();
    if (m_canvasControls)
        m_canvasControls->redMaskChanged(chkRedMask->isChecked() ? 1 : 0);
}

void DocumentWindow::saveHueboxFile()
{
    if (m_saveHandler)
        m_saveHandler();
}

void DocumentWindow::exportImage()
{
    if (m_exportHandler)
        m_exportHandler();
}

void DocumentWindow::share()
{
    m_shareMenu->clear();
    const auto services
        = m_sharingServices ? m_sharingServices() : platform::sharingServicesForItems();
    for (const auto& service : services) {
        if (service)
            m_shareMenu->addAction(service->image(), service->title(), this,
                [this, service] { shareWithItem(service); });
    }
    if (!services.empty())
        m_shareMenu->addSeparator();
    m_shareMenu->addAction(
        QStringLiteral("Save Quillmark document"), this, [this] { saveHueboxFile(); });
    m_shareMenu->addAction(QStringLiteral("Export JPEG image"), this, [this] { exportImage(); });
}

void DocumentWindow::shareWithItem(const std::shared_ptr<platform::SharingService>& service)
{
    if (service && m_shareHandler)
        m_shareHandler(service);
}

std::optional<Size> DocumentWindow::workingImageSize() const
{
    return m_canvasControls->workingImageSize();
}

// ---- canvas::CanvasWindow: the document view in controlScrollView, y-up

Size DocumentWindow::viewportSize() const
{
    // The viewport's own size lags while the window is hidden; this one follows the scroll
    // view's geometry at once.
    const QSize s = controlScrollView->maximumViewportSize();
    return Size(s.width(), s.height());
}

Size DocumentWindow::documentSize() const
{
    return Size(m_canvasHost->width(), m_canvasHost->height());
}

void DocumentWindow::setDocumentSize(const Size& size)
{
    if (!size.isFinite())
        return;
    const auto side = [](double v) { return int(std::clamp(std::ceil(v), 0.0, 1e6)); };
    m_canvasHost->resize(side(size.width), side(size.height));
}

Size DocumentWindow::shownViewportSize() const
{
    // What the bars leave of the view; before the window shows, its geometry is not laid out
    // yet and nothing overflows.
    if (!controlScrollView->isVisible())
        return viewportSize();
    const QSize s = controlScrollView->viewport()->size();
    return Size(s.width(), s.height());
}

Rect DocumentWindow::visibleRect() const
{
    const Size v = shownViewportSize();
    const double x = controlScrollView->horizontalScrollBar()->value();
    const double yDown = controlScrollView->verticalScrollBar()->value();
    return Rect(x, m_canvasHost->height() - yDown - v.height, v.width, v.height);
}

void DocumentWindow::scrollTo(const Point& point)
{
    const auto whole = [](double v) { return int(std::clamp(std::round(v), -1e6, 1e6)); };
    if (!point.isFinite())
        return;
    const Size v = shownViewportSize();
    controlScrollView->horizontalScrollBar()->setValue(whole(point.x));
    controlScrollView->verticalScrollBar()->setValue(
        whole(m_canvasHost->height() - point.y - v.height));
}

void DocumentWindow::scrollWheel(const platform::Event& event)
{
    // A wheel notch scrolls Qt's wheel step (that many lines of the bar's line height); a
    // touchpad's pixels scroll as they are. Positive deltas scroll towards the top left; the
    // bars clamp to their range.
    const bool precise = event.hasPreciseScrollingDeltas();
    const auto by = [precise](QScrollBar* bar, double pixels, double notches) {
        const double delta
            = precise ? pixels : notches * QApplication::wheelScrollLines() * bar->singleStep();
        if (std::isfinite(delta))
            bar->setValue(int(std::clamp(bar->value() - std::round(delta), -1e6, 1e6)));
    };
    by(controlScrollView->horizontalScrollBar(), event.scrollingDeltaX(), event.deltaX());
    by(controlScrollView->verticalScrollBar(), event.scrollingDeltaY(), event.deltaY());
}
