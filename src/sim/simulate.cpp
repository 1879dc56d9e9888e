#include "sim/simulate.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/error.h"
#include "wav/wav_write.h"

namespace ziva {

namespace {

// A number as the messages show it: whole numbers without decimals, others with up to four.
std::string number_text(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, x == std::floor(x) ? "%.0f" : "%.4f", x);
  std::string s(buf);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

}  // namespace

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kPulseDepth = 0.8;       // height of a wheel-sensor step
constexpr double kPulseDecay = 1e-3;      // s, recovery of the coupled input after a step
constexpr double kAlternatorLevel = 0.4;  // amplitude of the alternator fundamental
constexpr double kRollerLevel = 0.5;      // amplitude of the roller tone
constexpr double kOffNoise = 1e-3;        // noise of an unused input
constexpr double kEngineBraking = 0.1;    // share of the peak torque braking when rolling off
constexpr double kMaxFullLoad = 600;      // s
constexpr double kMaxCoast = 600;         // s
constexpr double kGravity = 9.81;         // m/s²
constexpr double kIdleDecay = 0.7;        // s, time constant of the engine idling down

struct Model {
  const SynthOptions& o;

  double rpm_of(double v) const { return v / o.tyre * o.gear_ratio * 60; }
  double v_of(double rpm) const { return rpm / 60 / o.gear_ratio * o.tyre; }
  double engine_omega(double v) const { return rpm_of(v) * kTwoPi / 60; }
  double roller_omega(double v) const { return v / o.roller_perim * kTwoPi; }

  // Power taken by air drag (road) or by the roller's losses, W.
  double base_resistance(double v) const {
    if (o.roller_run) {
      const double w = roller_omega(v);
      return 100 * o.cw * w * w * 1e-3;
    }
    return 0.65 * o.cw * o.area * v * v * v;
  }
  // Force of the extra road load (rolling resistance, drivetrain drag) at the wheel or roller
  // surface, N.
  double extra_force(double v) const {
    return o.rolling_coeff * o.mass * kGravity + o.drag_f0 + o.drag_f1 * v;
  }
  // The whole road load power, W.
  double resistance(double v) const { return base_resistance(v) + extra_force(v) * v; }
  // Speed change per second with the engine disconnected: the road load alone decelerates the
  // vehicle (m·dv/dt = −F) or the roller (J·ω·dω/dt = −F·v, so dv/dt = −F·r²/J with r the
  // roller radius). Written in forces so that it holds down to rest.
  double coast_accel(double v) const {
    if (o.roller_run) {
      const double r = o.roller_perim / kTwoPi;
      const double w = roller_omega(v);
      const double force = 0.1 * o.cw * w / r + extra_force(v);
      return -force * r * r / o.roller_inertia;
    }
    return -(0.65 * o.cw * o.area * v * v + extra_force(v)) / o.mass;
  }
  // Speed change per second under the engine power P (W).
  double accel(double v, double P) const {
    const double net = P - resistance(v);
    if (o.roller_run) {
      const double w = roller_omega(v);
      return net / (o.roller_inertia * w) * o.roller_perim / kTwoPi;
    }
    return net / (o.mass * v);
  }
  double full_power(double v) const { return engine_power(o, rpm_of(v)) * 1000; }
  double braking_power(double v) const { return -kEngineBraking * o.torque_peak * engine_omega(v); }
};

template <class Power>
double rk4(const Model& m, double v, double h, Power power) {
  auto f = [&](double x) { return m.accel(x, power(x)); };
  const double k1 = f(v);
  const double k2 = f(v + h / 2 * k1);
  const double k3 = f(v + h / 2 * k2);
  const double k4 = f(v + h * k3);
  return v + h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
}

// Speed per sample over the run's phases.
struct Course {
  double v0 = 0;
  Eigen::Index lead = 0;
  std::vector<double> full;
  std::vector<double> roll;      // roll-off or coast
  std::vector<double> roll_rpm;  // engine speed in the coast; empty after a roll-off
  Eigen::Index total = 0;

