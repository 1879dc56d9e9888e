// Hanning window: raised-cosine weights without zero end points, in the symmetric form used for
// spectral analysis or the periodic form.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>

namespace ziva {

// The Hanning window of length n as a column. Symmetric (the default): w(k) = 0.5·(1 − cos(2π·k /
// (n + 1))), k = 1 … n, exactly mirror-symmetric. Periodic: 0 followed by the symmetric window of
// length n − 1.
//
// The length is checked by check_order: negative throws "Order cannot be less than zero.", a
// fraction is rounded with a warning, 0 (or empty) gives an empty column and 1 gives 1 whatever the
// flag. `sflag` is matched case-insensitively by unique prefix against "symmetric" and
// "periodic"; anything else (also "") throws "Sampling flag must be either 'symmetric' or
// 'periodic'.".
Eigen::VectorXd hanning(const Eigen::MatrixXd& n, const std::optional<std::string>& sflag = {});
Eigen::VectorXd hanning(double n, const std::optional<std::string>& sflag = {});

}  // namespace ziva
