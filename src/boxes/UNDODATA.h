#pragma once
// The record of one box's whole state: the unit of undo snapshots, of the box clipboard and
// copied styles, of the per-box content of the document file, and of the check whether a
// box's cached warped picture is still valid.
//
// A record is a value: fills, colours, pictures and texts are values (pictures are shared and
// immutable), so a copy never shares anything mutable with its original. A new record has
// every field zero, false or empty, except layerOpacity, which is 1 (an opacity of 0 would make
// a box invisible).
//
// Every field is described once, in the table of RecordFields.h: its archive key, how it is
// written, which kinds hold it and draw it, and its bounds. Encoding, decoding, validation and
// equality all walk that table.
//
// Archive form (class tag "UNDODATA"): "type"; then the keys of the record's kind (none for a
// type other than 0, 1 or 2); then the common keys, in the table's order. Doubles written as
// floats are narrowed to 32 bits; the frame is written at full double precision and the
// selection range as 64-bit integers.
#include "boxes/ControlValue.h"
#include "foundation/SZGradient.h"
#include "platform/archive/KeyedCoding.h"
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/text/AttributeValue.h"
#include "platform/text/AttributedString.h"

#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {
class KeyedUnarchiver;
}

class UNDODATA final : public platform::KeyedCoding {
public:
    // Box kinds (type).
    enum Kind : int { TextBox = 0, ImageBox = 1, ShapeBox = 2 };

    // A range of characters with the platform's unsigned 64-bit location and length.
    struct SelectionRange {
        std::uint64_t location = 0;
        std::uint64_t length = 0;
        bool operator==(const SelectionRange&) const = default;
    };

    // Bounds that decoded and restored records are held to (the table gives each field its own).
    static constexpr double kMaxCoordinate = 1.0e7;
    static constexpr double kMaxExtent = 1.0e6;
    static constexpr int kMaxLineSize = 100000;
    static constexpr int kMaxShadowSize = 100000;
    static constexpr std::size_t kMaxCurvePoints = 10000;
    static constexpr std::size_t kMaxShapePoints = 100000;
    // What a text box holds at most, typed, pasted or read (UTF-16 units).
    static constexpr std::size_t kMaxTextLength = 1'000'000;

    int type = TextBox;
    std::optional<platform::AttributedString> rtf;
    platform::Image orgImage;
    double rotationAngle = 0.0;
    bool selected = false;
    bool isEditing = false;
    bool isDrawing = false;
    bool selectable = false;
    bool editable = false;
    std::optional<SZGradient> overlayColor;
    std::optional<SZGradient> backColor;
    std::optional<SZGradient> borderColor;
    std::optional<SZGradient> strokeColor;
    int strokeSize = 0;
    int borderSize = 0;
    std::optional<platform::Color> shadowColor;
    int shadowAngle = 0;
    int shadowBlurSize = 0;
    int shadowOffsetSize = 0;
    double fixedWidth = 0.0;
    platform::Rect frame;
    SelectionRange selectionRange;
    std::optional<platform::AttributeDictionary> typingAttributes;
    double layerOpacity = 1.0;
    double saturation = 0.0;
    double orgWidth = 0.0;
    double orgHeight = 0.0;
    double horzPerspective = 0.0;
    double vertPerspective = 0.0;
    std::vector<platform::Point> curves;
    std::optional<platform::Color> innerShadowColor;
    int innerShadowAngle = 0;
    int innerShadowBlurSize = 0;
    int innerShadowOffsetSize = 0;
    std::optional<platform::Color> boxShadowColor;
    int boxShadowAngle = 0;
    int boxShadowBlurSize = 0;
    int boxShadowOffsetSize = 0;
    bool isCircular = false;
    bool isVertical = false;
    std::vector<platform::Point> points;
    std::vector<ControlValue> controlVals;
    int shapeType = 0;
    int startType = 0;
    int endType = 0;

    // Whether two records would draw the same picture wherever the box stands: the frame's
    // origin, selection and editing state, text selection and typing attributes, the
    // proportions kept on resize, and the box shadow of image and shape records are not
    // compared. Numbers compare exactly (NaN equals nothing).
    bool isEqualTo(const UNDODATA& other) const;
    // isEqualTo without the drop shadow, which is cast from the box's picture when it is put
    // down: whether the box's kept picture still shows it.
    bool drawsSameContent(const UNDODATA& other) const;

    // Brings every field into what a box can show: non-finite numbers, negative or absurd
    // sizes and counts, an opacity outside 0..1 and an image record without a picture are
    // replaced by safe values, each with a log line. Answers whether the record was valid as
    // it came.
    bool validate();

    QString archiveClassName() const override { return QStringLiteral("UNDODATA"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    bool supportsSecureCoding() const override { return true; }
    // Reads the keys written by encodeWithCoder; missing keys read 0, false or empty (and
    // layerOpacity 1), values of a wrong kind read the same and are noted on the coder (as
    // values left out, see KeyedUnarchiver::noteCut), and the result is validated.
    static UNDODATA initWithCoder(const platform::KeyedUnarchiver& coder);

    // The classes a record and its fills may contain.
    static QStringList allowedClasses();

    // The record as a whole archive with secure coding; empty (with a log line) on failure.
    QByteArray encodeToData() const;
    // A record from encodeToData's bytes; nothing (with a log line) when the bytes are not an
    // archive of a record.
    static std::optional<UNDODATA> decodeFromData(const QByteArray& data);

private:
    bool drawsAlike(const UNDODATA& other, bool withDropShadow) const;
};
