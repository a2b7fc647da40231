#pragma once
// A minimal blocking HTTP/1.0 GET client: one request per connection, the whole response read
// until the server closes and kept in memory. Every wait is bounded by a time-out and ends at once
// when another thread aborts the request, so a silent server never holds its caller for good.
//
// This header stays free of <windows.h>: the socket headers must come before it in the sources
// that use them.

#include "foundation/exception.h"
#include "foundation/string.h"
#include "updater/progress_listener.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Brivox {

// How long a connect, a send or a receive waits before it fails.
constexpr int DefaultNetworkTimeout = 30 * 1000; // milliseconds
// The largest body a response may give; a description and program files are far smaller.
constexpr int MaxHttpBodySize = 64 * 1024 * 1024;

// A request ended by an abort from another thread. Not a failure of the request: callers report
// nothing for it, which is why it is no RuntimeException.
class RequestCanceledException : public Exception
{
public:
    RequestCanceledException();
};

struct HttpHeader
{
    String Name;
    String Value;
};

// An IPv4 address in network byte order and a port as written (not checked here).
struct HostAddress
{
    unsigned long Address;
    int Port;
};

// Starts WinSock once for the process; a start that failed is tried again by the next call.
// Throws RuntimeException "WinSockの初期化に失敗しました".
void EnsureWinSockStarted();
// The offset just past the first CR LF CR LF at or after from; 0 when there is none yet.
int FindHttpHeaderEnd(const std::vector<unsigned char>& bytes, std::size_t from = 0);
// Lines split at CR LF, LF or CR, each at its first ": "; lines without one are dropped.
std::vector<HttpHeader> ParseHttpHeaderLines(const String& text);
// "host" or "host:port"; a dotted address is taken as it is, any other host is looked up by name.
// Throws RuntimeException with the text and " のIPの取得に失敗しました".
HostAddress ResolveHostAndPort(const String& hostText, int defaultPort);

// One TCP connection, shut down and closed with the object. Each operation waits at most the
// time-out; when the abort event (a manual-reset event owned by the caller, or none) is set, a
// waiting or following operation throws RequestCanceledException at once.
class CSocket
{
public:
    CSocket(void* abortEvent, int timeoutMilliseconds);
    ~CSocket();
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    void Connect(const String& hostText, int defaultPort);
    // Every byte, or RuntimeException "サーバーへの送信に失敗しました".
    void Send(const std::vector<char>& bytes);
    // The bytes received, 0 when the server has closed the connection. A failure or a time-out
    // throws RuntimeException "サーバーからの受信に失敗しました".
    int Receive(char* buffer, int size);

private:
    // Until one of the network events arrives: true, or false at the deadline. error gets the
    // connect's result when that was the event.
    bool WaitFor(long events, unsigned long long deadline, int* error);
    void ThrowIfAborted() const;
    void Close();

    std::uintptr_t m_socket;
    void* m_event;
    void* m_abortEvent;
    int m_timeout;
};

class CHttpResponse
{
public:
    // The first header of that name, ignoring case; empty when there is none.
    String GetHeader(const String& name) const;
    // The body in the ANSI code page.
    String GetBodyText() const;
    const std::vector<HttpHeader>& GetHeaders() const { return m_headers; }
    const std::vector<unsigned char>& GetBody() const { return m_body; }

private:
    friend class CHttpClient;

    std::vector<HttpHeader> m_headers;
    std::vector<unsigned char> m_body;
};

class CHttpClient
{
public:
    CHttpClient();
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // "host" or "host:port" (port 80 when none); empty for a direct connection.
    void SetProxyServer(const String& proxy) { m_proxy = proxy; }
    void SetNoCache(bool noCache) { m_noCache = noCache; }
    // Bounds each connect, send and receive.
    void SetTimeout(int milliseconds) { m_timeout = milliseconds; }
    // From any thread: a connect or receive under way ends at once with RequestCanceledException,
    // and so does every later one of this client.
    void Abort();

    struct Target
    {
        // The host of the address, with its ":port" if it has one.
        String HostText;
        String RequestTarget;
    };
    // Opens a new connection for the address, to its host or to the proxy.
    Target Connect(const String& address);
    void SendGetRequest(const String& address);
    // Reads the whole response, reporting progress, and closes the connection. Only a status of
    // 200 gives a body: any other status throws RuntimeException with the address,
    // " の取得に失敗しました (", the status line and ")". A body that differs from its
    // Content-Length or exceeds MaxHttpBodySize throws "サーバーからの受信に失敗しました".
    void ReceiveResponse(CHttpResponse& response, IProgressListener& listener);

private:
    std::unique_ptr<CSocket> m_socket;
    String m_proxy;
    bool m_noCache;
    int m_timeout;
    void* m_abortEvent;
    // The address of the request under way, for the error of a failed status.
    String m_address;
};

} // namespace Brivox
