#include "foundation/memory_stream.h"

namespace Brivox {

CWriteStream::CWriteStream()
    : m_owned(std::make_unique<std::vector<unsigned char>>()), m_target(m_owned.get())
{
}

CWriteStream::CWriteStream(std::vector<unsigned char>& target) : m_target(&target) {}

void CWriteStream::Write(const void* data, int count)
{
    if (count <= 0)
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_target->insert(m_target->end(), bytes, bytes + count);
}

} // namespace Brivox
