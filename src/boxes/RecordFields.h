#pragma once
// The fields of a box record, each declared once: its archive key, how it is written, which
// kinds of record hold it, which kinds draw it, and the bounds a record is held to. The record's
// encoding, decoding, validation, both equalities (isEqualTo and sameRecord) and the change
// messages' clamps are derived from this one table, so that no field can be known to one of
// them and forgotten by another.
//
// The table's order is the archive's order: "type", then the keys of each kind, then the keys
// every record has. Validation runs in the same order (orgWidth falls back to the frame's width,
// which is held before it).
//
// Adding a field: declare it in UNDODATA, add its row here, and map it to the box in the box
// class's getUndoData and setUndoData.
#include "boxes/UNDODATA.h"

#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <limits>
#include <tuple>
#include <type_traits>

namespace platform {
class KeyedArchiver;
class KeyedUnarchiver;
} // namespace platform

namespace record {

// Sets of record kinds.
enum Kinds : unsigned {
    NoKind = 0,
    TextKind = 1u << 0,
    ImageKind = 1u << 1,
    ShapeKind = 1u << 2,
    // A type other than 0, 1 or 2: such a record is kept and written, but makes no box.
    OtherKind = 1u << 3,
    EveryKind = TextKind | ImageKind | ShapeKind | OtherKind,
};

constexpr Kinds operator|(Kinds a, Kinds b)
{
    return Kinds(unsigned(a) | unsigned(b));
}

// The kind of a record of this type.
constexpr Kinds kindOf(int type)
{
    return type == UNDODATA::TextBox ? TextKind
        : type == UNDODATA::ImageBox ? ImageKind
        : type == UNDODATA::ShapeBox ? ShapeKind
                                     : OtherKind;
}

// Whether a record of this type belongs to the set.
constexpr bool includes(Kinds kinds, int type)
{
    return (kinds & kindOf(type)) != 0;
}

// ---- how fields are written, read, held and compared
//
// Each coding reads with decode(): an absent key gives the value a new record has (0, false or
// empty, which the readers answer for an absent key, except that Float keeps the record's own
// start value, layerOpacity's 1), and a value of a wrong kind reads 0, false or empty. fix() brings
// a value within the field's bounds with a log line and answers whether it already was;
// samePicture() answers whether two values draw alike.

// A 32-bit integer.
struct Int32 {
    using Value = int;
    struct Bounds {
        int lo = std::numeric_limits<int>::min();
        int hi = std::numeric_limits<int>::max();
    };
    static void encode(platform::KeyedArchiver& coder, QStringView key, int value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, int& value);
    static bool fix(int& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
    static constexpr int held(int value, const Bounds& bounds)
    {
        return std::clamp(value, bounds.lo, bounds.hi);
    }
};

struct Bool {
    using Value = bool;
    struct Bounds { };
    static void encode(platform::KeyedArchiver& coder, QStringView key, bool value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, bool& value);
    static bool fix(bool&, const Bounds&, const UNDODATA&, QStringView) { return true; }
};

// A double written as a 32-bit float. A value that is not finite becomes the fallback (or,
// with fallbackOf, a value the record gives); one outside lo..hi is clamped.
struct Float {
    using Value = double;
    struct Bounds {
        double lo = -std::numeric_limits<double>::infinity();
        double hi = std::numeric_limits<double>::infinity();
        double fallback = 0.0;
        double (*fallbackOf)(const UNDODATA&) = nullptr;
    };
    static void encode(platform::KeyedArchiver& coder, QStringView key, double value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, double& value);
    static bool fix(double& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
    // The caller refuses values that are not finite.
    static constexpr double held(double value, const Bounds& bounds)
    {
        return std::clamp(value, bounds.lo, bounds.hi);
    }
};

// The frame, written at full double precision. Its origin does not change the picture.
struct Frame {
    using Value = platform::Rect;
    struct Bounds {
        double maxCoordinate = 0.0; // origin within ±this
        double maxExtent = 0.0; // sides within 0..this
    };
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
    static bool samePicture(const Value& a, const Value& b)
    {
        return a.size.width == b.size.width && a.size.height == b.size.height;
    }
};

// An archived object; an absent value writes a null object and reads back absent. A fill or a
// colour with a component that is not finite is held: a fill's angle becomes 0 and its opacity
// 1, a colour is dropped.
template <class T> struct Object {
    using Value = std::optional<T>;
    struct Bounds { };
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
};
template <>
bool Object<SZGradient>::fix(Value& value, const Bounds&, const UNDODATA&, QStringView key);
template <>
bool Object<platform::Color>::fix(Value& value, const Bounds&, const UNDODATA&, QStringView key);

using Fill = Object<SZGradient>;
using ColorObject = Object<platform::Color>;

// Codings of lists that a record holds to maxCount entries name what they count, so that a
// reader that had to cut one can say so (a cut is noted on the coder by UNDODATA::initWithCoder):
// countOf() counts a value, Bounds::thing names what holds it, kUnit what it counts.

// A text of at most maxCount characters (UTF-16 units); a longer one keeps its first ones, not
// splitting a character in two.
struct RichText : Object<platform::AttributedString> {
    struct Bounds {
        std::size_t maxCount = 0;
        const char* thing = "text";
    };
    static constexpr const char* kUnit = "characters";
    static std::size_t countOf(const Value& text) { return text ? std::size_t(text->length()) : 0; }
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
};

// A picture object. The kinds in requiredBy cannot show without one (the record is kept: such a
// box draws its background and border).
struct Picture {
    using Value = platform::Image;
    struct Bounds {
        Kinds requiredBy = NoKind;
    };
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
};

// An array of point values, at most maxCount of them; a coordinate that is not finite becomes 0
// (the point is kept, so that shape points stay paired with their control values).
struct Points {
    using Value = std::vector<platform::Point>;
    struct Bounds {
        std::size_t maxCount = 0;
        const char* thing = "";
    };
    static constexpr const char* kUnit = "points";
    static std::size_t countOf(const Value& points) { return points.size(); }
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
};

// An array of control values, at most maxCount; an entry that is unreadable or not finite reads
// as 0, so that the values still line up with the points they belong to.
struct Controls {
    using Value = std::vector<ControlValue>;
    struct Bounds {
        std::size_t maxCount = 0;
        const char* thing = "";
    };
    static constexpr const char* kUnit = "control values";
    static std::size_t countOf(const Value& values) { return values.size(); }
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value& value, const Bounds& bounds, const UNDODATA& record, QStringView key);
};

// A character range as two 64-bit integers under "<key>.location" and "<key>.length"; the
// unsigned values go in bit for bit.
struct Range {
    using Value = UNDODATA::SelectionRange;
    struct Bounds { };
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value&, const Bounds&, const UNDODATA&, QStringView) { return true; }
};

// A dictionary of text attributes, or a null object when the record has none. Attributes
// without an archive form are left out.
struct Attributes {
    using Value = std::optional<platform::AttributeDictionary>;
    struct Bounds { };
    static void encode(platform::KeyedArchiver& coder, QStringView key, const Value& value);
    static void decode(const platform::KeyedUnarchiver& coder, QStringView key, Value& value);
    static bool fix(Value&, const Bounds&, const UNDODATA&, QStringView) { return true; }
};

// ---- the table

// One field: what is how a person is told of it ("frame": a box was opened without its frame);
// holders are the kinds whose records write and read it; drawnBy the kinds whose picture it
// changes (isEqualTo compares it for those).
template <class C> struct Field {
    using Coding = C;
    QStringView key;
    const char* what;
    typename C::Value UNDODATA::*member;
    Kinds holders;
    Kinds drawnBy;
    typename C::Bounds bounds {};
};

template <class C>
constexpr Field<C> field(QStringView key, const char* what, typename C::Value UNDODATA::*member,
    Kinds holders, Kinds drawnBy, typename C::Bounds bounds = {})
{
    return { key, what, member, holders, drawnBy, bounds };
}

inline constexpr Int32::Bounds kLineSize { 0, UNDODATA::kMaxLineSize };
inline constexpr Int32::Bounds kShadowSize { 0, UNDODATA::kMaxShadowSize };
inline constexpr Int32::Bounds kShadowOffset { -int(UNDODATA::kMaxExtent),
    int(UNDODATA::kMaxExtent) };
// The perspective factors are floats on the box.
inline constexpr Float::Bounds kFloatRange { -double(std::numeric_limits<float>::max()),
    double(std::numeric_limits<float>::max()) };

inline constexpr auto kFields = std::tuple {
    field<Int32>(u"type", "kind", &UNDODATA::type, EveryKind, EveryKind),

    field<RichText>(
        u"rtf", "text", &UNDODATA::rtf, TextKind, TextKind, { UNDODATA::kMaxTextLength }),
    field<Range>(u"selectionRange", "text selection", &UNDODATA::selectionRange, TextKind, NoKind),
    field<Attributes>(
        u"typingAttributes", "typing style", &UNDODATA::typingAttributes, TextKind, NoKind),
    field<Bool>(u"selectable", "selectable setting", &UNDODATA::selectable, TextKind, NoKind),
    field<Bool>(u"editable", "editable setting", &UNDODATA::editable, TextKind, NoKind),
    field<Float>(u"fixedWidth", "fixed width", &UNDODATA::fixedWidth, TextKind, TextKind,
        { .lo = 0.0, .hi = UNDODATA::kMaxExtent }),

    field<Picture>(u"orgImage", "picture", &UNDODATA::orgImage, ImageKind, ImageKind,
        { .requiredBy = ImageKind }),
    field<Float>(u"saturation", "saturation", &UNDODATA::saturation, ImageKind, ImageKind,
        { .fallback = 1.0 }),

    field<Points>(u"points", "points", &UNDODATA::points, ShapeKind, ShapeKind,
        { UNDODATA::kMaxShapePoints, "shape" }),
    field<Controls>(u"controlVals", "control values", &UNDODATA::controlVals, ShapeKind, ShapeKind,
        { UNDODATA::kMaxShapePoints, "shape" }),
    field<Int32>(u"shapeType", "shape", &UNDODATA::shapeType, ShapeKind, ShapeKind),
    field<Int32>(u"startType", "start arrow", &UNDODATA::startType, ShapeKind, ShapeKind),
    field<Int32>(u"endType", "end arrow", &UNDODATA::endType, ShapeKind, ShapeKind),
    field<Bool>(u"isDrawing", "drawing state", &UNDODATA::isDrawing, ShapeKind, NoKind),

    field<Fill>(u"overlayColor", "overlay color", &UNDODATA::overlayColor, EveryKind, EveryKind),
    field<Bool>(u"isEditing", "editing state", &UNDODATA::isEditing, EveryKind, NoKind),
    field<Float>(u"rotationAngle", "rotation", &UNDODATA::rotationAngle, EveryKind, EveryKind),
    field<Bool>(u"selected", "selected state", &UNDODATA::selected, EveryKind, NoKind),
    field<Fill>(
        u"textBoxBackgroundColor", "background", &UNDODATA::backColor, EveryKind, EveryKind),
    field<Fill>(u"borderColor", "border color", &UNDODATA::borderColor, EveryKind, EveryKind),
    field<Int32>(
        u"borderSize", "border width", &UNDODATA::borderSize, EveryKind, EveryKind, kLineSize),
    field<ColorObject>(
        u"shadowColor", "shadow color", &UNDODATA::shadowColor, EveryKind, EveryKind),
    field<Int32>(u"shadowAngle", "shadow angle", &UNDODATA::shadowAngle, EveryKind, EveryKind),
    field<Int32>(u"shadowBlurSize", "shadow blur", &UNDODATA::shadowBlurSize, EveryKind, EveryKind,
        kShadowSize),
    field<Int32>(u"shadowOffsetSize", "shadow distance", &UNDODATA::shadowOffsetSize, EveryKind,
        EveryKind, kShadowOffset),
    field<ColorObject>(u"innershadowColor", "inner shadow color", &UNDODATA::innerShadowColor,
        EveryKind, EveryKind),
    field<Int32>(u"innershadowAngle", "inner shadow angle", &UNDODATA::innerShadowAngle, EveryKind,
        EveryKind),
    field<Int32>(u"innershadowBlurSize", "inner shadow blur", &UNDODATA::innerShadowBlurSize,
        EveryKind, EveryKind, kShadowSize),
    field<Int32>(u"innershadowOffsetSize", "inner shadow distance",
        &UNDODATA::innerShadowOffsetSize, EveryKind, EveryKind, kShadowOffset),
    // Only text boxes draw the box shadow.
    field<ColorObject>(
        u"boxshadowColor", "box shadow color", &UNDODATA::boxShadowColor, EveryKind, TextKind),
    field<Int32>(
        u"boxshadowAngle", "box shadow angle", &UNDODATA::boxShadowAngle, EveryKind, TextKind),
    field<Int32>(u"boxshadowBlurSize", "box shadow blur", &UNDODATA::boxShadowBlurSize, EveryKind,
        TextKind, kShadowSize),
    field<Int32>(u"boxshadowOffsetSize", "box shadow distance", &UNDODATA::boxShadowOffsetSize,
        EveryKind, TextKind, kShadowOffset),
    field<Float>(u"horzPerspective", "horizontal perspective", &UNDODATA::horzPerspective,
        EveryKind, EveryKind, kFloatRange),
    field<Float>(u"vertPerspective", "vertical perspective", &UNDODATA::vertPerspective, EveryKind,
        EveryKind, kFloatRange),
    field<Points>(u"curves", "warp curve", &UNDODATA::curves, EveryKind, EveryKind,
        { UNDODATA::kMaxCurvePoints, "warp curve" }),
    field<Frame>(u"frame", "frame", &UNDODATA::frame, EveryKind, EveryKind,
        { UNDODATA::kMaxCoordinate, UNDODATA::kMaxExtent }),
    field<Float>(u"layerOpacity", "opacity", &UNDODATA::layerOpacity, EveryKind, EveryKind,
        { .lo = 0.0, .hi = 1.0, .fallback = 1.0 }),
    // The proportions kept on resize fall back to the box's own.
    field<Float>(u"orgWidth", "original width", &UNDODATA::orgWidth, EveryKind, NoKind,
        { .lo = 0.0,
            .hi = UNDODATA::kMaxExtent,
            .fallbackOf = [](const UNDODATA& r) { return r.frame.size.width; } }),
    field<Float>(u"orgHeight", "original height", &UNDODATA::orgHeight, EveryKind, NoKind,
        { .lo = 0.0,
            .hi = UNDODATA::kMaxExtent,
            .fallbackOf = [](const UNDODATA& r) { return r.frame.size.height; } }),
    field<Bool>(u"isCircular", "circle setting", &UNDODATA::isCircular, EveryKind, TextKind),
    field<Bool>(u"isVertical", "vertical setting", &UNDODATA::isVertical, EveryKind, TextKind),
    field<Fill>(u"strokeColor", "stroke color", &UNDODATA::strokeColor, EveryKind, EveryKind),
    field<Int32>(
        u"strokeSize", "stroke width", &UNDODATA::strokeSize, EveryKind, EveryKind, kLineSize),
};

inline constexpr std::size_t kFieldCount = std::tuple_size_v<decltype(kFields)>;

// ---- walking the table

// Calls visit(field) for every field, in table order.
template <class Visit> constexpr void forEachField(Visit&& visit)
{
    std::apply([&](const auto&... fields) { (visit(fields), ...); }, kFields);
}

// Whether test(field) holds for every field; stops at the first that fails.
template <class Test> constexpr bool everyField(Test&& test)
{
    return std::apply([&](const auto&... fields) { return (test(fields) && ...); }, kFields);
}

template <class F> using CodingOf = typename std::remove_cvref_t<F>::Coding;

// Whether a record of this type makes no box without the field (a picture box without its
// picture, Picture::Bounds::requiredBy): its reader leaves such a box out whole and tells of the
// box, not of the field.
template <class F> constexpr bool requiredBy(const F& f, int type)
{
    if constexpr (requires { f.bounds.requiredBy; })
        return includes(f.bounds.requiredBy, type);
    else
        return false;
}

// Two values draw alike: by the coding's own rule where it has one, else equal.
template <class C, class V> bool samePicture(const V& a, const V& b)
{
    if constexpr (requires { C::samePicture(a, b); })
        return C::samePicture(a, b);
    else
        return a == b;
}

// The drop shadow's fields: the shadow is cast from the box's picture each time the picture is
// put down, so they do not change the picture itself.
inline constexpr auto kDropShadowMembers = std::tuple { &UNDODATA::shadowColor,
    &UNDODATA::shadowAngle, &UNDODATA::shadowBlurSize, &UNDODATA::shadowOffsetSize };

template <class M> constexpr bool isDropShadowMember(M member)
{
    return std::apply(
        [&](const auto... shadow) {
            return ([&] {
                if constexpr (std::is_same_v<std::remove_cv_t<decltype(shadow)>, M>)
                    return shadow == member;
                else
                    return false;
            }() || ...);
        },
        kDropShadowMembers);
}

static_assert(isDropShadowMember(&UNDODATA::shadowColor)
    && isDropShadowMember(&UNDODATA::shadowBlurSize) && !isDropShadowMember(&UNDODATA::borderSize)
    && !isDropShadowMember(&UNDODATA::boxShadowColor));

// The same box state: the same type and every field the type holds equal (the frame whole).
// What a container snapshot compares.
bool sameRecord(const UNDODATA& a, const UNDODATA& b);

// ---- one field by its member

template <auto Member> constexpr std::size_t indexOf()
{
    std::size_t found = kFieldCount;
    std::size_t i = 0;
    forEachField([&](const auto& f) {
        if constexpr (std::is_same_v<decltype(f.member), decltype(Member)>) {
            if (f.member == Member && found == kFieldCount)
                found = i;
        }
        ++i;
    });
    return found;
}

template <auto Member> constexpr const auto& fieldOf()
{
    constexpr std::size_t index = indexOf<Member>();
    static_assert(index < kFieldCount, "not a field of the record table");
    return std::get<index>(kFields);
}

// A value as the record holds the field: clamped to the field's bounds. What the change
// messages store, so that a changed box equals the box that undo rebuilds from its record.
template <auto Member, class V> constexpr auto held(V value)
{
    constexpr const auto& f = fieldOf<Member>();
    return CodingOf<decltype(f)>::held(value, f.bounds);
}

} // namespace record
