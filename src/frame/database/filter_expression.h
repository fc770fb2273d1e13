#pragma once
// Client-side filter expressions: parsed once against a recordset's fields, then evaluated per
// row without allocating. User filters never reach SQL.
//
// Language: comparisons `field op value` joined by AND / OR with parentheses, any case.
//   field  Name, [Name], `Name`, or qualified ([Orders].[Amount] matches Amount)
//   op     = <> != < > <= >= LIKE, NOT LIKE, IS NULL, IS NOT NULL
//   value  'text' ('' for a quote), "text", #date#, a number, NULL, TRUE, FALSE
// Comparisons are typed by the field's data type: numbers as numbers, dates as dates, booleans
// as booleans, text ignoring case. LIKE takes % or * as "any characters" anywhere in the
// pattern. A null field value matches only `= NULL` / `IS NULL`.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quenmark/database.h"

namespace quenmark::db {

/// Case-folds UTF-8 text into `out` (ASCII fast path, full Unicode folding otherwise).
void FoldCase(std::string_view text, std::string& out);

/// Orders two texts in en-US collation order, ignoring case. Returns <0, 0 or >0.
int CompareText(std::string_view a, std::string_view b);

/// Orders two values of a field of ADO type `type_code` for sorting: nulls first, then by the
/// field's kind (numbers, dates, booleans, text ignoring case). Returns <0, 0 or >0.
int CompareValues(const Variant& a, const Variant& b, int type_code);

/// Field kinds the comparisons distinguish.
enum class ValueClass { kNumber, kDate, kBoolean, kText, kBinary };
ValueClass ClassOfType(int type_code);

/// The number a non-null value orders by in CompareValues for a field of class kNumber, kDate or
/// kBoolean (booleans: false 0, true 1). False when the value does not convert (CompareValues
/// then orders the pair by text) or for the other classes.
bool OrderingNumber(const Variant& value, ValueClass value_class, double& out);

/// Appends the collation key of `text`: two keys compared bytewise (as unsigned chars) order
/// exactly as CompareText orders their texts. False when no key can be made; CompareText must
/// then be used.
bool AppendCollationKey(std::string_view text, std::string& out);

class FilterExpression {
 public:
  /// Parses `text` against `fields`. Fails with a description on a syntax error, an unknown
  /// field, or a value that does not fit its field's type.
  static Result<FilterExpression> Parse(std::string_view text, const std::vector<FieldInfo>& fields);

  /// True when the row (one value per field, in field order) satisfies the expression.
  bool Matches(const Variant* row) const;

  enum class Op { kEq, kNe, kLt, kGt, kLe, kGe, kLike, kNotLike, kIsNull, kIsNotNull };
  struct Node {
    enum class Kind { kAnd, kOr, kCompare } kind = Kind::kCompare;
    // AND / OR: every operand of one flat chain ("a AND b AND c" is one node of three), so
    // evaluation nests only as deep as the parentheses do, however long a chain is.
    std::vector<int> operands;
    // Comparison.
    int field = -1;
    Op op = Op::kEq;
    ValueClass value_class = ValueClass::kText;
    double number = 0;   // numbers, dates (serial), booleans (-1 / 0)
    std::string text;    // text to compare with, or the folded LIKE pattern
  };

 private:
  bool Evaluate(int node, const Variant* row) const;
  bool Compare(const Node& node, const Variant& value) const;

  std::vector<Node> nodes_;
  int root_ = -1;
  mutable std::string scratch_;
};

}  // namespace quenmark::db
