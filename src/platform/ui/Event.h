#pragma once
// An input event as the views receive it: pointer events with their location in window
// coordinates (y-up, the root view's superview space), key events with the platform's key
// codes and modifier bits, scroll events and tracking-area events.
#include "platform/geometry/Point.h"
#include "platform/ui/TrackingArea.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

// Event kinds, by the platform's numbers.
enum class EventType : int {
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    RightMouseDown = 3,
    RightMouseUp = 4,
    MouseMoved = 5,
    LeftMouseDragged = 6,
    RightMouseDragged = 7,
    MouseEntered = 8,
    MouseExited = 9,
    KeyDown = 10,
    KeyUp = 11,
    CursorUpdate = 17,
    Rotate = 18,
    ScrollWheel = 22,
    OtherMouseDown = 25,
    Magnify = 30,
};

// Modifier bits of modifierFlags().
enum EventModifierFlag : unsigned {
    ShiftKeyMask = 0x20000,
    ControlKeyMask = 0x40000,
    OptionKeyMask = 0x80000,
    CommandKeyMask = 0x100000,
};

// Key codes of keyCode(): the physical key, independent of the keyboard layout and of the
// modifiers. The full table (letters and digits included) is in Event.cpp.
enum EventKeyCode : std::uint16_t {
    KeyCodeReturn = 36,
    KeyCodeTab = 48,
    KeyCodeSpace = 49,
    KeyCodeDelete = 51, // backspace
    KeyCodeEscape = 53,
    KeyCodeKeypadEnter = 76,
    KeyCodeHome = 115,
    KeyCodePageUp = 116,
    KeyCodeForwardDelete = 117,
    KeyCodeEnd = 119,
    KeyCodePageDown = 121,
    KeyCodeLeftArrow = 123,
    KeyCodeRightArrow = 124,
    KeyCodeDownArrow = 125,
    KeyCodeUpArrow = 126,
    KeyCodeUnknown = 0xFFFF,
};

// The four arrow keys (their codes lie side by side).
inline bool isArrowKeyCode(int code)
{
    return code >= KeyCodeLeftArrow && code <= KeyCodeUpArrow;
}

class Event {
public:
    static Event mouseEvent(
        EventType type, const Point& locationInWindow, unsigned modifierFlags, int clickCount = 1);
    static Event keyEvent(EventType type, unsigned modifierFlags, std::uint16_t keyCode,
        const QString& characters, bool isARepeat = false);
    // Deltas in lines (deltaX/Y) and in points (scrollingDeltaX/Y); positive y scrolls up.
    static Event scrollEvent(const Point& locationInWindow, unsigned modifierFlags, double deltaX,
        double deltaY, double scrollingDeltaX, double scrollingDeltaY,
        bool hasPreciseScrollingDeltas);
    // A pinch (Magnify: value is the change of magnification, 0.1 = 10 % larger) or a
    // two-finger turn (Rotate: value in degrees, counter-clockwise positive).
    static Event gestureEvent(
        EventType type, const Point& locationInWindow, unsigned modifierFlags, double value);
    // Entered, exited, moved or cursor-update on behalf of a tracking area.
    static Event trackingEvent(EventType type, const Point& locationInWindow,
        unsigned modifierFlags, const TrackingArea& area);

    EventType type() const { return m_type; }
    Point locationInWindow() const { return m_location; }
    unsigned modifierFlags() const { return m_modifierFlags; }
    std::uint16_t keyCode() const { return m_keyCode; }
    QString characters() const { return m_characters; }
    bool isARepeat() const { return m_isARepeat; }
    int clickCount() const { return m_clickCount; }
    double deltaX() const { return m_deltaX; }
    double deltaY() const { return m_deltaY; }
    double scrollingDeltaX() const { return m_scrollingDeltaX; }
    double scrollingDeltaY() const { return m_scrollingDeltaY; }
    bool hasPreciseScrollingDeltas() const { return m_precise; }
    // The gesture's change; 0 for other events.
    double magnification() const { return m_type == EventType::Magnify ? m_gesture : 0.0; }
    double rotation() const { return m_type == EventType::Rotate ? m_gesture : 0.0; }
    // The area an entered, exited, moved or cursor-update event was sent for.
    const std::optional<TrackingArea>& trackingArea() const { return m_trackingArea; }

    // ---- translation from Qt
    static unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);
    // KeyCodeUnknown for keys without a code.
    static std::uint16_t keyCodeFromQt(int qtKey);
    // The characters a key delivers: the typed text, or the platform's control and
    // function-key characters for the editing and arrow keys (Qt gives none or others); a
    // letter with Ctrl gives the letter, not its control character.
    static QString charactersFromQt(int qtKey, const QString& text);

private:
    Event() = default;

    EventType m_type = EventType::MouseMoved;
    Point m_location;
    unsigned m_modifierFlags = 0;
    std::uint16_t m_keyCode = KeyCodeUnknown;
    QString m_characters;
    bool m_isARepeat = false;
    int m_clickCount = 0;
    double m_deltaX = 0.0, m_deltaY = 0.0;
    double m_scrollingDeltaX = 0.0, m_scrollingDeltaY = 0.0;
    bool m_precise = false;
    double m_gesture = 0.0;
    std::optional<TrackingArea> m_trackingArea;
};

} // namespace platform
