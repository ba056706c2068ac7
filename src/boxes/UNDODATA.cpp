#include "boxes/UNDODATA.h"

#include "boxes/BoxesLogging.h"
#include "platform/archive/ArchiveDictionary.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextValueCoding.h"

#include <algorithm>
#include <cmath>

using platform::ArchiveArray;
using platform::ArchiveDictionary;
using platform::ArchiveValue;
using platform::Color;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::Point;

namespace {

const bool registered = [] {
    platform::registerTextArchiveClasses();
    KeyedUnarchiver::registerClass(QStringLiteral("UNDODATA"), [](const KeyedUnarchiver& coder) {
        return std::make_shared<const UNDODATA>(UNDODATA::initWithCoder(coder));
    });
    return true;
}();

// ---- arrays of points and control values

ArchiveValue pointArray(const std::vector<Point>& points)
{
    ArchiveArray items;
    items.reserve(points.size());
    for (const Point& p : points)
        items.push_back(ArchiveValue::fromValue(p));
    return ArchiveValue::fromArray(std::move(items));
}

std::vector<Point> decodePointArray(const KeyedUnarchiver& coder, const QString& key)
{
    std::vector<Point> points;
    const auto items = coder.decodeArray(key);
    if (!items)
        return points;
    points.reserve(items->size());
    for (const ArchiveValue& item : *items) {
        if (const auto p = item.objectValue<Point>())
            points.push_back(*p);
        else
            qCWarning(lcBoxes) << "record: an entry of" << key << "is not a point; left out";
    }
    return points;
}

ArchiveValue controlArray(const std::vector<ControlValue>& values)
{
    ArchiveArray items;
    items.reserve(values.size());
    for (const ControlValue& v : values)
        items.push_back(v.toArchiveValue());
    return ArchiveValue::fromArray(std::move(items));
}

std::vector<ControlValue> decodeControlArray(const KeyedUnarchiver& coder, const QString& key)
{
    std::vector<ControlValue> values;
    const auto items = coder.decodeArray(key);
    if (!items)
        return values;
    values.reserve(items->size());
    for (const ArchiveValue& item : *items) {
        if (const auto v = ControlValue::fromArchiveValue(item)) {
            values.push_back(*v);
        } else {
            // Kept as 0 so that the values still line up with the points they belong to.
            qCWarning(lcBoxes) << "record: an entry of" << key << "is not a control value";
            values.push_back(ControlValue(qint64(0)));
        }
    }
    return values;
}

// ---- validation helpers: each fixes one value and says whether it had to

bool fixFinite(double& v, double fallback, const char* what)
{
    if (std::isfinite(v))
        return true;
    qCWarning(lcBoxes) << "record:" << what << "is not a finite number; using" << fallback;
    v = fallback;
    return false;
}

bool fixRange(double& v, double lo, double hi, double fallback, const char* what)
{
    if (!fixFinite(v, fallback, what))
        return false;
    if (v >= lo && v <= hi)
        return true;
    qCWarning(lcBoxes) << "record:" << what << v << "is out of range; clamped";
    v = std::clamp(v, lo, hi);
    return false;
}

bool fixInt(int& v, int lo, int hi, const char* what)
{
    if (v >= lo && v <= hi)
        return true;
    qCWarning(lcBoxes) << "record:" << what << v << "is out of range; clamped";
    v = std::clamp(v, lo, hi);
    return false;
}

bool fixColor(std::optional<Color>& c, const char* what)
{
    if (!c)
        return true;
    if (std::isfinite(c->red) && std::isfinite(c->green) && std::isfinite(c->blue)
        && std::isfinite(c->alpha))
        return true;
    qCWarning(lcBoxes) << "record:" << what << "has a non-finite component; dropped";
    c.reset();
    return false;
}

bool fixFill(std::optional<SZGradient>& fill, const char* what)
{
    if (!fill)
        return true;
    bool ok = fixFinite(fill->angle, 0.0, what);
    if (!std::isfinite(fill->opacity)) {
        qCWarning(lcBoxes) << "record:" << what << "opacity is not a number; using 1";
        fill->opacity = 1.0f;
        ok = false;
    }
    return ok;
}

bool fixPoints(std::vector<Point>& points, std::size_t maxCount, const char* what)
{
    bool ok = true;
    if (points.size() > maxCount) {
        qCWarning(lcBoxes) << "record:" << what << "has" << points.size() << "points; kept"
                           << maxCount;
        points.resize(maxCount);
        ok = false;
    }
    // Non-finite coordinates become 0 rather than dropping the point, so that points keep
    // their pairing with the control values.
    for (Point& p : points) {
        ok = fixFinite(p.x, 0.0, what) && ok;
        ok = fixFinite(p.y, 0.0, what) && ok;
    }
    return ok;
}

} // namespace

