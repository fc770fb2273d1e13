// The definition text written and read back, and the schema attribute rules.

#include "reports/report_definition.h"

#include <gtest/gtest.h>

namespace {

using quenmark::reports::DefinitionText;
using quenmark::reports::ReadDefinitionText;
using quenmark::reports::ReportDefinition;
using namespace quenmark::reports;

ReportDefinition FullDefinition() {
  ReportDefinition d;
  d.tables = "orders,customers";
  d.fields = "orders.orderid,customers.companyname,orders.freight";
  d.filters = ",orders.freight__4__10";
  d.relations = "[orders].[customerid]=[customers].[customerid]";
  d.schema = SchemaDescriptor("orders.orderid", "Order", "", "131") + "," +
             SchemaDescriptor("customers.companyname", "Customer", "S4", "200");
  d.dbt = 9;
  d.rtitle = "Orders by customer";
  d.rdesc = "Every order, \"big\" ones first";
  d.rgroup = "SALES";
  d.rid = "R1";
  d.summary = "orders.freight__SUM__Total freight";
  d.rpwd = "pbkdf2$sha256$1$00$00";
  d.pagesize = 25;
  d.rfmt = 2;
  d.sonly = 1;
  d.grpby = 1;
  d.join = 2;
  d.distinct = 1;
  d.rtype = 2;
  d.mtbl = "orders";
  d.coltotal = 1;
  d.colavg = 1;
  d.rowtotal = 1;
  d.rowavg = 1;
  d.isproc = 0;
  d.params = "n|10|131";
  d.chart = 1;
  d.graph = 3;
  d.conly = 2;
  d.legend = "customers.companyname";
  d.gtitle = "Freight";
  d.xlabel = "Customer";
  d.ylabel = "Amount";
  d.count = 1;
  d.sum = "orders.freight";
  d.avg = "orders.freight, orders.orderid";
  d.min = "orders.orderid";
  d.max = "orders.freight";
  d.stdev = "orders.freight";
  d.var = "orders.orderid";
  return d;
}

TEST(ReportDefinition, TextHasEveryKeyInOrder) {
  ReportDefinition d;
  d.tables = "t";
  EXPECT_EQ(DefinitionText(d),
            ";tables:t;fields:;filters:;relations:;schema:;dbt:0;rtitle:;rdesc:;rgroup:;rid:;"
            "summary:;rpwd:;pagesize:10;rfmt:0;sonly:0;grpby:0;join:0;distinct:0;rtype:0;mtbl:;"
            "coltotal:0;colavg:0;rowtotal:0;rowavg:0;isproc:0;params:;chart:0;graph:0;conly:0;"
            "legend:;gtitle:;xlabel:;ylabel:;count:0;sum:;avg:;min:;max:;stdev:;var:;");
}

// Every member comes back: the full definition sets each one away from its default, so a
// member the reader dropped or misplaced would change the text written again.
TEST(ReportDefinition, WrittenAndReadBack) {
  const ReportDefinition in = FullDefinition();
  ReportDefinition out;
  ReadDefinitionText(DefinitionText(in), out);
  EXPECT_EQ(DefinitionText(out), DefinitionText(in));
  EXPECT_EQ(out.rdesc, in.rdesc);
  EXPECT_EQ(out.pagesize, 25);
}

TEST(ReportDefinition, ReadingRules) {
  struct Case {
    const char* name;
    const char* text;
    void (*check)(const ReportDefinition&);
  };
  const Case cases[] = {
      {"no leading semicolon", "tables:orders;fields:orders.id;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.tables, "orders");
         EXPECT_EQ(d.fields, "orders.id");
       }},
      {"chart 0 leaves the chart keys", ";chart:0;graph:2;gtitle:New;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.graph, 7);
         EXPECT_EQ(d.gtitle, "Old");
       }},
      {"grpby 0 leaves the aggregate keys", ";grpby:0;count:1;sum:x;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.count, 7);
         EXPECT_EQ(d.sum, "old");
       }},
      {"missing pagesize keeps it, missing coltotal clears it", ";tables:t;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.pagesize, 7);
         EXPECT_EQ(d.coltotal, 0);
         EXPECT_EQ(d.rtitle, "");
       }},
      {"non-numeric strict number keeps it", ";pagesize:ten;rfmt:99999;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.pagesize, 7);
         EXPECT_EQ(d.rfmt, 7);
       }},
      {"flags take the leading number", ";isproc:1abc;distinct:x;",
       [](const ReportDefinition& d) {
         EXPECT_EQ(d.isproc, 1);
         EXPECT_EQ(d.distinct, 0);
       }},
      {"a title with ; is cut there", ";rtitle:A;B;",
       [](const ReportDefinition& d) { EXPECT_EQ(d.rtitle, "A"); }},
      {"keys are case-sensitive", ";TABLES:x;",
       [](const ReportDefinition& d) { EXPECT_EQ(d.tables, ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReportDefinition d;
    d.pagesize = d.rfmt = d.graph = d.count = d.coltotal = d.distinct = 7;
    d.gtitle = "Old";
    d.sum = "old";
    d.rtitle = "keep?";
    ReadDefinitionText(c.text, d);
    c.check(d);
  }
}

TEST(ReportDefinition, DescriptionQuotesTravelAsQ) {
  EXPECT_EQ(EscapeDescriptionQuotes("say \"hi\""), "say _Q_hi_Q_");
  EXPECT_EQ(UnescapeDescriptionQuotes("say _Q_hi_Q_ _Q"), "say \"hi\" _Q");
  EXPECT_EQ(UnescapeDescriptionQuotes(EscapeDescriptionQuotes("\"\"")), "\"\"");
}

TEST(ReportDefinition, FieldIdsAndDescriptors) {
  EXPECT_EQ(FieldId(9, "orders", "id"), "orders.id");
  EXPECT_EQ(FieldId(4, "orders#csv", "id"), "id");
  EXPECT_EQ(SchemaDescriptor("t.name", "", "", "200"), "t.name~c~f~t200~");
}

TEST(ReportDefinition, SchemaAttributes) {
  const std::string schema = "t.id~cNumber~fN4~t131~,t.idx~cIndex~f~t3~,t.name~cName~fS4~t200~";
  struct Case {
    const char* schema;
    const char* field;
    char attribute;
    const char* expected;
  };
  const Case cases[] = {
      {schema.c_str(), "t.id", 'c', "Number"},
      {schema.c_str(), "T.ID", 'f', "N4"},  // lookup ignores case
      {schema.c_str(), "t.idx", 'c', "Index"},
      {schema.c_str(), "t.name", 't', "200"},
      {schema.c_str(), "t.none", 'c', ""},
      {"t.id:cOld:t131:,t.b:cB:t200:", "t.b", 't', "200"},  // older ":" form
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SchemaAttribute(c.schema, c.field, c.attribute), c.expected)
        << c.field << " " << c.attribute;
  }
  EXPECT_EQ(SetSchemaAttribute(schema, "t.name", 'c', "Full name"),
            "t.id~cNumber~fN4~t131~,t.idx~cIndex~f~t3~,t.name~cFull name~fS4~t200~");
  EXPECT_EQ(SetSchemaAttribute(schema, "T.NAME", 'c', "x"), schema);  // exact case
  EXPECT_EQ(PreviousSchemaAttribute("", "t.id", 'c', "id"), "id");
  EXPECT_EQ(PreviousSchemaAttribute(schema, "t.id", 'f', "x"), "N4");
  EXPECT_EQ(PreviousSchemaAttribute(schema, "t.gone", 'c', "gone"), "");
}

}  // namespace
