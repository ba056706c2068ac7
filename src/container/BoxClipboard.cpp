#include "container/BoxClipboard.h"

#include <cmath>

BoxClipboard& BoxClipboard::shared()
{
    static BoxClipboard clipboard;
    return clipboard;
}

void BoxClipboard::copy(std::vector<UNDODATA> records)
{
    m_boxes = std::move(records);
}

std::vector<UNDODATA> BoxClipboard::nextPaste(double unitsPerPixel)
{
    if (!std::isfinite(unitsPerPixel) || unitsPerPixel <= 0.0)
        unitsPerPixel = 1.0;
    for (UNDODATA& record : m_boxes) {
        record.frame.origin.x += kPasteStepX * unitsPerPixel;
        record.frame.origin.y += kPasteStepY * unitsPerPixel;
    }
    return m_boxes;
}

void BoxClipboard::clear()
{
    m_boxes.clear();
    m_style.reset();
}
