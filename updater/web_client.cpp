#include "updater/web_client.h"

// Before <windows.h>, which would otherwise bring the older socket header.
#include <winsock2.h>

#include "foundation/encoding.h"
#include "foundation/string_builder.h"
#include "foundation/win32.h"

#include <cstdlib>
#include <mutex>

namespace Brivox {

namespace {

const wchar_t sendFailure[] = L"サーバーへの送信に失敗しました";
const wchar_t receiveFailure[] = L"サーバーからの受信に失敗しました";

// Bytes asked for by each receive.
constexpr int receiveBufferSize = 4095;

SOCKET AsSocket(std::uintptr_t socket)
{
    return static_cast<SOCKET>(socket);
}

unsigned long long DeadlineAfter(int milliseconds)
{
    return ::GetTickCount64() + static_cast<unsigned long long>(milliseconds > 0 ? milliseconds : 0);
}

// "HTTP/1.0 200" or "HTTP/1.1 200", then a space or the end of the line.
bool IsSuccessStatus(const String& statusLine)
{
    static const wchar_t* const accepted[] = {L"HTTP/1.0 200", L"HTTP/1.1 200"};
    const int length = 12;
    if (statusLine.Length() < length || (statusLine.Length() > length && statusLine[length] != L' '))
        return false;
    for (const wchar_t* prefix : accepted) {
        if (statusLine.Compare(0, prefix, 0, length, 0) == 0)
            return true;
    }
    return false;
}

// The leading decimal number of a Content-Length value as atoi reads it, but without overflow:
// anything beyond the body limit counts as too large, and a negative or missing number as
// unusable (-1).
long long ParseContentLength(const String& value)
{
    int i = 0;
    while (i < value.Length() && (value[i] == L' ' || value[i] == L'\t'))
        ++i;
    if (i < value.Length() && value[i] == L'+')
        ++i;
    if (i >= value.Length() || value[i] < L'0' || value[i] > L'9')
        return -1;
    long long length = 0;
    for (; i < value.Length() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
        length = length * 10 + (value[i] - L'0');
        if (length > MaxHttpBodySize)
            return static_cast<long long>(MaxHttpBodySize) + 1;
    }
    return length;
}

// The first line of the header text: the status line.
String FirstLine(const String& text)
{
    std::vector<wchar_t> lineEnds = {L'\r', L'\n'};
    const int end = text.IndexOfAny(lineEnds, 0, text.Length());
    return end < 0 ? text : text.Substring(0, end);
}

} // namespace

RequestCanceledException::RequestCanceledException() : Exception(L"キャンセルされました") {}

void EnsureWinSockStarted()
{
    static std::mutex lock;
    static bool started = false;
    std::lock_guard<std::mutex> guard(lock);
    if (started)
        return;
    // Version 2: the time-outs and the abort wait on socket events.
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw RuntimeException(L"WinSockの初期化に失敗しました");
    started = true;
    std::atexit([] { ::WSACleanup(); });
}

int FindHttpHeaderEnd(const std::vector<unsigned char>& bytes, std::size_t from)
{
    static const unsigned char end[] = {'\r', '\n', '\r', '\n'};
    for (std::size_t i = from; i + sizeof end <= bytes.size(); ++i) {
        if (bytes[i] == end[0] && bytes[i + 1] == end[1] && bytes[i + 2] == end[2] && bytes[i + 3] == end[3])
            return static_cast<int>(i + sizeof end);
    }
    return 0;
}

std::vector<HttpHeader> ParseHttpHeaderLines(const String& text)
{
    std::vector<HttpHeader> headers;
    for (const String& line : text.Split(std::vector<wchar_t>{L'\r', L'\n'}, true)) {
        const int colon = line.Find(L": ", 0, line.Length(), 0);
        if (colon >= 0)
            headers.push_back({line.Substring(0, colon), line.Substring(colon + 2)});
    }
    return headers;
}

HostAddress ResolveHostAndPort(const String& hostText, int defaultPort)
{
    const std::vector<String> pieces = hostText.Split(std::vector<wchar_t>{L':'}, 2);
    HostAddress result = {INADDR_NONE, defaultPort};
    String host = hostText;
    if (pieces.size() == 2) {
        host = pieces[0];
        result.Port = StringToInt(pieces[1]);
    }
    const std::string name = GetDefaultEncoding().ToMultiByte(host);
    result.Address = ::inet_addr(name.c_str());
    if (result.Address == INADDR_NONE) {
        const hostent* entry = ::gethostbyname(name.c_str());
        if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list[0])
            throw RuntimeException(hostText + L" のIPの取得に失敗しました");
        result.Address = reinterpret_cast<const in_addr*>(entry->h_addr_list[0])->s_addr;
    }
    return result;
}

