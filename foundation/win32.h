#pragma once
// The one way into <windows.h>. The library calls the narrow or wide form of a system function
// by its full name (CreateFileW, MessageBoxA): the generic macros are removed so that they cannot
// rename the library's own members (MessageBox, PostMessage, ...).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>

#undef CopyFile
#undef CreateDialog
#undef CreateDirectory
#undef CreateFile
#undef CreateMutex
#undef CreateWindow
#undef DeleteFile
#undef DispatchMessage
#undef DrawText
#undef FindFirstFile
#undef FindNextFile
#undef GetClassName
#undef GetCommandLine
#undef GetCurrentDirectory
#undef GetFileAttributes
#undef GetFullPathName
#undef GetMessage
#undef GetModuleFileName
#undef GetObject
#undef GetTempPath
#undef LoadImage
#undef LoadLibrary
#undef MessageBox
#undef MoveFile
#undef PostMessage
#undef RemoveDirectory
#undef SendMessage
#undef SetCurrentDirectory
#undef SetWindowText
#undef GetWindowText
