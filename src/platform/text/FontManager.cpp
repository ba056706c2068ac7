#include "platform/text/FontManager.h"

#include "platform/text/FontConfigFaces_p.h"
#include "platform/text/TextLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <memory>

namespace platform {

namespace {

constexpr std::array<int, 16> kOpenTypeWeights
    = { 100, 100, 200, 300, 350, 400, 500, 600, 600, 700, 800, 850, 900, 950, 1000, 1000 };

struct Substitution {
    const char* family;
    const char* postScriptPrefix;
    const char* target;
};
constexpr std::array<Substitution, 2> kSubstitutions = { {
    { "helvetica neue", "HelveticaNeue", "Nimbus Sans" },
    { "helvetica", "Helvetica", "Nimbus Sans" },
} };

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* o) const { FcObjectSetDestroy(o); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

QString stringOf(FcPattern* pattern, const char* object)
{
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(value));
}

int intOf(FcPattern* pattern, const char* object, int fallback)
{
    int value = fallback;
    if (FcPatternGetInteger(pattern, object, 0, &value) != FcResultMatch)
        return fallback;
    return value;
}

double doubleOf(FcPattern* pattern, const char* object, double fallback)
{
    double value = fallback;
    if (FcPatternGetDouble(pattern, object, 0, &value) == FcResultMatch)
        return value;
    int i = 0;
    if (FcPatternGetInteger(pattern, object, 0, &i) == FcResultMatch)
        return i;
    return fallback;
}

} // namespace

// Shared with the fallback search (FontConfigFaces_p.h).
// Faces Qt and QRawFont read fully (sfnt tables) win over Type 1 copies of the same face.
int formatRank(const QString& filePath)
{
    const QString suffix = QFileInfo(filePath).suffix().toLower();
    if (suffix == u"otf" || suffix == u"ttf")
        return 0;
    if (suffix == u"ttc" || suffix == u"otc")
        return 1;
    return 2;
}

