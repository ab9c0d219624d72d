#include "cli/progress_bar.h"

#include <algorithm>

namespace {
// Back to the start of the line, and the line cleared.
constexpr char kRewind[] = "\r\x1b[K";
}  // namespace

void TProgressBar::Show(const std::string& label, int32_t percent) {
    if (!FEnabled) return;
    percent = std::clamp(percent, 0, 100);
    if (FShown && percent == FPercent && label == FLabel) return;
    const int filled = percent * kWidth / 100;
    std::string line = kRewind + label + " [";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kWidth - filled), '-');
    line += "] " +
            std::string(percent < 10    ? "  "
                        : percent < 100 ? " "
                                        : "") +
            std::to_string(percent) + "%";
    FStream << line << std::flush;
    FShown = true;
    FLabel = label;
    FPercent = percent;
}

void TProgressBar::Clear() {
    if (!FShown) return;
    FStream << kRewind << std::flush;
    FShown = false;
    FPercent = -1;
}
