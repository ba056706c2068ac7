// The inspector refresh: every panel controller shows the selected boxes (their common value or
// a neutral mixed state), and the narrower refreshes the box layer asks for go to the panel
// that owns the controls. Nothing here sends a control's action.
#include "boxes/MyTextBox.h"
#include "boxes/MyViewBase.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "window/CommonPanel.h"
#include "window/DocumentWindow.h"
#include "window/FramePanel.h"
#include "window/TextSummary.h"
#include "window/WarpPanel.h"
#include "window/WindowLogging.h"

#include <QPushButton>
#include <algorithm>
#include <array>

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
    if (showBoxes(boxes))
        for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
            panel->startSelection();
}

bool DocumentWindow::showBoxes(const std::vector<MyViewBase*>& boxes)
{
    qCDebug(lcWindow, "Update Box panel");
    ShowSideBar();
    if (std::none_of(boxes.begin(), boxes.end(), [](MyViewBase* b) { return b->selected(); }))
        return false;
    const TextSummaryBatch oneTextSummary;
    for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
        panel->refresh(boxes);
    return true;
}

void DocumentWindow::refreshInspector()
{
    const TextViewContainer* layer = boxLayer();
    if (!layer)
        return;
    // A remove button is its panel's to show: an edit shows or leaves it as its panel decides
    // (a typed border or perspective does not bring it), and the values shown again leave it.
    const auto removeButtons = outlets().removeButtons();
    std::array<bool, removeButtons.size()> hidden {};
    for (std::size_t i = 0; i < removeButtons.size(); ++i)
        hidden[i] = removeButtons[i]->isHidden();
    const bool shown = showBoxes(layer->textViewAry);
    for (std::size_t i = 0; i < removeButtons.size(); ++i)
        removeButtons[i]->setHidden(hidden[i]);
    if (!shown)
        return;
    // The text panels show the edited range, as its selection handling shows it; the editor's
    // own state (its typing attributes) stays as it is.
    if (MyTextBox* edited = editedTextBox())
        for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
            panel->showEditedText(*edited, edited->editor().selectedRange());
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
