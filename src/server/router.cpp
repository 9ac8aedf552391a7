// Which handler answers a request: the page and icons without any check, everything else
// after access control.
#include <algorithm>

#include "server/connection.hpp"
#include "server/file_server.hpp"
#include "server/request_parser.hpp"
#include "web/phone_page.hpp"

namespace skiff::server {

void FileServer::handle(const ConnectionPtr& connection, const std::string& host,
                        const std::string& headText, std::string rest) {
    std::optional<Request> parsed = parseRequest(headText);
    if (!parsed) return respond(connection, 400, "text/plain", "bad request");
    const Request& request = *parsed;
    const std::string& path = request.path;
    const bool get = request.method == "GET";

    if (get && (path == "/" || path == "/index.html"))
        return respond(connection, 200, "text/html; charset=utf-8", web::phonePage());
    // Browsers ask for these on their own; answering before the code check keeps them from
    // counting as wrong guesses.
    if (path == "/favicon.ico" || path == "/apple-touch-icon.png")
        return respond(connection, 404, "text/plain", "");

    if (!checkAccess(connection, request, host)) return;

    if (get && path == "/api/pin") return servePin(connection, request);
    if (get && path == "/api/files") return serveFiles(connection, request, host);
    if (get && path == "/api/zip") {
        const std::string* ua = request.header("user-agent");
        return serveZip(connection, host, ua ? *ua : std::string());
    }
    if (get && (path.rfind("/api/dl/", 0) == 0 || path.rfind("/api/thumb/", 0) == 0)) {
        bool download = path.rfind("/api/dl/", 0) == 0;
        std::string id = path.substr(download ? 8 : 11);
        auto shared = withTables([](const ServerTables& tables) { return tables.shared; });
        auto file = std::find_if(shared.begin(), shared.end(),
                                 [&](const SharedFile& s) { return s.id == id; });
        if (file == shared.end()) return respondJSON(connection, 404, {{"error", "not found"}});
        if (download) return serveDownload(connection, request, *file, host);
        return serveThumbnail(connection, *file);
    }
    if (request.method == "POST") {
        if (path == "/api/up/init") return uploadInit(connection, request, host);
        if (path == "/api/up/chunk")
            return receiveChunk(connection, request, host, std::move(rest));
        if (path == "/api/up/finish") return uploadFinish(connection, request, host);
        if (path == "/api/up/cancel") return uploadCancel(connection, request, host);
        if (path == "/api/text") return receiveText(connection, request, host, std::move(rest));
    }
    respondJSON(connection, 404, {{"error", "not found"}});
}

}  // namespace skiff::server
