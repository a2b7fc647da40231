#pragma once
// An update site for the updater's tests: the test server answering below "/zo2/" with the files
// of an update and its description, and the settings the engine reads.
#include "http_test_server.h"

#include "formats/zip_fixture.h"
#include "foundation/config.h"
#include "foundation/encoding.h"
#include "foundation/file_test_support.h"
#include "foundation/md5.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace UpdateTestSupport {

using Brivox::CConfig;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ReadText;
using FileTestSupport::Tree;
using HttpTestSupport::TestHttpServer;

inline String Wide(const std::string& text)
{
    return Brivox::GetDefaultEncoding().ToString(text);
}

inline std::string Md5Of(const std::string& body)
{
    return Ansi(Brivox::Md5HexOfBytes(std::vector<unsigned char>(body.begin(), body.end())));
}

// The settings that the engine reads, as the schema fills them.
inline CConfig DefaultSettings()
{
    CConfig config;
    config.SetBool(L"HttpBackup", false);
    config.SetInt(L"HttpBackupCount", 4);
    config.SetBool(L"HttpProxy", false);
    config.SetString(L"HttpProxyServer", L"proxy.example:8080");
    config.SetString(L"HttpUpdate", L"");
    config.SetInt(L"HttpOldNotice", 0);
    return config;
}

inline std::map<String, String> Entries(const CConfig& config)
{
    CConfig copy = config;
    std::map<String, String> entries;
    for (const String& line : copy.Serialize().Split(std::vector<wchar_t>{L'\r', L'\n'}, true)) {
        const std::vector<String> parts = line.Split(std::vector<String>{L" = "}, 2, false);
        entries[parts[0]] = parts.size() > 1 ? parts[1] : String();
    }
    return entries;
}

// Every path below the folder with the bytes of its files.
inline std::map<std::wstring, std::string> Snapshot(const String& folder)
{
    std::map<std::wstring, std::string> contents;
    for (const std::wstring& path : Tree(folder))
        contents[path] = path.back() == L'\\' ? std::string() : ReadText(folder + String(path));
    return contents;
}

// Serves the files of an update below "/zo2/": 404 for anything else, and for the path of a
// throttled file the headers and the first bytes, then nothing until the client goes or the server
// does.
class UpdateSite
{
public:
    explicit UpdateSite(std::map<std::string, std::string> files, std::string throttled = "",
                        int connections = 32)
        : m_files(std::move(files)), m_throttled(std::move(throttled)),
          m_server([this](TestHttpServer& server, SOCKET connection) { Serve(server, connection); },
                   connections)
    {
    }

    std::string InfoUrl() const { return "http://" + m_server.HostText() + "/zo2/update.cfg"; }

    // The request targets in the order asked.
    std::vector<std::string> Requested()
    {
        std::vector<std::string> targets;
        for (const std::string& request : m_server.Requests())
            targets.push_back(Target(request));
        return targets;
    }

    std::vector<std::string> Requests() { return m_server.Requests(); }

    const TestHttpServer& Server() const { return m_server; }

private:
    static std::string Target(const std::string& request)
    {
        const std::size_t start = request.find(' ') + 1;
        return request.substr(start, request.find(' ', start) - start);
    }

    void Serve(TestHttpServer& server, SOCKET connection)
    {
        std::string target = Target(server.Requests().back());
        // Asked through a proxy: the whole address.
        if (target.rfind("http://", 0) == 0) {
            const std::size_t path = target.find('/', 7);
            target = path == std::string::npos ? "/" : target.substr(path);
        }
        const auto found = target.rfind("/zo2/", 0) == 0 ? m_files.find(target.substr(5)) : m_files.end();
        if (found == m_files.end()) {
            HttpTestSupport::SendAll(connection, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        const std::string& body = found->second;
        const std::string head =
            "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        if (found->first == m_throttled) {
            HttpTestSupport::SendAll(connection, head + body.substr(0, body.size() / 4));
            server.WaitUntilClosedOrStopped(connection);
            return;
        }
        HttpTestSupport::SendAll(connection, head + body);
    }

    std::map<std::string, std::string> m_files;
    std::string m_throttled;
    TestHttpServer m_server;
};

struct SiteFile
{
    SiteFile(std::string name, std::string body, std::string md5 = "")
        : name(std::move(name)), body(std::move(body)), md5(std::move(md5))
    {
    }

    std::string name;
    std::string body;
    std::string md5; // empty: the body's own
};

struct SiteEntry
{
    SiteEntry(std::string src, std::string dst, bool deleteOld = false)
        : src(std::move(src)), dst(std::move(dst)), deleteOld(deleteOld)
    {
    }

    std::string src;
    std::string dst;
    bool deleteOld;
};

inline std::string Zip(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<ZipFixture::Entry> entries;
    for (const auto& [name, data] : files) {
        ZipFixture::Entry entry;
        entry.name = name;
        entry.data = data;
        entries.push_back(entry);
    }
    return ZipFixture::Build(entries);
}

// update.cfg listing the files and entries, and the files themselves.
inline std::map<std::string, std::string> Site(const std::vector<SiteFile>& files,
                                               const std::vector<SiteEntry>& entries,
                                               const std::vector<std::string>& notices = {})
{
    std::map<std::string, std::string> site;
    std::string description = "File = " + std::to_string(files.size()) + "\r\n";
    char key[32];
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::snprintf(key, sizeof key, "File%03d", static_cast<int>(i));
        description += std::string(key) + " = " + files[i].name + "\r\n";
        description += std::string(key) + "Time = 2026/12/01 10:00:00\r\n";
        description += std::string(key) +
                       "MD5 = " + (files[i].md5.empty() ? Md5Of(files[i].body) : files[i].md5) + "\r\n";
        description += std::string(key) + "Size = " + std::to_string(files[i].body.size()) + "\r\n";
        site[files[i].name] = files[i].body;
    }
    description += "Entry = " + std::to_string(entries.size()) + "\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::snprintf(key, sizeof key, "Entry%03d", static_cast<int>(i));
        description += std::string(key) + "Src = " + entries[i].src + "\r\n";
        description += std::string(key) + "Dst = " + entries[i].dst + "\r\n";
        description += std::string(key) + "Backup = true\r\n";
        description += std::string(key) + "Delete = " + (entries[i].deleteOld ? "true" : "false") + "\r\n";
    }
    description += "Notice = " + std::to_string(notices.size()) + "\r\n";
    for (std::size_t i = 0; i < notices.size(); ++i) {
        std::snprintf(key, sizeof key, "Notice%03d", static_cast<int>(i));
        description += std::string(key) + " = " + notices[i] + "\r\n";
    }
    site["update.cfg"] = description;
    return site;
}
} // namespace UpdateTestSupport
