// The sample rates of recordings the evaluation accepts and the simulator writes, Hz: from the
// lowest rate sound cards record at (half of it still holds every tone the analysis looks for) to
// the highest any records at.
#pragma once

namespace ziva {

inline constexpr double kLowestRate = 4000;
inline constexpr double kHighestRate = 768000;

}  // namespace ziva
