#pragma once

namespace Brivox::Detail {

// The deleter of a shared pointer to an object that someone else owns and that outlives every
// copy of the pointer: an owner hands itself to a member this way.
struct FakeDeleter
{
    template <class T> void operator()(T*) const noexcept {}
};

} // namespace Brivox::Detail
