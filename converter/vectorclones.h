// Marks a hot per-pixel function to be compiled twice, for AVX2 and for plain x86-64; the choice is
// made once, when the program loads. Hand-written AVX2 kernels use the target macro and ask first.
#pragma once

// GCC only: clang 14 leaves out-of-line member clones unresolved at link time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define KORVALIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORVALIN_VECTOR_CLONES
#endif

#if defined(__GNUC__) && defined(__x86_64__)
#define KORVALIN_AVX2_KERNELS 1
#define KORVALIN_TARGET_AVX2 __attribute__((target("avx2")))

namespace mlv2dng {

inline bool cpuHasAvx2()
{
    return __builtin_cpu_supports("avx2");
}

}  // namespace mlv2dng
#endif
