#include "grid/grid_state.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <vector>

#include "frame/text_util.h"
#include "grid/navigation_bar.h"
#include "quenmark/conversions.h"
#include "quenmark/error.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"
#include "quenmark/variant.h"

namespace quenmark {

namespace {

constexpr std::string_view kDesc = " desc";

// Conversions of posted values: a value that does not convert yields nothing, so the field keeps
// whatever it held before the request was read.
std::optional<int16_t> ToInt16(std::string_view text) {
  if (Trim(text).empty()) return std::nullopt;
  try {
    return Variant(text).ToInt16();
  } catch (const Error&) {
    return std::nullopt;
  }
}

std::optional<int32_t> ToInt32(std::string_view text) {
  if (Trim(text).empty()) return std::nullopt;
  try {
    return Variant(text).ToInt32();
  } catch (const Error&) {
    return std::nullopt;
  }
}

std::optional<bool> ToBoolean(std::string_view text) {
  if (Trim(text).empty()) return std::nullopt;
  try {
    return Variant(text).ToBoolean();
  } catch (const Error&) {
    return std::nullopt;
  }
}

// A first row that is missing, not a number or below 1 would select rows before the first one;
// such a request starts at the first row.
int32_t StartRow(std::string_view text) {
  const std::optional<int32_t> start = ToInt32(text);
  return start && *start >= 1 ? *start : 1;
}

// The "start" of a postback argument: a value that does not convert leaves the first row as the
// posted fields set it; one below 1 starts at the first row.
void ApplyArgumentStart(std::string_view text, int32_t& start_rec) {
  if (const std::optional<int32_t> start = ToInt32(text)) start_rec = *start >= 1 ? *start : 1;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ',';
    out += item;
  }
  return out;
}

// `list` with the whole item `from` replaced by `to` (every occurrence).
std::string ReplaceItem(std::string_view list, std::string_view from, std::string_view to) {
  std::vector<std::string> items;
  for (std::string_view item : Split(list, ",")) {
    items.emplace_back(item == from ? to : item);
  }
  return JoinItems(items);
}

// A well-formed order item ("3" or "3 desc") in its canonical spelling, or nothing. Anything
// else (a posted field that was tampered with) never reaches the ORDER BY list.
std::optional<std::string> CanonicalOrderItem(std::string_view item) {
  item = Trim(item);
  bool descending = false;
  if (item.size() > kDesc.size()) {
    std::string_view tail = item.substr(item.size() - kDesc.size());
    bool is_desc = tail.front() == ' ';
    for (size_t i = 1; is_desc && i < tail.size(); ++i) {
      is_desc = std::tolower(static_cast<unsigned char>(tail[i])) == kDesc[i];
    }
    if (is_desc) {
      descending = true;
      item = Trim(item.substr(0, item.size() - kDesc.size()));
    }
  }
  if (item.empty() || item.size() > 9) return std::nullopt;
  int position = 0;
  const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), position);
  if (error != std::errc() || end != item.data() + item.size() || position < 1) {
    return std::nullopt;
  }
  std::string out = std::to_string(position);
  if (descending) out += kDesc;
  return out;
}

std::string CanonicalOrderList(std::string_view list) {
  std::vector<std::string> items;
  for (std::string_view item : Split(list, ",")) {
    if (std::optional<std::string> canonical = CanonicalOrderItem(item)) {
      items.push_back(std::move(*canonical));
    }
  }
  return JoinItems(items);
}

}  // namespace

const std::string_view kPostbackScript =
    "<script>function __doPostBack(args){var f=document.QmkTabulon;"
    "if(args.substring(0,1)=='_'){args=eval(\"f.btnExp\"+args.substring(1)+\".value\");};"
    "f.__FARGS.value=args;f.submit();}</script>";

void ReadQueryState(const FieldCollection& query_string, GridState& state) {
  state.start_rec = 1;
  state.page_size = 10;
  state.remove_sort = false;
  state.return_report_id = query_string.Get("rurl1");
  state.current_index = 0;
  state.show_all = false;
}

void ReadPostedFields(const FieldCollection& form, GridState& state) {
  state.return_report_id = form.Get("rurl1");
  state.start_rec = StartRow(form.Get("start"));

  const std::string new_size = form.Get("npagesize");
  if (IsNumericText(new_size)) {
    if (std::optional<int16_t> size = ToInt16(new_size)) state.page_size = *size;
    if (state.page_size < 0) {
      if (std::optional<int16_t> size = ToInt16(form.Get("pagesize"))) state.page_size = *size;
    }
  } else if (std::optional<int16_t> size = ToInt16(form.Get("pagesize"))) {
    state.page_size = *size;
  }

  if (std::optional<int32_t> index = ToInt32(form.Get("curidx"))) state.current_index = *index;
  if (std::optional<bool> all = ToBoolean(form.Get("showall"))) state.show_all = *all;
  if (std::optional<bool> remove = ToBoolean(form.Get("rsort"))) state.remove_sort = *remove;
  state.last_sort = form.Get("lastsort");
  state.sort_column = form.Get("sort");
  state.filter_text = form.Get("rsfilter");
}

