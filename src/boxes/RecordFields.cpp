#include "boxes/RecordFields.h"

#include "boxes/BoxesLogging.h"
#include "platform/archive/ArchiveDictionary.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextValueCoding.h"

#include <cmath>

using platform::ArchiveArray;
using platform::ArchiveDictionary;
using platform::ArchiveValue;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::Point;

namespace record {

namespace {

// The table's keys are string literals: no copy is made of them.
QString keyString(QStringView key)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(key.utf16()), key.size());
}

bool fixFinite(double& v, double fallback, QStringView what)
{
    if (std::isfinite(v))
        return true;
    qCWarning(lcBoxes) << "record:" << what << "is not a finite number; using" << fallback;
    v = fallback;
    return false;
}

bool fixRange(double& v, double lo, double hi, double fallback, QStringView what)
{
    if (!fixFinite(v, fallback, what))
        return false;
    if (v >= lo && v <= hi)
        return true;
    qCWarning(lcBoxes) << "record:" << what << v << "is out of range; clamped";
    v = std::clamp(v, lo, hi);
    return false;
}

} // namespace

// ---- numbers

void Int32::encode(KeyedArchiver& coder, QStringView key, int value)
{
    coder.encodeInt32(keyString(key), value);
}

void Int32::decode(const KeyedUnarchiver& coder, QStringView key, int& value)
{
    value = coder.decodeInt32(keyString(key));
}

bool Int32::fix(int& value, const Bounds& bounds, const UNDODATA&, QStringView key)
{
    if (value >= bounds.lo && value <= bounds.hi)
        return true;
    qCWarning(lcBoxes) << "record:" << key << value << "is out of range; clamped";
    value = held(value, bounds);
    return false;
}

void Bool::encode(KeyedArchiver& coder, QStringView key, bool value)
{
    coder.encodeBool(keyString(key), value);
}

void Bool::decode(const KeyedUnarchiver& coder, QStringView key, bool& value)
{
    value = coder.decodeBool(keyString(key));
}

void Float::encode(KeyedArchiver& coder, QStringView key, double value)
{
    coder.encodeFloat(keyString(key), float(value));
}

void Float::decode(const KeyedUnarchiver& coder, QStringView key, double& value)
{
    // The one coding whose fields may start other than 0 (layerOpacity starts at 1): an absent
    // key keeps the new record's value.
    const QString k = keyString(key);
    if (coder.containsValueForKey(k))
        value = coder.decodeFloat(k);
}

bool Float::fix(double& value, const Bounds& bounds, const UNDODATA& record, QStringView key)
{
    const double fallback = bounds.fallbackOf ? bounds.fallbackOf(record) : bounds.fallback;
    return fixRange(value, bounds.lo, bounds.hi, fallback, key);
}

void Frame::encode(KeyedArchiver& coder, QStringView key, const Value& value)
{
    coder.encodeRect(keyString(key), value);
}

void Frame::decode(const KeyedUnarchiver& coder, QStringView key, Value& value)
{
    value = coder.decodeRect(keyString(key));
}

bool Frame::fix(Value& frame, const Bounds& bounds, const UNDODATA&, QStringView)
{
    const double c = bounds.maxCoordinate;
    bool ok = fixRange(frame.origin.x, -c, c, 0.0, u"frame x");
    ok = fixRange(frame.origin.y, -c, c, 0.0, u"frame y") && ok;
    ok = fixRange(frame.size.width, 0.0, bounds.maxExtent, 0.0, u"frame width") && ok;
    ok = fixRange(frame.size.height, 0.0, bounds.maxExtent, 0.0, u"frame height") && ok;
    return ok;
}

// ---- objects

template <class T> void Object<T>::encode(KeyedArchiver& coder, QStringView key, const Value& value)
{
    coder.encodeObject(keyString(key), value);
}

template <class T>
void Object<T>::decode(const KeyedUnarchiver& coder, QStringView key, Value& value)
{
    value = coder.decodeObject<T>(keyString(key));
}

template <class T> bool Object<T>::fix(Value&, const Bounds&, const UNDODATA&, QStringView)
{
    return true;
}

template <>
bool Object<SZGradient>::fix(Value& fill, const Bounds&, const UNDODATA&, QStringView key)
{
    if (!fill)
        return true;
    bool ok = fixFinite(fill->angle, 0.0, key);
    if (!std::isfinite(fill->opacity)) {
        qCWarning(lcBoxes) << "record:" << key << "opacity is not a number; using 1";
        fill->opacity = 1.0f;
        ok = false;
    }
    return ok;
}

template <>
bool Object<platform::Color>::fix(Value& c, const Bounds&, const UNDODATA&, QStringView key)
{
    if (!c)
        return true;
    if (std::isfinite(c->red) && std::isfinite(c->green) && std::isfinite(c->blue)
        && std::isfinite(c->alpha))
        return true;
    qCWarning(lcBoxes) << "record:" << key << "has a non-finite component; dropped";
    c.reset();
    return false;
}

template struct Object<SZGradient>;
template struct Object<platform::Color>;
template struct Object<platform::AttributedString>;

bool RichText::fix(Value& text, const Bounds& bounds, const UNDODATA&, QStringView key)
{
    if (countOf(text) <= bounds.maxCount)
        return true;
    qsizetype kept = qsizetype(bounds.maxCount);
    if (kept > 0 && text->string().at(kept - 1).isHighSurrogate())
        --kept;
    qCWarning(lcBoxes) << "record:" << key << "has" << text->length() << "characters; kept" << kept;
    text = text->attributedSubstring(platform::TextRange(0, kept));
    return false;
}