// ---- equality

bool UNDODATA::isEqualTo(const UNDODATA& o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case TextBox:
        if (!(fixedWidth == o.fixedWidth) || rtf != o.rtf)
            return false;
        break;
    case ImageBox:
        if (orgImage != o.orgImage || !(saturation == o.saturation))
            return false;
        break;
    case ShapeBox:
        if (points != o.points || controlVals != o.controlVals || shapeType != o.shapeType
            || startType != o.startType || endType != o.endType)
            return false;
        break;
    default:
        break;
    }
    if (overlayColor != o.overlayColor || backColor != o.backColor || borderColor != o.borderColor
        || strokeColor != o.strokeColor)
        return false;
    if (!(rotationAngle == o.rotationAngle) || borderSize != o.borderSize
        || strokeSize != o.strokeSize)
        return false;
    if (shadowColor != o.shadowColor || shadowAngle != o.shadowAngle
        || shadowOffsetSize != o.shadowOffsetSize || shadowBlurSize != o.shadowBlurSize)
        return false;
    if (innerShadowColor != o.innerShadowColor || innerShadowAngle != o.innerShadowAngle
        || innerShadowOffsetSize != o.innerShadowOffsetSize
        || innerShadowBlurSize != o.innerShadowBlurSize)
        return false;
    // Only text boxes draw the box shadow.
    if (type == TextBox
        && (boxShadowColor != o.boxShadowColor || boxShadowAngle != o.boxShadowAngle
            || boxShadowOffsetSize != o.boxShadowOffsetSize
            || boxShadowBlurSize != o.boxShadowBlurSize || isCircular != o.isCircular
            || isVertical != o.isVertical))
        return false;
    return horzPerspective == o.horzPerspective && vertPerspective == o.vertPerspective
        && curves == o.curves && frame.size.width == o.frame.size.width
        && frame.size.height == o.frame.size.height && layerOpacity == o.layerOpacity;
}

// ---- validation

bool UNDODATA::validate()
{
    bool ok = true;
    ok = fixFinite(rotationAngle, 0.0, "rotationAngle") && ok;
    ok = fixFill(overlayColor, "overlayColor") && ok;
    ok = fixFill(backColor, "backColor") && ok;
    ok = fixFill(borderColor, "borderColor") && ok;
    ok = fixFill(strokeColor, "strokeColor") && ok;
    ok = fixInt(borderSize, 0, kMaxLineSize, "borderSize") && ok;
    ok = fixInt(strokeSize, 0, kMaxLineSize, "strokeSize") && ok;
    ok = fixColor(shadowColor, "shadowColor") && ok;
    ok = fixColor(innerShadowColor, "innerShadowColor") && ok;
    ok = fixColor(boxShadowColor, "boxShadowColor") && ok;
    const int maxOffset = int(kMaxExtent);
    ok = fixInt(shadowBlurSize, 0, kMaxShadowSize, "shadowBlurSize") && ok;
    ok = fixInt(shadowOffsetSize, -maxOffset, maxOffset, "shadowOffsetSize") && ok;
    ok = fixInt(innerShadowBlurSize, 0, kMaxShadowSize, "innerShadowBlurSize") && ok;
    ok = fixInt(innerShadowOffsetSize, -maxOffset, maxOffset, "innerShadowOffsetSize") && ok;
    ok = fixInt(boxShadowBlurSize, 0, kMaxShadowSize, "boxShadowBlurSize") && ok;
    ok = fixInt(boxShadowOffsetSize, -maxOffset, maxOffset, "boxShadowOffsetSize") && ok;
    ok = fixRange(fixedWidth, 0.0, kMaxExtent, 0.0, "fixedWidth") && ok;
    ok = fixRange(frame.origin.x, -kMaxCoordinate, kMaxCoordinate, 0.0, "frame x") && ok;
    ok = fixRange(frame.origin.y, -kMaxCoordinate, kMaxCoordinate, 0.0, "frame y") && ok;
    ok = fixRange(frame.size.width, 0.0, kMaxExtent, 0.0, "frame width") && ok;
    ok = fixRange(frame.size.height, 0.0, kMaxExtent, 0.0, "frame height") && ok;
    ok = fixRange(layerOpacity, 0.0, 1.0, 1.0, "layerOpacity") && ok;
    ok = fixFinite(saturation, 1.0, "saturation") && ok;
    // The proportions kept on resize fall back to the box's own.
    ok = fixRange(orgWidth, 0.0, kMaxExtent, frame.size.width, "orgWidth") && ok;
    ok = fixRange(orgHeight, 0.0, kMaxExtent, frame.size.height, "orgHeight") && ok;
    ok = fixFinite(horzPerspective, 0.0, "horzPerspective") && ok;
    ok = fixFinite(vertPerspective, 0.0, "vertPerspective") && ok;
    ok = fixPoints(curves, kMaxCurvePoints, "curves") && ok;
    ok = fixPoints(points, kMaxShapePoints, "points") && ok;
    if (controlVals.size() > kMaxShapePoints) {
        qCWarning(lcBoxes) << "record: too many control values; kept" << kMaxShapePoints;
        controlVals.resize(kMaxShapePoints);
        ok = false;
    }
    for (ControlValue& v : controlVals) {
        if (!v.isFinite()) {
            qCWarning(lcBoxes) << "record: a control value is not finite; using 0";
            v = ControlValue(qint64(0));
            ok = false;
        }
    }
    if (type == ImageBox && orgImage.isNull()) {
        // Safe as it is: an image box without a picture draws its background and border.
        qCWarning(lcBoxes) << "record: an image box without a picture";
        ok = false;
    }
    return ok;
}

