#pragma once
// The paragraph attributes of a run. As a character attribute it may differ from character to
// character; a paragraph is laid out with the style of its first character.
//
// Line height: the natural height of a line (ascent + descent + leading of its tallest font)
// is multiplied by lineHeightMultiple when that is positive, then held within
// minimumLineHeight and maximumLineHeight (0 = no limit); extra height goes above the text.
// lineSpacing is added below every line, paragraphSpacing after the paragraph's last line and
// paragraphSpacingBefore before its first line (not before the text's first line).
#include <QString>

namespace platform {

enum class TextAlignment : int {
    // The numbers are the document file's.
    Left = 0,
    Right = 1,
    Center = 2,
    Justified = 3,
    Natural = 4,
};

class ParagraphStyle {
public:
    ParagraphStyle() = default;

    // The default style with the given alignment.
    static ParagraphStyle withAlignment(TextAlignment alignment);

    TextAlignment alignment = TextAlignment::Natural;
    double lineSpacing = 0.0;
    double paragraphSpacing = 0.0;
    double paragraphSpacingBefore = 0.0;
    double lineHeightMultiple = 0.0;
    double minimumLineHeight = 0.0;
    double maximumLineHeight = 0.0;

    bool operator==(const ParagraphStyle&) const = default;

    // The platform's archive tag.
    static QString attributeClassName();

    // The line height rule above applied to a natural height; never negative, never NaN.
    double lineHeightFor(double naturalHeight) const;
    // Alignment 0..4 from a stored number; anything else is Natural.
    static TextAlignment alignmentFromInt(int value);
};

} // namespace platform