void Picture::encode(KeyedArchiver& coder, QStringView key, const Value& value)
{
    coder.encodeObject(keyString(key), value);
}

void Picture::decode(const KeyedUnarchiver& coder, QStringView key, Value& value)
{
    value = coder.decodeObject<platform::Image>(keyString(key)).value_or(platform::Image());
}

bool Picture::fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key)
{
    if (!value.isNull() || !includes(bounds.requiredBy, record.type))
        return true;
    // Safe as it is: the box draws its background and border.
    qCWarning(lcBoxes) << "record: a box that shows a picture has none in" << key;
    return false;
}

// ---- arrays

void Points::encode(KeyedArchiver& coder, QStringView key, const Value& points)
{
    ArchiveArray items;
    items.reserve(points.size());
    for (const Point& p : points)
        items.push_back(ArchiveValue::fromValue(p));
    coder.encodeValue(keyString(key), ArchiveValue::fromArray(std::move(items)));
}

void Points::decode(const KeyedUnarchiver& coder, QStringView key, Value& points)
{
    points.clear();
    const auto items = coder.decodeArray(keyString(key));
    if (!items)
        return;
    points.reserve(items->size());
    for (const ArchiveValue& item : *items) {
        if (const auto p = item.objectValue<Point>())
            points.push_back(*p);
        else
            qCWarning(lcBoxes) << "record: an entry of" << key << "is not a point; left out";
    }
}

bool Points::fix(Value& points, const Bounds& bounds, const UNDODATA&, QStringView key)
{
    bool ok = true;
    if (points.size() > bounds.maxCount) {
        qCWarning(lcBoxes) << "record:" << key << "has" << points.size() << "points; kept"
                           << bounds.maxCount;
        points.resize(bounds.maxCount);
        ok = false;
    }
    for (Point& p : points) {
        ok = fixFinite(p.x, 0.0, key) && ok;
        ok = fixFinite(p.y, 0.0, key) && ok;
    }
    return ok;
}

void Controls::encode(KeyedArchiver& coder, QStringView key, const Value& values)
{
    ArchiveArray items;
    items.reserve(values.size());
    for (const ControlValue& v : values)
        items.push_back(v.toArchiveValue());
    coder.encodeValue(keyString(key), ArchiveValue::fromArray(std::move(items)));
}

void Controls::decode(const KeyedUnarchiver& coder, QStringView key, Value& values)
{
    values.clear();
    const auto items = coder.decodeArray(keyString(key));
    if (!items)
        return;
    values.reserve(items->size());
    for (const ArchiveValue& item : *items) {
        if (const auto v = ControlValue::fromArchiveValue(item)) {
            values.push_back(*v);
        } else {
            qCWarning(lcBoxes) << "record: an entry of" << key << "is not a control value";
            values.push_back(ControlValue(qint64(0)));
        }
    }
}

bool Controls::fix(Value& values, const Bounds& bounds, const UNDODATA&, QStringView key)
{
    bool ok = true;
    if (values.size() > bounds.maxCount) {
        qCWarning(lcBoxes) << "record:" << key << "has too many values; kept" << bounds.maxCount;
        values.resize(bounds.maxCount);
        ok = false;
    }
    for (ControlValue& v : values) {
        if (!v.isFinite()) {
            qCWarning(lcBoxes) << "record: a value of" << key << "is not finite; using 0";
            v = ControlValue(qint64(0));
            ok = false;
        }
    }
    return ok;
}

// ---- text state

void Range::encode(KeyedArchiver& coder, QStringView key, const Value& range)
{
    coder.encodeInt64(key.toString() + QLatin1String(".location"), qint64(range.location));
    coder.encodeInt64(key.toString() + QLatin1String(".length"), qint64(range.length));
}

void Range::decode(const KeyedUnarchiver& coder, QStringView key, Value& range)
{
    range.location = std::uint64_t(coder.decodeInt64(key.toString() + QLatin1String(".location")));
    range.length = std::uint64_t(coder.decodeInt64(key.toString() + QLatin1String(".length")));
}

void Attributes::encode(KeyedArchiver& coder, QStringView key, const Value& attributes)
{
    if (!attributes) {
        coder.encodeNull(keyString(key));
        return;
    }
    ArchiveDictionary dictionary;
    for (const auto& [name, value] : *attributes) {
        const ArchiveValue v = platform::archiveValueOf(value);
        if (!v.isNull())
            dictionary.insert(name, v);
    }
    coder.encodeDictionary(keyString(key), dictionary);
}

void Attributes::decode(const KeyedUnarchiver& coder, QStringView key, Value& attributes)
{
    const auto dictionary = coder.decodeDictionary(keyString(key));
    if (!dictionary)
        return;
    platform::AttributeDictionary read;
    for (const auto& [name, value] : *dictionary) {
        platform::AttributeValue attribute = platform::attributeValueOf(value);
        if (!attribute.isNull())
            read[name] = std::move(attribute);
    }
    attributes = std::move(read);
}

// ---- derived

bool sameRecord(const UNDODATA& a, const UNDODATA& b)
{
    const Kinds kind = kindOf(a.type);
    return a.type == b.type && everyField([&](const auto& f) {
        return !(f.holders & kind) || a.*f.member == b.*f.member;
    });
}

} // namespace record
