#include "platform/text/AttributedString.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

const AttributeDictionary& emptyAttributes()
{
    static const AttributeDictionary empty;
    return empty;
}

const AttributeValue& nullValue()
{
    static const AttributeValue value;
    return value;
}

const AttributeValue& valueIn(const AttributeDictionary& attributes, const QString& key)
{
    const auto it = attributes.find(key);
    return it == attributes.end() ? nullValue() : it->second;
}

} // namespace

AttributedString::AttributedString()
    : m_data(std::make_shared<Data>())
{
}

AttributedString::AttributedString(const QString& text, const AttributeDictionary& attributes)
    : m_data(std::make_shared<Data>())
{
    m_data->text = text;
    if (!text.isEmpty())
        m_data->runs.push_back({ 0, attributes });
}

const QString& AttributedString::string() const
{
    return m_data->text;
}
int AttributedString::length() const
{
    return int(m_data->text.size());
}
int AttributedString::runCount() const
{
    return int(m_data->runs.size());
}
QString AttributedString::attributeClassName()
{
    return QStringLiteral("NSAttributedString");
}

void AttributedString::detach()
{
    if (m_data.use_count() > 1)
        m_data = std::make_shared<Data>(*m_data);
}

int AttributedString::runIndexAt(int index) const
{
    const auto& runs = m_data->runs;
    auto it = std::upper_bound(
        runs.begin(), runs.end(), index, [](int i, const Run& run) { return i < run.start; });
    return int(it - runs.begin()) - 1;
}

TextRange AttributedString::runRange(int runIndex) const
{
    const auto& runs = m_data->runs;
    const int start = runs[runIndex].start;
    const int end = runIndex + 1 < int(runs.size()) ? runs[runIndex + 1].start : length();
    return { start, end - start };
}

const AttributeDictionary& AttributedString::attributesAt(
    int index, TextRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = TextRange(index, 0);
        return emptyAttributes();
    }
    const int run = runIndexAt(index);
    if (effectiveRange)
        *effectiveRange = runRange(run);
    return m_data->runs[run].attributes;
}

AttributeValue AttributedString::attributeAt(
    const QString& key, int index, TextRange* effectiveRange, TextRange within) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = TextRange(index, 0);
        return {};
    }
    if (within.length < 0)
        within = TextRange(0, length());
    within = within.clamped(length());
    const int run = runIndexAt(index);
    const AttributeValue& value = valueIn(m_data->runs[run].attributes, key);
    if (effectiveRange) {
        int first = run, last = run;
        while (first > 0 && runRange(first).location > within.location
            && valueIn(m_data->runs[first - 1].attributes, key) == value)
            --first;
        while (last + 1 < int(m_data->runs.size()) && runRange(last).end() < within.end()
            && valueIn(m_data->runs[last + 1].attributes, key) == value)
            ++last;
        const int start = std::max(runRange(first).location, within.location);
        const int end = std::min(runRange(last).end(), within.end());
        *effectiveRange = TextRange(start, std::max(end - start, 0));
    }
    return value;
}

int AttributedString::splitAt(int index)
{
    auto& runs = m_data->runs;
    const int run = runIndexAt(index);
    if (runs[run].start == index)
        return run;
    runs.insert(runs.begin() + run + 1, Run { index, runs[run].attributes });
    return run + 1;
}

void AttributedString::coalesce()
{
    auto& runs = m_data->runs;
    std::vector<Run> merged;
    merged.reserve(runs.size());
    for (auto& run : runs) {
        if (!merged.empty() && merged.back().attributes == run.attributes)
            continue;
        merged.push_back(std::move(run));
    }
    runs = std::move(merged);
}

void AttributedString::replaceCharacters(TextRange range, const AttributedString& text)
{
    range = range.clamped(length());
    if (range.isEmpty() && text.isEmpty())
        return;
    // Take the inserted runs first: text may share data with this string.
    std::vector<Run> inserted = text.m_data->runs;
    const QString insertedText = text.string();
    detach();
    auto& runs = m_data->runs;
    const int delta = int(insertedText.size()) - range.length;

    std::vector<Run> result;
    result.reserve(runs.size() + inserted.size() + 1);
    for (int i = 0; i < int(runs.size()); ++i) {
        const TextRange r = runRange(i);
        if (r.location < range.location)
            result.push_back({ r.location, runs[i].attributes });
    }
    for (auto& run : inserted)
        result.push_back({ run.start + range.location, std::move(run.attributes) });
    for (int i = 0; i < int(runs.size()); ++i) {
        const TextRange r = runRange(i);
        if (r.end() > range.end()) {
            const int start = std::max(r.location, range.end());
            result.push_back({ start + delta, runs[i].attributes });
        }
    }
    m_data->text.replace(range.location, range.length, insertedText);
    runs = std::move(result);
    if (m_data->text.isEmpty())
        runs.clear();
    coalesce();
}

void AttributedString::replaceCharacters(TextRange range, const QString& text)
{
    range = range.clamped(length());
    if (text.isEmpty()) {
        replaceCharacters(range, AttributedString());
        return;
    }
    // The platform's rule for the attributes of new characters.
    int source = -1;
    if (range.length > 0)
        source = range.location;
    else if (range.location > 0)
        source = range.location - 1;
    else if (range.location < length())
        source = range.location;
    const AttributeDictionary attributes
        = source >= 0 ? attributesAt(source) : AttributeDictionary();
    replaceCharacters(range, AttributedString(text, attributes));
}

