// pelmora-extract: pulls the wallpapers out of theme packs from the command line.
#include <iostream>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/pack_extraction.h"
#include "cli/spotlight_command.h"
#include "cli/stop_signals.h"
#include "spotlight/spotlight_harvest.h"

int main(int argc, char** argv) {
    const TParsedCommandLine parsed = ParseCommandLine(ProgramArguments(argc, argv));
    switch (parsed.Action) {
        case TCliAction::caHelp:
            std::cout << HelpText();
            return 0;
        case TCliAction::caVersion:
            std::cout << "pelmora-extract " PELMORA_VERSION "\n";
            return 0;
        case TCliAction::caUsageError:
            std::cerr << "pelmora-extract: " << parsed.Error << '\n' << kUsageLine << '\n';
            return 2;
        case TCliAction::caRun:
            break;
    }
    if (parsed.Options.Spotlight) {
        return RunSpotlightHarvest(parsed.Options.Quiet, std::cout, std::cerr, SystemMountTable());
    }
    CatchStopSignals();
    int status;
    {
        TPackExtraction extraction(parsed.Options, std::cout, std::cerr, StandardErrorIsTerminal());
        status = extraction.Run();
    }
    // An interrupted run has discarded its unfinished member by now.
    EndAsTheCaughtStopSignal();
    return status;
}
