#include "archive/core/ab_exceptions.h"

#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "archive/core/ab_messages.h"

EAbException::EAbException(std::u16string message) : EAbException(std::move(message), 0) {}

EAbException::EAbException(std::u16string message, int32_t errorCode)
    : EGeneralError(std::move(message)), ErrorCode(errorCode) {}

#define PELMORA_AB_CONDITION(Name, Parent, Message, Code) \
    Name::Name() : Parent(std::u16string(Message), Code) {}

PELMORA_AB_CONDITION(EAbUserAbort, EAbException, AbUserAbortS, 9)
PELMORA_AB_CONDITION(EAbArchiveBusy, EAbException, AbArchiveBusyS, 10)
PELMORA_AB_CONDITION(EAbNoSuchDirectory, EAbException, AbNoSuchDirectoryS, 15)
PELMORA_AB_CONDITION(EAbFileNotFound, EAbException, AbFileNotFoundS, 21)
PELMORA_AB_CONDITION(EAbNoArchive, EAbException, AbNoArchiveS, 23)
PELMORA_AB_CONDITION(EAbSpanningNotSupported, EAbException, AbSpanningNotSupportedS, 29)
PELMORA_AB_CONDITION(EAbNoCabinetDll, EAbCabException, AbNoCabinetDllS, 50)
PELMORA_AB_CONDITION(EAbFCIFileOpenError, EAbCabException, AbFCIFileOpenErrorS, 51)
PELMORA_AB_CONDITION(EAbFCIFileReadError, EAbCabException, AbFCIFileReadErrorS, 52)
PELMORA_AB_CONDITION(EAbFCIFileWriteError, EAbCabException, AbFCIFileWriteErrorS, 53)
PELMORA_AB_CONDITION(EAbFCIFileCloseError, EAbCabException, AbFCIFileCloseErrorS, 54)
PELMORA_AB_CONDITION(EAbFCIFileSeekError, EAbCabException, AbFCIFileSeekErrorS, 55)
PELMORA_AB_CONDITION(EAbFCIFileDeleteError, EAbCabException, AbFCIFileDeleteErrorS, 56)
PELMORA_AB_CONDITION(EAbFCIAddFileError, EAbCabException, AbFCIAddFileErrorS, 57)
PELMORA_AB_CONDITION(EAbFCICreateError, EAbCabException, AbFCICreateErrorS, 58)
PELMORA_AB_CONDITION(EAbFCIFlushCabinetError, EAbCabException, AbFCIFlushCabinetErrorS, 59)
PELMORA_AB_CONDITION(EAbFCIFlushFolderError, EAbCabException, AbFCIFlushFolderErrorS, 60)
PELMORA_AB_CONDITION(EAbFDICopyError, EAbCabException, AbFDICopyErrorS, 61)
PELMORA_AB_CONDITION(EAbFDICreateError, EAbCabException, AbFDICreateErrorS, 62)
PELMORA_AB_CONDITION(EAbInvalidCabFile, EAbCabException, AbInvalidCabFileS, 64)
PELMORA_AB_CONDITION(EAbTarBadFileName, EAbTarException, AbTarBadFileNameS, 221)
PELMORA_AB_CONDITION(EAbTarBadLinkName, EAbTarException, AbTarBadLinkNameS, 222)
PELMORA_AB_CONDITION(EAbTarBadOp, EAbTarException, AbTarBadOpS, 223)
PELMORA_AB_CONDITION(EAbUnsafeStoredName, EAbException, AbUnsafeStoredNameS, 300)
PELMORA_AB_CONDITION(EAbLinkInStoredPath, EAbException, AbLinkInStoredPathS, 301)
PELMORA_AB_CONDITION(EAbCabinetChanged, EAbCabException, AbCabinetChangedS, 302)

#undef PELMORA_AB_CONDITION

