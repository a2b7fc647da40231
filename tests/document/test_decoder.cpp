#include "test_decoder.h"

#include "formats/image_loader.h"
#include "foundation/exception.h"
#include "imaging/plane.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

namespace TestDecoder {

namespace {

struct SFile
{
    Brivox::CSize size;
    std::uint32_t pixel = 0;
    bool alpha = false;
    std::string gate;
    bool failOpen = false;
    bool failLoad = false;
    bool scalable = false;
};

std::optional<SFile> Parse(const Brivox::FileBytes& bytes)
{
    std::istringstream line(std::string(bytes.begin(), bytes.end()));
    SFile file;
    std::string colour;
    if (!(line >> file.size.cx >> file.size.cy >> colour) || file.size.cx <= 0 || file.size.cy <= 0 ||
        (colour.size() != 6 && colour.size() != 8) ||
        colour.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    file.pixel = PixelOf(colour);
    for (std::string word; line >> word;) {
        if (word == "alpha")
            file.alpha = true;
        else if (word.starts_with("gate="))
            file.gate = word.substr(5);
        else if (word == "fail=open")
            file.failOpen = true;
        else if (word == "fail=load")
            file.failLoad = true;
        else if (word == "scalable")
            file.scalable = true;
        else
            return std::nullopt;
    }
    return file;
}

thread_local int opensOnThisThread = 0;

class Record
{
public:
    void Opened(const std::wstring& name, bool oneShot)
    {
        ++opensOnThisThread;
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_opens[name];
        m_oneShot[name] = oneShot;
    }
    int OpenCount(const std::wstring& name)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_opens[name];
    }
    void Hinted(const std::wstring& name, Brivox::CSize atLeast)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_hints[name].push_back(atLeast);
    }
    std::vector<Brivox::CSize> ScaleHints(const std::wstring& name)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_hints[name];
    }
    bool WasOneShot(const std::wstring& name)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_oneShot[name];
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_opens.clear();
        m_oneShot.clear();
        m_hints.clear();
        overlapping = 0;
    }

    std::atomic<int> overlapping{0};

private:
    std::mutex m_lock;
    std::map<std::wstring, int> m_opens;
    std::map<std::wstring, bool> m_oneShot;
    std::map<std::wstring, std::vector<Brivox::CSize>> m_hints;
};

Record& TheRecord()
{
    static Record record;
    return record;
}

class TstLoader : public Brivox::IImageLoader
{
public:
    bool Open(const std::shared_ptr<Brivox::CFileData>& data, bool oneShot) override
    {
        const Use use(*this);
        const std::wstring name = data->GetName().CStr();
        m_name = name;
        m_drawn = {};
        TheRecord().Opened(name, oneShot);
        if (!name.ends_with(L".tst"))
            return false;
        const auto file = Parse(data->GetBytes());
        if (!file || (!file->gate.empty() && !Gates().Pass(file->gate)) || file->failOpen)
            return false;
        m_file = *file;
        m_drawn = m_file.size;
        return true;
    }
    Brivox::CSize SetScaleHint(Brivox::CSize atLeast) override
    {
        const Use use(*this);
        TheRecord().Hinted(m_name, atLeast);
        m_drawn = m_file.size;
        for (const int denominator : {8, 4, 2}) {
            const Brivox::CSize scaled{(m_file.size.cx + denominator - 1) / denominator,
                                       (m_file.size.cy + denominator - 1) / denominator};
            if (m_file.scalable && scaled.cx >= atLeast.cx && scaled.cy >= atLeast.cy) {
                m_drawn = scaled;
                break;
            }
        }
        return m_drawn;
    }
    Brivox::CSize GetSize() override
    {
        const Use use(*this);
        return m_file.size;
    }
    void Load(Brivox::CPlane& target, Brivox::CPoint point, bool) override
    {
        const Use use(*this);
        Brivox::Detail::DecodeIntoPlane(
            target, point, m_drawn, [this](std::uint8_t* top, std::ptrdiff_t stride) {
                // Row by row through a member, as a decoder keeps its place in the data: a second
                // thread in here would skip rows.
                for (m_row = 0; m_row < m_drawn.cy; ++m_row) {
                    if (m_file.failLoad && m_row == m_drawn.cy / 2)
                        throw Brivox::ImageLoadException(L"fail=load");
                    auto* row = reinterpret_cast<std::uint32_t*>(top + m_row * stride);
                    std::fill_n(row, m_drawn.cx, m_file.pixel);
                }
            });
    }
    bool HasAlpha() override
    {
        const Use use(*this);
        return m_file.alpha;
    }
    Brivox::String GetFormatName() override
    {
        const Use use(*this);
        return L"TST";
    }
    Brivox::String GetFilter() override { return L"*.tst"; }

private:
    // Counts a call that overlaps another call on this decoder.
    class Use
    {
    public:
        explicit Use(TstLoader& loader) : m_users(loader.m_users)
        {
            if (++m_users != 1)
                ++TheRecord().overlapping;
        }
        ~Use() { --m_users; }

    private:
        std::atomic<int>& m_users;
    };

    SFile m_file;
    std::wstring m_name;
    Brivox::CSize m_drawn; // the size Load draws: the file's, or as the scale hint chose
    int m_row = 0;
    std::atomic<int> m_users{0};
};

} // namespace

void Register()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto& registry = Brivox::GetImageLoaderFactories();
        Brivox::FactoryList<Brivox::IImageLoader> list = *registry.Snapshot();
        list.insert(list.begin(),
                    {0, std::make_shared<Brivox::DefaultFactory<TstLoader, Brivox::IImageLoader>>()});
        registry.Replace(std::move(list));
    });
}

void Reset()
{
    Gates().Reset();
    TheRecord().Reset();
}

DeadlineSync::GateBoard& Gates()
{
    static DeadlineSync::GateBoard gates;
    return gates;
}

int OpenCount(const std::wstring& name)
{
    return TheRecord().OpenCount(name);
}

std::vector<Brivox::CSize> ScaleHints(const std::wstring& name)
{
    return TheRecord().ScaleHints(name);
}

int OpensOnThisThread()
{
    return opensOnThisThread;
}

bool WasOneShot(const std::wstring& name)
{
    return TheRecord().WasOneShot(name);
}

int OverlappingCalls()
{
    return TheRecord().overlapping;
}

std::uint32_t PixelOf(const std::string& colour)
{
    const auto value = static_cast<std::uint32_t>(std::stoul(colour, nullptr, 16));
    return colour.size() == 8 ? value : value | 0xFF000000u;
}

} // namespace TestDecoder
