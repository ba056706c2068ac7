// The inspector's panel controllers: made once with the window, each refreshed from the
// selection, and what they need of the window (InspectorHost).
#include "boxes/MyTextBox.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ViewHost.h"
#include "window/BorderStrokePanel.h"
#include "window/CommonPanel.h"
#include "window/DocumentWindow.h"
#include "window/FramePanel.h"
#include "window/ShadowPanel.h"
#include "window/WarpPanel.h"

void DocumentWindow::makeInspectorPanels()
{
    // One line per panel, in refresh order.
    m_inspectorPanels.push_back(std::make_unique<BorderStrokePanel>(*this));
    m_inspectorPanels.push_back(std::make_unique<ShadowPanel>(*this));
    m_inspectorPanels.push_back(std::make_unique<WarpPanel>(*this));
    m_inspectorPanels.push_back(std::make_unique<CommonPanel>(*this));
    m_inspectorPanels.push_back(std::make_unique<FramePanel>(*this));
}

TextViewContainer* DocumentWindow::boxLayer() const
{
    return m_canvasControls ? m_canvasControls->textViewContainer() : nullptr;
}

MyTextBox* DocumentWindow::editedTextBox() const
{
    return currentlySelectedTextView_ && currentlySelectedTextView_->isEditing()
        ? currentlySelectedTextView_
        : nullptr;
}

platform::TextRange DocumentWindow::editedRange() const
{
    const MyTextBox* box = editedTextBox();
    return box ? currentlySelectedRange.clamped(box->text().length()) : platform::TextRange();
}

void DocumentWindow::refreshInspector()
{
    if (const TextViewContainer* layer = boxLayer())
        updateBoxPanel(layer->textViewAry);
}

void DocumentWindow::returnKeyboardToText()
{
    // The edited box stays the canvas's first responder; its host only needs the keyboard.
    if (editedTextBox() && m_canvasHost)
        m_canvasHost->setFocus(Qt::OtherFocusReason);
}
