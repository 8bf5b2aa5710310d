#pragma once
// The engine as a user starts it, in a process of its own, and a protocol
// client speaking to its debugger over the socket.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using nlohmann::json;

// A game folder of the given files (paths under it, contents).
inline std::filesystem::path
MakeGame(const std::vector<std::pair<std::string, std::string>>& files) {
    char pattern[] = "/tmp/marrowvale-debug-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    for (const auto& [name, text] : files) {
        std::filesystem::create_directories((folder / name).parent_path());
        std::ofstream(folder / name) << text;
    }
    return folder;
}

class EngineProcess {
  public:
    explicit EngineProcess(const std::vector<std::string>& arguments) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(pipe[1], 1);
            ::dup2(pipe[1], 2);
            ::setenv("ALSOFT_DRIVERS", "null", 1);
            std::vector<char*> argv;
            static const std::string program = MARROWVALE_BINARY_DIR "/marrowvale";
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipe[1]);
        output = pipe[0];
    }
    ~EngineProcess() {
        if (pid > 0 && Exit(0) < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (output >= 0)
            ::close(output);
    }

    // Reads the engine's output until `text` appears after what was already
    // seen; the part before it (and it) is consumed. False after `seconds`.
    bool WaitFor(const std::string& text, double seconds = 20.0, std::string* line = nullptr) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const std::size_t at = pending.find(text);
            if (at != std::string::npos) {
                const std::size_t eol = pending.find('\n', at);
                if (line)
                    *line = pending.substr(at, eol == std::string::npos ? eol : eol - at);
                all += pending.substr(0, at + text.size());
                pending.erase(0, at + text.size());
                return true;
            }
            const int left = int(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (left <= 0 || !ReadSome(left))
                return false;
        }
    }
    // The exit status after at most `seconds`; -1 while it still runs.
    int Exit(double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        do {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ReadSome(20);
        } while (Clock::now() < end);
        return -1;
    }
    std::string Output() const { return all + pending; }
    pid_t pid = -1;

  private:
    using Clock = std::chrono::steady_clock;
    bool ReadSome(int milliseconds) {
        pollfd waiting{output, POLLIN, 0};
        if (::poll(&waiting, 1, milliseconds) != 1)
            return milliseconds < 100; // a short wait that saw nothing is not the end
        char buffer[4096];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending.append(buffer, size_t(n));
        return true;
    }
    int output = -1;
    std::string pending, all;
};

// A protocol message as it goes over the wire.
inline std::string Framed(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class DapClient {
  public:
    explicit DapClient(int port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(uint16_t(port));
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~DapClient() { ::close(fd); }
    bool connected = false;

    void Raw(const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    int Send(const std::string& command, const json& arguments = json::object()) {
        const json request = {
            {"seq", nextSeq}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
        Raw(Framed(request.dump()));
        return nextSeq++;
    }
    // The response to a request (events that come first are kept).
    json Request(const std::string& command, const json& arguments = json::object()) {
        const int seq = Send(command, arguments);
        return Next([&](const json& m) {
            return m.value("type", "") == "response" && m.value("request_seq", -1) == seq;
        });
    }
    json Event(const std::string& name, double seconds = 20.0) {
        return Next(
            [&](const json& m) {
                return m.value("type", "") == "event" && m.value("event", "") == name;
            },
            seconds);
    }
    // Any message matching; null after `seconds` or when the server closed.
    template <class Match> json Next(Match match, double seconds = 20.0) {
        for (auto it = kept.begin(); it != kept.end(); ++it)
            if (match(*it)) {
                json found = *it;
                kept.erase(it);
                return found;
            }
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(seconds));
        while (std::chrono::steady_clock::now() < end) {
            json message = Read(end);
            if (message.is_null())
                return message;
            if (match(message))
                return message;
            kept.push_back(std::move(message));
        }
        return json();
    }
    // Up to `count` bytes as they came: fewer when the server closes or nothing comes for
    // two seconds.
    std::string ReadBytes(std::size_t count) {
        pollfd waiting{fd, POLLIN, 0};
        char chunk[65536];
        for (ssize_t n = 0; buffer.size() < count; buffer.append(chunk, std::size_t(n)))
            if (::poll(&waiting, 1, 2000) != 1 || (n = ::recv(fd, chunk, sizeof chunk, 0)) <= 0)
                break;
        std::string got = buffer.substr(0, count);
        buffer.erase(0, got.size());
        return got;
    }
    bool ClosedByServer(int milliseconds) {
        pollfd waiting{fd, POLLIN, 0};
        char byte;
        return ::poll(&waiting, 1, milliseconds) == 1 && ::recv(fd, &byte, 1, MSG_PEEK) <= 0;
    }
    std::deque<json> kept;

  private:
    json Read(std::chrono::steady_clock::time_point end) {
        for (;;) {
            const std::size_t header = buffer.find("\r\n\r\n");
            if (header != std::string::npos) {
                const std::size_t length = std::stoul(buffer.substr(buffer.find(':') + 1, header));
                if (buffer.size() >= header + 4 + length) {
                    json message = json::parse(buffer.substr(header + 4, length));
                    buffer.erase(0, header + 4 + length);
                    return message;
                }
            }
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     end - std::chrono::steady_clock::now())
                                     .count());
            pollfd waiting{fd, POLLIN, 0};
            if (left <= 0 || ::poll(&waiting, 1, left) != 1)
                return json();
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return json();
            buffer.append(chunk, size_t(n));
        }
    }
    int fd = -1;
    int nextSeq = 1;
    std::string buffer;
};

// The port the engine says it listens on, or 0.
inline int ListeningPort(EngineProcess& engine) {
    std::string line;
    if (!engine.WaitFor("Debugger: listening on 127.0.0.1:", 30.0, &line))
        return 0;
    return std::atoi(line.c_str() + std::string("Debugger: listening on 127.0.0.1:").size());
}
