#include "archive/cab/ab_fci_fdi.h"

#include <gtest/gtest.h>

#include <cstring>

#include "archive/cab/ab_dynamic_library.h"
#include "archive/core/ab_exceptions.h"
#include "support/cabinet_maker.h"
#include "support/scratch_folder.h"

using namespace pelmora;
using testsupport::ScratchFolder;

namespace {

constexpr const char* kLibraryWithoutCopy = PELMORA_FAKE_CABINET;

// Points the binding at another library for one test and back at the real one afterwards.
class BindingTest : public ::testing::Test {
protected:
    void TearDown() override { SetCabinetLibraryNameForTesting(""); }
};

TEST_F(BindingTest, MissingLibraryRaisesOnEveryUseUntilOneCanBeLoaded) {
    SetCabinetLibraryNameForTesting("libno-such-cabinet-library.so");
    CabErrorRecord errors{};
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            createDecompressionContext(errors);
            FAIL() << "no error on attempt " << attempt;
        } catch (const EAbNoCabinetDll& e) {
            EXPECT_EQ(e.ErrorCode, 50);
            EXPECT_EQ(e.Message(), u"Cannot load cabinet.dll");
        }
    }
    // A failed load leaves the binding unbound, so a library that appears later is used.
    SetCabinetLibraryNameForTesting(kLibraryWithoutCopy);
    FDIContext context = createDecompressionContext(errors);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(pelmora::FDIDestroy(context));
}

TEST_F(BindingTest, EnvironmentVariableChoosesTheLibrary) {
    CabErrorRecord errors{};
    {
        testsupport::EnvironmentScope chosen("PELMORA_CABINET_LIBRARY", "libno-such-cabinet.so");
        SetCabinetLibraryNameForTesting("");
        EXPECT_THROW(createDecompressionContext(errors), EAbNoCabinetDll);
    }
    testsupport::EnvironmentScope chosen("PELMORA_CABINET_LIBRARY", kLibraryWithoutCopy);
    SetCabinetLibraryNameForTesting("");
    FDIContext context = createDecompressionContext(errors);
    ASSERT_NE(context, nullptr);
    char name[] = "x.cab";
    char path[] = "";
    // The stand-in has no FDICopy: the call answers 0 without reaching any library.
    EXPECT_EQ(pelmora::FDICopy(context, name, path, 0, nullptr, nullptr, nullptr), 0);
    pelmora::FDIDestroy(context);
}

