#include "eval/hand_cut.h"

namespace ziva {

namespace {

Eigen::MatrixXd cut_by_name(Env& env, const char* name, const Eigen::MatrixXd& Y, Values args) {
  if (env.f.find(name) == nullptr) return Y;
  Values out = env.f.call(env, name, 1, std::move(args));
  return out.at(0).num();
}

}  // namespace

Eigen::MatrixXd hand_cut_spect(Env& env, const Eigen::MatrixXd& Y, double FS, int ch, double L,
                               const Record& st) {
  return cut_by_name(env, "cut_file_spect", Y, {Value(Y), FS, ch, L, Value(st)});
}

Eigen::MatrixXd hand_cut_digi(Env& env, const Eigen::MatrixXd& Y, double FS, double u, double W,
                              const Record& st, std::optional<int> ch) {
  Values args = {Value(Y), FS, u, W, Value(st)};
  if (ch) args.emplace_back(*ch);
  return cut_by_name(env, "cut_file_digi", Y, std::move(args));
}

}  // namespace ziva
