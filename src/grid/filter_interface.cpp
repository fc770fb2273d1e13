#include "grid/filter_interface.h"

#include <array>
#include <charconv>

#include "frame/text_util.h"
#include "grid/grid_state.h"
#include "quenmark/page_context.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

namespace {

constexpr std::string_view kPartSeparator = "|||";
constexpr std::string_view kItemSeparator = "|=|";

// The five operators in the order both filter interfaces offer them: the value posted, the value
// as written inside a double-quoted option attribute, and the text that names it.
struct Operator {
  std::string_view value;
  std::string_view attribute;
  DisplayText text;
};
constexpr std::array<Operator, 5> kOperators = {{
    {" LIKE '%v%'", " LIKE '%v%'", DisplayText::kContainsText},
    {"=", "=", DisplayText::kIsEqualToText},
    {"<>", "<>", DisplayText::kIsNotEqualToText},
    {" < ", " &lt; ", DisplayText::kIsLessThanText},
    {" > ", " > ", DisplayText::kIsGreaterText},
}};

// Escapes for HTML text content, where quotes need no escaping.
void AppendHtmlText(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
}

// Escapes for the inside of a double-quoted JavaScript string within a <script> element: the
// string cannot end early, and "</script>" or "<!--" cannot appear in it.
void AppendScriptString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char c : text) {
    if (c == '\\' || c == '"' || c == '<' || c == '>' || c == '&' || c < 0x20) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

// An attribute value written without quotes when it is a plain word, as the button label has
// always been; otherwise quoted and escaped so that a label with blanks is kept whole.
void AppendAttributeValue(std::string& out, std::string_view value) {
  const bool plain = !value.empty() && value.find_first_of(" \t\r\n\"'`=<>&") == std::string_view::npos;
  if (plain) {
    out += value;
    return;
  }
  out += '"';
  out += EscapeHtml(value);
  out += '"';
}

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// True when `word` stands at `at` of `text` as a whole word, in any case.
bool WordAt(std::string_view text, size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  if (!EqualsIgnoreCase(text.substr(at, word.size()), word)) return false;
  if (at > 0 && IsWordChar(text[at - 1])) return false;
  const size_t end = at + word.size();
  return end == text.size() || !IsWordChar(text[end]);
}

// Index just past the quoted part that starts at `at` (quote character text[at]); a doubled
// closing character stays inside.
size_t SkipQuoted(std::string_view text, size_t at) {
  const char open = text[at];
  const char close = open == '[' ? ']' : open;
  size_t i = at + 1;
  while (i < text.size()) {
    if (text[i] == close) {
      if (i + 1 < text.size() && text[i + 1] == close && close != '#') {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return text.size();
}

// The conditions of a filter text: the parts between the word AND, where it stands outside
// names and values. OR-joined conditions stay together as one part.
std::vector<std::string_view> SplitConditions(std::string_view filter) {
  std::vector<std::string_view> conditions;
  size_t start = 0;
  size_t i = 0;
  while (i < filter.size()) {
    const char c = filter[i];
    if (c == '\'' || c == '"' || c == '#' || c == '[' || c == '`') {
      i = SkipQuoted(filter, i);
    } else if (WordAt(filter, i, "AND")) {
      conditions.push_back(Trim(filter.substr(start, i - start)));
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  conditions.push_back(Trim(filter.substr(start)));
  return conditions;
}

// Splits a condition into its column (the last part of a qualified name, delimiters removed) and
// the text after the column.
void SplitCondition(std::string_view condition, std::string& column, std::string_view& rest) {
  size_t i = 0;
  column.clear();
  while (i < condition.size()) {
    const char c = condition[i];
    column.clear();
    if (c == '[' || c == '`') {
      const size_t end = SkipQuoted(condition, i);
      const char close = c == '[' ? ']' : '`';
      const bool closed = end - i >= 2 && condition[end - 1] == close;
      const std::string_view inside = condition.substr(i + 1, end - i - 1 - (closed ? 1 : 0));
      for (size_t k = 0; k < inside.size(); ++k) {
        column += inside[k];
        if (inside[k] == close && k + 1 < inside.size() && inside[k + 1] == close) ++k;
      }
      i = end;
    } else {
      // A bare name runs to an operator sign or to a blank before an operator word.
      size_t end = i;
      while (end < condition.size()) {
        const char d = condition[end];
        if (d == '<' || d == '>' || d == '=' || d == '!' || d == '.') break;
        if ((d == ' ' || d == '\t') && (WordAt(condition, end + 1, "LIKE") ||
                                         WordAt(condition, end + 1, "NOT") ||
                                         WordAt(condition, end + 1, "IS"))) {
          break;
        }
        ++end;
      }
      // The blanks before the operator belong to the rest, as they do after a quoted name.
      const std::string_view bare = condition.substr(i, end - i);
      const size_t kept = bare.find_last_not_of(" \t");
      column = std::string(kept == std::string_view::npos ? "" : bare.substr(0, kept + 1));
      i += column.size();
    }
    if (i < condition.size() && condition[i] == '.') {
      ++i;  // a qualified name: the column is the part after the "."
      continue;
    }
    break;
  }
  rest = condition.substr(i);
}

// The words of one condition after its column: "%" dropped, LIKE named by the contains text,
// escaped for HTML text.
void AppendConditionRest(std::string& out, std::string_view rest, std::string_view contains) {
  size_t i = 0;
  while (i < rest.size()) {
    if (rest[i] == '%') {
      ++i;
    } else if (WordAt(rest, i, "LIKE")) {
      out += contains;
      i += 4;
    } else {
      AppendHtmlText(out, rest.substr(i, 1));
      ++i;
    }
  }
}

}  // namespace

void AppendInlineFilterRow(std::string& out, const FilterLook& look,
                           const std::vector<ColumnDescriptor>& columns) {
  out += "<table width=\"";
  out += look.table_width;
  out += "\"><tr";
  out += look.footer_class;
  out += look.footer_style;
  out += "><td align=right><select name=search_field ";
  out += look.filter_field_style;
  out += "><option value=''>&nbsp;";
  for (const ColumnDescriptor& column : columns) {
    out += "<option value=\"";
    out += EscapeHtml(column.name);
    out += "\">";
    out += column.caption;
    out += "</option>";
  }
  out += "</select>&nbsp;<select name=search_condition ";
  out += look.filter_field_style;
  out += "><option value=''>&nbsp;";
  for (const Operator& op : kOperators) {
    out += "<option value=\"";
    out += op.attribute;
    out += "\">";
    out += look.texts.Get(op.text);
  }
  out += "</select>&nbsp;<input name=search_text ";
  out += look.filter_field_style;
  out += ">&nbsp;<input ";
  out += look.filter_field_style;
  out += " type=button onclick=\"this.form.start.value=1;this.form.__FARGS.value='';"
         "this.form.submit();\" value=";
  AppendAttributeValue(out, look.texts.Get(DisplayText::kFilterButtonText));
  out += " ></td></tr></table>";
}

void AppendPopupFilterScript(std::string& out, std::string_view page_url, int16_t database_kind) {
  out += "<script language=\"javascript\">function __doGetBack(args){var f=document.QmkTabulon;"
         "if(args.substring(0,1)=='_'){args=eval(\"f.btnExp\"+args.substring(1)+\".value\");};"
         "var a=args.substr(0,args.length-1);var i=args.substr(args.length-1);var q=\"";
  AppendScriptString(out, page_url);
  // The delimiter and the lists travel URL-encoded: a raw "#" would start the address's
  // fragment and a raw "+" of the encoded lists would arrive as a blank.
  out += "?a=\"+i+\"&del=";
  out += Server::URLEncode(database_kind == DbAccess ? "#" : "'");
  out += "&args=\"+encodeURIComponent(a)+\"\";var w=330;var h=230;"
         "var LeftPosition = (screen.width) ? (screen.width-w)/2 : 0;"
         "var TopPosition = (screen.height) ? (screen.height-h)/2 : 0;"
         "var settings = 'height='+h+',width='+w+',top='+TopPosition+',left='+LeftPosition+"
         "',menubar=0,scrollbars=0,resizable=1';"
         "var win = window.open(q,\"wizard\",settings);}</script>";
}

std::string PopupFilterLists(const DisplayTexts& texts,
                             const std::vector<ColumnDescriptor>& columns) {
  std::string lists(texts.Get(DisplayText::kFilterButtonTextPopup));
  lists += kItemSeparator;
  lists += texts.Get(DisplayText::kFilterButtonTitlePopup);
  auto append_part = [&](auto item_of) {
    lists += kPartSeparator;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) lists += kItemSeparator;
      lists += item_of(columns[i]);
    }
  };
  append_part([](const ColumnDescriptor& c) -> std::string { return c.name; });
  append_part([](const ColumnDescriptor& c) -> std::string { return c.caption; });
  append_part([](const ColumnDescriptor& c) { return std::to_string(c.category); });
  lists += kPartSeparator;
  for (size_t i = 0; i < kOperators.size(); ++i) {
    if (i > 0) lists += kItemSeparator;
    lists += texts.Get(kOperators[i].text);
  }
  return lists;
}

void AppendPopupFilterCell(std::string& out, const FilterLook& look,
                           std::string_view encoded_lists) {
  out += "<td  align=center width='99%'>";
  AppendHiddenField(out, "btnExpfilter", std::string(encoded_lists) + "j");
  out += MakeLink(look.texts.Get(DisplayText::kFilterButtonTextPopup),
                  look.texts.Get(DisplayText::kFilterButtonTitlePopup),
                  "javascript:__doGetBack('_filter')", look.paging_link_class,
                  look.paging_link_style, "");
  out += "</td>";
}

std::string PopupFilterPage(std::string_view lists, std::string_view del) {
  const std::vector<std::string_view> parts = Split(lists, kPartSeparator);
  if (parts.size() != 5) return {};
  const std::vector<std::string_view> names = Split(parts[1], kItemSeparator);
  const std::vector<std::string_view> captions = Split(parts[2], kItemSeparator);
  const std::vector<std::string_view> categories = Split(parts[3], kItemSeparator);
  if (names.size() != captions.size() || names.size() != categories.size()) return {};
  const std::vector<std::string_view> operator_texts = Split(parts[4], kItemSeparator);
  const size_t title_end = parts[0].find(kItemSeparator);
  const std::string_view title = parts[0].substr(0, title_end);
  const std::string_view heading =
      title_end == std::string_view::npos ? std::string_view() : parts[0].substr(title_end + 3);

  std::string page = "<html><head><title>";
  AppendHtmlText(page, title);
  page += "</title><script> var del=\"";
  AppendScriptString(page, del);
  // The builder doubles apostrophes in values as the server does, so a value such as O'Brien
  // gives a valid filter.
  page +=
      "\"; function addFilter(){var sf=f1.search_field;var sc=f1.search_condition;"
      "var fi=sf.selectedIndex;var ci=sc.selectedIndex;var v=f1.search_text.value;"
      " if(fi>0&&ci>0&&v!=''){var m = f1.mfilter;var join=(f1.chk1.checked)?\"OR\":\"AND\";"
      "if (m.value!='')m.value+=' '+join+' \\n';"
      "m.value+=sf.options[fi].text+' ('+sc.options[ci].text+') '+v;"
      " var s1 = sf.options[fi].value;var itmp = s1.indexOf(\"_\");"
      "var ftype=parseInt(s1.substr(0,itmp));var fname=s1.substr(itmp+1);"
      "var s2 = sc.options[ci].value;var t=v.split(\"'\").join(\"''\");"
      "if(s2.indexOf(\"%\")>-1){s1 = fname + s2.replace(\"v\",function(){return t;});}"
      "else{if(ftype!=131 && ftype!=6){"
      " if(ftype!=7){v=\"'\"+t+\"'\"}else{v=del+t+del}}s1=fname+\" \"+s2+\" \"+v;}"
      "if (f1.filter.value!='')f1.filter.value+=' '+join+' ';f1.filter.value+=s1;}"
      "else{alert('You must first make a selection');}}"
      " function finish(){var f=window.opener.document.QmkTabulon;"
      "f.rsfilter.value=f1.filter.value;f.start.value=1;f.submit();window.close();}"
      "</script><style>form{margin:0px;}</style></head><body><b>";
  AppendHtmlText(page, heading);
  page += "</b><form name=f1><table border=0><tr><td>Field</td><td><select name=search_field>"
          "<option value=''>";
  for (size_t i = 0; i < names.size(); ++i) {
    page += "<option value=\"";
    page += EscapeHtml(categories[i]);
    page += '_';
    page += EscapeHtml(names[i]);
    page += "\">";
    AppendHtmlText(page, captions[i]);
    page += "</option>";
  }
  page += "</select></td></tr><tr><td width=10 nowrap>Condition</td><td>"
          "<select name=search_condition><option>";
  for (size_t i = 0; i < kOperators.size(); ++i) {
    page += "<option value=\"";
    page += kOperators[i].attribute;
    page += "\">";
    if (i < operator_texts.size()) AppendHtmlText(page, operator_texts[i]);
    page += "</option>";
  }
  page += "</select></td></tr><tr><td>Value</td><td><input type=text name=search_text value='' "
          "size=28></td></tr><tr><td colspan=2 align=right nowrap><span "
          "style='width:40%;text-align:left;'><input type=checkbox value=ON name=chk1 id=chk1>"
          "<label for=chk1>Use <b>OR</b></label></span><span style='width:60%;'><input "
          "type=button value='Add Filter' onclick='addFilter()'>&nbsp;<input type=button "
          "value='Finish' onclick='finish()'></td></tr><tr><td colspan=2 ><textarea name=mfilter "
          "onfocus='this.blur();' cols=35 rows=4 style='border:1px solid #cccccc;'></textarea>"
          "</table><input type=hidden name=filter></form></body></html>";
  return page;
}

void AppendFilterSortSummary(std::string& out, const FilterLook& look,
                             std::string_view filter_text, std::string_view order_list,
                             const std::vector<ColumnDescriptor>& columns,
                             std::string_view captions) {
  if (filter_text.empty() && order_list.empty()) return;
  out += "<table cellpadding=4 width=\"";
  out += look.table_width;
  out += "\">";
  auto open_row = [&] {
    out += "<tr";
    out += look.footer_class;
    out += look.footer_style;
    out += "><td";
    out += look.footer_class;
    out += look.footer_style;
    out += '>';
  };
  if (!filter_text.empty()) {
    open_row();
    out += look.texts.Get(DisplayText::kFiltersLabelText);
    out += ' ';
    const std::string_view contains = look.texts.Get(DisplayText::kContainsText);
    std::string column;
    bool first = true;
    for (std::string_view condition : SplitConditions(filter_text)) {
      if (condition.empty()) continue;
      if (!first) out += " <i>and</i> ";
      first = false;
      std::string_view rest;
      SplitCondition(condition, column, rest);
      bool found = false;
      const std::string caption = FindListEntry(captions, column, &found);
      if (found) {
        out += caption;
      } else {
        AppendHtmlText(out, column);
      }
      AppendConditionRest(out, rest, contains);
    }
    out += "</td></tr>";
  }
  if (order_list.empty()) {
    out += "</table>";
    return;
  }
  open_row();
  out += look.texts.Get(DisplayText::kSortOrderLabelText);
  out += ' ';
  bool first = true;
  for (std::string_view item : Split(order_list, ",")) {
    item = Trim(item);
    const bool descending = item.ends_with(" desc");
    if (descending) item = Trim(item.substr(0, item.size() - 5));
    size_t position = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), position);
    if (error != std::errc() || end != item.data() + item.size()) continue;
    if (position < 1 || position > columns.size()) continue;
    if (!first) out += ", ";
    first = false;
    out += columns[position - 1].caption;
    out += ' ';
    out += look.texts.Get(descending ? DisplayText::kSortOrderDescText
                                     : DisplayText::kSortOrderAscText);
  }
  out += "</td></tr></table>";
}

}  // namespace quenmark
