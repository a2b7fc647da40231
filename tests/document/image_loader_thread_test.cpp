#include "document/image_loader_thread.h"

#include "foundation/fake_deleter.h"
#include "foundation/message_box.h"
#include "imaging/plane.h"

#include "deadline_sync.h"
#include "test_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using Brivox::RankedMutex;
using Brivox::ThreadedImageLoader;
using DeadlineSync::Await;
using DeadlineSync::hangLimit;
using TestDecoder::Gates;
using TestDecoder::OpenCount;
using Entry = std::shared_ptr<ThreadedImageLoader::SEntry>;

namespace Brivox {

// Watches the calls waiting inside a loader and wakes its conditions as a spurious wake-up would.
class ThreadedImageLoaderProbe
{
public:
    [[nodiscard]] static bool WaitForWaitingGets(ThreadedImageLoader& loader, int count)
    {
        ThreadedImageLoader::Lock lock(loader.m_lock);
        return loader.m_finished.wait_for(lock, hangLimit, [&] { return loader.m_waitingGets >= count; });
    }
    // Until the destructor has begun.
    [[nodiscard]] static bool WaitForTheEnd(ThreadedImageLoader& loader)
    {
        ThreadedImageLoader::Lock lock(loader.m_lock);
        return loader.m_finished.wait_for(lock, hangLimit, [&] { return !loader.m_running; });
    }
    static void WakeWithoutCause(ThreadedImageLoader& loader)
    {
        ThreadedImageLoader::Lock lock(loader.m_lock);
        loader.m_finished.notify_all();
        loader.m_queued.notify_all();
    }
};

} // namespace Brivox

using Brivox::ThreadedImageLoaderProbe;

namespace {

class FileKey : public ThreadedImageLoader::IFileID
{
public:
    explicit FileKey(std::wstring name) : name(std::move(name)) {}
    bool Equals(const IFileID& other) const override
    {
        const auto* key = dynamic_cast<const FileKey*>(&other);
        return key && key->name == name;
    }

    const std::wstring name;
};

std::shared_ptr<FileKey> Key(const std::wstring& name)
{
    return std::make_shared<FileKey>(name);
}

// Files in memory, named by their keys; reading a file marked for it waits at the gate
// "password " + its name, as an archive entry waits for its password.
class FakeOwner : public ThreadedImageLoader::IOwner
{
public:
    void SetFile(const std::wstring& name, const std::string& content)
    {
        std::lock_guard<std::mutex> lock(lock_);
        files_[name] = content;
    }
    void AskPasswordFor(const std::wstring& name)
    {
        std::lock_guard<std::mutex> lock(lock_);
        askPassword_.insert(name);
    }

    std::atomic<bool> cannotCreateDecoders{false};

    std::shared_ptr<Brivox::CImageLoader> CreateImageLoader() override
    {
        if (cannotCreateDecoders)
            throw std::bad_alloc();
        return std::make_shared<Brivox::CImageLoader>();
    }
    std::shared_ptr<Brivox::CFileData> GetFileData(const ThreadedImageLoader::IFileID& key) override
    {
        const std::wstring& name = static_cast<const FileKey&>(key).name;
        auto data = std::make_shared<Brivox::CFileData>(name.c_str());
        std::string content;
        bool ask = false;
        {
            std::lock_guard<std::mutex> lock(lock_);
            content = files_[name];
            ask = askPassword_.count(name) > 0;
        }
        if (ask && !Gates().Pass("password " + std::string(name.begin(), name.end())))
            return data;
        data->GetBytes().assign(content.begin(), content.end());
        return data;
    }

private:
    std::mutex lock_;
    std::map<std::wstring, std::string> files_;
    std::set<std::wstring> askPassword_;
};

class ThreadedImageLoaderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestDecoder::Register();
        TestDecoder::Reset();
        // Files a.tst to h.tst: 10 to 17 pixels wide, so that a decoder tells its file.
        for (int i = 0; i < 8; ++i)
            owner.SetFile(Name(i), std::to_string(10 + i) + " 4 3366cc");
        loader = std::make_unique<ThreadedImageLoader>(
            std::shared_ptr<ThreadedImageLoader::IOwner>(&owner, Brivox::Detail::FakeDeleter()));
    }
    void TearDown() override
    {
        Gates().OpenAll();
        loader.reset();
    }

    static std::wstring Name(int i) { return std::wstring(1, static_cast<wchar_t>(L'a' + i)) + L".tst"; }
    // A file whose decode waits at the gate of its own name.
    void Gated(int i) { owner.SetFile(Name(i), std::to_string(10 + i) + " 4 3366cc gate=" + Gate(i)); }
    static std::string Gate(int i) { return "g" + std::to_string(i); }
    // Enqueues the file with its gate held and returns once the worker waits there.
    [[nodiscard]] bool StartHeldDecode(int i)
    {
        Gated(i);
        Gates().Hold(Gate(i));
        Enqueue(i);
        return Gates().WaitForArrivals(Gate(i), 1);
    }

    Entry Get(int i) { return loader->Get(Key(Name(i))); }
    void Enqueue(int i) { loader->Enqueue(Key(Name(i))); }
    [[nodiscard]] bool Idle() { return loader->WaitIdle(hangLimit); }
    // The decoded file's width under the entry's lock, -1 without a decoder.
    static int WidthOf(const Entry& entry)
    {
        if (!entry->decoder)
            return -1;
        std::lock_guard<RankedMutex> use(entry->lock);
        return entry->decoder->GetSize().cx;
    }

    FakeOwner owner;
    std::unique_ptr<ThreadedImageLoader> loader;
};

