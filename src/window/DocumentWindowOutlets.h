#pragma once
// The controls of a document window, made once by its set-up and never replaced. Every pointer
// is owned by the Qt parent it was made under (a panel, a container or the window), so the
// window's lifetime bounds them all. Grouped by the sidebar area they belong to.
#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QWidget;

class AngleCtrl;
class ColoredButton;
class CustomSegmentedCtrl;
class GradientCtrl;
class ImageEffectIntensitySlider;
class PanelContentView;
class SegmentSwitch;
class SidebarContainerView;
class ZoomSlider;
namespace platform {
class SegmentedControl;
class Stepper;
} // namespace platform

struct DocumentWindowOutlets {
    // ---- sidebar structure
    QScrollArea* controlScrollView = nullptr; // the canvas's scroll view
    QScrollArea* panelScrollView = nullptr; // the inspector's scrolling panel stack
    PanelContentView* panelContentView = nullptr;
    QScrollBar* panelScroller = nullptr;
    SidebarContainerView* mainControlContainerView = nullptr; // picture, no box selected
    SidebarContainerView* textControlContainerView = nullptr; // the box inspector
    SidebarContainerView* drawingControlContainerView = nullptr; // mask painting

    // ---- inspector panels, top down
    QWidget* panelImageButton = nullptr;
    QWidget* panelFont = nullptr;
    QWidget* panelOverlayColor = nullptr;
    QWidget* panelBackgroundColor = nullptr;
    QWidget* panelBorder = nullptr;
    QWidget* panelStroke = nullptr;
    QWidget* panelDropShadow = nullptr;
    QWidget* panelInnerShadow = nullptr;
    QWidget* panelDirections = nullptr;
    QWidget* panelCommon = nullptr;
    QWidget* panelOtherProperties = nullptr;
    QWidget* panelLabelProperties = nullptr;
    QWidget* panelFrame = nullptr;
    QWidget* panelRoundRect = nullptr;

    // ---- mode, picture and new-box controls
    SegmentSwitch* cropColorSegmentSwitch = nullptr; // 0 boxes, 1 mask painting
    QCheckBox* chkRedMask = nullptr;
    ImageEffectIntensitySlider* apertureSlider = nullptr;
    ImageEffectIntensitySlider* vignetteSlider = nullptr;
    ImageEffectIntensitySlider* saturationSlider = nullptr;
    ImageEffectIntensitySlider* zoomSlider = nullptr;
    ImageEffectIntensitySlider* zoomAndStraightenSlider = nullptr;
    QPushButton* btnNewTextBox = nullptr;
    QPushButton* btnNewImageLayer = nullptr;
    QPushButton* btnNewShape = nullptr;
    QPushButton* btnRevertToOriginal = nullptr;
    QPushButton* btnShare = nullptr; // opens the share menu

    // ---- mask brush
    ImageEffectIntensitySlider* drawSizeSlider = nullptr;
    ImageEffectIntensitySlider* drawHardnessSlider = nullptr;
    ImageEffectIntensitySlider* drawOpacitySlider = nullptr;
    ZoomSlider* customDrawingZoomSlider = nullptr;
    CustomSegmentedCtrl* drawModeSegmentedCtrl = nullptr; // 0 paint, 1 erase

    // ---- font panel
    QComboBox* popupFonts = nullptr;
    CustomSegmentedCtrl* fontStyleSegmentedCtrl = nullptr; // bold, italic, underline, strike
    CustomSegmentedCtrl* fontAlignmentSegmentedCtrl = nullptr;
    QLineEdit* fontSizeTextField = nullptr;
    platform::Stepper* fontSizeStepper = nullptr;
    GradientCtrl* btFontColor = nullptr;

    // ---- text spacing and layout
    QLineEdit* linespaceTextField = nullptr;
    QLineEdit* charspaceTextField = nullptr;
    platform::Stepper* linespaceStepper = nullptr;
    platform::Stepper* charspaceStepper = nullptr;
    CustomSegmentedCtrl* textboxLayoutStepper = nullptr;
    QPushButton* minusOtherProperties = nullptr;

    // ---- picture box buttons
    QPushButton* btInstantAlpha = nullptr; // a toggle
    QPushButton* btReplace = nullptr;

    // ---- overlay and background colour
    QLabel* lblOverlayColor = nullptr;
    GradientCtrl* btOverlayColor = nullptr;
    QPushButton* minusOverlayColor = nullptr;
    GradientCtrl* btTextboxBackgroundColor = nullptr;
    QPushButton* minusTextBoxBackgroundColor = nullptr;

