#pragma once
// Master-detail grids: consecutive rows that share the values of the master table's columns form
// one group, shown as one master line whose detail rows open below it. Groups take the place of
// rows for paging, printing and the navigation bar. This file holds the grouping, the paging by
// groups and the markup particular to master-detail grids; the grid renders the rest.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/column_descriptors.h"
#include "quenmark/variant.h"

namespace quenmark {

/// Shown, and the response ended, when master-detail mode is on without a master table.
extern const std::string_view kNoMasterTable;

/// The columns of a master-detail grid, as positions in the result.
struct MasterDetailColumns {
  std::vector<size_t> master;    ///< columns of the master table that are not hidden
  std::vector<size_t> detail;    ///< the other columns that are not hidden
  std::vector<size_t> compared;  ///< columns of the master table that are not binary (grouping)
};

/// Splits the columns by whether their table is `master_table` (ignoring case). `visible` are
/// the positions of the columns that are not hidden.
MasterDetailColumns SplitMasterDetail(const std::vector<ColumnDescriptor>& columns,
                                      const std::vector<size_t>& visible,
                                      std::string_view master_table);

/// Finds the groups in a stream of rows: a group starts at the first row and at every row whose
/// text differs from the row before in at least one compared column. A group is thus a maximal
/// run of equal master values (A, A, B, A are three groups).
class GroupTracker {
 public:
  explicit GroupTracker(std::vector<size_t> compared) : compared_(std::move(compared)) {}

  /// Takes the next row (`value_of(column)` gives its values) and tells whether it starts a
  /// new group.
  template <typename ValueOf>
  bool Next(ValueOf&& value_of) {
    bool starts = groups_ == 0;
    if (previous_.size() != compared_.size()) previous_.resize(compared_.size());
    for (size_t k = 0; k < compared_.size(); ++k) {
      const Variant& value = value_of(compared_[k]);
      if (value.kind() == Variant::Kind::kText) {
        starts = Remember(k, value.AsText()) || starts;
      } else {
        starts = Remember(k, value.ToText()) || starts;
      }
    }
    if (starts) ++groups_;
    return starts;
  }

  /// Groups found so far.
  int64_t groups() const { return groups_; }

 private:
  // Stores the value of compared column k; true when it differs from the one before.
  bool Remember(size_t k, std::string_view text);

  std::vector<size_t> compared_;
  std::vector<std::string> previous_;
  int64_t groups_ = 0;
};

/// 0-based indexes of the first and last group of a page; empty when last < first.
struct GroupRange {
  int64_t first = 0;
  int64_t last = -1;
  bool Contains(int64_t group) const { return group >= first && group <= last; }
};

/// The groups of the page: `page_size` groups from group `start_rec` - 1 when `paging` is on,
/// every group otherwise. A start below 1 starts at the first group.
GroupRange PageGroups(bool paging, int64_t start_rec, int64_t page_size, int64_t groups);

/// The groups of a result read once, in order: counts every group and remembers where the
/// wanted ones begin and end, so that only their rows need to be kept.
class GroupIndex {
 public:
  /// `wanted`: the groups whose rows are needed (the page's, or all); groups that start within
  /// the first `leading_rows` rows are wanted too, for a result small enough to be shown whole.
  GroupIndex(std::vector<size_t> compared, GroupRange wanted, size_t leading_rows)
      : tracker_(std::move(compared)), wanted_(wanted), leading_rows_(leading_rows) {}

  /// Takes the result's next row, at position `row`; true when its group is wanted.
  template <typename ValueOf>
  bool Add(size_t row, ValueOf&& value_of) {
    if (tracker_.Next(value_of)) StartGroup(row);
    return recording_;
  }
  /// Closes the last group after the result's `row_count` rows.
  void Finish(size_t row_count);

  /// Groups of the result.
  int64_t groups() const { return tracker_.groups(); }
  /// The first row of wanted group `group` and the row after its last one.
  size_t FirstRow(int64_t group) const { return Find(group).first; }
  size_t EndRow(int64_t group) const { return Find(group).end; }

 private:
  struct Span {
    int64_t group;
    size_t first;
    size_t end;
  };
  void StartGroup(size_t row);
  const Span& Find(int64_t group) const;

  GroupTracker tracker_;
  GroupRange wanted_;
  size_t leading_rows_;
  bool recording_ = false;
  std::vector<Span> spans_;  // wanted groups in order
};

/// The group whose details are open: `current_index`, unless it is not set (0 without show
/// all) or lies outside the page, when it is the first group of the page.
int64_t ExpandedGroup(int64_t current_index, bool show_all, const GroupRange& page);

/// The title-bar link after the print link: "Collapse Details" when every group is open,
/// otherwise "Show all Details".
void AppendDetailsLink(std::string& out, bool show_all, int64_t current_index,
                       std::string_view paging_link_class);

/// The row-number cell of a master line: the 1-based group number, a link that opens the group.
/// `row_class` is the line's class fragment.
void AppendGroupNumberCell(std::string& out, int64_t group, std::string_view row_class);

/// The pieces of the grid's own markup that groups are made of.
class GroupMarkup {
 public:
  virtual ~GroupMarkup() = default;
  /// The grid table, opened with the grid's class and style.
  virtual void AppendTableOpen(std::string& out) const = 0;
  /// A header row over `shown` without the row-number cell and without sort links.
  virtual void AppendDetailHeaderRow(std::string& out, const std::vector<size_t>& shown) const = 0;
  /// The data cells ("<td class=...>" value "</td>") of `row` over `shown`.
  virtual void AppendCells(std::string& out, size_t row,
                           const std::vector<size_t>& shown) const = 0;
  /// `row` over `shown` in the columnar form: one caption and value row per column.
  virtual void AppendColumnarRows(std::string& out, size_t row,
                                  const std::vector<size_t>& shown) const = 0;
};

/// How the groups of a page are shown.
struct GroupLook {
  bool add_row_numbers = true;
  bool columnar = false;
  bool show_all = false;
  int64_t expanded = 0;  ///< the open group when not `show_all`
  /// Row fragments of even and odd row indexes.
  std::string_view item_class, item_style, alt_class, alt_style;
};

/// Group `group`, made of the result rows `first_row` to `end_row` - 1. In the row layout: its
/// master line (the group number links to opening it) and, when it is open, a cell spanning the
/// line with the detail table. In the columnar layout: the master columns in columnar form
/// beside the detail table; every group shows its details there, since that layout has no links
/// to open them.
void AppendGroup(std::string& out, const GroupMarkup& grid, const MasterDetailColumns& columns,
                 int64_t group, size_t first_row, size_t end_row, const GroupLook& look);

}  // namespace quenmark
