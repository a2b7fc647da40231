#pragma once
// A small HTTP server inside the test program: a listener thread on 127.0.0.1 at a port the system
// chooses, serving a fixed number of connections with a handler of the test's own and recording
// each request it reads. Every wait of the server is bounded, and it stops when it goes.

// Before <windows.h>, which would otherwise bring the older socket header.
#include <winsock2.h>

#include "foundation/win32.h"
#include "updater/web_client.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace HttpTestSupport {

// Sends every byte; false when the connection broke.
inline bool SendAll(SOCKET connection, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = ::send(connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (count <= 0)
            return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

class TestHttpServer
{
public:
    // Runs for each connection once its request has been read; the server closes the connection
    // after it.
    using Handler = std::function<void(TestHttpServer& server, SOCKET connection)>;

    explicit TestHttpServer(Handler handler, int connections = 1)
        : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_accepted(::WSACreateEvent())
    {
        Brivox::EnsureWinSockStarted();
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int size = sizeof address;
        if (m_listener == INVALID_SOCKET ||
            ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, SOMAXCONN) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
            ::WSAEventSelect(m_listener, m_accepted, FD_ACCEPT) != 0) {
            ADD_FAILURE() << "the test server cannot listen: " << ::WSAGetLastError();
            return;
        }
        m_port = ::ntohs(address.sin_port);
        m_thread = std::thread([this, handler, connections] { Serve(handler, connections); });
    }

    ~TestHttpServer()
    {
        ::SetEvent(m_stop);
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener != INVALID_SOCKET)
            ::closesocket(m_listener);
        ::WSACloseEvent(m_accepted);
        ::CloseHandle(m_stop);
    }

    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string HostText() const { return "127.0.0.1:" + std::to_string(m_port); }

    // The requests read so far, in the order of their connections.
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_requests;
    }

    void WaitForRequests(std::size_t count)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return m_requests.size() >= count; });
    }

    // For a handler that keeps its connection open without answering: returns once the server
    // is going.
    void WaitUntilStopped() { ::WaitForSingleObject(m_stop, INFINITE); }

    // For a handler that keeps its connection open without answering further: returns once the
    // client has closed the connection or the server is going.
    void WaitUntilClosedOrStopped(SOCKET connection)
    {
        const WSAEVENT closed = ::WSACreateEvent();
        if (::WSAEventSelect(connection, closed, FD_READ | FD_CLOSE) == 0) {
            const HANDLE events[] = {m_stop, closed};
            for (;;) {
                if (::WaitForMultipleObjects(2, events, FALSE, waitLimit) != WAIT_OBJECT_0 + 1)
                    break;
                WSANETWORKEVENTS happened;
                ::WSAEnumNetworkEvents(connection, closed, &happened);
                if (happened.lNetworkEvents & FD_CLOSE)
                    break;
                // Whatever else the client sends is dropped.
                char buffer[256];
                const int count = ::recv(connection, buffer, sizeof buffer, 0);
                if (count == 0 || (count < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK))
                    break;
            }
            ::WSAEventSelect(connection, nullptr, 0);
        }
        ::WSACloseEvent(closed);
    }

    // A handler that sends the bytes and closes.
    static Handler Respond(const std::string& bytes)
    {
        return [bytes](TestHttpServer&, SOCKET connection) { SendAll(connection, bytes); };
    }

private:
    static constexpr DWORD waitLimit = 60 * 1000;

    void Serve(const Handler& handler, int connections)
    {
        for (int served = 0; served < connections;) {
            const HANDLE events[] = {m_stop, m_accepted};
            if (::WaitForMultipleObjects(2, events, FALSE, waitLimit) != WAIT_OBJECT_0 + 1)
                return;
            WSANETWORKEVENTS happened;
            ::WSAEnumNetworkEvents(m_listener, m_accepted, &happened);
            const SOCKET connection = ::accept(m_listener, nullptr, nullptr);
            if (connection == INVALID_SOCKET)
                continue;
            ++served;
            // The accepted socket inherits the listener's event selection: back to a plain
            // blocking one, whose reads are bounded.
            ::WSAEventSelect(connection, nullptr, 0);
            u_long nonBlocking = 0;
            ::ioctlsocket(connection, FIONBIO, &nonBlocking);
            const DWORD timeout = waitLimit;
            ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                         sizeof timeout);
            const std::string request = ReadRequest(connection);
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_requests.push_back(request);
                m_changed.notify_all();
            }
            handler(*this, connection);
            ::shutdown(connection, SD_SEND);
            ::closesocket(connection);
        }
    }

    // Up to and including the empty line that ends a request without a body.
    static std::string ReadRequest(SOCKET connection)
    {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int count = ::recv(connection, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(count));
        }
        return request;
    }

    HANDLE m_stop;
    WSAEVENT m_accepted;
    SOCKET m_listener = INVALID_SOCKET;
    int m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace HttpTestSupport
