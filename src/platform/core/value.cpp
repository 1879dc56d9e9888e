#include "platform/core/value.h"

#include "base/error.h"
#include "platform/core/text.h"

namespace ziva {

bool Record::has(const std::string& name) const {
  for (const auto& f : fields_)
    if (f.first == name) return true;
  return false;
}

const Value& Record::at(const std::string& name) const {
  for (const auto& f : fields_)
    if (f.first == name) return f.second;
  throw Error("Reference to non-existent field '" + name + "'.");
}

Value& Record::operator[](const std::string& name) {
  for (auto& f : fields_)
    if (f.first == name) return f.second;
  fields_.emplace_back(name, Value());
  return fields_.back().second;
}

Value::Value(Eigen::MatrixXcd m) {
  if ((m.array().imag() == 0.0).all()) {
    data_ = Eigen::MatrixXd(m.real());
  } else {
    data_ = std::move(m);
  }
}

Value Value::list(const std::vector<std::string>& entries, std::size_t width) {
  for (const auto& e : entries) width = std::max(width, char_count(e));
  TextList l;
  for (const auto& e : entries) l.rows.push_back(pad_to(e, width));
  return Value(std::move(l));
}

Value Value::row(std::initializer_list<double> xs) {
  Eigen::MatrixXd m(1, static_cast<Eigen::Index>(xs.size()));
  Eigen::Index i = 0;
  for (double x : xs) m(0, i++) = x;
  return Value(std::move(m));
}

bool Value::empty() const {
  switch (kind()) {
    case Kind::Absent:
      return true;
    case Kind::Number:
      return std::get<Eigen::MatrixXd>(data_).size() == 0;
    case Kind::Complex:
      return std::get<Eigen::MatrixXcd>(data_).size() == 0;
    case Kind::Text:
      return std::get<std::string>(data_).empty();
    case Kind::List:
      return std::get<TextList>(data_).rows.empty();
    case Kind::Record:
      return false;
    case Kind::Cell:
      return std::get<std::vector<Value>>(data_).empty();
  }
  return true;
}

const Eigen::MatrixXd& Value::num() const {
  if (!is_number()) throw Error("Expected a numeric value, got " + class_name() + ".");
  return std::get<Eigen::MatrixXd>(data_);
}

Eigen::MatrixXcd Value::cnum() const {
  if (is_complex()) return std::get<Eigen::MatrixXcd>(data_);
  return num().cast<std::complex<double>>();
}

double Value::scalar() const {
  const auto& m = num();
  if (m.size() == 0) throw Error("Expected a number, got an empty value.");
  return m(0, 0);
}

const std::string& Value::text() const {
  if (!is_text()) throw Error("Expected a text, got " + class_name() + ".");
  return std::get<std::string>(data_);
}

std::vector<std::string> Value::rows() const {
  if (is_text()) return {std::get<std::string>(data_)};
  if (is_list()) return std::get<TextList>(data_).rows;
  if (is_number() && num().size() == 0) return {};
  throw Error("Expected a text, got " + class_name() + ".");
}

std::string Value::row_text(std::size_t i) const {
  auto r = rows();
  if (i >= r.size()) throw Error("Index exceeds matrix dimensions.");
  return r[i];
}

const Record& Value::rec() const {
  if (!is_record()) throw Error("Expected a record, got " + class_name() + ".");
  return std::get<Record>(data_);
}

Record& Value::rec() {
  if (!is_record()) throw Error("Expected a record, got " + class_name() + ".");
  return std::get<Record>(data_);
}

const std::vector<Value>& Value::cells() const {
  if (!is_cell()) throw Error("Expected a cell list, got " + class_name() + ".");
  return std::get<std::vector<Value>>(data_);
}

std::string Value::class_name() const {
  switch (kind()) {
    case Kind::Absent:
      return "undefined";
    case Kind::Number:
    case Kind::Complex:
      return "double";
    case Kind::Text:
    case Kind::List:
      return "char";
    case Kind::Record:
      return "struct";
    case Kind::Cell:
      return "cell";
  }
  return "undefined";
}

namespace {
bool same_record(const Record& a, const Record& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a.fields()[i].first != b.fields()[i].first) return false;
    if (!(a.fields()[i].second == b.fields()[i].second)) return false;
  }
  return true;
}
}  // namespace

bool Value::operator==(const Value& o) const {
  if (kind() != o.kind()) return false;
  switch (kind()) {
    case Kind::Absent:
      return true;
    case Kind::Number: {
      const auto& a = num();
      const auto& b = o.num();
      return a.rows() == b.rows() && a.cols() == b.cols() && a == b;
    }
    case Kind::Complex: {
      auto a = cnum();
      auto b = o.cnum();
      return a.rows() == b.rows() && a.cols() == b.cols() && a == b;
    }
    case Kind::Text:
      return text() == o.text();
    case Kind::List:
      return rows() == o.rows();
    case Kind::Record:
      return same_record(rec(), o.rec());
    case Kind::Cell: {
      const auto& a = cells();
      const auto& b = o.cells();
      if (a.size() != b.size()) return false;
      for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
      return true;
    }
  }
  return false;
}

}  // namespace ziva
