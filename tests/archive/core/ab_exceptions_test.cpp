#include "archive/core/ab_exceptions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

enum class Family { Plain, Cab, Tar };

struct ConditionCase {
    const char* name;
    std::function<void()> raise;
    int32_t code;
    std::u16string message;
    Family family;
};

class ConditionTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionTest, HasItsFixedCodeMessageAndFamily) {
    const auto& c = GetParam();
    try {
        c.raise();
        FAIL() << "nothing raised";
    } catch (const EAbException& e) {
        EXPECT_EQ(e.ErrorCode, c.code);
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(dynamic_cast<const EAbCabException*>(&e) != nullptr, c.family == Family::Cab);
        EXPECT_EQ(dynamic_cast<const EAbTarException*>(&e) != nullptr, c.family == Family::Tar);
        EXPECT_EQ(ConvertException(e), (TAbErrorClassification{ecCorvana, c.code}));
    }
}

#define CASE(Name, Code, Text, Fam)                          \
    ConditionCase {                                          \
#Name, [] { throw Name(); }, Code, Text, Family::Fam \
    }

INSTANTIATE_TEST_SUITE_P(
    Tree, ConditionTest,
    ::testing::Values(
        CASE(EAbUserAbort, 9, u"Process aborted by user", Plain),
        CASE(EAbArchiveBusy, 10, u"Archive is busy - cannot process new requests", Plain),
        CASE(EAbNoSuchDirectory, 15, u"Directory does not exist", Plain),
        CASE(EAbFileNotFound, 21, u"File not found", Plain),
        CASE(EAbNoArchive, 23, u"Archive does not exist - Filename is blank", Plain),
        CASE(EAbSpanningNotSupported, 29, u"Spanning not supported by this Archive type", Plain),
        CASE(EAbNoCabinetDll, 50, u"Cannot load cabinet.dll", Cab),
        CASE(EAbFCIFileOpenError, 51, u"FCI cannot open file", Cab),
        CASE(EAbFCIFileReadError, 52, u"FCI cannot read file", Cab),
        CASE(EAbFCIFileWriteError, 53, u"FCI cannot write file", Cab),
        CASE(EAbFCIFileCloseError, 54, u"FCI close file error", Cab),
        CASE(EAbFCIFileSeekError, 55, u"FCI file seek error", Cab),
        CASE(EAbFCIFileDeleteError, 56, u"FCI file delete error", Cab),
        CASE(EAbFCIAddFileError, 57, u"FCI cannot add file", Cab),
        CASE(EAbFCICreateError, 58, u"FCI cannot create context", Cab),
        CASE(EAbFCIFlushCabinetError, 59, u"FCI cannot flush cabinet", Cab),
        CASE(EAbFCIFlushFolderError, 60, u"FCI cannot flush folder", Cab),
        CASE(EAbFDICopyError, 61, u"FDI cannot enumerate files", Cab),
        CASE(EAbFDICreateError, 62, u"FDI cannot create context", Cab),
        CASE(EAbInvalidCabFile, 64, u"Invalid file - not a cabinet file", Cab),
        CASE(EAbTarBadFileName, 221, u"File name too long", Tar),
        CASE(EAbTarBadLinkName, 222, u"Symbolic link path too long", Tar),
        CASE(EAbTarBadOp, 223, u"Unsupported Operation", Tar),
        CASE(EAbUnsafeStoredName, 300, u"Stored name leads outside the base directory", Plain),
        CASE(EAbLinkInStoredPath, 301, u"Stored name passes through a symbolic link", Plain),
        CASE(EAbCabinetChanged, 302, u"The cabinet file changed during extraction", Cab)),
    [](const auto& info) { return std::string(info.param.name); });

#undef CASE

TEST(EAbExceptionTest, CallerMessageLeavesCodeZero) {
    const EAbException plain(u"Error creating Log File");
    EXPECT_EQ(plain.ErrorCode, 0);
    EXPECT_EQ(plain.Message(), u"Error creating Log File");
    const EAbCabException cab(u"TAbCabArchive does not support CreateFromStream");
    EXPECT_EQ(cab.ErrorCode, 0);
}

TEST(EAbAbortProgressTest, IsNotAnArchiveError) {
    try {
        throw EAbAbortProgress();
    } catch (const EAbException&) {
        FAIL() << "caught as an archive error";
    } catch (const EGeneralError& e) {
        EXPECT_EQ(e.Message(), u"Process aborted by user");
    }
}

struct ConvertCase {
    const char* label;
    std::function<void()> raise;
    TAbErrorClassification expected;
};

class ConvertExceptionTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertExceptionTest, ClassifiesWhatWasCaught) {
    const auto& c = GetParam();
    try {
        c.raise();
        FAIL() << "nothing raised";
    } catch (...) {
        EXPECT_EQ(ConvertException(std::current_exception()), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ConvertExceptionTest,
    ::testing::Values(
        ConvertCase{"UserAbort", [] { throw EAbUserAbort(); }, {ecCorvana, 9}},
        ConvertCase{
            "PlainArchiveError", [] { throw EAbException(u"Path not found"); }, {ecCorvana, 0}},
        ConvertCase{"AbortProgress", [] { throw EAbAbortProgress(); }, {ecOther, 0}},
        ConvertCase{"AccessDenied", [] { throw EInOutError(EACCES); }, {ecInOutError, EACCES}},
        ConvertCase{
            "FileSystemError",
            [] { throw std::system_error(std::make_error_code(std::errc::no_space_on_device)); },
            {ecInOutError, ENOSPC}},
        ConvertCase{"Filer", [] { throw EFilerError(u"bad data"); }, {ecFilerError, 0}},
        ConvertCase{"Open", [] { throw EFOpenError(u"a", u"b"); }, {ecFileOpenError, 0}},
        ConvertCase{"Create", [] { throw EFCreateError(u"a", u"b"); }, {ecFileCreateError, 0}},
        ConvertCase{"Argument", [] { throw EInvalidPathChars(); }, {ecOther, 0}},
        ConvertCase{"Standard", [] { throw std::runtime_error("x"); }, {ecOther, 0}},
        ConvertCase{"NotAnException", [] { throw 42; }, {ecOther, 0}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TAbErrorClassTest, ValuesInDeclaredOrder) {
    EXPECT_EQ(static_cast<int>(ecCorvana), 0);
    EXPECT_EQ(static_cast<int>(ecCabError), 5);
    EXPECT_EQ(static_cast<int>(ecOther), 6);
    EXPECT_EQ(sizeof(TAbErrorClass), 1u);
}

// The figures of "not enough free space" in MB of 2^20 bytes: the need rounded up, the free
// space down, so that a refusal never reads as if the members fitted.
struct SpaceCase {
    int64_t needed;
    int64_t available;
    const char16_t* message;
};

class NotEnoughSpaceTest : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(NotEnoughSpaceTest, NamesBothFiguresInMegabytes) {
    const auto& c = GetParam();
    const EAbNotEnoughSpace e(c.needed, c.available);
    EXPECT_EQ(e.Message(), c.message);
    EXPECT_EQ(ConvertException(e), (TAbErrorClassification{ecCorvana, 320}));
}

INSTANTIATE_TEST_SUITE_P(
    Figures, NotEnoughSpaceTest,
    ::testing::Values(
        SpaceCase{1, 0, u"not enough free space: needs 1 MB, 0 MB free"},
        SpaceCase{(3 << 20) + 1, (3 << 20) - 1, u"not enough free space: needs 4 MB, 2 MB free"},
        SpaceCase{int64_t{5} << 29, int64_t{2} << 30,
                  u"not enough free space: needs 2560 MB, 2048 MB free"},
        SpaceCase{std::numeric_limits<int64_t>::max(), int64_t{1} << 40,
                  u"not enough free space: needs 8796093022208 MB, 1048576 MB free"}));

}  // namespace

namespace {

// No failure reaches a user as a bare number: each code of the cabinet library has a sentence
// of its own, and a code it does not know is named as unknown.
TEST(CabinetErrorMessageTest, EveryCodeHasItsOwnSentence) {
    const struct {
        const char* side;
        std::u16string (*message)(int32_t);
        int32_t codes;
    } sides[] = {{"FDI", FdiErrorMessage, 13}, {"FCI", FciErrorMessage, 10}};
    for (const auto& side : sides) {
        std::set<std::u16string> seen;
        for (int32_t code = 0; code < side.codes; ++code) {
            std::u16string text = side.message(code);
            SCOPED_TRACE(std::string(side.side) + " code " + std::to_string(code));
            EXPECT_TRUE(seen.insert(text).second) << "the same sentence twice";
            EXPECT_EQ(text.find(u"unknown reason"), std::u16string::npos);
            EXPECT_EQ(text.find_first_of(u"0123456789"), std::u16string::npos);
        }
        std::string number = std::to_string(side.codes);
        EXPECT_EQ(side.message(side.codes),
                  u"The cabinet library failed for an unknown reason, code " +
                      std::u16string(number.begin(), number.end()))
            << side.side;
    }
}

struct FailureMessageCase {
    TAbErrorClass errorClass;
    int32_t code;
    std::u16string message;
};

class ItemFailureMessageTest : public ::testing::TestWithParam<FailureMessageCase> {};

TEST_P(ItemFailureMessageTest, SaysWhatHappened) {
    EXPECT_EQ(ItemFailureMessage(GetParam().errorClass, GetParam().code), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ItemFailureMessageTest,
    ::testing::Values(
        FailureMessageCase{ecCabError, 4, u"The cabinet is damaged: its data is corrupt"},
        FailureMessageCase{ecCabError, 8, u"The output file cannot be written"},
        FailureMessageCase{ecCabError, 12, u"The cabinet ends before its data does"},
        FailureMessageCase{ecCabError, 77,
                           u"The cabinet library failed for an unknown reason, code 77"},
        FailureMessageCase{ecInOutError, ENOSPC, u"No space left on device"},
        FailureMessageCase{ecCorvana, 301, u"Stored name passes through a symbolic link"},
        FailureMessageCase{ecCorvana, 302, u"The cabinet file changed during extraction"},
        FailureMessageCase{ecCorvana, 64, u"Invalid file - not a cabinet file"}));

}  // namespace

namespace {

// A failure reported while its error is handled says what that error says: the file and the
// system's reason, more than the class and code alone.
TEST(ItemFailureMessageTest, PrefersTheErrorAtHand) {
    const auto live = std::make_exception_ptr(EFCreateError(u"/t/a.jpg", ENOSPC));
    EXPECT_EQ(ItemFailureMessage(ecFileCreateError, 0, live),
              u"Cannot create file \"/t/a.jpg\". " + systemErrorText(ENOSPC));
    EXPECT_EQ(ItemFailureMessage(ecFileCreateError, 0, nullptr),
              ItemFailureMessage(ecFileCreateError, 0));
}

}  // namespace
