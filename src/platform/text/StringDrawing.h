#pragma once
// One-line strings measured and drawn into rectangles, for the custom controls: titles,
// values and labels in one font and colour.
//
// A string is set on one line with Qt's shaping (fallback faces fill in missing characters)
// and drawn as glyph outlines through the drawing context, so it takes the context's clip,
// transform, alpha and shadow like any other fill. Inside its rectangle the line's top sits
// on the rectangle's top edge (y-up: the baseline is at maxY - ascent); the alignment places
// it horizontally. Nothing is wrapped and nothing outside the rectangle is clipped.
//
// Main thread only: the outlines of recently drawn strings are cached.
#include "platform/geometry/Rect.h"
#include "platform/graphics/Color.h"
#include "platform/text/Font.h"

#include <QString>

namespace platform {

class GraphicsContext;

enum class StringAlignment { Left = 0, Right = 1, Center = 2 };

// The advance of the whole line and its height (ascent - descent + leading of the font).
Size sizeOfString(const QString& text, const Font& font);

void drawStringInRect(GraphicsContext& ctx, const QString& text, const Rect& rect, const Font& font,
    const Color& color, StringAlignment alignment = StringAlignment::Left);

// A face by the names the controls use: a PostScript name ("HelveticaNeue-Bold"), a family
// ("Helvetica Neue") or a family followed by a style word ("Helvetica Neue Medium"), resolved
// through the font manager's substitutions to the nearest installed face. Never null while
// any face is installed.
Font controlFont(const QString& name, double pointSize);
// The system's plain and bold interface fonts.
Font systemFont(double pointSize);
Font boldSystemFont(double pointSize);

} // namespace platform
