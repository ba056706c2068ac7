#pragma once
// What the box container asks of its document window: to follow the boxes and the selection in
// its inspector, to know which text view is being edited, and to refresh the parts of the inspector
// a gesture changes. The window implements it; the container holds a plain pointer, since the
// window outlives the box layer.
#include <vector>

class MyTextBox;
class MyViewBase;
class TextViewContainer;

class ContainerDelegate {
public:
    virtual ~ContainerDelegate() = default;

    // The boxes or the selection changed; boxes is the container's textViewAry.
    virtual void textViewSelected(const std::vector<MyViewBase*>& boxes) = 0;

    // The window's currentlySelectedTextView: the text view being edited, or null to clear it.
    virtual void setCurrentlySelectedTextView(MyTextBox* textView) = 0;
    virtual MyTextBox* currentlySelectedTextView() const = 0;

    // The state of the colour-removal button (0 when colour removal ends).
    virtual void setInstantAlphaState(int state) { (void)state; }
    // Chooses and refreshes the inspector panels for the mode and the selection.
    virtual void ShowSideBar() { }
    // Shows the first selected box's frame (only X and Y when originOnly).
    virtual void UpdateBoxFrameInfo(bool originOnly) { (void)originOnly; }
    // The colour panel's reset when a second click lands on a selected box.
    virtual void resetColorPanel() { }
};
