#include "server/block_pump.hpp"

#include "server/connection.hpp"

namespace skiff::server {

namespace {

struct Pump : std::enable_shared_from_this<Pump> {
    std::shared_ptr<Connection> connection;
    BlockProducer producer;
    std::function<void(bool)> finished;

    void next() {
        std::optional<std::string> block = producer();
        if (!block) {
            connection->finish();
            return finished(true);
        }
        connection->sendBlock(std::move(*block), [self = shared_from_this()](bool ok) {
            if (!ok) return self->finished(false);
            self->next();
        });
    }
};

}  // namespace

void runBlockPump(const std::shared_ptr<Connection>& connection, BlockProducer producer,
                  std::function<void(bool ok)> finished) {
    auto pump = std::make_shared<Pump>();
    pump->connection = connection;
    pump->producer = std::move(producer);
    pump->finished = std::move(finished);
    pump->next();
}

}  // namespace skiff::server
