#include "http_test_server.h"

#include "foundation/file_test_support.h"
#include "support/test_timeout.h"
#include "updater/web_client.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

using Brivox::CHttpClient;
using Brivox::CHttpResponse;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ThrownText;
using HttpTestSupport::TestHttpServer;

namespace {

using Reports = std::vector<std::pair<int, int>>;

class ProgressRecorder : public Brivox::IProgressListener
{
public:
    void OnProgress(int done, int total) override { reports.emplace_back(done, total); }

    Reports reports;
};

String Wide(const std::string& ascii)
{
    return String(std::wstring(ascii.begin(), ascii.end()));
}

std::string Body(const CHttpResponse& response)
{
    return std::string(response.GetBody().begin(), response.GetBody().end());
}

std::string AddressOf(const TestHttpServer& server, const std::string& path = "/zo2/update.cfg")
{
    return "http://" + server.HostText() + path;
}

// One GET of the address with a client set up by the caller.
void Get(CHttpClient& client, const std::string& address, CHttpResponse& response, ProgressRecorder& progress)
{
    client.SendGetRequest(Wide(address));
    client.ReceiveResponse(response, progress);
}

void Get(const std::string& address, CHttpResponse& response, ProgressRecorder& progress)
{
    CHttpClient client;
    Get(client, address, response, progress);
}

const std::string receiveFailure = Ansi(L"サーバーからの受信に失敗しました");

std::string StatusFailure(const std::string& address, const std::string& statusLine)
{
    return address + Ansi(L" の取得に失敗しました (") + statusLine + ")";
}

} // namespace

