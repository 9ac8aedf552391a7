// Who may reach a route: the session code, the lockout after wrong guesses, and the approval
// of each new device by the person at the computer.
#include <algorithm>
#include <tuple>

#include "server/connection.hpp"
#include "server/device_identity.hpp"
#include "server/file_server.hpp"
#include "server/session_code.hpp"

namespace skiff::server {

namespace {

constexpr int hostFailureLimit = 10;
constexpr int totalFailureLimit = 50;
// More prompts than this at once would bury the person at the computer; the rest ask later.
constexpr std::size_t pendingLimit = 3;

}  // namespace

bool FileServer::checkAccess(const ConnectionPtr& connection, const Request& request,
                             const std::string& host) {
    auto [hostFailures, totalFailures, admitted] = withTables([&](const ServerTables& tables) {
        auto found = tables.failures.find(host);
        auto approval = tables.approvals.find(host);
        bool allowed = approval != tables.approvals.end() && approval->second == Approval::allowed;
        return std::tuple(found == tables.failures.end() ? 0 : found->second, tables.totalFailures,
                          allowed || tables.seen.count(host) > 0);
    });
    // Guessing from many addresses locks out every newcomer, but not the phones already let
    // in under this code: otherwise a few guessing hosts could shut everyone out.
    if (hostFailures >= hostFailureLimit || (totalFailures >= totalFailureLimit && !admitted)) {
        report("Khoá tạm " + host + ": nhập sai mã quá nhiều lần — bấm \"Đổi mã\" để mở lại");
        respondJSON(connection, 429, {{"error", "locked"}});
        return false;
    }

    // The query's "t" wins over the "x-pin" header, even when it is the wrong one.
    std::string offered;
    if (const std::string* fromQuery = request.param("t"))
        offered = *fromQuery;
    else if (const std::string* fromHeader = request.header("x-pin"))
        offered = *fromHeader;
    if (!constantTimeEquals(offered, token())) {
        mutateTables([&](ServerTables& tables) {
            tables.failures[host] += 1;
            tables.totalFailures += 1;
        });
        respondJSON(connection, 403, {{"error", "forbidden"}});
        return false;
    }

    const std::string* userAgent = request.header("user-agent");
    std::string ua = userAgent ? *userAgent : std::string();
    bool asking = withTables([&](const ServerTables&) { return bool(m_callbacks.askApproval); });
    if (asking) {
        enum class Next { proceed, waiting, refused, ask, full };
        std::string code;
        std::uint64_t generation = 0;
        // An allowed phone is only read about: a change to the tables would make every kept
        // listing stale on each of its requests.
        bool allowed = withTables([&](const ServerTables& tables) {
            auto found = tables.approvals.find(host);
            return found != tables.approvals.end() && found->second == Approval::allowed;
        });
        Next next = allowed ? Next::proceed : mutateTables([&](ServerTables& tables) {
            generation = tables.generation;
            auto found = tables.approvals.find(host);
            if (found == tables.approvals.end()) {
                if (tables.pairCodes.size() >= pendingLimit) return Next::full;
                // Set inside the same section as the lookup, so of several first requests
                // exactly one asks. The code is drawn, never derived from what a peer knows,
                // and no two waiting requests show the same one.
                tables.approvals[host] = Approval::pending;
                do code = makePairCode();
                while (std::any_of(tables.pairCodes.begin(), tables.pairCodes.end(),
                                   [&](const auto& entry) { return entry.second == code; }));
                tables.pairCodes[host] = code;
                return Next::ask;
            }
            if (found->second == Approval::pending) code = tables.pairCodes[host];
            switch (found->second) {
                case Approval::pending:
                    return Next::waiting;
                case Approval::denied:
                    return Next::refused;
                case Approval::allowed:
                    return Next::proceed;
            }
            return Next::refused;
        });
        if (next == Next::refused) {
            respondJSON(connection, 403, {{"error", "denied"}});
            return false;
        }
        if (next == Next::full) {
            respondBusy(connection, 5);
            return false;
        }
        if (next != Next::proceed) {
            if (next == Next::ask) {
                std::string label = deviceLabel(ua);
                report(label + " (" + host + ") xin kết nối — chờ bạn cho phép");
                std::weak_ptr<FileServer> weak = weak_from_this();
                std::function<void(bool)> decide = [weak, host, label, generation](bool allow) {
                    if (auto self = weak.lock()) self->decide(host, label, allow, generation);
                };
                notify(&ServerCallbacks::askApproval, host, label, decide);
            }
            respondJSON(connection, 428, {{"error", "pending"}, {"code", code}});
            return false;
        }
    }

    bool firstSight = !withTables([&](const ServerTables& tables) {
        return tables.seen.count(host) > 0;
    }) && mutateTables([&](ServerTables& tables) { return tables.seen.insert(host).second; });
    if (firstSight) notify(&ServerCallbacks::onDevice, host, deviceName(ua), deviceKind(ua));
    return true;
}

void FileServer::decide(const std::string& host, const std::string& label, bool allow,
                        std::uint64_t generation) {
    // An answer given under an old session code must not let the host in under the new one.
    bool decided = mutateTables([&](ServerTables& tables) {
        if (tables.generation != generation) return false;
        tables.approvals[host] = allow ? Approval::allowed : Approval::denied;
        tables.pairCodes.erase(host);
        return true;
    });
    if (decided) report((allow ? "Đã cho phép " : "Đã từ chối ") + label + " (" + host + ")");
}

std::string FileServer::pairCode(const std::string& host) const {
    return withTables([&](const ServerTables& tables) {
        auto found = tables.pairCodes.find(host);
        return found == tables.pairCodes.end() ? std::string() : found->second;
    });
}

void FileServer::regenerateToken() {
    mutateTables([](ServerTables& tables) {
        tables.token = makeSessionCode();
        tables.failures.clear();
        tables.totalFailures = 0;
        tables.approvals.clear();
        tables.pairCodes.clear();
        tables.seen.clear();
        ++tables.generation;
    });
}

}  // namespace skiff::server
