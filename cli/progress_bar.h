// A one-line progress bar that redraws itself in place on a terminal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

class TProgressBar {
public:
    // A bar that is not enabled draws nothing.
    TProgressBar(std::ostream& stream, bool enabled) : FStream(stream), FEnabled(enabled) {}
    // Draws "label [#####-----]  45%"; the same percentage of the same label is not redrawn.
    void Show(const std::string& label, int32_t percent);
    // Takes the bar off its line, so that other text can be written there.
    void Clear();

    static constexpr int kWidth = 30;

private:
    std::ostream& FStream;
    bool FEnabled;
    bool FShown = false;
    std::string FLabel;
    int32_t FPercent = -1;
};
