#pragma once
// One installed face of a font family, as the font manager lists it.
#include <QString>

namespace platform {

// Trait bits, with the platform's numbers.
enum FontTraitMask : unsigned {
    ItalicFontMask = 0x1,
    BoldFontMask = 0x2,
    ExpandedFontMask = 0x20,
    CondensedFontMask = 0x40,
};

// Widths on fontconfig's scale: 100 normal, 75 condensed, 125 expanded.
inline constexpr int kNormalFontWidth = 100;

struct FontFace {
    QString family;
    QString styleName;
    QString postScriptName;
    QString filePath;
    int faceIndex = 0;
    // The platform's 0 to 15 scale (5 regular, 9 bold); see FontManager for the table.
    int weight = 5;
    // The OpenType weight (100 to 1000), which QFont uses too.
    int openTypeWeight = 400;
    bool bold = false;
    bool italic = false;
    // Faces of one family may differ only in width (a condensed sibling).
    int width = kNormalFontWidth;

    unsigned traits() const
    {
        return (bold ? BoldFontMask : 0u) | (italic ? ItalicFontMask : 0u)
            | (width < kNormalFontWidth ? CondensedFontMask : 0u)
            | (width > kNormalFontWidth ? ExpandedFontMask : 0u);
    }
    bool operator==(const FontFace&) const = default;
};

} // namespace platform
