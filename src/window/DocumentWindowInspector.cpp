// The inspector refresh: every panel filled from the selected boxes, each control showing the
// boxes' common value or a neutral mixed state, and the narrower refreshes of the frame, the
// corners, the angle slider and the directions. Nothing here sends a control's action.
#include "boxes/MyTextBox.h"
#include "boxes/MyViewBase.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "window/CommonPanel.h"
#include "window/DocumentWindow.h"
#include "window/FramePanel.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SharedValue.h"
#include "window/WarpPanel.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <optional>


void DocumentWindow::textViewSelected(const std::vector<MyViewBase*>& boxes)
{
    updateBoxPanel(boxes);
    // Run the text view's selection handling again, so the font panel follows the caret.
    MyTextBox* edited = currentlySelectedTextView_;
    if (edited && edited->isEditing() && edited->delegate())
        edited->editor().setSelectedRange(edited->editor().selectedRange());
}

void DocumentWindow::updateBoxPanel(const std::vector<MyViewBase*>& boxes)
{
    qCDebug(lcWindow, "Update Box panel");
    if (std::none_of(boxes.begin(), boxes.end(), [](MyViewBase* b) { return b->selected(); })) {
        ShowSideBar();
        return;
    }
    Shared<SZGradient> back, overlay;
    for (MyViewBase* box : boxes) {
        if (!box->selected())
            continue;
        back.take(box->backColor());
        overlay.take(box->overlayColor());
    }

    // Fills.
    const auto showFill = [](GradientCtrl* well, const Shared<SZGradient>& fill, bool noFill) {
        SZGradient shown = fill.same ? fill.value() : SZGradient();
        if (!fill.same && noFill)
            shown.gradientType = 0;
        well->setGradient(shown);
    };
    showFill(btTextboxBackgroundColor, back, true);
    showFill(btOverlayColor, overlay, false);
    minusTextBoxBackgroundColor->setVisible(
        !(back.same && btTextboxBackgroundColor->gradient().gradientType == 0));
    minusOverlayColor->setVisible(!(overlay.same && btOverlayColor->gradient().gradientType == 0));

    for (QWidget* w : std::initializer_list<QWidget*> { btOverlayColor, btTextboxBackgroundColor })
        w->update();
    ShowSideBar();
    updateFontsFromSelectedTextBox(boxes);
    for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
        panel->refresh(boxes);
}

// The narrower refreshes belong to the panels that own their controls.
void DocumentWindow::UpdateBoxFrameInfo(bool originOnly)
{
    qCDebug(lcWindow, "UpdateBoxFrameInfo");
    if (FramePanel* panel = inspectorPanel<FramePanel>())
        panel->UpdateBoxFrameInfo(originOnly);
}

void DocumentWindow::UpdateBoxRoundInfo()
{
    qCDebug(lcWindow, "UpdateBoxRoundInfo");
    if (FramePanel* panel = inspectorPanel<FramePanel>())
        panel->UpdateBoxRoundInfo();
}

void DocumentWindow::updateBoxAngle(float degrees)
{
    if (CommonPanel* panel = inspectorPanel<CommonPanel>())
        panel->updateBoxAngle(degrees);
}

void DocumentWindow::updateDirection(const MyViewBase& box)
{
    if (WarpPanel* panel = inspectorPanel<WarpPanel>())
        panel->updateDirection(box);
}
