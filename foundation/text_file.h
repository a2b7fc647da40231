#pragma once
#include "foundation/file_bytes.h"
#include "foundation/string.h"
#include "foundation/string_builder.h"

#include <vector>

// Whole files and the system's one text-file format: written as UTF-16LE with the byte-order
// mark, read as UTF-16LE or UTF-16BE (by their mark) or in the ANSI code page (no mark). Line ends
// are whatever the text holds.
namespace Brivox {

// The file's bytes; an empty file gives an empty vector.
void ReadFile(const String& path, std::vector<unsigned char>& bytes);
void ReadFile(const String& path, FileBytes& bytes);
// Makes the missing folders, then writes the bytes as the whole new file.
void WriteFile(const String& path, const void* data, int count);
void WriteFile(const String& path, const std::vector<unsigned char>& bytes);

void WriteTextFile(const String& path, const String& text);
// The builder gets the text; it is left unchanged when the file cannot be read.
void ReadTextFile(const String& path, StringBuilder& builder);
String ReadTextFile(const String& path);

} // namespace Brivox
