#include "foundation/SharedFunctions.h"

#include "platform/document/UserDefaults.h"

namespace {
const QString kHideWelcomeWindow = QStringLiteral("HideWelcomeWindow");

std::function<platform::UndoManager*()>& undoManagerProvider()
{
    static std::function<platform::UndoManager*()> provider;
    return provider;
}
} // namespace

void ApplicationLaunchHook() { }

platform::Rect RectWithAspectRatioInRect(const platform::Rect& rect, double ratio)
{
    if (ratio == 0.0)
        return rect;
    platform::Rect r = rect;
    const double w = rect.width(), h = rect.height();
    if (double(float(w / h)) > ratio)
        r.size.width = ratio * h;
    else
        r.size.height = w / ratio;
    r.origin.x += (w - r.size.width) / 2;
    r.origin.y += (h - r.size.height) / 2;
    return r;
}

void CenterRectInRect(platform::Rect& rect, const platform::Rect& outer)
{
    rect.origin.x = outer.origin.x + (outer.size.width - rect.size.width) * 0.5;
    rect.origin.y = outer.origin.y + (outer.size.height - rect.size.height) * 0.5;
}

platform::Size AspectFitSize(const platform::Size& a, const platform::Size& b)
{
    const double ra = a.width / a.height, rb = b.width / b.height;
    if (ra > rb)
        return {b.width, b.height / ra};
    return {b.width * ra, b.height};
}

platform::UndoManager* CurrentDocumentUndoManager()
{
    const auto& provider = undoManagerProvider();
    return provider ? provider() : nullptr;
}

void SetCurrentDocumentUndoManagerProvider(std::function<platform::UndoManager*()> provider)
{
    undoManagerProvider() = std::move(provider);
}

bool ShouldShowWelcomeWindow()
{
    return !platform::UserDefaults::standard().boolForKey(kHideWelcomeWindow);
}

void SetShowWelcomeWindow(bool show)
{
    auto& defaults = platform::UserDefaults::standard();
    defaults.setBool(kHideWelcomeWindow, !show);
    defaults.synchronize();
}