CSocket::CSocket(void* abortEvent, int timeoutMilliseconds)
    : m_socket(INVALID_SOCKET), m_event(WSA_INVALID_EVENT), m_abortEvent(abortEvent),
      m_timeout(timeoutMilliseconds)
{
    EnsureWinSockStarted();
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        throw RuntimeException(L"ソケットの作成に失敗しました");
    m_socket = socket;
    // Events make the socket non-blocking: every wait below is one that an abort can end.
    m_event = ::WSACreateEvent();
    if (m_event == WSA_INVALID_EVENT ||
        ::WSAEventSelect(socket, m_event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        Close();
        throw RuntimeException(L"ソケットの作成に失敗しました");
    }
}

CSocket::~CSocket()
{
    Close();
}

void CSocket::Close()
{
    if (m_socket != INVALID_SOCKET) {
        ::shutdown(AsSocket(m_socket), SD_BOTH);
        ::closesocket(AsSocket(m_socket));
        m_socket = INVALID_SOCKET;
    }
    if (m_event != WSA_INVALID_EVENT) {
        ::WSACloseEvent(m_event);
        m_event = WSA_INVALID_EVENT;
    }
}

void CSocket::ThrowIfAborted() const
{
    if (m_abortEvent && ::WaitForSingleObject(m_abortEvent, 0) == WAIT_OBJECT_0)
        throw RequestCanceledException();
}

bool CSocket::WaitFor(long events, unsigned long long deadline, int* error)
{
    // The abort comes first: when both are set, the request ends as cancelled.
    const HANDLE handles[] = {m_abortEvent, m_event};
    const DWORD count = m_abortEvent ? 2 : 1;
    const HANDLE* waited = m_abortEvent ? handles : handles + 1;
    for (;;) {
        const unsigned long long now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD result =
            ::WSAWaitForMultipleEvents(count, waited, FALSE, static_cast<DWORD>(deadline - now), FALSE);
        if (result == WSA_WAIT_TIMEOUT)
            return false;
        if (m_abortEvent && result == WSA_WAIT_EVENT_0)
            throw RequestCanceledException();
        if (result != WSA_WAIT_EVENT_0 + count - 1)
            return false;
        WSANETWORKEVENTS happened = {};
        if (::WSAEnumNetworkEvents(AsSocket(m_socket), m_event, &happened) != 0)
            return false;
        if (happened.lNetworkEvents & events) {
            if (error)
                *error = happened.iErrorCode[FD_CONNECT_BIT];
            return true;
        }
    }
}

void CSocket::Connect(const String& hostText, int defaultPort)
{
    ThrowIfAborted();
    const HostAddress host = ResolveHostAndPort(hostText, defaultPort);
    const String failure = hostText + L"への接続に失敗しました";
    // A port beyond 16 bits would silently become another one.
    if (host.Port <= 0 || host.Port > 0xFFFF)
        throw RuntimeException(failure);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = host.Address;
    address.sin_port = ::htons(static_cast<u_short>(host.Port));
    if (::connect(AsSocket(m_socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return;
    if (::WSAGetLastError() != WSAEWOULDBLOCK)
        throw RuntimeException(failure);
    int error = 0;
    if (!WaitFor(FD_CONNECT, DeadlineAfter(m_timeout), &error) || error != 0)
        throw RuntimeException(failure);
}

void CSocket::Send(const std::vector<char>& bytes)
{
    const unsigned long long deadline = DeadlineAfter(m_timeout);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ThrowIfAborted();
        const int count =
            ::send(AsSocket(m_socket), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK)
            throw RuntimeException(sendFailure);
        if (!WaitFor(FD_WRITE | FD_CLOSE, deadline, nullptr))
            throw RuntimeException(sendFailure);
    }
}

int CSocket::Receive(char* buffer, int size)
{
    const unsigned long long deadline = DeadlineAfter(m_timeout);
    for (;;) {
        ThrowIfAborted();
        const int count = ::recv(AsSocket(m_socket), buffer, size, 0);
        if (count >= 0)
            return count;
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            throw RuntimeException(receiveFailure);
        if (!WaitFor(FD_READ | FD_CLOSE, deadline, nullptr))
            throw RuntimeException(receiveFailure);
    }
}

String CHttpResponse::GetHeader(const String& name) const
{
    for (const HttpHeader& header : m_headers) {
        if (header.Name.EqualsIgnoreCase(name))
            return header.Value;
    }
    return String();
}

String CHttpResponse::GetBodyText() const
{
    return GetDefaultEncoding().ToString(std::string(m_body.begin(), m_body.end()));
}

CHttpClient::CHttpClient()
    : m_noCache(false), m_timeout(DefaultNetworkTimeout),
      m_abortEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!m_abortEvent)
        throw Win32Exception(L"イベントの作成に失敗");
}

CHttpClient::~CHttpClient()
{
    m_socket.reset();
    ::CloseHandle(m_abortEvent);
}

void CHttpClient::Abort()
{
    ::SetEvent(m_abortEvent);
}

CHttpClient::Target CHttpClient::Connect(const String& address)
{
    String rest = address.Trim();
    if (rest.Compare(0, L"http://", 0, 7, 0) == 0)
        rest = rest.Substring(7);
    const int slash = rest.IndexOf(L'/', 0, rest.Length());
    Target target;
    target.HostText = slash < 0 ? rest : rest.Substring(0, slash);
    target.RequestTarget = L"/" + (slash < 0 ? String() : rest.Substring(slash + 1));
    m_socket.reset();
    m_socket = std::make_unique<CSocket>(m_abortEvent, m_timeout);
    if (m_proxy.Length() == 0) {
        m_socket->Connect(target.HostText, 80);
    } else {
        m_socket->Connect(m_proxy, 80);
        // A trimmed address: surrounding blanks would break the request line.
        target.RequestTarget = address.Trim();
    }
    return target;
}

void CHttpClient::SendGetRequest(const String& address)
{
    m_address = address.Trim();
    const Target target = Connect(address);
    StringBuilder request;
    request.Append(L"GET ");
    request.Append(target.RequestTarget);
    request.Append(L" HTTP/1.0\r\nHost: ");
    request.Append(target.HostText);
    // An empty value: no compressed body, which this client could not read.
    request.Append(L"\r\nAccept-Encoding: \r\n");
    if (m_noCache)
        request.Append(L"Pragma: no-cache\r\n");
    request.Append(L"Connection: close\r\n\r\n");
    const std::string bytes = GetDefaultEncoding().ToMultiByte(request.ToString());
    m_socket->Send(std::vector<char>(bytes.begin(), bytes.end()));
}

void CHttpClient::ReceiveResponse(CHttpResponse& response, IProgressListener& listener)
{
    if (!m_socket)
        throw InvalidOprationException(L"接続されていません");
    // Closed on every way out.
    const std::unique_ptr<CSocket> socket = std::move(m_socket);
    response.m_headers.clear();
    response.m_body.clear();
    std::vector<unsigned char>& bytes = response.m_body;
    char buffer[receiveBufferSize];
    int received = 0;
    int headerLength = 0;
    long long contentLength = -1;
    String statusLine;

    int count = socket->Receive(buffer, sizeof buffer);
    if (count == 0)
        listener.OnProgress(1, 1);
    for (; count > 0; count = socket->Receive(buffer, sizeof buffer)) {
        received += count;
        const std::size_t searchFrom = bytes.size() >= 3 ? bytes.size() - 3 : 0;
        bytes.insert(bytes.end(), buffer, buffer + count);
        // Before the header end is found, every byte may still belong to the headers.
        if (bytes.size() > static_cast<std::size_t>(MaxHttpBodySize))
            throw RuntimeException(receiveFailure);
        if (headerLength == 0) {
            const int end = FindHttpHeaderEnd(bytes, searchFrom);
            if (end == 0)
                continue;
            const String headerText =
                GetDefaultEncoding().ToString(std::string(bytes.begin(), bytes.begin() + end));
            statusLine = FirstLine(headerText);
            if (!IsSuccessStatus(statusLine))
                throw RuntimeException(m_address + L" の取得に失敗しました (" + statusLine + L")");
            response.m_headers = ParseHttpHeaderLines(headerText);
            bytes.erase(bytes.begin(), bytes.begin() + end);
            headerLength = end;
            const String length = response.GetHeader(L"Content-Length");
            if (length.Length() > 0) {
                contentLength = ParseContentLength(length);
                if (contentLength < 0 || contentLength > MaxHttpBodySize)
                    throw RuntimeException(receiveFailure);
            }
        }
        if (contentLength >= 0) {
            if (static_cast<long long>(bytes.size()) > contentLength)
                throw RuntimeException(receiveFailure);
            listener.OnProgress(received, headerLength + static_cast<int>(contentLength));
        }
    }

    if (headerLength == 0)
        throw RuntimeException(m_address + L" の取得に失敗しました (" + statusLine + L")");
    if (contentLength >= 0) {
        if (static_cast<long long>(bytes.size()) != contentLength)
            throw RuntimeException(receiveFailure);
        const int total = headerLength + static_cast<int>(contentLength);
        listener.OnProgress(total, total);
        listener.OnProgress(total, total);
    } else {
        listener.OnProgress(1, 1);
    }
}

} // namespace Brivox
