// cabtool list FILE: the members of one cabinet, without decoding anything.
#include <cstdio>

#include "commands.h"
#include "dos_time.h"
#include "fdi_session.h"
#include "util/printable_text.h"

namespace cabtool {

namespace {

class ListHandler : public NotificationHandler {
public:
    CabHandle notify(FDINotificationType type, FDINotification& n) override {
        if (type == fdintCOPY_FILE || type == fdintPARTIAL_FILE) {
            std::string attributes = formatAttributes(n.attribs);
            attributes += type == fdintPARTIAL_FILE ? 'c' : '-';
            std::printf("%10u %s %s %s %s\n", static_cast<uint32_t>(n.cb),
                        formatDosDate(n.date).c_str(), formatDosTime(n.time).c_str(),
                        attributes.c_str(), printableText(n.psz1).c_str());
        }
        return 0;
    }
};

}  // namespace

int runList(const Arguments& args) {
    if (args.size() != 1) {
        printError("usage: cabtool list FILE");
        return 1;
    }
    const std::string& file = args[0];
    FdiSession session;
    ListHandler handler;
    if (!session.copy(fileNamePart(file), folderPart(file), handler)) {
        int code = session.errorCode();
        printError(file + ": " + fdiErrorText(code) + " (" + fdiErrorName(code) + ")");
        return 1;
    }
    return 0;
}

}  // namespace cabtool
