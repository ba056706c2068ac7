#pragma once
// What the application shell needs of the welcome window: to show it in front, put it away, and
// read or clear its "don't show" check box. The welcome window implements it; tests fake it.
class WelcomeWindowPort {
public:
    virtual ~WelcomeWindowPort() = default;
    virtual void makeKeyAndOrderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
    // The check box that keeps the welcome window hidden at start (checked = hide).
    virtual bool dontShowChecked() const = 0;
    virtual void setDontShowChecked(bool checked) = 0;
};
