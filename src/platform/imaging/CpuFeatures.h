#pragma once
// What the processor offers beyond the x86-64 baseline the build targets, for the few loops
// that have a wider version. Setting QUILLMARK_NO_AVX in the environment turns the wider
// versions off (to compare, or to exercise the baseline loops on a newer machine).
namespace platform {

class CpuFeatures {
public:
    static bool hasAvx();
    // AVX2 (256-bit integer vectors) as well; off with AVX (QUILLMARK_NO_AVX, allowAvx).
    static bool hasAvx2();
    // Fused multiply-add as well; off with AVX.
    static bool hasFma();
    // Whether loops whose narrow and wide versions must give the same floats round as fused
    // multiply-adds: where the processor has them, whatever allowAvx says (the narrow loops
    // then use them too); not with QUILLMARK_NO_AVX.
    static bool roundsFused();
    // Whether the wider versions may run where the processor has them (they may by default);
    // returns the previous setting. Both give the same pixels: tests compare them.
    static bool allowAvx(bool allowed);
};

} // namespace platform
