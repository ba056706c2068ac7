#pragma once
// The clipboards every document window shares for the whole process: whole boxes (Copy and
// Paste) and one box's style (Copy Style and Paste Style).
//
// Both hold records by value: an edit of the source box, an undo in its document or closing
// its window never changes what is pasted. Pictures inside the records are shared values, so a
// copy of picture boxes costs no pixels.
//
// Main thread only.
#include "boxes/UNDODATA.h"

#include <optional>
#include <vector>

class BoxClipboard {
public:
    // Each paste from the menu lands this far beyond the one before, in screen pixels (y-up):
    // a fixed step on screen, so that a paste on a large photo shown small is seen to move.
    static constexpr double kPasteStepX = 10.0;
    static constexpr double kPasteStepY = -10.0;

    static BoxClipboard& shared();

    // ---- boxes: absent until the first copy; each copy replaces what was held.
    void copy(std::vector<UNDODATA> records);
    bool hasBoxes() const { return !m_boxes.empty(); }
    const std::vector<UNDODATA>& boxes() const { return m_boxes; }
    // The records for the next menu paste: every held record moves by one step and is kept
    // moved, so repeated pastes of one copy walk away from the original. unitsPerPixel: the
    // container units one screen pixel shows (the inverse of the zoom).
    std::vector<UNDODATA> nextPaste(double unitsPerPixel = 1.0);

    // ---- style: replaced only by a successful Copy Style.
    void copyStyle(UNDODATA record) { m_style = std::move(record); }
    const std::optional<UNDODATA>& style() const { return m_style; }

    // Forgets both (tests).
    void clear();

private:
    std::vector<UNDODATA> m_boxes;
    std::optional<UNDODATA> m_style;
};
