#include "platform/core/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ziva;

TEST(Num2str, WholeNumbersHaveNoDecimalsOthersUpToFour) {
  // clang-format off
  const std::pair<double, const char*> rows[] = {
      {200, "200"}, {-3, "-3"}, {0.9321, "0.9321"}, {3.14159, "3.1416"}, {-0.00001, "0"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<double>::infinity(), "-Inf"}};
  // clang-format on
  for (const auto& [x, text] : rows) EXPECT_EQ(num2str(x), text);
}

TEST(Str2num, PlainDecimalNumbersOnly) {
  EXPECT_EQ(str2num("1.325"), 1.325);
  EXPECT_EQ(str2num("  -2e3 "), -2000.0);
  EXPECT_EQ(str2num("+.5"), 0.5);
  EXPECT_EQ(str2num("7."), 7.0);
  for (const char* bad : {"", "   ", "abc", "1.000.5", "1 2", "1e", "."})
    EXPECT_FALSE(str2num(bad)) << bad;
}

TEST(ShortestText, ReadsBackExactly) {
  for (double x : {0.9321, 1.325, 6.32, 1013.0, 200.0, 0.1 + 0.2, 1e-7, 123456789.125}) {
    std::string s = shortest_text(x);
    ASSERT_TRUE(str2num(s)) << s;
    EXPECT_EQ(*str2num(s), x) << s;
  }
  EXPECT_EQ(shortest_text(0.9321), "0.9321");
  EXPECT_EQ(shortest_text(1013), "1013");
}

TEST(Texts, CharactersNotBytes) {
  EXPECT_EQ(char_count("Trägheitsrolle"), 14u);
  EXPECT_EQ(pad_to("ä", 3), "ä  ");
  EXPECT_EQ(collapse_blanks("a   b  "), "a b ");
  EXPECT_EQ(remove_blanks("Aus               "), "Aus");
  EXPECT_EQ(quote("Lauf's 2"), "'Lauf''s 2'");
}
