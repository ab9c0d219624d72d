// Damaged cabinets against the peer readers: small sound cabinets of every compression we can
// make (gcab: stored, MSZIP; cabtool: MSZIP, LZX; the corpus: Quantum) are mutated with a
// seeded generator inside their data blocks, the blocks' checksums are made to match again,
// and each member is extracted by this library (through FDI), cabextract and 7zz.
//
// A member that this library reports as written with bytes other than the sound cabinet's
// must not be one that both peers fail (they may refuse a whole truncated cabinet, members
// intact or not, so a member written with its original bytes is right whatever they say);
// and where both peers extract it to the same bytes, this library's must be those. A member
// that this library refuses, or writes unchanged, needs no peer run, which keeps the test
// quick.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cab_format.h"
#include "support/block_checksums.h"
#include "support/cab_reader.h"
#include "support/memory_fdi.h"
#include "support/process_output.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using cabinet::testing::commandOutput;
using cabinet::testing::shellQuote;

constexpr int kMutantsPerCabinet = 60;

struct SeedCabinet {
    std::string name;
    std::vector<uint8_t> bytes;
};

bool havePeers() {
    return cabtest::runCommand(
               "command -v cabextract >/dev/null && command -v 7zz >/dev/null && "
               "command -v gcab >/dev/null") == 0;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    return cabtest::readWholeFile(path.string());
}

// Two members per cabinet, a text and a noise one, so damage to one leaves the other to check.
std::vector<SeedCabinet> seedCabinets(const cabtest::TempFolder& temp) {
    const std::vector<cabtest::FixtureMember> members = {
        {"text.txt", cabtest::sampleText(40000, 21)}, {"noise.bin", cabtest::noise(3000, 22)}};
    std::vector<SeedCabinet> seeds;
    for (bool mszip : {false, true}) {
        const std::string name = mszip ? "gcab-mszip.cab" : "gcab-stored.cab";
        seeds.push_back(
            {name, readFile(cabtest::makeGcabCabinet(temp.path(), name, members, mszip))});
    }
    for (const auto& m : members) cabtest::writeFile(temp / m.name, m.bytes);
    for (const char* method : {"mszip", "lzx:15"}) {
        const std::string name = std::string("cabtool-") + method + ".cab";
        std::string command = "cd " + shellQuote(temp.path().string()) + " && " +
                              shellQuote(cabtest::cabtoolPath()) + " create -z " + method + " " +
                              shellQuote(name);
        for (const auto& m : members) {
            command += ' ';  // appended: GCC 12 at -O3 misreads " " + a temporary as an overlap
            command += shellQuote(m.name);
        }
        EXPECT_EQ(cabtest::runCommand(command + " >/dev/null"), 0) << command;
        seeds.push_back({name, readFile(temp / name)});
    }
    seeds.push_back({"mszip_lzx_qtm.cab", readFile(cabtest::corpusPath("cabd/mszip_lzx_qtm.cab"))});
    return seeds;
}

// Where the data blocks start: the first folder's data offset. Mutations stay behind it, so
// the directory (names, sizes, folder records) is the seed's and members keep their names.
size_t dataStart(const std::vector<uint8_t>& cabinet) {
    cabinet::CabHeader header;
    cabinet::CabFolder folder;
    if (cabinet::parseCabHeader(cabinet.data(), cabinet.size(), header) !=
            cabinet::ParseStatus::ok ||
        cabinet::parseCabFolder(cabinet.data(), cabinet.size(), header, 0, folder) !=
            cabinet::ParseStatus::ok)
        return cabinet.size();
    return folder.dataOffset;
}

// One to three changes inside the data blocks (a flipped bit, a byte set at random), then
// checksums that match the damaged bytes; or, one time in eight, only the end cut off. A cut
// is never combined with changes: the peers refuse a truncated cabinet as a whole, so their
// verdict on a changed member would say nothing about the member.
std::vector<uint8_t> mutate(const std::vector<uint8_t>& seed, std::mt19937& random) {
    std::vector<uint8_t> cab = seed;
    const size_t start = dataStart(cab);
    if (start >= cab.size()) return cab;
    if (random() % 8 == 0) {
        cab.resize(start + random() % (cab.size() - start));
        return cab;
    }
    const int changes = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < changes; ++i) {
        const size_t at = start + random() % (cab.size() - start);
        if (random() % 4 == 0)
            cab[at] = static_cast<uint8_t>(random());
        else
            cab[at] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    cabtest::stampBlockChecksums(cab.data(), cab.size(), cabtest::Stamp::blocksWithChecksum);
    return cab;
}

