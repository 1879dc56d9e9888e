// Text helpers: characters of UTF-8 texts, number/text conversion as the program shows numbers.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ziva {

// Number of characters (not bytes) of a UTF-8 text.
std::size_t char_count(const std::string& s);
// The text padded with blanks to `width` characters.
std::string pad_to(const std::string& s, std::size_t width);
std::string trim_trailing_blanks(const std::string& s);
std::string trim_blanks(const std::string& s);
// Every blank removed.
std::string remove_blanks(const std::string& s);
// Every run of consecutive blanks cut to one blank.
std::string collapse_blanks(const std::string& s);
std::string to_lower(std::string s);
bool iequals(const std::string& a, const std::string& b);
std::string replace_all(std::string s, const std::string& from, const std::string& to);

// Whole numbers without decimals, others rounded to four decimals with trailing zeros dropped;
// "NaN", "Inf", "-Inf" for non-finite values.
std::string num2str(double x);
// Plain decimal number with optional sign and exponent, blanks around it allowed. Nothing for an
// empty text, a non-number or several numbers.
std::optional<double> str2num(const std::string& s);
// The shortest text that reads back as exactly the same double.
std::string shortest_text(double x);

// A text as a quoted literal of a callback string: enclosed in ' with every ' doubled.
std::string quote(const std::string& s);
// Doubles every single quote, for texts inserted between quotes of a callback string.
std::string escape_quotes(const std::string& s);

}  // namespace ziva
