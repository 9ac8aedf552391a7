#include "server/body_pump.hpp"

#include "server/connection.hpp"

namespace skiff::server {

namespace {

struct Pump : std::enable_shared_from_this<Pump> {
    std::shared_ptr<Connection> connection;
    std::shared_ptr<BodySource> source;

    void next() {
        std::optional<BodyPiece> piece = source->next();
        if (!piece) {
            connection->finish();
            return source->finished(true);
        }
        if (auto* bytes = std::get_if<std::string>(&*piece)) {
            connection->sendBlock(std::move(*bytes), [self = shared_from_this()](bool ok) {
                if (!ok) return self->source->finished(false);
                self->next();
            });
            return;
        }
        const FileSpan& span = std::get<FileSpan>(*piece);
        connection->sendFile(span.fd, span.offset, span.length,
                             [self = shared_from_this()](bool ok, std::int64_t sent) {
                                 if (!ok) return self->source->finished(false);
                                 self->source->spanSent(sent);
                                 self->next();
                             });
    }
};

}  // namespace

void runBodyPump(const std::shared_ptr<Connection>& connection, std::string head,
                 const std::shared_ptr<BodySource>& source) {
    auto pump = std::make_shared<Pump>();
    pump->connection = connection;
    pump->source = source;
    connection->sendBlock(std::move(head), [pump](bool ok) {
        if (!ok) return pump->source->finished(false);
        pump->next();
    });
}

}  // namespace skiff::server
