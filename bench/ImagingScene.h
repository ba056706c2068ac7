#pragma once
// The picture and filter chain the imaging benchmarks share: a generated 24-megapixel picture
// and the canvas chain on it (saturation 1.5, clamp, blur 5, crop, vignette 5, then the blend
// with a 512-pixel mask scaled up for the layer over the boxes).
#include "platform/imaging/FilterImage.h"

#include <QImage>
#include <vector>

namespace bench {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr double kSaturation = 1.5;
constexpr double kBlurSigma = 5.0;
constexpr double kVignette = 5.0;

// Opaque premultiplied ARGB32, made once.
const QImage& picture();

struct Layers {
    platform::FilterImage bottom; // saturation, blur and vignette: the picture under the boxes
    platform::FilterImage top; // the bottom layer through the mask, over the boxes
};

Layers chain(const platform::FilterImage& src);

// The vignette's factor at every pixel centre, rows from the top, as the chain applies it.
std::vector<float> vignetteFactors();

} // namespace bench
