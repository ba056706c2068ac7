#pragma once
// Faces for the characters a font lacks. Qt's own fallback asks for the run's slant and
// weight and takes the first face of a family that matches them, whether or not that face has
// the character: an italic run of Arabic falls to an oblique face without Arabic and draws
// nothing. Here every candidate is checked for the character itself.
//
// Order of preference: the run's own family, then the faces fontconfig sorts after it; within
// those, the run's slant and weight first. A face of another slant (upright for an italic run)
// is better than no glyph. Thread-safe; lookups are cached per face.
#include "platform/text/Font.h"
#include "platform/text/TextRange.h"

#include <QString>
#include <optional>
#include <vector>

namespace platform {

namespace FontFallback {

// The face to set ucs4 in when font does not have it; nullopt when font has it, or when no
// installed face does (logged once per character).
std::optional<Font> fallbackFor(const Font& font, char32_t ucs4);

struct Piece {
    TextRange range;
    Font font;
};

// Splits range of text, set in font, into pieces each set in a face that has its characters:
// font itself where it covers them, a fallback elsewhere. A grapheme cluster stays in one
// piece, and spaces and punctuation between two pieces of the same fallback join them, so
// that words of one script are shaped together. A text font covers wholly is one piece.
std::vector<Piece> split(const QString& text, TextRange range, const Font& font);

} // namespace FontFallback

} // namespace platform
