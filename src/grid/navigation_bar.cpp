#include "grid/navigation_bar.h"

#include <algorithm>

#include "quenmark/conversions.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

constexpr std::string_view kEllipsis = "...";
constexpr std::string_view kCloseText = "<font color=gray>Close</font>";
constexpr std::string_view kCloseTitle = "Reset grid";
constexpr std::string_view kResetArgument = "3start:1;";

// Whole-number quotient rounded to the nearest integer, halves to the even neighbour (how the
// page counter has always turned a row offset into a page). `den` must be positive.
int64_t RoundedQuotient(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  int64_t remainder = num % den;
  if (remainder < 0) {
    --quotient;
    remainder += den;
  }
  const int64_t twice = 2 * remainder;
  if (twice > den || (twice == den && quotient % 2 != 0)) ++quotient;
  return quotient;
}

// Appends the counter template with its three placeholders filled in, in one pass.
void AppendPageCount(std::string_view pattern, int64_t current_page, int64_t page_count,
                     int64_t records, std::string& out) {
  struct Placeholder {
    std::string_view name;
    int64_t value;
  };
  const Placeholder placeholders[] = {
      {"@CurrentPage", current_page}, {"@NumOfPages", page_count}, {"@NumOfRecs", records}};
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    const std::size_t at = pattern.find('@', pos);
    if (at == std::string_view::npos) break;
    out.append(pattern, pos, at - pos);
    pos = at;
    bool replaced = false;
    for (const Placeholder& placeholder : placeholders) {
      if (pattern.substr(at).starts_with(placeholder.name)) {
        out += std::to_string(placeholder.value);
        pos += placeholder.name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out += '@';
      ++pos;
    }
  }
  out.append(pattern, pos);
}

// Row and page numbers are computed in 64 bits: a posted start near the largest 32-bit value
// plus a page size must not wrap around.
void AppendPagingLinks(const NavigationBarInput& input, std::string& out) {
  const DisplayTexts& texts = input.texts;
  const int64_t ps = input.page_size;
  const int64_t start = input.start;
  const int64_t last = input.last;
  const int64_t records = std::max<int64_t>(last + 1, 0);
  const int64_t current_page = RoundedQuotient(start, ps) + 1;
  const int64_t page_count = (records + ps - 1) / ps;
  const int64_t end = std::min(start + ps - 1, last);
  const int64_t first_listed = std::max<int64_t>(current_page - 3, 1);
  const int64_t last_listed = std::min(current_page + 3, page_count);
  const bool numbers = texts.ShowPageNumbers();
  const bool more_after = end < last;

  auto nav_link = [&](std::string_view text, int64_t row_index, bool enabled,
                      std::string_view title) {
    AppendNavLink(text, row_index, enabled, title, input.paging_link_class, input.paging_link_style,
                  out);
  };

  AppendPageCount(texts.Get(DisplayText::kPageCountText), current_page, page_count, records, out);

  const bool far_from_first = current_page >= 4;
  nav_link(texts.Get(DisplayText::kFirstText), 0, far_from_first,
           texts.Get(DisplayText::kFirstTitle));
  if (far_from_first && numbers) out += kEllipsis;

  // A start that is not on a page boundary could put the previous page before the first row;
  // that link goes to the first row instead.
  nav_link(texts.Get(DisplayText::kPrevText), std::max<int64_t>(start - ps, 0), start >= 1,
           texts.Get(DisplayText::kPrevTitle));

  if (numbers) {
    for (int64_t page = first_listed; page <= last_listed; ++page) {
      nav_link(std::to_string(page), (page - 1) * ps, page != current_page, {});
    }
  }

  nav_link(texts.Get(DisplayText::kNextText), start + ps, more_after,
           texts.Get(DisplayText::kNextTitle));
  if (more_after && numbers) out += kEllipsis;
  nav_link(texts.Get(DisplayText::kLastText), std::max<int64_t>(page_count - 1, 0) * ps, more_after,
           texts.Get(DisplayText::kLastTitle));
}

}  // namespace

std::string GridPostBackHref(std::string_view argument) {
  std::string href = "javascript:__doPostBack('";
  href += EncodeBase64(argument);
  href += "')";
  return href;
}

void AppendNavLink(std::string_view text, int64_t row_index, bool enabled, std::string_view title,
                   std::string_view paging_link_class, std::string_view paging_link_style,
                   std::string& out) {
  if (!enabled) {
    // A disabled link shows its text only when it is a number: the current page in brackets.
    if (IsNumericText(text)) {
      out += "&nbsp;[";
      out += text;
      out += "]&nbsp;";
    }
    return;
  }
  const std::string argument = "2start:" + std::to_string(row_index + 1) + ";";
  out += "&nbsp;";
  out +=
      MakeLink(text, title, GridPostBackHref(argument), paging_link_class, paging_link_style, {});
  out += "&nbsp;";
}

void AppendNavigationBar(const NavigationBarInput& input, std::string& out) {
  const DisplayTexts& texts = input.texts;
  out += "<table cellpadding=4 width=\"";
  out += input.table_width;
  out += "\"><tr";
  out += input.footer_class;
  out += input.footer_style;
  out += "><td width=\"99%\">";
  // Without a positive page size there are no pages to link to.
  if (input.paging && input.page_size > 0) AppendPagingLinks(input, out);
  out += "&nbsp;</td>";

  const std::string page_size = std::to_string(input.page_size);
  if (input.print_mode) {
    // The close link follows the paging cell without a cell of its own, as print views have
    // always been written: browsers show it just above the bar, and both the link and the hidden
    // page size stay inside the form.
    AppendNavLink(kCloseText, input.start, true, kCloseTitle, input.paging_link_class,
                  input.paging_link_style, out);
    out += "<input type=hidden name=npagesize value=\"";
    out += page_size;
    out += "\">";
  } else {
    out += "<td nowrap>&nbsp;";
    out += MakeLink(texts.Get(DisplayText::kResetText), texts.Get(DisplayText::kResetTitle),
                    GridPostBackHref(kResetArgument), input.paging_link_class,
                    input.paging_link_style, {});
    out += "&nbsp;";
    out += texts.Get(DisplayText::kPageSizeText);
    out += "&nbsp;<input size=2 name=npagesize value=\"";
    out += page_size;
    out += "\"";
    out += input.text_box_style;
    out += ">";
    AppendNavLink(texts.Get(DisplayText::kReloadText), input.start, true,
                  texts.Get(DisplayText::kReloadTitle), input.paging_link_class,
                  input.paging_link_style, out);
  }
  out += "</td></tr>";
  out += "</table>";
}

}  // namespace quenmark
