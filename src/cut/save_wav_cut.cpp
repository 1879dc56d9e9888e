#include "cut/save_wav_cut.h"

#include <filesystem>

#include "base/error.h"
#include "cut/cut_window.h"
#include "ui/file_dialogs.h"
#include "ui/main_window_view.h"
#include "ui/strings.h"
#include "wav/wav_read.h"
#include "wav/wav_write.h"

namespace ziva {

namespace {

// The name the writer gives the file: ".wav" is appended to a name without any ".".
std::string written_name(const std::string& name) {
  return name.find('.') == std::string::npos ? name + ".wav" : name;
}

// True when writing `target` (typed as `typed`) would replace the file `input`.
bool replaces_input(const std::string& typed, const std::string& target, const std::string& input) {
  if (typed == input || target == input) return true;
  std::error_code ec;
  return std::filesystem::equivalent(target, input, ec) && !ec;
}

// The recording kept with the cut axes after a save replaced its file: name, samples and rate.
struct Kept {
  Eigen::MatrixXd y;
  double Fs = 0;
};

std::optional<Kept> kept_recording(const Graphics& g, Handle ax, const std::string& wavfile1) {
  const Value v = g.get(ax, "UserData");
  if (!v.is_record()) return std::nullopt;
  const Record& r = v.rec();
  if (!r.has("file") || !r.has("y") || !r.has("Fs")) return std::nullopt;
  if (!r.at("file").is_text() || r.at("file").text() != wavfile1) return std::nullopt;
  return Kept{r.at("y").num(), r.at("Fs").scalar()};
}

void keep_recording(Graphics& g, Handle ax, const std::string& wavfile1, const Kept& k) {
  Record r;
  r["file"] = wavfile1;
  r["y"] = k.y;
  r["Fs"] = k.Fs;
  g.set(ax, "UserData", Value(std::move(r)));
}

}  // namespace

void put_wav_filename(Env& env) {
  const Record& st = strings();
  const Handle wav_field = control(env, tag::wav_file);
  const FileChoice c =
      file_dialog_near(env, env.g.get_text(wav_field, "String"), true,
                       {{"*.wav", st_text(st, "wav_file")}, {"*.*", st_text(st, "all_file")}},
                       st_text(st, "wav_files"));
  if (c.cancelled) return;
  const std::string name = c.dir + c.name;
  env.g.set(wav_field, "String", name);
  const Handle cut_field = env.g.find_first("Tag", "wav_cut_file");
  if (cut_field != 0) env.g.set(cut_field, "String", name);
}

void save_wav_cut(Env& env, const std::string& wavfile1) {
  const Record& st = strings();
  const std::string wavfile2 = env.g.get_text(control(env, tag::wav_cut_file), "String");
  const std::string target = written_name(wavfile2);
  const bool over_input = replaces_input(wavfile2, target, wavfile1);
  if (over_input) {
    const std::string yes = st_text(st, "yes");
    const std::string no = st_text(st, "no");
    const std::optional<std::string> answer =
        env.s.question(st_text(st, "file_overw"), wavfile1, yes, no, no);
    if (!answer || *answer != yes) return;
  }

  const Handle ax = env.g.find_first("Tag", cut_axes_tag(st));
  if (ax == 0) throw Error("No cut view is open.");
  Kept rec;
  std::optional<Kept> kept = kept_recording(env.g, ax, wavfile1);
  if (kept) {
    rec = std::move(*kept);
  } else {
    WavReadResult wav = wavread(wavfile1);
    rec = Kept{std::move(wav.y), wav.Fs};
  }
  const Eigen::MatrixXd cut = rows_inside(rec.y, rec.Fs, env.g.get_row(ax, "XLim"));
  if (over_input && !kept) keep_recording(env.g, ax, wavfile1, rec);
  wavwrite(cut, rec.Fs, 32, wavfile2);
  env.g.set(control(env, tag::wav_file), "String", target);
}

}  // namespace ziva
