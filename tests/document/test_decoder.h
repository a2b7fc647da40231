#pragma once
// The decoder of the document tests' "*.tst" files, registered in the process-wide registry. A
// file's content is one line: width, height, colour (RRGGBB, or AARRGGBB), then any of "alpha"
// (HasAlpha answers true), "gate=NAME" (Open waits at that gate of Gates()), "fail=open" (Open
// refuses the file) and "fail=load" (Load throws after drawing the top half), for example
// "600 1000 ff0000 alpha gate=p7 fail=load", and "scalable" (a one-shot scale hint is taken as a
// JPEG decoder takes it: 1/2, 1/4 or 1/8, sides rounded up). Pixels are the colour, opaque when it
// has six digits.

#include "deadline_sync.h"

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/geometry.h"

namespace TestDecoder {

// Puts the decoder first in the registry (the first call only).
void Register();
// Every gate open, nothing counted.
void Reset();

DeadlineSync::GateBoard& Gates();
// Opens of the file of that name (the file data's name), counted as they begin.
int OpenCount(const std::wstring& name);
// Opens of any file begun on the calling thread (decodes done in the caller, not ahead).
int OpensOnThisThread();
// Whether the last Open of the file was in one-shot mode.
bool WasOneShot(const std::wstring& name);
// The scale hints given to decoders of the file, in order.
std::vector<Brivox::CSize> ScaleHints(const std::wstring& name);
// Calls on one decoder that overlapped another call on it: one thread at a time may use a decoder.
int OverlappingCalls();

// The pixel a colour text stands for.
std::uint32_t PixelOf(const std::string& colour);

} // namespace TestDecoder