void ApplyPostbackArgument(std::string_view encoded_argument, GridState& state) {
  if (encoded_argument.empty()) return;
  const std::string decoded = DecodeBase64(encoded_argument);
  if (decoded.empty() || decoded[0] < '1' || decoded[0] > '7') return;
  const std::string_view args = std::string_view(decoded).substr(1);
  switch (decoded[0]) {
    case '1':
      state.last_sort = GetArgument(args, "lastsort");
      state.sort_column = GetArgument(args, "sort");
      if (std::optional<bool> remove = ToBoolean(GetArgument(args, "rsort"))) {
        state.remove_sort = *remove;
      }
      break;
    case '2':
      ApplyArgumentStart(GetArgument(args, "start"), state.start_rec);
      break;
    case '3':
      state.last_sort.clear();
      state.sort_column.clear();
      state.filter_text.clear();
      ApplyArgumentStart(GetArgument(args, "start"), state.start_rec);
      break;
    case '4':
      state.export_format = ToLowerAscii(GetArgument(args, "fmt"));
      state.export_headers = GetArgument(args, "hdr");
      state.export_requested = true;
      state.posted_title = GetArgument(args, "ttl");
      state.title_posted = true;
      break;
    case '5':
      state.print_mode = true;
      break;
    case '6':
      if (std::optional<int32_t> index = ToInt32(GetArgument(args, "curidx"))) {
        state.current_index = *index;
      }
      state.show_all = false;
      break;
    case '7':
      state.show_all = true;
      break;
    default:
      break;
  }
}

bool OrderListHas(std::string_view list, std::string_view item) {
  for (std::string_view entry : Split(list, ",")) {
    if (entry == item) return true;
  }
  return false;
}

std::string ComputeOrderList(const GridState& state) {
  const std::string& n = state.sort_column;
  if (n.empty()) return CanonicalOrderList(state.order_list);
  const std::string n_desc = n + std::string(kDesc);
  const std::string& last = state.last_sort;
  std::string result;
  if (state.remove_sort) {
    const std::string_view removed = OrderListHas(last, n_desc) ? std::string_view(n_desc) : n;
    std::vector<std::string> kept;
    for (std::string_view item : Split(last, ",")) {
      if (item != removed && !item.empty()) kept.emplace_back(item);
    }
    result = JoinItems(kept);
  } else if (n == last) {
    result = n_desc;
  } else if (OrderListHas(last, n_desc)) {
    result = ReplaceItem(last, n_desc, n);
  } else if (OrderListHas(last, n)) {
    result = ReplaceItem(last, n, n_desc);
  } else if (last.empty()) {
    result = n;
  } else {
    result = last + "," + n;
  }
  return CanonicalOrderList(result);
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

void AppendHiddenField(std::string& out, std::string_view name, std::string_view value) {
  out += "<input type=hidden name=";
  out += name;
  out += " value=\"";
  out += EscapeHtml(value);
  out += "\">";
}

void AppendHiddenStateFields(std::string& out, const GridState& state) {
  AppendHiddenField(out, "sort", state.order_list);
  AppendHiddenField(out, "rsort", "0");
  AppendHiddenField(out, "pagesize", std::to_string(state.page_size));
  AppendHiddenField(out, "curidx", std::to_string(state.current_index));
  AppendHiddenField(out, "showall", state.show_all ? "True" : "False");
  AppendHiddenField(out, "start", std::to_string(state.start_rec));
  AppendHiddenField(out, "rsfilter", state.filter_text);
  AppendHiddenField(out, "__FARGS", "");
}

std::string HeaderCell(std::string_view caption, int position, bool sort_links,
                       std::string_view order_list, const HeaderCellLook& look) {
  const std::string n = std::to_string(position);
  std::string argument;
  if (position > 0) {
    argument = "1sort:" + n + ";lastsort:";
    argument += order_list;
    argument += ';';
  } else {
    argument = "3start:1;";
  }

  std::string_view icon;
  std::string_view title = look.sort_asc_title;
  if (OrderListHas(order_list, n + std::string(kDesc))) {
    icon = look.sort_desc_icon;
    title = look.sort_asc_title;
  } else if (OrderListHas(order_list, n)) {
    icon = look.sort_asc_icon;
    title = look.sort_desc_title;
  }
  if (position == 0) title = look.refresh_title;

  std::string cell;
  std::string shown_icon(icon);
  if (caption != look.reset_text) {
    std::string shown_caption(caption);
    if (!look.header_text_style.empty()) {
      shown_caption = "<font" + std::string(look.header_text_style) + ">" + shown_caption + "</font>";
      if (!icon.empty()) {
        shown_icon = "<font" + std::string(look.header_text_style) + ">" + shown_icon + "</font>";
      }
    }
    if (sort_links) {
      cell = MakeLink(shown_caption, title, GridPostBackHref(argument + "rsort:0;"),
                      look.header_link_class, look.header_link_style, "");
    } else {
      cell = "<a";
      cell += look.header_link_class;
      cell += look.header_link_style;
      cell += '>';
      cell += shown_caption;
      cell += "</a>";
    }
  } else {
    cell = MakeLink(look.reset_text, look.reset_title, GridPostBackHref(argument),
                    look.paging_link_class, look.paging_link_style, "");
  }
  if (sort_links && !icon.empty()) {
    cell += "&nbsp;";
    cell += MakeLink(shown_icon, look.remove_sort_title, GridPostBackHref(argument + "rsort:1;"),
                     look.header_link_class, look.header_link_style, "");
  }
  return cell;
}

}  // namespace quenmark
