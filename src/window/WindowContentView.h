#pragma once
// The content view of every Window: draws the body, the title bar, the close, minimise and
// zoom buttons and the title; moves the window by its bar.
//
// The bar outside the buttons moves the window once the pointer is dragged past the drag
// distance (a press alone leaves the pointer to us, so a double click arrives), and a double
// click on it maximises or restores a resizable window, as Linux window managers do.
//
// A button acts only when the left press and the release both land on that same enabled
// button, hit-tested at each event; hovering (while the window is active) brightens every
// enabled button, and leaving the view or the window losing focus clears it.
#include "platform/geometry/Rect.h"
#include "platform/ui/Control.h"

#include <QString>
#include <optional>
#include <utility>

class Window;

class WindowContentView : public platform::Control {
    Q_OBJECT
public:
    enum Button : int { None = 0, Close = 1, Minimize = 2, Maximize = 3 };

    explicit WindowContentView(Window* window);

    // Close always; minimise and zoom only for a resizable window; any other index never.
    bool windowButtonEnabledAtIndex(int index) const;

    // Where the buttons are drawn for the current size, y-up in view coordinates.
    platform::Rect closeButtonFrame() const { return buttonFrame(Close); }
    platform::Rect minimizeButtonFrame() const { return buttonFrame(Minimize); }
    platform::Rect maximizeButtonFrame() const { return buttonFrame(Maximize); }
    int hoveredWindowButton() const { return m_hoveredWindowButton; }

    // The enabled button under a point (y-up), or None.
    int buttonAt(const platform::Point& location) const;
    // The rectangle the title is drawn in, y-up, before the one-line shift.
    platform::Rect titleRect() const;
    // Where the title's text would begin and end along x, centred in titleRect (empty title:
    // the rect's middle); the menu bar is placed by it.
    std::pair<double, double> titleTextSpan() const;
    // The title as it is drawn: only in the free part of the bar between the window buttons,
    // the window's menu bar and the right edge (the wider part when the bar splits it), as
    // near its centred place as that allows, cut short with an ellipsis where it does not fit,
    // and not at all (nothing) where not one character of it fits.
    struct ShownTitle {
        QString text;
        platform::Rect rect; // y-up, before the one-line shift
    };
    std::optional<ShownTitle> shownTitle() const;

    static constexpr double kTitleBarHeight = 45.0;

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseDown(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDragged(const platform::Point& location, unsigned modifierFlags) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoved(const platform::Point& location, unsigned modifierFlags) override;
    void hoverChanged() override;
    void changeEvent(QEvent* event) override;

private:
    platform::Rect buttonFrame(int index) const;
    void setHoveredWindowButton(int button);
    void drawTitle(platform::GraphicsContext& ctx);
    bool isInTitleBar(const platform::Point& location) const;

    Window* m_window;
    int m_hoveredWindowButton = None;
    int m_pressedButton = None;
    // Where a press on the bar began, until it becomes a move or ends.
    std::optional<platform::Point> m_movePress;
};
