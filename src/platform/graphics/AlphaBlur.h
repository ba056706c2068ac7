#pragma once
// The blur behind shadows: a Gaussian of the given sigma applied to an 8-bit alpha plane.
//
// Small sigmas use a true separable Gaussian with a precomputed kernel; large ones three box
// passes of matching variance (constant cost per value whatever the sigma, within a few levels
// of the Gaussian). A caller that shows only part of the result asks for that window: the work
// then follows the window and the input, not the whole spread of the blur. Planes of a large
// picture are blurred in parallel; small ones (a shadow behind a word) on the calling thread.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class AlphaBlur {
public:
    // Sigmas above this are clamped: the reach of the blur (three sigma) sets how far around
    // the visible area a shadow's source is drawn, and a view tree draws at most 4096 pixels
    // around it.
    static constexpr double kMaxSigma = 1365.0;
    // Up to this sigma the exact kernel is used.
    static constexpr double kKernelSigmaLimit = 16.0;

    explicit AlphaBlur(double sigma);

    // Whether the blur may use 256-bit vectors where the processor has them (it does by
    // default); returns the previous setting. Both forms give the same bits: tests compare
    // them.
    static bool allowWideVectors(bool allowed);
    // Whether the exact kernel fills in runs whose taps are all 255 instead of summing them (it
    // does by default); returns the previous setting. Both give the same bits: tests compare.
    static bool skipConstantRuns(bool skipped);

    // How far the blur spreads on each side, in pixels.
    int reach() const { return m_reach; }
    // The same for a sigma, without making the kernel (a frame asks it of every shadow).
    static int reachOf(double sigma);

    // Blurs a width x height plane (rows stride bytes apart, values pixelStep bytes apart, so
    // that the alpha bytes of a 32-bit image can be read in place). The result is
    // (width + 2 reach) x (height + 2 reach), row-major without padding, the input's (0, 0)
    // at (reach, reach).
    std::vector<std::uint8_t> apply(
        const std::uint8_t* plane, int width, int height, int stride, int pixelStep = 1) const;
    // The same into result, whose memory is reused: a shadow redrawn every frame need not take
    // fresh pages.
    void apply(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
        std::vector<std::uint8_t>& result) const;

    // A rectangle of the whole result above, in its coordinates (the input's (0, 0) at
    // (reach, reach)).
    struct Window {
        int x = 0, y = 0, width = 0, height = 0;
    };
    // Only window of the result, row-major without padding; values outside the whole result
    // are zero. Large sigmas compute nothing outside the window.
    void apply(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
        const Window& window, std::vector<std::uint8_t>& result) const;

private:
    // The sigma as the blur takes it: clamped, and 0 when too small to show.
    static double effectiveSigma(double sigma);
    // The three odd box widths of a sigma above kKernelSigmaLimit.
    static std::vector<int> boxesOf(double sigma);
    // Whether 256-bit vectors are there and allowed (allowWideVectors).
    static bool useWideVectors();
    // The box passes over window (inside the whole result, not empty) into out
    // (window.width x window.height).
    void applyBoxes(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
        const Window& window, std::uint8_t* out) const;
    // The exact kernel over window (inside the whole result, not empty), written straight into
    // out (rows outStride bytes apart).
    void applyKernel(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
        const Window& window, std::uint8_t* out, size_t outStride) const;

    double m_sigma = 0.0;
    int m_reach = 0;
    std::vector<float> m_kernel; // 2 reach + 1 taps when the kernel is used
    std::vector<int> m_boxes; // three odd box widths otherwise
};

} // namespace platform
