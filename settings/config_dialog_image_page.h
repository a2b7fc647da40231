#pragma once
// The image page of the settings dialog: load limits, save quality, the read-ahead cache and
// reduce-on-load, with the memory one page of the reference size and of the largest size takes.

#include "settings/config_dialog_tab_base.h"

#include <cstdint>

// The megabytes of a 32-bit page of width x height, rounded half up; computed wide enough for any
// two int sizes.
std::int64_t PageMegabytes(int width, int height);

class CConfigDialogImagePage : public CConfigDialogTabBase
{
public:
    CConfigDialogImagePage();

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;

    // Each group's settings follow its switch; the file cache stays usable without the read-ahead.
    void UpdateEnables();

private:
    // The estimate of the size in the two edits, as the static's text.
    void ShowEstimate(int widthId, int heightId, int estimateId);
};
