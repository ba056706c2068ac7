#pragma once
// Rows of premultiplied pixels put down source-over onto others through a coverage: the inner
// loops of compositing a picture or a shadow straight onto an image. Each pixel ends exactly as
// sourceOverPixel (GraphicsContextInternal.h) leaves it; eight pixels at a time where the
// processor has wide vectors.
#include <QRgb>
#include <cstdint>

namespace platform::graphicsinternal {

// dst[x] = src[x] over dst[x] through coverage[x], for x in [0, n).
void sourceOverRow(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n);

// dst[x] = tints[alpha[x]] over dst[x] through coverage[x], for x in [0, n): a shadow's
// blurred alpha in its colour (tints is tintsOf the colour: tints[a] is it at a / 255).
void tintOverRow(
    QRgb* dst, const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, int n);

// tintOverRow for a shadow that over (n pixels) is put down on next, source-over through the
// same coverage: under pixels of over that are opaque and wholly covered the shadow may be
// left out, as they replace it. After over, every pixel ends as with tintOverRow.
void tintOverRowUnder(QRgb* dst, const std::uint8_t* alpha, const QRgb* tints,
    const std::uint8_t* coverage, const QRgb* over, int n);

// Whether the wide rows may be used (tests turn them off to compare the two); answers what
// was allowed before.
bool allowWideCompositeRows(bool allowed);

} // namespace platform::graphicsinternal
