// The document window's picture adjustments and its edit commands: the prologue
// every action runs, a new text box, and undo and redo of the window's own document.
#include "boxes/MyViewBase.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "container/BoxClipboard.h"
#include "container/TextViewContainer.h"
#include "platform/document/AlertPresenter.h"
#include "platform/ui/Event.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/undo/UndoManager.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindow.h"
#include "window/PictureSliders.h"
#include "window/SegmentSwitch.h"
#include "window/WindowLogging.h"
#include "window/ZoomSlider.h"

#include <QKeyEvent>
#include <cmath>

using namespace platform;

namespace {

// The brush of the canvas, while the mask tool is the canvas's controls object.
canvas::CanvasCustomShapeControls* brushOf(canvas::CanvasControls* canvas)
{
    return canvas ? dynamic_cast<canvas::CanvasCustomShapeControls*>(canvas->controls()) : nullptr;
}

// Names the change run of a held arrow key.
constexpr char kNudgeRun = 0;

} // namespace

// ---- edit commands

void DocumentWindow::beforeAction()
{
    if (TextViewContainer* container = boxLayer()) {
        container->cancelInstantAlpha();
        container->beforeAction();
    }
    setInstantAlphaState(0);
}

void DocumentWindow::newTextBox()
{
    beforeAction();
    // A new box is edited in box mode: leave mask painting first.
    cropColorSegmentSwitch->setSelectedSegmentIndex(0);
    switchColorCropMode(*cropColorSegmentSwitch);
    if (m_canvasControls)
        m_canvasControls->newTextBox(this);
    giveCanvasTheKeyboard();
}

bool DocumentWindow::endTextEditing()
{
    TextViewContainer* container
        = m_canvasControls ? m_canvasControls->textViewContainer() : nullptr;
    if (!container)
        return false;
    std::vector<MyViewBase*> editing;
    for (MyViewBase* box : container->textViewAry)
        if (TextViewContainer::isBaseEditing(*box))
            editing.push_back(box);
    if (editing.empty())
        return false;
    container->removeAllSelection();
    for (MyViewBase* box : editing)
        box->setSelected(true);
    container->markForDisplay();
    ShowSideBar();
    return true;
}

void DocumentWindow::keyPressEvent(QKeyEvent* event)
{
    // Keys the canvas's views leave unhandled end up here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && endTextEditing())
        return;
    if (!keyDown(*event))
        Window::keyPressEvent(event);
}

void DocumentWindow::keyReleaseEvent(QKeyEvent* event)
{
    // Only the arrow's own release ends its run: Shift let go first leaves the arrow held.
    const int code = Event::keyCodeFromQt(event->key());
    TextViewContainer* container = boxLayer();
    if (!event->isAutoRepeat() && isArrowKeyCode(code) && container
        && container->changeRunKey() == &kNudgeRun) {
        container->endChangeRun();
        m_nudgeRelease = { event->key(), event->timestamp() };
    }
    Window::keyReleaseEvent(event);
}

bool DocumentWindow::keyDown(const QKeyEvent& event)
{
    bShifted = event.modifiers() & Qt::ShiftModifier;
    bCommand = event.modifiers() & Qt::ControlModifier;
    TextViewContainer* container = boxLayer();
    if (!container || isPaintViewShowed())
        return false;
    const int code = Event::keyCodeFromQt(event.key());
    if (isArrowKeyCode(code)) {
        // A held key's repeats fold into the step of its first press; the release ends it. X
        // sends each repeat as a release and a press at one instant, and they are not always
        // marked as repeats: a press at the instant of the release that ended the run goes on
        // with it.
        const bool held = event.isAutoRepeat() && container->changeRunKey() == &kNudgeRun;
        const bool releasedAtOnce = event.timestamp() != 0 && event.key() == m_nudgeRelease.key
            && event.timestamp() == m_nudgeRelease.time;
        if (!held && !(releasedAtOnce && container->resumeChangeRun(&kNudgeRun)))
            container->beginChangeRun(&kNudgeRun);
        m_nudgeRelease = {};
        container->MoveTextBoxwithKey(code, bShifted);
        // A nudge moves the boxes as a drag does: the frame panel shows the new place.
        UpdateBoxFrameInfo(true);
        return true;
    }
    // Ctrl+B, I and U toggle bold, italic and underline of the font style control, whose
    // action applies them to the selected text boxes.
    const int segment = event.key() == Qt::Key_B ? 0
        : event.key() == Qt::Key_I               ? 1
        : event.key() == Qt::Key_U               ? 2
                                                 : -1;
    if (!bCommand || segment < 0 || (event.modifiers() & ~Qt::ControlModifier))
        return false;
    const bool was = fontStyleSegmentedCtrl->isSelectedForSegment(segment);
    fontStyleSegmentedCtrl->setSelectedSegment(segment);
    if (was)
        fontStyleSegmentedCtrl->setSelected(false, segment);
    fontStyleSegmentedCtrl->sendAction();
    return true;
}

void DocumentWindow::undo()
{
    beforeAction();
    if (m_undo.canUndo())
        m_undo.undo();
}

void DocumentWindow::redo()
{
    beforeAction();
    if (m_undo.canRedo())
        m_undo.redo();
}

// ---- Edit and Arrange menus

bool DocumentWindow::validateMenuItem(EditCommand command) const
{
    const EditCommandItem& item = editCommandItem(command);
    if (!item.whilePainting && (!boxLayer() || isPaintViewShowed()))
        return false;
    return item.enabled(*this);
}

void DocumentWindow::perform(EditCommand command)
{
    if (validateMenuItem(command))
        (this->*editCommandItem(command).run)();
}

