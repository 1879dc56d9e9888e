// Writing the part of a recording shown in the cut window as a new WAV file, and choosing the
// name of that file.
#pragma once

#include <string>

#include "platform/core/function_table.h"

namespace ziva {

// Asks for the cut file's name with a save dialog opened in the folder of the main window's WAV
// file (the working directory is the same afterwards) and puts the chosen name into the main
// window's WAV file field and the cut window's file name field. A cancelled dialog changes
// nothing.
void put_wav_filename(Env& env);

// Writes the samples of the recording `wavfile1` that lie strictly inside the cut axes' current
// x range, all channels at the recording's rate, as 32-bit floats to the file named in the cut
// window's file name field (".wav" appended to a name without any "."), then names that file in
// the main window's WAV file field. When that file is `wavfile1` itself the user is asked first,
// and only the yes button writes. The file appears only when complete; on an error the fields
// keep their texts. After `wavfile1` was replaced, later saves from the same window still take
// their samples from the recording as it was when first read.
void save_wav_cut(Env& env, const std::string& wavfile1);

}  // namespace ziva
