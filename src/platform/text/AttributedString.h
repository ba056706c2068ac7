#pragma once
// UTF-16 text with runs of attributes: a value with copy-on-write sharing. Runs cover the text
// without gaps; neighbouring runs always differ (they are merged after every change). Ranges
// given to any operation are clamped to the text, never an error.
//
// Replacing characters with plain text follows the platform's rule: the new characters take
// the attributes of the first replaced character, else of the character before the range,
// else of the character after it.
#include "platform/text/AttributeValue.h"
#include "platform/text/TextRange.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class AttributedString {
public:
    AttributedString();
    explicit AttributedString(const QString& text, const AttributeDictionary& attributes = {});

    const QString& string() const;
    int length() const;
    bool isEmpty() const { return length() == 0; }

    // The attributes at index and the range of their run. An index outside the text gives an
    // empty dictionary and an empty range at the index.
    const AttributeDictionary& attributesAt(int index, TextRange* effectiveRange = nullptr) const;
    // One attribute at index (null when absent) and the longest range around index over which
    // it has the same value, limited to within.
    AttributeValue attributeAt(const QString& key, int index, TextRange* effectiveRange = nullptr,
        TextRange within = TextRange(0, -1)) const;

    void replaceCharacters(TextRange range, const QString& text);
    void replaceCharacters(TextRange range, const AttributedString& text);
    void insert(int index, const AttributedString& text);
    void append(const AttributedString& text);
    void deleteCharacters(TextRange range);

    void setAttributes(const AttributeDictionary& attributes, TextRange range);
    void addAttribute(const QString& key, const AttributeValue& value, TextRange range);
    void addAttributes(const AttributeDictionary& attributes, TextRange range);
    void removeAttribute(const QString& key, TextRange range);
    // Changes the attributes of every run of range in one pass (runs cut at the range's ends,
    // merged once at the end): linear in the runs, where a setAttributes per run is not.
    void changeRuns(TextRange range, const std::function<void(AttributeDictionary&)>& change)
    {
        applyToRange(range, change);
    }

    [[nodiscard]] AttributedString attributedSubstring(TextRange range) const;

    enum EnumerationOptions : unsigned { Forward = 0, Reverse = 1 };
    // Calls body for every run that meets range, clipped to range, in text order or from the
    // last run to the first. body may set stop to end early. The string may be changed by
    // body only through a copy (enumeration works on the value it started with).
    void enumerateAttributes(TextRange range, unsigned options,
        const std::function<void(const AttributeDictionary&, TextRange, bool& stop)>& body) const;
    // The same over the runs of one attribute (neighbouring runs with an equal value merged);
    // value is null where the attribute is absent.
    void enumerateAttribute(const QString& key, TextRange range, unsigned options,
        const std::function<void(const AttributeValue& value, TextRange, bool& stop)>& body) const;

    // Same characters and the same attributes at every index.
    bool operator==(const AttributedString& other) const;

    // The number of runs (for tests and diagnostics).
    int runCount() const;

    static QString attributeClassName();

    class Builder;

private:
    struct Run {
        int start = 0;
        AttributeDictionary attributes;
    };
    struct Data {
        QString text;
        std::vector<Run> runs; // runs[0].start == 0 when the text is not empty
    };

    void detach();
    int runIndexAt(int index) const;
    TextRange runRange(int runIndex) const;
    // Makes a run boundary at index (0 < index < length) and returns the run starting there.
    int splitAt(int index);
    void coalesce();
    void applyToRange(TextRange range, const std::function<void(AttributeDictionary&)>& change);

    std::shared_ptr<Data> m_data;
};

// Makes a string from its runs in one pass, as a reader of stored text needs: each run is
// merged with the one before when their attributes are equal, so the string is the one that
// setting each run's attributes in turn gives, at the cost of one comparison a run instead of
// a merge of the whole string at every run.
class AttributedString::Builder {
public:
    explicit Builder(const QString& text);

    // Gives the next length characters the attributes; a length beyond the text is cut to it,
    // and a run of no characters (or past the end) adds nothing.
    void appendRun(int length, AttributeDictionary attributes);
    // The characters the runs have covered so far.
    int position() const { return m_position; }
    // The string; characters no run covered take empty attributes.
    [[nodiscard]] AttributedString build();

private:
    AttributedString m_result;
    int m_position = 0;
};

} // namespace platform
