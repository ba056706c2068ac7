#include "window/TextEdits.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"
#include "platform/text/AttributedString.h"
#include "platform/text/TextAttributeNames.h"
#include "window/FillPanel.h"
#include "window/InspectorPanel.h"

#include <algorithm>

using platform::AttributeDictionary;
using platform::AttributedString;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

namespace textedits {

std::vector<MyTextView*> selectedTextViews(const std::vector<MyViewBase*>& boxes)
{
    std::vector<MyTextView*> views;
    for (MyViewBase* box : boxes)
        if (auto* t = dynamic_cast<MyTextView*>(box); t && t->selected())
            views.push_back(t);
    return views;
}

bool change(InspectorHost& host, std::optional<TextRange> editedRange,
    const std::function<bool(MyTextBox&, TextRange)>& perBox)
{
    TextViewContainer* layer = host.boxLayer();
    if (!layer)
        return false;
    if (MyTextBox* box = host.editedTextBox()) {
        if (!editedRange)
            return false;
        UndoStep step(*layer);
        if (!perBox(*box, *editedRange))
            return false;
        if (box->myTextView())
            box->myTextView()->RecalcFrame();
        step.commit();
        return true;
    }
    const std::vector<MyTextView*> views = selectedTextViews(layer->textViewAry);
    if (views.empty()
        || std::any_of(views.begin(), views.end(), [](MyTextView* v) { return v->isEditing(); }))
        return false;
    UndoStep step(*layer);
    std::vector<MyTextView*> changed;
    for (MyTextView* view : views) {
        MyTextBox* box = view->txtBox();
        if (!box || box->text().isEmpty())
            continue;
        FillPanel::detachColorPanel();
        if (perBox(*box, TextRange(0, box->text().length())))
            changed.push_back(view);
    }
    if (changed.empty())
        return false;
    // The boxes are laid out together (their changed paragraphs broken on all cores at once)
    // before each frame asks its own layout.
    std::vector<const platform::TextLayout*> layouts;
    layouts.reserve(changed.size());
    for (MyTextView* view : changed)
        layouts.push_back(&view->txtBox()->editor().layout());
    platform::TextLayout::layOutTogether(layouts);
    for (MyTextView* view : changed)
        view->RecalcFrame();
    step.commit();
    return true;
}

bool rewriteRuns(MyTextBox& box, TextRange range,
    const std::function<void(AttributeDictionary&)>& edit, bool fontRunsOnly)
{
    bool changed = false;
    box.editor().editText([&](AttributedString& text) {
        text.changeRuns(range, [&](AttributeDictionary& attrs) {
            if (fontRunsOnly && attrs.find(names::font) == attrs.end())
                return;
            const AttributeDictionary before = attrs;
            edit(attrs);
            changed = changed || attrs != before;
        });
    });
    return changed;
}

bool rewriteSelectedText(InspectorHost& host, std::optional<TextRange> editedRange,
    const std::function<void(AttributeDictionary&)>& edit, bool fontRunsOnly)
{
    return change(host, editedRange, [&](MyTextBox& box, TextRange range) {
        return rewriteRuns(box, range, edit, fontRunsOnly);
    });
}

std::optional<TextRange> editedRangeInText(const InspectorHost& host)
{
    const MyTextBox* box = host.editedTextBox();
    if (!box)
        return std::nullopt;
    const int length = box->text().length();
    const TextRange r = host.editedRange().clamped(length);
    if (r.location >= length)
        return std::nullopt;
    return r;
}

} // namespace textedits
