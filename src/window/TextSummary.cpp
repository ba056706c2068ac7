#include "window/TextSummary.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"
#include "platform/text/TextAttributeNames.h"
#include "window/SelectionGather.h"

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

namespace {

// The attributes the summary reads, in the order of the table below.
enum Field { Underline, Strikethrough, Kern, Style, FontField, Gradient, FieldCount };

// Which field a key names, or -1. A run holds a handful of attributes: one walk over them
// costs less than a lookup per field, and keys made from the names' own strings are told by
// identity without reading their characters.
int fieldOf(const QString& key)
{
    static const QString* const keys[FieldCount]
        = { &names::underlineStyle, &names::strikethroughStyle, &names::kern,
              &names::paragraphStyle, &names::font, &names::gradient };
    for (int i = 0; i < FieldCount; ++i) {
        if (key.constData() == keys[i]->constData())
            return i;
    }
    for (int i = 0; i < FieldCount; ++i) {
        if (key == *keys[i])
            return i;
    }
    return -1;
}

// Sizes are held to tenths, so sizes within a hundredth are the same size (an equivalence).
bool sameSize(double a, double b)
{
    return std::abs(a - b) < 0.01;
}

} // namespace

void TextSummary::gather(const AttributeDictionary& attrs, const SZGradient*& lastFill)
{
    static const AttributeValue kAbsent;
    const AttributeValue* values[FieldCount]
        = { &kAbsent, &kAbsent, &kAbsent, &kAbsent, &kAbsent, &kAbsent };
    for (const auto& [key, value] : attrs) {
        if (const int field = fieldOf(key); field >= 0)
            values[field] = &value;
    }
    underline.take(int(values[Underline]->toInteger()));
    strikethrough.take(int(values[Strikethrough]->toInteger()));
    kern.take(double(float(values[Kern]->toDouble())));
    const platform::ParagraphStyle* style = values[Style]->paragraphStyle();
    lineSpacing.take(style ? style->lineSpacing : 0.0);
    if (style)
        alignment = style->alignment;
    if (const platform::Font* font = values[FontField]->font(); font && !font->isNull()) {
        size.take(tenthOfPoint(font->pointSize()), sameSize);
        bold.take(font->isBold());
        italic.take(font->isItalic());
        // Once the faces differ no further face can change what shows.
        if (!face.mixed())
            face.take(font->fontName());
    }
    if (const SZGradient* g = SZGradient::fromAttribute(*values[Gradient]))
        lastFill = g;
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

namespace {

// The summary of consecutive selected boxes, before its fill is copied.
struct Gathered {
    TextSummary summary;
    const SZGradient* lastFill = nullptr;
    bool contributed = false;

    void merge(const Gathered& later)
    {
        TextSummary& s = summary;
        const TextSummary& l = later.summary;
        s.underline.merge(l.underline);
        s.strikethrough.merge(l.strikethrough);
        s.kern.merge(l.kern);
        s.lineSpacing.merge(l.lineSpacing);
        s.size.merge(l.size, sameSize);
        s.bold.merge(l.bold);
        s.italic.merge(l.italic);
        s.face.merge(l.face);
        s.circular.merge(l.circular);
        s.vertical.merge(l.vertical);
        if (l.alignment)
            s.alignment = l.alignment;
        if (later.lastFill)
            lastFill = later.lastFill;
        contributed = contributed || later.contributed;
    }
};

} // namespace

std::optional<TextSummary> TextSummary::gatherSelectedBoxes(const std::vector<MyViewBase*>& boxes)
{
    Gathered all
        = selectiongather::gatherSelected<Gathered>(boxes, [](Gathered& g, const MyViewBase& box) {
              const auto* view = boxAs<MyTextView>(&box);
              if (!view)
                  return;
              g.summary.circular.take(view->isCircular());
              g.summary.vertical.take(view->isVertical());
              const MyTextBox* text = view->txtBox();
              if (view->isEditing() || !text || text->text().isEmpty())
                  return;
              g.contributed = true;
              const AttributedString& s = text->text();
              s.enumerateAttributes(TextRange(0, s.length()), AttributedString::Reverse,
                  [&](const AttributeDictionary& attrs, TextRange, bool&) {
                      g.summary.gather(attrs, g.lastFill);
                  });
          });
    if (!all.contributed)
        return std::nullopt;
    if (all.lastFill)
        all.summary.fill = *all.lastFill;
    return std::move(all.summary);
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
    const SZGradient* lastFill = nullptr;
    text.enumerateAttributes(
        *r, AttributedString::Reverse, [&](const AttributeDictionary& attrs, TextRange, bool&) {
            summary.gather(attrs, lastFill);
        });
    if (lastFill)
        summary.fill = *lastFill;
    return summary;
}