TEST_F(BindingTest, MissingEntryPointsAnswerZeroWithoutCalling) {
    SetCabinetLibraryNameForTesting(kLibraryWithoutCopy);
    CabErrorRecord errors{};
    FDIContext context = createDecompressionContext(errors);
    ASSERT_NE(context, nullptr);
    char name[] = "x.cab";
    char path[] = "";
    EXPECT_EQ(pelmora::FDICopy(context, name, path, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(pelmora::FCICreate(&errors, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(pelmora::FCIDestroy(nullptr), 0);
    pelmora::FDIDestroy(context);
}

struct VerifyCase {
    const char* name;
    std::string bytes;
    int64_t startAt;
    TAbArchiveType expected;
};

class VerifyCabinetTest : public BindingTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyCabinetTest, AnswersTheLibrarysVerdictAndRestoresThePosition) {
    SetCabinetLibraryNameForTesting(kLibraryWithoutCopy);
    const auto& c = GetParam();
    TMemoryStream stream(std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    stream.SetPosition(c.startAt);
    EXPECT_EQ(VerifyCabinet(stream), c.expected);
    EXPECT_EQ(stream.Position(), c.startAt);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, VerifyCabinetTest,
    ::testing::Values(VerifyCase{"Cabinet", "MSCF\0\0\0\0 rest", 0, TAbArchiveType::atCab},
                      VerifyCase{"CabinetFromTheMiddle", "MSCF\0\0\0\0 rest", 6,
                                 TAbArchiveType::atCab},
                      VerifyCase{"NotACabinet", "PK\3\4 zip data", 3, TAbArchiveType::atUnknown},
                      VerifyCase{"Empty", "", 0, TAbArchiveType::atUnknown}),
    [](const auto& info) { return std::string(info.param.name); });

// A stream whose reads fail with an error of its own.
class FailingStream : public TMemoryStream {
public:
    int32_t Read(void*, int32_t) override { throw EInOutError(5, u"device went away"); }
};

int* finishedChecksCounter() {
    dynlib::ModuleHandle module = dynlib::loadLibrary(kLibraryWithoutCopy);
    return static_cast<int*>(dynlib::findSymbol(module, "fake_cabinet_finished_checks"));
}

TEST_F(BindingTest, ErrorInACallbackIsRaisedAfterTheLibraryReturns) {
    SetCabinetLibraryNameForTesting(kLibraryWithoutCopy);
    int* finished = finishedChecksCounter();
    ASSERT_NE(finished, nullptr);
    int before = *finished;
    FailingStream stream;
    try {
        VerifyCabinet(stream);
        FAIL() << "the stream's error was lost";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 5);
        EXPECT_EQ(e.Message(), u"device went away");
    }
    // The library's check ran to its end: the error did not unwind through it.
    EXPECT_EQ(*finished, before + 1);
    // And nothing is left over for the next call to raise.
    TMemoryStream cabinet(std::vector<uint8_t>{'M', 'S', 'C', 'F'});
    EXPECT_EQ(VerifyCabinet(cabinet), TAbArchiveType::atCab);
}

TEST(CabAllocTest, RefusesSizesThatAreNotPositiveAsSigned32Bit) {
    EXPECT_EQ(CabAlloc(0), nullptr);
    EXPECT_EQ(CabAlloc(0x80000000u), nullptr);
    EXPECT_EQ(CabAlloc(0xFFFFFFFFu), nullptr);
    void* block = CabAlloc(64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 64);
    CabFree(block);
}

class OpenStreamTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    // Opens through the callback as the library would: by a narrow name.
    CabHandle open(const std::string& nativeName, int flags = 0) {
        std::string name = nativeName;
        return FdiOpenStream(name.data(), flags, 0);
    }
};

TEST_F(OpenStreamTest, OpensForReadingWhateverTheLibraryAsksFor) {
    testsupport::writeFile(folder / "pack.cab", std::string("cabinet bytes"));
    const int kWriteCreateTruncate = CAB_O_RDWR | CAB_O_CREAT | CAB_O_TRUNC;
    CabHandle h = open((folder / "pack.cab").string(), kWriteCreateTruncate);
    ASSERT_NE(h, -1);
    char buffer[7] = {};
    EXPECT_EQ(FdiReadStream(h, buffer, 7), 7u);
    EXPECT_EQ(std::string(buffer, 7), "cabinet");
    EXPECT_EQ(FdiSeekStream(h, -5, 2), 8);
    EXPECT_EQ(FdiWriteStream(h, buffer, 1), static_cast<uint32_t>(-1));  // read-only
    EXPECT_EQ(FdiCloseStream(h), 0);
    EXPECT_EQ(testsupport::readFile(folder / "pack.cab").size(), 13u);  // not truncated
}

TEST_F(OpenStreamTest, MissingFileAnswersMinusOne) {
    EXPECT_EQ(open((folder / "absent.cab").string()), -1);
}

TEST_F(OpenStreamTest, FindsTheNextCabinetUnderAnotherLetterCase) {
    testsupport::writeFile(folder / "Theme2.CAB", std::string("second"));
    CabHandle h = open((folder / "THEME2.cab").string());
    ASSERT_NE(h, -1);
    char buffer[6];
    EXPECT_EQ(FdiReadStream(h, buffer, 6), 6u);
    EXPECT_EQ(std::string(buffer, 6), "second");
    FdiCloseStream(h);
}

TEST_F(OpenStreamTest, PrefersTheExactNameWhenBothSpellingsExist) {
    testsupport::writeFile(folder / "a.cab", std::string("lower"));
    testsupport::writeFile(folder / "A.CAB", std::string("upper"));
    CabHandle h = open((folder / "A.CAB").string());
    char buffer[5];
    ASSERT_EQ(FdiReadStream(h, buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "upper");
    FdiCloseStream(h);
}

TEST_F(OpenStreamTest, ClosingLeavesStreamsTheProgramOwns) {
    TMemoryStream mine(std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(FdiCloseStream(handleOf(mine)), 0);
    EXPECT_EQ(mine.Size(), 3);  // still alive and whole
}

}  // namespace

namespace {

// The same checks against our cabinet library on cabinets written by gcab.
class RealLibraryTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};

TEST_F(RealLibraryTest, VerifyCabinetAcceptsCabinetsOnlyAndKeepsThePosition) {
    for (auto maker : {testsupport::CabMaker::GcabStored, testsupport::CabMaker::GcabMszip}) {
        SCOPED_TRACE(testsupport::makerName(maker));
        auto cabinet = testsupport::makeCabinet(folder.path(), "pack.cab",
                                                testsupport::themePackMembers(), maker);
        ASSERT_FALSE(cabinet.empty());
        TFileStream stream(testsupport::u16(cabinet), TFileOpenMode::ReadShareDenyNone);
        stream.SetPosition(17);
        EXPECT_EQ(VerifyCabinet(stream), TAbArchiveType::atCab);
        EXPECT_EQ(stream.Position(), 17);
    }
    for (std::string bytes : {std::string(), std::string(500, 'x'), std::string("MSCF")}) {
        TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        EXPECT_EQ(VerifyCabinet(stream), TAbArchiveType::atUnknown) << bytes.size() << " bytes";
    }
}

TEST_F(RealLibraryTest, ErrorInAReadCallbackComesBackOutOfTheLibrary) {
    FailingStream stream;
    EXPECT_THROW(VerifyCabinet(stream), EInOutError);
}

}  // namespace

namespace {

// Where an output stream fails, the system's reason comes back out of the library instead of
// its bare "target file" code: a full disk says so.
struct FullDiskPass {
    TFileStream* output;
};

CabHandle CABINET_CC answerWithFullDisk(FDINotificationType type, FDINotification* record) {
    if (type == fdintCOPY_FILE) return handleOf(*static_cast<FullDiskPass*>(record->pv)->output);
    return type == fdintCLOSE_FILE_INFO ? 1 : 0;
}

TEST(FullDiskTest, AFailedWriteRaisesTheSystemsReason) {
    ScratchFolder folder;
    auto cabinet =
        testsupport::makeCabinet(folder.path(), "pack.cab", testsupport::themePackMembers(),
                                 testsupport::CabMaker::GcabMszip);
    ASSERT_FALSE(cabinet.empty());
    TFileStream full(u"/dev/full", TFileOpenMode::Create);
    FullDiskPass pass{&full};
    CabErrorRecord errors{};
    FDIContext context = createDecompressionContext(errors);
    ASSERT_NE(context, nullptr);
    std::string name = "pack.cab";
    std::string path = folder.path().string() + "/";
    try {
        pelmora::FDICopy(context, name.data(), path.data(), 0, answerWithFullDisk, nullptr, &pass);
        ADD_FAILURE() << "the pass succeeded";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, ENOSPC);
        EXPECT_EQ(e.Message(), u"No space left on device");
    }
    pelmora::FDIDestroy(context);
}

}  // namespace
