// The release on the box layer: the end of the gesture the press started.
#include "container/TextViewContainer.h"
#include "platform/ui/Event.h"

bool TextViewContainer::mouseUp(const platform::Event& event)
{
    mouseUp_temp(event);
    return true;
}

void TextViewContainer::mouseUp_temp(const platform::Event& event)
{
    (void)event;
    instantAlphaRelease();
}
