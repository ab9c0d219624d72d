#include "app/pack_queue.h"

#include <QLocale>
#include <QString>

#include "util/path_delimiter.h"

namespace PackNames {

std::u16string Trim(const std::u16string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && text[first] <= u' ') ++first;
    while (last > first && text[last - 1] <= u' ') --last;
    return text.substr(first, last - first);
}

std::u16string Extension(const std::u16string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        const char16_t c = path[i - 1];
        if (c == u'.') return path.substr(i - 1);
        if (IsPathDelimiter(c)) break;
    }
    return {};
}

std::u16string AsciiLower(std::u16string text) {
    for (auto& c : text) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return text;
}

bool IsThemePackName(const std::u16string& path) {
    const std::u16string extension = AsciiLower(Trim(Extension(path)));
    return extension == u".deskthemepack" || extension == u".themepack";
}

}  // namespace PackNames

TPackQueue::TPackQueue() : FCollator(QLocale::system()) {
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TPackQueue::isQueued(const std::u16string& path) const {
    const QString candidate = QString::fromStdU16String(path);
    for (const auto& entry : FEntries) {
        if (entry.size() == path.size() &&
            FCollator.compare(QString::fromStdU16String(entry), candidate) == 0) {
            return true;
        }
    }
    return false;
}

bool TPackQueue::Addtolst(const std::u16string& str) {
    if (str.empty()) return false;
    // Entries are stored trimmed, so the duplicate test compares the trimmed path: " a" and
    // "a" must not both be queued.
    const std::u16string trimmed = PackNames::Trim(str);
    std::lock_guard lock(FLock);
    if (isQueued(trimmed)) return false;
    if (!PackNames::IsThemePackName(str)) return false;
    if (FEntries.size() >= kCapacity) return false;
    FEntries.push_back(trimmed);
    return true;
}

size_t TPackQueue::Count() const {
    std::lock_guard lock(FLock);
    return FEntries.size();
}

std::optional<std::u16string> TPackQueue::Item(size_t index) const {
    std::lock_guard lock(FLock);
    if (index >= FEntries.size()) return std::nullopt;
    return FEntries[index];
}

std::vector<std::u16string> TPackQueue::Items() const {
    std::lock_guard lock(FLock);
    return FEntries;
}

bool TPackQueue::Delete(size_t index) {
    std::lock_guard lock(FLock);
    if (index >= FEntries.size()) return false;
    FEntries.erase(FEntries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void TPackQueue::Clear() {
    std::lock_guard lock(FLock);
    FEntries.clear();
}

void TPackQueue::WithLock(const std::function<void(std::vector<std::u16string>&)>& work) {
    std::lock_guard lock(FLock);
    work(FEntries);
}
