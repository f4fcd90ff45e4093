#include "solvane/Supports/Database/cache.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/log_capture.hpp"

using Ombrix::Solvane::Supports::Database::DataCache;
using Ombrix::Testing::LogCapture;

TEST(DataCache, ReplacesLooksUpClearsAndRefusesNullArguments) {
    auto cache = DataCache::create();
    EXPECT_EQ(cache->lookup("missing"), std::nullopt);
    cache->append("k", "one");
    cache->append("k", "two");
    cache->append("", "empty key");
    EXPECT_EQ(cache->lookup("k"), "two");
    EXPECT_EQ(cache->lookup(""), "empty key");
    EXPECT_EQ(cache->size(), 2u);

    LogCapture log;
    cache->append(std::string_view(), "v");
    cache->append("k", std::string_view());
    EXPECT_EQ(cache->lookup(std::string_view()), std::nullopt);
    EXPECT_TRUE(log.has_critical("key != NULL"));
    EXPECT_TRUE(log.has_critical("value != NULL"));
    EXPECT_EQ(cache->lookup("k"), "two");
    EXPECT_EQ(cache->size(), 2u);

    cache->clear();
    EXPECT_EQ(cache->size(), 0u);
    EXPECT_EQ(cache->lookup("k"), std::nullopt);
}

TEST(DataCache, KeepsEveryEntryWhenThreadsWriteReadAndReplaceAtOnce) {
    auto cache = DataCache::create();
    constexpr int kThreads = 4;
    constexpr int kKeys = 2000;
    std::vector<std::thread> threads;
    std::atomic<int> torn{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kKeys; ++i) {
                const std::string key = "t" + std::to_string(t) + "-" + std::to_string(i);
                cache->append(key, std::string(64, static_cast<char>('a' + t)));
                // Every thread also rewrites one shared key: a reader must see a whole value.
                cache->append("shared", std::string(128, static_cast<char>('a' + t)));
                const auto shared = cache->lookup("shared");
                if (!shared || shared->size() != 128 || shared->find_first_not_of(shared->front()) != std::string::npos)
                    ++torn;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(cache->size(), static_cast<std::size_t>(kThreads * kKeys + 1));
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(cache->lookup("t" + std::to_string(t) + "-" + std::to_string(kKeys - 1)),
                  std::string(64, static_cast<char>('a' + t)));
}
