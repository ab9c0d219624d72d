#include "app/member_failure_reason.h"

#include "archive/cab/ab_fci_fdi.h"  // the cabinet library's error codes
#include "util/errors.h"
#include "util/utf16_text.h"

namespace {

std::u16string numbered(const std::u16string& what, int32_t code) {
    return what + u" " + utf8ToUtf16(std::to_string(code));
}

}  // namespace

std::u16string CabinetErrorText(int32_t fdiError) {
    switch (fdiError) {
        case FDIERROR_CABINET_NOT_FOUND:
            return u"The cabinet file cannot be found";
        case FDIERROR_NOT_A_CABINET:
            return u"The file is not a cabinet";
        case FDIERROR_UNKNOWN_CABINET_VERSION:
            return u"The cabinet's format version is not supported";
        case FDIERROR_CORRUPT_CABINET:
            return u"The cabinet's data is damaged";
        case FDIERROR_ALLOC_FAIL:
            return u"Not enough memory";
        case FDIERROR_BAD_COMPR_TYPE:
            return u"The member is compressed with an unknown method";
        case FDIERROR_MDI_FAIL:
            return u"The member's compressed data cannot be decoded";
        case FDIERROR_TARGET_FILE:
            return u"The output file cannot be written";
        case FDIERROR_RESERVE_MISMATCH:
            return u"The next cabinet's reserved areas do not match this one's";
        case FDIERROR_WRONG_CABINET:
            return u"The next cabinet belongs to another set";
        case FDIERROR_USER_ABORT:
            return u"Extraction was stopped";
        case FDIERROR_EOF:
            return u"The cabinet ends before the member's data";
        default:
            return numbered(u"The cabinet cannot be read: error", fdiError);
    }
}

std::u16string MemberFailureReason(TAbErrorClass errorClass, int32_t errorCode,
                                   const std::exception_ptr& live) {
    if (live) return exceptionMessage(live);
    switch (errorClass) {
        case ecCabError:
            return CabinetErrorText(errorCode);
        case ecInOutError:
            return systemErrorText(errorCode);
        case ecCorvana:
            return numbered(u"Archive error", errorCode);
        case ecFilerError:
            return u"The member's data cannot be read or written";
        case ecFileCreateError:
            return u"The output file cannot be created";
        case ecFileOpenError:
            return u"A file cannot be opened";
        case ecOther:
            break;
    }
    return u"The member cannot be extracted";
}
