// Writing samples as a RIFF/WAVE file: 8-, 16- or 24-bit PCM, quantized and clipped, or 32-bit
// IEEE floats written unchanged.
#pragma once

#include <Eigen/Core>
#include <string>

namespace ziva {

// Writes y (samples × channels; a single row is taken as one channel) with the sampling rate Fs
// and nbits bits per sample (8, 16, 24 or 32) to `wavefile`, with ".wav" appended when the name
// holds no ".". The file appears only when it is complete: on any error a file of that name is
// left as it was. Integer widths round m·y (+128 for 8 bits), m = 2^(nbits-1), and clip to the
// width's range, reporting a clip once through ziva::warning("Data clipped during write to
// file:" + name). Throws ziva::Error: "Invalid number of bits specified." for other widths, the
// system's message when the file cannot be created, "Failed to write ..." when writing fails.
void wavwrite(const Eigen::MatrixXd& y, double Fs, double nbits, const std::string& wavefile);

// The name wavwrite writes to: `wavefile`, with ".wav" appended when it holds no ".".
std::string wav_file_name(const std::string& wavefile);

// 16 bits per sample.
void wavwrite(const Eigen::MatrixXd& y, double Fs, const std::string& wavefile);

// 8000 samples per second, 16 bits per sample.
void wavwrite(const Eigen::MatrixXd& y, const std::string& wavefile);

}  // namespace ziva
