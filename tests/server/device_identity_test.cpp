#include "server/device_identity.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace skiff::server {
namespace {

// The name carries the label, so the label is checked through it.
TEST(DeviceIdentity, KindsNamesAndAndroidModels) {
    // clang-format off
    const std::tuple<const char*, const char*, const char*> kinds[] = {
        {"(Linux; Android 13; SM-S918B) Mobile", "android", "Điện thoại Android · SM-S918B"},
        {"(Linux; Android 13; SM-S918B) Safari", "tablet", "Máy tính bảng Android · SM-S918B"},
        {"(Linux; Android 10; K) Chrome/120 Mobile Safari", "android", "Điện thoại Android"},
        {"(Linux; Android 10; K) Chrome/120.0.0.0 Safari", "tablet", "Máy tính bảng Android"},
        {"(Macintosh; Intel Mac OS X 10_15_7) Version/17.1 Mobile/15E148", "ipad", "iPad"},
        {"(iPad; CPU OS 12_2 like Mac OS X) Mobile/15E148", "ipad", "iPad"},
        {"(iPhone; CPU iPhone OS 17_1 like Mac OS X) Mobile/15E148", "iphone", "iPhone"},
        {"(iPod touch; CPU OS 15_0 like Mac OS X) Mobile/15E148", "iphone", "Thiết bị"},
        {"(Windows NT 10.0; Win64; x64) Chrome/120.0.0.0", "windows", "Máy Windows"},
        // Claims both Windows and Android; Android is looked for first.
        {"(Windows Phone 10.0; Android 6.0.1; Microsoft; Lumia 950) Mobile", "android",
         "Điện thoại Android"},
        {"(Macintosh; Intel Mac OS X 10_15_7) Version/17.1 Safari/605.1.15", "mac", "Máy Mac"},
        {"(X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0", "other", "Máy Linux"},
        {"mozilla/5.0 (iphone; android 13; windows)", "other", "Thiết bị"},
        {"", "other", "Thiết bị"}};
    // clang-format on
    for (auto [userAgent, kind, name] : kinds) {
        EXPECT_EQ(deviceKind(userAgent), kind) << userAgent;
        EXPECT_EQ(deviceName(userAgent), name) << userAgent;
    }

    auto in = [](const std::string& model) {
        return "Mozilla/5.0 (Linux; Android 12; " + model + ") Chrome/116 Mobile Safari";
    };
    const std::string jamo = "\u1100\u1161\u11A8";  // one Hangul syllable spelled as three letters
    const std::optional<std::string> none;
    // clang-format off
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        {in("SM-S918B"), "SM-S918B"}, {in("Pixel 7 Build/TQ3A.230805.001"), "Pixel 7"},
        {in("小米 13"), "小米 13"}, {in("Moto G⚡ (2023"), "Moto G 2023"},
        {in("Pixel\xff\xfe 7"), "Pixel 7"}, {in("K"), none}, {in("MOBILE"), none},
        {in("WV-Phone"), none},
        {in(std::string(23, 'A') + jamo + "BB"), std::string(23, 'A') + jamo}, {in(jamo), none},
        {in(std::string(30, 'x')), std::string(24, 'x')}, {in(std::string(40, 'x')), none},
        {"(Linux; Android 12; SM-G991B Build/SP1A.210812.016; wv) Chrome/116.0.0.0", none},
        {"(Linux; Android; Pixel 7) Chrome/116", none}, {"(Linux; android 13; SM-S918B)", none},
        {"X (Android 13; AB) Y (Android 14; CD)", "AB"}};
    // clang-format on
    for (const auto& [userAgent, model] : rows)
        EXPECT_EQ(androidModel(userAgent), model) << userAgent;
}

}  // namespace
}  // namespace skiff::server
