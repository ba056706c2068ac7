// The document window's layout: every control made once, where it sits, and the actions the
// picture, brush and mode controls send. The window's behaviour is in DocumentWindow.cpp.
#include "boxes/UNDODATA.h"
#include "canvas/CanvasControls.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewHost.h"
#include "window/AngleCtrl.h"
#include "window/BrushPanel.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindow.h"
#include "window/FillPanel.h"
#include "window/FontPanel.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/PanelContentView.h"
#include "window/PictureSliders.h"
#include "window/SegmentSwitch.h"
#include "window/SidebarContainerView.h"
#include "window/SpacingPanel.h"
#include "window/WindowContentView.h"
#include "window/ZoomSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace {

constexpr int kSidebarWidth = 285;
constexpr int kPanelWidth = 269;
constexpr int kRowHeight = 24;
constexpr int kSliderHeight = 62;
constexpr int kMargin = 8;
// A fill well's height: room for the preview and, above it, the stop markers of a multi-stop
// fill, which hang 10 points over the preview.
constexpr int kFillWellHeight = 40;

// The canvas's document view: a plain view the canvas sits in, sized by the canvas's zoom.
class CanvasDocumentView : public platform::View {
public:
    using View::View;
    void drawRect(const platform::Rect&, platform::GraphicsContext&) override { }
};

// Places the children of one panel or container top down, in Qt's coordinates.
class RowPlacer {
public:
    RowPlacer(QWidget* parent, int width)
        : m_parent(parent)
        , m_width(width)
    {
    }
    template <class T> T* add(int height, int x = kMargin, int width = -1)
    {
        auto* w = new T(m_parent);
        w->setGeometry(x, m_y, width < 0 ? m_width - x - kMargin : width, height);
        return w;
    }
    template <class T> T* full(int height)
    {
        T* w = add<T>(height);
        next(height);
        return w;
    }
    void next(int height) { m_y += height + 4; }
    int y() const { return m_y; }
    QWidget* parent() const { return m_parent; }

private:
    QWidget* m_parent;
    int m_width;
    int m_y = kMargin;
};

// The title row's right end holds the panel's small buttons (remove, lock, text colour); a
// title stops short of them, so that no part of a button lies under it.
constexpr int kTitleButtonsWidth = 58;

QLabel* panelTitle(RowPlacer& rows, const QString& text)
{
    auto* label = rows.add<QLabel>(18, kMargin, kPanelWidth - 2 * kMargin - kTitleButtonsWidth);
    rows.next(18);
    label->setText(text);
    return label;
}

QPushButton* minusButton(QWidget* panel);

// A panel's title with the toggle that keeps its values together; the frame panel gives it
// its open or closed lock picture.
QPushButton* titleWithLock(RowPlacer& rows, const QString& text)
{
    auto* lock = rows.add<QPushButton>(18, kPanelWidth - 34, 26);
    panelTitle(rows, text);
    lock->setCheckable(true);
    lock->setFlat(true);
    lock->setIconSize(QSize(14, 14));
    // The picture alone shows the state: no pressed-in background behind a closed lock.
    lock->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    lock->setToolTip(QObject::tr("Lock"));
    lock->setAccessibleName(QObject::tr("Lock"));
    return lock;
}

// A fill panel's title with its remove button, then the fill well under it.
QLabel* fillRows(RowPlacer& rows, const QString& text, QPushButton*& minus, GradientCtrl*& well,
    int wellHeight = 30)
{
    QLabel* label = panelTitle(rows, text);
    minus = minusButton(rows.parent());
    well = rows.full<GradientCtrl>(wellHeight);
    return label;
}

QPushButton* minusButton(QWidget* panel)
{
    auto* b = new QPushButton(QStringLiteral("\u2212"), panel);
    b->setGeometry(kPanelWidth - 30, kMargin, 22, 18);
    b->setFlat(true);
    return b;
}