// ---- archive form

void UNDODATA::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeInt32(QStringLiteral("type"), type);
    switch (type) {
    case TextBox:
        encodeTextFields(coder);
        break;
    case ImageBox:
        coder.encodeObject(QStringLiteral("orgImage"), orgImage);
        coder.encodeFloat(QStringLiteral("saturation"), float(saturation));
        break;
    case ShapeBox:
        coder.encodeValue(QStringLiteral("points"), pointArray(points));
        coder.encodeValue(QStringLiteral("controlVals"), controlArray(controlVals));
        coder.encodeInt32(QStringLiteral("shapeType"), shapeType);
        coder.encodeInt32(QStringLiteral("startType"), startType);
        coder.encodeInt32(QStringLiteral("endType"), endType);
        coder.encodeBool(QStringLiteral("isDrawing"), isDrawing);
        break;
    default:
        break;
    }
    coder.encodeObject(QStringLiteral("overlayColor"), overlayColor);
    coder.encodeBool(QStringLiteral("isEditing"), isEditing);
    coder.encodeFloat(QStringLiteral("rotationAngle"), float(rotationAngle));
    coder.encodeBool(QStringLiteral("selected"), selected);
    coder.encodeObject(QStringLiteral("textBoxBackgroundColor"), backColor);
    coder.encodeObject(QStringLiteral("borderColor"), borderColor);
    coder.encodeInt32(QStringLiteral("borderSize"), borderSize);
    coder.encodeObject(QStringLiteral("shadowColor"), shadowColor);
    coder.encodeInt32(QStringLiteral("shadowAngle"), shadowAngle);
    coder.encodeInt32(QStringLiteral("shadowBlurSize"), shadowBlurSize);
    coder.encodeInt32(QStringLiteral("shadowOffsetSize"), shadowOffsetSize);
    coder.encodeObject(QStringLiteral("innershadowColor"), innerShadowColor);
    coder.encodeInt32(QStringLiteral("innershadowAngle"), innerShadowAngle);
    coder.encodeInt32(QStringLiteral("innershadowBlurSize"), innerShadowBlurSize);
    coder.encodeInt32(QStringLiteral("innershadowOffsetSize"), innerShadowOffsetSize);
    coder.encodeObject(QStringLiteral("boxshadowColor"), boxShadowColor);
    coder.encodeInt32(QStringLiteral("boxshadowAngle"), boxShadowAngle);
    coder.encodeInt32(QStringLiteral("boxshadowBlurSize"), boxShadowBlurSize);
    coder.encodeInt32(QStringLiteral("boxshadowOffsetSize"), boxShadowOffsetSize);
    coder.encodeFloat(QStringLiteral("horzPerspective"), float(horzPerspective));
    coder.encodeFloat(QStringLiteral("vertPerspective"), float(vertPerspective));
    coder.encodeValue(QStringLiteral("curves"), pointArray(curves));
    coder.encodeRect(QStringLiteral("frame"), frame);
    coder.encodeFloat(QStringLiteral("layerOpacity"), float(layerOpacity));
    coder.encodeFloat(QStringLiteral("orgWidth"), float(orgWidth));
    coder.encodeFloat(QStringLiteral("orgHeight"), float(orgHeight));
    coder.encodeBool(QStringLiteral("isCircular"), isCircular);
    coder.encodeBool(QStringLiteral("isVertical"), isVertical);
    coder.encodeObject(QStringLiteral("strokeColor"), strokeColor);
    coder.encodeInt32(QStringLiteral("strokeSize"), strokeSize);
}

