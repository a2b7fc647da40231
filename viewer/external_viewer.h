#pragma once
// The start of an external viewer: its settings filled in from the file it is given.

#include "foundation/process.h"
#include "foundation/string.h"

// The program, arguments and working folder of a viewer for the source file on disk. The argument
// template knows $(dir), $(file), $(ext), $(name) and $(full), the folder template only $(dir);
// each is expanded in one pass, so a value never has a variable replaced inside it. The program
// and the folder have their environment references expanded; the program is not resolved
// against any folder, so a bare name is left for the shell to find.
Brivox::ProcessStartInfo MakeExternalViewerStart(const Brivox::String& source, const Brivox::String& program,
                                                 const Brivox::String& argumentTemplate,
                                                 const Brivox::String& folderTemplate);
