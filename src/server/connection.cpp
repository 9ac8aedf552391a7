#include "server/connection.hpp"

#include <asio/dispatch.hpp>
#include <asio/write.hpp>

#include <sys/sendfile.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "server/local_network.hpp"
#include "server/utf8.hpp"

namespace skiff::server {

namespace {

// Holds a connection for its pending deadline. The deadline is armed whenever a head or body
// handler is stored, so a wait dropped unrun (the event loop shutting down) is where the
// handlers, which may hold the connection in turn, are let go.
class DeadlineHold {
  public:
    explicit DeadlineHold(std::shared_ptr<Connection> connection)
        : m_connection(std::move(connection)) {}
    DeadlineHold(DeadlineHold&&) = default;  // leaves the source empty
    DeadlineHold& operator=(DeadlineHold&&) = default;
    ~DeadlineHold() {
        if (m_connection) m_connection->dropHandlers();
    }
    // The wait ran: the connection goes on as usual.
    std::shared_ptr<Connection> take() { return std::move(m_connection); }

  private:
    std::shared_ptr<Connection> m_connection;
};

}  // namespace

Connection::Connection(asio::ip::tcp::socket socket, const ServerLimits& limits)
    : m_socket(std::move(socket)),
      m_deadline(m_socket.get_executor()),
      m_limits(limits),
      m_head(limits.headLimit) {
    std::error_code error;
    auto peer = m_socket.remote_endpoint(error);
    if (!error) m_host = hostText(peer.address().to_string());
    m_socket.non_blocking(true, error);
}

Connection::~Connection() {
    std::error_code ignored;
    m_socket.close(ignored);
}

void Connection::cancel() {
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        if (self->m_closed) return;
        self->m_closed = true;
        std::error_code ignored;
        self->m_socket.close(ignored);
        self->m_deadline.cancel();
        // Handlers may hold this connection; dropping them breaks the cycle.
        self->dropHandlers();
    });
}

void Connection::dropHandlers() {
    m_onHead = nullptr;
    m_onBody = nullptr;
    m_observe = nullptr;
}

void Connection::armDeadline(std::chrono::steady_clock::duration after) {
    armDeadlineAt(std::chrono::steady_clock::now() + after);
}

void Connection::armDeadlineAt(std::chrono::steady_clock::time_point at) {
    m_deadline.expires_at(at);
    m_deadline.async_wait(
        [hold = DeadlineHold(shared_from_this())](const std::error_code& error) mutable {
            auto self = hold.take();
            // A deadline that was moved or cancelled reports operation_aborted; one that fired
            // just as it was moved later still finds its new expiry ahead and lets it stand.
            if (!error && self->m_deadline.expiry() <= std::chrono::steady_clock::now())
                self->cancel();
        });
}

void Connection::readHead(HeadHandler handler) {
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this(),
                                             handler = std::move(handler)]() mutable {
        self->m_onHead = std::move(handler);
        self->m_headDeadline = std::chrono::steady_clock::now() + self->m_limits.headTimeout;
        self->waitHead();
    });
}

// Waits for readability before receiving, so an idle connection holds no receive buffer.
void Connection::waitHead() {
    if (m_closed) return;
    // A byte now and then keeps a connection from being idle, so the head as a whole has a
    // deadline too.
    armDeadlineAt(
        std::min(std::chrono::steady_clock::now() + m_limits.idleTimeout, m_headDeadline));
    m_socket.async_wait(
        asio::socket_base::wait_read,
        [self = shared_from_this()](const std::error_code& error) { self->onHeadReadable(error); });
}

