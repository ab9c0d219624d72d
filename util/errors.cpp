#include "util/errors.h"

#include <system_error>
#include <utility>

#include "util/utf16_text.h"

namespace {

std::u16string fileMessage(const char16_t* verb, const std::u16string& fileName,
                           const std::u16string& reason) {
    return u"Cannot " + std::u16string(verb) + u" file \"" + fileName + u"\". " + reason;
}

}  // namespace

EGeneralError::EGeneralError(std::u16string message)
    : FMessage(std::move(message)), FUtf8Message(utf16ToUtf8(FMessage)) {}

std::u16string systemErrorText(int32_t systemError) {
    // System messages come in UTF-8 (or plain ASCII).
    return utf8ToUtf16(std::system_category().message(systemError));
}

std::u16string exceptionMessage(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EGeneralError& known) {
        return known.Message();
    } catch (const std::exception& other) {
        return utf8ToUtf16(other.what());
    } catch (...) {
    }
    return u"Unknown error";
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
