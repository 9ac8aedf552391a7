#include "server/device_identity.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace skiff::server {
namespace {

constexpr const char* kGalaxyPhone =
    "Mozilla/5.0 (Linux; Android 13; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/116.0.0.0 Mobile Safari/537.36";
constexpr const char* kGalaxyTablet =
    "Mozilla/5.0 (Linux; Android 13; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/116.0.0.0 Safari/537.36";
constexpr const char* kReducedAndroid =
    "Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Mobile Safari/537.36";
constexpr const char* kIpadAsDesktop =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.1 Mobile/15E148 Safari/604.1";

TEST(DeviceIdentity, LabelsKindsAndNames) {
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {kGalaxyPhone, "Điện thoại Android", "android", "Điện thoại Android · SM-S918B"},
        {kGalaxyTablet, "Điện thoại Android", "tablet", "Máy tính bảng Android · SM-S918B"},
        {kReducedAndroid, "Điện thoại Android", "android", "Điện thoại Android"},
        {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 Chrome/120.0.0.0 Safari/537.36",
         "Điện thoại Android", "tablet", "Máy tính bảng Android"},
        {kIpadAsDesktop, "iPad", "ipad", "iPad"},
        {"Mozilla/5.0 (iPad; CPU OS 12_2 like Mac OS X) Mobile/15E148", "iPad", "ipad", "iPad"},
        {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) Mobile/15E148", "iPhone", "iphone",
         "iPhone"},
        {"Mozilla/5.0 (iPod touch; CPU OS 15_0 like Mac OS X) Mobile/15E148", "Thiết bị", "iphone",
         "Thiết bị"},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/120.0.0.0", "Máy Windows", "windows",
         "Máy Windows"},
        // Claims both Windows and Android; Android is looked for first.
        {"Mozilla/5.0 (Windows Phone 10.0; Android 6.0.1; Microsoft; Lumia 950) Mobile Edge/15",
         "Điện thoại Android", "android", "Điện thoại Android"},
        {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) Version/17.1 Safari/605.1.15", "Máy Mac",
         "mac", "Máy Mac"},
        {"Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0", "Máy Linux",
         "other", "Máy Linux"},
        {"mozilla/5.0 (iphone; android 13; windows)", "Thiết bị", "other", "Thiết bị"},
        {"", "Thiết bị", "other", "Thiết bị"}};
    for (const auto& [userAgent, label, kind, name] : rows) {
        EXPECT_EQ(deviceLabel(userAgent), label) << userAgent;
        EXPECT_EQ(deviceKind(userAgent), kind) << userAgent;
        EXPECT_EQ(deviceName(userAgent), name) << userAgent;
    }
}

// A Chrome-like phone header with `model` in the model slot.
std::string androidWith(const std::string& model) {
    return "Mozilla/5.0 (Linux; Android 12; " + model +
           ") AppleWebKit/537.36 (KHTML, like Gecko) Chrome/116.0.0.0 Mobile Safari/537.36";
}

TEST(DeviceIdentity, AndroidModel) {
    // U+1100 U+1161 U+11A8: one Hangul syllable spelled as three letters.
    const std::string jamo = "\u1100\u1161\u11A8";
    const std::optional<std::string> none;
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        {androidWith("SM-S918B"), "SM-S918B"},
        {androidWith("Pixel 7 Build/TQ3A.230805.001"), "Pixel 7"},
        {androidWith("小米 13"), "小米 13"},
        {androidWith("🔥Phone!!⚡"), "Phone"},
        {androidWith("Moto G⚡ (2023"), "Moto G 2023"},
        {androidWith("Pixel\xff\xfe 7"), "Pixel 7"},
        {androidWith(std::string(23, 'A') + jamo + "BB"), std::string(23, 'A') + jamo},
        {androidWith(jamo), none},
        {androidWith(std::string(30, 'x')), std::string(24, 'x')},
        {androidWith(std::string(40, 'x')), none},
        {androidWith("K"), none},
        {androidWith("MOBILE"), none},
        {androidWith("WV-Phone"), none},
        {"Mozilla/5.0 (Linux; Android 12; SM-G991B Build/SP1A.210812.016; wv) AppleWebKit/537.36 "
         "Version/4.0 Chrome/116.0.0.0 Mobile Safari/537.36",
         none},
        {"Mozilla/5.0 (Linux; Android; Pixel 7) Chrome/116", none},
        {"X (Android 13; AB) Y (Android 14; CD)", "AB"},
        {"Mozilla/5.0 (Linux; android 13; SM-S918B) Chrome/116", none}};
    for (const auto& [userAgent, model] : rows)
        EXPECT_EQ(androidModel(userAgent), model) << userAgent;
}

}  // namespace
}  // namespace skiff::server
