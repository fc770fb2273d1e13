#pragma once
/// Settings shared by every object created on the same thread, the value set last winning.
/// The host resets them at the start of every request, so one request never sees another's.

#include <cstdint>
#include <string>

namespace quenmark {

struct SharedSettings {
  /// Database kind forced by the report manager; 1 to 10 overrides detection, anything else not.
  int16_t database_kind_override = 0;
  /// Prefix of image file names in image cells (MakeLink).
  std::string images_url;
  /// Maximum number of records a grid fetches; 0 = no limit.
  int32_t max_records = 0;
  /// Pop-up filter window instead of the inline filter row.
  bool popup_filters = false;
  /// Date format the report manager (`DefaultDateFormat`) gives grids for date values without a
  /// format of their own: a host date pattern ("dd/mm/yyyy", "Long Date") or FormatDate codes
  /// ("%d %B %Y"); empty = none.
  std::string default_date_format;
  /// Locale the page formats numbers, currency, percentages and date names with
  /// (`Response.Locale`, a language tag such as "de-DE"); empty = en-US.
  std::string locale;
  /// First page of the report builder's procedure pages.
  int16_t first_procedure_page = 0;
};

/// The settings of the calling thread.
SharedSettings& ThreadSettings();
/// Back to the defaults above; the host calls it at the start of each request.
void ResetThreadSettings();

}  // namespace quenmark
