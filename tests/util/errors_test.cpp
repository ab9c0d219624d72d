#include "util/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>

namespace {

struct MessageCase {
    const char* label;
    std::function<void()> raise;
    std::u16string message;
};

class FixedMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(FixedMessageTest, CarriesItsTextInUtf16AndUtf8) {
    const auto& c = GetParam();
    try {
        c.raise();
        FAIL() << "nothing raised";
    } catch (const EGeneralError& e) {
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(std::u16string(e.what(), e.what() + std::char_traits<char>::length(e.what())),
                  c.message)
            << "ASCII messages read the same through what()";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FixedMessageTest,
    ::testing::Values(
        MessageCase{"path", [] { throw EInvalidPathChars(); }, u"Invalid characters in path"},
        MessageCase{"range", [] { throw EArgumentOutOfRange(); }, u"Argument out of range"},
        MessageCase{"date", [] { throw EDateEncodeError(); }, u"Invalid argument to date encode"},
        MessageCase{"time", [] { throw ETimeEncodeError(); }, u"Invalid argument to time encode"},
        MessageCase{"open", [] { throw EFOpenError(u"C:\\a.cab", u"Access is denied."); },
                    u"Cannot open file \"C:\\a.cab\". Access is denied."},
        MessageCase{"create", [] { throw EFCreateError(u"/t/x.jpg", u"No space left."); },
                    u"Cannot create file \"/t/x.jpg\". No space left."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(EInOutErrorTest, KeepsTheSystemErrorNumberAndItsText) {
    const EInOutError error(EACCES);
    EXPECT_EQ(error.ErrorCode, EACCES);
    EXPECT_EQ(error.Message(), systemErrorText(EACCES));
    EXPECT_FALSE(error.Message().empty());
}

TEST(EFOpenErrorTest, ReasonFromASystemErrorNumber) {
    const EFOpenError error(u"x.cab", ENOENT);
    EXPECT_EQ(error.Message(), u"Cannot open file \"x.cab\". " + systemErrorText(ENOENT));
}

TEST(EGeneralErrorTest, NonAsciiMessageReadsAsUtf8) {
    // "Zoë" and a G clef (a surrogate pair).
    const EGeneralError error(u"Zo\u00EB \U0001D11E");
    EXPECT_STREQ(error.what(), "Zo\xC3\xAB \xF0\x9D\x84\x9E");
}

TEST(EGeneralErrorTest, KindsAreCaughtByTheirFamily) {
    EXPECT_THROW(throw EInvalidPathChars(), EArgumentError);
    EXPECT_THROW(throw EDateEncodeError(), EConvertError);
    EXPECT_THROW(throw EFilerError(u"bad data"), EStreamError);
    EXPECT_THROW(throw EFCreateError(u"a", u"b"), EStreamError);
    EXPECT_THROW(throw EInOutError(5), EGeneralError);
}

struct CaughtCase {
    const char* label;
    std::function<void()> raise;
    std::u16string message;
};

class ExceptionMessageTest : public ::testing::TestWithParam<CaughtCase> {};

// Whatever was thrown, the message is readable text: our errors keep their UTF-16 text (no
// round trip through UTF-8), others give what() decoded from UTF-8.
TEST_P(ExceptionMessageTest, NamesWhatWasThrown) {
    std::exception_ptr caught;
    try {
        GetParam().raise();
    } catch (...) {
        caught = std::current_exception();
    }
    ASSERT_TRUE(caught);
    EXPECT_EQ(exceptionMessage(caught), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExceptionMessageTest,
    ::testing::Values(CaughtCase{"OurError", [] { throw EFilerError(u"Zo\u00EB \U0001D11E"); },
                                 u"Zo\u00EB \U0001D11E"},
                      CaughtCase{"StandardError",
                                 [] { throw std::runtime_error("disk \xC3\xBC full"); },
                                 u"disk \u00FC full"},
                      CaughtCase{"NotAnException", [] { throw 42; }, u"Unknown error"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
