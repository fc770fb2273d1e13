// The members of DataGrid that page scripts reach, by name (ignoring case).

#include "quenmark/data_grid.h"

namespace quenmark {

namespace {

using Grid = DataGrid;
using Setter = void (DataGrid::*)(std::string_view);

DispatchTable BuildMembers() {
  DispatchTable table;
  DispatchBuilder<Grid> members(table);

  members
      .WriteOnly("Connection",
                 [](Grid& g, const Variant& v) { g.Connection(v.ToObject()); })
      .WriteOnly("Command", [](Grid& g, const Variant& v) { g.Command(v.ToText()); })
      .WriteOnly("MasterTable", [](Grid& g, const Variant& v) { g.MasterTable(v.ToText()); })
      .Property("Title", [](Grid& g) { return Variant(g.Title()); },
                [](Grid& g, const Variant& v) { g.Title(v.ToText()); })
      .ReadOnly("Version", [](Grid& g) { return Variant(g.Version()); })
      .WriteOnly("PageSize", [](Grid& g, const Variant& v) { g.PageSize(v.ToInt16()); })
      .WriteOnly("StartRec", [](Grid& g, const Variant& v) { g.StartRec(v.ToInt32()); })
      .WriteOnly("PageResults", [](Grid& g, const Variant& v) { g.PageResults(v.ToBoolean()); })
      .WriteOnly("IsColumnar", [](Grid& g, const Variant& v) { g.IsColumnar(v.ToBoolean()); })
      .WriteOnly("AddRowNumbers",
                 [](Grid& g, const Variant& v) { g.AddRowNumbers(v.ToBoolean()); })
      .WriteOnly("CanFilter", [](Grid& g, const Variant& v) { g.CanFilter(v.ToBoolean()); })
      .WriteOnly("UsePopupFilters", [](Grid& g, const Variant& v) { g.UsePopupFilters(v); })
      .WriteOnly("GraphType", [](Grid& g, const Variant& v) { g.GraphType(v.ToInt16()); })
      .WriteOnly("GraphOnly", [](Grid& g, const Variant& v) { g.GraphOnly(v.ToBoolean()); })
      .WriteOnly("GraphLegendColumn",
                 [](Grid& g, const Variant& v) { g.GraphLegendColumn(v.ToText()); })
      .WriteOnly("ExportFileName",
                 [](Grid& g, const Variant& v) { g.ExportFileName(v.ToText()); });

  // Class and style properties: each stores an attribute fragment.
  const std::pair<const char*, Setter> fragments[] = {
      {"GridClassName", &Grid::GridClassName},     {"GridStyle", &Grid::GridStyle},
      {"GridAlign", &Grid::GridAlign},             {"HeaderClassName", &Grid::HeaderClassName},
      {"HeaderStyle", &Grid::HeaderStyle},         {"ItemClassName", &Grid::ItemClassName},
      {"ItemStyle", &Grid::ItemStyle},             {"AltItemClassName", &Grid::AltItemClassName},
      {"AltItemStyle", &Grid::AltItemStyle},       {"LinkClassName", &Grid::LinkClassName},
      {"LinkStyle", &Grid::LinkStyle},             {"FooterClassName", &Grid::FooterClassName},
      {"FooterStyle", &Grid::FooterStyle},         {"PagingLinkClass", &Grid::PagingLinkClass},
      {"PagingLinkStyle", &Grid::PagingLinkStyle}, {"HeaderLinkClass", &Grid::HeaderLinkClass},
      {"HeaderLinkStyle", &Grid::HeaderLinkStyle}, {"HeaderTextStyle", &Grid::HeaderTextStyle},
      {"TextBoxStyle", &Grid::TextBoxStyle},       {"FilterFieldStyle", &Grid::FilterFieldStyle},
  };
  for (const auto& [name, setter] : fragments) {
    members.WriteOnly(name, [setter](Grid& g, const Variant& v) { (g.*setter)(v.ToText()); });
  }

  members
      .Method("CreateConnection",
              [](Grid& g, Arguments& a) {
                g.CreateConnection(a.Text(0));
                return Variant();
              })
      .Method("SetProcedure",
              [](Grid& g, Arguments& a) {
                g.SetProcedure(a.Get(0));
                return Variant();
              })
      .Method("AddParameter",
              [](Grid& g, Arguments& a) {
                g.AddParameter(a.Get(0), a.Get(1));
                return Variant();
              })
      .Method("GetTransactionStatus",
              [](Grid& g, Arguments&) { return Variant(g.GetTransactionStatus()); })
      .Method("Display",
              [](Grid& g, Arguments&) {
                g.Display();
                return Variant();
              })
      .Method("ColumnCaption",
              [](Grid& g, Arguments& a) {
                g.ColumnCaption(a.Text(0), a.Text(1));
                return Variant();
              })
      .Method("SetLanguageText",
              [](Grid& g, Arguments& a) {
                g.SetLanguageText(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4),
                                  a.Text(5), a.Text(6), a.Text(7));
                return Variant();
              })
      .Method("SetNavigationText",
              [](Grid& g, Arguments& a) {
                g.SetNavigationText(a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4),
                                    a.Text(5), a.Text(6), a.Text(7), a.Boolean(8));
                return Variant();
              })
      .Method("SetHeaderIconText",
              [](Grid& g, Arguments& a) {
                g.SetHeaderIconText(a.Text(0), a.Text(1), a.Text(2));
                return Variant();
              })
      .Method("SetDisplayText",
              [](Grid& g, Arguments& a) {
                g.SetDisplayText(a.Text(0), a.Get(1));
                return Variant();
              })
      .Method("SetGraphLabels", [](Grid& g, Arguments& a) {
        g.SetGraphLabels(a.Text(0), a.Text(1), a.Text(2));
        return Variant();
      });
  return table;
}

}  // namespace

const DispatchTable& DataGrid::Members() const {
  static const DispatchTable table = BuildMembers();
  return table;
}

}  // namespace quenmark
