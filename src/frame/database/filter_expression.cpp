// Parser and evaluator of client-side filter expressions (see filter_expression.h).
#include "frame/database/filter_expression.h"

#include <unicode/ucasemap.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>

#include "frame/database/drivers.h"
#include "quenmark/conversions.h"

namespace quenmark::db {

namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One case map per thread: ICU case maps are not shared between threads.
class CaseMap {
 public:
  CaseMap() {
    UErrorCode status = U_ZERO_ERROR;
    map_ = ucasemap_open("", U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) map_ = nullptr;
  }
  ~CaseMap() {
    if (map_) ucasemap_close(map_);
  }
  CaseMap(const CaseMap&) = delete;
  CaseMap& operator=(const CaseMap&) = delete;
  UCaseMap* get() const { return map_; }

 private:
  UCaseMap* map_ = nullptr;
};

bool FoldUnicode(std::string_view text, std::string& out) {
  thread_local CaseMap case_map;
  if (!case_map.get()) return false;
  out.resize(text.size() + 16);
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucasemap_utf8FoldCase(case_map.get(), out.data(),
                                           static_cast<int32_t>(out.size()), text.data(),
                                           static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<size_t>(length));
      continue;
    }
    if (U_FAILURE(status)) return false;
    out.resize(static_cast<size_t>(length));
    return true;
  }
  return false;
}

// One collator per thread (ICU collators are not shared between threads): en-US order,
// ignoring case but not accents, so "smith" sorts with "Smith" and "Ødegård" with the O's.
class Collator {
 public:
  Collator() {
    UErrorCode status = U_ZERO_ERROR;
    collator_ = ucol_open("en_US", &status);
    if (U_FAILURE(status)) {
      collator_ = nullptr;
      return;
    }
    ucol_setStrength(collator_, UCOL_SECONDARY);
  }
  ~Collator() {
    if (collator_) ucol_close(collator_);
  }
  Collator(const Collator&) = delete;
  Collator& operator=(const Collator&) = delete;
  UCollator* get() const { return collator_; }

 private:
  UCollator* collator_ = nullptr;
};

// CompareText and collation keys share the thread's collator, so keys order as comparisons do.
UCollator* ThreadCollator() {
  thread_local Collator collator;
  return collator.get();
}

bool NumberOf(const Variant& v, double& out) {
  switch (v.kind()) {
    case Variant::Kind::kInteger: out = static_cast<double>(v.AsInteger()); return true;
    case Variant::Kind::kReal: out = v.AsReal(); return true;
    case Variant::Kind::kBoolean: out = v.AsBoolean() ? -1 : 0; return true;
    case Variant::Kind::kDate: out = v.AsDate().ToSerial(); return true;
    case Variant::Kind::kText: {
      Variant number;
      if (!ParseSqlNumber(v.AsText(), number)) return false;
      out = number.ToReal();
      return true;
    }
    default: return false;
  }
}

bool DateFromText(std::string_view text, double& out) {
  DateTime date;
  if (ParseIsoDateTime(text, date)) {
    out = date.ToSerial();
    return true;
  }
  std::optional<DateTime> parsed = ParseDate(text);
  if (!parsed) return false;
  out = parsed->ToSerial();
  return true;
}

bool DateOf(const Variant& v, double& out) {
  switch (v.kind()) {
    case Variant::Kind::kDate: out = v.AsDate().ToSerial(); return true;
    case Variant::Kind::kInteger: out = static_cast<double>(v.AsInteger()); return true;
    case Variant::Kind::kReal: out = v.AsReal(); return true;
    case Variant::Kind::kText: return DateFromText(v.AsText(), out);
    default: return false;
  }
}

bool BooleanOf(const Variant& v, double& out) {
  if (v.kind() == Variant::Kind::kBoolean) {
    out = v.AsBoolean() ? -1 : 0;
    return true;
  }
  if (v.kind() == Variant::Kind::kText) {
    std::string upper = ToUpperAscii(v.AsText());
    if (upper == "TRUE" || upper == "YES" || upper == "ON") {
      out = -1;
      return true;
    }
    if (upper == "FALSE" || upper == "NO" || upper == "OFF") {
      out = 0;
      return true;
    }
  }
  double number = 0;
  if (!NumberOf(v, number)) return false;
  out = number != 0 ? -1 : 0;
  return true;
}

