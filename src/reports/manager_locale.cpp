// The manager's locale: choosing the file from the browser's language, reading keys, and
// handing the texts to a report grid.

#include "frame/text_util.h"
#include "quenmark/data_grid.h"
#include "quenmark/error.h"
#include "quenmark/files.h"
#include "reports/locale_file.h"
#include "reports/manager_state.h"

namespace quenmark::reports {
namespace {

std::string InvalidDocumentText(const std::string& file, const std::string& reason) {
  return "Your language file <b>'" + Server::HTMLEncode(file) +
         "'</b> is either corrupt or does not exist.<br><br>" + Server::HTMLEncode(reason);
}

}  // namespace

void ManagerState::DetectLocaleFile() {
  if (!auto_detect_locale || !locale_file.empty()) return;
  if (locale_folder.empty()) {
    locale_folder = context == nullptr ? "./" : context->server.MapPath(".");
    if (locale_folder.back() != '/') locale_folder.push_back('/');
  }
  // A file named after the browser's language is used only when it exists; otherwise the
  // folder's general file, otherwise the built-in texts. Nothing is created for a language a
  // browser asks for.
  const std::string chosen =
      LocaleFileForLanguage(locale_folder, ServerVariable("HTTP_ACCEPT_LANGUAGE"));
  for (const std::string& candidate : {chosen, locale_folder + "locale.xml"}) {
    if (!candidate.empty() && FileExists(candidate)) {
      locale_file = candidate;
      locale_detected = true;
      return;
    }
  }
}

std::string ManagerState::ReadLocale(std::string_view name, std::string_view fallback) {
  if (locale_file.empty()) return std::string(fallback);
  // A file the page names is started from the default document the first time it is used.
  if (!locale_detected) (void)WriteDefaultLocaleIfMissing(locale_file);
  Result<std::string> text = ReadLocaleKey(locale_file, name, fallback);
  if (!text.ok()) {
    ShowMessage("Invalid XML Document", InvalidDocumentText(locale_file, text.Description()),
                "red");
    return std::string(fallback);
  }
  return *text;
}

void ManagerState::ApplyLocaleToGrid(DataGrid& grid) {
  if (locale_file.empty()) return;
  if (!locale_detected) (void)WriteDefaultLocaleIfMissing(locale_file);
  auto entries = LocaleEntries(locale_file);
  if (!entries.ok()) {
    ShowMessage("Invalid XML Document", InvalidDocumentText(locale_file, entries.Description()),
                "red");
    return;
  }
  try {
    for (const auto& [name, value] : *entries) {
      const std::string key = ToLowerAscii(name);
      if (key == "closetext") {
        close_text = value;
      } else if (key == "closetitle") {
        close_title = value;
      } else if (key == "hometext") {
        home_text = value;
      } else if (key == "hometitle") {
        home_title = value;
      } else if (key == "buildtext") {
        build_text = value;
      } else if (key == "buildtitle") {
        build_title = value;
      } else {
        grid.SetDisplayText(key, Variant(value));
      }
    }
  } catch (const Error&) {
    ShowMessage("Errors Occured!", "The tabulon encountered errors loading your locale", "red");
  }
}

}  // namespace quenmark::reports
