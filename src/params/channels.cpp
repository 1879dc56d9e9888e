#include "params/channels.h"

#include "ui/main_window_view.h"
#include "ui/strings.h"

namespace ziva {

namespace {

using S = Source;
using C = Conversion;

const std::vector<ChannelRow> kRows = {
    // ch1 ch2 left right conversion primary secondary cut cut_ch roller_tone roller summary
    {1, 1, S::Alternator, S::Alternator, C::Alternator, 0, 0, CutView::Spectrogram, 1, false, false,
     Summary::Road},
    {1, 2, S::Alternator, S::WheelSensors, C::AlternatorPulses, 1, 2, CutView::Spectrogram, 1,
     false, false, Summary::RoadSensors},
    {1, 3, S::Alternator, S::Roller, C::AlternatorRoller, 1, 2, CutView::Spectrogram, 1, false,
     true, Summary::RollerSensors},
    {1, 4, S::Alternator, S::Off, C::Alternator, 1, 0, CutView::Spectrogram, 1, false, false,
     Summary::None},
    {2, 1, S::WheelSensors, S::Alternator, C::AlternatorPulses, 2, 1, CutView::Spectrogram, 2,
     false, false, Summary::RoadSensors},
    {2, 2, S::WheelSensors, S::WheelSensors, C::Pulses, 0, 0, CutView::PulseSpeed, 0, false, false,
     Summary::RoadPulses},
    {2, 3, S::WheelSensors, S::Off, C::Pulses, 1, 0, CutView::PulseSpeed, 1, false, false,
     Summary::None},
    {3, 1, S::Roller, S::Alternator, C::AlternatorRoller, 2, 1, CutView::Spectrogram, 2, false,
     true, Summary::RollerSensors},
    {3, 2, S::Roller, S::Roller, C::Roller, 0, 0, CutView::Spectrogram, 1, true, true,
     Summary::RollerRoller},
    {3, 3, S::Roller, S::Off, C::Roller, 1, 0, CutView::Spectrogram, 1, true, true, Summary::None},
    {4, 1, S::Off, S::Alternator, C::Alternator, 2, 0, CutView::Spectrogram, 2, false, false,
     Summary::None},
    {4, 2, S::Off, S::WheelSensors, C::Pulses, 2, 0, CutView::PulseSpeed, 2, false, false,
     Summary::None},
    {4, 3, S::Off, S::Roller, C::Roller, 2, 0, CutView::Spectrogram, 2, true, true, Summary::None},
    {4, 4, S::Off, S::Off, C::None, 0, 0, CutView::None, 0, false, false, Summary::None},
};

const std::vector<Source> kLeftList = {S::Alternator, S::WheelSensors, S::Roller, S::Off};

const std::vector<Source>& right_list(int ch1) {
  static const std::vector<Source> full = kLeftList;
  static const std::vector<Source> sensors = {S::Alternator, S::WheelSensors, S::Off};
  static const std::vector<Source> roller = {S::Alternator, S::Roller, S::Off};
  if (ch1 == 2) return sensors;
  if (ch1 == 3) return roller;
  return full;
}

std::optional<Source> entry(const std::vector<Source>& list, double x) {
  if (!(x >= 1 && x <= static_cast<double>(list.size())) || x != static_cast<int>(x))
    return std::nullopt;
  return list[static_cast<std::size_t>(x) - 1];
}

// First character (a whole UTF-8 sequence) of a text.
std::string first_letter(const std::string& s) {
  if (s.empty()) return {};
  std::size_t n = 1;
  while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
  return s.substr(0, n);
}

}  // namespace

const std::vector<ChannelRow>& channel_table() {
  return kRows;
}

std::optional<ChannelRow> channel_row(double ch1, double ch2) {
  for (const ChannelRow& r : kRows)
    if (r.ch1 == ch1 && r.ch2 == ch2) return r;
  return std::nullopt;
}

const char* right_list_field(int ch1) {
  if (ch1 == 2) return "popup_sig2";
  if (ch1 == 3) return "popup_sig3";
  return "popup_sig";
}

std::optional<Source> left_source(double ch1) {
  return entry(kLeftList, ch1);
}

std::optional<Source> right_source(double ch1, double ch2) {
  const auto left = left_source(ch1);
  if (!left) return std::nullopt;
  return entry(right_list(static_cast<int>(ch1)), ch2);
}

bool is_roller_run(double sig_ch1, double sig_ch2) {
  return left_source(sig_ch1) == Source::Roller || right_source(sig_ch1, sig_ch2) == Source::Roller;
}

void adj_par(Env& env) {
  const Record& st = strings();
  const MainWindowView w(env);
  Handle ch1 = control(env, tag::sig_ch1);
  Handle ch2 = control(env, tag::sig_ch2);
  int v = static_cast<int>(w.value(tag::sig_ch1));
  int x = static_cast<int>(w.value(tag::sig_ch2));
  std::vector<Handle> roller;
  for (const char* t : {"total_tork_txt", "total_tork", "cylin_perim_txt", "cylin_perim"})
    roller.push_back(control(env, t));

  if (v == 1 || v == 4) {
    std::string shown = env.g.get(ch2, "String").row_text(static_cast<std::size_t>(x - 1));
    auto full = st.at(right_list_field(v)).rows();
    int found = x;
    for (std::size_t i = 0; i < full.size(); ++i) {
      if (first_letter(full[i]) == first_letter(shown)) {
        found = static_cast<int>(i) + 1;
        break;
      }
    }
    env.g.set(ch2, "String", st.at(right_list_field(v)));
    env.g.set(ch2, "Value", static_cast<double>(found));
  } else if (v == 2 || v == 3) {
    if (x == 4) env.g.set(ch2, "Value", 3.0);
    env.g.set(ch2, "String", st.at(right_list_field(v)));
  }

  Value list1 = env.g.get(ch1, "String");
  Value list2 = env.g.get(ch2, "String");
  auto entry_of = [](const Value& list, double value) {
    auto rows = list.rows();
    auto i = static_cast<std::size_t>(value) - 1;
    return i < rows.size() ? rows[i] : std::string();
  };
  std::string roller_letter = first_letter(list1.row_text(2));
  bool roller_used = first_letter(entry_of(list1, w.value(tag::sig_ch1))) == roller_letter ||
                     first_letter(entry_of(list2, w.value(tag::sig_ch2))) == roller_letter;
  for (Handle h : roller) env.g.set(h, "Visible", roller_used ? "on" : "off");
  env.g.set(control(env, tag::wheel_sens_caption), "String",
            st.at(roller_used ? "roll_sens" : "wheel_sens"));
}

}  // namespace ziva
