#include "grid/master_detail.h"

#include <algorithm>
#include <stdexcept>

#include "frame/text_util.h"
#include "grid/navigation_bar.h"
#include "quenmark/shared_procedures.h"

namespace quenmark {

const std::string_view kNoMasterTable =
    "<font color=red><b>Master table not selected<b><br>You must first select a master "
    "table</font>";

MasterDetailColumns SplitMasterDetail(const std::vector<ColumnDescriptor>& columns,
                                      const std::vector<size_t>& visible,
                                      std::string_view master_table) {
  MasterDetailColumns split;
  auto is_master = [&](size_t c) { return EqualsIgnoreCase(columns[c].table, master_table); };
  for (size_t c : visible) (is_master(c) ? split.master : split.detail).push_back(c);
  for (size_t c = 0; c < columns.size(); ++c) {
    if (is_master(c) && columns[c].category != FieldBinary) split.compared.push_back(c);
  }
  return split;
}

bool GroupTracker::Remember(size_t k, std::string_view text) {
  std::string& previous = previous_[k];
  if (groups_ > 0 && previous == text) return false;
  previous.assign(text);
  return true;
}

GroupRange PageGroups(bool paging, int64_t start_rec, int64_t page_size, int64_t groups) {
  if (!paging || page_size <= 0) return {0, groups - 1};
  const int64_t first = std::max<int64_t>(start_rec, 1) - 1;
  return {first, std::min(first + page_size - 1, groups - 1)};
}

void GroupIndex::StartGroup(size_t row) {
  if (recording_) spans_.back().end = row;
  const int64_t group = tracker_.groups() - 1;
  recording_ = wanted_.Contains(group) || row < leading_rows_;
  if (recording_) spans_.push_back({group, row, row});
}

void GroupIndex::Finish(size_t row_count) {
  if (recording_) spans_.back().end = row_count;
  recording_ = false;
}

const GroupIndex::Span& GroupIndex::Find(int64_t group) const {
  const auto at = std::lower_bound(spans_.begin(), spans_.end(), group,
                                   [](const Span& span, int64_t g) { return span.group < g; });
  if (at == spans_.end() || at->group != group) {
    throw std::out_of_range("group " + std::to_string(group) + " was not kept");
  }
  return *at;
}

int64_t ExpandedGroup(int64_t current_index, bool show_all, const GroupRange& page) {
  if ((current_index == 0 && !show_all) || !page.Contains(current_index)) return page.first;
  return current_index;
}

void AppendDetailsLink(std::string& out, bool show_all, int64_t current_index,
                       std::string_view paging_link_class) {
  if (show_all) {
    out += "&nbsp;&nbsp;<a";
    out += paging_link_class;
    out += " href=\"";
    out += GridPostBackHref("6;curidx:" + std::to_string(current_index) + ";");
    out += "\" >Collapse Details</a>";
  } else {
    out += "&nbsp;&#183;&nbsp;<a";
    out += paging_link_class;
    out += " href=\"";
    out += GridPostBackHref("7");
    out += "\" >Show all Details</a>";
  }
}

void AppendGroupNumberCell(std::string& out, int64_t group, std::string_view row_class) {
  out += "<td nowrap width=1><a";
  out += row_class;
  out += " href=\"";
  out += GridPostBackHref("6;curidx:" + std::to_string(group) + ";");
  out += "\" ><font ";
  out += row_class;
  out += '>';
  out += std::to_string(group + 1);
  out += "</font></a></td>";
}

namespace {

// The group's rows over the detail columns in the row layout, under their own header row;
// rows keep the alternation of their index in the result.
void AppendDetailTable(std::string& out, const GroupMarkup& grid,
                       const MasterDetailColumns& columns, size_t first_row, size_t end_row,
                       const GroupLook& look) {
  grid.AppendTableOpen(out);
  grid.AppendDetailHeaderRow(out, columns.detail);
  for (size_t row = first_row; row < end_row; ++row) {
    const bool odd = row % 2 == 1;
    out += "<tr";
    out += odd ? look.alt_class : look.item_class;
    out += odd ? look.alt_style : look.item_style;
    out += '>';
    grid.AppendCells(out, row, columns.detail);
    out += "</tr>";
  }
  out += "</table>";
}

}  // namespace

void AppendGroup(std::string& out, const GroupMarkup& grid, const MasterDetailColumns& columns,
                 int64_t group, size_t first_row, size_t end_row, const GroupLook& look) {
  if (look.columnar) {
    out += "<tr><td valign=top><table border=0>";
    grid.AppendColumnarRows(out, first_row, columns.master);
    out += "</table></td><td valign=top>";
    AppendDetailTable(out, grid, columns, first_row, end_row, look);
    out += "</td></tr>";
    return;
  }
  // With every group open the master lines share one look; otherwise they alternate.
  const bool odd = !look.show_all && group % 2 == 1;
  const std::string_view row_class = odd ? look.alt_class : look.item_class;
  out += "<tr";
  out += row_class;
  out += odd ? look.alt_style : look.item_style;
  out += '>';
  if (look.add_row_numbers) AppendGroupNumberCell(out, group, row_class);
  grid.AppendCells(out, first_row, columns.master);
  out += "</tr>";
  if (look.show_all || group == look.expanded) {
    out += "<tr><td align=right colspan=100 bgcolor=white><table width=\"97%\"><tr><td>";
    AppendDetailTable(out, grid, columns, first_row, end_row, look);
    out += "</td></tr></table></td></tr>";
  }
}

}  // namespace quenmark
