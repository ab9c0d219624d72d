// Failures reach the caller as an FCI error code, leave nothing behind (no temporary file, no
// half-written cabinet, no memory, no open handle), and a failure that changed nothing leaves
// the context usable.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/cab_reader.h"
#include "support/fci_harness.h"

namespace {

namespace fs = std::filesystem;
using cabtest::FciSession;
using cabtest::TempDir;

struct Scenario {
    TempDir dir;
    std::string good, noise;
    Scenario() {
        good = dir.file("good.txt");
        noise = dir.file("noise.bin");
        cabtest::writeFile(good, cabtest::repetitiveText(50000));
        cabtest::writeFile(noise, cabtest::randomBytes(120000, 6));
    }
};

void expectNothingLeft(FciSession& fci) {
    EXPECT_EQ(fci.liveAllocations, 0);
    EXPECT_EQ(fci.openHandles, 0);
    EXPECT_TRUE(fci.tempFilesLeft().empty());
}

struct FailureCase {
    const char* name;
    void (*setup)(FciSession&);
    // Runs the calls; answers false at the call expected to fail.
    bool (*run)(FciSession&, const Scenario&);
    int expectedError;
    bool recoverable;  // a good member can still be added and the cabinet written
};

class FciFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FciFailureTest, ReportsTheErrorAndLeavesNothingBehind) {
    const auto& c = GetParam();
    Scenario s;
    FciSession fci(s.dir.path());
    c.setup(fci);
    ASSERT_TRUE(fci.create()) << fci.error.ErrorCode;
    EXPECT_FALSE(c.run(fci, s));
    EXPECT_EQ(fci.error.ErrorCode, c.expectedError);
    EXPECT_TRUE(fci.error.ErrorPresent);
    if (c.recoverable) {
        EXPECT_TRUE(fci.add(s.good, "after.txt", tcompTYPE_MSZIP)) << fci.error.ErrorCode;
        EXPECT_TRUE(fci.flushCabinet()) << fci.error.ErrorCode;
        EXPECT_FALSE(fci.error.ErrorPresent);
        ASSERT_EQ(fci.cabinetsOpened.size(), 1u);
        auto cab = cabtest::parseCabinetFile(fci.cabinetsOpened[0]);
        ASSERT_EQ(cab.files.size(), 1u);
        EXPECT_STREQ(cab.files[0].name, "after.txt");
    } else {
        // The context stays failed with the same error.
        EXPECT_FALSE(fci.add(s.good, "after.txt", tcompTYPE_MSZIP));
        EXPECT_EQ(fci.error.ErrorCode, c.expectedError);
        EXPECT_FALSE(fci.flushCabinet());
    }
    EXPECT_TRUE(fci.destroy());
    expectNothingLeft(fci);
    if (!c.recoverable) {
        for (const auto& cab : fci.cabinetsOpened) {
            // Cabinets completed before the failure may stay; none is left half written.
            if (fs::exists(cab)) {
                auto parsed = cabtest::parseCabinetFile(cab);
                EXPECT_EQ(parsed.header.cabinetSize, parsed.bytes.size()) << cab;
            }
        }
    }
}

void noSetup(FciSession&) {}