struct PeerResult {
    bool ok;
    std::vector<uint8_t> bytes;
};

PeerResult cabextract(const fs::path& cab, const std::string& member) {
    PeerResult r{};
    r.bytes = commandOutput("cabextract -q -p -F " + shellQuote(member) + " " +
                                shellQuote(cab.string()) + " 2>/dev/null",
                            &r.ok);
    return r;
}

PeerResult sevenZip(const fs::path& cab, const std::string& member) {
    PeerResult r{};
    r.bytes = commandOutput(
        "7zz e -so " + shellQuote(cab.string()) + " " + shellQuote(member) + " 2>/dev/null", &r.ok);
    return r;
}

// This library's verdict on one member: its bytes when it reports the member as written.
PeerResult ours(cabtest::FdiHarness& h, const std::string& member) {
    h.wanted = {member};
    PeerResult r{};
    r.ok = h.copy("mutant.cab");
    bool closed = false;
    for (const auto& e : h.events) closed = closed || e.type == fdintCLOSE_FILE_INFO;
    r.ok = r.ok && closed;
    r.bytes = h.outputs[member];
    return r;
}

TEST(MutantDifferentialTest, WhatBothPeersCallDamagedFailsHereToo) {
    if (!havePeers()) GTEST_SKIP() << "cabextract, 7zz or gcab is missing";
    cabtest::TempFolder temp;
    std::mt19937 random(20240611);
    int mutants = 0, refusedHere = 0, changedHere = 0;

    for (const SeedCabinet& seed : seedCabinets(temp)) {
        const std::string seedPath = temp.write("seed-" + seed.name, seed.bytes);
        std::vector<std::string> members;
        for (const auto& file : cabtest::parseCabinetFile(seedPath).files)
            members.push_back(file.name);
        ASSERT_FALSE(members.empty()) << seed.name;
        std::map<std::string, std::vector<uint8_t>> original;
        {
            cabtest::FdiHarness h;
            h.files["mutant.cab"] = seed.bytes;
            for (const std::string& member : members) {
                const PeerResult sound = ours(h, member);
                ASSERT_TRUE(sound.ok) << seed.name << " " << member;
                original[member] = sound.bytes;
            }
        }

        for (int n = 0; n < kMutantsPerCabinet; ++n, ++mutants) {
            const auto mutant = mutate(seed.bytes, random);
            const fs::path path = temp.write("mutant.cab", mutant);
            cabtest::FdiHarness h;
            ASSERT_TRUE(h.created());
            h.files["mutant.cab"] = mutant;
            for (const std::string& member : members) {
                const PeerResult here = ours(h, member);
                if (!here.ok) {
                    ++refusedHere;
                    continue;
                }
                if (here.bytes == original[member]) continue;
                ++changedHere;
                const PeerResult a = cabextract(path, member);
                const PeerResult b = sevenZip(path, member);
                const std::string where = seed.name + " mutant " + std::to_string(n) + " " + member;
                if (!a.ok && !b.ok) {
                    ADD_FAILURE() << where << ": both peers fail it, this library wrote it";
                    cabtest::writeFile(fs::path(PELMORA_BINARY_DIR) / "failed-mutant.cab", mutant);
                } else if (a.ok && b.ok && a.bytes == b.bytes) {
                    EXPECT_TRUE(here.bytes == a.bytes)
                        << where << ": bytes differ from both peers'";
                }
            }
        }
    }
    // The mutants must reach the decoders: a run where nothing is refused tests nothing.
    EXPECT_GT(refusedHere, mutants / 4) << "of " << mutants << " mutants";
    RecordProperty("mutants", mutants);
    RecordProperty("refusedHere", refusedHere);
    RecordProperty("writtenChanged", changedHere);
}

}  // namespace
