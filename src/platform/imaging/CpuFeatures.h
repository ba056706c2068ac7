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
    // AVX-512 with its 256-bit forms (twice the vector registers), FMA and AVX2 as well; off
    // with AVX, and on its own through allowAvx512.
    static bool hasAvx512();
    // Whether loops whose narrow and wide versions must give the same floats round as fused
    // multiply-adds: where the processor has them, whatever allowAvx says (the narrow loops
    // then use them too); not with QUILLMARK_NO_AVX.
    static bool roundsFused();
    // Whether the wider versions may run where the processor has them (they may by default);
    // returns the previous setting. Both give the same pixels: tests compare them.
    static bool allowAvx(bool allowed);
    // The same for the loops that need AVX-512 (the AVX2 ones run instead).
    static bool allowAvx512(bool allowed);
};

} // namespace platform
