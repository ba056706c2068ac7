#pragma once
// Operations on pictures used wherever a picture changes form: to and from filter images,
// scaled, fitted, filled, tiled, tinted, rotated, run through a named filter. Each returns a
// new picture and leaves its argument unchanged (only imageRotated and rotateDegrees may hand
// back the argument itself). A step that cannot be done yields a null picture.
//
// Compositing numbers are the platform's: 1 copy, 2 source-over, 5 source-atop. Every picture
// made here is checked against kMaxImagePixels before its pixels are allocated.
#include "platform/geometry/Size.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/imaging/FilterImage.h"
#include "platform/imaging/FilterValue.h"

#include <QImage>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

constexpr long long kMaxImagePixels = 256LL * 1000 * 1000;

// ---- the picture's own operations

// Rotated about its centre by angle degrees (counter-clockwise). A right angle swaps the
// sides, 180 keeps them, any other angle gives a square of max(w, h) + 20. The argument itself
// for a multiple of 360.
platform::Image imageRotated(const platform::Image& image, float angle);
// A picture holding the filter image as its one, lazily rendered representation, of the
// extent's size. Null for no filter image, or one without bounds or too large to render.
platform::Image imageWithCIImage(const platform::FilterImage& ciImage);
// The same rendered at once: (0, 0, w, h) of the filter image, as pixels.
platform::Image imageWithCIImageCopy(const platform::FilterImage& ciImage);
// The pixels of the picture (its largest representation); null for a null picture.
QImage CGImage(const platform::Image& image);
// A filter image of the picture's pixels.
platform::FilterImage CIImage(const platform::Image& image);
// A bitmap of the size in points truncated to whole pixels, holding the picture drawn into
// it; its size in points is the picture's.
platform::Image unscaledBitmapImageRep(const platform::Image& image);
// The largest pixel width and the largest pixel height over all representations, each taken
// separately; (0, 0) without representations.
platform::Size pixelSize(const platform::Image& image);
// The picture with the colour laid over its own pixels only (source-atop); a plain copy
// without a colour.
platform::Image tintedImageWithColor(
    const platform::Image& image, const std::optional<platform::Color>& color);
// Fitted, centred on the long axis, into a new picture of the target size.
platform::Image imageByScalingProportionallyToSize(
    const platform::Image& image, platform::Size target);
// Fitted into m on its longer side.
platform::Image resizedImageWithMaxSide(const platform::Image& image, float m);
// Filling a new picture of the target size, overhanging equally on both sides.
platform::Image aspectFilledImageToSize(const platform::Image& image, platform::Size target);
// Fitted inside a new picture of the target size, centred.
platform::Image aspectFitedImageToSize(const platform::Image& image, platform::Size target);
// Run through the named filter (defaults, then the picture as input image, then every
// option) and drawn scaled into a new picture of the given size. Null for an unknown filter.
platform::Image previewImageForCIFilter(const platform::Image& image, const QString& filterName,
    platform::Size size, const QMap<QString, platform::FilterValue>& options);
// A new picture of the target size covered with copies from the origin corner.
platform::Image tiledImageToSize(const platform::Image& image, platform::Size target);
// A 100 x 100 preview of the picture blurred with the strength as the blur radius.
platform::Image bluredImageWithStrength(const platform::Image& image, double strength);
// The picture drawn with alpha as an extra opacity.
platform::Image imageWithAlpha(const platform::Image& image, float alpha);
// The bitmap, through a PNG encoding; null without one.
QImage toCGImageRef(const platform::Image& image);
// (int) w x (int) h pixels with the picture copied in; null when a side is below 1.
QImage bitmapImageRepresentation(const platform::Image& image);
// Half the filter image's size holding its lower-left quarter at full scale.
platform::Image imageWithCIImageSpecial(const platform::FilterImage& ciImage);

// ---- debugging aids

// Writes the picture losslessly as "<name>.png" into the desktop folder, or the pictures
// folder when there is no desktop folder. False, with a warning logged, for a null picture, a
// name that is not a plain file name, neither folder existing, or a failed write.
bool saveDesktopTestImage(const platform::Image& image, const QString& name);
bool saveDesktopTestImage(const QImage& pixels, const QString& name);

// ---- representations by backing scale (pixels per point)
std::shared_ptr<const platform::ImageRepresentation> representationForBackingScale(
    const platform::Image& image, float scale);
float backingScaleForRepresentation(
    const platform::Image& image, const platform::ImageRepresentation& rep);
bool hasRetina(const platform::Image& image);
std::shared_ptr<const platform::ImageRepresentation> retinaRep(const platform::Image& image);
std::shared_ptr<const platform::ImageRepresentation> standardRep(const platform::Image& image);
platform::Image retinaImage(const platform::Image& image);
platform::Image standardImage(const platform::Image& image);

// ---- filter image operations

// The picture made by imageWithCIImage.
platform::Image NSImage(const platform::FilterImage& ciImage);
// Rotated counter-clockwise about the centre of its extent for an angle strictly between 0
// and 360 degrees; the argument itself otherwise.
platform::FilterImage rotateDegrees(const platform::FilterImage& ciImage, double angle);
