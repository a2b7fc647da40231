#pragma once
// The main window's caption: the user's template with its $(name) variables filled in from what
// the window shows.

#include "foundation/geometry.h"
#include "foundation/string.h"

#include <optional>
#include <utility>
#include <vector>

// What the caption tells of the current file, page, list and view.
struct STitleFacts
{
    // Empty while no page is shown.
    Brivox::String path;
    int index = 0; // the current index + 1
    int count = 0;
    int marks = 0;
    Brivox::CSize image{0, 0};
    int fileSizeKiB = 0;
    Brivox::String imageType;
    // Destination height per visible source height; 0 when nothing is scaled.
    double scale = 0;
    // In image pixels; none when no selection counts, and the whole image then stands for it.
    std::optional<Brivox::CRect> selection;
};

// The 18 variables with their values, in the order the settings page offers them.
std::vector<std::pair<Brivox::String, Brivox::String>> TitleVariables(const STitleFacts& facts);
// One pass from left to right: each "$(name)" of a variable is replaced by its value, a value once
// inserted is never searched again, and all other text stays as it is.
Brivox::String ExpandTemplateOnce(const Brivox::String& text,
                                  const std::vector<std::pair<Brivox::String, Brivox::String>>& variables);
Brivox::String BuildTitle(const Brivox::String& titleTemplate, const STitleFacts& facts);
// The scale as the caption shows it: tenths of a percent cut off, "%" after.
Brivox::String FormatViewRate(double scale);

// The name the save and export dialogs propose, without folder and extension: the file's own name
// after an optional prefix of the outermost archive's name and the entry's folder inside it, their
// separators written as the separator text.
struct SSaveNameFacts
{
    // The shown file's path, or the document's default name while no page is shown.
    Brivox::String path;
    // The outermost archive's path when the file lies inside one, else empty.
    Brivox::String outermostArchive;
    bool useArchive = false;
    bool useArchiveFolder = false;
    Brivox::String separator;
};
Brivox::String BuildSaveName(const SSaveNameFacts& facts);
