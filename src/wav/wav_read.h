// Reading RIFF/WAVE recordings: samples scaled to [-1, 1) with one column per channel, the
// sampling rate, the sample width and a record of the format chunk and the optional chunks.
#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ziva {

// Which samples wavread returns: all of them, only the size, or the frames first..last of every
// channel (1-based, both ends included; the limits are checked against the file when it is read).
struct WavExtent {
  enum class Kind { All, Size, Range };
  Kind kind = Kind::All;
  double first = 0;
  double last = 0;

  static WavExtent all() { return {}; }
  static WavExtent size() { return {Kind::Size, 0, 0}; }
  static WavExtent range(double first, double last) { return {Kind::Range, first, last}; }
};

// The extent named by a text: "size" in any case or any leading part of it ("s", "SI", ...) asks
// for the size; an empty text asks for all samples. Any other text throws ziva::Error
// ("Sample limit vector must have 2 elements." for one character, otherwise "Index range must be
// specified as a scalar or 2-element vector.").
WavExtent wav_extent(const std::string& text);

// The extent named by numbers: empty → all samples; 0 or [0 0] → the size; N → frames 1..N;
// [N1 N2] → frames N1..N2. More than two numbers throw ziva::Error("Index range must be specified
// as a scalar or 2-element vector.").
WavExtent wav_extent(const Eigen::MatrixXd& limits);

// Texts under names, kept in the order the names were first set; setting a name again replaces
// its text in place. Names and texts are byte strings.
class WavTexts {
 public:
  using Entry = std::pair<std::string, std::string>;

  void set(const std::string& name, std::string text);
  // The text under `name`, or nullptr.
  const std::string* find(const std::string& name) const;
  const std::vector<Entry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<Entry> entries_;
};

// The format chunk as read. Optional fields exist only when the chunk held them: nBitsPerSample
// and cbSize for PCM (tag 1) and extensible (tag 65534) formats, the last three for extensible
// formats whose extension is complete. SubFormat holds the 16 bytes of the sub-format GUID.
struct WavFormat {
  double wFormatTag = 0;
  double nChannels = 0;
  double nSamplesPerSec = 0;
  double nAvgBytesPerSec = 0;
  double nBlockAlign = 0;
  std::optional<double> nBitsPerSample;
  std::optional<double> cbSize;
  std::optional<double> wValidBitsPerSample;
  std::optional<double> dwChannelMask;
  std::optional<std::string> SubFormat;
};

// The display text of a "disp" chunk; name is always "DisplayName".
struct WavDisplay {
  std::string name;
  std::string text;
};

// The optional-chunk record: a field is set only when its chunk was seen. `order` names the set
// fields ("fmt", "fact", "disp", "info", "list") in the order they were first assigned.
struct WavChunks {
  std::optional<WavFormat> fmt;
  std::optional<std::string> fact;  // body of the "fact" chunk, one char per byte
  std::optional<WavDisplay> disp;
  std::optional<WavTexts> info;  // "info" list: lower-case sub-chunk ID → text
  std::optional<WavTexts> list;  // other lists: lower-case list type → remaining body
  std::vector<std::string> order;
};

struct WavReadResult {
  // samples × channels, or the row [samples per channel, channels] for a size request
  Eigen::MatrixXd y;
  double Fs = 0;
  // 8 · nBlockAlign / nChannels for PCM and IEEE float data; empty for other format tags
  std::optional<double> bits;
  WavChunks opt_ck;
};

// Reads the file `file` (".wav" is appended when its name has no extension). Throws ziva::Error
// with the reader's message for every file it cannot read; never reads outside the file, and
// allocates no more than the samples the file actually holds.
WavReadResult wavread(const std::string& file, const WavExtent& ext = {});

// The same reader over a file image in memory.
WavReadResult wavread_bytes(const void* data, std::size_t size, const WavExtent& ext = {});

// A recording read a range of frames at a time from one open file: the samples wavread gives
// for WavExtent::range, without opening the file and going through its chunks for every range.
class WavFrameReader {
 public:
  // Goes through the chunks as wavread(file, WavExtent::size()) does and throws its errors.
  explicit WavFrameReader(const std::string& file);
  ~WavFrameReader();
  WavFrameReader(const WavFrameReader&) = delete;
  WavFrameReader& operator=(const WavFrameReader&) = delete;

  // What wavread(file, WavExtent::size()) returns: y = [frames channels], Fs, bits, opt_ck.
  const WavReadResult& info() const;
  // Whether the file holds one data chunk (ranges of wavread refer to each of several).
  bool single_data_chunk() const;
  // Whether every sample is finite by the format alone (integers, or floats within ±32768 under
  // the PCM tag); IEEE float samples may not be.
  bool finite_samples() const;
  // Frames first ... first + n - 1 (counted from 0) of the last data chunk, scaled as wavread
  // scales them: channel c's samples go to out[c·stride ...]. `bytes` is scratch storage, kept
  // by the caller so that it need not be allocated again; with one each, several threads may
  // read at once. Throws "Sample limits out of range." for frames the file does not hold.
  void read(std::int64_t first, std::int64_t n, double* out, std::int64_t stride,
            std::vector<unsigned char>& bytes) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ziva
