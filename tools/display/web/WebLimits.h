#pragma once
// The bounds of the display's web page server and the meter that holds one request to them.
// Plain C++ (no Qt), so the limits can be tested on their own.
//
// The server reads each request with Qt's HTTP server; the meter only counts what arrives
// before the request is whole (bytes, lines of its head) so that a request past the bounds is
// refused before it is buffered, whatever the parser would make of it.

#include <cstddef>
#include <string_view>

namespace display {

struct WebLimits {
    // Pages following the board at once (live update streams); more get 503.
    int maxViewers = 32;
    // Connections open at once, viewers included; more are answered 503 and closed unread.
    int maxConnections = 64;
    // The most of those one client address holds (an IPv6 address counts by its /64), and
    // what a newcomer below it may take from the address that holds the most (see FairShare.h).
    int shareViewers = 8;
    int shareConnections = 16;
    // A request, head and any body, is at most this many bytes.
    std::size_t maxRequestBytes = 8 * 1024;
    // The head of a request (request line and header fields) has at most this many lines.
    int maxHeadLines = 100;
    // A request must be whole this long after its connection opened, or gets 408.
    int requestTimeoutMs = 10000;
    // When every connection is taken, one this old whose request is not yet whole gives its
    // place to a newcomer, the newest of them first: many addresses each holding one slow
    // request cannot keep a tablet out.
    int requestGraceMs = 3000;
    // A viewer gets a keep-alive event this often, so that it sees a dead link.
    int heartbeatMs = 15000;
    // A viewer that takes none of its update for this long is dropped (it reconnects when it
    // is alive again).
    int stuckViewerMs = 30000;
};

// What the bytes so far say about a request.
enum class RequestVerdict {
    Within,        // within the bounds so far
    HeadTooLarge,  // the head is past the byte or line bound: answer 431
    TooLarge,      // the head ended but the request is past the byte bound: answer 413
};

// Counts one request's bytes as they arrive. The head ends at the first empty line (CRLF or
// LF line ends, as Qt's parser reads them).
class RequestMeter {
  public:
    explicit RequestMeter(const WebLimits& limits);

    // Takes the next bytes of the request and says whether it is still within the bounds.
    // Once a bound is passed the verdict stays.
    RequestVerdict Feed(std::string_view bytes);

    std::size_t bytes() const { return bytes_; }
    bool headEnded() const { return headEnded_; }

  private:
    std::size_t maxBytes_;
    int maxLines_;
    std::size_t bytes_ = 0;
    std::size_t headBytes_ = 0;  // the head's length, once it ended
    int lines_ = 0;
    bool headEnded_ = false;
    // The characters since the last line feed, up to two: "" or "\r" before a line feed
    // means the line was empty.
    std::size_t lineLength_ = 0;
    bool lineIsCr_ = false;
    RequestVerdict verdict_ = RequestVerdict::Within;
};

}  // namespace display
