#pragma once
// A font: one installed face at a point size. Points are the model's units (working-picture
// pixels), so the Qt font made from it has a pixel size equal to the point size.
//
// Metrics come from the face's own tables through QRawFont: ascender, descender and leading
// (the line gap) from 'hhea', the underline position and thickness from 'post', the bounding
// box from 'head', scaled to the point size; where a table is missing (Type 1 faces) or makes
// no sense, Qt's metrics stand in. All metrics are y-up from the baseline: an underline below
// the baseline has a negative position, the descender is negative.
#include "platform/geometry/Rect.h"
#include "platform/text/FontFace.h"

#include <QFont>
#include <QRawFont>
#include <memory>
#include <optional>

namespace platform {

class Font {
public:
    // The null font: no face, size 0. Only isNull() and comparison are meaningful on it.
    Font() = default;
    Font(FontFace face, double pointSize);

    // A face by PostScript name or by family name (then its regular face), with the
    // substitutions of FontManager ("Helvetica" is Nimbus Sans). Empty when nothing matches.
    static std::optional<Font> withName(const QString& name, double pointSize);

    bool isNull() const { return m_face.postScriptName.isEmpty(); }
    const FontFace& face() const { return m_face; }
    QString fontName() const { return m_face.postScriptName; }
    QString familyName() const { return m_face.family; }
    QString styleName() const { return m_face.styleName; }
    double pointSize() const { return m_pointSize; }
    int weight() const { return m_face.weight; }
    bool isBold() const { return m_face.bold; }
    bool isItalic() const { return m_face.italic; }
    unsigned traits() const { return m_face.traits(); }

    [[nodiscard]] Font withSize(double pointSize) const;

    // A Qt font for layout whose pixel size is the point size.
    QFont toQFont() const;
    // The face at the point size, from the face's own file, for outlines and tables. Cached.
    QRawFont rawFont() const;

    double ascender() const;
    double descender() const;
    double leading() const;
    // ascender - descender + leading: the natural height of a line of this font.
    double lineHeight() const;
    double underlinePosition() const;
    double underlineThickness() const;
    // The face's bounding box (union of all glyphs), y-up from the baseline origin.
    Rect boundingRect() const;
    // The advance of a string set in this font alone, without fallback fonts.
    double advanceOf(const QString& text) const;

    // Same face and size.
    bool operator==(const Font& other) const;

    static QString attributeClassName();

private:
    struct Metrics;
    const Metrics& metrics() const;
    static std::shared_ptr<Metrics> cachedMetrics(const FontFace& face, double size);
    static void computeMetrics(const FontFace& face, double size, Metrics& metrics);

    FontFace m_face;
    double m_pointSize = 0.0;
    // Lazily filled; shared by copies, which have the same face and size.
    mutable std::shared_ptr<Metrics> m_metrics;
};

} // namespace platform
