// The library's exception family. Every failure a reader reports is one of
// these, carrying a fixed English message (UTF-8 for C++ callers, UTF-16 for
// hosts that work in the library's own string type).
#pragma once

#include <stdexcept>
#include <string>

namespace quillmark {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& utf8Message);
    explicit Exception(const std::u16string& message);
    const std::u16string& Message() const { return message16_; }

private:
    std::u16string message16_;
};

// A stream could not deliver the bytes a caller required.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// Text could not be converted between encodings (only raised where a caller
// explicitly asks for strict conversion; ordinary decoding never throws).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The kinds a host can tell apart. Each keeps the reader's own message.

// A password is needed to open the document, or the one given is wrong.
class EPasswordError : public Exception {
public:
    using Exception::Exception;
};

// The document is encrypted in a way that cannot be opened (no supported
// scheme, or copy protection whose key is not the user's to give).
class EEncryptedError : public Exception {
public:
    using Exception::Exception;
};

// The content is not a document format this library reads.
class EUnsupportedFormat : public Exception {
public:
    using Exception::Exception;
};

// The format was recognised but its structure is broken beyond reading.
class EDamagedDocument : public Exception {
public:
    using Exception::Exception;
};

// A configured bound (input size, work, memory, output) was exceeded.
class ELimitError : public Exception {
public:
    using Exception::Exception;
};

// Replaces every "%s" in a message template by the given argument.
std::string FormatMessage(const std::string& pattern, const std::string& arg);
std::u16string FormatMessage(const std::u16string& pattern, const std::u16string& arg);

}  // namespace quillmark
