#include "support/memory_archive.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

#include "archive/core/ab_file_system.h"
#include "archive/core/ab_text.h"
#include "util/errors.h"

std::string u8(const std::u16string& text) {
    return utf16ToUtf8(text);
}

namespace {

std::string processName(TAbProcessType type) {
    static const char* const kNames[] = {"add",  "delete",  "extract",       "freshen",
                                         "move", "replace", "foundUnhandled"};
    return kNames[type];
}

}  // namespace

MemoryArchive::MemoryArchive(std::vector<MemoryMember> initial) : members(std::move(initial)) {}

MemoryArchive::MemoryArchive(const std::u16string& fileName, uint16_t mode)
    : TAbArchive(fileName, mode) {}

void MemoryArchive::recordEvents() {
    SetOnConfirmProcessItem([this](TAbArchive&, TAbArchiveItem* item, TAbProcessType type, bool&) {
        journal.push_back("confirm " + processName(type) + " " + u8(item->FileName()));
    });
    SetOnConfirmOverwrite(
        [this](std::u16string& name, bool&) { journal.push_back("overwrite " + u8(name)); });
    SetOnProcessItemFailure([this](TAbArchive&, TAbArchiveItem* item, TAbProcessType type,
                                   TAbErrorClass errorClass, int32_t code) {
        journal.push_back("failure " + processName(type) + " " + u8(item->FileName()) + " " +
                          std::to_string(errorClass) + " " + std::to_string(code));
    });
    SetOnArchiveProgress([this](TAbArchive&, uint8_t progress, bool&) {
        journal.push_back("progress " + std::to_string(progress));
    });
    SetOnLoad([this](TAbArchive&) { journal.push_back("load"); });
    SetOnSave([this](TAbArchive&) { journal.push_back("saved"); });
}

std::unique_ptr<TAbArchiveItem> MemoryArchive::NewItem(const std::u16string& FileSpec) {
    auto item = std::make_unique<MemoryItem>();
    item->SetFileName(NormalizeStoredName(FileSpec));
    // Like a real format: the disk file as a full path, from the current directory.
    item->SetDiskFileName(std::filesystem::absolute(toFsPath(FileSpec)).u16string());
    return item;
}

void MemoryArchive::ExtractItemToFile(int32_t Index, const std::u16string& UseName) {
    auto* item = static_cast<MemoryItem*>(ItemList().Get(Index));
    journal.push_back("write " + u8(UseName));
    if (const auto failure = extractionFailures.find(item->FileName());
        failure != extractionFailures.end()) {
        failure->second();
    }
    if (item->IsDirectory()) {
        CreateDirectoryChain(UseName);
        return;
    }
    std::ofstream out(toFsPath(UseName), std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(UseName, u"cannot write");
    out << item->content;
}

void MemoryArchive::ExtractItemToStream(int32_t Index, std::ostream& Stream) {
    auto* item = static_cast<MemoryItem*>(ItemList().Get(Index));
    journal.push_back("stream " + u8(item->FileName()));
    if (const auto failure = extractionFailures.find(item->FileName());
        failure != extractionFailures.end()) {
        failure->second();
    }
    Stream << item->content;
}

void MemoryArchive::ReadDirectory() {
    journal.push_back("read");
    if (readDirectoryFailure) readDirectoryFailure();
    ItemList().Clear();
    for (const auto& member : members) {
        auto* item = new MemoryItem(member.isDirectory);
        item->SetFileName(member.name);
        item->content = member.content;
        item->SetUncompressedSize(static_cast<int64_t>(member.content.size()));
        ItemList().Add(item);
    }
}

void MemoryArchive::WriteArchive() {
    ++writeArchiveCalls;
    if (FInStream != nullptr) {
        std::string data;
        std::getline(*FInStream, data, '\0');
        journal.push_back("data " + data);
    }
    for (int32_t i = Count() - 1; i >= 0; --i) {
        TAbArchiveItem* item = ItemList().Get(i);
        if (item->Action() == aaNone) continue;
        journal.push_back("save " + u8(item->FileName()) + ":" + std::to_string(item->Action()));
        if (item->Action() == aaDelete) {
            ItemList().Delete(i);
        } else {
            item->SetAction(aaNone);
        }
    }
}

void MemoryArchive::VerifyItem(int32_t Index) {
    journal.push_back("verify " + u8(ItemList().Get(Index)->FileName()));
}
