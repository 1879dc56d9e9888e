// Simulated full-load runs: the stereo recording the sensors of a road or roller run would give
// (alternator tone, wheel-sensor pulses, roller tone) and the true speed, engine speed, power and
// torque over time. Serves the simulator tool, the tests and the benchmarks.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <string>

namespace ziva {

enum class SynthSignal { off, alternator, wheel, roller };

struct SynthOptions {
  bool roller_run = false;  // false: road run (mass, air drag); true: inertia roller
  SynthSignal left = SynthSignal::alternator;
  SynthSignal right = SynthSignal::wheel;
  double rate = 44100;  // samples per second
  int bits = 16;        // 8, 16, 24 (PCM) or 32 (IEEE float) when written
  double length = 0;    // total seconds; 0: lead-in + full load + roll-off
  double lead_in = 3;   // seconds at the start speed before full load
  double roll_off = 3;  // seconds after full load, throttle closed
  double snr_db = 20;   // signal to noise power ratio of each used channel
  std::uint64_t seed = 1;

  double mass = 200;             // kg (road)
  double cw = 0.5;               // drag coefficient (road) or roller loss factor (roller)
  double area = 0.75;            // frontal area, m² (road)
  double gear_ratio = 6.32;      // engine revolutions per wheel revolution
  double tyre = 1.325;           // tyre circumference, m
  double roller_inertia = 10;    // kg·m²
  double roller_perim = 0.9321;  // m
  double coils = 3;              // alternator tone periods per engine revolution
  double wheel_marks = 1;        // wheel-sensor pulses per wheel revolution
  double roller_marks = 1;       // roller-sensor tone periods per roller revolution

  double torque_peak = 30;   // Nm at the engine
  double rpm_peak = 7000;    // 1/min of the torque peak
  double torque_drop = 0.8;  // T = peak·(1 − drop·((n − n_peak)/n_peak)²)
  double rpm_start = 3000;   // 1/min at the start of full load
  double rpm_end = 11000;    // 1/min where full load ends

  // Clutch-in coast after full load, used instead of the roll-off when positive: the engine idles
  // down from its full-load end speed to idle_rpm while the vehicle (or roller and wheel) rolls
  // down under the road load alone.
  double coast = 0;        // s
  double idle_rpm = 1500;  // 1/min
  // Road load beyond the air drag (road) or the roller's loss term (roller), acting throughout
  // the run: rolling resistance rolling_coeff·mass·9.81 N and drivetrain drag drag_f0 +
  // drag_f1·v N at the wheel (on the roller: at the roller surface, with mass the load on the
  // driven wheel).
  double rolling_coeff = 0;  // c_rr
  double drag_f0 = 0;        // N
  double drag_f1 = 0;        // N per m/s
};

// The true course of the run, one row per 10 ms.
struct SynthTruth {
  Eigen::VectorXd t;       // s
  Eigen::VectorXd v;       // road speed (roller runs: roller surface speed), m/s
  Eigen::VectorXd rpm;     // 1/min
  Eigen::VectorXd power;   // engine power, kW
  Eigen::VectorXd torque;  // engine torque, Nm
  // The whole road load power (air drag or roller losses plus the extra road load): what a
  // perfect coast-down measurement would give, kW.
  Eigen::VectorXd loss_power;
  bool with_loss = false;  // the CSV carries loss_kW (a coast or an extra road load was asked)
};

struct SynthRun {
  Eigen::MatrixXd y;  // samples × 2 (left, right), within −1 … +1
  double rate = 0;
  SynthTruth truth;
  double full_load_start = 0;  // s
  double full_load_end = 0;    // s
  double coast_start = 0;      // s, 0 without a coast
  double coast_end = 0;        // s, 0 without a coast
};

// The full-load engine torque at engine speed `rpm`, Nm.
double engine_torque(const SynthOptions& o, double rpm);
// The full-load engine power at `rpm`, kW.
double engine_power(const SynthOptions& o, double rpm);

// Simulates the run. Throws ziva::Error for options it cannot simulate (for example a torque
// that never reaches rpm_end against the drag, a length shorter than the run, or a coast in
// which the vehicle comes to rest).
SynthRun synthesize(const SynthOptions& o);

// Writes the recording with the options' sample format.
void write_run_wav(const SynthRun& run, int bits, const std::string& path);
// Writes the truth as CSV: t_s, v_mps, rpm, power_kW, torque_Nm, and loss_kW when the truth
// has it (with_loss).
void write_truth_csv(const SynthTruth& truth, const std::string& path);

}  // namespace ziva
