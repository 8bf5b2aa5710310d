// The debugger's socket layer over real loopback connections, with the tests' protocol client.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "debugger/DebugServer.h"
#include "debugger/DebuggerTestSupport.h"

namespace {

using Bodies = std::vector<std::string>;

// Polls for at most five seconds, until `done` says so.
Bodies PollUntil(DebugServer& server, const std::function<bool(const Bodies&)>& done) {
    Bodies got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done(got) && std::chrono::steady_clock::now() < deadline) {
        for (std::string& body : server.Poll())
            got.push_back(std::move(body));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

Bodies PollFor(DebugServer& server, size_t count) {
    return PollUntil(server, [&](const Bodies& got) { return got.size() >= count; });
}

void Connect(DebugServer& server) {
    PollUntil(server, [&](const Bodies&) { return server.IsConnected(); });
    EXPECT_TRUE(server.IsConnected());
}

// The address of this process's socket on `port`, while no client has connected to it.
std::string BoundAddress(uint16_t port) {
    sockaddr_in local{};
    for (int fd = 0; fd < 1024; ++fd)
        if (socklen_t size = sizeof local;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
            local.sin_family == AF_INET && ntohs(local.sin_port) == port)
            return inet_ntoa(local.sin_addr);
    return "none";
}

TEST(DebugServer, FramesMessagesOnLoopbackServesOneClientAtATimeAndDropsOnesThatMisbehave) {
    DebugServer server;
    std::string problem;
    ASSERT_TRUE(server.Listen(0, problem)) << problem;
    EXPECT_EQ(BoundAddress(server.GetPort()), "127.0.0.1");
    DebugServer rival;
    EXPECT_FALSE(rival.Listen(server.GetPort(), problem));
    EXPECT_NE(problem.find("127.0.0.1:" + std::to_string(server.GetPort()) + ": "),
              std::string::npos)
        << problem;
    auto sender = std::make_unique<DapClient>(server.GetPort());
    Bodies got;
    for (const char byte : Framed("hello")) {
        sender->Raw(std::string(1, byte));
        for (std::string& body : server.Poll())
            got.push_back(body);
    }
    const std::string utf8 =
        "{\"text\":\"na\xC3\xAFve \xE2\x86\x92 \xE6\xBC\xA2 \xF0\x9F\x8E\xB2\"}";
    sender->Raw("content-LENGTH:" + std::to_string(utf8.size()) +
                "\r\nContent-Type: application/json\r\n\r\n" + utf8 + Framed("{}"));
    for (std::string& body : PollFor(server, 2))
        got.push_back(body);
    EXPECT_EQ(got, (Bodies{"hello", utf8, "{}"}));

    server.Send(utf8);
    server.Send("");
    EXPECT_EQ(sender->ReadBytes(Framed(utf8).size() + Framed("").size()),
              Framed(utf8) + Framed(""));

    // More than the socket takes at once: the rest goes out over later writes.
    const std::string big(size_t(6) << 20, 'x');
    std::string received;
    std::thread reader([&] { received = sender->ReadBytes(Framed(big).size()); });
    server.Send(big);
    server.Flush(5000);
    reader.join();
    EXPECT_TRUE(received == Framed(big));
    sender.reset();
    PollUntil(server, [&](const Bodies&) { return server.TakeDisconnected(); });

    // One client at a time; ones that misbehave are dropped.
    auto first = std::make_unique<DapClient>(server.GetPort());
    Connect(server);
    DapClient second(server.GetPort());
    PollUntil(server, [&](const Bodies&) { return second.ClosedByServer(0); });
    EXPECT_TRUE(second.ClosedByServer(0));
    first->Raw(Framed("one"));
    EXPECT_EQ(PollFor(server, 1), Bodies{"one"});

    first.reset();
    PollUntil(server, [&](const Bodies&) { return !server.IsConnected(); });
    EXPECT_TRUE(server.TakeDisconnected());
    EXPECT_FALSE(server.TakeDisconnected());
    EXPECT_EQ(server.GetLastProblem(), "");
    server.Send("nobody hears this");

    auto third = std::make_unique<DapClient>(server.GetPort());
    Connect(server);
    third->Raw(Framed("three"));
    EXPECT_EQ(PollFor(server, 1), Bodies{"three"});
    server.Send("{}");
    EXPECT_EQ(third->ReadBytes(Framed("{}").size()), Framed("{}"));

    // Writing to a client that has gone must end the connection, not the game with SIGPIPE.
    third.reset();
    for (int i = 0; i < 200 && server.IsConnected(); ++i, ::usleep(5000))
        server.Send("{}");
    EXPECT_TRUE(server.TakeDisconnected());

    // Bad input drops that client only: the next one is served.
    struct Bad {
        std::string bytes, problem;
        bool thenClose = false;
    };
    for (const Bad& bad : {
             Bad{"Content-Length: 99999999999\r\n\r\n", "Content-Length of 99999999999"},
             Bad{"Content-Length: 16777217\r\n\r\n", "Content-Length of 16777217"},
             Bad{"Content-Type: application/json\r\n\r\n{}", "without a Content-Length"},
             Bad{"Content-Length: 12abc\r\n\r\n", "not a number: \"12abc\""},
             Bad{"Content-Length: -1\r\n\r\n", "not a number"},
             Bad{"X-Padding: " + std::string(9000, 'a'), "longer than 8192"},
             Bad{"Content-Length: 10\r\n\r\nabc", "middle of a message", true},
         }) {
        SCOPED_TRACE(bad.problem);
        auto client = std::make_unique<DapClient>(server.GetPort());
        client->Raw(Framed("{\"before\":1}") + bad.bytes);
        if (bad.thenClose)
            client.reset();
        const Bodies got = PollUntil(
            server, [&](const Bodies& got) { return !got.empty() && !server.IsConnected(); });
        EXPECT_EQ(got, Bodies{"{\"before\":1}"});
        EXPECT_TRUE(server.TakeDisconnected());
        EXPECT_FALSE(server.TakeDisconnected());
        EXPECT_NE(server.GetLastProblem().find(bad.problem), std::string::npos)
            << server.GetLastProblem();
        EXPECT_TRUE(!client || client->ClosedByServer(2000));
    }

    DapClient idle(server.GetPort());
    Connect(server);
    const std::string chunk(size_t(1) << 20, 'y');
    for (int i = 0; i < 100 && server.IsConnected(); ++i)
        server.Send(chunk);
    EXPECT_FALSE(server.IsConnected());
    EXPECT_NE(server.GetLastProblem().find("stopped reading"), std::string::npos);

    DapClient good(server.GetPort());
    good.Raw(Framed("{}"));
    EXPECT_EQ(PollFor(server, 1), Bodies{"{}"});
}

} // namespace
