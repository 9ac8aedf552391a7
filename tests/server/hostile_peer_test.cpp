// A hostile peer can slow itself down, never the admitted phones (idle floods: reliability suite).
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "server/connection_slots.hpp"
#include "support/raw_client.hpp"
#include "support/server_fixture.hpp"
#include "support/upload_client.hpp"

namespace skiff::test {
namespace {

using namespace std::chrono_literals;

std::size_t residentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
    return 0;
}

TEST(HostilePeer, SlowBodiesHoldLittleMemoryAndAreDropped) {
    TestServer::Options options;
    options.limits.bodyRateWindow = 1s;
    TestServer server(options);
    const std::string head =
        "POST /api/up/chunk?t=123456&uid=slow01&offset=0 HTTP/1.1\r\nContent-Length: 16777216\r\n"
        "X-CRC32: 00000000\r\n\r\n";
    std::size_t before = residentBytes();
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 16; ++i) {  // 16 x 16 MiB announced: the whole body bound
        slow.push_back(std::make_unique<RawClient>(server.port()));
        slow.back()->send(head + "x");
    }
    std::this_thread::sleep_for(300ms);  // let every connection reach its body
    EXPECT_LT(residentBytes() - before, std::size_t{64} << 20);  // not 256 MiB

    // Past the bound a body is asked to come back later; nothing is read or kept.
    RawClient late(server.port());
    late.send(head);
    Reply refused = parseReply(late.readAll(5s));
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.body, R"({"error":"busy"})");
    EXPECT_TRUE(refused.header("Retry-After"));

    // A body slower than the minimum rate is dropped after its window, and its room comes back.
    for (auto& client : slow) EXPECT_TRUE(client->waitClosed(5s));
    UploadClient phone(server.port());
    EXPECT_EQ(phone.sendFile("after1", "a.bin", std::string(1 << 20, 'a')).status, 200);
}

// Only a host's open requests count against its share, not its answered ones still closing.
TEST(ConnectionSlots, AHostReconnectingPastItsClosingSocketsIsAnswered) {
    TestServer::Options options;
    options.limits.hostConnectionLimit = 2;
    TestServer server(options);
    std::vector<std::unique_ptr<RawClient>> closing;
    for (int i = 0; i < 3; ++i) {
        closing.push_back(std::make_unique<RawClient>(server.port()));
        closing.back()->send("GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
        // The answer ends with the server's half close; this side keeps its socket open.
        EXPECT_EQ(parseReply(closing.back()->readAll()).status, 200) << i;
    }
}

// A host's share, 3/4 of the total for hosts not admitted yet, the total; a freed place is free.
TEST(ConnectionSlots, EachCapHoldsAtItsLimitAndClosingOnesCountApart) {
    auto slots = std::make_shared<server::ConnectionSlots>(2, 4);
    std::vector<std::unique_ptr<server::ConnectionSlots::Slot>> held;
    held.push_back(slots->take("a", true));
    held.push_back(slots->take("a", true));
    EXPECT_EQ(slots->take("a", true), nullptr);
    held.push_back(slots->take("b", false));
    EXPECT_EQ(slots->take("b", false), nullptr);
    held.push_back(slots->take("c", true));
    EXPECT_EQ(slots->take("d", true), nullptr);
    for (const auto& slot : held) EXPECT_NE(slot, nullptr);
    held.pop_back();
    EXPECT_NE(slots->take("d", true), nullptr);

    // Closing connections move to a closing share of the host's size, still in the total.
    held.clear();
    slots = std::make_shared<server::ConnectionSlots>(2, 6);
    auto first = slots->take("a", true), second = slots->take("a", true);
    first->drain();
    second->drain();
    auto third = slots->take("a", true), fourth = slots->take("a", true);
    ASSERT_NE(third, nullptr);
    ASSERT_NE(fourth, nullptr);
    third->drain();  // no closing place left: stays in the host's share
    EXPECT_EQ(slots->take("a", true), nullptr);
    auto fifth = slots->take("b", true), sixth = slots->take("b", true);
    ASSERT_NE(sixth, nullptr);
    EXPECT_EQ(slots->take("c", true), nullptr);  // 2 closing and 4 live fill the total of 6
    first.reset();
    EXPECT_EQ(slots->take("a", true), nullptr);  // a closing place came back, not a live one
    fourth.reset();
    EXPECT_NE(slots->take("a", true), nullptr);
}

}  // namespace
}  // namespace skiff::test