void DocumentWindow::deleteBoxes()
{
    beforeAction();
    qCDebug(lcWindow, "delete");
    if (TextViewContainer* container = boxLayer()) {
        container->deleteKeyClicked();
        ShowSideBar();
    }
}

void DocumentWindow::cut()
{
    copy();
    deleteBoxes();
}

void DocumentWindow::selectAll()
{
    beforeAction();
    qCDebug(lcWindow, "selectAll");
    if (TextViewContainer* container = boxLayer()) {
        container->selectAll();
        textViewSelected(container->textViewAry);
    }
}

void DocumentWindow::copy()
{
    beforeAction();
    if (TextViewContainer* container = boxLayer())
        BoxClipboard::shared().copy(container->selectedRecords());
}

void DocumentWindow::paste()
{
    beforeAction();
    TextViewContainer* container = boxLayer();
    if (!container || !BoxClipboard::shared().hasBoxes())
        return;
    // Ten screen pixels beyond the last, whatever the zoom.
    const double zoom = container->zoomScale();
    container->pasteRecords(BoxClipboard::shared().nextPaste(zoom > 0.0 ? 1.0 / zoom : 1.0));
}

void DocumentWindow::copyStyle()
{
    beforeAction();
    TextViewContainer* container = boxLayer();
    if (!container)
        return;
    const std::vector<UNDODATA> selected = container->selectedRecords();
    if (selected.size() == 1)
        BoxClipboard::shared().copyStyle(selected.front());
}

void DocumentWindow::pasteStyle()
{
    beforeAction();
    TextViewContainer* container = boxLayer();
    const std::optional<UNDODATA>& style = BoxClipboard::shared().style();
    if (!container || !style || container->GetSelectedBoxCount() == 0)
        return;
    container->prepUndoData();
    for (MyViewBase* box : container->textViewAry)
        if (box->selected())
            box->setCopyPasteStyle(*style);
    container->logUndoData();
    container->markForDisplay();
    textViewSelected(container->textViewAry);
}

void DocumentWindow::bringForward()
{
    beforeAction();
    if (TextViewContainer* container = boxLayer())
        container->bringForward();
}

void DocumentWindow::bringToFront()
{
    beforeAction();
    if (TextViewContainer* container = boxLayer())
        container->bringToFront();
}

void DocumentWindow::sendBackward()
{
    beforeAction();
    if (TextViewContainer* container = boxLayer())
        container->sendBackward();
}

void DocumentWindow::sendToBack()
{
    beforeAction();
    if (TextViewContainer* container = boxLayer())
        container->sendToBack();
}

// ---- picture

// The slider is read through its outlet: undo of a drag sends the action again, and the value
// must come from this window's slider.
void DocumentWindow::adjustPictureSlider(const PictureSlider& row)
{
    if (row.endsColourRemoval)
        beforeAction();
    const ImageEffectIntensitySlider* slider = this->*row.outlet;
    if (m_canvasControls)
        row.apply(*m_canvasControls, slider->value(), slider->maxValue());
}

void DocumentWindow::showPictureZoom(double scale, double straighten)
{
    // setForceValue keeps each within 0..1 and ignores what is not finite.
    zoomSlider->setForceValue(scale - 1.0);
    zoomAndStraightenSlider->setForceValue(straighten / kStraightenRange + 0.5);
}

void DocumentWindow::revertToOrginal()
{
    beforeAction();
    // The revert is one step of the document's history (see revertPicture): the alert does not
    // claim it cannot be undone.
    const int answer = AlertPresenter::current().runModalWithButtons(AlertStyle::Warning,
        QStringLiteral("Are you sure you want to revert to original?"), QString(),
        { QStringLiteral("Cancel"), QStringLiteral("Revert") });
    if (answer == AlertPresenter::kFirstButtonReturn + 1)
        revertPicture();
}

void DocumentWindow::revertPicture()
{
    // Losing every edit with no way back would be worse than the warning suggests: the revert
    // is one step of the document's history, so Undo brings the edits back.
    if (TextViewContainer* container = boxLayer(); container && !container->textViewAry.empty()) {
        container->selectAll();
        container->deleteKeyClicked();
    }
    if (auto* brush = brushOf(m_canvasControls); brush && brush->undoData()) {
        canvas::CanvasSnapshot clear = *brush->undoData();
        clear.mask = {};
        m_canvasControls->prepUndoData();
        brush->restoreWithUndoData(clear);
        m_canvasControls->logUndoData();
    }
    std::vector<double> starts;
    for (const PictureSlider& row : pictureSliders())
        starts.push_back(row.start);
    setPictureSliderValues(starts);
    ShowSideBar();
}

QVariantMap DocumentWindow::readControlsData() const
{
    QVariantMap data;
    for (const PictureSlider& row : pictureSliders())
        if (row.documentKey)
            data.insert(row.controlsDataKey(), (this->*row.outlet)->value());
    return data;
}

void DocumentWindow::applyControlsData(const QVariantMap& data)
{
    for (const PictureSlider& row : pictureSliders()) {
        bool ok = false;
        const double v = data.value(row.controlsDataKey()).toDouble(&ok);
        if (row.documentKey && ok)
            (this->*row.outlet)->setValue(v);
    }
}

std::vector<double> DocumentWindow::pictureSliderValues() const
{
    std::vector<double> values;
    for (const PictureSlider& row : pictureSliders())
        values.push_back((this->*row.outlet)->value());
    return values;
}

void DocumentWindow::setPictureSliderValues(const std::vector<double>& values)
{
    const std::vector<double> previous = pictureSliderValues();
    if (previous == values || values.size() != previous.size())
        return;
    for (std::size_t i = 0; i < values.size(); ++i)
        (this->*pictureSliders()[i].outlet)->setValue(values[i]);
    m_undo.registerUndo(this, m_undoLife, [this, previous] { setPictureSliderValues(previous); });
}