namespace {

constexpr int64_t kMegabyte = 1 << 20;

std::u16string decimal(int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string notEnoughSpaceText(int64_t neededBytes, int64_t freeBytes) {
    // Rounded so that the figures never suggest the members fit when they do not.
    const int64_t needed = neededBytes / kMegabyte + (neededBytes % kMegabyte != 0 ? 1 : 0);
    const int64_t available = freeBytes / kMegabyte;
    std::u16string text(AbNotEnoughSpaceS);
    text += decimal(needed);
    text += AbNotEnoughSpaceMiddleS;
    text += decimal(available);
    text += AbNotEnoughSpaceEndS;
    return text;
}

}  // namespace

EAbNotEnoughSpace::EAbNotEnoughSpace(int64_t neededBytes, int64_t freeBytes)
    : EAbException(notEnoughSpaceText(neededBytes, freeBytes), 320) {}

EAbAbortProgress::EAbAbortProgress() : EGeneralError(std::u16string(AbUserAbortS)) {}

TAbErrorClassification ConvertException(const std::exception& E) {
    if (const auto* archiveError = dynamic_cast<const EAbException*>(&E)) {
        return {ecCorvana, archiveError->ErrorCode};
    }
    if (const auto* ioError = dynamic_cast<const EInOutError*>(&E)) {
        return {ecInOutError, ioError->ErrorCode};
    }
    // Errors of the standard library's file-system layer are input/output errors as well.
    if (const auto* systemError = dynamic_cast<const std::system_error*>(&E)) {
        return {ecInOutError, systemError->code().value()};
    }
    if (dynamic_cast<const EFilerError*>(&E)) return {ecFilerError, 0};
    if (dynamic_cast<const EFOpenError*>(&E)) return {ecFileOpenError, 0};
    if (dynamic_cast<const EFCreateError*>(&E)) return {ecFileCreateError, 0};
    return {ecOther, 0};
}

TAbErrorClassification ConvertException(std::exception_ptr E) {
    try {
        if (E) std::rethrow_exception(E);
    } catch (const std::exception& caught) {
        return ConvertException(caught);
    } catch (...) {
    }
    return {ecOther, 0};
}

namespace {

template <std::size_t N>
std::u16string cabinetErrorMessage(const std::u16string_view (&table)[N], int32_t code) {
    if (code >= 0 && static_cast<std::size_t>(code) < N) return std::u16string(table[code]);
    std::string number = std::to_string(code);
    return std::u16string(AbUnknownCabinetErrorS) + std::u16string(number.begin(), number.end());
}

// The archive conditions by their code, for a failure that arrives as a number only.
std::u16string_view archiveConditionMessage(int32_t code) {
    static constexpr std::pair<int32_t, std::u16string_view> kConditions[] = {
        {9, AbUserAbortS},
        {10, AbArchiveBusyS},
        {15, AbNoSuchDirectoryS},
        {21, AbFileNotFoundS},
        {23, AbNoArchiveS},
        {29, AbSpanningNotSupportedS},
        {50, AbNoCabinetDllS},
        {51, AbFCIFileOpenErrorS},
        {52, AbFCIFileReadErrorS},
        {53, AbFCIFileWriteErrorS},
        {54, AbFCIFileCloseErrorS},
        {55, AbFCIFileSeekErrorS},
        {56, AbFCIFileDeleteErrorS},
        {57, AbFCIAddFileErrorS},
        {58, AbFCICreateErrorS},
        {59, AbFCIFlushCabinetErrorS},
        {60, AbFCIFlushFolderErrorS},
        {61, AbFDICopyErrorS},
        {62, AbFDICreateErrorS},
        {64, AbInvalidCabFileS},
        {221, AbTarBadFileNameS},
        {222, AbTarBadLinkNameS},
        {223, AbTarBadOpS},
        {300, AbUnsafeStoredNameS},
        {301, AbLinkInStoredPathS},
        {302, AbCabinetChangedS},
    };
    for (const auto& [known, text] : kConditions) {
        if (known == code) return text;
    }
    return {};
}

}  // namespace

std::u16string FdiErrorMessage(int32_t ErrorCode) {
    return cabinetErrorMessage(AbFdiErrorS, ErrorCode);
}

std::u16string FciErrorMessage(int32_t ErrorCode) {
    return cabinetErrorMessage(AbFciErrorS, ErrorCode);
}

std::u16string ItemFailureMessage(TAbErrorClass ErrorClass, int32_t ErrorCode) {
    switch (ErrorClass) {
        case ecCorvana: {
            std::u16string_view known = archiveConditionMessage(ErrorCode);
            if (!known.empty()) return std::u16string(known);
            std::string number = std::to_string(ErrorCode);
            return u"Archive error " + std::u16string(number.begin(), number.end());
        }
        case ecInOutError:
            return systemErrorText(ErrorCode);
        case ecFilerError:
            return u"Read or write error";
        case ecFileCreateError:
            return u"Cannot create the output file";
        case ecFileOpenError:
            return u"Cannot open the file";
        case ecCabError:
            return FdiErrorMessage(ErrorCode);
        case ecOther:
            break;
    }
    return u"Extraction failed";
}

std::u16string ItemFailureMessage(TAbErrorClass ErrorClass, int32_t ErrorCode,
                                  const std::exception_ptr& Live) {
    return Live ? exceptionMessage(Live) : ItemFailureMessage(ErrorClass, ErrorCode);
}
