// An independent RFC 4180 reader for the tests of the CSV output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ziva::testing {

using Records = std::vector<std::vector<std::string>>;

// An RFC 4180 reader: records end with CRLF outside quotes; a quoted field may hold commas,
// line breaks and doubled quotes. Fails the test on a stray quote or a missing line end.
inline Records parse_csv(const std::string& text) {
  Records out;
  std::vector<std::string> rec;
  std::string field;
  bool quoted = false, was_quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      EXPECT_TRUE(field.empty() && !was_quoted) << "quote inside an unquoted field at " << i;
      quoted = was_quoted = true;
    } else if (c == ',') {
      rec.push_back(field);
      field.clear();
      was_quoted = false;
    } else if (c == '\r') {
      EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
      rec.push_back(field);
      out.push_back(rec);
      rec.clear();
      field.clear();
      was_quoted = false;
      ++i;
    } else {
      EXPECT_NE(c, '\n') << "bare LF at " << i;
      EXPECT_FALSE(was_quoted) << "text after a closing quote at " << i;
      field += c;
    }
  }
  EXPECT_FALSE(quoted) << "unterminated quote";
  EXPECT_TRUE(rec.empty() && field.empty()) << "last record without CRLF";
  return out;
}

}  // namespace ziva::testing
