#include "host/request_runner.h"

#include <gtest/gtest.h>

namespace quenmark::host {
namespace {

TEST(HeaderVariableNameTest, UpperCasesLettersAndTurnsDashesIntoUnderscores) {
  struct Case {
    std::string_view header;
    std::string_view variable;
  };
  const Case cases[] = {{"User-Agent", "HTTP_USER_AGENT"},
                        {"accept-language", "HTTP_ACCEPT_LANGUAGE"},
                        {"X_Already_Under", "HTTP_X_ALREADY_UNDER"},
                        {"", "HTTP_"},
                        {"x-\xC3\xA9t\xC3\xA9", "HTTP_X_\xC3\xA9T\xC3\xA9"}};
  for (const Case& c : cases) EXPECT_EQ(HeaderVariableName(c.header), c.variable) << c.header;
}

}  // namespace
}  // namespace quenmark::host
