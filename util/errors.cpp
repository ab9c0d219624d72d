#include "util/errors.h"

#include <system_error>
#include <utility>

namespace {

// Error texts are plain UTF-16; what() needs UTF-8. Unpaired surrogates become U+FFFD.
std::string toUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// System messages come in UTF-8 (or ASCII); decode them for the UTF-16 message.
std::u16string fromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        uint32_t c = 0xFFFD;
        size_t length = 1;
        if (byte < 0x80) {
            c = byte;
        } else if ((byte & 0xE0) == 0xC0) {
            length = 2;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4;
        }
        if (length > 1) {
            if (i + length > text.size()) {
                length = text.size() - i;
            } else {
                c = byte & (0x7F >> length);
                for (size_t k = 1; k < length; ++k) {
                    const auto next = static_cast<unsigned char>(text[i + k]);
                    if ((next & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        length = k;
                        break;
                    }
                    c = (c << 6) | (next & 0x3F);
                }
            }
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string fileMessage(const char16_t* verb, const std::u16string& fileName,
                           const std::u16string& reason) {
    return u"Cannot " + std::u16string(verb) + u" file \"" + fileName + u"\". " + reason;
}

}  // namespace

EGeneralError::EGeneralError(std::u16string message)
    : FMessage(std::move(message)), FUtf8Message(toUtf8(FMessage)) {}

std::u16string systemErrorText(int32_t systemError) {
    return fromUtf8(std::system_category().message(systemError));
}

EInOutError::EInOutError(int32_t errorCode) : EInOutError(errorCode, systemErrorText(errorCode)) {}

EInOutError::EInOutError(int32_t errorCode, std::u16string message)
    : EGeneralError(std::move(message)), ErrorCode(errorCode) {}

EFOpenError::EFOpenError(const std::u16string& fileName, const std::u16string& reason)
    : EStreamError(fileMessage(u"open", fileName, reason)) {}

EFOpenError::EFOpenError(const std::u16string& fileName, int32_t systemError)
    : EFOpenError(fileName, systemErrorText(systemError)) {}

EFCreateError::EFCreateError(const std::u16string& fileName, const std::u16string& reason)
    : EStreamError(fileMessage(u"create", fileName, reason)) {}

EFCreateError::EFCreateError(const std::u16string& fileName, int32_t systemError)
    : EFCreateError(fileName, systemErrorText(systemError)) {}

EInvalidPathChars::EInvalidPathChars() : EArgumentError(u"Invalid characters in path") {}

EArgumentOutOfRange::EArgumentOutOfRange() : EArgumentError(u"Argument out of range") {}

EDateEncodeError::EDateEncodeError() : EConvertError(u"Invalid argument to date encode") {}

ETimeEncodeError::ETimeEncodeError() : EConvertError(u"Invalid argument to time encode") {}
