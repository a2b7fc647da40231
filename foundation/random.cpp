#include "foundation/random.h"

#include "foundation/win32.h"

#include <wincrypt.h>

#include <exception>

namespace Brivox {

void MersenneTwister::Seed(std::uint32_t seed)
{
    m_state[0] = seed;
    for (std::uint32_t i = 1; i < StateSize; ++i)
        m_state[i] = 1812433253u * (m_state[i - 1] ^ (m_state[i - 1] >> 30)) + i;
    m_position = StateSize;
}

void MersenneTwister::SetState(const std::uint32_t (&words)[StateSize])
{
    for (std::size_t i = 0; i < StateSize; ++i)
        m_state[i] = words[i];
    m_position = StateSize;
}

void MersenneTwister::Regenerate()
{
    constexpr std::size_t shift = 397;
    for (std::size_t i = 0; i < StateSize; ++i) {
        const std::uint32_t y = (m_state[i] & 0x80000000u) | (m_state[(i + 1) % StateSize] & 0x7FFFFFFFu);
        m_state[i] = m_state[(i + shift) % StateSize] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
    m_position = 0;
}

std::uint32_t MersenneTwister::operator()()
{
    if (m_position >= StateSize)
        Regenerate();
    std::uint32_t y = m_state[m_position++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

CCryptRandom::CCryptRandom() : m_library(L"ADVAPI32.DLL", true)
{
    auto acquire = m_library.GetProc<decltype(&::CryptAcquireContextW)>(L"CryptAcquireContextW");
    // Without CRYPT_VERIFYCONTEXT the call asks for a key container, which many systems lack.
    HCRYPTPROV provider = 0;
    if (acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        m_provider = provider;
}

CCryptRandom::~CCryptRandom()
{
    if (m_provider == 0)
        return;
    if (auto release = m_library.TryGetProc<decltype(&::CryptReleaseContext)>(L"CryptReleaseContext"))
        release(m_provider, 0);
}

bool CCryptRandom::Generate(void* buffer, std::uint32_t byteCount)
{
    if (m_provider == 0)
        return false;
    auto generate = m_library.GetProc<decltype(&::CryptGenRandom)>(L"CryptGenRandom");
    return generate(m_provider, byteCount, static_cast<BYTE*>(buffer)) != FALSE;
}

std::optional<std::uint32_t> CCryptRandom::GetUInt32()
{
    std::uint32_t value = 0;
    if (!Generate(&value, sizeof value))
        return std::nullopt;
    return value;
}

CCryptRandom& GetCryptRandomSource()
{
    static CCryptRandom source;
    return source;
}

std::optional<std::uint32_t> GetSystemRandomUInt32()
{
    try {
        return GetCryptRandomSource().GetUInt32();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::uint32_t ThreadTimeEntropy()
{
    const std::uint32_t id = ::GetCurrentThreadId();
    const std::uint32_t t = id ^ (id << 25);
    LARGE_INTEGER count;
    if (!::QueryPerformanceCounter(&count))
        return t;
    const std::uint32_t lo = count.LowPart;
    const std::uint32_t hi = static_cast<std::uint32_t>(count.HighPart);
    return t ^ (lo ^ (lo << 10)) ^ (hi ^ (hi << 15));
}

std::uint32_t MixEntropy()
{
    if (auto value = GetSystemRandomUInt32())
        return *value;
    POINT cursor = {0, 0};
    ::GetCursorPos(&cursor);
    const std::uint32_t x = cursor.x, y = cursor.y;
    const std::uint32_t pid = ::GetCurrentProcessId();
    const std::uint32_t tick = ::GetTickCount();
    return (((tick << 5) ^ pid) << 15) ^ (y ^ (y << 20)) ^ (x ^ (x << 10)) ^ tick ^ pid;
}

void SeedRandomGenerator(MersenneTwister& generator)
{
    const std::uint32_t start = ::GetTickCount();
    std::uint32_t words[MersenneTwister::StateSize];
    if (GetCryptRandomSource().Generate(words, sizeof words)) {
        generator.SetState(words);
        return;
    }
    ::Sleep(0);
    std::uint32_t seed = MixEntropy() ^ ThreadTimeEntropy();
    seed ^= ::GetTickCount() - start;
    generator.Seed(seed != 0 ? seed : 4357u);
}

MersenneTwister& GetRandomGenerator()
{
    static MersenneTwister generator = [] {
        MersenneTwister seeded;
        SeedRandomGenerator(seeded);
        return seeded;
    }();
    return generator;
}

} // namespace Brivox
