#include "quenmark/page_context.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "quenmark/error.h"

namespace quenmark {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::Pair;

TEST(FieldCollectionTest, ParsesUrlEncodedText) {
  struct Case {
    const char* text;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {{"a=1&b=2", "b", "2"},
                        {"a=1&a=2&A=3", "a", "1, 2, 3"},  // repeated fields join, names ignore case
                        {"x=a%20b%2Bc", "x", "a b+c"},    // percent-encoding
                        {"x=a+b", "x", "a b"},            // '+' is a blank
                        {"x=&y=2", "x", ""},              // empty value
                        {"x", "x", ""},                   // no '=' at all
                        {"x=100%", "x", "100%"},          // a stray '%' stays
                        {"x=%zz%4", "x", "%zz%4"},        // so do bad escapes
                        {"caf%C3%A9=cr%C3%A8me", "café", "crème"},
                        {"a=1&&b=2", "b", "2"},
                        {"a=1", "missing", ""}};
  for (const Case& c : cases) {
    FieldCollection fields;
    fields.AddUrlEncoded(c.text);
    EXPECT_EQ(fields.Get(c.name), c.expected) << c.text;
  }
}

TEST(FieldCollectionTest, CountsDistinctNamesInPostedOrder) {
  FieldCollection fields;
  fields.AddUrlEncoded("b=1&a=2&B=3&c=&=skipped");
  EXPECT_EQ(fields.Count(), 3);
  EXPECT_THAT(fields.Names(), ElementsAre("b", "a", "c"));
  EXPECT_TRUE(fields.Has("C"));
  EXPECT_FALSE(fields.Has(""));

  // A post with very many distinct names is counted in linear time.
  std::string body;
  constexpr int kMany = 50000;
  for (int i = 0; i < kMany; ++i) body += "f" + std::to_string(i) + "=&";
  FieldCollection many;
  many.AddUrlEncoded(body);
  EXPECT_EQ(many.Count(), kMany);
}

TEST(FieldCollectionTest, ParsesCookieHeaders) {
  FieldCollection cookies;
  cookies.AddCookieHeader(" a=1; b = two ;c=\"q\"; d=x%3By; broken; e=");
  EXPECT_THAT(cookies.Entries(), ElementsAre(Pair("a", "1"), Pair("b", "two"), Pair("c", "q"),
                                             Pair("d", "x;y"), Pair("broken", ""), Pair("e", "")));
}

TEST(RequestTest, ItemLooksInQueryFormCookiesThenServerVariables) {
  Request request;
  request.QueryString().AddUrlEncoded("q=query&both=from-query");
  request.Form().AddUrlEncoded("f=form&both=from-form");
  request.Cookies().AddCookieHeader("c=cookie; f=from-cookie");
  request.SetServerVariable("url", "/page.lua");
  EXPECT_EQ(request.Item("both"), "from-query");
  EXPECT_EQ(request.Item("f"), "form");
  EXPECT_EQ(request.Item("c"), "cookie");
  EXPECT_EQ(request.Item("URL"), "/page.lua");
  EXPECT_EQ(request.ServerVariable("Url"), "/page.lua");
  EXPECT_EQ(request.Item("nothing"), "");
}

TEST(ResponseTest, EndAndRedirectStopThePage) {
  Response response;
  response.Write("before");
  EXPECT_THROW(response.End(), ResponseEnded);
  EXPECT_EQ(response.Body(), "before");

  Response redirected;
  redirected.Write("discarded");
  EXPECT_THROW(redirected.Redirect("/next.lua?a=1\r\nSet-Cookie: x=1"), ResponseEnded);
  EXPECT_EQ(redirected.Status(), "302 Object moved");
  EXPECT_EQ(redirected.StatusCode(), 302);
  ASSERT_EQ(redirected.Headers().size(), 1u);
  EXPECT_EQ(redirected.Headers()[0].first, "Location");
  EXPECT_EQ(redirected.Headers()[0].second, "/next.lua?a=1Set-Cookie: x=1");
  EXPECT_EQ(redirected.Body().find("discarded"), std::string::npos);

  for (const char* url : {"javascript:alert(1)", " JavaScript:alert(1)", "java\tscript:x",
                          "\x01javascript:x", "vbscript:x", "data:text/html,<script>x</script>"}) {
    Response refused;
    EXPECT_THROW(refused.Redirect(url), Error) << url;
    EXPECT_TRUE(refused.Headers().empty()) << url;
  }
  for (const char* url : {"https://example.org/a", "/javascript:x", "page.lua?next=javascript:x"}) {
    Response allowed;
    EXPECT_THROW(allowed.Redirect(url), ResponseEnded) << url;
  }
}

TEST(ResponseTest, WritesStopAtTheBodyLimit) {
  Response response;
  response.SetBodyLimit(10);
  response.Write("12345");
  response.BinaryWrite("67890");
  try {
    response.Write("x");
    ADD_FAILURE() << "no error past the limit";
  } catch (const Error& error) {
    EXPECT_EQ(error.Description(), "The response is larger than the server's limit of 10 bytes");
  }
  EXPECT_EQ(response.Body(), "1234567890");
}

TEST(ResponseTest, AddHeaderRefusesLineBreaksAndBadNames) {
  Response response;
  response.AddHeader("Content-Disposition", "attachment; filename=a.csv");
  EXPECT_THROW(response.AddHeader("X-Evil", "a\r\nSet-Cookie: b"), Error);
  EXPECT_THROW(response.AddHeader("Bad Name", "v"), Error);
  EXPECT_THROW(response.AddHeader("", "v"), Error);
  // No silent cuts at NUL, no VT or FF that servers and browsers read differently.
  for (std::string value : {std::string("a\0b", 3), std::string("a\vb"), std::string("a\fb"),
                            std::string("a\x7f")}) {
    EXPECT_THROW(response.AddHeader("X-Value", value), Error);
  }
  response.AddHeader("X-Tab", "a\tb");
  EXPECT_EQ(response.Headers().size(), 2u);
}

TEST(ServerTest, EncodesTextForUrlsAndHtml) {
  struct Case {
    const char* text;
    const char* url;
    const char* html;
  };
  const Case cases[] = {
      {"a b", "a+b", "a b"},
      {"x=1&y=<2>", "x%3D1%26y%3D%3C2%3E", "x=1&amp;y=&lt;2&gt;"},
      {"say \"hi\" 'there'", "say+%22hi%22+%27there%27", "say &quot;hi&quot; &#39;there&#39;"},
      {"é/-_.*~", "%C3%A9%2F-_.*%7E", "é/-_.*~"},
      {"", "", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(Server::URLEncode(c.text), c.url) << c.text;
    EXPECT_EQ(Server::HTMLEncode(c.text), c.html) << c.text;
  }
}

class MapPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("qm_mappath_" + std::to_string(::getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_ / "root" / "pages" / "sub");
    fs::create_directories(base_ / "outside");
    fs::create_directory_symlink(base_ / "outside", base_ / "root" / "pages" / "escape");
    root_ = fs::canonical(base_ / "root");
  }
  void TearDown() override { fs::remove_all(base_); }

  fs::path base_;
  fs::path root_;
};

TEST_F(MapPathTest, StaysInsideTheWebRoot) {
  Server server(root_.string(), (root_ / "pages").string());
  struct Case {
    const char* virtual_path;
    fs::path expected;
  };
  const Case inside[] = {{"data/demo.db", root_ / "pages" / "data" / "demo.db"},
                         {"/data/demo.db", root_ / "data" / "demo.db"},
                         {"../index.lua", root_ / "index.lua"},
                         {"sub/../x.txt", root_ / "pages" / "x.txt"},
                         {"sub\\y.txt", root_ / "pages" / "sub" / "y.txt"},
                         {"", root_ / "pages"},
                         {"/", root_}};
  for (const Case& c : inside) {
    EXPECT_EQ(server.MapPath(c.virtual_path), c.expected.string()) << c.virtual_path;
  }
  for (const char* outside : {"../../etc/passwd", "/../x", "sub/../../../x", "escape/file",
                              "/pages/escape", "..\\..\\x"}) {
    EXPECT_THROW(server.MapPath(outside), Error) << outside;
  }
}

TEST(StateStoreTest, NamesIgnoreCaseAndMissingIsEmpty) {
  StateStore store;
  store.Set("PopUpFilters", Variant("x"));
  EXPECT_EQ(store.Get("popupfilters"), Variant("x"));
  EXPECT_TRUE(store.Get("other").IsEmpty());
  EXPECT_EQ(store.Count(), 1u);
  store.Remove("POPUPFILTERS");
  EXPECT_EQ(store.Count(), 0u);
}

TEST(PageContextTest, ScopeBindsAndRestores) {
  EXPECT_EQ(CurrentPageContext(), nullptr);
  Request request;
  Response response;
  Server server(".", ".");
  Session session;
  Application application;
  PageContext outer{request, response, server, session, application};
  PageContext inner{request, response, server, session, application};
  {
    PageContextScope outer_scope(outer);
    EXPECT_EQ(CurrentPageContext(), &outer);
    {
      PageContextScope inner_scope(inner);
      EXPECT_EQ(CurrentPageContext(), &inner);
    }
    EXPECT_EQ(CurrentPageContext(), &outer);
  }
  EXPECT_EQ(CurrentPageContext(), nullptr);
}

}  // namespace
}  // namespace quenmark
