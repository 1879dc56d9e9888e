// Parameter files: the twenty settings of the main window as named variables of a MAT file.
#pragma once

#include <optional>
#include <string>

#include "params/parameters.h"

namespace ziva {

// Asks for a file name and writes the current parameter set to it.
void save_par(Env& env);
// Loads a parameter file into the controls (asks for the name when none is given). The file is
// read and checked completely before any control changes.
void load_par(Env& env, std::optional<std::string> file);

// The file layer: writes the set (temporary file, then rename) and reads it back.
void write_par_file(const std::string& file, const ParSet& p);
ParSet read_par_file(const std::string& file);

}  // namespace ziva
