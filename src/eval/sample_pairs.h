// Two samples in one register, for the scans that run over every sample of a recording (edges,
// validity): compilers do not vectorise such comparisons by themselves.
#pragma once

#include <cstdint>
#include <cstring>

namespace ziva {

using Pair = double __attribute__((vector_size(16)));
using PairMask = std::int64_t __attribute__((vector_size(16)));  // lanes of a comparison

// The samples x[0] and x[1], wherever x is aligned.
inline Pair load_pair(const double* x) {
  Pair p;
  std::memcpy(&p, x, sizeof p);
  return p;
}

}  // namespace ziva
