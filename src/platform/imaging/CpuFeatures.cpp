#include "platform/imaging/CpuFeatures.h"

#include <atomic>
#include <cstdlib>

namespace platform {

namespace {

std::atomic<bool> g_avxAllowed { true };
std::atomic<bool> g_avx512Allowed { true };

} // namespace

bool CpuFeatures::hasAvx()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx") && !std::getenv("QUILLMARK_NO_AVX");
    return avx && g_avxAllowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

bool CpuFeatures::hasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && hasAvx();
#else
    return false;
#endif
}

bool CpuFeatures::hasFma()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool fma = __builtin_cpu_supports("fma");
    return fma && hasAvx();
#else
    return false;
#endif
}

bool CpuFeatures::hasAvx512()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx512
        = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return avx512 && g_avx512Allowed.load(std::memory_order_relaxed) && hasFma() && hasAvx2();
#else
    return false;
#endif
}

bool CpuFeatures::roundsFused()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool fused = __builtin_cpu_supports("fma") && !std::getenv("QUILLMARK_NO_AVX");
    return fused;
#else
    return false;
#endif
}

bool CpuFeatures::allowAvx(bool allowed)
{
    return g_avxAllowed.exchange(allowed);
}

bool CpuFeatures::allowAvx512(bool allowed)
{
    return g_avx512Allowed.exchange(allowed);
}

} // namespace platform