    // ---- border
    GradientCtrl* btBorderColor = nullptr;
    QLineEdit* borderSizeTextField = nullptr;
    platform::Stepper* borderSizeStepper = nullptr;
    QPushButton* minusBorder = nullptr;

    // ---- stroke and line heads
    GradientCtrl* btStrokeColor = nullptr;
    QLineEdit* strokeSizeTextField = nullptr;
    platform::Stepper* strokeSizeStepper = nullptr;
    QPushButton* minusStroke = nullptr;
    QLabel* lblStrokePoints = nullptr;
    QComboBox* popupStartPoint = nullptr;
    QComboBox* popupEndPoint = nullptr;
    QFrame* seperatorStroke = nullptr;

    // ---- drop shadow
    ColoredButton* btShadowColor = nullptr; // tag 202
    AngleCtrl* shadowAngleCtrl = nullptr;
    QLineEdit* shadowAngleTextField = nullptr;
    QLineEdit* shadowBlurTextField = nullptr;
    QLineEdit* shadowOffsetTextField = nullptr;
    platform::Stepper* shadowAngleStepper = nullptr;
    platform::Stepper* shadowBlurStepper = nullptr;
    platform::Stepper* shadowOffsetStepper = nullptr;
    ImageEffectIntensitySlider* shadowBlurSlider = nullptr;
    ImageEffectIntensitySlider* shadowOffsetSlider = nullptr;
    QPushButton* minusShadow = nullptr;

    // ---- inner or box shadow
    platform::SegmentedControl* segmentInnerShadow = nullptr; // 0 inner, 1 box shadow
    QLabel* lblInnerShadow = nullptr;
    ColoredButton* btInnerShadowColor = nullptr; // tag 203
    AngleCtrl* innerShadowAngleCtrl = nullptr;
    QLineEdit* innerShadowAngleTextField = nullptr;
    QLineEdit* innerShadowBlurTextField = nullptr;
    QLineEdit* innerShadowOffsetTextField = nullptr;
    platform::Stepper* innerShadowAngleStepper = nullptr;
    platform::Stepper* innerShadowBlurStepper = nullptr;
    platform::Stepper* innerShadowOffsetStepper = nullptr;
    ImageEffectIntensitySlider* innerShadowBlurSlider = nullptr;
    ImageEffectIntensitySlider* innerShadowOffsetSlider = nullptr;
    QPushButton* minusInnerShadow = nullptr;

    // ---- directions
    ImageEffectIntensitySlider* perspectiveSlider = nullptr;
    ImageEffectIntensitySlider* curveSlider = nullptr;
    QLineEdit* perspectiveTextField = nullptr;
    QLineEdit* curveTextField = nullptr;
    platform::Stepper* perspectiveStepper = nullptr;
    platform::Stepper* curveStepper = nullptr;
    CustomSegmentedCtrl* perspectiveSegment = nullptr;
    CustomSegmentedCtrl* curveSegment = nullptr;
    QPushButton* minusDirections = nullptr;

    // ---- common sliders
    ImageEffectIntensitySlider* textboxOpacitySlider = nullptr;
    ImageEffectIntensitySlider* textboxAngleSlider = nullptr;
    ImageEffectIntensitySlider* imageboxsaturationSlider = nullptr;

    // ---- frame and corners. The fields carry the Qt property "tag" 0 to 3 and the steppers
    // 100 to 103, as do the corner-radius fields and steppers of panelRoundRect, which are
    // found by tag only.
    QLineEdit* frameWidthTextField = nullptr;
    QLineEdit* frameHeightTextField = nullptr;
    QLineEdit* frameLeftTextField = nullptr;
    QLineEdit* frameTopTextField = nullptr;
    platform::Stepper* frameWidthStepper = nullptr;
    platform::Stepper* frameHeightStepper = nullptr;
    platform::Stepper* frameLeftStepper = nullptr;
    platform::Stepper* frameTopStepper = nullptr;
    QPushButton* btnFrameLock = nullptr; // a toggle
    QPushButton* btnRoundRectLock = nullptr; // a toggle

    // The fourteen panels in stacking order, top down.
    std::array<QWidget*, 14> panels() const
    {
        return { panelImageButton, panelFont, panelOverlayColor, panelBackgroundColor, panelBorder,
            panelStroke, panelDropShadow, panelInnerShadow, panelDirections, panelCommon,
            panelOtherProperties, panelLabelProperties, panelFrame, panelRoundRect };
    }
    // The eight remove buttons, one per panel that has one, top down.
    std::array<QPushButton*, 8> removeButtons() const
    {
        return { minusOtherProperties, minusOverlayColor, minusTextBoxBackgroundColor,
            minusBorder, minusStroke, minusShadow, minusInnerShadow, minusDirections };
    }
};
