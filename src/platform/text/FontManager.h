#pragma once
// The installed fonts, read from fontconfig: the family list, the faces of each family with
// their PostScript names and traits, and conversions between faces of a family. Conversions
// never synthesise a face: asking for bold in a family without a bold face returns the font
// unchanged.
//
// Weight scale. The model's weights run from 0 to 15; faces carry OpenType weights (100 to
// 1000, the scale QFont uses). The table, in both directions:
//
//   model  name          OpenType      OpenType range -> model
//     0    (lightest)      100
//     1    ultralight      100           ..149   -> 1
//     2    thin            200         150..249  -> 2
//     3    light           300         250..324  -> 3
//     4    book            350         325..374  -> 4
//     5    regular         400         375..449  -> 5
//     6    medium          500         450..549  -> 6
//     7    demi            600          (none; 600 reads as 8)
//     8    semibold        600         550..649  -> 8
//     9    bold            700         650..749  -> 9
//    10    extrabold       800         750..824  -> 10
//    11    heavy           850         825..874  -> 11
//    12    black           900         875..924  -> 12
//    13    ultrablack      950         925..974  -> 13
//    14    extrablack     1000         975..     -> 14
//    15    (heaviest)     1000
//
// A face is bold when its OpenType weight is 600 or more, italic when it slants. Conversions
// keep a face's width: bold on a condensed face gives the condensed bold face.
//
// Substitutions: "Helvetica" and "Helvetica Neue" (as families and as PostScript names such
// as "Helvetica-Bold" or "HelveticaNeue-Italic") resolve to Nimbus Sans, which has the same
// metrics. The same aliases are in resources/fontconfig for the rest of the system's text.
#include "platform/text/Font.h"
#include "platform/text/FontFace.h"

#include <QHash>
#include <QStringList>
#include <optional>
#include <vector>

namespace platform {

class FontManager {
public:
    // The process-wide manager; main thread only. The font list is read on first use.
    static FontManager& shared();

    // Reads the installed faces again (after fonts were added).
    void reload();

    // Sorted, each family once.
    QStringList availableFontFamilies() const;
    // The faces of a family (after substitution), lightest first, upright before italic.
    std::vector<FontFace> availableMembersOfFontFamily(const QString& family) const;
    std::optional<FontFace> faceWithPostScriptName(const QString& postScriptName) const;

    // By PostScript name, else by family name (its regular face); substitutions apply.
    std::optional<Font> fontWithName(const QString& name, double size) const;
    // The face of the family closest to the traits and weight (slant and boldness first, then
    // width, then weight).
    std::optional<Font> fontWithFamily(
        const QString& family, unsigned traits, int weight, double size) const;

    Font convertFontToHaveTrait(const Font& font, unsigned trait) const;
    Font convertFontToNotHaveTrait(const Font& font, unsigned trait) const;
    Font convertFontToFamily(const Font& font, const QString& family) const;
    Font convertFontToSize(const Font& font, double size) const;
    // The next heavier (or lighter) face of the family with the same slant.
    Font convertWeight(const Font& font, bool upFlag) const;

    // The family an asked-for family name stands for ("Helvetica" -> "Nimbus Sans"); the name
    // itself when there is no substitution.
    static QString substituteFamily(const QString& family);

    static int openTypeWeightFromModelWeight(int weight);
    static int modelWeightFromOpenTypeWeight(int openTypeWeight);

    // Adds the fontconfig alias file to the current fontconfig configuration, for Qt's own
    // font matching. Looked for beside the application and in the source tree; true when
    // loaded.
    static bool installAliasFile();

private:
    FontManager();
    void ensureLoaded() const;
    std::optional<FontFace> bestFace(const QString& family, bool bold, bool italic, int weight,
        int width = kNormalFontWidth) const;

    mutable bool m_loaded = false;
    mutable std::vector<FontFace> m_faces;
    mutable QHash<QString, std::vector<int>> m_byFamily; // key: family folded to lower case
    mutable QHash<QString, int> m_byPostScriptName;
    mutable QStringList m_families;
};

} // namespace platform
