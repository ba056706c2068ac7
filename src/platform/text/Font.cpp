#include "platform/text/Font.h"

#include "platform/text/FontManager.h"
#include "platform/text/FontTables_p.h"

#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <algorithm>
#include <cmath>

Q_GUI_EXPORT int qt_defaultDpiY();

namespace platform {

namespace {

// Sizes a caller or a file may give: a size that is not a positive finite number is the
// default user size, and huge sizes are held to what the rasteriser can take.
constexpr double kDefaultPointSize = 12.0;
constexpr double kMinPointSize = 1.0 / 64.0;
constexpr double kMaxPointSize = 16384.0;

double saneSize(double size)
{
    if (!std::isfinite(size) || size <= 0.0)
        return kDefaultPointSize;
    return std::clamp(size, kMinPointSize, kMaxPointSize);
}

// The resolution Qt sizes fonts for when no paint device is given. A font is set at the point
// size that gives a pixel size equal to our size at that resolution. (A font made for a 72 dpi
// device would do the same, but Qt then loses absolute letter spacing: it scales spacing by
// the integer quotient of the two resolutions.)
double qtFontDpi()
{
    const int dpi = qt_defaultDpiY();
    return dpi > 0 ? double(dpi) : 72.0;
}

} // namespace

struct Font::Metrics {
    QRawFont raw;
    double ascender = 0.0;
    double descender = 0.0;
    double leading = 0.0;
    double underlinePosition = 0.0;
    double underlineThickness = 0.0;
    Rect boundingRect;
};

Font::Font(FontFace face, double pointSize)
    : m_face(std::move(face))
    , m_pointSize(saneSize(pointSize))
{
}

std::optional<Font> Font::withName(const QString& name, double pointSize)
{
    return FontManager::shared().fontWithName(name, pointSize);
}

Font Font::withSize(double pointSize) const
{
    return Font(m_face, pointSize);
}

QFont Font::toQFont() const
{
    QFont font(m_face.family);
    if (!m_face.styleName.isEmpty())
        font.setStyleName(m_face.styleName);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(m_face.openTypeWeight, 100, 900)));
    font.setItalic(m_face.italic);
    font.setPointSizeF((m_pointSize > 0 ? m_pointSize : kDefaultPointSize) * 72.0 / qtFontDpi());
    font.setHintingPreference(QFont::PreferNoHinting);
    // The face's own weight and slant are asked for, so Qt has nothing to synthesise.
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

QRawFont Font::rawFont() const
{
    return metrics().raw;
}

// Metrics are read once per face and size for the whole process: fonts are copied freely
// (every run of every string holds one), and reading a face's tables means loading its file.
std::shared_ptr<Font::Metrics> Font::cachedMetrics(const FontFace& face, double size)
{
    static QMutex mutex;
    // Keyed by name and size as they are: a font made afresh for every run of an edit looks
    // its metrics up here, and spelling the size out costs more than the lookup.
    static QHash<QPair<QString, double>, std::shared_ptr<Metrics>> cache;
    const QPair<QString, double> key(face.postScriptName, size);
    QMutexLocker lock(&mutex);
    if (auto found = cache.value(key))
        return found;
    if (cache.size() > 512)
        cache.clear();
    auto m = std::make_shared<Metrics>();
    computeMetrics(face, size, *m);
    cache.insert(key, m);
    return m;
}

const Font::Metrics& Font::metrics() const
{
    if (!m_metrics)
        m_metrics = isNull() ? std::make_shared<Metrics>() : cachedMetrics(m_face, m_pointSize);
    return *m_metrics;
}

void Font::computeMetrics(const FontFace& face, double size, Metrics& metrics)
{
    Metrics* m = &metrics;
    const QFont qfont = Font(face, size).toQFont();
    {
        // The face's own file: Qt's matching may pick another copy of the same face (a Type 1
        // file) whose tables cannot be read.
        if (face.faceIndex == 0 && !face.filePath.isEmpty())
            m->raw = QRawFont(face.filePath, size, QFont::PreferNoHinting);
        if (!m->raw.isValid())
            m->raw = QRawFont::fromFont(qfont);
        const QFontMetricsF fm(qfont);
        // Lines follow the face's 'hhea' table. Qt may prefer the taller OS/2 Windows values
        // (Nimbus Sans: 1.374 of the size, where 'hhea' gives 1.0 and a line gap of 0.2).
        const auto hhea = m->raw.isValid()
            ? hheaLineMetrics(m->raw.fontTable("hhea"), m->raw.fontTable("head"))
            : std::nullopt;
        if (hhea) {
            m->ascender = hhea->ascender * size;
            m->descender = hhea->descender * size;
            m->leading = hhea->lineGap * size;
        } else if (m->raw.isValid()) {
            m->ascender = m->raw.ascent();
            m->descender = -m->raw.descent();
            m->leading = std::max(0.0, m->raw.leading());
        } else {
            m->ascender = fm.ascent();
            m->descender = -fm.descent();
            m->leading = std::max(0.0, fm.leading());
        }
        const double unitsPerEm = m->raw.isValid() ? m->raw.unitsPerEm() : 0.0;
        const double scale = unitsPerEm > 0 ? size / unitsPerEm : 0.0;

        const QByteArray post = m->raw.isValid() ? m->raw.fontTable("post") : QByteArray();
        const auto position = tableInt16(post, 8);
        const auto thickness = tableInt16(post, 10);
        if (scale > 0 && position && thickness && *thickness > 0) {
            m->underlinePosition = *position * scale;
            m->underlineThickness = *thickness * scale;
        } else {
            m->underlinePosition = -fm.underlinePos();
            m->underlineThickness = fm.lineWidth();
        }

        const QByteArray head = m->raw.isValid() ? m->raw.fontTable("head") : QByteArray();
        const auto xMin = tableInt16(head, 36), yMin = tableInt16(head, 38);
        const auto xMax = tableInt16(head, 40), yMax = tableInt16(head, 42);
        if (scale > 0 && xMin && yMin && xMax && yMax && *xMax >= *xMin && *yMax >= *yMin) {
            m->boundingRect = Rect(
                *xMin * scale, *yMin * scale, (*xMax - *xMin) * scale, (*yMax - *yMin) * scale);
        } else {
            m->boundingRect = Rect(0, m->descender, fm.maxWidth(), m->ascender - m->descender);
        }
    }
}

double Font::ascender() const
{
    return metrics().ascender;
}
double Font::descender() const
{
    return metrics().descender;
}
double Font::leading() const
{
    return metrics().leading;
}
double Font::lineHeight() const
{
    return ascender() - descender() + leading();
}
double Font::underlinePosition() const
{
    return metrics().underlinePosition;
}
double Font::underlineThickness() const
{
    return metrics().underlineThickness;
}
Rect Font::boundingRect() const
{
    return metrics().boundingRect;
}

double Font::advanceOf(const QString& text) const
{
    if (isNull())
        return 0.0;
    return QFontMetricsF(toQFont()).horizontalAdvance(text);
}

bool Font::operator==(const Font& other) const
{
    return m_face.postScriptName == other.m_face.postScriptName && m_pointSize == other.m_pointSize;
}

QString Font::attributeClassName()
{
    return QStringLiteral("NSFont");
}

} // namespace platform
