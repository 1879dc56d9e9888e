// ziva-synth: simulates a full-load run and writes the stereo recording as a WAV file and the true
// speed, engine speed, power and torque as a CSV file.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "base/output_paths.h"
#include "platform/core/text.h"
#include "sim/simulate.h"
#include "wav/sample_rates.h"
#include "wav/wav_write.h"

namespace {

using ziva::SynthOptions;
using ziva::SynthSignal;

const char* const kHelp = R"(Usage: ziva-synth [options]
Simulates a full-load run (lead-in at the start speed, full load up to the end engine speed,
roll-off or clutch-in coast) and writes what a sound card would record from the sensors, plus
the true course.

Output
  --out FILE          WAV file to write (default run.wav)
  --csv FILE          truth as CSV: t_s,v_mps,rpm,power_kW,torque_Nm (default: FILE of --out
                      with .csv instead of .wav); with a coast or an extra road load also
                      loss_kW, the whole road load power
Recording
  --left SIGNAL       left channel: alternator, wheel, roller or off (default alternator)
  --right SIGNAL      right channel (default wheel; roller for --kind roller)
  --rate HZ           sample rate, a whole number from 4000 to 768000 (default 44100)
  --format F          8, 16 or 24 (PCM bits) or float (default 16)
  --length S          total length in seconds; the lead-in takes what full load and roll-off
                      leave (default: lead-in + full load + roll-off)
  --lead-in S         seconds at the start speed before full load (default 3)
  --roll-off S        seconds after full load, throttle closed (default 3)
  --coast S           seconds of clutch-in coast after full load instead of the roll-off: the
                      engine idles down, the vehicle or roller rolls down under the road load
                      (default 0: no coast)
  --idle-rpm RPM      engine speed the engine idles down to in the coast (default 1500)
  --snr DB            signal to noise power ratio of each used channel (default 20)
  --seed N            seed of the noise (default 1)
Run
  --kind K            road (mass and air drag) or roller (inertia roller) (default road)
  --mass KG           total moving mass (default 200)
  --cw X              drag coefficient; on the roller the loss factor (default 0.5)
  --area M2           frontal area (default 0.75)
  --ratio X           gear ratio, engine revolutions per wheel revolution (default 6.32)
  --tyre M            tyre circumference (default 1.325)
  --inertia KGM2      roller moment of inertia (default 10)
  --roller-perim M    roller circumference (default 0.9321)
Extra road load (besides air drag or the roller loss; the engine drives against it, the coast
shows it)
  --rolling C         rolling resistance coefficient: C * mass * 9.81 N; on the roller mass is
                      the load on the driven wheel (default 0)
  --drag-f0 N         drivetrain drag, constant part in N (default 0)
  --drag-f1 NS/M      drivetrain drag per m/s of speed (default 0)
Sensors
  --coils N           alternator tone periods per engine revolution (default 3)
  --wheel-marks N     wheel-sensor pulses per wheel revolution (default 1)
  --roller-marks N    roller-sensor tone periods per roller revolution (default 1)
Engine (full-load torque T = peak * (1 - drop * ((rpm - rpm_peak) / rpm_peak)^2))
  --torque NM         peak torque (default 30)
  --rpm-peak RPM      engine speed of the peak torque (default 7000)
  --torque-drop X     curvature of the torque curve (default 0.8)
  --rpm-start RPM     engine speed at the start of full load (default 3000)
  --rpm-end RPM       engine speed where full load ends (default 11000)
  --help              this text
)";

SynthSignal signal_of(const std::string& s) {
  if (s == "alternator") return SynthSignal::alternator;
  if (s == "wheel") return SynthSignal::wheel;
  if (s == "roller") return SynthSignal::roller;
  if (s == "off") return SynthSignal::off;
  throw ziva::Error("Unknown signal '" + s + "': use alternator, wheel, roller or off.");
}

const char* name_of(SynthSignal s) {
  switch (s) {
    case SynthSignal::alternator:
      return "alternator";
    case SynthSignal::wheel:
      return "wheel sensors";
    case SynthSignal::roller:
      return "roller";
    case SynthSignal::off:
      break;
  }
  return "off";
}

double number(const std::string& option, const std::string& text) {
  auto x = ziva::str2num(text);
  if (!x) throw ziva::Error("Option " + option + " needs a number, not '" + text + "'.");
  return *x;
}

