#include "reports/locale_file.h"

#include "frame/text_util.h"
#include "quenmark/files.h"
#include "quenmark/xml.h"

namespace quenmark::reports {
namespace {

bool IsLanguageTag(std::string_view tag) {
  if (tag.empty() || tag.size() > 16) return false;
  for (char c : tag) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && c != '-') return false;
  }
  return true;
}

std::string_view Before(std::string_view text, char separator) {
  return text.substr(0, text.find(separator));
}

}  // namespace

std::string LocaleFileForLanguage(std::string_view folder, std::string_view accept_language) {
  std::string suffix;
  if (!Trim(accept_language).empty()) {
    // The first language of the list, without its weight: "de-DE;q=0.9, en" gives "de-DE".
    std::string_view tag = Trim(Before(Before(accept_language, ','), ';'));
    if (!IsLanguageTag(tag)) return std::string();
    suffix = "_" + std::string(Before(tag, '-'));
    if (suffix == "_") return std::string();
  }
  return std::string(folder) + "locale" + suffix + ".xml";
}

Status WriteDefaultLocaleIfMissing(const std::string& path) {
  if (FileExists(path)) return Status::Ok();
  FileLock lock(path);
  if (!lock.status().ok()) return lock.status();
  if (FileExists(path)) return Status::Ok();
  return ReplaceFileAtomic(path, DefaultLocaleDocument());
}

Result<std::string> ReadLocaleKey(const std::string& path, std::string_view name,
                                  std::string_view fallback) {
  XmlDocument document;
  if (!document.LoadFile(path).ok()) return Status::Failure(document.ParseErrorReason());
  XmlNode root = document.DocumentElement();
  for (const XmlNode& child : root.ChildElements()) {
    if (child.NodeName() == name) return child.Text();
  }
  // Add the key with its default, re-reading under the lock so that concurrent additions all
  // survive.
  FileLock lock(path);
  if (!lock.status().ok()) return std::string(fallback);
  XmlDocument current;
  if (!current.LoadFile(path).ok()) return std::string(fallback);
  XmlNode current_root = current.DocumentElement();
  for (const XmlNode& child : current_root.ChildElements()) {
    if (child.NodeName() == name) return child.Text();
  }
  XmlNode added = current_root.AppendElement(name);
  // A key that is not a valid element name cannot be stored; the default still serves.
  if (!added) return std::string(fallback);
  added.SetText(fallback);
  (void)ReplaceFileAtomic(path, current.ToXml());
  return std::string(fallback);
}

Result<std::vector<std::pair<std::string, std::string>>> LocaleEntries(const std::string& path) {
  XmlDocument document;
  if (!document.LoadFile(path).ok()) return Status::Failure(document.ParseErrorReason());
  std::vector<std::pair<std::string, std::string>> entries;
  for (const XmlNode& child : document.DocumentElement().ChildElements()) {
    entries.emplace_back(child.NodeName(), std::string(Trim(child.Text())));
  }
  return entries;
}

}  // namespace quenmark::reports
