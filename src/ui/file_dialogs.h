// File-name dialogs of the main window: each opens in the folder of the file its field names and
// writes the chosen full name into the field; the working directory is the same afterwards.
#pragma once

#include <string>

#include "platform/core/function_table.h"

namespace ziva {

void get_wav_filename(Env& env);
void get_out_filename(Env& env);
void get_print_filename(Env& env);
// 1 when `dirpath` names an existing directory, else 0.
double isdir(const std::string& dirpath);

// Shows a file dialog opened in the folder of `current` (when that folder exists), restoring
// the working directory afterwards. `save` picks the save dialog.
FileChoice file_dialog_near(Env& env, const std::string& current, bool save,
                            const std::vector<FileFilter>& filters, const std::string& title);

}  // namespace ziva