void AttributedString::insert(int index, const AttributedString& text)
{
    replaceCharacters(TextRange(index, 0), text);
}

void AttributedString::append(const AttributedString& text)
{
    replaceCharacters(TextRange(length(), 0), text);
}

void AttributedString::deleteCharacters(TextRange range)
{
    replaceCharacters(range, AttributedString());
}

void AttributedString::applyToRange(
    TextRange range, const std::function<void(AttributeDictionary&)>& change)
{
    range = range.clamped(length());
    if (range.isEmpty())
        return;
    detach();
    int first = splitAt(range.location);
    int last = range.end() < length() ? splitAt(range.end()) : int(m_data->runs.size());
    // Splitting at the end may have inserted before nothing of [first, last); first is stable.
    for (int i = first; i < last; ++i)
        change(m_data->runs[i].attributes);
    coalesce();
}

void AttributedString::setAttributes(const AttributeDictionary& attributes, TextRange range)
{
    applyToRange(range, [&](AttributeDictionary& a) { a = attributes; });
}

void AttributedString::addAttribute(
    const QString& key, const AttributeValue& value, TextRange range)
{
    applyToRange(range, [&](AttributeDictionary& a) { a[key] = value; });
}

void AttributedString::addAttributes(const AttributeDictionary& attributes, TextRange range)
{
    applyToRange(range, [&](AttributeDictionary& a) {
        for (const auto& [key, value] : attributes)
            a[key] = value;
    });
}

void AttributedString::removeAttribute(const QString& key, TextRange range)
{
    applyToRange(range, [&](AttributeDictionary& a) { a.erase(key); });
}

AttributedString AttributedString::attributedSubstring(TextRange range) const
{
    range = range.clamped(length());
    AttributedString result;
    if (range.isEmpty())
        return result;
    result.m_data->text = m_data->text.mid(range.location, range.length);
    enumerateAttributes(
        range, Forward, [&](const AttributeDictionary& attributes, TextRange r, bool&) {
            result.m_data->runs.push_back({ r.location - range.location, attributes });
        });
    return result;
}

void AttributedString::enumerateAttributes(TextRange range, unsigned options,
    const std::function<void(const AttributeDictionary&, TextRange, bool&)>& body) const
{
    range = range.clamped(length());
    if (range.isEmpty())
        return;
    // Keep the data alive and unchanged even if body assigns to this string.
    const std::shared_ptr<Data> data = m_data;
    const auto& runs = data->runs;
    const int textLength = int(data->text.size());
    auto clipped = [&](int i) {
        const int start = runs[i].start;
        const int end = i + 1 < int(runs.size()) ? runs[i + 1].start : textLength;
        const int s = std::max(start, range.location), e = std::min(end, range.end());
        return TextRange(s, e - s);
    };
    const int first = runIndexAt(range.location);
    const int last = runIndexAt(range.end() - 1);
    bool stop = false;
    if (options & Reverse) {
        for (int i = last; i >= first && !stop; --i)
            body(runs[i].attributes, clipped(i), stop);
    } else {
        for (int i = first; i <= last && !stop; ++i)
            body(runs[i].attributes, clipped(i), stop);
    }
}

void AttributedString::enumerateAttribute(const QString& key, TextRange range, unsigned options,
    const std::function<void(const AttributeValue&, TextRange, bool&)>& body) const
{
    range = range.clamped(length());
    // Gather merged spans first, then hand them out in the asked order.
    std::vector<std::pair<AttributeValue, TextRange>> spans;
    enumerateAttributes(range, Forward, [&](const AttributeDictionary& a, TextRange r, bool&) {
        const AttributeValue& value = valueIn(a, key);
        if (!spans.empty() && spans.back().first == value)
            spans.back().second.length += r.length;
        else
            spans.emplace_back(value, r);
    });
    bool stop = false;
    if (options & Reverse) {
        for (auto it = spans.rbegin(); it != spans.rend() && !stop; ++it)
            body(it->first, it->second, stop);
    } else {
        for (auto it = spans.begin(); it != spans.end() && !stop; ++it)
            body(it->first, it->second, stop);
    }
}

bool AttributedString::operator==(const AttributedString& other) const
{
    if (m_data == other.m_data)
        return true;
    // Runs are always merged, so equal strings have equal run lists.
    if (m_data->text != other.m_data->text || m_data->runs.size() != other.m_data->runs.size())
        return false;
    for (size_t i = 0; i < m_data->runs.size(); ++i) {
        if (m_data->runs[i].start != other.m_data->runs[i].start
            || !(m_data->runs[i].attributes == other.m_data->runs[i].attributes))
            return false;
    }
    return true;
}

AttributedString::Builder::Builder(const QString& text)
{
    m_result.m_data->text = text;
}

void AttributedString::Builder::appendRun(int length, AttributeDictionary attributes)
{
    const int left = m_result.length() - m_position;
    length = std::clamp(length, 0, left);
    if (length == 0)
        return;
    auto& runs = m_result.m_data->runs;
    if (runs.empty() || !(runs.back().attributes == attributes))
        runs.push_back({ m_position, std::move(attributes) });
    m_position += length;
}

AttributedString AttributedString::Builder::build()
{
    appendRun(m_result.length() - m_position, {});
    m_position = 0;
    return std::exchange(m_result, AttributedString());
}

} // namespace platform
