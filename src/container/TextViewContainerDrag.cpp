// The drag on the box layer: one step of the gesture the press chose.
#include "container/TextViewContainer.h"
#include "platform/ui/Event.h"

bool TextViewContainer::mouseDragged(const platform::Event& event)
{
    mouseDragged_temp(event);
    return true;
}

void TextViewContainer::mouseDragged_temp(const platform::Event& event)
{
    instantAlphaDrag(convertPointFromView(event.locationInWindow(), nullptr));
}
