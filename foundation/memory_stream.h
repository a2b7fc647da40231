#pragma once
// Streams over memory: block input that the encoders read, and output appended to a byte vector.

#include "foundation/file.h"

#include <memory>
#include <vector>

namespace Brivox {

// Input delivered as one or more blocks.
class IReadStream
{
public:
    virtual ~IReadStream() = default;
    // The current block.
    virtual const unsigned char* Data() = 0;
    virtual int BlockSize() = 0;
    // Moves to the next block; false when there is none.
    virtual bool NextBlock() = 0;
    // The size of all blocks together.
    virtual int TotalSize() = 0;
};

// One block of memory that the caller keeps alive while the stream is read.
class CReadStream : public IReadStream
{
public:
    CReadStream(const unsigned char* data, int size) : m_data(data), m_size(size) {}

    const unsigned char* Data() override { return m_data; }
    int BlockSize() override { return m_size; }
    bool NextBlock() override { return false; }
    int TotalSize() override { return m_size; }

private:
    const unsigned char* m_data;
    int m_size;
};

// Appends everything written to a byte vector: its own, or one the caller keeps alive.
class CWriteStream : public IWriteStream
{
public:
    CWriteStream();
    explicit CWriteStream(std::vector<unsigned char>& target);
    CWriteStream(const CWriteStream&) = delete;
    CWriteStream& operator=(const CWriteStream&) = delete;

    void Write(const void* data, int count) override;
    std::vector<unsigned char>& GetBuffer() { return *m_target; }

private:
    std::unique_ptr<std::vector<unsigned char>> m_owned;
    std::vector<unsigned char>* m_target;
};

} // namespace Brivox
