// A small archive format held in memory, for exercising the archive base: members are
// names with contents, extraction writes the content to the file it is given, and every
// call the base makes into the format is recorded in `journal`, beside the events that the
// test's handlers record there.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/ab_archive.h"

struct MemoryMember {
    std::u16string name;
    std::string content;
    bool isDirectory = false;
};

class MemoryItem : public TAbArchiveItem {
public:
    explicit MemoryItem(bool isDirectory = false) : FIsDirectory(isDirectory) {}
    ~MemoryItem() override {
        if (destroyed != nullptr) *destroyed = true;
    }
    // Set to true when the item is freed.
    bool* destroyed = nullptr;
    bool IsDirectory() const override { return FIsDirectory; }
    std::string content;

private:
    bool FIsDirectory;
};

class MemoryArchive : public TAbArchive {
public:
    explicit MemoryArchive(std::vector<MemoryMember> members = {});
    MemoryArchive(const std::u16string& fileName, uint16_t mode);

    // What the test wants the format to do.
    std::vector<MemoryMember> members;
    std::function<void()> readDirectoryFailure;
    // Raised by the extraction of the member of that name.
    std::map<std::u16string, std::function<void()>> extractionFailures;

    // What happened, in order: "write <path>", "stream <name>", "verify <name>",
    // "data <bytes>" for the stream being added, "save <name>:<action>" for each item with
    // a pending action, plus what handlers add.
    std::vector<std::string> journal;
    int32_t writeArchiveCalls = 0;

    // Connects handlers that record every event in `journal`.
    void recordEvents();

    using TAbArchive::EnsureValid;
    using TAbArchive::ResolveOutputName;

protected:
    std::unique_ptr<TAbArchiveItem> NewItem(const std::u16string& FileSpec) override;
    void ExtractItemToFile(int32_t Index, const std::u16string& UseName) override;
    void ExtractItemToStream(int32_t Index, std::ostream& Stream) override;
    void ReadDirectory() override;
    void WriteArchive() override;
    void VerifyItem(int32_t Index) override;
};

// UTF-8 of a UTF-16 text, for journal lines.
std::string u8(const std::u16string& text);