TEST_F(ThreadedImageLoaderTest, SizesBelowThreeTurnCachingOffAndEveryGetDecodesOneShotInTheCaller)
{
    for (int size : {1, 2}) {
        SCOPED_TRACE(size);
        TestDecoder::Reset();
        loader->SetCacheSize(size);
        Enqueue(0);
        ASSERT_TRUE(Idle());
        EXPECT_EQ(OpenCount(Name(0)), 0) << "Enqueue decoded";
        for (int round = 1; round <= 2; ++round) {
            EXPECT_EQ(WidthOf(Get(0)), 10);
            EXPECT_EQ(OpenCount(Name(0)), round);
            EXPECT_TRUE(TestDecoder::WasOneShot(Name(0)));
        }
    }
}

TEST_F(ThreadedImageLoaderTest, ARingOfThreeOverwritesItsOldestResult)
{
    loader->SetCacheSize(3);
    for (int i = 0; i < 4; ++i)
        Enqueue(i);
    ASSERT_TRUE(Idle());
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(WidthOf(Get(i)), 10 + i);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(OpenCount(Name(i)), 1) << i;
    EXPECT_FALSE(TestDecoder::WasOneShot(Name(1)));

    EXPECT_EQ(WidthOf(Get(0)), 10);
    EXPECT_EQ(OpenCount(Name(0)), 2) << "the oldest result was still there";
}

TEST_F(ThreadedImageLoaderTest, SetCacheSizeWithThePresentSizeChangesNothing)
{
    loader->SetCacheSize(3);
    ASSERT_TRUE(StartHeldDecode(0));
    Enqueue(1); // queued behind
    loader->SetCacheSize(3);
    Gates().Open(Gate(0));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(WidthOf(Get(0)), 10);
    EXPECT_EQ(WidthOf(Get(1)), 11);
    EXPECT_EQ(OpenCount(Name(0)), 1) << "the decode in flight was kept out";
    EXPECT_EQ(OpenCount(Name(1)), 1) << "the queue was emptied";
}

// The worker's decode of the key waits at a gate: in the decoder's Open, or while the owner asks
// for the archive's password. A Get of that key waits for it, however long, and takes its result.
TEST_F(ThreadedImageLoaderTest, AGetOfTheKeyInFlightWaitsForTheWorkersResult)
{
    for (const bool password : {false, true}) {
        SCOPED_TRACE(password);
        TestDecoder::Reset();
        loader->SetCacheSize(3);
        loader->Clear();
        const std::string gate = password ? "password c.tst" : Gate(2);
        if (password)
            owner.AskPasswordFor(Name(2));
        else
            Gated(2);
        Gates().Hold(gate);
        Enqueue(2);
        ASSERT_TRUE(Gates().WaitForArrivals(gate, 1));

        auto got = std::async(std::launch::async, [&] { return Get(2); });
        ASSERT_TRUE(ThreadedImageLoaderProbe::WaitForWaitingGets(*loader, 1));
        for (int i = 0; i < 100; ++i) {
            ThreadedImageLoaderProbe::WakeWithoutCause(*loader);
            std::this_thread::yield();
        }
        Gates().Open(gate);
        const Entry entry = Await(got);
        EXPECT_EQ(WidthOf(entry), 12);
        EXPECT_EQ(OpenCount(Name(2)), 1);
        EXPECT_EQ(Get(2), entry) << "not the ring's entry";
    }
}

// A second Get of a file that a first Get is decoding waits for that decode instead of opening
// the file again.
TEST_F(ThreadedImageLoaderTest, AGetOfTheKeyAnotherGetDecodesWaitsForItsResult)
{
    loader->SetCacheSize(3);
    Gated(0);
    Gates().Hold(Gate(0));
    auto first = std::async(std::launch::async, [&] { return Get(0); });
    ASSERT_TRUE(Gates().WaitForArrivals(Gate(0), 1));
    auto second = std::async(std::launch::async, [&] { return Get(0); });
    ASSERT_TRUE(ThreadedImageLoaderProbe::WaitForWaitingGets(*loader, 1));
    Enqueue(0); // already under way: not queued again
    Gates().Open(Gate(0));
    const Entry entry = Await(first);
    EXPECT_EQ(Await(second), entry);
    EXPECT_EQ(WidthOf(entry), 10);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(OpenCount(Name(0)), 1);
}