  double at(Eigen::Index n) const {
    if (n < lead) return v0;
    n -= lead;
    if (n < static_cast<Eigen::Index>(full.size())) return full[static_cast<std::size_t>(n)];
    n -= static_cast<Eigen::Index>(full.size());
    if (n < static_cast<Eigen::Index>(roll.size())) return roll[static_cast<std::size_t>(n)];
    return roll.empty() ? (full.empty() ? v0 : full.back()) : roll.back();
  }
  int phase(Eigen::Index n) const {
    if (n < lead) return 0;
    return n < lead + static_cast<Eigen::Index>(full.size()) ? 1 : 2;
  }
  bool coasting(Eigen::Index n) const { return !roll_rpm.empty() && phase(n) == 2; }
  // Engine speed, 1/min: coupled to the wheel except in the coast.
  double engine_rpm(const Model& m, Eigen::Index n) const {
    if (!coasting(n)) return m.rpm_of(at(n));
    const auto i = static_cast<std::size_t>(n - lead) - full.size();
    return roll_rpm[std::min(i, roll_rpm.size() - 1)];
  }
};

Course plan(const SynthOptions& o, const Model& m) {
  const double h = 1 / o.rate;
  Course c;
  c.v0 = m.v_of(o.rpm_start);
  for (double n = o.rpm_start; n <= o.rpm_end; n += 1) {
    if (m.full_power(m.v_of(n)) <= m.resistance(m.v_of(n))) {
      throw Error("The engine does not reach " + number_text(o.rpm_end) + " 1/min: at " +
                  number_text(n) + " 1/min its power does not overcome the resistance.");
    }
  }
  double v = c.v0;
  const auto limit = static_cast<std::size_t>(kMaxFullLoad * o.rate);
  while (m.rpm_of(v) < o.rpm_end) {
    if (m.accel(v, m.full_power(v)) <= 0 || c.full.size() > limit) {
      throw Error("The engine does not reach " + number_text(o.rpm_end) +
                  " 1/min: its power does not overcome the resistance.");
    }
    v = rk4(m, v, h, [&](double x) { return m.full_power(x); });
    c.full.push_back(v);
  }
  if (o.coast > 0) {
    const auto coast = static_cast<std::size_t>(std::llround(o.coast * o.rate));
    const double rpm0 = m.rpm_of(v);
    const double fall = std::exp(-h / kIdleDecay);
    double rpm_gap = rpm0 - o.idle_rpm;
    c.roll.reserve(coast);
    c.roll_rpm.reserve(coast);
    auto f = [&](double x) { return m.coast_accel(x); };
    for (std::size_t i = 0; i < coast; ++i) {
      const double k1 = f(v);
      const double k2 = f(v + h / 2 * k1);
      const double k3 = f(v + h / 2 * k2);
      const double k4 = f(v + h * k3);
      v += h / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
      if (!(v > 0)) {
        throw Error(std::string("The coast of ") + number_text(o.coast) +
                    " s cannot be simulated: the " + (o.roller_run ? "roller" : "vehicle") +
                    " comes to rest after " +
                    number_text(std::round(static_cast<double>(i) * h * 10) / 10) +
                    " s. Use a shorter coast or less road load.");
      }
      rpm_gap *= fall;
      c.roll.push_back(v);
      c.roll_rpm.push_back(o.idle_rpm + rpm_gap);
    }
  } else {
    const auto roll = static_cast<std::size_t>(std::llround(o.roll_off * o.rate));
    c.roll.reserve(roll);
    for (std::size_t i = 0; i < roll; ++i) {
      v = std::max(rk4(m, v, h, [&](double x) { return m.braking_power(x); }), 0.3 * c.v0);
      c.roll.push_back(v);
    }
  }
  const auto run = static_cast<Eigen::Index>(c.full.size() + c.roll.size());
  if (o.length > 0) {
    c.total = static_cast<Eigen::Index>(std::llround(o.length * o.rate));
    c.lead = c.total - run;
    if (c.lead < 0) {
      throw Error(std::string("The length is too short: full load and ") +
                  (o.coast > 0 ? "coast" : "roll-off") + " take " +
                  number_text(static_cast<double>(run) / o.rate) + " s.");
    }
  } else {
    c.lead = static_cast<Eigen::Index>(std::llround(o.lead_in * o.rate));
    c.total = c.lead + run;
  }
  return c;
}

void check(const SynthOptions& o) {
  auto positive = [](double x, const char* what) {
    if (!(x > 0) || !std::isfinite(x)) throw Error(std::string(what) + " must be positive.");
  };
  positive(o.rate, "The sample rate");
  positive(o.tyre, "The tyre circumference");
  positive(o.gear_ratio, "The gear ratio");
  positive(o.rpm_start, "The start engine speed");
  positive(o.coils, "The coil count");
  positive(o.wheel_marks, "The wheel-sensor count");
  positive(o.roller_marks, "The roller-sensor count");
  positive(o.torque_peak, "The peak torque");
  positive(o.rpm_peak, "The engine speed of the peak torque");
  if (o.roller_run) {
    positive(o.roller_inertia, "The roller inertia");
    positive(o.roller_perim, "The roller circumference");
  } else {
    positive(o.mass, "The mass");
  }
  if (!(o.rpm_end > o.rpm_start)) throw Error("The end engine speed must exceed the start.");
  if (o.bits != 8 && o.bits != 16 && o.bits != 24 && o.bits != 32)
    throw Error("The sample format must have 8, 16, 24 or 32 bits.");
  if (o.lead_in < 0 || o.roll_off < 0 || o.length < 0)
    throw Error("Durations must not be negative.");
  auto not_negative = [](double x, const char* what) {
    if (!(x >= 0) || !std::isfinite(x)) throw Error(std::string(what) + " must not be negative.");
  };
  not_negative(o.coast, "The coast duration");
  not_negative(o.rolling_coeff, "The rolling resistance coefficient");
  not_negative(o.drag_f0, "The drivetrain drag F0");
  not_negative(o.drag_f1, "The drivetrain drag F1");
  if (o.roller_run && o.rolling_coeff > 0) positive(o.mass, "The load on the driven wheel");
  if (o.coast > kMaxCoast)
    throw Error("The coast must not be longer than " + number_text(kMaxCoast) + " s.");
  if (o.coast > 0) {
    positive(o.idle_rpm, "The idle engine speed");
    if (!(o.idle_rpm < o.rpm_end))
      throw Error("The idle engine speed " + number_text(o.idle_rpm) +
                  " 1/min must lie below the end engine speed " + number_text(o.rpm_end) +
                  " 1/min.");
  }
}

}  // namespace