// One "stepper, field" pair on a row: the field at x, the stepper right of it.
void valueRow(RowPlacer& rows, int x, QLineEdit*& field, platform::Stepper*& stepper,
    int fieldTag = -1, int stepperTag = -1)
{
    field = rows.add<QLineEdit>(kRowHeight, x, 60);
    stepper = rows.add<platform::Stepper>(kRowHeight, x + 62, 15);
    if (fieldTag >= 0)
        field->setProperty("tag", fieldTag);
    if (stepperTag >= 0)
        stepper->setProperty("tag", stepperTag);
}

// A field and stepper pair with a short label before it, as the frame's W, H, X and Y (one
// letter, the default width) or the spacing's Line and Char.
void labelledValueRow(RowPlacer& rows, int x, const QString& label, QLineEdit*& field,
    platform::Stepper*& stepper, int fieldTag = -1, int stepperTag = -1, int labelWidth = 14)
{
    auto* l = rows.add<QLabel>(kRowHeight, x, labelWidth);
    l->setText(label);
    valueRow(rows, x + labelWidth + 2, field, stepper, fieldTag, stepperTag);
    l->setBuddy(field);
}

void setRange(platform::Stepper* stepper, int min, int max)
{
    stepper->setMinValue(min);
    stepper->setMaxValue(max);
}

// The outlets of one shadow family, filled by shadowGroup.
struct ShadowOutlets {
    ColoredButton*& color;
    AngleCtrl*& angle;
    QLineEdit*& angleField;
    platform::Stepper*& angleStepper;
    ImageEffectIntensitySlider*& blur;
    QLineEdit*& blurField;
    platform::Stepper*& blurStepper;
    ImageEffectIntensitySlider*& offset;
    QLineEdit*& offsetField;
    platform::Stepper*& offsetStepper;
};

// The shadow sliders' range in points; the steppers and fields go to the record's bounds.
constexpr double kShadowSliderMax = 100;

// A shadow slider: its title picks the shadow look (the pointer maps over a shorter track),
// so both sliders of a family share it and a caption beside the title tells them apart. The
// field beside the slider shows the value with its unit, so the slider shows none of its own.
ImageEffectIntensitySlider* shadowSlider(
    RowPlacer& rows, const QString& title, const QString& caption)
{
    auto* s = rows.add<ImageEffectIntensitySlider>(kSliderHeight, kMargin, 170);
    s->setTitle(title);
    s->setMaxValue(kShadowSliderMax);
    s->setShowsValueText(false);
    auto* label = new QLabel(caption, s);
    label->setGeometry(0, 0, s->width() - 4, 20);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return s;
}

// Colour well, angle knob and field, then the blur and offset sliders with their fields.
void shadowGroup(RowPlacer& rows, const QString& sliderTitle, int colorTag, ShadowOutlets o)
{
    o.color = rows.add<ColoredButton>(kRowHeight, kMargin, 40);
    o.color->setProperty("tag", colorTag);
    o.angle = rows.add<AngleCtrl>(27, kMargin + 48, 27);
    valueRow(rows, kMargin + 84, o.angleField, o.angleStepper);
    o.angleStepper->setMinValue(0);
    o.angleStepper->setMaxValue(359);
    o.angleStepper->setValueWraps(true);
    rows.next(27);
    o.blur = shadowSlider(rows, sliderTitle, QObject::tr("Blur"));
    valueRow(rows, kMargin + 176, o.blurField, o.blurStepper);
    o.blurStepper->setMaxValue(UNDODATA::kMaxShadowSize);
    rows.next(kSliderHeight);
    o.offset = shadowSlider(rows, sliderTitle, QObject::tr("Offset"));
    valueRow(rows, kMargin + 176, o.offsetField, o.offsetStepper);
    o.offsetStepper->setMinValue(-int(UNDODATA::kMaxExtent));
    o.offsetStepper->setMaxValue(int(UNDODATA::kMaxExtent));
}

ImageEffectIntensitySlider* slider(RowPlacer& rows, const QString& text)
{
    auto* s = rows.full<ImageEffectIntensitySlider>(kSliderHeight);
    s->setTitle(text);
    return s;
}