TEST_F(ThreadedImageLoaderTest, AGetOfAQueuedKeyTakesItOutOfTheQueueAndDecodesItself)
{
    loader->SetCacheSize(3);
    ASSERT_TRUE(StartHeldDecode(0));
    Enqueue(1); // queued behind
    EXPECT_EQ(WidthOf(Get(1)), 11);
    EXPECT_EQ(OpenCount(Name(1)), 1);
    Gates().Open(Gate(0));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(OpenCount(Name(1)), 1);
}

TEST_F(ThreadedImageLoaderTest, AFailedDecodeIsRememberedWithCachingOn)
{
    loader->SetCacheSize(3);
    owner.SetFile(Name(0), "10 4 3366cc fail=open");
    owner.SetFile(Name(1), "not an image");
    for (int i : {0, 1}) {
        EXPECT_FALSE(Get(i)->decoder);
        EXPECT_FALSE(Get(i)->decoder);
        Enqueue(i);
        ASSERT_TRUE(Idle());
        EXPECT_EQ(OpenCount(Name(i)), 1) << i;
    }
}

// The worker's decoder cannot be made: nothing is stored, nothing stays in flight, and a Get
// waiting for the key decodes it itself.
TEST_F(ThreadedImageLoaderTest, AWorkerThatCannotMakeADecoderLeavesNothingInFlight)
{
    loader->SetCacheSize(3);
    owner.cannotCreateDecoders = true;
    Enqueue(0);
    ASSERT_TRUE(Idle());
    owner.cannotCreateDecoders = false;
    EXPECT_EQ(WidthOf(Get(0)), 10);
    EXPECT_EQ(OpenCount(Name(0)), 1);
}

TEST_F(ThreadedImageLoaderTest, ClearKeepsTheWorkersDecodeOutOfTheRingAndWaitsForIt)
{
    loader->SetCacheSize(3);
    ASSERT_TRUE(StartHeldDecode(0));

    std::atomic<bool> opened{false};
    auto cleared = std::async(std::launch::async, [&] {
        loader->Clear();
        return opened.load();
    });
    for (int i = 0; i < 100; ++i) {
        ThreadedImageLoaderProbe::WakeWithoutCause(*loader);
        std::this_thread::yield();
    }
    opened = true;
    Gates().Open(Gate(0));
    EXPECT_TRUE(Await(cleared)) << "Clear returned during the decode";
    EXPECT_EQ(WidthOf(Get(0)), 10);
    EXPECT_EQ(OpenCount(Name(0)), 2);
}

// A Get decodes in its caller while the ring is cleared, resized or switched off: the result is
// returned, never stored (the ring may be gone), and the next Get decodes anew.
TEST_F(ThreadedImageLoaderTest, AChangeDuringACallersDecodeKeepsItOutOfTheRing)
{
    const struct
    {
        const char* change;
        int size; // 3: Clear
    } cases[] = {{"Clear", 3}, {"resize", 5}, {"switch off", 0}};
    Gated(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        TestDecoder::Reset();
        loader->SetCacheSize(3);
        loader->Clear();
        Gates().Hold(Gate(0));
        auto got = std::async(std::launch::async, [&] { return Get(0); });
        ASSERT_TRUE(Gates().WaitForArrivals(Gate(0), 1));
        if (c.size == 3)
            loader->Clear();
        else
            loader->SetCacheSize(c.size);
        Gates().Open(Gate(0));
        EXPECT_EQ(WidthOf(Await(got)), 10);
        loader->SetCacheSize(3);
        EXPECT_EQ(WidthOf(Get(0)), 10);
        EXPECT_EQ(OpenCount(Name(0)), 2);
    }
}

TEST_F(ThreadedImageLoaderTest, DestructionWaitsForTheDecodeAndLetsAWaitingGetReturn)
{
    loader->SetCacheSize(3);
    ASSERT_TRUE(StartHeldDecode(0));
    auto got = std::async(std::launch::async, [&] { return Get(0); });
    ASSERT_TRUE(ThreadedImageLoaderProbe::WaitForWaitingGets(*loader, 1));

    std::atomic<bool> opened{false};
    ThreadedImageLoader* const ending = loader.get();
    auto destroyed = std::async(std::launch::async, [&] {
        loader.reset();
        return opened.load();
    });
    ASSERT_TRUE(ThreadedImageLoaderProbe::WaitForTheEnd(*ending));
    opened = true;
    Gates().Open(Gate(0));
    EXPECT_TRUE(Await(destroyed)) << "the loader was gone during the decode";
    EXPECT_EQ(WidthOf(Await(got)), 10);
    EXPECT_EQ(OpenCount(Name(0)), 1);
}

