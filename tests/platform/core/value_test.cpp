// The dynamic value and the record: kinds, emptiness, conversions with their messages, padded
// lists counted in characters, equality and field order.
#include "platform/core/value.h"

#include <gtest/gtest.h>

#include <complex>
#include <functional>

#include "support/error_of.h"

using namespace ziva;
using ziva::testing::error_of;

namespace {

Record two_fields(const char* first, const char* second) {
  Record r;
  r[first] = 1.0;
  r[second] = "b";
  return r;
}

struct KindCase {
  const char* name;
  Value v;
  Value::Kind kind;
  const char* class_name;
  bool empty;
};

class ValueKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(ValueKinds, KindClassNameAndEmptiness) {
  const KindCase& c = GetParam();
  EXPECT_EQ(c.v.kind(), c.kind);
  EXPECT_EQ(c.v.class_name(), c.class_name);
  EXPECT_EQ(c.v.empty(), c.empty);
  EXPECT_EQ(c.v.is_chars(), c.kind == Value::Kind::Text || c.kind == Value::Kind::List);
}

using K = Value::Kind;
INSTANTIATE_TEST_SUITE_P(
    Core, ValueKinds,
    ::testing::Values(
        KindCase{"absent", Value(), K::Absent, "undefined", true},
        KindCase{"scalar", Value(2.5), K::Number, "double", false},
        KindCase{"empty_matrix", Value::empty_matrix(), K::Number, "double", true},
        KindCase{"complex", Value(Eigen::MatrixXcd(Eigen::MatrixXcd::Constant(1, 2, {1.0, 2.0}))),
                 K::Complex, "double", false},
        // A complex matrix without imaginary parts is stored as numbers.
        KindCase{"real_complex",
                 Value(Eigen::MatrixXcd(Eigen::MatrixXcd::Constant(1, 2, {1.0, 0.0}))), K::Number,
                 "double", false},
        KindCase{"text", Value("ä"), K::Text, "char", false},
        KindCase{"empty_text", Value(""), K::Text, "char", true},
        KindCase{"list", Value::list({"a"}), K::List, "char", false},
        KindCase{"empty_list", Value::list({}), K::List, "char", true},
        KindCase{"record", Value(Record()), K::Record, "struct", false},
        KindCase{"cells", Value(std::vector<Value>{Value(1.0)}), K::Cell, "cell", false},
        KindCase{"empty_cells", Value(std::vector<Value>{}), K::Cell, "cell", true}),
    [](const auto& info) { return std::string(info.param.name); });

// Rows are padded to the longest entry or the given width, counting characters, not bytes.
TEST(Value, ListsPadByCharacters) {
  const Value l = Value::list({"Aus", "Trägheitsrolle"});
  ASSERT_EQ(l.rows().size(), 2u);
  EXPECT_EQ(l.row_text(0), "Aus           ");
  EXPECT_EQ(l.row_text(1), "Trägheitsrolle");
  EXPECT_EQ(Value::list({"ä", "b"}, 3).rows(), (std::vector<std::string>{"ä  ", "b  "}));
  EXPECT_EQ(Value::list({"abcd"}, 2).row_text(0), "abcd");
  // A text is one row, an empty matrix none.
  EXPECT_EQ(Value("x y").rows(), std::vector<std::string>{"x y"});
  EXPECT_TRUE(Value::empty_matrix().rows().empty());
}

TEST(Value, ConversionsRefuseOtherKindsWithTheirMessage) {
  // clang-format off
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[] { (void)Value("a").num(); }, "Expected a numeric value, got char."},
      {[] { (void)Value::empty_matrix().scalar(); }, "Expected a number, got an empty value."},
      {[] { (void)Value(1.0).text(); }, "Expected a text, got double."},
      {[] { (void)Value(Record()).rows(); }, "Expected a text, got struct."},
      {[] { (void)Value::list({"a"}).row_text(1); }, "Index exceeds matrix dimensions."},
      {[] { (void)Value(std::vector<Value>{}).rec(); }, "Expected a record, got cell."},
      {[] { (void)Value().cells(); }, "Expected a cell list, got undefined."}};
  // clang-format on
  for (const auto& [call, message] : rows) EXPECT_EQ(error_of(call), message);
  EXPECT_EQ(Value(Eigen::MatrixXd(Eigen::MatrixXd::Constant(2, 2, 7.0))).scalar(), 7.0);
  EXPECT_EQ(Value(3.0).cnum()(0, 0), std::complex<double>(3.0, 0.0));
}

TEST(Value, EqualityNeedsKindShapeAndContents) {
  EXPECT_NE(Value(Eigen::MatrixXd(Eigen::MatrixXd::Zero(1, 2))),
            Value(Eigen::MatrixXd(Eigen::MatrixXd::Zero(2, 1))));
  EXPECT_NE(Value(Eigen::MatrixXd(Eigen::MatrixXd::Zero(1, 2))), Value::row({0, 1}));
  EXPECT_NE(Value("a"), Value::list({"a"}));
  EXPECT_NE(Value::list({"a"}), Value::list({"a"}, 2));
  EXPECT_NE(Value(), Value::empty_matrix());
  EXPECT_NE(Value(std::vector<Value>{Value(1.0)}), Value(std::vector<Value>{Value(2.0)}));
  EXPECT_EQ(Value(two_fields("a", "b")), Value(two_fields("a", "b")));
  EXPECT_NE(Value(two_fields("a", "b")), Value(two_fields("b", "a")));  // field order counts
}

TEST(Record, FieldsInTheOrderOfFirstAssignment) {
  Record r = two_fields("z", "a");
  r["z"] = 5.0;  // assigning again keeps the place
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r.fields()[0].first, "z");
  EXPECT_EQ(r.fields()[1].first, "a");
  EXPECT_EQ(r.at("z"), Value(5.0));
  EXPECT_TRUE(r.has("a"));
  EXPECT_FALSE(r.has("A"));
  EXPECT_EQ(error_of([&] { (void)r.at("m"); }), "Reference to non-existent field 'm'.");
  Value v(r);
  v.rec()["n"] = Value::row({1, 2});
  EXPECT_EQ(v.rec().fields().back().first, "n");
  EXPECT_EQ(r.size(), 2u);  // a value holds its own copy
}

}  // namespace
