// The small JSON endpoints: the phone's code check and greeting, and the list of shared files
// and texts.
#include "media/file_kinds.hpp"
#include "media/thumb_store.hpp"
#include "server/computer_name.hpp"
#include "server/connection.hpp"
#include "server/device_identity.hpp"
#include "server/file_server.hpp"
#include "server/response.hpp"

#include <chrono>
#include <mutex>

namespace skiff::server {

namespace {

constexpr std::int64_t uploadChunkSize = 4194304;

// The name is asked for on every listing; reading it again every few seconds still follows
// a rename of the computer.
std::string cachedComputerName() {
    static std::mutex mutex;
    static std::string name;
    static std::chrono::steady_clock::time_point readAt;
    std::lock_guard guard(mutex);
    auto now = std::chrono::steady_clock::now();
    if (name.empty() || now - readAt > std::chrono::seconds(5)) {
        name = computerName();
        readAt = now;
    }
    return name;
}

}  // namespace

nlohmann::json FileServer::describeYou(const Request& request) const {
    const std::string* userAgent = request.header("user-agent");
    std::string ua = userAgent ? *userAgent : std::string();
    return {{"kind", deviceKind(ua)}, {"name", deviceName(ua)}};
}

void FileServer::setFirewall(std::string name) {
    std::lock_guard guard(m_firewallLock);
    m_firewall = std::move(name);
    ++m_tablesVersion;
}

std::string FileServer::firewall() const {
    std::lock_guard guard(m_firewallLock);
    return m_firewall;
}

void FileServer::servePin(const ConnectionPtr& connection, const Request& request) {
    respondJSON(connection, 200,
                {{"ok", true}, {"mac", cachedComputerName()}, {"you", describeYou(request)}});
}

void FileServer::serveFiles(const ConnectionPtr& connection, const Request& request,
                            const std::string& host) {
    constexpr std::size_t keptListings = 256;
    const std::string* userAgent = request.header("user-agent");
    const std::string key = host + '\n' + (userAgent ? *userAgent : std::string());
    // Read before the listing is made: a change meanwhile makes it stale, never the reverse.
    const std::uint64_t version = m_tablesVersion.load();
    const std::uint64_t durations = media::ThumbStore::shared().durationsLearned();
    std::string name = cachedComputerName();
    {
        std::lock_guard guard(m_listingLock);
        auto kept = m_listings.find(key);
        if (kept != m_listings.end() && kept->second.tablesVersion == version &&
            kept->second.durationsKnown == durations && kept->second.computerName == name)
            return respond(connection, 200, "application/json; charset=utf-8", kept->second.body);
    }
    std::string body = compactJson(listFiles(request, host, name));
    {
        std::lock_guard guard(m_listingLock);
        if (m_listings.size() >= keptListings && !m_listings.count(key)) m_listings.clear();
        m_listings[key] = KeptListing{version, durations, name, body};
    }
    respond(connection, 200, "application/json; charset=utf-8", std::move(body));
}

nlohmann::json FileServer::listFiles(const Request& request, const std::string& host,
                                     const std::string& computer) const {
    auto downloads = withTables([&](const ServerTables& tables) {
        std::map<std::string, Download> mine;
        for (const auto& [fileId, byHost] : tables.dls)
            if (auto found = byHost.find(host); found != byHost.end()) mine[fileId] = found->second;
        return mine;
    });
    auto [shared, texts] = withTables(
        [](const ServerTables& tables) { return std::pair(tables.shared, tables.texts); });

    nlohmann::json files = nlohmann::json::array();
    for (const SharedFile& file : shared) {
        nlohmann::json entry = {{"id", file.id},
                                {"name", file.name},
                                {"size", file.size},
                                {"kind", media::fileKind(file.url)},
                                {"thumb", media::canThumb(file.url)}};
        if (auto found = downloads.find(file.id); found != downloads.end()) {
            entry["got"] = found->second.sent;
            entry["done"] = found->second.done;
        }
        if (auto seconds = media::ThumbStore::shared().duration(file.url)) entry["dur"] = *seconds;
        files.push_back(std::move(entry));
    }
    // Texts come as their own list, so a page that knows only files still reads the answer.
    nlohmann::json textList = nlohmann::json::array();
    for (const SharedText& text : texts) textList.push_back({{"id", text.id}, {"text", text.text}});
    nlohmann::json answer = {{"files", std::move(files)},
                             {"texts", std::move(textList)},
                             {"chunk", uploadChunkSize},
                             {"mac", computer},
                             {"you", describeYou(request)}};
    // The page names it when the computer later goes out of reach.
    if (std::string name = firewall(); !name.empty()) answer["firewall"] = std::move(name);
    return answer;
}

}  // namespace skiff::server
