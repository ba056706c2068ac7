#pragma once
// What the text panels' actions (font, text fill and colour, spacing) change: the edited range
// of the text box being edited, or the whole text of every selected text box; one undo step of
// the box layer over all of it, registered only when a run changed.
#include "platform/text/AttributeValue.h"
#include "platform/text/TextRange.h"

#include <functional>
#include <optional>
#include <vector>

class InspectorHost;
class MyTextBox;
class MyTextView;
class MyViewBase;

namespace textedits {

std::vector<MyTextView*> selectedTextViews(const std::vector<MyViewBase*>& boxes);

// The text is being edited: the action goes to the edited range (nothing for a missing range),
// else to the whole text of each selected text box, skipping those without text, provided no
// selected text box is being edited. perBox answers whether it changed the box. Each changed
// box recomputes its frame once; before each box the shared colour panel is detached. Answers
// whether a box changed (and so whether a step was registered).
bool change(InspectorHost& host, std::optional<platform::TextRange> editedRange,
    const std::function<bool(MyTextBox&, platform::TextRange)>& perBox);

// Rewrites every run of range (those with a font only, when fontRunsOnly) from a copy of its
// own attributes, so everything else a run holds stays. Answers whether a run changed.
bool rewriteRuns(MyTextBox& box, platform::TextRange range,
    const std::function<void(platform::AttributeDictionary&)>& edit, bool fontRunsOnly = true);

// change() with rewriteRuns over each target.
bool rewriteSelectedText(InspectorHost& host, std::optional<platform::TextRange> editedRange,
    const std::function<void(platform::AttributeDictionary&)>& edit, bool fontRunsOnly = true);

// The edited range that the style, size, fill and spacing actions work on: the window's range
// held within the live text, nothing at the end of the text or while nothing is edited.
std::optional<platform::TextRange> editedRangeInText(const InspectorHost& host);

} // namespace textedits
