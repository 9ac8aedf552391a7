#include "media/lru_cache.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skiff::media {
namespace {

// Steps: "+k" puts k at cost 1, "+k:5" at cost 5, "?k" reads it (a use), "=k" asks contains()
// (no use); both must find it.
struct Scenario {
    const char* name;
    std::size_t maxCount, maxCost;
    std::vector<std::string> steps, kept, dropped;
    std::size_t totalCost;
};

TEST(LruCache, KeepsWithinBothLimitsByDroppingTheLeastRecentlyUsed) {
    // clang-format off
    const Scenario scenarios[] = {
        {"count limit drops the oldest", 2, 100, {"+a", "+b", "+c"}, {"b", "c"}, {"a"}, 2},
        {"a read counts as a use", 2, 100, {"+a", "+b", "?a", "+c"}, {"a", "c"}, {"b"}, 2},
        {"contains() is not a use", 2, 100, {"+a", "+b", "=a", "+c"}, {"b", "c"}, {"a"}, 2},
        {"cost limit drops as many as needed", 10, 10, {"+a:3", "+b:3", "+c:3", "+d:7"}, {"c", "d"}, {"a", "b"}, 10},
        {"a read protects from the cost limit too", 10, 10, {"+a:4", "+b:4", "?a", "+c:4"}, {"a", "c"}, {"b"}, 8},
        {"replacing a key recharges its cost", 10, 10, {"+a:4", "+b:4", "+a:1", "+c:5"}, {"a", "b", "c"}, {}, 10},
        {"replacing counts as a use", 2, 100, {"+a", "+b", "+a", "+c"}, {"a", "c"}, {"b"}, 2},
        {"one entry over the cost limit is not kept and evicts nothing", 10, 10, {"+a:4", "+big:11"}, {"a"}, {"big"}, 4},
        {"an oversized replacement removes the old value", 10, 10, {"+a:4", "+a:11"}, {}, {"a"}, 0},
        {"exactly at the limits fits", 3, 9, {"+a:3", "+b:3", "+c:3"}, {"a", "b", "c"}, {}, 9},
        {"one entry of the whole budget fits", 3, 9, {"+a:3", "+all:9"}, {"all"}, {"a"}, 9},
    };
    // clang-format on
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        LruCache<std::string, std::string> cache(scenario.maxCount, scenario.maxCost);
        for (const std::string& step : scenario.steps) {
            std::string key = step.substr(1, step.find(':') - 1);
            if (step[0] == '+') {
                std::size_t colon = step.find(':');
                cache.put(key, "value of " + key,
                          colon == std::string::npos ? 1 : std::stoul(step.substr(colon + 1)));
            }
            EXPECT_TRUE(step[0] != '?' || cache.get(key).has_value()) << step;
            EXPECT_TRUE(step[0] != '=' || cache.contains(key)) << step;
        }
        for (const std::string& key : scenario.kept)
            EXPECT_TRUE(cache.contains(key) && cache.get(key) == "value of " + key) << key;
        for (const std::string& key : scenario.dropped)
            EXPECT_FALSE(cache.contains(key) || cache.get(key)) << key;
        EXPECT_EQ(std::pair(cache.count(), cache.totalCost()),
                  std::pair(scenario.kept.size(), scenario.totalCost));
    }
}

}  // namespace
}  // namespace skiff::media
