#include "app/signal_functions.h"

#include "base/error.h"
#include "dsp/butter.h"
#include "dsp/czt.h"
#include "dsp/filtfilt.h"
#include "dsp/firls.h"
#include "dsp/hanning.h"
#include "dsp/kaiser.h"
#include "dsp/resample.h"
#include "dsp/specgram.h"
#include "dsp/upfirdn.h"
#include "platform/core/adapter.h"
#include "plot/figure_helpers.h"
#include "wav/wav_read.h"
#include "wav/wav_write.h"

namespace ziva {

namespace {

// The inputs that were given (absent ones at the end dropped).
std::size_t given(const Values& args) {
  std::size_t n = args.size();
  while (n > 0 && args[n - 1].absent()) --n;
  return n;
}

const Value& need(const Values& args, std::size_t i, const std::string& name) {
  if (i >= args.size() || args[i].absent()) throw undefined_input(name, i);
  return args[i];
}

std::vector<std::string> texts_from(const Values& args, std::size_t first) {
  std::vector<std::string> out;
  for (std::size_t i = first; i < args.size(); ++i) {
    if (args[i].absent()) continue;
    if (!args[i].is_chars()) throw Error("Option arguments must be strings.");
    out.push_back(args[i].rows().empty() ? std::string() : args[i].rows().front());
  }
  return out;
}

Value optional_number(const std::optional<double>& x) {
  return x ? Value(*x) : Value::empty_matrix();
}

Value fmt_record(const WavFormat& f) {
  Record r;
  r["wFormatTag"] = f.wFormatTag;
  r["nChannels"] = f.nChannels;
  r["nSamplesPerSec"] = f.nSamplesPerSec;
  r["nAvgBytesPerSec"] = f.nAvgBytesPerSec;
  r["nBlockAlign"] = f.nBlockAlign;
  if (f.nBitsPerSample) r["nBitsPerSample"] = *f.nBitsPerSample;
  if (f.cbSize) r["cbSize"] = *f.cbSize;
  if (f.wValidBitsPerSample) r["wValidBitsPerSample"] = *f.wValidBitsPerSample;
  if (f.dwChannelMask) r["dwChannelMask"] = *f.dwChannelMask;
  if (f.SubFormat) r["SubFormat"] = *f.SubFormat;
  return Value(std::move(r));
}

Value texts_record(const WavTexts& t) {
  Record r;
  for (const auto& [name, text] : t.entries()) r[name] = text;
  return Value(std::move(r));
}

Value chunks_record(const WavChunks& c) {
  Record r;
  for (const auto& name : c.order) {
    if (name == "fmt" && c.fmt) r["fmt"] = fmt_record(*c.fmt);
    if (name == "fact" && c.fact) r["fact"] = *c.fact;
    if (name == "disp" && c.disp) {
      Record d;
      d["name"] = c.disp->name;
      d["text"] = c.disp->text;
      r["disp"] = Value(std::move(d));
    }
    if (name == "info" && c.info) r["info"] = texts_record(*c.info);
    if (name == "list" && c.list) r["list"] = texts_record(*c.list);
  }
  return r.size() == 0 ? Value::empty_matrix() : Value(std::move(r));
}

Values wavread_entry(Env&, int nargout, const Values& args) {
  std::string file = FromValue<std::string>::get(need(args, 0, "wavread"));
  WavExtent ext;
  if (args.size() > 1 && !args[1].absent() && !args[1].empty()) {
    ext = args[1].is_chars() ? wav_extent(args[1].rows().front()) : wav_extent(args[1].num());
  }
  WavReadResult r = wavread(file, ext);
  Values out = {Value(std::move(r.y)), Value(r.Fs), optional_number(r.bits)};
  if (nargout > 3) out.push_back(chunks_record(r.opt_ck));
  return out;
}

Values wavwrite_entry(Env&, int, const Values& args) {
  std::size_t n = given(args);
  if (n < 2) throw Error("Not enough input arguments.");
  const Eigen::MatrixXd& y = args[0].num();
  std::string file = FromValue<std::string>::get(args[n - 1]);
  if (n == 2) wavwrite(y, file);
  if (n == 3) wavwrite(y, args[1].scalar(), file);
  if (n == 4) wavwrite(y, args[1].scalar(), args[2].scalar(), file);
  return {};
}

Values butter_entry(Env&, int nargout, const Values& args) {
  const Value& n = need(args, 0, "butter");
  const Value& wn = need(args, 1, "butter");
  auto outs = butter(std::max(nargout, 1), n.num(), wn.num(), texts_from(args, 2));
  Values v;
  for (auto& m : outs) v.emplace_back(std::move(m));
  return v;
}

Values iirchk_entry(Env&, int, const Values& args) {
  IirchkResult r = iirchk(need(args, 0, "signal/private/iirchk").num(), texts_from(args, 1));
  return {Value(static_cast<double>(r.btype)), Value(static_cast<double>(r.analog)), Value(r.msg)};
}

std::tuple<Eigen::MatrixXcd, Eigen::MatrixXcd, double> buttap_v(double n) {
  Zpk z = buttap(static_cast<int>(n));
  return {Eigen::MatrixXcd(z.z), Eigen::MatrixXcd(z.p), z.k};
}

using SS4 = std::tuple<Eigen::MatrixXd, Eigen::MatrixXd, Eigen::MatrixXd, Eigen::MatrixXd>;
SS4 unpack(StateSpace s) {
  return {std::move(s.a), std::move(s.b), std::move(s.c), std::move(s.d)};
}
SS4 lp2lp_v(Eigen::MatrixXd a, Eigen::MatrixXd b, Eigen::MatrixXd c, Eigen::MatrixXd d, double wo) {
  return unpack(lp2lp(a, b, c, d, wo));
}
SS4 lp2hp_v(Eigen::MatrixXd a, Eigen::MatrixXd b, Eigen::MatrixXd c, Eigen::MatrixXd d, double wo) {
  return unpack(lp2hp(a, b, c, d, wo));
}
SS4 lp2bp_v(Eigen::MatrixXd a, Eigen::MatrixXd b, Eigen::MatrixXd c, Eigen::MatrixXd d, double wo,
            double bw) {
  return unpack(lp2bp(a, b, c, d, wo, bw));
}
SS4 lp2bs_v(Eigen::MatrixXd a, Eigen::MatrixXd b, Eigen::MatrixXd c, Eigen::MatrixXd d, double wo,
            double bw) {
  return unpack(lp2bs(a, b, c, d, wo, bw));
}
SS4 bilinear_v(Eigen::MatrixXd a, Eigen::MatrixXd b, Eigen::MatrixXd c, Eigen::MatrixXd d,
               double fs, std::optional<double>) {
  return unpack(bilinear(a, b, c, d, fs));
}

Eigen::MatrixXd filtfilt_v(Eigen::MatrixXd b, Eigen::MatrixXd a, Eigen::MatrixXd x) {
  return filtfilt(b, a, x);
}

Values resample_entry(Env&, int, const Values& args) {
  const Eigen::MatrixXd& x = need(args, 0, "resample").num();
  double p = need(args, 1, "resample").scalar();
  double q = need(args, 2, "resample").scalar();
  std::optional<Eigen::MatrixXd> n;
  std::optional<double> beta;
  if (args.size() > 3 && !args[3].absent()) n = args[3].num();
  if (args.size() > 4 && !args[4].absent()) beta = args[4].scalar();
  ResampleResult r = resample(x, p, q, n, beta);
  return {Value(std::move(r.y)), Value(Eigen::MatrixXd(r.h))};
}

Values firls_entry(Env&, int, const Values& args) {
  const Eigen::MatrixXd& n = need(args, 0, "firls").num();
  const Eigen::MatrixXd& f = need(args, 1, "firls").num();
  const Eigen::MatrixXd& a = need(args, 2, "firls").num();
  std::optional<Eigen::VectorXd> w;
  std::optional<std::string> ftype;
  // The fourth input is either the weights or, without weights, the symmetry string.
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (args[i].absent()) continue;
    if (args[i].is_chars()) {
      ftype = args[i].rows().front();
    } else {
      const auto& m = args[i].num();
      w = Eigen::Map<const Eigen::VectorXd>(m.data(), m.size());
    }
  }
  Eigen::Map<const Eigen::VectorXd> fv(f.data(), f.size());
  Eigen::Map<const Eigen::VectorXd> av(a.data(), a.size());
  return {Value(Eigen::MatrixXd(firls(n, fv, av, w, ftype)))};
}

Eigen::MatrixXd kaiser_v(double n, double beta) {
  return kaiser(n, beta);
}
Eigen::MatrixXd sinc_v(Eigen::MatrixXd x) {
  return sinc(x);
}

std::tuple<double, std::string, std::string> firchk_v(Eigen::MatrixXd n, Eigen::MatrixXd,
                                                      Eigen::MatrixXd a) {
  Eigen::Map<const Eigen::VectorXd> av(a.data(), a.size());
  try {
    return {static_cast<double>(firchk(n, av, false)), std::string(), std::string()};
  } catch (const Error& e) {
    return {n.size() > 0 ? n(0) : 0.0, std::string(e.what()), std::string()};
  }
}

std::tuple<double, Eigen::MatrixXd, double> check_order_v(Eigen::MatrixXd n) {
  CheckedOrder c = check_order(n);
  return {c.n, Eigen::MatrixXd(c.w), c.trivial ? 1.0 : 0.0};
}

// The routine run by name outside the count checks: x, h, p, q (p and q default to 1).
Values upfirdn_entry(Env&, int, const Values& args) {
  std::size_t n = given(args);
  if (n < 2) throw Error("Not enough input arguments.");
  if (n > 4) throw Error("Too many input arguments.");
  const Eigen::MatrixXd& x = args[0].num();
  int p = n > 2 ? static_cast<int>(args[2].scalar()) : 1;
  int q = n > 3 ? static_cast<int>(args[3].scalar()) : 1;
  if (args[1].is_complex()) return {Value(upfirdn(x, args[1].cnum(), p, q))};
  return {Value(upfirdn(x, args[1].num(), p, q))};
}

// An input that counts as omitted when absent or empty.
template <class T>
std::optional<T> optional_input(const Values& args, std::size_t i) {
  if (i >= args.size() || args[i].absent() || args[i].empty()) return std::nullopt;
  if constexpr (std::is_same_v<T, Eigen::MatrixXcd>) {
    return args[i].cnum();
  } else {
    return args[i].num();
  }
}

Values czt_entry(Env&, int, const Values& args) {
  const Value& x = need(args, 0, "czt");
  auto k = optional_input<Eigen::MatrixXd>(args, 1);
  auto w = optional_input<Eigen::MatrixXcd>(args, 2);
  auto a = optional_input<Eigen::MatrixXcd>(args, 3);
  if (x.is_complex()) return {Value(czt(x.cnum(), k, w, a))};
  return {Value(czt(x.num(), k, w, a))};
}

// With no outputs asked for, the spectrum is drawn into the current axes instead.
Values specgram_entry(Env& env, int nargout, const Values& args) {
  if (given(args) > 5) throw Error("Too many input arguments.");
  const Value& x = need(args, 0, "specgram");
  SpecgramResult r = specgram(
      x.num(), optional_input<Eigen::MatrixXd>(args, 1), optional_input<Eigen::MatrixXd>(args, 2),
      optional_input<Eigen::MatrixXd>(args, 3), optional_input<Eigen::MatrixXd>(args, 4));
  if (nargout == 0) {
    specgram_draw(env, r.yo, r.fo, r.to);
    return {};
  }
  return {Value(std::move(r.yo)), Value(Eigen::MatrixXd(r.fo)), Value(Eigen::MatrixXd(r.to))};
}

Values hanning_entry(Env&, int, const Values& args) {
  std::size_t n = given(args);
  if (n < 1) throw Error("Not enough input arguments.");
  if (n > 2) throw Error("Too many input arguments.");
  std::optional<std::string> flag;
  if (n == 2) flag = FromValue<std::string>::get(args[1]);
  return {Value(Eigen::MatrixXd(hanning(args[0].num(), flag)))};
}

}  // namespace

