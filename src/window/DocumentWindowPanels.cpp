// The inspector's panel controllers: made once with the window, each refreshed from the
// selection, and what they need of the window (InspectorHost); the text edit sync that the
// text panels follow.
#include "boxes/MyTextBox.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ViewHost.h"
#include "window/BorderStrokePanel.h"
#include "window/CommonPanel.h"
#include "window/DocumentWindow.h"
#include "window/FillPanel.h"
#include "window/FontPanel.h"
#include "window/FramePanel.h"
#include "window/ShadowPanel.h"
#include "window/SpacingPanel.h"
#include "window/WarpPanel.h"
#include "window/WindowLogging.h"

void DocumentWindow::makeInspectorPanels()
{
    // One line per panel, in refresh order.
    m_fontPanel = static_cast<FontPanel*>(
        m_inspectorPanels.emplace_back(std::make_unique<FontPanel>(*this)).get());
    m_inspectorPanels.push_back(std::make_unique<FillPanel>(*this));
    m_inspectorPanels.push_back(std::make_unique<SpacingPanel>(*this));
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

void DocumentWindow::returnKeyboardToText()
{
    // The edited box stays the canvas's first responder; its host only needs the keyboard.
    if (editedTextBox())
        giveCanvasTheKeyboard();
}

void DocumentWindow::giveCanvasTheKeyboard()
{
    if (m_canvasHost)
        m_canvasHost->setFocus(Qt::OtherFocusReason);
}

platform::TextRange DocumentWindow::textViewWillChangeSelection(
    MyTextBox* textBox, platform::TextRange oldRange, platform::TextRange newRange)
{
    (void)oldRange;
    if (!textBox || !textBox->isEditing())
        return newRange;
    qCDebug(lcWindow, "willChangeSelection");
    currentlySelectedTextView_ = textBox;
    currentlySelectedRange = newRange;
    for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
        panel->showEditedText(*textBox, newRange);
    return newRange;
}

void DocumentWindow::textDidChange(MyTextBox* textBox)
{
    if (!textBox || !textBox->isEditing())
        return;
    for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
        panel->showEditedText(*textBox, textBox->editor().selectedRange());
}

void DocumentWindow::takeTextColorPanel()
{
    if (FillPanel* fills = inspectorPanel<FillPanel>())
        fills->attachColorPanel();
}