double engine_torque(const SynthOptions& o, double rpm) {
  const double x = (rpm - o.rpm_peak) / o.rpm_peak;
  return o.torque_peak * (1 - o.torque_drop * x * x);
}

double engine_power(const SynthOptions& o, double rpm) {
  return engine_torque(o, rpm) * rpm * kTwoPi / 60 / 1000;
}

SynthRun synthesize(const SynthOptions& o) {
  check(o);
  const Model m{o};
  const Course c = plan(o, m);
  const double h = 1 / o.rate;
  const Eigen::Index n_total = c.total;

  SynthRun run;
  run.rate = o.rate;
  run.full_load_start = static_cast<double>(c.lead) / o.rate;
  run.full_load_end =
      static_cast<double>(c.lead + static_cast<Eigen::Index>(c.full.size())) / o.rate;
  if (!c.roll_rpm.empty()) {
    run.coast_start = run.full_load_end;
    run.coast_end = run.coast_start + static_cast<double>(c.roll.size()) / o.rate;
  }
  run.y.resize(n_total, 2);

  const double decay = std::exp(-h / kPulseDecay);
  // Fractional turns and periods only, so that the phases stay exact over long runs.
  double marks = 0;          // wheel-sensor marks passed
  double engine_cycles = 0;  // alternator periods
  double roller_cycles = 0;  // roller-sensor periods
  double pulse = 0;
  double v_prev = c.at(0);
  for (Eigen::Index n = 0; n < n_total; ++n) {
    const double v = c.at(n);
    const double step = (v_prev + v) / 2 * h;
    v_prev = v;
    const double marks_before = marks;
    marks += step / o.tyre * o.wheel_marks;
    pulse *= decay;
    for (double mark = 1; mark <= marks; mark += 1) {
      // The step falls between the previous sample and this one, in proportion to the marks.
      const double frac = (mark - marks_before) / (marks - marks_before);
      pulse -= kPulseDepth * std::exp(-(1 - frac) * h / kPulseDecay);
    }
    marks -= std::floor(marks);
    if (c.coasting(n)) {
      engine_cycles += (c.engine_rpm(m, n - 1) + c.engine_rpm(m, n)) / 2 / 60 * h * o.coils;
    } else {
      engine_cycles += step / o.tyre * o.gear_ratio * o.coils;
    }
    engine_cycles -= std::floor(engine_cycles);
    roller_cycles += step / o.roller_perim * o.roller_marks;
    roller_cycles -= std::floor(roller_cycles);

    const double s1 = std::sin(kTwoPi * engine_cycles);
    const double c1 = std::cos(kTwoPi * engine_cycles);
    const double alternator =
        kAlternatorLevel * (s1 + 0.3 * (2 * s1 * c1) + 0.15 * (3 * s1 - 4 * s1 * s1 * s1));
    const double r1 = std::sin(kTwoPi * roller_cycles);
    const double q1 = std::cos(kTwoPi * roller_cycles);
    const double roller = kRollerLevel * (r1 + 0.2 * (2 * r1 * q1));
    for (int ch = 0; ch < 2; ++ch) {
      const SynthSignal s = ch == 0 ? o.left : o.right;
      double value = 0;
      if (s == SynthSignal::alternator) value = alternator;
      if (s == SynthSignal::wheel) value = pulse;
      if (s == SynthSignal::roller) value = roller;
      run.y(n, ch) = value;
    }
  }

  const bool want[2] = {o.left != SynthSignal::off, o.right != SynthSignal::off};
  std::mt19937_64 gen(o.seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int ch = 0; ch < 2; ++ch) {
    double level = kOffNoise;
    if (want[ch] && n_total > 0) {
      const double rms = std::sqrt(run.y.col(ch).squaredNorm() / static_cast<double>(n_total));
      level = rms / std::pow(10.0, o.snr_db / 20);
    }
    for (Eigen::Index n = 0; n < n_total; ++n) run.y(n, ch) += level * normal(gen);
  }

  const double dt = 0.01;
  const auto rows = static_cast<Eigen::Index>(std::floor(static_cast<double>(n_total) * h / dt));
  SynthTruth& tr = run.truth;
  tr.t.resize(rows);
  tr.v.resize(rows);
  tr.rpm.resize(rows);
  tr.power.resize(rows);
  tr.torque.resize(rows);
  tr.loss_power.resize(rows);
  tr.with_loss = o.coast > 0 || o.rolling_coeff > 0 || o.drag_f0 > 0 || o.drag_f1 > 0;
  for (Eigen::Index k = 0; k < rows; ++k) {
    const double t = static_cast<double>(k) * dt;
    const Eigen::Index n = std::min<Eigen::Index>(std::llround(t * o.rate), n_total - 1);
    const double v = c.at(n);
    const int phase = c.phase(n);
    const double P = phase == 0      ? m.resistance(v)
                     : phase == 1    ? m.full_power(v)
                     : c.coasting(n) ? 0.0
                                     : m.braking_power(v);
    tr.t(k) = t;
    tr.v(k) = v;
    tr.rpm(k) = c.engine_rpm(m, n);
    tr.power(k) = P / 1000;
    tr.torque(k) = P / m.engine_omega(v);
    tr.loss_power(k) = m.resistance(v) / 1000;
  }
  return run;
}

void write_run_wav(const SynthRun& run, int bits, const std::string& path) {
  wavwrite(run.y, run.rate, bits, path);
}

void write_truth_csv(const SynthTruth& tr, const std::string& path) {
  AtomicFile file(path, "Cannot create " + path + ".");
  std::FILE* f = file.stream();
  bool ok = std::fprintf(f, tr.with_loss ? "t_s,v_mps,rpm,power_kW,torque_Nm,loss_kW\n"
                                         : "t_s,v_mps,rpm,power_kW,torque_Nm\n") > 0;
  for (Eigen::Index k = 0; ok && k < tr.t.size(); ++k) {
    ok = std::fprintf(f, "%.3f,%.6f,%.3f,%.6f,%.6f", tr.t(k), tr.v(k), tr.rpm(k), tr.power(k),
                      tr.torque(k)) > 0;
    if (ok && tr.with_loss) ok = std::fprintf(f, ",%.6f", tr.loss_power(k)) > 0;
    ok = ok && std::fputc('\n', f) != EOF;
  }
  if (!ok) throw Error("Cannot write " + path + ".");
  file.commit("Cannot write " + path + ".");
}

}  // namespace ziva