void add_signal_functions(FunctionTable& t) {
  t.add(FunctionRow{"wavread", 2, 4, &wavread_entry});
  t.add(FunctionRow{"wavwrite", 4, 0, &wavwrite_entry});
  t.add(FunctionRow{"butter", -3, 4, &butter_entry});
  t.add(row<&filtfilt_v>("filtfilt", 3, 1));
  t.add(FunctionRow{"resample", 5, 2, &resample_entry});
  t.add(row<&bilinear_v>("bilinear", 6, 4));
  t.add(row<&buttap_v>("buttap", 1, 3));
  t.add(FunctionRow{"signal/private/iirchk", -2, 3, &iirchk_entry});
  t.add(row<&lp2bp_v>("lp2bp", 6, 4));
  t.add(row<&lp2bs_v>("lp2bs", 6, 4));
  t.add(row<&lp2hp_v>("lp2hp", 5, 4));
  t.add(row<&lp2lp_v>("lp2lp", 5, 4));
  t.add(FunctionRow{"firls", 5, 2, &firls_entry});
  t.add(row<&kaiser_v>("kaiser", 2, 1));
  t.add(FunctionRow{"upfirdn", -1, -1, &upfirdn_entry, false});
  t.add(row<&firchk_v>("signal/private/firchk", 3, 3));
  t.add(row<&sinc_v>("sinc", 1, 1));
  t.add(row<&check_order_v>("signal/private/check_order", 1, 3));
  t.add(FunctionRow{"czt", 4, 1, &czt_entry});
  t.add(FunctionRow{"specgram", -1, 3, &specgram_entry});
  t.add(FunctionRow{"hanning", -1, 1, &hanning_entry});
}

}  // namespace ziva
