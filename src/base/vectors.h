// Loops written for wider vectors than the build's baseline: an AVX2 version beside the plain one,
// picked when the program loads. Both give the same numbers (neither uses fused multiply-add).
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define ZIVA_X86_VECTORS 1
// Builds a function for AVX2 and for the baseline; the processor's version is picked at load.
#define ZIVA_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define ZIVA_X86_VECTORS 0
#define ZIVA_VECTOR_CLONES
#endif

namespace ziva {

// Whether the processor runs AVX2 instructions (never off x86-64).
inline bool has_avx2() {
#if ZIVA_X86_VECTORS
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

}  // namespace ziva