INSTANTIATE_TEST_SUITE_P(
    Cases, FciFailureTest,
    ::testing::Values(
        FailureCase{"missing_source", noSetup,
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.dir.file("absent"), "absent.txt", tcompTYPE_MSZIP);
                    },
                    FCIERR_OPEN_SRC, true},
        FailureCase{"quantum_not_written", noSetup,
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "q.txt", tcompTYPE_QUANTUM);
                    },
                    FCIERR_BAD_COMPR_TYPE, true},
        FailureCase{"lzx_window_22", noSetup,
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "l.txt", tcompTYPE_LZX | 22 << 8);
                    },
                    FCIERR_BAD_COMPR_TYPE, true},
        FailureCase{"lzx_window_14", noSetup,
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "l.txt", tcompTYPE_LZX | 14 << 8);
                    },
                    FCIERR_BAD_COMPR_TYPE, true},
        FailureCase{"unknown_type", noSetup,
                    [](FciSession& f, const Scenario& s) { return f.add(s.good, "u.txt", 4); },
                    FCIERR_BAD_COMPR_TYPE, true},
        FailureCase{"name_too_long", noSetup,
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, std::string(256, 'n'), tcompTYPE_NONE);
                    },
                    FCIERR_CAB_FORMAT_LIMIT, true},
        FailureCase{
            "empty_name", noSetup,
            [](FciSession& f, const Scenario& s) { return f.add(s.good, "", tcompTYPE_NONE); },
            FCIERR_CAB_FORMAT_LIMIT, true},
        FailureCase{"source_read_fails", [](FciSession& f) { f.failReadAt = 1; },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "g.txt", tcompTYPE_MSZIP);
                    },
                    FCIERR_READ_SRC, false},
        FailureCase{"incompressible_refused",
                    [](FciSession& f) { f.parameters.fFailOnIncompressible = 1; },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.noise, "n.bin", tcompTYPE_MSZIP);
                    },
                    FCIERR_MCI_FAIL, false},
        FailureCase{"status_aborts",
                    [](FciSession& f) {
                        f.onStatus = [](const cabtest::StatusEvent& e) {
                            return e.type == statusFile ? -1 : 0;
                        };
                    },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.noise, "n.bin", tcompTYPE_MSZIP);
                    },
                    FCIERR_USER_ABORT, false},
        FailureCase{"cabinet_status_aborts",
                    [](FciSession& f) {
                        f.onStatus = [](const cabtest::StatusEvent& e) {
                            return e.type == statusCabinet ? -1 : 0;
                        };
                    },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "g.txt", tcompTYPE_MSZIP) && f.flushCabinet();
                    },
                    FCIERR_USER_ABORT, false},
        FailureCase{"next_cabinet_refused",
                    [](FciSession& f) {
                        f.parameters.cb = 40000;
                        f.nextCabinet = [](FCICabInfo&) { return false; };
                    },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.noise, "n.bin", tcompTYPE_NONE) && f.flushCabinet();
                    },
                    FCIERR_USER_ABORT, false},
        FailureCase{"next_cabinet_same_name",
                    [](FciSession& f) {
                        f.parameters.cb = 40000;
                        f.nextCabinet = [](FCICabInfo&) { return true; };
                    },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.noise, "n.bin", tcompTYPE_NONE) && f.flushCabinet();
                    },
                    FCIERR_CAB_FILE, false},
        FailureCase{"cabinet_too_small", [](FciSession& f) { f.parameters.cb = 60; },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "g.txt", tcompTYPE_MSZIP) && f.flushCabinet();
                    },
                    FCIERR_CAB_FORMAT_LIMIT, false},
        FailureCase{"cabinet_write_fails", [](FciSession& f) { f.failCabinetWrites = true; },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "g.txt", tcompTYPE_MSZIP) && f.flushCabinet();
                    },
                    FCIERR_CAB_FILE, false},
        FailureCase{"cabinet_folder_missing",
                    [](FciSession& f) {
                        std::snprintf(f.parameters.szCabPath, sizeof f.parameters.szCabPath,
                                      "%s/no/such/folder/", f.folder_.c_str());
                    },
                    [](FciSession& f, const Scenario& s) {
                        return f.add(s.good, "g.txt", tcompTYPE_MSZIP) && f.flushCabinet();
                    },
                    FCIERR_CAB_FILE, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A cabinet that fails while being written is removed, so no truncated cabinet remains.
TEST(FciFailure, HalfWrittenCabinetIsRemoved) {
    Scenario s;
    FciSession fci(s.dir.path());
    fci.failCabinetWrites = true;
    ASSERT_TRUE(fci.create());
    ASSERT_TRUE(fci.add(s.good, "g.txt", tcompTYPE_MSZIP));
    EXPECT_FALSE(fci.flushCabinet());
    EXPECT_EQ(fci.error.ErrorCode, FCIERR_CAB_FILE);
    ASSERT_EQ(fci.cabinetsOpened.size(), 1u);
    EXPECT_FALSE(fs::exists(fci.cabinetsOpened[0]));
    EXPECT_TRUE(fci.destroy());
    expectNothingLeft(fci);
}

TEST(FciFailure, RefusedTemporaryFileFailsCreation) {
    Scenario s;
    FciSession fci(s.dir.path());
    fci.refuseTempFile = true;
    EXPECT_FALSE(fci.create());
    EXPECT_EQ(fci.error.ErrorCode, FCIERR_TEMP_FILE);
    expectNothingLeft(fci);
}

TEST(FciFailure, BadParametersFailCreation) {
    Scenario s;
    FciSession fci(s.dir.path());
    fci.parameters.cbReserveCFData = 256;
    EXPECT_FALSE(fci.create());
    EXPECT_EQ(fci.error.ErrorCode, FCIERR_CAB_FORMAT_LIMIT);
    expectNothingLeft(fci);
}

// Refuse each allocation of a whole session in turn: every refusal is reported as
// FCIERR_ALLOC_FAIL from some call, and nothing leaks.
TEST(FciFailure, EveryRefusedAllocationIsReportedAndNothingLeaks) {
    int refusals = 0;
    for (int at = 1;; ++at) {
        Scenario s;
        FciSession fci(s.dir.path());
        fci.parameters.cb = 60000;
        fci.failAllocAt = at;
        bool ok = fci.create() && fci.add(s.good, "g.txt", tcompTYPE_MSZIP) &&
                  fci.add(s.noise, "n.bin", tcompTYPE_NONE) &&
                  fci.add(s.good, "l.txt", tcompTYPE_LZX | 21 << 8) && fci.flushCabinet();
        if (!ok) {
            ++refusals;
            EXPECT_EQ(fci.error.ErrorCode, FCIERR_ALLOC_FAIL) << "allocation " << at;
        }
        if (fci.context_) fci.destroy();
        expectNothingLeft(fci);
        if (ok) break;
        ASSERT_LT(at, 500) << "the session never succeeded";
    }
    EXPECT_GT(refusals, 5);
}

}  // namespace
