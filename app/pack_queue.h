// The pack queue: full paths of theme packs waiting for extraction, in admission order.
// The window adds to it on the UI thread; extraction runs read and remove entries from their
// worker thread. Every operation holds the queue's one lock, and WithLock lets a caller make
// several steps one atomic step.
#pragma once

#include <QCollator>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TPackQueue {
public:
    // More entries than this are never admitted: admission is refused while the queue holds
    // more than 20, so it holds at most 21.
    static constexpr size_t kCapacity = 21;

    TPackQueue();

    // Admits one path when it is not empty, not already queued, names a ".themepack" or
    // ".deskthemepack" file and the queue has room; answers whether it was admitted.
    bool Addtolst(const std::u16string& str);

    size_t Count() const;
    bool IsEmpty() const { return Count() == 0; }
    std::optional<std::u16string> Item(size_t index) const;
    std::vector<std::u16string> Items() const;
    // Removes the entry at index; false when there is none.
    bool Delete(size_t index);
    void Clear();

    // Runs `work` on the entries with the lock held.
    void WithLock(const std::function<void(std::vector<std::u16string>& entries)>& work);

private:
    bool isQueued(const std::u16string& path) const;

    mutable std::mutex FLock;
    std::vector<std::u16string> FEntries;
    QCollator FCollator;  // the user's locale, letter case ignored
};

// Helpers of the admission tests, shared with the tests.
namespace PackNames {
// Removes every code unit at or below U+0020 from both ends.
std::u16string Trim(const std::u16string& text);
// The text from the last "." to the end, when no folder or drive delimiter follows it.
std::u16string Extension(const std::u16string& path);
// Lower-cases "A" to "Z" only.
std::u16string AsciiLower(std::u16string text);
// Whether the name's extension is ".themepack" or ".deskthemepack" in any letter case.
bool IsThemePackName(const std::u16string& path);
}  // namespace PackNames
