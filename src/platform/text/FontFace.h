#pragma once
// One installed face of a font family, as the font manager lists it.
#include <QString>

namespace platform {

// Trait bits, with the platform's numbers.
enum FontTraitMask : unsigned {
    ItalicFontMask = 0x1,
    BoldFontMask = 0x2,
};

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

    unsigned traits() const { return (bold ? BoldFontMask : 0u) | (italic ? ItalicFontMask : 0u); }
    bool operator==(const FontFace&) const = default;
};

} // namespace platform
