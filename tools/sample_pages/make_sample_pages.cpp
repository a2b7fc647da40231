// Writes the sample pages into the folder given as the only argument and names what it wrote.

#include "tools/sample_pages/sample_pages.h"

#include "foundation/command_line.h"
#include "foundation/exception.h"

#include <cstdio>

int main()
{
    const std::vector<Brivox::String> arguments = Brivox::SplitCommandLine();
    if (arguments.size() != 2) {
        std::fputs("usage: make_sample_pages <folder>\n", stderr);
        return 2;
    }
    try {
        const SamplePages::SWritten written = SamplePages::WritePages(arguments[1]);
        std::printf("%ls\n%ls\n", written.pageFolder.CStr(), written.archive.CStr());
        return 0;
    } catch (const Brivox::Exception& error) {
        std::fprintf(stderr, "make_sample_pages: %s\n", error.what());
        return 1;
    }
}
