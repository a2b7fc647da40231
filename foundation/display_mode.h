#pragma once
// The display modes of the primary display, the full-screen mode change with its restore, and the
// work areas of the monitors.

#include "foundation/geometry.h"

#include <vector>

namespace Brivox {

// A display mode, or a filter of modes in which -1 matches any value.
struct DisplayMode
{
    int width = -1;
    int height = -1;
    int bitsPerPixel = -1;
    // Hertz.
    int frequency = -1;

    // Whether this mode asks for something that other does not give: a width, height or depth
    // of this one that is not -1 and differs, or two given frequencies that differ.
    bool Differs(const DisplayMode& other) const;
};

// The primary display's current mode; all fields -1 when it cannot be read.
DisplayMode GetCurrentDisplayMode();
// The index of the primary display's first mode that the filter matches; -1 for none.
int FindDisplayMode(const DisplayMode& filter);
bool IsDisplayModeAvailable(const DisplayMode& filter);
// Switches the primary display to the filter's mode for full screen, unless the current mode
// already is that. Without a frequency the current one is tried first, then none. Throws
// RuntimeException "ディスプレイモードの変更に失敗しました" when the display refuses; a restore
// is due from the attempt on, also after a failure.
void ChangeDisplayMode(const DisplayMode& filter);
// Back to the mode stored in the registry when a change was made since the last restore; false
// when there was nothing to restore.
bool RestoreDisplayMode();

// The primary monitor's work area; empty when it cannot be read.
CRect GetWorkArea();
// The work areas of all monitors in the order the system lists them; the primary work area alone
// where the system lacks the multi-monitor functions.
std::vector<CRect> GetMonitorRects();

} // namespace Brivox
