// Uploads from three hosts on two uids, held ones ending in any order: nobody acts on another
// host's upload, one is held once; a finishing one is never replaced, resumed, written, cancelled.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check.hpp"
#include "server/upload_claims.hpp"

using namespace skiff::server;

namespace {

struct Held {
    std::shared_ptr<Upload> upload;
    std::int64_t length = 0;  // bytes of a chunk; the finish holds with 0
    bool finish = false;
};

struct World {
    std::map<std::string, std::shared_ptr<Upload>> uploads;
    std::vector<Held> held;

    void init(const std::string& uid, const std::string& host, std::int64_t size,
              const std::string& name, const std::vector<std::string>& folders) {
        auto& slot = uploads[uid];
        std::shared_ptr<Upload> before = slot;
        InitClaim claim = claimForInit(slot.get(), host, size, name, folders);
        if (before && before->host != host) check(claim == InitClaim::foreign);
        // Only the same file in the same place resumes: another folder is another file.
        if (claim == InitClaim::resume)
            check(before->size == size && before->name == name && before->folders == folders);
        if (before && before->finishing)
            check(claim == InitClaim::busy || claim == InitClaim::foreign);
        if (claim != InitClaim::fresh) {
            check(slot == before);
            if (!slot) uploads.erase(uid);
            return;
        }
        check(!before || (before->host == host && !before->busy));
        auto upload = std::make_shared<Upload>();
        upload->uid = uid, upload->host = host, upload->size = size, upload->name = name;
        upload->folders = folders;
        slot = upload;
    }

    void use(const std::string& uid, const std::string& host, std::optional<std::int64_t> offset,
             std::int64_t length) {
        auto found = uploads.find(uid);
        Upload* upload = found == uploads.end() ? nullptr : found->second.get();
        bool wasBusy = upload && upload->busy;
        UseClaim claim = claimForUse(upload, host, offset);
        if (upload && upload->host != host)
            check(claim == UseClaim::unknown && upload->busy == wasBusy);
        if (claim != UseClaim::claimed) return;
        check(!wasBusy && upload->host == host);
        check(upload->finishing == !offset);
        if (!offset) check(upload->received == upload->size);
        // A chunk past the size is refused by its handler before it is written.
        if (offset && *offset + length > upload->size) length = 0;
        held.push_back({found->second, length, !offset});
    }

    void cancel(const std::string& uid, const std::string& host) {
        auto found = uploads.find(uid);
        Upload* upload = found == uploads.end() ? nullptr : found->second.get();
        CancelClaim claim = claimForCancel(upload, host);
        if (upload && upload->host != host) check(claim == CancelClaim::absent);
        if (upload && upload->finishing) check(claim != CancelClaim::removable);
        if (claim == CancelClaim::removable) uploads.erase(found);
    }

    // The request holding `which` ends: a chunk adds its bytes, a finish stores and forgets.
    void release(std::size_t which) {
        if (held.empty()) return;
        Held done = held[which % held.size()];
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(which % held.size()));
        check(done.upload->busy);
        done.upload->busy = false;
        if (done.finish) {
            auto found = uploads.find(done.upload->uid);
            check(found != uploads.end() && found->second == done.upload);
            uploads.erase(found);
            return;
        }
        done.upload->received += done.length;
        check(done.upload->received <= done.upload->size);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::string, 2> uids = {"aaaaaaaa", "bbbbbbbb"};
    static const std::array<std::string, 3> hosts = {"10.0.0.1", "10.0.0.2", "fe80::1"};
    World world;
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        std::uint8_t op = data[at], arg = data[at + 1];
        const std::string& uid = uids[op & 1];
        const std::string& host = hosts[(op >> 1) % 3];
        switch ((op >> 3) % 5) {
            case 0:
                world.init(uid, host, arg % 4 * 3, arg & 0x10 ? "a.jpg" : "b.jpg",
                           arg & 0x20 ? std::vector<std::string>{"Ảnh", "2024"}
                                      : std::vector<std::string>{});
                break;
            case 1:
                world.use(uid, host, arg % 8, 1 + arg / 8 % 3);
                break;
            case 2:
                world.use(uid, host, std::nullopt, 0);
                break;
            case 3:
                world.cancel(uid, host);
                break;
            default:
                world.release(arg);
                break;
        }
    }
    return 0;
}
