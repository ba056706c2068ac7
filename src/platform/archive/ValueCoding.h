#pragma once
// The archive encodings of our own value types, each under its class tag:
//
//   Color     "NSColor"     "red", "green", "blue", "alpha": doubles
//   Gradient  "NSGradient"  "stops": array of [red, green, blue, alpha, location] doubles
//   Image     "NSImage"     "png": PNG bytes of the pixels; "width", "height": size in points
//                           (also read under the tag "CIImage"). Written once per archive:
//                           later uses of the same picture are references to the first.
//   Point     "NSValue"     "x", "y": doubles
//   Size      "NSValue"     "width", "height": doubles
//   Rect      "NSValue"     "rect": a rectangle
//
// Decoding validates: every number must be finite, a gradient needs two stops (more than
// Gradient::kMaxStops keep the first ones, noted as a cut), a picture must decode as PNG within the
// reader's dimension bounds. Anything else reads as absent.
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Image.h"

#include <QString>
#include <optional>

namespace platform {

class KeyedArchiver;
class KeyedUnarchiver;

// Specialised for each value type that can stand as an object in an archive.
template <class T> struct ValueCoding;

template <> struct ValueCoding<Color> {
    static QString className() { return QStringLiteral("NSColor"); }
    static void encode(KeyedArchiver& coder, const Color& color);
    static std::optional<Color> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<Gradient> {
    static QString className() { return QStringLiteral("NSGradient"); }
    static void encode(KeyedArchiver& coder, const Gradient& gradient);
    static std::optional<Gradient> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<Image> {
    static QString className() { return QStringLiteral("NSImage"); }
    // A null image is written as a null object.
    static bool isNull(const Image& image) { return image.isNull(); }
    // One picture used in many places is written once (see KeyedCoding::sharedIdentity).
    static quint64 sharedIdentity(const Image& image) { return image.contentId(); }
    static void encode(KeyedArchiver& coder, const Image& image);
    static std::optional<Image> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<Point> {
    static QString className() { return QStringLiteral("NSValue"); }
    static void encode(KeyedArchiver& coder, const Point& point);
    static std::optional<Point> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<Size> {
    static QString className() { return QStringLiteral("NSValue"); }
    static void encode(KeyedArchiver& coder, const Size& size);
    static std::optional<Size> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<Rect> {
    static QString className() { return QStringLiteral("NSValue"); }
    static void encode(KeyedArchiver& coder, const Rect& rect);
    static std::optional<Rect> decode(const KeyedUnarchiver& coder);
};

template <class T>
concept ArchivableValue = requires(KeyedArchiver& coder, const T& value)
{
    {
        ValueCoding<T>::className()
        } -> std::convertible_to<QString>;
    ValueCoding<T>::encode(coder, value);
};

template <ArchivableValue T> bool isNullArchiveValue(const T& value)
{
    if constexpr (requires { ValueCoding<T>::isNull(value); })
        return ValueCoding<T>::isNull(value);
    else
        return false;
}

} // namespace platform
