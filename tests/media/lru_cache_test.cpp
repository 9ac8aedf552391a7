#include "media/lru_cache.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skiff::media {
namespace {

enum class Action { put, get, peek };

struct Step {
    Action action;
    std::string key;
    std::size_t cost = 1;
};

struct Scenario {
    const char* name;
    std::size_t maxCount;
    std::size_t maxCost;
    std::vector<Step> steps;
    std::vector<std::string> kept;  // every key that must still be there
    std::vector<std::string> dropped;
    std::size_t totalCost;
};

TEST(LruCache, KeepsWithinBothLimitsByDroppingTheLeastRecentlyUsed) {
    using enum Action;
    // clang-format off
    const Scenario scenarios[] = {
        {"count limit drops the oldest", 2, 100,
         {{put, "a"}, {put, "b"}, {put, "c"}}, {"b", "c"}, {"a"}, 2},
        {"a read counts as a use", 2, 100,
         {{put, "a"}, {put, "b"}, {get, "a"}, {put, "c"}}, {"a", "c"}, {"b"}, 2},
        {"contains() is not a use", 2, 100,
         {{put, "a"}, {put, "b"}, {peek, "a"}, {put, "c"}}, {"b", "c"}, {"a"}, 2},
        {"cost limit drops as many as needed", 10, 10,
         {{put, "a", 3}, {put, "b", 3}, {put, "c", 3}, {put, "d", 7}}, {"c", "d"}, {"a", "b"}, 10},
        {"a read protects from the cost limit too", 10, 10,
         {{put, "a", 4}, {put, "b", 4}, {get, "a"}, {put, "c", 4}}, {"a", "c"}, {"b"}, 8},
        {"replacing a key recharges its cost", 10, 10,
         {{put, "a", 4}, {put, "b", 4}, {put, "a", 1}, {put, "c", 5}}, {"a", "b", "c"}, {}, 10},
        {"replacing counts as a use", 2, 100,
         {{put, "a"}, {put, "b"}, {put, "a"}, {put, "c"}}, {"a", "c"}, {"b"}, 2},
        {"one entry over the cost limit is not kept and evicts nothing", 10, 10,
         {{put, "a", 4}, {put, "big", 11}}, {"a"}, {"big"}, 4},
        {"an oversized replacement removes the old value", 10, 10,
         {{put, "a", 4}, {put, "a", 11}}, {}, {"a"}, 0},
        {"exactly at the limits fits", 3, 9,
         {{put, "a", 3}, {put, "b", 3}, {put, "c", 3}}, {"a", "b", "c"}, {}, 9},
    };
    // clang-format on
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        LruCache<std::string, std::string> cache(scenario.maxCount, scenario.maxCost);
        for (const Step& step : scenario.steps) {
            if (step.action == put) cache.put(step.key, "value of " + step.key, step.cost);
            if (step.action == get) {
                EXPECT_TRUE(cache.get(step.key).has_value()) << step.key;
            }
            if (step.action == peek) {
                EXPECT_TRUE(cache.contains(step.key)) << step.key;
            }
        }
        for (const std::string& key : scenario.kept) {
            EXPECT_TRUE(cache.contains(key)) << key;
            EXPECT_EQ(cache.get(key), "value of " + key);
        }
        for (const std::string& key : scenario.dropped) {
            EXPECT_FALSE(cache.contains(key)) << key;
            EXPECT_EQ(cache.get(key), std::nullopt) << key;
        }
        EXPECT_EQ(cache.count(), scenario.kept.size());
        EXPECT_EQ(cache.totalCost(), scenario.totalCost);
    }
}

}  // namespace
}  // namespace skiff::media