// Segments show their titles as pictures, drawn here at twice the point size for sharp text.
void setSegmentTitles(platform::SegmentedControl* control, const QStringList& titles)
{
    control->setSegmentCount(int(titles.size()));
    const int segmentWidth = std::max(1, control->width() / std::max(1, int(titles.size())));
    for (int i = 0; i < titles.size(); ++i) {
        QImage text(segmentWidth * 2, control->height() * 2, QImage::Format_ARGB32_Premultiplied);
        text.fill(Qt::transparent);
        QPainter p(&text);
        QFont font = control->font();
        font.setPixelSize(22);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(text.rect(), Qt::AlignCenter, titles[i]);
        p.end();
        control->setImage(
            platform::Image::fromQImage(text, platform::Size(segmentWidth, control->height())), i);
    }
}

QWidget* makePanel(QWidget* parent, int height)
{
    auto* panel = new QWidget(parent);
    panel->resize(kPanelWidth, height);
    return panel;
}

} // namespace

void DocumentWindow::buildLayout()
{
    m_body = new QWidget(contentView());
    // The sidebar is dark: light text, and the panel stack on the sidebar's own background.
    m_body->setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: #DDDDDD; }"));
    buildCanvasArea();
    buildSidebar();
    layoutBody();
    wireActions();
}

