#include "ui/msg_hook.h"

#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Brivox::IMsgHooker;
using Brivox::SMessage;
using Brivox::Detail::MsgHookList;

namespace {

// Writes its name into a shared journal for each message, then does what the test asks.
class JournalHooker : public IMsgHooker
{
public:
    JournalHooker(std::string name, std::vector<std::string>& journal, bool answer = false)
        : m_name(std::move(name)), m_journal(journal), m_answer(answer)
    {
    }

    bool HookMessage(SMessage& message) override
    {
        m_journal.push_back(m_name);
        seenList = message.list;
        // A copy runs: an action may replace itself, which would destroy the closure running.
        if (const auto run = action)
            run(message);
        return m_answer;
    }

    std::function<void(SMessage&)> action;
    MsgHookList* seenList = nullptr;

private:
    std::string m_name;
    std::vector<std::string>& m_journal;
    bool m_answer;
};

SMessage Message(UINT message = WM_USER)
{
    return SMessage{nullptr, message, 0, 0, 0, nullptr};
}

bool Dispatch(MsgHookList& list, UINT message = WM_USER)
{
    SMessage record = Message(message);
    return list.Dispatch(record);
}

} // namespace

TEST(MsgHookList, EveryHookerIsCalledInJoiningOrderWhateverTheOthersAnswer)
{
    struct Case
    {
        bool first;
        bool second;
        bool handled;
    };
    for (const Case& c : {Case{true, true, true}, Case{true, false, true}, Case{false, true, true},
                          Case{false, false, false}}) {
        std::vector<std::string> journal;
        auto list = MsgHookList::Create();
        JournalHooker first("first", journal, c.first);
        JournalHooker second("second", journal, c.second);
        list->Add(&first);
        list->Add(&second);
        EXPECT_EQ(Dispatch(*list), c.handled) << c.first << c.second;
        EXPECT_EQ(journal, (std::vector<std::string>{"first", "second"})) << c.first << c.second;
    }
}

TEST(MsgHookList, AHookerRemovedByAnEarlierOneIsSkippedAtOnce)
{
    std::vector<std::string> journal;
    auto list = MsgHookList::Create();
    JournalHooker first("first", journal);
    JournalHooker second("second", journal);
    JournalHooker third("third", journal);
    list->Add(&first);
    list->Add(&second);
    list->Add(&third);
    first.action = [&](SMessage& message) {
        message.list->Remove(&second);
        first.action = nullptr;
    };
    Dispatch(*list);
    Dispatch(*list);
    EXPECT_EQ(journal, (std::vector<std::string>{"first", "third", "first", "third"}));
}

TEST(MsgHookList, AHookerAddedDuringADispatchIsCalledFromTheNextMessageOn)
{
    std::vector<std::string> journal;
    auto list = MsgHookList::Create();
    JournalHooker first("first", journal);
    JournalHooker late("late", journal);
    list->Add(&first);
    first.action = [&](SMessage& message) {
        message.list->Add(&late);
        first.action = nullptr;
    };
    Dispatch(*list);
    Dispatch(*list);
    EXPECT_EQ(journal, (std::vector<std::string>{"first", "first", "late"}));
}

TEST(MsgHookList, RemovingTheLastHookerDeletesTheListAtOnceOrWhenTheDispatchEnds)
{
    std::vector<std::string> journal;
    {
        // No dispatch running: at once.
        std::weak_ptr<MsgHookList> watched;
        JournalHooker only("only", journal);
        {
            auto list = MsgHookList::Create();
            list->Add(&only);
            watched = list;
        }
        ASSERT_FALSE(watched.expired());
        watched.lock()->Remove(&only);
        EXPECT_TRUE(watched.expired());
    }
    {
        // From inside the dispatch: when it ends.
        std::weak_ptr<MsgHookList> watched;
        JournalHooker only("only", journal);
        bool aliveInside = false;
        {
            auto list = MsgHookList::Create();
            list->Add(&only);
            watched = list;
        }
        only.action = [&](SMessage& message) {
            message.list->Remove(&only);
            aliveInside = !watched.expired();
        };
        Dispatch(*watched.lock());
        EXPECT_TRUE(aliveInside);
        EXPECT_TRUE(watched.expired());
    }
}

TEST(MsgHookList, AHookerThatDeletesItselfIsCalledNoMore)
{
    std::vector<std::string> journal;
    auto list = MsgHookList::Create();
    JournalHooker first("first", journal);
    auto doomed = std::make_unique<JournalHooker>("doomed", journal);
    JournalHooker last("last", journal);
    list->Add(&first);
    list->Add(doomed.get());
    list->Add(&last);
    doomed->action = [&](SMessage&) { doomed.reset(); };
    Dispatch(*list);
    Dispatch(*list);
    EXPECT_EQ(journal, (std::vector<std::string>{"first", "doomed", "last", "first", "last"}));
}

TEST(MsgHookList, AHookerInTwoListsLeavesBothWhenDestroyed)
{
    std::vector<std::string> journal;
    auto one = MsgHookList::Create();
    auto two = MsgHookList::Create();
    JournalHooker stays("stays", journal);
    one->Add(&stays);
    two->Add(&stays);
    {
        JournalHooker leaves("leaves", journal);
        one->Add(&leaves);
        two->Add(&leaves);
    }
    Dispatch(*one);
    Dispatch(*two);
    EXPECT_EQ(journal, (std::vector<std::string>{"stays", "stays"}));
}

TEST(MsgHookList, TheListPointerIsSetOnlyWhileTheDispatchRuns)
{
    std::vector<std::string> journal;
    auto list = MsgHookList::Create();
    JournalHooker hooker("hooker", journal);
    list->Add(&hooker);

    SMessage record = Message();
    list->Dispatch(record);
    EXPECT_EQ(hooker.seenList, list.get());
    EXPECT_EQ(record.list, nullptr);

    hooker.action = [](SMessage&) { throw Brivox::RuntimeException(L"hooker failed"); };
    SMessage failing = Message();
    EXPECT_THROW(list->Dispatch(failing), Brivox::RuntimeException);
    EXPECT_EQ(failing.list, nullptr);
    // The list works on after the exception.
    hooker.action = nullptr;
    journal.clear();
    EXPECT_FALSE(Dispatch(*list));
    EXPECT_EQ(journal, std::vector<std::string>{"hooker"});
}

TEST(MsgHookList, ARemoveFromAnotherThreadWaitsForTheRunningDispatch)
{
    std::vector<std::string> journal;
    auto list = MsgHookList::Create();
    JournalHooker watched("watched", journal);
    list->Add(&watched);
    std::atomic<bool> removing{false};
    std::atomic<bool> hookerReturning{false};
    bool hookerReturnedFirst = false;
    std::thread remover;
    watched.action = [&](SMessage&) {
        watched.action = nullptr;
        remover = std::thread([&] {
            removing = true;
            list->Remove(&watched);
            hookerReturnedFirst = hookerReturning;
        });
        while (!removing)
            std::this_thread::yield();
        hookerReturning = true;
    };
    Dispatch(*list);
    remover.join();
    EXPECT_TRUE(hookerReturnedFirst);
}
