#pragma once

namespace Brivox {

// Told how far a transfer has come: done and total are byte counts.
class IProgressListener
{
public:
    virtual ~IProgressListener() = default;
    virtual void OnProgress(int done, int total) = 0;
};

} // namespace Brivox
