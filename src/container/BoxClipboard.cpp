#include "container/BoxClipboard.h"

BoxClipboard& BoxClipboard::shared()
{
    static BoxClipboard clipboard;
    return clipboard;
}

void BoxClipboard::copy(std::vector<UNDODATA> records)
{
    m_boxes = std::move(records);
}

std::vector<UNDODATA> BoxClipboard::nextPaste()
{
    for (UNDODATA& record : m_boxes) {
        record.frame.origin.x += kPasteStepX;
        record.frame.origin.y += kPasteStepY;
    }
    return m_boxes;
}

void BoxClipboard::clear()
{
    m_boxes.clear();
    m_style.reset();
}
