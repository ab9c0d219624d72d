// Why a member of a pack could not be extracted, in words the user can act on.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "archive/core/ab_exceptions.h"

// The reason for a member that the extractor reported as failed. While the archive reports
// the failure it is still handling the error, so the error itself (live), when there is one,
// says most: a file that could not be created names the system's reason. Without one the
// classification is put into words; the cabinet library's own codes each have a sentence.
std::u16string MemberFailureReason(TAbErrorClass errorClass, int32_t errorCode,
                                   const std::exception_ptr& live);

// The sentence for one of the cabinet library's extraction error codes.
std::u16string CabinetErrorText(int32_t fdiError);