int run(int argc, char** argv) {
  SynthOptions o;
  std::string out = "run.wav";
  std::string csv;
  bool right_given = false;
  std::map<std::string, double*> numbers = {{"--rate", &o.rate},
                                            {"--length", &o.length},
                                            {"--lead-in", &o.lead_in},
                                            {"--roll-off", &o.roll_off},
                                            {"--snr", &o.snr_db},
                                            {"--mass", &o.mass},
                                            {"--cw", &o.cw},
                                            {"--area", &o.area},
                                            {"--ratio", &o.gear_ratio},
                                            {"--tyre", &o.tyre},
                                            {"--inertia", &o.roller_inertia},
                                            {"--roller-perim", &o.roller_perim},
                                            {"--coils", &o.coils},
                                            {"--wheel-marks", &o.wheel_marks},
                                            {"--roller-marks", &o.roller_marks},
                                            {"--torque", &o.torque_peak},
                                            {"--rpm-peak", &o.rpm_peak},
                                            {"--torque-drop", &o.torque_drop},
                                            {"--rpm-start", &o.rpm_start},
                                            {"--rpm-end", &o.rpm_end},
                                            {"--coast", &o.coast},
                                            {"--idle-rpm", &o.idle_rpm},
                                            {"--rolling", &o.rolling_coeff},
                                            {"--drag-f0", &o.drag_f0},
                                            {"--drag-f1", &o.drag_f1}};
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--help" || opt == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (i + 1 >= argc) throw ziva::Error("Option " + opt + " needs a value (see --help).");
    const std::string val = argv[++i];
    if (auto it = numbers.find(opt); it != numbers.end()) {
      *it->second = number(opt, val);
    } else if (opt == "--out") {
      out = val;
    } else if (opt == "--csv") {
      csv = val;
    } else if (opt == "--left") {
      o.left = signal_of(val);
    } else if (opt == "--right") {
      o.right = signal_of(val);
      right_given = true;
    } else if (opt == "--kind") {
      if (val != "road" && val != "roller")
        throw ziva::Error("Unknown kind '" + val + "': use road or roller.");
      o.roller_run = val == "roller";
    } else if (opt == "--format") {
      if (val == "float") {
        o.bits = 32;
      } else {
        o.bits = static_cast<int>(number(opt, val));
        if (o.bits != 8 && o.bits != 16 && o.bits != 24)
          throw ziva::Error("Unknown format '" + val + "': use 8, 16, 24 or float.");
      }
    } else if (opt == "--seed") {
      o.seed = static_cast<std::uint64_t>(number(opt, val));
    } else {
      throw ziva::Error("Unknown option " + opt + " (see --help).");
    }
  }
  if (o.roller_run && !right_given) o.right = SynthSignal::roller;
  if (!(o.rate >= ziva::kLowestRate && o.rate <= ziva::kHighestRate) ||
      o.rate != std::floor(o.rate)) {
    throw ziva::Error("Option --rate needs a whole number of Hz from " +
                      ziva::num2str(ziva::kLowestRate) + " to " +
                      ziva::num2str(ziva::kHighestRate) + ", not " + ziva::num2str(o.rate) +
                      ": the rates sound cards record at and the evaluation accepts.");
  }
  out = ziva::wav_file_name(out);
  if (csv.empty()) {
    const std::size_t dot = out.find_last_of('.');
    const std::size_t slash = out.find_last_of('/');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    csv = (has_ext ? out.substr(0, dot) : out) + ".csv";
  }

  if (ziva::same_file(out, csv))
    throw ziva::Error("The CSV file '" + csv + "' is the WAV file '" + out +
                      "': use another name.");

  const ziva::SynthRun r = ziva::synthesize(o);
  ziva::write_run_wav(r, o.bits, out);
  ziva::write_truth_csv(r.truth, csv);

  double p_max = 0, rpm_p = 0, t_max = 0, rpm_t = 0;
  for (double n = o.rpm_start; n <= o.rpm_end; n += 10) {
    if (ziva::engine_power(o, n) > p_max) p_max = ziva::engine_power(o, n), rpm_p = n;
    if (ziva::engine_torque(o, n) > t_max) t_max = ziva::engine_torque(o, n), rpm_t = n;
  }
  const double seconds = static_cast<double>(r.y.rows()) / o.rate;
  std::printf("Wrote %s (%s s, %s Hz, %s, left %s, right %s) and %s.\n", out.c_str(),
              ziva::num2str(seconds).c_str(), ziva::num2str(o.rate).c_str(),
              o.bits == 32 ? "float" : (std::to_string(o.bits) + "-bit").c_str(), name_of(o.left),
              name_of(o.right), csv.c_str());
  std::printf("%s run, full load from %s s to %s s (%s to %s 1/min).\n",
              o.roller_run ? "Roller" : "Road", ziva::num2str(r.full_load_start).c_str(),
              ziva::num2str(r.full_load_end).c_str(), ziva::num2str(o.rpm_start).c_str(),
              ziva::num2str(o.rpm_end).c_str());
  std::printf("True peak power %s kW (%s PS) at %s 1/min, peak torque %s Nm at %s 1/min.\n",
              ziva::num2str(p_max).c_str(), ziva::num2str(p_max * 1.35962).c_str(),
              ziva::num2str(rpm_p).c_str(), ziva::num2str(t_max).c_str(),
              ziva::num2str(rpm_t).c_str());
  if (r.coast_end > r.coast_start) {
    std::printf("Clutch-in coast from %s s to %s s, the engine idling down to %s 1/min.\n",
                ziva::num2str(r.coast_start).c_str(), ziva::num2str(r.coast_end).c_str(),
                ziva::num2str(o.idle_rpm).c_str());
  }
  if (o.rolling_coeff > 0 || o.drag_f0 > 0 || o.drag_f1 > 0) {
    // The extra road load at the speed of the peak power.
    const double v = rpm_p / 60 / o.gear_ratio * o.tyre;
    const double extra = (o.rolling_coeff * o.mass * 9.81 + o.drag_f0 + o.drag_f1 * v) * v / 1000;
    std::printf("Extra road load %s kW at %s 1/min (%s %% of the peak power).\n",
                ziva::num2str(extra).c_str(), ziva::num2str(rpm_p).c_str(),
                ziva::num2str(100 * extra / p_max).c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ziva-synth: %s\n", e.what());
    return 1;
  }
}
