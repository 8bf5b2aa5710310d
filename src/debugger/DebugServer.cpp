#include "debugger/DebugServer.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One Poll reads at most this much, so a client that sends without pause cannot hold the frame
// loop; the rest waits in the socket for the next Poll.
constexpr size_t kMaxReadPerPoll = size_t(4) << 20;
// Written output is erased from the front of the queue only once this much has gone, so that a
// large queue drained in small writes is not moved for every write.
constexpr size_t kEraseWrittenBytes = size_t(1) << 20;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    const size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A value the client sent, made safe for one line of the log.
std::string Printable(const std::string& text) {
    constexpr size_t kShown = 40;
    std::string shown = text.substr(0, kShown);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            c = '?';
    return text.size() > kShown ? shown + "..." : shown;
}

// The body length a header block announces; false with `problem` when it announces none that
// can be trusted.
bool ParseHeader(const std::string& header, size_t& length, std::string& problem) {
    bool found = false;
    size_t lineStart = 0;
    while (lineStart <= header.size()) {
        size_t lineEnd = header.find("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = header.size();
        const std::string line = header.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        const size_t colon = line.find(':');
        if (colon == std::string::npos ||
            !EqualsIgnoringCase(Trim(line.substr(0, colon)), "Content-Length"))
            continue;
        const std::string value = Trim(line.substr(colon + 1));
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            problem = "the client sent a Content-Length that is not a number: \"" +
                      Printable(value) + "\"";
            return false;
        }
        size_t n = 0;
        for (const char digit : value) {
            n = n * 10 + size_t(digit - '0');
            // Stops before the arithmetic can overflow, however many digits follow.
            if (n > DebugServer::kMaxBodyBytes) {
                problem = "the client sent a Content-Length of " + Printable(value) +
                          ", over the limit of " + std::to_string(DebugServer::kMaxBodyBytes) +
                          " bytes";
                return false;
            }
        }
        if (found && n != length) {
            problem = "the client sent two different Content-Lengths";
            return false;
        }
        found = true;
        length = n;
    }
    if (!found)
        problem = "the client sent a message without a Content-Length";
    return found;
}

} // namespace

DebugServer::~DebugServer() {
    Close();
}

bool DebugServer::Listen(uint16_t wanted, std::string& problem) {
    Close();
    const auto fail = [&](const char* what) {
        problem = "cannot listen on 127.0.0.1:" + std::to_string(wanted) + ": " + what;
        if (listenFd >= 0)
            ::close(listenFd);
        listenFd = -1;
        return false;
    };
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0)
        return fail(std::strerror(errno));
    // The game is often restarted straight after a session; without this the port stays taken
    // while the old connection lingers in TIME_WAIT.
    const int on = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wanted);
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 4) != 0)
        return fail(std::strerror(errno));
    socklen_t size = sizeof address;
    if (::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return fail(std::strerror(errno));
    port = ntohs(address.sin_port);
    return true;
}

std::vector<std::string> DebugServer::Poll() {
    std::vector<std::string> bodies;
    if (clientFd >= 0) {
        if (Write())
            Read(bodies);
        // A client waiting behind the one that just went is taken on the next Poll, so that the
        // caller sees the end of one session before anything of the next.
        if (clientFd < 0)
            return bodies;
    }
    const bool hadClient = clientFd >= 0;
    AcceptWaiting();
    if (!hadClient && clientFd >= 0)
        Read(bodies);
    return bodies;
}

void DebugServer::AcceptWaiting() {
    if (listenFd < 0)
        return;
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (clientFd >= 0) {
            // A second editor would interleave its requests with the first one's session.
            ::close(fd);
            continue;
        }
        // Requests and responses are small and go back and forth; waiting to coalesce them only
        // adds latency to every step.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        clientFd = fd;
    }
}

bool DebugServer::Write() {
    while (outputSent < output.size()) {
        const ssize_t n =
            ::send(clientFd, output.data() + outputSent, output.size() - outputSent, MSG_NOSIGNAL);
        if (n > 0) {
            outputSent += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            Drop(std::string("cannot write to the client: ") + std::strerror(errno));
            return false;
        }
    }
    if (outputSent == output.size()) {
        output.clear();
        outputSent = 0;
    } else if (outputSent >= kEraseWrittenBytes) {
        output.erase(0, outputSent);
        outputSent = 0;
    }
    return true;
}

bool DebugServer::Read(std::vector<std::string>& bodies) {
    char buffer[65536];
    size_t taken = 0;
    while (taken < kMaxReadPerPoll) {
        const ssize_t n = ::recv(clientFd, buffer, sizeof buffer, 0);
        if (n > 0) {
            taken += size_t(n);
            input.append(buffer, size_t(n));
            if (!Parse(bodies))
                return false;
        } else if (n == 0) {
            Drop(input.empty() ? ""
                               : "the client closed the connection in the middle of a message");
            return false;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else {
            Drop(std::string("cannot read from the client: ") + std::strerror(errno));
            return false;
        }
    }
    return true;
}

bool DebugServer::Parse(std::vector<std::string>& bodies) {
    size_t start = 0;
    bool good = true;
    for (;;) {
        if (headerBytes == 0) {
            const size_t end = input.find("\r\n\r\n", start);
            const size_t blockEnd = end == std::string::npos ? input.size() : end + 4;
            if (blockEnd - start > kMaxHeaderBytes ||
                (end == std::string::npos && blockEnd - start == kMaxHeaderBytes)) {
                lastProblem = "the client sent a message header longer than " +
                              std::to_string(kMaxHeaderBytes) + " bytes";
                good = false;
                break;
            }
            if (end == std::string::npos)
                break;
            if (!ParseHeader(input.substr(start, end - start), bodyBytes, lastProblem)) {
                good = false;
                break;
            }
            headerBytes = blockEnd - start;
        }
        if (input.size() - start < headerBytes + bodyBytes)
            break;
        bodies.push_back(input.substr(start + headerBytes, bodyBytes));
        start += headerBytes + bodyBytes;
        headerBytes = 0;
    }
    if (!good) {
        Drop(lastProblem);
        return false;
    }
    input.erase(0, start);
    return true;
}

void DebugServer::Send(const std::string& body) {
    if (clientFd < 0)
        return;
    const std::string header = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (output.size() - outputSent + header.size() + body.size() > kMaxQueuedOutputBytes) {
        Drop("the client stopped reading: more than " +
             std::to_string(kMaxQueuedOutputBytes >> 20) + " MiB of messages were waiting");
        return;
    }
    output += header;
    output += body;
    Write();
}

void DebugServer::Flush(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (clientFd >= 0 && outputSent < output.size()) {
        if (!Write() || outputSent == output.size())
            return;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd waiting{clientFd, POLLOUT, 0};
        ::poll(&waiting, 1, int(left));
    }
}

bool DebugServer::TakeDisconnected() {
    return std::exchange(disconnected, false);
}

void DebugServer::Drop(std::string problem) {
    ::close(clientFd);
    clientFd = -1;
    input.clear();
    output.clear();
    outputSent = 0;
    headerBytes = 0;
    bodyBytes = 0;
    disconnected = true;
    lastProblem = std::move(problem);
}

void DebugServer::Disconnect() {
    if (clientFd >= 0)
        Drop("");
}

void DebugServer::Close() {
    Disconnect();
    if (listenFd >= 0)
        ::close(listenFd);
    listenFd = -1;
    port = 0;
}
