#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/body_buffer.hpp"
#include "server/body_pump.hpp"
#include "server/connection_slots.hpp"
#include "server/request_parser.hpp"
#include "server/server_limits.hpp"

namespace skiff::server {

// One accepted socket carrying one request and one response. It only does I/O: every
// operation runs on the socket's strand, has a deadline, and ends in a close.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    enum class HeadOutcome { complete, tooLarge };
    using HeadHandler = std::function<void(HeadOutcome, std::string headText, std::string rest)>;
    using BodyHandler = std::function<void(BodyBuffer body)>;
    using BlockObserver = std::function<void(std::string_view block)>;
    using SendHandler = std::function<void(bool ok)>;
    using FileSendHandler = std::function<void(bool ok, std::int64_t sent)>;

    // The socket's executor must be a strand.
    Connection(asio::ip::tcp::socket socket, const ServerLimits& limits);
    ~Connection();

    // The strand every operation of this connection runs on.
    asio::any_io_executor executor() { return m_socket.get_executor(); }

    // The peer's numeric address (see hostText); empty when the socket has no peer.
    const std::string& host() const { return m_host; }

    // Receives until the head is complete or too large; a peer that closes, fails or stalls
    // before that is dropped without an answer.
    void readHead(HeadHandler handler);

    // Receives until `length` body bytes (counting `initial`) are there; extra bytes are
    // ignored. A peer that closes, fails or stalls first is dropped without an answer.
    // `observe`, when given, sees each block of the body once, in order, as soon as it is
    // filled (the last one when the body is complete), before `handler` gets the whole body.
    void readBody(std::int64_t length, std::string initial, BodyHandler handler,
                  BlockObserver observe = {});

    // Sends one complete response, then closes gracefully.
    void sendAndClose(std::string bytes);

    // Streaming: sends one block; `done` runs after the network stack took it (true) or the
    // send failed (false, the connection is then closed). One block at a time.
    void sendBlock(std::string block, SendHandler done);
    // Streaming: sends `length` bytes of the open file `fd` from `offset` with sendfile(2), so
    // they never pass through this process. `sent` falls short of `length` only when the file
    // ended first. One block or file range at a time; the caller keeps `fd` open meanwhile.
    void sendFile(int fd, std::int64_t offset, std::int64_t length, FileSendHandler done);
    // Ends a stream: closes gracefully.
    void finish();

    // Drops the connection at once.
    void cancel();

    // Keeps `slot` for as long as the connection lives.
    void holdSlot(std::unique_ptr<ConnectionSlots::Slot> slot) { m_slot = std::move(slot); }

    // Lets go of the stored head and body handlers without touching the socket. Only for when
    // the event loop drops this connection's pending work unrun: the handlers may hold the
    // connection, and that cycle would outlive the loop.
    void dropHandlers();

  private:
    void waitHead();
    void onHeadReadable(const std::error_code& error);
    void receiveBody();
    bool keepsPace();
    void observeFilledBlocks();
    void continueFile(FileSendHandler done);
    void closeGracefully();
    void waitDrain();
    void armDeadline(std::chrono::steady_clock::duration after);
    void armDeadlineAt(std::chrono::steady_clock::time_point at);

    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_deadline;
    const ServerLimits m_limits;
    std::string m_host;
    bool m_closed = false;

    HeadReader m_head;
    HeadHandler m_onHead;
    std::chrono::steady_clock::time_point m_headDeadline;

    BodyBuffer m_body;  // grows as the bytes come, never ahead of them
    std::size_t m_bodyLength = 0;
    BodyHandler m_onBody;
    BlockObserver m_observe;
    std::size_t m_observedBlocks = 0;
    std::chrono::steady_clock::time_point m_rateMark;
    std::size_t m_rateMarkFilled = 0;
    std::unique_ptr<ConnectionSlots::Slot> m_slot;

    std::string m_out;
    FileSpan m_file;
    std::int64_t m_fileSent = 0;
    std::size_t m_drained = 0;
};

}  // namespace skiff::server
