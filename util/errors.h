// The general error kinds of the program: failures of the operating system, of files and
// streams, of arguments and of date conversion. Every error of the program derives from
// EGeneralError, which carries a UTF-16 message.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The root of every error the program raises itself: a message in UTF-16 and, for what(),
// the same message in UTF-8.
class EGeneralError : public std::exception {
public:
    explicit EGeneralError(std::u16string message);
    const std::u16string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8Message.c_str(); }

private:
    std::u16string FMessage;
    std::string FUtf8Message;
};

// An input/output failure reported by the operating system; ErrorCode is its error number
// (errno on POSIX, the GetLastError value on Windows).
class EInOutError : public EGeneralError {
public:
    explicit EInOutError(int32_t errorCode);
    EInOutError(int32_t errorCode, std::u16string message);
    int32_t ErrorCode;
};

// Failures of the stream layer.
class EStreamError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// A serialisation failure: data read from or written to a stream is not what it should be.
class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// "Cannot open file "<name>". <reason>"
class EFOpenError : public EStreamError {
public:
    EFOpenError(const std::u16string& fileName, const std::u16string& reason);
    // The reason is the operating system's text for its error number.
    EFOpenError(const std::u16string& fileName, int32_t systemError);
};

// "Cannot create file "<name>". <reason>"
class EFCreateError : public EStreamError {
public:
    EFCreateError(const std::u16string& fileName, const std::u16string& reason);
    EFCreateError(const std::u16string& fileName, int32_t systemError);
};

// An argument that a routine cannot work with.
class EArgumentError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// "Invalid characters in path": a path holds a character that may not stand in a path.
class EInvalidPathChars : public EArgumentError {
public:
    EInvalidPathChars();
};

// "Invalid characters in path", for a name read from an archive rather than one the caller
// gave: it concerns that one member, which fails alone.
class EInvalidNameChars : public EInvalidPathChars {
public:
    using EInvalidPathChars::EInvalidPathChars;
};

// "Argument out of range": an index outside a list.
class EArgumentOutOfRange : public EArgumentError {
public:
    EArgumentOutOfRange();
};

// A value that cannot be converted, such as an impossible calendar date.
class EConvertError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// "Invalid argument to date encode": year, month and day do not form a calendar date.
class EDateEncodeError : public EConvertError {
public:
    EDateEncodeError();
};

// "Invalid argument to time encode": hour, minute and second do not form a clock time.
class ETimeEncodeError : public EConvertError {
public:
    ETimeEncodeError();
};

// The operating system's text for one of its error numbers, in UTF-16.
std::u16string systemErrorText(int32_t systemError);

// The message of a caught exception: an EGeneralError's own text, any other exception's
// what(), or "Unknown error" for something that is not an exception at all.
std::u16string exceptionMessage(const std::exception_ptr& error);
