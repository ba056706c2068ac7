#include "window/TextSummary.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"
#include "platform/text/TextAttributeNames.h"

#include <cmath>

using platform::AttributeDictionary;
using platform::AttributedString;
using platform::AttributeValue;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

double tenthOfPoint(double size)
{
    return std::round(size * 10.0) / 10.0;
}

void TextSummary::gather(const AttributeDictionary& attrs)
{
    static const AttributeValue kAbsent;
    const auto value = [&](const QString& key) -> const AttributeValue& {
        const auto it = attrs.find(key);
        return it == attrs.end() ? kAbsent : it->second;
    };
    underline.take(int(value(names::underlineStyle).toInteger()));
    strikethrough.take(int(value(names::strikethroughStyle).toInteger()));
    kern.take(double(float(value(names::kern).toDouble())));
    const platform::ParagraphStyle* style = value(names::paragraphStyle).paragraphStyle();
    lineSpacing.take(style ? style->lineSpacing : 0.0);
    if (style)
        alignment = style->alignment;
    if (const platform::Font* font = value(names::font).font(); font && !font->isNull()) {
        size.take(tenthOfPoint(font->pointSize()),
            [](double a, double b) { return std::abs(a - b) < 0.01; });
        bold.take(font->isBold());
        italic.take(font->isItalic());
        face.take(font->fontName());
    }
    if (const SZGradient* g = SZGradient::fromAttribute(value(names::gradient)))
        fill = *g;
}

namespace {

// The innermost batch alive; the inspector lives on the main thread.
TextSummaryBatch* g_batch = nullptr;

} // namespace

TextSummaryBatch::TextSummaryBatch()
    : m_outer(g_batch)
{
    g_batch = this;
}

TextSummaryBatch::~TextSummaryBatch()
{
    g_batch = m_outer;
}

std::optional<TextSummary> TextSummary::ofSelectedBoxes(const std::vector<MyViewBase*>& boxes)
{
    TextSummaryBatch* batch = g_batch;
    if (batch && batch->m_summary && batch->m_boxes == &boxes && batch->m_count == boxes.size())
        return *batch->m_summary;
    std::optional<TextSummary> summary = gatherSelectedBoxes(boxes);
    if (batch) {
        batch->m_boxes = &boxes;
        batch->m_count = boxes.size();
        batch->m_summary = summary;
    }
    return summary;
}

std::optional<TextSummary> TextSummary::gatherSelectedBoxes(const std::vector<MyViewBase*>& boxes)
{
    TextSummary summary;
    bool contributed = false;
    for (MyViewBase* box : boxes) {
        auto* view = dynamic_cast<MyTextView*>(box);
        if (!view || !view->selected())
            continue;
        summary.circular.take(view->isCircular());
        summary.vertical.take(view->isVertical());
        const MyTextBox* text = view->txtBox();
        if (view->isEditing() || !text || text->text().isEmpty())
            continue;
        contributed = true;
        const AttributedString& s = text->text();
        s.enumerateAttributes(TextRange(0, s.length()), AttributedString::Reverse,
            [&](const AttributeDictionary& attrs, TextRange, bool&) { summary.gather(attrs); });
    }
    if (!contributed)
        return std::nullopt;
    return summary;
}

std::optional<TextRange> TextSummary::shownRange(TextRange range, int length)
{
    if (length <= 0)
        return std::nullopt;
    TextRange r = range.clamped(length);
    if (r.location >= length)
        r.location = length - 1;
    if (r.length == 0)
        r.length = 1;
    return r;
}

std::optional<TextSummary> TextSummary::ofEditedRange(const MyTextBox& box, TextRange range)
{
    const AttributedString& text = box.text();
    const std::optional<TextRange> r = shownRange(range, text.length());
    if (!r)
        return std::nullopt;
    TextSummary summary;
    text.enumerateAttributes(*r, AttributedString::Reverse,
        [&](const AttributeDictionary& attrs, TextRange, bool&) { summary.gather(attrs); });
    return summary;
}
