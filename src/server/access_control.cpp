// Who may reach a route: the session code, the lockout after wrong guesses, and the approval
// of each new device by the person at the computer.
#include <tuple>

#include "server/connection.hpp"
#include "server/device_identity.hpp"
#include "server/file_server.hpp"
#include "server/session_code.hpp"

namespace skiff::server {

namespace {

constexpr int hostFailureLimit = 10;
constexpr int totalFailureLimit = 50;

}  // namespace

bool FileServer::checkAccess(const ConnectionPtr& connection, const Request& request,
                             const std::string& host) {
    auto [hostFailures, totalFailures, admitted] = withTables([&](const ServerTables& tables) {
        auto found = tables.failures.find(host);
        return std::tuple(found == tables.failures.end() ? 0 : found->second, tables.totalFailures,
                          tables.seen.count(host) > 0);
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
        enum class Next { proceed, waiting, refused, ask };
        Next next = mutateTables([&](ServerTables& tables) {
            auto found = tables.approvals.find(host);
            if (found == tables.approvals.end()) {
                // Set inside the same section as the lookup, so of several first requests
                // exactly one asks.
                tables.approvals[host] = Approval::pending;
                return Next::ask;
            }
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
        if (next != Next::proceed) {
            if (next == Next::ask) {
                std::string label = deviceLabel(ua);
                report(label + " (" + host + ") xin kết nối — chờ bạn cho phép");
                std::weak_ptr<FileServer> weak = weak_from_this();
                std::function<void(bool)> decide = [weak, host, label](bool allow) {
                    if (auto self = weak.lock()) self->decide(host, label, allow);
                };
                notify(&ServerCallbacks::askApproval, host, label, decide);
            }
            respondJSON(connection, 428, {{"error", "pending"}, {"code", pairCode(host)}});
            return false;
        }
    }

    bool firstSight =
        mutateTables([&](ServerTables& tables) { return tables.seen.insert(host).second; });
    if (firstSight) notify(&ServerCallbacks::onDevice, host, deviceName(ua), deviceKind(ua));
    return true;
}

void FileServer::decide(const std::string& host, const std::string& label, bool allow) {
    mutateTables([&](ServerTables& tables) {
        tables.approvals[host] = allow ? Approval::allowed : Approval::denied;
    });
    report((allow ? "Đã cho phép " : "Đã từ chối ") + label + " (" + host + ")");
}

std::string FileServer::pairCode(const std::string& host) const {
    return pairCodeFor(token(), host);
}

void FileServer::regenerateToken() {
    mutateTables([](ServerTables& tables) {
        tables.token = makeSessionCode();
        tables.failures.clear();
        tables.totalFailures = 0;
        tables.approvals.clear();
        tables.seen.clear();
    });
}

}  // namespace skiff::server