QWidget* DocumentWindow::buildCanvasArea()
{
    controlScrollView = new QScrollArea(m_body);
    controlScrollView->setFrameShape(QFrame::NoFrame);
    controlScrollView->setWidgetResizable(false);
    // Bars show once the zoomed picture is larger than the view; the picture is fitted and
    // centred in the view without them.
    // Thin bars on the backdrop, without arrows, as a picture view has them.
    controlScrollView->setStyleSheet(QStringLiteral(
        "QScrollArea, QWidget { background: #1E1E1E; }"
        "QScrollBar { background: #1E1E1E; border: none; width: 10px; height: 10px; }"
        "QScrollBar::handle { background: #5A5A5A; border-radius: 4px; margin: 2px;"
        " min-width: 24px; min-height: 24px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"));
    m_canvasHost = new platform::ViewHost;
    auto document = std::make_unique<CanvasDocumentView>();
    m_canvasControls = document->addSubview(std::make_unique<canvas::CanvasControls>());
    m_canvasHost->setRootView(std::move(document));
    controlScrollView->setWidget(m_canvasHost);
    m_canvasControls->setCanvasWindow(this);
    // Scrolling shows another part of the picture: the layers render what is now visible.
    const auto scrolled = [this] { m_canvasControls->visibleAreaChanged(); };
    connect(controlScrollView->horizontalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
    connect(controlScrollView->verticalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
    return controlScrollView;
}

QWidget* DocumentWindow::buildSidebar()
{
    cropColorSegmentSwitch = new SegmentSwitch(m_body);
    cropColorSegmentSwitch->setFirstTitle(tr("Text & Shapes"));
    cropColorSegmentSwitch->setSecondTitle(tr("Mask"));
    mainControlContainerView = new SidebarContainerView(m_body);
    textControlContainerView = new SidebarContainerView(m_body);
    drawingControlContainerView = new SidebarContainerView(m_body);
    textControlContainerView->hide();
    drawingControlContainerView->hide();
    buildMainControls();
    buildDrawingControls();
    buildPanels();
    return mainControlContainerView;
}

void DocumentWindow::buildMainControls()
{
    RowPlacer rows(mainControlContainerView->scrollingContent(), kSidebarWidth);
    btnNewTextBox = rows.add<QPushButton>(kRowHeight, kMargin, 84);
    btnNewTextBox->setText(tr("Text"));
    btnNewImageLayer = rows.add<QPushButton>(kRowHeight, kMargin + 88, 84);
    btnNewImageLayer->setText(tr("Picture"));
    btnNewShape = rows.add<QPushButton>(kRowHeight, kMargin + 176, 84);
    btnNewShape->setText(tr("Shape"));
    rows.next(kRowHeight + kMargin);
    for (const PictureSlider& row : pictureSliders()) {
        ImageEffectIntensitySlider* s = slider(rows, QString::fromUtf8(row.title));
        s->setRegistersUndo(row.registersUndo);
        s->setShowsDegrees(row.showsDegrees);
        this->*row.outlet = s;
    }
    btnRevertToOriginal = rows.add<QPushButton>(kRowHeight, kMargin, 130);
    btnRevertToOriginal->setText(tr("Revert to Original"));
    btnShare = rows.add<QPushButton>(kRowHeight, kMargin + 134, 130);
    btnShare->setText(tr("Share"));
    m_shareMenu = new QMenu(btnShare);
    m_shareMenu->setTitle(QStringLiteral("MountainLionSharingMenu"));
    connect(m_shareMenu, &QMenu::aboutToShow, this, [this] { share(); });
    share();
    btnShare->setMenu(m_shareMenu);
    mainControlContainerView->fitContent();
}

void DocumentWindow::buildDrawingControls()
{
    RowPlacer rows(drawingControlContainerView->scrollingContent(), kSidebarWidth);
    drawModeSegmentedCtrl = rows.full<CustomSegmentedCtrl>(kRowHeight);
    setSegmentTitles(drawModeSegmentedCtrl, { tr("Paint"), tr("Erase") });
    drawModeSegmentedCtrl->setSelectedSegment(0);
    for (const BrushSlider& row : BrushPanel::sliders())
        this->*row.outlet = slider(rows, QString::fromUtf8(row.title));
    customDrawingZoomSlider = rows.full<ZoomSlider>(30);
    chkRedMask = rows.full<QCheckBox>(kRowHeight);
    chkRedMask->setText(tr("Show mask in red"));
    drawingControlContainerView->fitContent();
}

void DocumentWindow::buildPanels()
{
    panelScrollView = new QScrollArea(textControlContainerView);
    panelScrollView->setWidgetResizable(false);
    panelContentView = new PanelContentView;
    panelContentView->resize(kPanelWidth, int(kStartPanelStackHeight));
    panelScrollView->setWidget(panelContentView);
    SidebarContainerView::styleScrollArea(*panelScrollView);
    panelScroller = panelScrollView->verticalScrollBar();
    QWidget* const content = panelContentView;

    panelImageButton = makePanel(content, 40);
    {
        RowPlacer rows(panelImageButton, kPanelWidth);
        btInstantAlpha = rows.add<QPushButton>(kRowHeight, kMargin, 120);
        btInstantAlpha->setText(tr("Instant Alpha"));
        btInstantAlpha->setCheckable(true);
        btReplace = rows.add<QPushButton>(kRowHeight, kMargin + 126, 120);
        btReplace->setText(tr("Replace"));
    }
    panelFont = makePanel(content, 122 + kFillWellHeight);
    {
        RowPlacer rows(panelFont, kPanelWidth);
        // The plain text colour: a swatch at the title row's right end that opens the
        // shared colour panel.
        auto* textColour = rows.add<ColoredButton>(18, kPanelWidth - 48, 40);
        textColour->setObjectName(FillPanel::kTextColourButton);
        textColour->setToolTip(tr("Text Color"));
        panelTitle(rows, tr("Font"));
        textColour->raise();
        popupFonts = rows.full<QComboBox>(kRowHeight);
        fontStyleSegmentedCtrl = rows.add<CustomSegmentedCtrl>(kRowHeight, kMargin, 120);
        setSegmentTitles(fontStyleSegmentedCtrl, { tr("B"), tr("I"), tr("U"), tr("S") });
        fontStyleSegmentedCtrl->setTrackingMode(
            platform::SegmentedControl::TrackingMode::SelectAny);
        fontAlignmentSegmentedCtrl = rows.add<CustomSegmentedCtrl>(kRowHeight, kMargin + 126, 120);
        setSegmentTitles(fontAlignmentSegmentedCtrl, { tr("L"), tr("C"), tr("R"), tr("J") });
        rows.next(kRowHeight);
        valueRow(rows, kMargin, fontSizeTextField, fontSizeStepper);
        fontSizeStepper->setMinValue(1);
        fontSizeStepper->setMaxValue(int(FontPanel::kMaxFontSize));
        rows.next(kRowHeight);
        // The whole width, as the other fill wells: a linear gradient's two colour circles and
        // the swap between them need it beside the angle controls.
        btFontColor = rows.full<GradientCtrl>(kFillWellHeight);
    }
    panelOverlayColor = makePanel(content, 34 + kFillWellHeight);
    {
        RowPlacer rows(panelOverlayColor, kPanelWidth);
        lblOverlayColor = fillRows(
            rows, tr("Overlay Color"), minusOverlayColor, btOverlayColor, kFillWellHeight);
    }
    panelBackgroundColor = makePanel(content, 34 + kFillWellHeight);
    {
        RowPlacer rows(panelBackgroundColor, kPanelWidth);
        fillRows(rows, tr("Background"), minusTextBoxBackgroundColor, btTextboxBackgroundColor,
            kFillWellHeight);
    }
    // The border and stroke wells are as tall as the other fill wells, for their stop markers.
    panelBorder = makePanel(content, 62 + kFillWellHeight);
    {
        RowPlacer rows(panelBorder, kPanelWidth);
        fillRows(rows, tr("Border"), minusBorder, btBorderColor, kFillWellHeight);
        valueRow(rows, kMargin, borderSizeTextField, borderSizeStepper);
        borderSizeStepper->setMaxValue(UNDODATA::kMaxLineSize);
    }
    panelStroke = makePanel(content, kStrokePanelTall);
    {
        RowPlacer rows(panelStroke, kPanelWidth);
        fillRows(rows, tr("Stroke"), minusStroke, btStrokeColor, kFillWellHeight);
        valueRow(rows, kMargin, strokeSizeTextField, strokeSizeStepper);
        strokeSizeStepper->setMaxValue(UNDODATA::kMaxLineSize);
        rows.next(kRowHeight);
        lblStrokePoints = rows.add<QLabel>(kRowHeight, kMargin, 60);
        lblStrokePoints->setText(tr("Heads"));
        popupStartPoint = rows.add<QComboBox>(kRowHeight, kMargin + 64, 90);
        popupEndPoint = rows.add<QComboBox>(kRowHeight, kMargin + 160, 90);
        // The head pictures are light lines: the pop-ups and their lists are dark.
        for (QComboBox* popup : { popupStartPoint, popupEndPoint })
            popup->setStyleSheet(QStringLiteral(
                "QComboBox, QComboBox QAbstractItemView { background: #2B2B2B; color: #DDDDDD;"
                " selection-background-color: #4A4A4A; }"));
        seperatorStroke = new QFrame(panelStroke);
        seperatorStroke->setFrameShape(QFrame::HLine);
        seperatorStroke->setGeometry(kMargin, kStrokePanelTall - 4, kPanelWidth - 2 * kMargin, 2);
    }
    panelDropShadow = makePanel(content, 176);
    {
        RowPlacer rows(panelDropShadow, kPanelWidth);
        panelTitle(rows, tr("Shadow"));
        minusShadow = minusButton(panelDropShadow);
        shadowGroup(rows, QStringLiteral("Shadow"), 202,
            { btShadowColor, shadowAngleCtrl, shadowAngleTextField, shadowAngleStepper,
                shadowBlurSlider, shadowBlurTextField, shadowBlurStepper, shadowOffsetSlider,
                shadowOffsetTextField, shadowOffsetStepper });
    }
    panelInnerShadow = makePanel(content, 200);
    {
        RowPlacer rows(panelInnerShadow, kPanelWidth);
        lblInnerShadow = rows.add<QLabel>(18, kMargin, 120);
        lblInnerShadow->setText(tr("Inner Shadow"));
        segmentInnerShadow = rows.add<platform::SegmentedControl>(18, kMargin + 124, 100);
        setSegmentTitles(segmentInnerShadow, { tr("Inner"), tr("Box") });
        minusInnerShadow = minusButton(panelInnerShadow);
        rows.next(18);
        shadowGroup(rows, QStringLiteral("Inner Shadow"), 203,
            { btInnerShadowColor, innerShadowAngleCtrl, innerShadowAngleTextField,
                innerShadowAngleStepper, innerShadowBlurSlider, innerShadowBlurTextField,
                innerShadowBlurStepper, innerShadowOffsetSlider, innerShadowOffsetTextField,
                innerShadowOffsetStepper });
    }
    // Room for both rows, the curve's slider included.
    panelDirections = makePanel(content, 222);
    {
        RowPlacer rows(panelDirections, kPanelWidth);
        panelTitle(rows, tr("Directions"));
        minusDirections = minusButton(panelDirections);
        perspectiveSegment = rows.full<CustomSegmentedCtrl>(kRowHeight);
        setSegmentTitles(perspectiveSegment, { tr("Horizontal"), tr("Vertical") });
        perspectiveSlider = rows.add<ImageEffectIntensitySlider>(kSliderHeight, kMargin, 170);
        perspectiveSlider->setTitle(tr("Perspective"));
        valueRow(rows, kMargin + 176, perspectiveTextField, perspectiveStepper);
        rows.next(kSliderHeight);
        curveSegment = rows.full<CustomSegmentedCtrl>(kRowHeight);
        // Segment 0 bends the middle up, segment 1 down.
        setSegmentTitles(curveSegment, { tr("Up"), tr("Down") });
        curveSlider = rows.add<ImageEffectIntensitySlider>(kSliderHeight, kMargin, 170);
        curveSlider->setTitle(tr("Curve"));
        valueRow(rows, kMargin + 176, curveTextField, curveStepper);
        // Percentages: a perspective leans either way, a curve bends by its size.
        setRange(perspectiveStepper, -100, 100);
        setRange(curveStepper, 0, 100);
        perspectiveSlider->setMaxValue(100);
        curveSlider->setMaxValue(100);
        // The fields beside the sliders show the signed percentages; the sliders' own
        // position text (a perspective's middle is 50% there but 0% in its field) shows none.
        perspectiveSlider->setShowsValueText(false);
        curveSlider->setShowsValueText(false);
    }
    panelCommon = makePanel(content, 216);
    {
        RowPlacer rows(panelCommon, kPanelWidth);
        textboxOpacitySlider = slider(rows, tr("Opacity"));
        textboxAngleSlider = slider(rows, tr("Angle"));
        imageboxsaturationSlider = slider(rows, QStringLiteral("Saturation"));
    }
    panelOtherProperties = makePanel(content, 96);
    {
        RowPlacer rows(panelOtherProperties, kPanelWidth);
        panelTitle(rows, tr("Spacing"));
        minusOtherProperties = minusButton(panelOtherProperties);
        constexpr int labelWidth = 30;
        labelledValueRow(
            rows, kMargin, tr("Line"), linespaceTextField, linespaceStepper, -1, -1, labelWidth);
        labelledValueRow(rows, kMargin + 126, tr("Char"), charspaceTextField, charspaceStepper, -1,
            -1, labelWidth);
        linespaceTextField->setToolTip(tr("Line Spacing"));
        charspaceTextField->setToolTip(tr("Character Spacing"));
        linespaceStepper->setMaxValue(SpacingPanel::kMaxSpacing);
        charspaceStepper->setMinValue(-SpacingPanel::kMaxSpacing);
        charspaceStepper->setMaxValue(SpacingPanel::kMaxSpacing);
        rows.next(kRowHeight);
        // Two layouts, each on or off; at most one is on (the panel turns the other off).
        textboxLayoutStepper = rows.full<CustomSegmentedCtrl>(kRowHeight);
        setSegmentTitles(textboxLayoutStepper, { tr("Circle"), tr("Vertical") });
        textboxLayoutStepper->setTrackingMode(platform::SegmentedControl::TrackingMode::SelectAny);
    }
    panelLabelProperties = makePanel(content, 40);
    {
        RowPlacer rows(panelLabelProperties, kPanelWidth);
        panelTitle(rows, tr("Label"));
    }
    panelFrame = makePanel(content, 96);
    {
        RowPlacer rows(panelFrame, kPanelWidth);
        btnFrameLock = titleWithLock(rows, tr("Frame"));
        labelledValueRow(rows, kMargin, tr("W"), frameWidthTextField, frameWidthStepper, 0, 100);
        labelledValueRow(
            rows, kMargin + 126, tr("H"), frameHeightTextField, frameHeightStepper, 1, 101);
        rows.next(kRowHeight);
        labelledValueRow(rows, kMargin, tr("X"), frameLeftTextField, frameLeftStepper, 2, 102);
        labelledValueRow(rows, kMargin + 126, tr("Y"), frameTopTextField, frameTopStepper, 3, 103);
        // Whole pixels within what a box record keeps; a side is at least 1.
        const int extent = int(UNDODATA::kMaxExtent);
        setRange(frameWidthStepper, 1, extent);
        setRange(frameHeightStepper, 1, extent);
        setRange(frameLeftStepper, -extent, extent);
        setRange(frameTopStepper, -extent, extent);
    }
    panelRoundRect = makePanel(content, 96);
    {
        RowPlacer rows(panelRoundRect, kPanelWidth);
        btnRoundRectLock = titleWithLock(rows, tr("Corners"));
        QLineEdit* field = nullptr;
        platform::Stepper* stepper = nullptr;
        // Radii start at 0; the panel holds them within half the shape's shorter side.
        for (int corner = 0; corner < 4; ++corner) {
            valueRow(rows, kMargin + (corner % 2) * 126, field, stepper, corner, 100 + corner);
            setRange(stepper, 0, int(UNDODATA::kMaxExtent));
            if (corner % 2)
                rows.next(kRowHeight);
        }
    }
    stackPanels();
}

// Panels top down in their list order, each at its own height; hidden ones take no room. The
// stack's height is what the inspector scrolls over.
void DocumentWindow::stackPanels()
{
    int y = 0;
    for (QWidget* panel : panels()) {
        if (panel->isHidden())
            continue;
        panel->move(0, y);
        y += panel->height();
    }
    m_panelStackHeight = y;
    fitPanelStack();
}

void DocumentWindow::layoutBody()
{
    const int top = int(WindowContentView::kTitleBarHeight);
    const int w = std::max(0, contentView()->width());
    const int h = std::max(0, contentView()->height() - top);
    m_body->setGeometry(0, top, w, h);
    const int sidebarX = std::max(0, w - kSidebarWidth);
    controlScrollView->setGeometry(0, 0, sidebarX, h);
    cropColorSegmentSwitch->setGeometry(
        sidebarX + kMargin, kMargin, kSidebarWidth - 2 * kMargin, 30);
    const int containerY = 30 + 2 * kMargin;
    for (SidebarContainerView* c :
        { mainControlContainerView, textControlContainerView, drawingControlContainerView })
        c->setGeometry(sidebarX, containerY, kSidebarWidth, std::max(0, h - containerY));
    panelScrollView->setGeometry(0, 0, kSidebarWidth, std::max(0, h - containerY));
    fitPanelStack();
}

void DocumentWindow::wireActions()
{
    using platform::Control;
    m_brushPanel = std::make_unique<BrushPanel>(
        outlets(), [this] { return m_canvasControls; }, [this] { beforeAction(); });
    cropColorSegmentSwitch->setAction(
        [this](Control& c) { switchColorCropMode(static_cast<SegmentSwitch&>(c)); });
    connect(btnNewTextBox, &QPushButton::clicked, this, [this] { newTextBox(); });
    connect(btnNewImageLayer, &QPushButton::clicked, this, [this] { newImageBox(); });
    connect(btnNewShape, &QPushButton::clicked, this, [this] { newShapeBox(); });
    connect(btReplace, &QPushButton::clicked, this, [this] { replaceImage(); });
    connect(btInstantAlpha, &QPushButton::clicked, this, [this] { instantAlpha(); });
    connect(chkRedMask, &QCheckBox::clicked, this, [this] { redMaskChanged(); });
    installTestDropHook();
    installTestGeometryHook();
    connect(btnRevertToOriginal, &QPushButton::clicked, this, [this] { revertToOrginal(); });
    for (const PictureSlider& row : pictureSliders()) {
        ImageEffectIntensitySlider* s = this->*row.outlet;
        s->setAction([this, &row](Control&) { adjustPictureSlider(row); });
        // Their undo steps go to this window's own document.
        s->setUndoManagerProvider([this] { return &m_undo; });
    }
}