void Connection::onHeadReadable(const std::error_code& error) {
    if (m_closed) return;
    if (error) return cancel();
    // One receive buffer per thread: a connection only holds the bytes it has received.
    thread_local std::vector<char> chunk;
    chunk.resize(m_limits.receiveSize);
    std::error_code readError;
    std::size_t count = m_socket.read_some(asio::buffer(chunk), readError);
    if (readError == asio::error::would_block || readError == asio::error::try_again)
        return waitHead();
    HeadReader::Result result = count > 0 ? m_head.feed(std::string_view(chunk.data(), count))
                                          : HeadReader::Result::needMore;
    if (result == HeadReader::Result::complete) {
        m_deadline.cancel();
        auto handler = std::move(m_onHead);
        handler(HeadOutcome::complete, toValidUtf8(m_head.head()), std::string(m_head.rest()));
        return;
    }
    if (result == HeadReader::Result::tooLarge) {
        m_deadline.cancel();
        auto handler = std::move(m_onHead);
        handler(HeadOutcome::tooLarge, {}, {});
        return;
    }
    if (readError) return cancel();  // the peer finished or failed before the blank line
    waitHead();
}

void Connection::readBody(std::int64_t length, std::string initial, BodyHandler handler,
                          BlockObserver observe) {
    asio::dispatch(m_socket.get_executor(),
                   [self = shared_from_this(), length, initial = std::move(initial),
                    handler = std::move(handler), observe = std::move(observe)]() mutable {
                       if (self->m_closed) return;
                       self->m_bodyLength = static_cast<std::size_t>(length);
                       self->m_onBody = std::move(handler);
                       self->m_observe = std::move(observe);
                       self->m_observedBlocks = 0;
                       self->m_body = BodyBuffer();
                       self->m_body.append(std::string_view(initial).substr(
                           0, std::min(initial.size(), self->m_bodyLength)));
                       self->m_rateMark = std::chrono::steady_clock::now();
                       self->m_rateMarkFilled = self->m_body.size();
                       self->receiveBody();
                   });
}

void Connection::receiveBody() {
    if (m_closed) return;
    observeFilledBlocks();
    if (m_body.size() == m_bodyLength) {
        m_deadline.cancel();
        m_observe = nullptr;
        auto handler = std::move(m_onBody);
        handler(std::move(m_body));
        return;
    }
    armDeadlineAt(std::min(std::chrono::steady_clock::now() + m_limits.idleTimeout,
                           m_rateMark + m_limits.bodyRateWindow));
    auto room = m_body.room(m_bodyLength - m_body.size());
    m_socket.async_read_some(
        asio::buffer(room.first, room.second),
        [self = shared_from_this()](const std::error_code& error, std::size_t count) {
            if (self->m_closed) return;
            if (error) return self->cancel();
            self->m_body.commit(count);
            if (!self->keepsPace()) return self->cancel();
            self->receiveBody();
        });
}

// A block is seen once it is full, or once the body is complete for the last one, so the
// observer's work overlaps the arrival of the next block.
void Connection::observeFilledBlocks() {
    if (!m_observe) return;
    const bool complete = m_body.size() == m_bodyLength;
    std::size_t ready = complete
                            ? (m_body.size() + BodyBuffer::blockSize - 1) / BodyBuffer::blockSize
                            : m_body.size() / BodyBuffer::blockSize;
    for (; m_observedBlocks < ready; ++m_observedBlocks) m_observe(m_body.block(m_observedBlocks));
}

// A body that trickles in holds its memory and its place for as long as it lasts, so each
// window must bring the minimum rate's worth of bytes (or the rest of the body). Once it has,
// the next window starts at once: a fast phone may then pause for a whole window.
bool Connection::keepsPace() {
    auto now = std::chrono::steady_clock::now();
    double window = std::chrono::duration<double>(m_limits.bodyRateWindow).count();
    auto wanted = static_cast<std::size_t>(static_cast<double>(m_limits.bodyMinRate) * window);
    std::size_t left = m_bodyLength - m_rateMarkFilled;
    if (m_body.size() - m_rateMarkFilled >= std::min(wanted, left)) {
        m_rateMark = now;
        m_rateMarkFilled = m_body.size();
        return true;
    }
    return now - m_rateMark < m_limits.bodyRateWindow;
}

