// The session store: expiry and what happens when it is full.

#include <gtest/gtest.h>

#include "host/session_store.h"

#include <thread>

namespace quenmark::host {
namespace {

TEST(SessionStoreTest, AFullStoreDropsTheLeastRecentlyUsed) {
  SessionStore store(std::chrono::seconds(60), 3);
  for (const char* id : {"a", "b", "c"}) store.Add(id, std::make_shared<Session>());
  ASSERT_TRUE(store.Find("a"));  // "b" is now the least recently used
  store.Add("d", std::make_shared<Session>());
  EXPECT_EQ(store.Count(), 3u);
  EXPECT_FALSE(store.Find("b"));
  for (const char* id : {"a", "c", "d"}) EXPECT_TRUE(store.Find(id)) << id;
  store.Remove("a");
  store.Add("e", std::make_shared<Session>());
  EXPECT_TRUE(store.Find("c"));
}

TEST(SessionStoreTest, IdleSessionsExpire) {
  SessionStore store(std::chrono::seconds(0), 10);
  store.Add("a", std::make_shared<Session>());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(store.Find("a"));
  EXPECT_EQ(store.Count(), 0u);
}

TEST(SessionStoreTest, IdsAreLongAndDistinct) {
  std::string a = SessionStore::NewId(), b = SessionStore::NewId();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace quenmark::host
