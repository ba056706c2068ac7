#include "container/EditAnimator.h"

#include "boxes/BoxStatics.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/MyViewBase.h"
#include "container/ContainerLogging.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ViewHost.h"

namespace {

MyViewBase* animatedBox()
{
    return static_cast<MyViewBase*>(gEditAnimation.box.get());
}

} // namespace

EditAnimator& EditAnimator::instance()
{
    static EditAnimator animator;
    return animator;
}

EditAnimator::EditAnimator()
{
    m_timer.setInterval(kTickMilliseconds);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void EditAnimator::openForTyping(MyViewBase& box)
{
    if (auto* text = dynamic_cast<MyTextView*>(&box)) {
        text->setEditable(true);
        text->setSelectable(true);
        if (MyTextBox* typing = text->txtBox()) {
            if (platform::ViewHost* host = box.host())
                host->makeFirstResponder(typing);
            platform::TextEditor& editor = typing->editor();
            editor.setSelectedRange(platform::TextRange(0, 0));
            editor.setSelectedRange(platform::TextRange(0, editor.text().length()));
        }
    }
    box.setNeedsDisplay();
}

void EditAnimator::animate(TextViewContainer& container, MyViewBase& box, bool edit)
{
    if (isActive() && animatedBox() == &box) {
        // isEditing changes only at the end, so the animation's heading is what counts here.
        if (gEditAnimation.target != edit) {
            gEditAnimation.target = edit;
            m_container = &container;
        }
        return;
    }
    if (box.isEditing() == edit)
        return;
    if (!box.isWarped()) {
        box.setIsEditing(edit);
        if (edit)
            openForTyping(box);
        box.setNeedsDisplay();
        return;
    }
    // One animation at a time: the one under way jumps to its end state.
    finish();
    gEditAnimation.box = &box;
    gEditAnimation.running = false;
    gEditAnimation.target = edit;
    gEditAnimation.fraction = edit ? 1.0f : 0.0f;
    m_container = &container;
    m_timer.start();
}

void EditAnimator::tick()
{
    MyViewBase* box = animatedBox();
    auto* container = static_cast<TextViewContainer*>(m_container.get());
    if (!box || !container) {
        // The box or its document went while the animation ran: nothing is left to show.
        qCDebug(lcContainer) << "edit animation: its box is gone";
        m_timer.stop();
        gEditAnimation = EditAnimation();
        m_container = {};
        return;
    }
    const bool entering = gEditAnimation.target;
    gEditAnimation.fraction = float(double(gEditAnimation.fraction) + (entering ? -kStep : kStep));
    if (entering ? gEditAnimation.fraction < 0.0f : gEditAnimation.fraction > 1.0f) {
        end();
        return;
    }
    gEditAnimation.running = true;
    container->markForDisplay();
}

void EditAnimator::finish()
{
    if (isActive())
        end();
}

void EditAnimator::end()
{
    m_timer.stop();
    MyViewBase* box = animatedBox();
    auto* container = static_cast<TextViewContainer*>(m_container.get());
    const bool target = gEditAnimation.target;
    gEditAnimation.running = false;
    gEditAnimation.fraction = target ? 0.0f : 1.0f;
    gEditAnimation.box = {};
    m_container = {};
    if (!box)
        return;
    box->setIsEditing(target);
    if (target)
        openForTyping(*box);
    box->setNeedsDisplay();
    if (container)
        container->markForDisplay();
}
