#pragma once
// Compares a rendered document with a file under tests/graph/golden/. Setting the environment
// variable QUENMARK_UPDATE_GOLDEN=1 rewrites the files instead (review the diff before keeping).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace quenmark::graph_test {

inline void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = std::string(QUENMARK_SOURCE_DIR) + "/tests/graph/golden/" + name;
  if (const char* update = std::getenv("QUENMARK_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "missing golden file " << path;
  std::ostringstream expected;
  expected << file.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

}  // namespace quenmark::graph_test
