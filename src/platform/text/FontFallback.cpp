#include "platform/text/FontFallback.h"

#include "platform/text/FontConfigFaces_p.h"
#include "platform/text/TextLogging.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QTextBoundaryFinder>
#include <array>
#include <memory>

namespace platform {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// The installed faces in fontconfig's order of preference for one face: its own family first,
// then the families configured after it; within a family, the face's slant and weight first.
struct Candidates {
    std::unique_ptr<FcFontSet, FontSetDeleter> set; // owns the character sets below
    std::vector<std::pair<FontFace, const FcCharSet*>> faces;
};

std::shared_ptr<const Candidates> sortedCandidates(const FontFace& face)
{
    auto out = std::make_shared<Candidates>();
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    if (!pattern)
        return out;
    const QByteArray family = face.family.toUtf8();
    FcPatternAddString(
        pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.constData()));
    FcPatternAddInteger(pattern.get(), FC_SLANT, face.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(
        pattern.get(), FC_WEIGHT, FcWeightFromOpenTypeDouble(double(face.openTypeWeight)));
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    out->set.reset(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    if (!out->set)
        return out;
    for (int i = 0; i < out->set->nfont; ++i) {
        FcPattern* candidate = out->set->fonts[i];
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &charset) != FcResultMatch || !charset)
            continue;
        if (auto found = faceFromPattern(candidate); found && formatRank(found->filePath) < 2)
            out->faces.emplace_back(std::move(*found), charset);
    }
    return out;
}

struct Cache {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const Candidates>> candidates; // by PostScript name
    QHash<QPair<QString, char32_t>, std::optional<FontFace>> chosen;
    QSet<char32_t> reportedMissing;
};

Cache& cache()
{
    static Cache c;
    return c;
}

bool isIgnorable(char32_t ucs4)
{
    // Controls and format characters (joiners, direction marks) draw nothing of their own.
    const QChar::Category category = QChar::category(ucs4);
    return category == QChar::Other_Control || category == QChar::Other_Format
        || category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

bool covers(const QRawFont& raw, char32_t ucs4)
{
    return isIgnorable(ucs4) || raw.supportsCharacter(ucs4);
}

// The first code point of [from, to) that raw lacks; nullopt when it has them all.
std::optional<char32_t> firstMissing(const QRawFont& raw, const QString& text, int from, int to)
{
    // A long run asks about the same few characters over and over: below U+0300 each is
    // asked of the face once (0: not yet, 1: covered, 2: missing).
    constexpr char32_t kKnown = 0x300;
    std::array<std::uint8_t, kKnown> known;
    const bool remember = to - from > 64;
    if (remember)
        known.fill(0);
    for (int i = from; i < to;) {
        const char32_t c = text.at(i).isHighSurrogate() && i + 1 < to
            ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
            : text.at(i).unicode();
        if (remember && c < kKnown) {
            if (known[c] == 0)
                known[c] = covers(raw, c) ? 1 : 2;
            if (known[c] == 2)
                return c;
            ++i;
            continue;
        }
        if (!covers(raw, c))
            return c;
        i += c > 0xFFFF ? 2 : 1;
    }
    return std::nullopt;
}

bool coversAll(const QRawFont& raw, const QString& text, int from, int to)
{
    return !firstMissing(raw, text, from, to);
}

// Shaping composes a letter and its marks where the face has the composed letter (e and a
// combining acute set as the face's own e-acute).
bool coversComposed(const QRawFont& raw, const QString& text, int from, int to)
{
    const QString composed = text.mid(from, to - from).normalized(QString::NormalizationForm_C);
    return coversAll(raw, composed, 0, int(composed.size()));
}

bool isNeutral(char32_t ucs4)
{
    const QChar::Script script = QChar::script(ucs4);
    return script == QChar::Script_Common || script == QChar::Script_Inherited;
}

} // namespace

std::optional<Font> FontFallback::fallbackFor(const Font& font, char32_t ucs4)
{
    if (font.isNull() || covers(font.rawFont(), ucs4))
        return std::nullopt;
    Cache& c = cache();
    const auto key = qMakePair(font.fontName(), ucs4);
    {
        QMutexLocker lock(&c.mutex);
        if (const auto found = c.chosen.constFind(key); found != c.chosen.constEnd())
            return *found ? std::optional(Font(**found, font.pointSize())) : std::nullopt;
    }
    std::shared_ptr<const Candidates> candidates;
    {
        QMutexLocker lock(&c.mutex);
        candidates = c.candidates.value(font.fontName());
    }
    if (!candidates) {
        candidates = sortedCandidates(font.face());
        QMutexLocker lock(&c.mutex);
        if (c.candidates.size() > 64)
            c.candidates.clear();
        c.candidates.insert(font.fontName(), candidates);
    }
    std::optional<FontFace> chosen;
    for (const auto& [face, charset] : candidates->faces) {
        if (face.postScriptName == font.fontName() || !FcCharSetHasChar(charset, ucs4))
            continue;
        // fontconfig's character set and the face's own cmap agree but for rare faces; the
        // cmap is what shaping reads.
        if (Font(face, font.pointSize()).rawFont().supportsCharacter(ucs4)) {
            chosen = face;
            break;
        }
    }
    QMutexLocker lock(&c.mutex);
    if (c.chosen.size() > 4096)
        c.chosen.clear();
    c.chosen.insert(key, chosen);
    if (!chosen && !c.reportedMissing.contains(ucs4)) {
        c.reportedMissing.insert(ucs4);
        qCWarning(lcText) << "no installed face has the character U+"
                + QString::number(uint(ucs4), 16).toUpper()
                          << "; it shows as the missing-glyph box of" << font.fontName();
    }
    return chosen ? std::optional(Font(*chosen, font.pointSize())) : std::nullopt;
}

std::vector<FontFallback::Piece> FontFallback::split(
    const QString& text, TextRange range, const Font& font)
{
    range = range.clamped(int(text.size()));
    if (font.isNull() || range.isEmpty())
        return { { range, font } };
    const QRawFont raw = font.rawFont();
    if (!raw.isValid() || coversAll(raw, text, range.location, range.end()))
        return { { range, font } };

    std::vector<Piece> pieces;
    auto append = [&](int from, int to, const Font& f) {
        if (!pieces.empty() && pieces.back().font == f && pieces.back().range.end() == from)
            pieces.back().range.length = to - pieces.back().range.location;
        else
            pieces.push_back({ TextRange(from, to - from), f });
    };
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    for (int from = range.location; from < range.end();) {
        clusters.setPosition(from);
        int to = int(clusters.toNextBoundary());
        if (to <= from || to > range.end())
            to = range.end();
        const char32_t first = text.at(from).isHighSurrogate() && from + 1 < to
            ? QChar::surrogateToUcs4(text.at(from), text.at(from + 1))
            : text.at(from).unicode();
        // Spaces and punctuation stay with the piece before them when its face has them.
        if (isNeutral(first) && !pieces.empty() && pieces.back().range.end() == from
            && coversAll(pieces.back().font.rawFont(), text, from, to)) {
            append(from, to, pieces.back().font);
        } else if (coversAll(raw, text, from, to) || coversComposed(raw, text, from, to)) {
            append(from, to, font);
        } else {
            const auto fallback = fallbackFor(font, firstMissing(raw, text, from, to).value_or(0));
            append(from, to, fallback ? *fallback : font);
        }
        from = to;
    }
    return pieces;
}

} // namespace platform
