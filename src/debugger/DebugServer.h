#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The debugger's connection to an editor: one client at a time on a loopback TCP port, carrying
// messages framed as "Content-Length: N\r\n\r\n" + N bytes of body. It is polled from the frame
// loop (or from the debugger's pause loop), so nothing here ever blocks except Flush, and there
// are no threads. It knows nothing of what the messages mean.
class DebugServer {
  public:
    static constexpr size_t kMaxHeaderBytes = 8192;
    static constexpr size_t kMaxBodyBytes = size_t(16) << 20;
    // A client that never reads would otherwise grow the queue until the game runs out of memory.
    static constexpr size_t kMaxQueuedOutputBytes = size_t(64) << 20;

    DebugServer() = default;
    DebugServer(const DebugServer&) = delete;
    DebugServer& operator=(const DebugServer&) = delete;
    ~DebugServer();

    // Loopback only: a debugger can run any code in the game, so it must not be reachable from
    // another machine. Port 0 picks a free port.
    bool Listen(uint16_t port, std::string& problem);
    uint16_t GetPort() const { return port; }
    bool IsListening() const { return listenFd >= 0; }

    // Accepts, writes, reads; returns the complete message bodies that arrived, in order.
    std::vector<std::string> Poll();
    // Without a client the message is dropped.
    void Send(const std::string& body);
    // Waits up to `milliseconds` for the queued output to go, so that a last message is not lost
    // when the connection is closed straight after.
    void Flush(int milliseconds);

    bool IsConnected() const { return clientFd >= 0; }
    bool TakeDisconnected();
    void Disconnect();
    void Close();
    const std::string& GetLastProblem() const { return lastProblem; }

  private:
    void AcceptWaiting();
    // False when the connection was dropped.
    bool Write();
    bool Read(std::vector<std::string>& bodies);
    // Takes the complete frames out of `input`; false (with lastProblem set) on malformed input.
    bool Parse(std::vector<std::string>& bodies);
    void Drop(std::string problem);

    int listenFd = -1;
    int clientFd = -1;
    uint16_t port = 0;
    std::string input;
    // Output not yet written starts at outputSent; the written part is erased in large steps.
    std::string output;
    size_t outputSent = 0;
    // The body length of the frame being received, once its header is complete.
    size_t bodyBytes = 0;
    size_t headerBytes = 0;
    bool disconnected = false;
    std::string lastProblem;
};
