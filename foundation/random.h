#pragma once
// The process-wide Mersenne Twister (MT19937, 32-bit outputs), seeded once from the system's
// cryptographic random source or, where that fails, from mixed system values.

#include "foundation/dynamic_library.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace Brivox {

class MersenneTwister
{
public:
    using result_type = std::uint32_t;
    static constexpr std::size_t StateSize = 624;

    explicit MersenneTwister(std::uint32_t seed = 5489u) { Seed(seed); }

    // The standard initialisation from one 32-bit seed.
    void Seed(std::uint32_t seed);
    // Takes the words as the whole state; the first draw regenerates it.
    void SetState(const std::uint32_t (&words)[StateSize]);

    std::uint32_t operator()();

    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return 0xFFFFFFFFu; }

private:
    void Regenerate();

    std::uint32_t m_state[StateSize];
    std::size_t m_position;
};

// The system's cryptographic random source, reached through the cryptography DLL loaded at run
// time. Without a provider it yields nothing.
class CCryptRandom
{
public:
    // Throws DllNotFoundException or EntryPointNotFoundException when the DLL or the export is
    // missing; a provider that cannot be had is not an error.
    CCryptRandom();
    ~CCryptRandom();
    CCryptRandom(const CCryptRandom&) = delete;
    CCryptRandom& operator=(const CCryptRandom&) = delete;

    [[nodiscard]] bool Generate(void* buffer, std::uint32_t byteCount);
    std::optional<std::uint32_t> GetUInt32();

private:
    CDynamicLibrary m_library;
    std::uintptr_t m_provider = 0;
};

// The process-wide source, made by the first call.
CCryptRandom& GetCryptRandomSource();
// Four bytes of the source; nothing when it has none or cannot be made.
std::optional<std::uint32_t> GetSystemRandomUInt32();

// Volatile values of the calling thread and process, for seeding without the source.
std::uint32_t ThreadTimeEntropy();
std::uint32_t MixEntropy();

// The whole state from the source, else the standard initialisation from mixed system values.
void SeedRandomGenerator(MersenneTwister& generator);

// The process-wide generator, seeded once by its first call. It has no lock: its users draw from
// one thread.
MersenneTwister& GetRandomGenerator();

} // namespace Brivox
