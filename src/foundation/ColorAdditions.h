#pragma once
// Colours from 0xRRGGBB numbers and colours shifted by a fixed amount.
#include "platform/graphics/Color.h"

#include <cstdint>

// Red from bits 16-23, green 8-15, blue 0-7 (higher bits ignored), each divided by 255 in
// single precision; alpha 1.
platform::Color colorWithValue(std::int32_t value);

// Red, green and blue plus d, not clamped; alpha unchanged.
platform::Color colorByAdding(const platform::Color& color, float d);