std::optional<FontFace> faceFromPattern(FcPattern* pattern)
{
    FcBool outline = FcFalse;
    if (FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline)
        return std::nullopt;
    FontFace face;
    face.family = stringOf(pattern, FC_FAMILY);
    face.styleName = stringOf(pattern, FC_STYLE);
    face.postScriptName = stringOf(pattern, FC_POSTSCRIPT_NAME);
    face.filePath = stringOf(pattern, FC_FILE);
    face.faceIndex = intOf(pattern, FC_INDEX, 0) & 0xFFFF;
    if (face.family.isEmpty() || face.postScriptName.isEmpty())
        return std::nullopt;
    const double fcWeight = doubleOf(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    const double ot = FcWeightToOpenTypeDouble(fcWeight);
    face.openTypeWeight
        = std::isfinite(ot) && ot > 0 ? static_cast<int>(std::clamp(ot, 1.0, 1000.0)) : 400;
    face.weight = FontManager::modelWeightFromOpenTypeWeight(face.openTypeWeight);
    face.bold = face.openTypeWeight >= 600;
    face.italic = intOf(pattern, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
    face.width = std::clamp(intOf(pattern, FC_WIDTH, FC_WIDTH_NORMAL), 1, 1000);
    return face;
}

namespace {

// The traits a substituted PostScript name asks for ("Helvetica-BoldOblique").
void traitsFromStyleSuffix(const QString& suffix, bool& bold, bool& italic, int& weight)
{
    bold = suffix.contains(u"Bold") || suffix.contains(u"Black") || suffix.contains(u"Heavy");
    italic = suffix.contains(u"Italic") || suffix.contains(u"Oblique");
    weight = bold ? 9 : 5;
}

} // namespace

FontManager& FontManager::shared()
{
    static FontManager manager;
    return manager;
}

FontManager::FontManager() = default;

void FontManager::reload()
{
    m_loaded = false;
    ensureLoaded();
}

void FontManager::ensureLoaded() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_faces.clear();
    m_byFamily.clear();
    m_byPostScriptName.clear();
    m_families.clear();

    FcInit();
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_POSTSCRIPT_NAME, FC_FILE, FC_INDEX, FC_WEIGHT,
            FC_SLANT, FC_WIDTH, FC_OUTLINE, static_cast<char*>(nullptr)));
    if (!pattern || !objects)
        return;
    std::unique_ptr<FcFontSet, FontSetDeleter> set(
        FcFontList(nullptr, pattern.get(), objects.get()));
    if (!set)
        return;

    for (int i = 0; i < set->nfont; ++i) {
        auto face = faceFromPattern(set->fonts[i]);
        if (!face)
            continue;
        const auto existing = m_byPostScriptName.constFind(face->postScriptName);
        if (existing != m_byPostScriptName.constEnd()) {
            FontFace& kept = m_faces[*existing];
            if (formatRank(face->filePath) < formatRank(kept.filePath))
                kept = *face;
            continue;
        }
        m_byPostScriptName.insert(face->postScriptName, int(m_faces.size()));
        m_faces.push_back(*face);
    }
    for (int i = 0; i < int(m_faces.size()); ++i) {
        const QString key = m_faces[i].family.toLower();
        auto& list = m_byFamily[key];
        if (list.empty())
            m_families.push_back(m_faces[i].family);
        list.push_back(i);
    }
    for (auto& list : m_byFamily) {
        std::sort(list.begin(), list.end(), [this](int a, int b) {
            const FontFace& fa = m_faces[a];
            const FontFace& fb = m_faces[b];
            if (fa.openTypeWeight != fb.openTypeWeight)
                return fa.openTypeWeight < fb.openTypeWeight;
            if (fa.italic != fb.italic)
                return !fa.italic;
            return fa.postScriptName < fb.postScriptName;
        });
    }
    std::sort(m_families.begin(), m_families.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

QStringList FontManager::availableFontFamilies() const
{
    ensureLoaded();
    return m_families;
}

std::vector<FontFace> FontManager::availableMembersOfFontFamily(const QString& family) const
{
    ensureLoaded();
    std::vector<FontFace> faces;
    const auto it = m_byFamily.constFind(substituteFamily(family).toLower());
    if (it == m_byFamily.constEnd())
        return faces;
    for (int index : *it)
        faces.push_back(m_faces[index]);
    return faces;
}

std::optional<FontFace> FontManager::faceWithPostScriptName(const QString& postScriptName) const
{
    ensureLoaded();
    const auto it = m_byPostScriptName.constFind(postScriptName);
    if (it == m_byPostScriptName.constEnd())
        return std::nullopt;
    return m_faces[*it];
}

QString FontManager::substituteFamily(const QString& family)
{
    const QString folded = family.trimmed().toLower();
    for (const auto& s : kSubstitutions) {
        if (folded == QLatin1String(s.family))
            return QString::fromLatin1(s.target);
    }
    return family;
}

std::optional<FontFace> FontManager::bestFace(
    const QString& family, bool bold, bool italic, int weight, int width) const
{
    // Looked through in place: an edit asks once per run, and copying the family's faces
    // cost more than choosing.
    ensureLoaded();
    const auto members = m_byFamily.constFind(substituteFamily(family).toLower());
    if (members == m_byFamily.constEnd())
        return std::nullopt;
    const FontFace* best = nullptr;
    int bestScore = 0;
    for (int index : *members) {
        const FontFace& face = m_faces[index];
        // Width steps are 12 or 13 apart and weights at most 15: a face of the asked width
        // wins over one of a nearer weight.
        const int score = (face.italic != italic ? 100000 : 0) + (face.bold != bold ? 10000 : 0)
            + std::min(std::abs(face.width - width), 999) * 8 + std::abs(face.weight - weight);
        if (!best || score < bestScore) {
            best = &face;
            bestScore = score;
        }
    }
    if (!best)
        return std::nullopt;
    return *best;
}

std::optional<Font> FontManager::fontWithName(const QString& name, double size) const
{
    if (auto face = faceWithPostScriptName(name))
        return Font(*face, size);
    for (const auto& s : kSubstitutions) {
        const QString prefix = QString::fromLatin1(s.postScriptPrefix);
        if (name == prefix || name.startsWith(prefix + u'-')) {
            bool bold = false, italic = false;
            int weight = 5;
            traitsFromStyleSuffix(name.mid(prefix.size()), bold, italic, weight);
            if (auto face = bestFace(QString::fromLatin1(s.target), bold, italic, weight))
                return Font(*face, size);
            return std::nullopt;
        }
    }
    if (auto face = bestFace(name, false, false, 5))
        return Font(*face, size);
    return std::nullopt;
}

std::optional<Font> FontManager::fontWithFamily(
    const QString& family, unsigned traits, int weight, double size) const
{
    const int width = traits & CondensedFontMask ? 75
        : traits & ExpandedFontMask              ? 125
                                                 : kNormalFontWidth;
    const auto face = bestFace(
        family, traits & BoldFontMask, traits & ItalicFontMask, std::clamp(weight, 0, 15), width);
    if (!face)
        return std::nullopt;
    return Font(*face, size);
}

Font FontManager::convertFontToHaveTrait(const Font& font, unsigned trait) const
{
    if (font.isNull())
        return font;
    const bool wantBold = (trait & BoldFontMask) || font.isBold();
    const bool wantItalic = (trait & ItalicFontMask) || font.isItalic();
    if (wantBold == font.isBold() && wantItalic == font.isItalic())
        return font;
    const int weight = wantBold && !font.isBold() ? 9 : font.weight();
    const auto face = bestFace(font.familyName(), wantBold, wantItalic, weight, font.face().width);
    if (!face || face->bold != wantBold || face->italic != wantItalic)
        return font;
    return Font(*face, font.pointSize());
}

Font FontManager::convertFontToNotHaveTrait(const Font& font, unsigned trait) const
{
    if (font.isNull())
        return font;
    const bool wantBold = font.isBold() && !(trait & BoldFontMask);
    const bool wantItalic = font.isItalic() && !(trait & ItalicFontMask);
    if (wantBold == font.isBold() && wantItalic == font.isItalic())
        return font;
    const int weight = !wantBold && font.isBold() ? 5 : font.weight();
    const auto face = bestFace(font.familyName(), wantBold, wantItalic, weight, font.face().width);
    if (!face || face->bold != wantBold || face->italic != wantItalic)
        return font;
    return Font(*face, font.pointSize());
}

Font FontManager::convertFontToFamily(const Font& font, const QString& family) const
{
    const auto face = bestFace(family, font.isBold(), font.isItalic(),
        font.isNull() ? 5 : font.weight(), font.isNull() ? kNormalFontWidth : font.face().width);
    if (!face)
        return font;
    return Font(*face, font.isNull() ? 0.0 : font.pointSize());
}

Font FontManager::convertFontToSize(const Font& font, double size) const
{
    if (font.isNull())
        return font;
    return font.withSize(size);
}

Font FontManager::convertWeight(const Font& font, bool upFlag) const
{
    if (font.isNull())
        return font;
    const FontFace* next = nullptr;
    const auto faces = availableMembersOfFontFamily(font.familyName());
    for (const auto& face : faces) {
        if (face.italic != font.isItalic())
            continue;
        const int w = face.openTypeWeight, current = font.face().openTypeWeight;
        if (upFlag ? w <= current : w >= current)
            continue;
        if (!next || (upFlag ? w < next->openTypeWeight : w > next->openTypeWeight))
            next = &face;
    }
    return next ? Font(*next, font.pointSize()) : font;
}

int FontManager::openTypeWeightFromModelWeight(int weight)
{
    return kOpenTypeWeights[std::clamp(weight, 0, 15)];
}

int FontManager::modelWeightFromOpenTypeWeight(int w)
{
    if (w < 150)
        return 1;
    if (w < 250)
        return 2;
    if (w < 325)
        return 3;
    if (w < 375)
        return 4;
    if (w < 450)
        return 5;
    if (w < 550)
        return 6;
    if (w < 650)
        return 8;
    if (w < 750)
        return 9;
    if (w < 825)
        return 10;
    if (w < 875)
        return 11;
    if (w < 925)
        return 12;
    if (w < 975)
        return 13;
    return 14;
}

bool FontManager::installAliasFile()
{
    static const QString fileName = QStringLiteral("30-quillmark-aliases.conf");
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        candidates << appDir + QStringLiteral("/../share/quillmark/fontconfig/") + fileName
                   << appDir + QStringLiteral("/fontconfig/") + fileName;
    }
#ifdef QUILLMARK_FONTCONFIG_DIR
    candidates << QStringLiteral(QUILLMARK_FONTCONFIG_DIR "/") + fileName;
#endif
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        FcInit();
        const QByteArray encoded = QFile::encodeName(QDir::cleanPath(path));
        if (FcConfigParseAndLoad(FcConfigGetCurrent(),
                reinterpret_cast<const FcChar8*>(encoded.constData()), FcTrue)) {
            return true;
        }
        qCWarning(lcText) << "could not load the font aliases" << path;
    }
    return false;
}

} // namespace platform