void UNDODATA::encodeTextFields(KeyedArchiver& coder) const
{
    coder.encodeObject(QStringLiteral("rtf"), rtf);
    // The platform's unsigned range goes into signed 64-bit integers bit for bit.
    coder.encodeInt64(QStringLiteral("selectionRange.location"), qint64(selectionRange.location));
    coder.encodeInt64(QStringLiteral("selectionRange.length"), qint64(selectionRange.length));
    if (typingAttributes) {
        ArchiveDictionary dictionary;
        for (const auto& [key, value] : *typingAttributes) {
            const ArchiveValue v = platform::archiveValueOf(value);
            if (!v.isNull())
                dictionary.insert(key, v);
        }
        coder.encodeDictionary(QStringLiteral("typingAttributes"), dictionary);
    } else {
        coder.encodeNull(QStringLiteral("typingAttributes"));
    }
    coder.encodeBool(QStringLiteral("selectable"), selectable);
    coder.encodeBool(QStringLiteral("editable"), editable);
    coder.encodeFloat(QStringLiteral("fixedWidth"), float(fixedWidth));
}

void UNDODATA::decodeTextFields(const KeyedUnarchiver& coder)
{
    rtf = coder.decodeObject<platform::AttributedString>(QStringLiteral("rtf"));
    selectionRange.location
        = std::uint64_t(coder.decodeInt64(QStringLiteral("selectionRange.location")));
    selectionRange.length
        = std::uint64_t(coder.decodeInt64(QStringLiteral("selectionRange.length")));
    if (const auto dictionary = coder.decodeDictionary(QStringLiteral("typingAttributes"))) {
        platform::AttributeDictionary attributes;
        for (const auto& [key, value] : *dictionary) {
            platform::AttributeValue attribute = platform::attributeValueOf(value);
            if (!attribute.isNull())
                attributes[key] = std::move(attribute);
        }
        typingAttributes = std::move(attributes);
    }
    selectable = coder.decodeBool(QStringLiteral("selectable"));
    editable = coder.decodeBool(QStringLiteral("editable"));
    fixedWidth = coder.decodeFloat(QStringLiteral("fixedWidth"));
}