// Text of a value for text comparisons and LIKE: text as it is, other kinds in their text form.
std::string_view TextOf(const Variant& v, std::string& buffer) {
  if (v.kind() == Variant::Kind::kText) return v.AsText();
  buffer = v.ToText();
  return buffer;
}

// Wildcard match on folded text: '%' and '*' match any run of characters.
bool LikeMatch(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0;
  size_t star_p = std::string_view::npos, star_t = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) {
      star_p = p++;
      star_t = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star_p != std::string_view::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) ++p;
  return p == pattern.size();
}

bool ApplyOrder(FilterExpression::Op op, int order) {
  switch (op) {
    case FilterExpression::Op::kEq: return order == 0;
    case FilterExpression::Op::kNe: return order != 0;
    case FilterExpression::Op::kLt: return order < 0;
    case FilterExpression::Op::kGt: return order > 0;
    case FilterExpression::Op::kLe: return order <= 0;
    case FilterExpression::Op::kGe: return order >= 0;
    default: return false;
  }
}

int Order(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

enum class LiteralKind { kText, kDate, kNumber, kNull, kTrue, kFalse };
struct Literal {
  LiteralKind kind = LiteralKind::kText;
  std::string text;  // as written (without delimiters)
  size_t position = 0;
};

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldInfo>& fields,
         std::vector<FilterExpression::Node>& nodes)
      : text_(text), fields_(fields), nodes_(nodes) {}

  Status Run(int& root) {
    SkipSpaces();
    if (pos_ >= text_.size()) return Fail("the expression is empty");
    Status s = ParseOr(root);
    if (!s.ok()) return s;
    SkipSpaces();
    if (pos_ < text_.size()) {
      return Fail("unexpected text \"" + std::string(text_.substr(pos_, 20)) + "\" at position " +
                  std::to_string(pos_ + 1));
    }
    return Status::Ok();
  }

 private:
  using Node = FilterExpression::Node;
  using Op = FilterExpression::Op;

  Status Fail(const std::string& what) const {
    return Status::Failure("Invalid filter: " + what + ".");
  }

  void SkipSpaces() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  static bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
  }

  // True (and consumed) when the keyword stands at the current position as a whole word.
  bool Keyword(std::string_view word) {
    SkipSpaces();
    if (text_.size() - pos_ < word.size()) return false;
    if (!EqualsIgnoreCase(text_.substr(pos_, word.size()), word)) return false;
    size_t end = pos_ + word.size();
    if (end < text_.size() && IsWordChar(text_[end])) return false;
    pos_ = end;
    return true;
  }

  bool KeywordAhead(size_t at, std::string_view word) const {
    if (text_.size() - at < word.size()) return false;
    if (!EqualsIgnoreCase(text_.substr(at, word.size()), word)) return false;
    size_t end = at + word.size();
    return end >= text_.size() || !IsWordChar(text_[end]);
  }

  int Add(Node node) {
    nodes_.push_back(std::move(node));
    return static_cast<int>(nodes_.size() - 1);
  }

  Status ParseOr(int& out) { return ParseChain(out, "OR", Node::Kind::kOr, &Parser::ParseAnd); }

  Status ParseAnd(int& out) {
    return ParseChain(out, "AND", Node::Kind::kAnd, &Parser::ParseFactor);
  }

  // operand (keyword operand)*: a single operand stands for itself, several become one node
  // of `kind` holding them all.
  Status ParseChain(int& out, std::string_view keyword, Node::Kind kind,
                    Status (Parser::*operand)(int&)) {
    Status s = (this->*operand)(out);
    if (!s.ok() || !Keyword(keyword)) return s;
    Node chain;
    chain.kind = kind;
    chain.operands.push_back(out);
    do {
      int next = -1;
      s = (this->*operand)(next);
      if (!s.ok()) return s;
      chain.operands.push_back(next);
    } while (Keyword(keyword));
    out = Add(std::move(chain));
    return s;
  }

  Status ParseFactor(int& out) {
    SkipSpaces();
    if (pos_ >= text_.size()) return Fail("a condition is missing at the end");
    if (text_[pos_] == '(') {
      size_t open = pos_++;
      if (++depth_ > 200) return Fail("parentheses are nested too deeply");
      Status s = ParseOr(out);
      --depth_;
      if (!s.ok()) return s;
      SkipSpaces();
      if (pos_ >= text_.size() || text_[pos_] != ')') {
        return Fail("the parenthesis at position " + std::to_string(open + 1) + " is not closed");
      }
      ++pos_;
      return Status::Ok();
    }
    return ParseComparison(out);
  }

  // A name part in [ ] or ` `, or a bare name (words, possibly with blanks, up to an operator).
  Status ParseFieldName(std::vector<std::string>& parts) {
    SkipSpaces();
    size_t start = pos_;
    while (true) {
      if (pos_ >= text_.size()) return Fail("a field name is missing at the end");
      char c = text_[pos_];
      if (c == '[' || c == '`') {
        // A doubled closing delimiter inside stands for one: [a]]b] names a]b.
        const char close = c == '[' ? ']' : '`';
        std::string name;
        size_t at = pos_ + 1;
        while (true) {
          const size_t end = text_.find(close, at);
          if (end == std::string_view::npos) {
            return Fail("the field name at position " + std::to_string(pos_ + 1) +
                        " is not closed");
          }
          name.append(text_.substr(at, end - at));
          if (end + 1 < text_.size() && text_[end + 1] == close) {
            name.push_back(close);
            at = end + 2;
            continue;
          }
          pos_ = end + 1;
          break;
        }
        parts.push_back(std::move(name));
      } else {
        size_t begin = pos_;
        while (pos_ < text_.size()) {
          char d = text_[pos_];
          if (d == '.' || d == '<' || d == '>' || d == '=' || d == '!' || d == '(' || d == ')' ||
              d == '\'' || d == '"' || d == '#' || d == '[' || d == '`') {
            break;
          }
          if (std::isspace(static_cast<unsigned char>(d))) {
            size_t next = pos_;
            while (next < text_.size() && std::isspace(static_cast<unsigned char>(text_[next]))) ++next;
            if (KeywordAhead(next, "LIKE") || KeywordAhead(next, "NOT") || KeywordAhead(next, "IS") ||
                KeywordAhead(next, "AND") || KeywordAhead(next, "OR")) {
              break;
            }
          }
          ++pos_;
        }
        std::string_view name = text_.substr(begin, pos_ - begin);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) {
          name.remove_suffix(1);
        }
        if (name.empty()) {
          return Fail("a field name is expected at position " + std::to_string(begin + 1));
        }
        parts.emplace_back(name);
      }
      if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        continue;
      }
      break;
    }
    if (parts.empty()) return Fail("a field name is expected at position " + std::to_string(start + 1));
    return Status::Ok();
  }

  int FindField(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  }

  Status ParseOperator(Op& op) {
    SkipSpaces();
    if (Keyword("LIKE")) {
      op = Op::kLike;
      return Status::Ok();
    }
    if (Keyword("NOT")) {
      if (!Keyword("LIKE")) return Fail("NOT must be followed by LIKE at position " + std::to_string(pos_ + 1));
      op = Op::kNotLike;
      return Status::Ok();
    }
    if (Keyword("IS")) {
      bool negated = Keyword("NOT");
      if (!Keyword("NULL")) return Fail("IS must be followed by NULL or NOT NULL");
      op = negated ? Op::kIsNotNull : Op::kIsNull;
      return Status::Ok();
    }
    std::string_view rest = text_.substr(pos_);
    struct Symbol {
      std::string_view text;
      Op op;
    };
    static constexpr Symbol kSymbols[] = {{"<>", Op::kNe}, {"!=", Op::kNe}, {"<=", Op::kLe},
                                          {">=", Op::kGe}, {"=<", Op::kLe}, {"=>", Op::kGe},
                                          {"<", Op::kLt},  {">", Op::kGt},  {"=", Op::kEq}};
    for (const Symbol& symbol : kSymbols) {
      if (rest.substr(0, symbol.text.size()) == symbol.text) {
        pos_ += symbol.text.size();
        op = symbol.op;
        return Status::Ok();
      }
    }
    if (pos_ >= text_.size()) return Fail("a comparison operator is missing at the end");
    return Fail("a comparison operator (=, <>, <, >, <=, >=, LIKE) is expected at position " +
                std::to_string(pos_ + 1));
  }

  Status ParseLiteral(Literal& literal) {
    SkipSpaces();
    literal.position = pos_ + 1;
    if (pos_ >= text_.size()) return Fail("a value is missing at the end");
    char c = text_[pos_];
    if (c == '\'' || c == '"') {
      size_t i = pos_ + 1;
      std::string value;
      while (true) {
        size_t end = text_.find(c, i);
        if (end == std::string_view::npos) {
          return Fail("the text value at position " + std::to_string(pos_ + 1) + " is not closed");
        }
        value.append(text_.substr(i, end - i));
        if (end + 1 < text_.size() && text_[end + 1] == c) {
          value += c;
          i = end + 2;
          continue;
        }
        pos_ = end + 1;
        break;
      }
      literal.kind = LiteralKind::kText;
      literal.text = std::move(value);
      return Status::Ok();
    }
    if (c == '#') {
      size_t end = text_.find('#', pos_ + 1);
      if (end == std::string_view::npos) {
        return Fail("the date value at position " + std::to_string(pos_ + 1) + " is not closed");
      }
      literal.kind = LiteralKind::kDate;
      literal.text = std::string(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return Status::Ok();
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      size_t begin = pos_;
      ++pos_;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
              ((text_[pos_] == '-' || text_[pos_] == '+') &&
               (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E')))) {
        ++pos_;
      }
      literal.text = std::string(text_.substr(begin, pos_ - begin));
      Variant number;
      if (!ParseSqlNumber(literal.text, number)) {
        return Fail("\"" + literal.text + "\" at position " + std::to_string(begin + 1) +
                    " is not a number");
      }
      literal.kind = LiteralKind::kNumber;
      return Status::Ok();
    }
    if (Keyword("NULL")) {
      literal.kind = LiteralKind::kNull;
      return Status::Ok();
    }
    if (Keyword("TRUE")) {
      literal.kind = LiteralKind::kTrue;
      literal.text = "True";
      return Status::Ok();
    }
    if (Keyword("FALSE")) {
      literal.kind = LiteralKind::kFalse;
      literal.text = "False";
      return Status::Ok();
    }
    return Fail("a value ('text', #date# or a number) is expected at position " +
                std::to_string(pos_ + 1));
  }

  // Converts the literal to the field's kind; fails when it cannot stand for such a value.
  Status Bind(Node& node, const Literal& literal, const std::string& field_name) {
    auto mismatch = [&](const char* what) {
      return Fail("\"" + literal.text + "\" is not " + what + " (field " + field_name + ")");
    };
    if (node.op == Op::kLike || node.op == Op::kNotLike) {
      if (literal.kind == LiteralKind::kNull) return Fail("LIKE needs a pattern, not NULL");
      FoldCase(literal.text, node.text);
      return Status::Ok();
    }
    switch (node.value_class) {
      case ValueClass::kBinary:
        return Fail("field " + field_name + " holds binary data and cannot be compared");
      case ValueClass::kNumber: {
        if (literal.kind == LiteralKind::kTrue || literal.kind == LiteralKind::kFalse) {
          node.number = literal.kind == LiteralKind::kTrue ? -1 : 0;
          return Status::Ok();
        }
        if (literal.kind == LiteralKind::kDate) {
          if (!DateFromText(literal.text, node.number)) return mismatch("a date");
          return Status::Ok();
        }
        Variant number;
        if (!ParseSqlNumber(literal.text, number)) return mismatch("a number");
        node.number = number.ToReal();
        return Status::Ok();
      }
      case ValueClass::kDate: {
        if (literal.kind == LiteralKind::kNumber) {
          Variant number;
          if (!ParseSqlNumber(literal.text, number)) return mismatch("a date");
          node.number = number.ToReal();
          return Status::Ok();
        }
        if (!DateFromText(literal.text, node.number)) return mismatch("a date");
        return Status::Ok();
      }
      case ValueClass::kBoolean: {
        double flag = 0;
        if (!BooleanOf(Variant(literal.text), flag)) return mismatch("a boolean");
        node.number = flag;
        return Status::Ok();
      }
      case ValueClass::kText:
        node.text = literal.text;
        return Status::Ok();
    }
    return Status::Ok();
  }

  Status ParseComparison(int& out) {
    size_t field_pos = pos_;
    std::vector<std::string> parts;
    Status s = ParseFieldName(parts);
    if (!s.ok()) return s;
    int field = FindField(parts.back());
    if (field < 0 && parts.size() > 1) {
      std::string joined;
      for (const std::string& part : parts) {
        if (!joined.empty()) joined += '.';
        joined += part;
      }
      field = FindField(joined);
    }
    if (field < 0 && parts.size() == 1) {
      size_t blank = parts[0].find_first_of(" \t");
      if (blank != std::string::npos && FindField(parts[0].substr(0, blank)) >= 0) {
        return Fail("a comparison operator (=, <>, <, >, <=, >=, LIKE) is expected after the field \"" +
                    parts[0].substr(0, blank) + "\"");
      }
    }
    if (field < 0) {
      return Fail("the recordset has no field \"" + parts.back() + "\" (position " +
                  std::to_string(field_pos + 1) + ")");
    }
    Node node;
    node.field = field;
    node.value_class = ClassOfType(fields_[static_cast<size_t>(field)].type);
    s = ParseOperator(node.op);
    if (!s.ok()) return s;
    if (node.op == Op::kIsNull || node.op == Op::kIsNotNull) {
      out = Add(std::move(node));
      return Status::Ok();
    }
    Literal literal;
    s = ParseLiteral(literal);
    if (!s.ok()) return s;
    if (literal.kind == LiteralKind::kNull) {
      if (node.op == Op::kEq) {
        node.op = Op::kIsNull;
      } else if (node.op == Op::kNe) {
        node.op = Op::kIsNotNull;
      } else {
        return Fail("NULL can only be compared with = or <>");
      }
      out = Add(std::move(node));
      return Status::Ok();
    }
    s = Bind(node, literal, fields_[static_cast<size_t>(field)].name);
    if (!s.ok()) return s;
    out = Add(std::move(node));
    return Status::Ok();
  }

  std::string_view text_;
  const std::vector<FieldInfo>& fields_;
  std::vector<Node>& nodes_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  if (UCollator* collator = ThreadCollator()) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult result =
        ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status)) return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
  }
  thread_local std::string folded_a, folded_b;
  FoldCase(a, folded_a);
  FoldCase(b, folded_b);
  int c = folded_a.compare(folded_b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool AppendCollationKey(std::string_view text, std::string& out) {
  UCollator* collator = ThreadCollator();
  if (collator == nullptr || text.size() > static_cast<size_t>(INT32_MAX / 2)) return false;
  // Malformed UTF-8 becomes U+FFFD, as ucol_strcollUTF8 reads it.
  thread_local std::u16string utf16;
  utf16.resize(text.size());
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(utf16.data(), static_cast<int32_t>(utf16.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return false;
  const size_t start = out.size();
  // Most keys fit in a few bytes per character; grow once when they do not.
  size_t room = text.size() * 2 + 16;
  for (int attempt = 0; attempt < 2; ++attempt) {
    out.resize(start + room);
    int32_t needed = ucol_getSortKey(collator, utf16.data(), length,
                                     reinterpret_cast<uint8_t*>(out.data() + start),
                                     static_cast<int32_t>(room));
    if (needed <= 0) break;
    if (static_cast<size_t>(needed) <= room) {
      out.resize(start + static_cast<size_t>(needed) - 1);  // without the terminating zero
      return true;
    }
    room = static_cast<size_t>(needed);
  }
  out.resize(start);
  return false;
}

bool OrderingNumber(const Variant& value, ValueClass value_class, double& out) {
  switch (value_class) {
    case ValueClass::kNumber: return NumberOf(value, out);
    case ValueClass::kDate: return DateOf(value, out);
    case ValueClass::kBoolean:
      // CompareValues puts False (0) before True (-1): the negated value orders ascending.
      if (!BooleanOf(value, out)) return false;
      out = -out;
      return true;
    default: return false;
  }
}

void FoldCase(std::string_view text, std::string& out) {
  if (IsAscii(text) || !FoldUnicode(text, out)) {
    out.assign(text);
    for (char& c : out) c = LowerAscii(c);
  }
}

ValueClass ClassOfType(int type_code) {
  switch (type_code) {
    case adtype::kSmallInt:
    case adtype::kInteger:
    case adtype::kSingle:
    case adtype::kDouble:
    case adtype::kCurrency:
    case adtype::kTinyInt:
    case adtype::kBigInt:
    case adtype::kNumeric:
    case 14:   // decimal
    case 17:   // unsigned tiny int
    case 18:   // unsigned small int
    case 19:   // unsigned int
    case 21:   // unsigned big int
    case 139:  // variable numeric
      return ValueClass::kNumber;
    case adtype::kDate:
    case adtype::kDbDate:
    case adtype::kDbTime:
    case adtype::kDbTimeStamp:
    case 64:  // file time
      return ValueClass::kDate;
    case adtype::kBoolean:
      return ValueClass::kBoolean;
    case 128:  // binary
    case 204:  // variable binary
    case adtype::kLongVarBinary:
      return ValueClass::kBinary;
    default:
      return ValueClass::kText;
  }
}

int CompareValues(const Variant& a, const Variant& b, int type_code) {
  bool a_missing = a.IsMissing(), b_missing = b.IsMissing();
  if (a_missing || b_missing) return a_missing == b_missing ? 0 : (a_missing ? -1 : 1);
  double x = 0, y = 0;
  switch (ClassOfType(type_code)) {
    case ValueClass::kNumber:
      if (NumberOf(a, x) && NumberOf(b, y)) return Order(x, y);
      break;
    case ValueClass::kDate:
      if (DateOf(a, x) && DateOf(b, y)) return Order(x, y);
      break;
    case ValueClass::kBoolean:
      if (BooleanOf(a, x) && BooleanOf(b, y)) return Order(y, x);  // False before True
      break;
    case ValueClass::kBinary:
      if (a.kind() == Variant::Kind::kBytes && b.kind() == Variant::Kind::kBytes) {
        int c = a.AsBytes().data.compare(b.AsBytes().data);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
      }
      break;
    case ValueClass::kText:
      break;
  }
  thread_local std::string buffer_a, buffer_b;
  return CompareText(TextOf(a, buffer_a), TextOf(b, buffer_b));
}

Result<FilterExpression> FilterExpression::Parse(std::string_view text,
                                                 const std::vector<FieldInfo>& fields) {
  FilterExpression expression;
  Parser parser(text, fields, expression.nodes_);
  Status s = parser.Run(expression.root_);
  if (!s.ok()) return s;
  return expression;
}

bool FilterExpression::Matches(const Variant* row) const {
  return root_ >= 0 && Evaluate(root_, row);
}

bool FilterExpression::Evaluate(int index, const Variant* row) const {
  const Node& node = nodes_[static_cast<size_t>(index)];
  switch (node.kind) {
    case Node::Kind::kAnd:
      for (int operand : node.operands) {
        if (!Evaluate(operand, row)) return false;
      }
      return true;
    case Node::Kind::kOr:
      for (int operand : node.operands) {
        if (Evaluate(operand, row)) return true;
      }
      return false;
    case Node::Kind::kCompare: return Compare(node, row[node.field]);
  }
  return false;
}

bool FilterExpression::Compare(const Node& node, const Variant& value) const {
  if (node.op == Op::kIsNull) return value.IsMissing();
  if (node.op == Op::kIsNotNull) return !value.IsMissing();
  if (value.IsMissing()) return false;
  if (node.op == Op::kLike || node.op == Op::kNotLike) {
    thread_local std::string buffer;
    FoldCase(TextOf(value, buffer), scratch_);
    return LikeMatch(scratch_, node.text) == (node.op == Op::kLike);
  }
  double number = 0;
  switch (node.value_class) {
    case ValueClass::kNumber:
      return NumberOf(value, number) && ApplyOrder(node.op, Order(number, node.number));
    case ValueClass::kDate:
      return DateOf(value, number) && ApplyOrder(node.op, Order(number, node.number));
    case ValueClass::kBoolean:
      return BooleanOf(value, number) && ApplyOrder(node.op, Order(number, node.number));
    case ValueClass::kBinary:
      return false;
    case ValueClass::kText: {
      thread_local std::string buffer;
      return ApplyOrder(node.op, CompareText(TextOf(value, buffer), node.text));
    }
  }
  return false;
}

}  // namespace quenmark::db
