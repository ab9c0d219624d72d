#include "util/command_line_words.h"

std::vector<std::u16string> SplitCommandLine(const std::u16string& commandLine) {
    std::vector<std::u16string> words;
    std::u16string word;
    bool inWord = false;
    bool quoted = false;
    size_t i = 0;
    while (i < commandLine.size()) {
        const char16_t c = commandLine[i];
        if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
            continue;
        }
        inWord = true;
        if (c == u'\\') {
            size_t slashes = 0;
            while (i < commandLine.size() && commandLine[i] == u'\\') ++slashes, ++i;
            if (i < commandLine.size() && commandLine[i] == u'"') {
                word.append(slashes / 2, u'\\');
                if (slashes % 2 == 1) {
                    word += u'"';
                    ++i;
                }
            } else {
                word.append(slashes, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            quoted = !quoted;
        } else {
            word += c;
        }
        ++i;
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}
