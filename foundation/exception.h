#pragma once

#include "foundation/string.h"

#include <exception>
#include <string_view>

namespace Brivox {

// Root of every exception the system throws. The message is held as text in the ANSI code page
// (at most 511 bytes and a NUL) inside the object itself, so exceptions made at the same time on
// different threads never disturb each other's text.
class Exception : public std::exception
{
public:
    explicit Exception(const String& message);

    const char* what() const noexcept override;

protected:
    // Text already in the ANSI code page.
    struct AnsiText
    {
        std::string_view text;
    };
    explicit Exception(AnsiText text) noexcept;

private:
    static constexpr int textSize_ = 512;
    char text_[textSize_];
};

// Programming errors.
class ProgramException : public Exception
{
public:
    using Exception::Exception;
};

// An operation called in the wrong state.
class InvalidOprationException : public ProgramException
{
public:
    using ProgramException::ProgramException;
};

// Run-time failures.
class RuntimeException : public Exception
{
public:
    using Exception::Exception;
};

// File and folder operations.
class IOException : public RuntimeException
{
public:
    using RuntimeException::RuntimeException;
};

// A failed system call: the message, " : " and the system's description of the thread's last
// error (read before anything else of the construction can change it).
class Win32Exception : public RuntimeException
{
public:
    explicit Win32Exception(const String& message);
    // For an error code read at the failing call, before the message was composed.
    Win32Exception(unsigned long error, const String& message);
};

class DllNotFoundException : public Win32Exception
{
public:
    using Win32Exception::Win32Exception;
};

class EntryPointNotFoundException : public Win32Exception
{
public:
    using Win32Exception::Win32Exception;
};

class ImageLoadException : public RuntimeException
{
public:
    using RuntimeException::RuntimeException;
};

class ImageSaveException : public RuntimeException
{
public:
    using RuntimeException::RuntimeException;
};

// Made by the fault translator, each with its fixed message.
class FPEException : public RuntimeException
{
public:
    FPEException();
};

class InvalidProgramException : public RuntimeException
{
public:
    InvalidProgramException();
};

class AccessViolationException : public RuntimeException
{
public:
    AccessViolationException();
};

class UnexpectedException : public RuntimeException
{
public:
    UnexpectedException();
};

} // namespace Brivox