void ClearPlane(Brivox::CPlane& plane)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y)
        std::memset(bits.Pixel(0, y), 0, plane.GetWidth() * 4);
}

int CountOtherPixels(const Brivox::CPlane& plane, std::uint32_t expected)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    int count = 0;
    for (int y = 0; y < plane.GetHeight(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(bits.Pixel(0, y));
        count += static_cast<int>(
            std::count_if(row, row + plane.GetWidth(), [&](std::uint32_t p) { return p != expected; }));
    }
    return count;
}

TEST_F(ThreadedImageLoaderTest, TwoThreadsDrawOneCachedDecoderIntoExactPlanes)
{
    loader->SetCacheSize(3);
    owner.SetFile(Name(0), "64 64 80336699");
    const std::uint32_t expected = TestDecoder::PixelOf("80336699");
    DeadlineSync::Monitor start;
    int ready = 0;
    auto draw = [&] {
        const Entry entry = Get(0);
        Brivox::CMemoryPlane32 plane({64, 64});
        int wrong = 0;
        // Both begin together, or the first might be done before the second starts.
        start.Update([&] { ++ready; });
        if (!start.WaitUntil([&] { return ready == 2; }))
            ++wrong;
        for (int round = 0; round < 1000; ++round) {
            ClearPlane(plane);
            {
                std::lock_guard<RankedMutex> use(entry->lock);
                entry->decoder->Load(plane, {0, 0});
            }
            wrong += CountOtherPixels(plane, expected);
        }
        return std::pair{entry, wrong};
    };
    auto first = std::async(std::launch::async, draw);
    auto second = std::async(std::launch::async, draw);
    const auto [firstEntry, firstWrong] = Await(first);
    const auto [secondEntry, secondWrong] = Await(second);
    EXPECT_EQ(firstEntry, secondEntry);
    EXPECT_EQ(firstWrong, 0);
    EXPECT_EQ(secondWrong, 0);
    EXPECT_EQ(TestDecoder::OverlappingCalls(), 0);
    EXPECT_EQ(OpenCount(Name(0)), 1);
}

// Three threads enqueue, get, clear and resize at random while every decode waits for a thread
// that lets the waiting decodes go in random order.
TEST_F(ThreadedImageLoaderTest, RandomCallsFromThreeThreadsEachGetTheirOwnFile)
{
    for (int i = 0; i < 8; ++i)
        Gated(i);
    owner.SetFile(Name(5), "15 4 3366cc gate=g5 fail=open");
    Gates().HoldEveryPass();
    DeadlineSync::RandomReleaser releaser(Gates(), 3);

    auto run = [&](unsigned seed) {
        std::mt19937 random(seed);
        int wrong = 0;
        for (int step = 0; step < 150; ++step) {
            const int i = static_cast<int>(random() % 8);
            const int choice = static_cast<int>(random() % 100);
            if (choice < 40) {
                Enqueue(i);
            } else if (choice < 85) {
                const Entry entry = Get(i);
                const int width = WidthOf(entry);
                if (!entry->key->Equals(FileKey(Name(i))) || width != (i == 5 ? -1 : 10 + i))
                    ++wrong;
            } else if (choice < 92) {
                loader->Clear();
            } else {
                const int sizes[] = {0, 2, 3, 4, 6};
                loader->SetCacheSize(sizes[random() % 5]);
            }
        }
        return wrong;
    };
    std::vector<std::future<int>> threads;
    for (unsigned seed : {1u, 2u, 3u})
        threads.push_back(std::async(std::launch::async, run, seed));
    for (auto& thread : threads)
        EXPECT_EQ(Await(thread), 0);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(TestDecoder::OverlappingCalls(), 0);
}

// A failed check ends the program through the abort box; the test answers it.
int AnswerBox(HWND, const char*, const char*, UINT)
{
    return IDOK;
}

TEST_F(ThreadedImageLoaderTest, DeathTestAThreadHoldingOneDecodersLockTakingAnotherFailsTheLockCheck)
{
    if (!Brivox::LockOrder::checked)
        GTEST_SKIP() << "lock checks are off in this build";
    loader->SetCacheSize(3);
    const Entry first = Get(0);
    const Entry second = Get(1);
    EXPECT_EXIT(
        {
            Brivox::SetMessageBoxHook(&AnswerBox);
            std::lock_guard<RankedMutex> one(first->lock);
            std::lock_guard<RankedMutex> two(second->lock);
        },
        testing::ExitedWithCode(1), "a lock of rank 4 taken while one of that rank or above is held");
}

} // namespace
