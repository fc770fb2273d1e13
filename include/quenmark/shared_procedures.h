#pragma once
/// The free procedures used across the grid and the report manager: database kinds, field
/// categories, identifier quoting, date formatting codes, the library's base64 form, argument
/// texts and small text/HTML helpers. Pure functions except where a shared setting is named.

#include <cstdint>
#include <string>
#include <string_view>

namespace quenmark {

/// Database kinds.
enum DatabaseKind : int16_t {
  DbUnknown = 0,
  DbAccess = 1,
  DbSqlServer = 2,
  DbDbc = 3,
  DbText = 4,
  DbExcel = 5,
  DbMySql = 6,
  DbOracle = 7,
  DbSybase = 8,
  DbSqlite = 9,
  DbPostgres = 10,
};

/// Field categories (equal to a representative ADO data-type code).
enum FieldCategory : int16_t {
  FieldText = 200,
  FieldNumber = 131,
  FieldDate = 7,
  FieldMoney = 6,
  FieldBoolean = 11,
  FieldBinary = 128,
  FieldGuid = 72,
};

/// Kind of database a connection string names; the thread's override (1 to 10) wins.
int16_t DetectDatabaseKind(std::string_view connection_string);
/// mode 1: value is a numeric ADO type code as text; mode 2: value is a type name.
int16_t ClassifyFieldType(std::string_view value, int16_t mode);
/// Mode 1 for a numeric ADO type code.
int16_t ClassifyFieldType(int ado_type);
std::string QuoteName(int16_t kind, std::string_view name);
std::string QuoteNameList(int16_t kind, std::string_view names);
/// Replaces %m %B %b %d %D %O %j %Y %y %w %a %A %H %h %N %n %S %P; never fails (returns the
/// value unchanged when it is not a date).
std::string FormatDate(std::string_view value, std::string_view format);
std::string OrdinalSuffix(int16_t day);
/// Base64 over Windows-1252 bytes, blank-filled to whole groups, never "=".
std::string EncodeBase64(std::string_view text);
std::string DecodeBase64(std::string_view encoded);
/// Value of `key` in "k1:v1;k2:v2;"; "" if absent.
std::string GetArgument(std::string_view arguments, std::string_view key);
std::string TextBefore(std::string_view text, std::string_view separator);
std::string TextAfter(std::string_view text, std::string_view separator);
std::string KeepAllowedChars(std::string_view text, std::string_view extra_allowed);
std::string MakeLink(std::string_view text, std::string_view title, std::string_view href,
                     std::string_view class_name, std::string_view style, std::string_view target);
std::string GenerateId();
std::string RandomText(int16_t length);

}  // namespace quenmark
