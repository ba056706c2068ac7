#include "platform/imaging/CpuFeatures.h"

#include <cstdlib>

namespace platform {

bool CpuFeatures::hasAvx()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx") && !std::getenv("QUILLMARK_NO_AVX");
    return avx;
#else
    return false;
#endif
}

} // namespace platform