void Connection::sendAndClose(std::string bytes) {
    asio::dispatch(m_socket.get_executor(),
                   [self = shared_from_this(), bytes = std::move(bytes)]() mutable {
                       if (self->m_closed) return;
                       self->m_out = std::move(bytes);
                       self->armDeadline(self->m_limits.idleTimeout);
                       asio::async_write(self->m_socket, asio::buffer(self->m_out),
                                         [self](const std::error_code& error, std::size_t) {
                                             self->m_out.clear();
                                             self->m_out.shrink_to_fit();
                                             if (error) return self->cancel();
                                             self->closeGracefully();
                                         });
                   });
}

void Connection::sendBlock(std::string block, SendHandler done) {
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this(), block = std::move(block),
                                             done = std::move(done)]() mutable {
        if (self->m_closed) return done(false);
        self->m_out = std::move(block);
        self->armDeadline(self->m_limits.idleTimeout);
        asio::async_write(
            self->m_socket, asio::buffer(self->m_out),
            [self, done = std::move(done)](const std::error_code& error, std::size_t) {
                self->m_out.clear();
                if (error || self->m_closed) {
                    self->cancel();
                    return done(false);
                }
                self->m_deadline.cancel();
                done(true);
            });
    });
}

void Connection::sendFile(int fd, std::int64_t offset, std::int64_t length, FileSendHandler done) {
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this(), fd, offset, length,
                                             done = std::move(done)]() mutable {
        if (self->m_closed) return done(false, 0);
        self->m_file = FileSpan{fd, offset, length};
        self->m_fileSent = 0;
        self->armDeadline(self->m_limits.idleTimeout);
        self->continueFile(std::move(done));
    });
}

// Sends until the socket is full, then waits until it can take more; every wait that follows
// progress gets a fresh idle deadline.
void Connection::continueFile(FileSendHandler done) {
    bool progressed = false;
    while (m_fileSent < m_file.length) {
        auto at = static_cast<off_t>(m_file.offset + m_fileSent);
        auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(m_file.length - m_fileSent, 1 << 30));
        ssize_t n = ::sendfile(m_socket.native_handle(), m_file.fd, &at, want);
        if (n > 0) {
            m_fileSent += n;
            progressed = true;
            continue;
        }
        if (n == 0) break;  // the file is shorter than it was
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            cancel();
            return done(false, m_fileSent);
        }
        if (progressed) armDeadline(m_limits.idleTimeout);
        m_socket.async_wait(asio::socket_base::wait_write,
                            [self = shared_from_this(),
                             done = std::move(done)](const std::error_code& error) mutable {
                                if (error || self->m_closed) {
                                    self->cancel();
                                    return done(false, self->m_fileSent);
                                }
                                self->continueFile(std::move(done));
                            });
        return;
    }
    m_deadline.cancel();
    done(true, m_fileSent);
}

void Connection::finish() {
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        if (!self->m_closed) self->closeGracefully();
    });
}

// Closing a socket that still holds unread request bytes makes the kernel reset the
// connection, and the peer may then lose the answer it was sent. So stop sending, then read
// and discard what the peer still sends, for a bounded time and amount.
void Connection::closeGracefully() {
    std::error_code ignored;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    if (m_slot) m_slot->drain();
    m_drained = 0;
    armDeadline(m_limits.drainTimeout);
    waitDrain();
}

void Connection::waitDrain() {
    m_socket.async_wait(
        asio::socket_base::wait_read, [self = shared_from_this()](const std::error_code& error) {
            if (self->m_closed) return;
            if (error) return self->cancel();
            char scratch[16384];
            std::error_code readError;
            while (true) {
                std::size_t count = self->m_socket.read_some(asio::buffer(scratch), readError);
                self->m_drained += count;
                if (readError == asio::error::would_block || readError == asio::error::try_again)
                    break;
                if (readError || self->m_drained > self->m_limits.drainLimit) return self->cancel();
            }
            self->waitDrain();
        });
}

}  // namespace skiff::server
