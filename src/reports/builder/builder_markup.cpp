// Escaping and list helpers shared by the builder's pages.

#include "frame/text_util.h"
#include "quenmark/page_context.h"
#include "reports/builder/builder.h"

namespace quenmark::reports::builder {

std::vector<std::string> BuilderRequest::PostedValues(std::string_view name) const {
  std::vector<std::string> values;
  if (state.context == nullptr) return values;
  for (const auto& [key, value] : state.context->request.Form().Entries()) {
    if (EqualsIgnoreCase(key, name)) values.push_back(value);
  }
  return values;
}

std::string Html(std::string_view text) { return Server::HTMLEncode(text); }

std::string ScriptInAttribute(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\\' || c == '\'') escaped.push_back('\\');
    escaped.push_back(c);
  }
  return Html(escaped);
}

std::vector<std::string> ListItems(std::string_view list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    std::string_view item = Trim(list.substr(start, comma - start));
    if (!item.empty()) items.emplace_back(item);
    start = comma + 1;
  }
  return items;
}

std::string FieldLabel(const ReportDefinition& definition, std::string_view field_id) {
  if (!definition.relations.empty() &&
      Contains(ToLowerAscii(definition.relations), ToLowerAscii(field_id))) {
    return std::string(field_id);
  }
  const size_t dot = field_id.find('.');
  return std::string(dot == std::string_view::npos ? field_id : field_id.substr(dot + 1));
}

bool IsAggregatable(std::string_view category) { return category == "131" || category == "6"; }

bool ListHasItem(std::string_view list, std::string_view item) {
  for (const std::string& entry : ListItems(list)) {
    if (entry == Trim(item)) return true;
  }
  return false;
}

}  // namespace quenmark::reports::builder