UNDODATA UNDODATA::initWithCoder(const KeyedUnarchiver& coder)
{
    UNDODATA r;
    r.type = coder.decodeInt32(QStringLiteral("type"));
    switch (r.type) {
    case TextBox:
        r.decodeTextFields(coder);
        break;
    case ImageBox:
        r.orgImage = coder.decodeObject<platform::Image>(QStringLiteral("orgImage"))
                         .value_or(platform::Image());
        r.saturation = coder.decodeFloat(QStringLiteral("saturation"));
        break;
    case ShapeBox:
        r.points = decodePointArray(coder, QStringLiteral("points"));
        r.controlVals = decodeControlArray(coder, QStringLiteral("controlVals"));
        r.shapeType = coder.decodeInt32(QStringLiteral("shapeType"));
        r.startType = coder.decodeInt32(QStringLiteral("startType"));
        r.endType = coder.decodeInt32(QStringLiteral("endType"));
        r.isDrawing = coder.decodeBool(QStringLiteral("isDrawing"));
        break;
    default:
        break;
    }
    r.overlayColor = coder.decodeObject<SZGradient>(QStringLiteral("overlayColor"));
    r.isEditing = coder.decodeBool(QStringLiteral("isEditing"));
    r.rotationAngle = coder.decodeFloat(QStringLiteral("rotationAngle"));
    r.selected = coder.decodeBool(QStringLiteral("selected"));
    r.backColor = coder.decodeObject<SZGradient>(QStringLiteral("textBoxBackgroundColor"));
    r.borderColor = coder.decodeObject<SZGradient>(QStringLiteral("borderColor"));
    r.borderSize = coder.decodeInt32(QStringLiteral("borderSize"));
    r.shadowColor = coder.decodeObject<Color>(QStringLiteral("shadowColor"));
    r.shadowAngle = coder.decodeInt32(QStringLiteral("shadowAngle"));
    r.shadowBlurSize = coder.decodeInt32(QStringLiteral("shadowBlurSize"));
    r.shadowOffsetSize = coder.decodeInt32(QStringLiteral("shadowOffsetSize"));
    r.innerShadowColor = coder.decodeObject<Color>(QStringLiteral("innershadowColor"));
    r.innerShadowAngle = coder.decodeInt32(QStringLiteral("innershadowAngle"));
    r.innerShadowBlurSize = coder.decodeInt32(QStringLiteral("innershadowBlurSize"));
    r.innerShadowOffsetSize = coder.decodeInt32(QStringLiteral("innershadowOffsetSize"));
    r.boxShadowColor = coder.decodeObject<Color>(QStringLiteral("boxshadowColor"));
    r.boxShadowAngle = coder.decodeInt32(QStringLiteral("boxshadowAngle"));
    r.boxShadowBlurSize = coder.decodeInt32(QStringLiteral("boxshadowBlurSize"));
    r.boxShadowOffsetSize = coder.decodeInt32(QStringLiteral("boxshadowOffsetSize"));
    r.horzPerspective = coder.decodeFloat(QStringLiteral("horzPerspective"));
    r.vertPerspective = coder.decodeFloat(QStringLiteral("vertPerspective"));
    r.curves = decodePointArray(coder, QStringLiteral("curves"));
    r.frame = coder.decodeRect(QStringLiteral("frame"));
    // Older records lack the key; they were drawn fully opaque.
    const QString opacityKey = QStringLiteral("layerOpacity");
    r.layerOpacity = coder.containsValueForKey(opacityKey) ? coder.decodeFloat(opacityKey) : 1.0;
    r.orgWidth = coder.decodeFloat(QStringLiteral("orgWidth"));
    r.orgHeight = coder.decodeFloat(QStringLiteral("orgHeight"));
    r.isCircular = coder.decodeBool(QStringLiteral("isCircular"));
    r.isVertical = coder.decodeBool(QStringLiteral("isVertical"));
    r.strokeColor = coder.decodeObject<SZGradient>(QStringLiteral("strokeColor"));
    r.strokeSize = coder.decodeInt32(QStringLiteral("strokeSize"));
    r.validate();
    return r;
}

QStringList UNDODATA::allowedClasses()
{
    return { QStringLiteral("UNDODATA"), QStringLiteral("NSAttributedString"),
        QStringLiteral("NSDictionary"), QStringLiteral("SZGradient"), QStringLiteral("NSColor"),
        QStringLiteral("NSGradient"), QStringLiteral("NSMutableParagraphStyle"),
        QStringLiteral("NSFont"), QStringLiteral("NSMutableArray"), QStringLiteral("NSValue"),
        QStringLiteral("CIImage") };
}

QByteArray UNDODATA::encodeToData() const
{
    QString error;
    QByteArray data = KeyedArchiver::archivedData(*this, true, &error);
    if (data.isEmpty())
        qCDebug(lcBoxes).noquote() << error;
    return data;
}

std::optional<UNDODATA> UNDODATA::decodeFromData(const QByteArray& data)
{
    const KeyedUnarchiver::Result result = KeyedUnarchiver::unarchive(data, allowedClasses());
    if (!result.ok()) {
        qCDebug(lcBoxes).noquote() << result.error;
        return std::nullopt;
    }
    const auto record = result.root.objectPointer<UNDODATA>();
    if (!record) {
        qCDebug(lcBoxes) << "the archive holds no box record";
        return std::nullopt;
    }
    return *record;
}
