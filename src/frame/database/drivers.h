#pragma once
// Internal seams between Connection::Open and the drivers, and helpers the drivers share.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/text_util.h"
#include "quenmark/database.h"

namespace quenmark::db {

/// "key=value;key=value" with keys matched ignoring case; values may be wrapped in '"' or
/// '{...}' (ODBC style) so that they can contain ';'.
class ConnectionStringParts {
 public:
  explicit ConnectionStringParts(std::string_view text);
  bool Has(std::string_view key) const;
  /// The value of the first of `keys` present, or "".
  std::string Get(std::initializer_list<std::string_view> keys) const;
  const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

Result<std::unique_ptr<Connection>> OpenSqlite(const std::string& connection_string,
                                               const std::string& path, bool read_write);
#ifdef QUENMARK_WITH_POSTGRES
/// `conninfo` is a libpq URL or "key=value" text.
Result<std::unique_ptr<Connection>> OpenPostgres(const std::string& connection_string,
                                                 const std::string& conninfo);
#endif
#ifdef QUENMARK_WITH_ODBC
Result<std::unique_ptr<Connection>> OpenOdbc(const std::string& connection_string);
#endif

/// ADO data-type code for a declared SQL type name ("VARCHAR(40)", "int8", "timestamp without
/// time zone"); `size` receives the declared size (length for text, bytes otherwise).
int TypeCodeFromName(std::string_view declared, int64_t& size);
/// Byte size ADO reports for a fixed-size type code (0 for variable-size types).
int64_t FixedSizeOf(int type_code);
/// Declared size reported for text and binary columns without a length.
inline constexpr int64_t kUnboundedSize = 1073741823;

/// Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with 'T'), and "HH:MM[:SS]" for
/// time-only values; trailing fractions and zone offsets are ignored. False if not a date.
bool ParseIsoDateTime(std::string_view text, DateTime& out);
/// A number written in SQL text form ("12", "-3.5", "1e3") as an integer when it has no
/// fraction or exponent and fits, else as a real. False if the text is not a number.
bool ParseSqlNumber(std::string_view text, Variant& out);

}  // namespace quenmark::db
