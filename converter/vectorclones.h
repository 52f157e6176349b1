// Marks a hot per-pixel function to be compiled twice, for AVX2 and for plain x86-64; the choice is
// made once, when the program loads.
#pragma once

// GCC only: clang 14 leaves out-of-line member clones unresolved at link time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define KORVALIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORVALIN_VECTOR_CLONES
#endif
