#include "core/cpu_features.h"

namespace {

struct CpuFeatures {
    bool avx2, avx512;
};

// The compiler's own check also asks the operating system whether it saves
// the wider registers, so a feature it reports is one a program may use.
CpuFeatures detect() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return {(bool)__builtin_cpu_supports("avx2"),
            __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                __builtin_cpu_supports("avx512vl")};
#else
    return {false, false};
#endif
}

const CpuFeatures &features() {
    static const CpuFeatures found = detect();  // once; a function-local static is thread-safe
    return found;
}

}  // namespace

bool cpuHasAvx2() { return features().avx2; }

bool cpuHasAvx512() { return features().avx512; }
