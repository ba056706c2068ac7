#include "platform/ui/Event.h"

#include <cmath>
#include <utility>

namespace platform {

Event Event::mouseEvent(
    EventType type, const Point& locationInWindow, unsigned modifierFlags, int clickCount)
{
    Event e;
    e.m_type = type;
    e.m_location = locationInWindow;
    e.m_modifierFlags = modifierFlags;
    e.m_clickCount = clickCount;
    return e;
}

Event Event::keyEvent(EventType type, unsigned modifierFlags, std::uint16_t keyCode,
    const QString& characters, bool isARepeat)
{
    Event e;
    e.m_type = type;
    e.m_modifierFlags = modifierFlags;
    e.m_keyCode = keyCode;
    e.m_characters = characters;
    e.m_isARepeat = isARepeat;
    return e;
}

Event Event::scrollEvent(const Point& locationInWindow, unsigned modifierFlags, double deltaX,
    double deltaY, double scrollingDeltaX, double scrollingDeltaY, bool hasPreciseScrollingDeltas)
{
    Event e;
    e.m_type = EventType::ScrollWheel;
    e.m_location = locationInWindow;
    e.m_modifierFlags = modifierFlags;
    e.m_deltaX = deltaX;
    e.m_deltaY = deltaY;
    e.m_scrollingDeltaX = scrollingDeltaX;
    e.m_scrollingDeltaY = scrollingDeltaY;
    e.m_precise = hasPreciseScrollingDeltas;
    return e;
}

Event Event::gestureEvent(
    EventType type, const Point& locationInWindow, unsigned modifierFlags, double value)
{
    Event e;
    e.m_type = type;
    e.m_location = locationInWindow;
    e.m_modifierFlags = modifierFlags;
    e.m_gesture = std::isfinite(value) ? value : 0.0;
    return e;
}

Event Event::trackingEvent(
    EventType type, const Point& locationInWindow, unsigned modifierFlags, const TrackingArea& area)
{
    Event e;
    e.m_type = type;
    e.m_location = locationInWindow;
    e.m_modifierFlags = modifierFlags;
    e.m_trackingArea = area;
    return e;
}

unsigned Event::modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    // The command key of the model is the key that carries shortcuts here, Ctrl; the model's
    // Control is the Meta key and its Option is Alt.
    unsigned flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ShiftKeyMask;
    if (modifiers & Qt::MetaModifier)
        flags |= ControlKeyMask;
    if (modifiers & Qt::AltModifier)
        flags |= OptionKeyMask;
    if (modifiers & Qt::ControlModifier)
        flags |= CommandKeyMask;
    return flags;
}

namespace {

// Qt key -> the physical key code of the model's keyboard (ANSI layout positions).
constexpr std::pair<int, std::uint16_t> kKeyCodes[] = {
    { Qt::Key_A, 0 },
    { Qt::Key_S, 1 },
    { Qt::Key_D, 2 },
    { Qt::Key_F, 3 },
    { Qt::Key_H, 4 },
    { Qt::Key_G, 5 },
    { Qt::Key_Z, 6 },
    { Qt::Key_X, 7 },
    { Qt::Key_C, 8 },
    { Qt::Key_V, 9 },
    { Qt::Key_B, 11 },
    { Qt::Key_Q, 12 },
    { Qt::Key_W, 13 },
    { Qt::Key_E, 14 },
    { Qt::Key_R, 15 },
    { Qt::Key_Y, 16 },
    { Qt::Key_T, 17 },
    { Qt::Key_1, 18 },
    { Qt::Key_2, 19 },
    { Qt::Key_3, 20 },
    { Qt::Key_4, 21 },
    { Qt::Key_6, 22 },
    { Qt::Key_5, 23 },
    { Qt::Key_Equal, 24 },
    { Qt::Key_9, 25 },
    { Qt::Key_7, 26 },
    { Qt::Key_Minus, 27 },
    { Qt::Key_8, 28 },
    { Qt::Key_0, 29 },
    { Qt::Key_BracketRight, 30 },
    { Qt::Key_O, 31 },
    { Qt::Key_U, 32 },
    { Qt::Key_BracketLeft, 33 },
    { Qt::Key_I, 34 },
    { Qt::Key_P, 35 },
    { Qt::Key_Return, KeyCodeReturn },
    { Qt::Key_L, 37 },
    { Qt::Key_J, 38 },
    { Qt::Key_Apostrophe, 39 },
    { Qt::Key_K, 40 },
    { Qt::Key_Semicolon, 41 },
    { Qt::Key_Backslash, 42 },
    { Qt::Key_Comma, 43 },
    { Qt::Key_Slash, 44 },
    { Qt::Key_N, 45 },
    { Qt::Key_M, 46 },
    { Qt::Key_Period, 47 },
    { Qt::Key_Tab, KeyCodeTab },
    { Qt::Key_Backtab, KeyCodeTab },
    { Qt::Key_Space, KeyCodeSpace },
    { Qt::Key_QuoteLeft, 50 },
    { Qt::Key_Backspace, KeyCodeDelete },
    { Qt::Key_Escape, KeyCodeEscape },
    { Qt::Key_Enter, KeyCodeKeypadEnter },
    { Qt::Key_Home, KeyCodeHome },
    { Qt::Key_PageUp, KeyCodePageUp },
    { Qt::Key_Delete, KeyCodeForwardDelete },
    { Qt::Key_End, KeyCodeEnd },
    { Qt::Key_PageDown, KeyCodePageDown },
    { Qt::Key_Left, KeyCodeLeftArrow },
    { Qt::Key_Right, KeyCodeRightArrow },
    { Qt::Key_Down, KeyCodeDownArrow },
    { Qt::Key_Up, KeyCodeUpArrow },
};

// The characters the model's text handling expects for the editing and arrow keys.
constexpr std::pair<int, char16_t> kKeyCharacters[] = {
    { Qt::Key_Return, u'\r' },
    { Qt::Key_Enter, 0x0003 },
    { Qt::Key_Tab, u'\t' },
    { Qt::Key_Backspace, 0x007F },
    { Qt::Key_Escape, 0x001B },
    { Qt::Key_Delete, 0xF728 },
    { Qt::Key_Up, 0xF700 },
    { Qt::Key_Down, 0xF701 },
    { Qt::Key_Left, 0xF702 },
    { Qt::Key_Right, 0xF703 },
};

} // namespace

std::uint16_t Event::keyCodeFromQt(int qtKey)
{
    for (const auto& [key, code] : kKeyCodes) {
        if (key == qtKey)
            return code;
    }
    return KeyCodeUnknown;
}

QString Event::charactersFromQt(int qtKey, const QString& text)
{
    for (const auto& [key, ch] : kKeyCharacters) {
        if (key == qtKey)
            return QString(QChar(ch));
    }
    // With Ctrl held, X11 gives a letter key's control character (Ctrl+A is 0x01); the
    // model's command key leaves the letter as it is, and shortcuts look for the letter.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z && text.size() == 1 && text[0].unicode() < 0x20)
        return QString(QChar(char16_t(u'a' + (qtKey - Qt::Key_A))));
    return text;
}

} // namespace platform
