// Hot loops are built for AVX2 as well as the baseline, chosen at run time;
// both builds compute the same integers.
#pragma once

// The release build's -O2 vectorises only loops that need no run-time checks;
// these loops need the full vectoriser. Included last by the hot files.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define QUILLON_CLONES __attribute__((target_clones("avx2", "default")))
// Kernels written with AVX2 intrinsics, chosen at run time beside a
// baseline path.
#define QUILLON_AVX2_KERNELS 1
#else
// Other compilers (clang builds the fuzzers) get the baseline build only.
#define QUILLON_CLONES
#define QUILLON_AVX2_KERNELS 0
#endif

#if defined(__GNUC__)
#define QUILLON_INLINE [[gnu::always_inline]] inline
#else
#define QUILLON_INLINE inline
#endif
