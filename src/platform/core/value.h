// The one dynamic value of the program: what calls by name pass and what object properties hold.
#pragma once

#include <Eigen/Dense>
#include <complex>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ziva {

class Value;

// Named fields in the order of their first assignment.
class Record {
 public:
  bool has(const std::string& name) const;
  const Value& at(const std::string& name) const;  // throws ziva::Error when missing
  Value& operator[](const std::string& name);      // creates the field when missing
  const std::vector<std::pair<std::string, Value>>& fields() const { return fields_; }
  std::size_t size() const { return fields_.size(); }

 private:
  std::vector<std::pair<std::string, Value>> fields_;
};

// A list of texts held as rows padded with blanks to a common width (counted in characters).
struct TextList {
  std::vector<std::string> rows;
};

class Value {
 public:
  enum class Kind { Absent, Number, Complex, Text, List, Record, Cell };

  Value() = default;  // absent
  Value(double x) : data_(Eigen::MatrixXd(Eigen::MatrixXd::Constant(1, 1, x))) {}
  Value(int x) : Value(static_cast<double>(x)) {}
  Value(Eigen::MatrixXd m) : data_(std::move(m)) {}
  Value(const Eigen::VectorXd& v) : data_(Eigen::MatrixXd(v)) {}
  Value(const Eigen::RowVectorXd& v) : data_(Eigen::MatrixXd(v)) {}
  Value(Eigen::MatrixXcd m);  // stored as a number matrix when every imaginary part is zero
  Value(std::string s) : data_(std::move(s)) {}
  Value(const char* s) : data_(std::string(s)) {}
  Value(TextList l) : data_(std::move(l)) {}
  Value(Record r) : data_(std::move(r)) {}
  Value(std::vector<Value> cells) : data_(std::move(cells)) {}

  // A padded text list built from the entries: rows padded to `width` characters, or to the
  // longest entry when that is longer.
  static Value list(const std::vector<std::string>& entries, std::size_t width = 0);
  static Value row(std::initializer_list<double> xs);
  static Value empty_matrix() { return Value(Eigen::MatrixXd(0, 0)); }

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool absent() const { return kind() == Kind::Absent; }
  bool is_number() const { return kind() == Kind::Number; }
  bool is_complex() const { return kind() == Kind::Complex; }
  bool is_text() const { return kind() == Kind::Text; }
  bool is_list() const { return kind() == Kind::List; }
  bool is_record() const { return kind() == Kind::Record; }
  bool is_cell() const { return kind() == Kind::Cell; }
  // Text or a text list: something that reads as characters.
  bool is_chars() const { return is_text() || is_list(); }
  // No elements: empty matrix, empty text, list without rows, empty cell list (absent too).
  bool empty() const;

  const Eigen::MatrixXd& num() const;         // throws unless a number matrix
  Eigen::MatrixXcd cnum() const;              // numbers or complex numbers
  double scalar() const;                      // the first element of a non-empty number matrix
  const std::string& text() const;            // throws unless a text
  std::vector<std::string> rows() const;      // a text (one row) or a list's rows
  std::string row_text(std::size_t i) const;  // row i (0-based) of rows()
  const Record& rec() const;
  Record& rec();
  const std::vector<Value>& cells() const;

  // A short name of the kind, as class names are printed in messages ("double", "char", ...).
  std::string class_name() const;
  bool operator==(const Value& other) const;

 private:
  std::variant<std::monostate, Eigen::MatrixXd, Eigen::MatrixXcd, std::string, TextList, Record,
               std::vector<Value>>
      data_;
};

}  // namespace ziva
