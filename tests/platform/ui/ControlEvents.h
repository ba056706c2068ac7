#pragma once
// Synthetic pointer events and small pictures for the control tests (widget coordinates,
// y-down, as Qt delivers them).
#include "platform/graphics/Image.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace controltest {

// One pointer event with modifiers; a press reports its button as held, a move the left button (a
// drag; Qt drops button-less moves for widgets without mouse tracking), a release none.
inline void mouse(QWidget& w, QEvent::Type type, QPointF at,
    Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Qt::MouseButtons held = button;
    if (type == QEvent::MouseButtonRelease)
        held = Qt::NoButton;
    else if (type == QEvent::MouseMove)
        held = Qt::LeftButton;
    QMouseEvent e(
        type, at, w.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held, mods);
    QCoreApplication::sendEvent(&w, &e);
}

// A left press at press, a move when release lies elsewhere, and the release there.
inline void click(QWidget& w, QPointF press, QPointF release)
{
    if (press == release)
        testsupport::click(w, press);
    else
        testsupport::drag(w, press, release);
}
inline void click(QWidget& w, QPointF at)
{
    testsupport::click(w, at);
}

// An opaque colour written 0xRRGGBB, as the sidebar's colours are given.
inline testsupport::Rgba rgbOf(int v)
{
    return { (v >> 16) & 255, (v >> 8) & 255, v & 255, 255 };
}

// A picture of one colour.
inline platform::Image solidImage(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return platform::Image::fromQImage(img);
}

} // namespace controltest
