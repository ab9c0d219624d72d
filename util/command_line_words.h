// Splitting a command line into the program and its arguments, for platforms whose process
// services take a word list instead of one command line.
#pragma once

#include <string>
#include <vector>

// Splits like the Windows C runtime: words are separated by spaces and tabs, double quotes
// group spaces into a word, backslashes are literal except before a double quote, where
// 2n backslashes give n and a quote mark delimiter, 2n+1 give n and a literal quote.
std::vector<std::u16string> SplitCommandLine(const std::u16string& commandLine);
