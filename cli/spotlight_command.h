// pelmora-extract --spotlight: the window's Spotlight harvest from the command line, with a
// line per cache and per result folder.
#pragma once

#include <ostream>
#include <string>

// Harvests every Spotlight cache found (mountTable as for FindSpotlightCaches) into the
// user's result folder. Answers the exit status: 0, or 1 when no cache was found.
int RunSpotlightHarvest(bool quiet, std::ostream& out, std::ostream& err,
                        const std::u16string& mountTable);
