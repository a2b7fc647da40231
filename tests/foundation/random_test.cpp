#include "foundation/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>

TEST(MersenneTwister, TheTenThousandthOutputOfTheStandardSeed)
{
    Brivox::MersenneTwister generator;
    std::uint32_t value = 0;
    for (int i = 0; i < 10000; ++i)
        value = generator();
    EXPECT_EQ(value, 4123659995u);
}

TEST(MersenneTwister, MatchesTheReferenceGeneratorForOtherSeeds)
{
    for (std::uint32_t seed : {0u, 1u, 4357u, 19650218u, 0xFFFFFFFFu}) {
        Brivox::MersenneTwister generator(seed);
        std::mt19937 reference(seed);
        for (int i = 0; i < 1500; ++i)
            ASSERT_EQ(generator(), reference()) << "seed " << seed << " output " << i;
    }
}

TEST(MersenneTwister, AStateOfGivenWordsIsRegeneratedBeforeTheFirstOutput)
{
    std::uint32_t words[Brivox::MersenneTwister::StateSize];
    std::stringstream text;
    for (std::size_t i = 0; i < Brivox::MersenneTwister::StateSize; ++i) {
        words[i] = static_cast<std::uint32_t>(i * 2654435761u + 12345u);
        text << words[i] << ' ';
    }
    Brivox::MersenneTwister generator(1);
    generator.SetState(words);
    std::mt19937 reference;
    text >> reference; // the standard text form of an engine is its 624 state words
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(generator(), reference()) << "output " << i;
}

TEST(CryptRandom, TheSystemSourceGivesRandomWords)
{
    std::uint32_t words[Brivox::MersenneTwister::StateSize] = {};
    ASSERT_TRUE(Brivox::GetCryptRandomSource().Generate(words, sizeof words));
    int zeros = 0;
    for (std::uint32_t word : words)
        zeros += word == 0;
    EXPECT_LT(zeros, 3);
    EXPECT_TRUE(Brivox::GetSystemRandomUInt32().has_value());
}

TEST(RandomGenerator, IsOneProcessWideGeneratorSeededFromTheSource)
{
    Brivox::MersenneTwister& generator = Brivox::GetRandomGenerator();
    EXPECT_EQ(&Brivox::GetRandomGenerator(), &generator);
    // Not the standard seed's sequence.
    Brivox::MersenneTwister standard;
    int same = 0;
    for (int i = 0; i < 8; ++i)
        same += generator() == standard();
    EXPECT_LT(same, 8);
}