TEST(HttpRequest, BytesSentDirectlyAndThroughAProxy)
{
    const struct
    {
        const char* name;
        bool throughProxy;
        bool noCache;
        // {host} stands for the server's "127.0.0.1:<port>".
        const char* address;
        const char* requestLine;
        const char* host;
    } cases[] = {
        {"direct", false, false, "http://{host}/zo2/update.cfg", "GET /zo2/update.cfg", "{host}"},
        {"direct, no cache", false, true, "http://{host}/zo2/update.cfg", "GET /zo2/update.cfg", "{host}"},
        {"direct, blanks around", false, false, " \thttp://{host}/a/b.zip \r\n", "GET /a/b.zip", "{host}"},
        {"direct, no path", false, false, "http://{host}", "GET /", "{host}"},
        {"proxy", true, false, "http://update.example/zo2/update.cfg",
         "GET http://update.example/zo2/update.cfg", "update.example"},
        {"proxy, no cache", true, true, "http://update.example:8080/zo2/a.zip",
         "GET http://update.example:8080/zo2/a.zip", "update.example:8080"},
        // A scheme in capitals is no scheme: the text before the first '/' is the host.
        {"proxy, capital scheme", true, false, "HTTP://update.example/x", "GET HTTP://update.example/x",
         "HTTP:"},
        {"proxy, blanks around", true, false, "  http://update.example/x ", "GET http://update.example/x",
         "update.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestHttpServer server(TestHttpServer::Respond("HTTP/1.0 200 OK\r\n\r\nbody"));
        const auto fill = [&](std::string text) {
            const std::size_t at = text.find("{host}");
            return at == std::string::npos ? text : text.replace(at, 6, server.HostText());
        };
        CHttpClient client;
        client.SetNoCache(c.noCache);
        if (c.throughProxy)
            client.SetProxyServer(Wide(server.HostText()));
        CHttpResponse response;
        ProgressRecorder progress;
        ASSERT_NO_THROW(Get(client, fill(c.address), response, progress));
        EXPECT_EQ("body", Body(response));
        ASSERT_EQ(1u, server.Requests().size());
        EXPECT_EQ(fill(c.requestLine) + " HTTP/1.0\r\nHost: " + fill(c.host) + "\r\nAccept-Encoding: \r\n" +
                      (c.noCache ? "Pragma: no-cache\r\n" : "") + "Connection: close\r\n\r\n",
                  server.Requests()[0]);
    }
}

TEST(HttpResponse, ProgressAndBodyAsTheyArrive)
{
    const std::string header = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n";
    const int total = static_cast<int>(header.size()) + 5;
    const std::string emptyBody = "HTTP/1.0 200\r\nContent-Length: 0\r\n\r\n";
    const int empty = static_cast<int>(emptyBody.size());
    const struct
    {
        const char* name;
        std::string response;
        Reports expected;
    } cases[] = {
        {"with a length", header + "hello", {{total, total}, {total, total}, {total, total}}},
        {"lower-case name",
         "HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\nhello",
         {{total, total}, {total, total}, {total, total}}},
        {"without a length", "HTTP/1.1 200 OK\r\nServer: test\r\n\r\nhello", {{1, 1}}},
        {"empty body", emptyBody, {{empty, empty}, {empty, empty}, {empty, empty}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestHttpServer server(TestHttpServer::Respond(c.response));
        CHttpResponse response;
        ProgressRecorder progress;
        ASSERT_NO_THROW(Get(AddressOf(server), response, progress));
        EXPECT_EQ(c.response.substr(c.response.find("\r\n\r\n") + 4), Body(response));
        EXPECT_EQ(c.expected, progress.reports);
    }
}

TEST(HttpResponse, HeadersSplitOverReceives)
{
    // A receive takes at most 4095 bytes: a long header line puts the empty line that ends the
    // headers across that boundary at each of its three inner places.
    for (int before : {1, 2, 3}) {
        SCOPED_TRACE(before);
        const std::string start = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\nX-Filler: ";
        const std::string filler(4095 - before - start.size(), 'x');
        const std::string response = start + filler + "\r\n\r\nbody";
        ASSERT_EQ(4095u, response.find("\r\n\r\n") + before);
        TestHttpServer server(TestHttpServer::Respond(response));
        CHttpResponse response1;
        ProgressRecorder progress;
        ASSERT_NO_THROW(Get(AddressOf(server), response1, progress));
        EXPECT_EQ("body", Body(response1));
        EXPECT_EQ(Wide(filler), response1.GetHeader(L"x-filler"));
        const int total = static_cast<int>(response.size());
        ASSERT_FALSE(progress.reports.empty());
        EXPECT_EQ(std::make_pair(total, total), progress.reports.back());
    }
}

TEST(HttpResponse, ImmediateCloseReportsTheEndAndFails)
{
    TestHttpServer server([](TestHttpServer&, SOCKET) {});
    CHttpResponse response;
    ProgressRecorder progress;
    EXPECT_EQ(StatusFailure(AddressOf(server), ""),
              ThrownText([&] { Get(AddressOf(server), response, progress); }));
    EXPECT_EQ(Reports({{1, 1}}), progress.reports);
}

TEST(HttpResponse, OnlyStatus200GivesABody)
{
    const struct
    {
        const char* response;
        // Empty: accepted.
        const char* refusedStatus;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nx", nullptr},
        {"HTTP/1.1 200 OK\r\n\r\nx", nullptr},
        {"HTTP/1.0 200\r\n\r\nx", nullptr},
        {"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html><body>Not Found</body></html>",
         "HTTP/1.0 404 Not Found"},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", "HTTP/1.1 500 Internal Server Error"},
        {"HTTP/1.0 2000 OK\r\n\r\nx", "HTTP/1.0 2000 OK"},
        {"HTTP/1.0 200OK\r\n\r\nx", "HTTP/1.0 200OK"},
        {"HTTP/1.2 200 OK\r\n\r\nx", "HTTP/1.2 200 OK"},
        {"http/1.0 200 OK\r\n\r\nx", "http/1.0 200 OK"},
        // No header end at all: no status.
        {"File = 0\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        TestHttpServer server(TestHttpServer::Respond(c.response));
        CHttpResponse response;
        ProgressRecorder progress;
        if (!c.refusedStatus) {
            EXPECT_NO_THROW(Get(AddressOf(server), response, progress));
            EXPECT_EQ("x", Body(response));
        } else {
            EXPECT_EQ(StatusFailure(AddressOf(server), c.refusedStatus),
                      ThrownText([&] { Get(AddressOf(server), response, progress); }));
        }
    }
}

TEST(HttpResponse, BodyMustMatchItsLengthAndLimit)
{
    const char* const cases[] = {
        "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nhello",
        "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nhello",
        "HTTP/1.0 200 OK\r\nContent-Length: 104857600\r\n\r\nhello",
        "HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nhello",
        "HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nhello",
        "HTTP/1.0 200 OK\r\nContent-Length: many\r\n\r\nhello",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        TestHttpServer server(TestHttpServer::Respond(text));
        CHttpResponse response;
        ProgressRecorder progress;
        EXPECT_EQ(receiveFailure, ThrownText([&] { Get(AddressOf(server), response, progress); }));
    }
}

TEST(HttpResponse, BodyBeyondTheLimitWithoutALengthFails)
{
    // 64 MiB through the loopback of an emulated system.
    KanoruTest::ExtendTimeout(180);
    const std::string chunk(1024 * 1024, 'z');
    TestHttpServer server([&](TestHttpServer&, SOCKET connection) {
        if (!HttpTestSupport::SendAll(connection, "HTTP/1.0 200 OK\r\n\r\n"))
            return;
        // One byte more than the limit; the client hangs up before the end.
        for (int i = 0; i < Brivox::MaxHttpBodySize / static_cast<int>(chunk.size()); ++i) {
            if (!HttpTestSupport::SendAll(connection, chunk))
                return;
        }
        HttpTestSupport::SendAll(connection, "z");
    });
    CHttpResponse response;
    ProgressRecorder progress;
    EXPECT_EQ(receiveFailure, ThrownText([&] { Get(AddressOf(server), response, progress); }));
}

TEST(HttpConnect, FailuresNameTheHostText)
{
    Brivox::EnsureWinSockStarted();
    // A port that nothing listens on: one the system gave out and took back.
    int closedPort = 0;
    {
        TestHttpServer server([](TestHttpServer&, SOCKET) {}, 0);
        closedPort = server.Port();
    }
    const std::string closed = "127.0.0.1:" + std::to_string(closedPort);
    const struct
    {
        const char* name;
        std::string address;
        std::string proxy;
        std::string hostText;
    } cases[] = {
        {"refused", "http://" + closed + "/x", "", closed},
        {"proxy refused", "http://update.example/x", closed, closed},
        // Ports beyond 16 bits would wrap round to another port.
        {"port too large", "http://127.0.0.1:65616/x", "", "127.0.0.1:65616"},
        {"port not a number", "http://127.0.0.1:http/x", "", "127.0.0.1:http"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CHttpClient client;
        client.SetProxyServer(Wide(c.proxy));
        CHttpResponse response;
        ProgressRecorder progress;
        EXPECT_EQ(c.hostText + Ansi(L"への接続に失敗しました"),
                  ThrownText([&] { Get(client, c.address, response, progress); }));
    }
}

TEST(HttpTimeout, SilentServerEndsTheReceiveAfterTheTimeout)
{
    TestHttpServer server([](TestHttpServer& self, SOCKET) { self.WaitUntilStopped(); });
    CHttpClient client;
    client.SetTimeout(1000);
    CHttpResponse response;
    ProgressRecorder progress;
    EXPECT_EQ(receiveFailure, ThrownText([&] { Get(client, AddressOf(server), response, progress); }));
    EXPECT_TRUE(progress.reports.empty());
}

TEST(HttpTimeout, AbortFromAnotherThreadEndsABlockedReceiveAsACancel)
{
    TestHttpServer server([](TestHttpServer& self, SOCKET) { self.WaitUntilStopped(); });
    CHttpClient client;
    client.SetTimeout(10 * 60 * 1000);
    std::string outcome;
    std::thread request([&] {
        CHttpResponse response;
        ProgressRecorder progress;
        try {
            Get(client, AddressOf(server), response, progress);
            outcome = "finished";
        } catch (const Brivox::RequestCanceledException&) {
            outcome = "cancelled";
        } catch (const std::exception& e) {
            outcome = e.what();
        }
    });
    // The request has been sent: the client waits in its receive now or soon.
    server.WaitForRequests(1);
    client.Abort();
    request.join();
    EXPECT_EQ("cancelled", outcome);
}

// A listener that never accepts, its queue filled by other connections: a further connect gets
// no answer at all.
class FullListener
{
public:
    FullListener()
    {
        Brivox::EnsureWinSockStarted();
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ::ntohs(address.sin_port);
        for (SOCKET& filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ::ioctlsocket(filler, FIONBIO, &nonBlocking);
            ::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
    }
    ~FullListener()
    {
        for (SOCKET filler : m_fillers)
            ::closesocket(filler);
        ::closesocket(m_listener);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    std::string HostText() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    SOCKET m_listener;
    SOCKET m_fillers[4];
    int m_port = 0;
};

TEST(HttpTimeout, UnansweredConnectEndsAfterTheTimeout)
{
    const FullListener listener;
    CHttpClient client;
    client.SetTimeout(1000);
    CHttpResponse response;
    ProgressRecorder progress;
    EXPECT_EQ(listener.HostText() + Ansi(L"への接続に失敗しました"),
              ThrownText([&] { Get(client, "http://" + listener.HostText() + "/x", response, progress); }));
}

TEST(HttpTimeout, AbortFromAnotherThreadEndsAnUnansweredConnect)
{
    const FullListener listener;
    CHttpClient client;
    client.SetTimeout(10 * 60 * 1000);
    bool cancelled = false;
    std::thread request([&] {
        CHttpResponse response;
        ProgressRecorder progress;
        try {
            Get(client, "http://" + listener.HostText() + "/x", response, progress);
        } catch (const Brivox::RequestCanceledException&) {
            cancelled = true;
        } catch (const std::exception&) {
        }
    });
    // Before the connect or while it waits, the request ends as cancelled; that the wait is one an
    // abort can end, the receive case shows.
    client.Abort();
    request.join();
    EXPECT_TRUE(cancelled);
}

TEST(HttpTimeout, AbortedClientMakesNoConnection)
{
    TestHttpServer server(TestHttpServer::Respond("HTTP/1.0 200 OK\r\n\r\n"));
    CHttpClient client;
    client.Abort();
    CHttpResponse response;
    ProgressRecorder progress;
    EXPECT_THROW(Get(client, AddressOf(server), response, progress), Brivox::RequestCanceledException);
    EXPECT_TRUE(server.Requests().empty());
}

TEST(HttpHeaders, HeaderEndIsFoundWhereverTheSearchStarts)
{
    const std::string text = "HTTP/1.0 200 OK\r\nA: 1\r\n\r\nbody\r\n\r\n";
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    EXPECT_EQ(25, Brivox::FindHttpHeaderEnd(bytes));
    EXPECT_EQ(25, Brivox::FindHttpHeaderEnd(bytes, 21));
    EXPECT_EQ(33, Brivox::FindHttpHeaderEnd(bytes, 22));
    const std::string partial = "HTTP/1.0 200 OK\r\nA: 1\r\n\r";
    EXPECT_EQ(0, Brivox::FindHttpHeaderEnd(std::vector<unsigned char>(partial.begin(), partial.end())));
    EXPECT_EQ(0, Brivox::FindHttpHeaderEnd({}));
}

TEST(HttpHeaders, LinesSplitAtTheirFirstColonAndBlank)
{
    const std::vector<Brivox::HttpHeader> headers =
        Brivox::ParseHttpHeaderLines(L"HTTP/1.0 200 OK\r\nA: 1\nB: x: y\rNoBlank:z\r\n\r\nC:  spaced \r\n");
    ASSERT_EQ(3u, headers.size());
    EXPECT_EQ(String(L"A"), headers[0].Name);
    EXPECT_EQ(String(L"1"), headers[0].Value);
    EXPECT_EQ(String(L"x: y"), headers[1].Value);
    EXPECT_EQ(String(L"C"), headers[2].Name);
    EXPECT_EQ(String(L" spaced "), headers[2].Value);
}

TEST(HttpHeaders, FirstHeaderOfANameIgnoringCaseAndTheBodyInTheAnsiCodePage)
{
    const std::string header = "HTTP/1.0 200 OK\r\nX-Name: first\r\nx-name: second\r\n\r\n";
    const std::string japanese = "\x93\xFA\x96\x7B\x8C\xEA"; // 日本語 in code page 932
    TestHttpServer server(TestHttpServer::Respond(header + japanese));
    CHttpResponse response;
    ProgressRecorder progress;
    ASSERT_NO_THROW(Get(AddressOf(server), response, progress));
    EXPECT_EQ(String(L"first"), response.GetHeader(L"X-NAME"));
    EXPECT_EQ(String(), response.GetHeader(L"Missing"));
    if (::GetACP() == 932) {
        EXPECT_EQ(String(L"日本語"), response.GetBodyText());
    }
}

TEST(HttpHost, DottedAddressesAndPorts)
{
    const struct
    {
        const wchar_t* text;
        int port;
    } cases[] = {
        {L"127.0.0.1", 80},
        {L"127.0.0.1:8080", 8080},
        {L"127.0.0.1:", 0},
        {L"127.0.0.1:abc", 0},
    };
    for (const auto& c : cases) {
        const Brivox::HostAddress host = Brivox::ResolveHostAndPort(c.text, 80);
        EXPECT_EQ(::htonl(INADDR_LOOPBACK), host.Address) << Ansi(c.text);
        EXPECT_EQ(c.port, host.Port) << Ansi(c.text);
    }
}
