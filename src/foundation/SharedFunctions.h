#pragma once
// Small functions shared across the application.
#include "platform/geometry/Rect.h"

#include <functional>

namespace platform {
class UndoManager;
}

// Called once by the application when launching has finished; a hook with nothing to do yet.
void ApplicationLaunchHook();

// The largest rectangle of ratio (width / height) centred in rect; rect itself for ratio 0.
platform::Rect RectWithAspectRatioInRect(const platform::Rect& rect, double ratio);

// Moves rect's origin so that it is centred in outer; its size is unchanged.
void CenterRectInRect(platform::Rect& rect, const platform::Rect& outer);

// The size a fits into b with a's ratio: (b.w, b.h / ra) when a is relatively wider, else
// (b.w * ra, b.h).
platform::Size AspectFitSize(const platform::Size& a, const platform::Size& b);

// A control's action: optional, so that an unset target is a valid state. Sending through
// these never fails: an unset action does nothing.
template <class Arg>
void PerformSelectorIfResponding(const std::function<void(Arg)>& action, Arg argument)
{
    if (action)
        action(argument);
}
inline void PerformSelectorIfRespondingNoArgument(const std::function<void()>& action)
{
    if (action)
        action();
}

// The undo manager of the current document, or nullptr when there is none. The document
// controller installs the provider when it exists; until then there is no current document.
platform::UndoManager* CurrentDocumentUndoManager();
void SetCurrentDocumentUndoManagerProvider(std::function<platform::UndoManager*()> provider);

// The welcome-window preference, stored as "HideWelcomeWindow" in the user defaults.
bool ShouldShowWelcomeWindow();
void SetShowWelcomeWindow(bool show);
