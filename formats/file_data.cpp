#include "formats/file_data.h"

#include "foundation/text_file.h"

namespace Brivox {

CExistFileData::CExistFileData(const String& path) : CFileData(path)
{
    ReadFile(path, GetBytes());
}

} // namespace Brivox
