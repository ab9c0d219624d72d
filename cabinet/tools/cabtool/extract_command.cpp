// cabtool extract / cabtool test: decode every member (or the named ones) of a cabinet and of
// the next cabinets of its set, writing them under a folder, to standard output, or nowhere.
//
// A member is written to a temporary file beside its target and renamed over the target only
// once complete, so a failed member never replaces a good file. A member that fails is
// reported and the pass is run again past it, so one bad member does not hide the others.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <system_error>

#include "commands.h"
#include "dos_time.h"
#include "fdi_session.h"
#include "find_file.h"
#include "util/member_output_path.h"
#include "util/printable_text.h"

namespace cabtool {

namespace {

namespace fs = std::filesystem;

enum class Output { files, standardOutput, nowhere };

struct Options {
    Output output = Output::files;
    fs::path folder = ".";
    std::string cabinet;
    std::set<std::string> members;  // empty: every member
};

std::string refusalText(MemberPathVerdict verdict) {
    switch (verdict) {
        case MemberPathVerdict::invalidCharacters:
            return "refused: invalid characters in the name";
        case MemberPathVerdict::throughLink:
            return "refused: a folder on the way is a symbolic link";
        default:
            return "refused: the name leads outside the output folder";
    }
}

std::string normalizedName(const std::string& name) {
    std::string result = name;
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

class ExtractHandler : public NotificationHandler {
public:
    explicit ExtractHandler(const Options& options) : options_(options) {}
    ~ExtractHandler() override { discardOpenMember(); }

    // Members up to the `skipThrough`-th offered in the pass are skipped: they failed before.
    void beginPass(const std::string& cabinetFile, unsigned skipThrough) {
        cabinetFile_ = cabinetFile;
        skipThrough_ = skipThrough;
        offered_ = 0;
        nextCabinet_.clear();
        cabinetInfoSeen_ = false;
        nextCabinetFailure_ = FDIERROR_NONE;
    }

    CabHandle notify(FDINotificationType type, FDINotification& n) override {
        switch (type) {
            case fdintCABINET_INFO:
                if (!cabinetInfoSeen_) nextCabinet_ = n.psz1;
                cabinetInfoSeen_ = true;
                return 0;
            case fdintCOPY_FILE:
                return openMember(n);
            case fdintCLOSE_FILE_INFO:
                finishMember(n);
                return 1;
            case fdintNEXT_CABINET:
                // The library reports a cabinet it could not open by asking again; give up
                // then, keeping its reason.
                if (n.fdie == FDIERROR_NONE) return 0;
                nextCabinetFailure_ = n.fdie;
                return -1;
            default:
                return 0;
        }
    }

    // After a failed pass: the member that was being written (empty if none), its ordinal.
    const std::string& openMemberName() const { return memberName_; }
    unsigned offered() const { return offered_; }
    int nextCabinetFailure() const { return nextCabinetFailure_; }
    const std::string& nextCabinet() const { return nextCabinet_; }
    int failures() const { return failures_; }
    const std::set<std::string>& found() const { return found_; }

    void discardOpenMember() {
        if (!output_) return;
        closeFile(output_);
        output_ = nullptr;
        if (!tempPath_.empty()) {
            std::error_code ec;
            fs::remove(tempPath_, ec);
            tempPath_.clear();
        }
    }

    void reportFailure(const std::string& member, const std::string& what, int code) {
        std::string line = cabinetFile_ + ": ";
        if (!member.empty()) line += printableText(member) + ": ";
        printError(line + what +
                   (code != FDIERROR_NONE ? std::string(" (") + fdiErrorName(code) + ")" : ""));
        ++failures_;
    }

private:
    CabHandle openMember(const FDINotification& n) {
        ++offered_;
        memberName_.clear();
        if (offered_ <= skipThrough_) return 0;
        std::string name = n.psz1;
        if (!options_.members.empty()) {
            std::string key = options_.members.count(name) ? name : normalizedName(name);
            if (!options_.members.count(key)) return 0;
            found_.insert(key);
        }
        if (options_.output == Output::nowhere) {
            output_ = new Stream{nullptr, false, 0};
        } else if (options_.output == Output::standardOutput) {
            output_ = new Stream{stdout, false, 0};
        } else if (!createTarget(name)) {
            return 0;
        }
        memberName_ = name;
        return handleOf(output_);
    }

    bool createTarget(const std::string& name) {
        // The archive's extraction follows the same rule: one policy for every writer.
        const MemberPath<char> member = memberOutputPath(options_.folder, std::string_view(name),
                                                         /*keepFolders=*/true);
        if (member.verdict != MemberPathVerdict::safe) {
            reportFailure(name, refusalText(member.verdict), FDIERROR_TARGET_FILE);
            return false;
        }
        targetPath_ = options_.folder / member.relative;
        std::error_code ec;
        fs::create_directories(targetPath_.parent_path(), ec);
        if (ec) {
            reportFailure(
                name,
                "cannot create folder " + targetPath_.parent_path().string() + ": " + ec.message(),
                FDIERROR_TARGET_FILE);
            return false;
        }
        for (int attempt = 0; attempt < 100 && !output_; ++attempt) {
            // Named apart from the member: the member's own name may already be as long as
            // the file system allows.
            fs::path temp = targetPath_.parent_path() / (".cabtool-part" + std::to_string(attempt));
            // "x": never reuse or follow an existing entry of that name.
            std::FILE* file = std::fopen(temp.string().c_str(), "wbx");
            if (file) {
                output_ = new Stream{file, true, 0};
                tempPath_ = temp;
            } else if (errno != EEXIST) {
                reportFailure(name, "cannot create " + temp.string() + ": " + std::strerror(errno),
                              FDIERROR_TARGET_FILE);
                return false;
            }
        }
        if (!output_) {
            reportFailure(name, "cannot create a temporary file beside " + targetPath_.string(),
                          FDIERROR_TARGET_FILE);
        }
        return output_ != nullptr;
    }

    void finishMember(const FDINotification& n) {
        if (options_.output == Output::standardOutput) std::fflush(stdout);
        if (options_.output != Output::files) {
            closeFile(output_);
            output_ = nullptr;
            memberName_.clear();
            return;
        }
        bool closed = closeFile(output_);
        output_ = nullptr;
        std::error_code ec;
        if (closed) fs::rename(tempPath_, targetPath_, ec);
        if (!closed || ec) {
            reportFailure(memberName_, "cannot write " + targetPath_.string(),
                          FDIERROR_TARGET_FILE);
            fs::remove(tempPath_, ec);
        } else {
            applyDosTime(targetPath_, n.date, n.time);
            applyAttributes(targetPath_, n.attribs);
        }
        tempPath_.clear();
        memberName_.clear();
    }

    static bool closeFile(Stream* stream) {
        bool ok = !stream->file || !stream->ownsFile || std::fclose(stream->file) == 0;
        delete stream;
        return ok;
    }

    const Options& options_;
    std::string cabinetFile_;
    unsigned skipThrough_ = 0;
    unsigned offered_ = 0;
    bool cabinetInfoSeen_ = false;
    std::string nextCabinet_;
    int nextCabinetFailure_ = FDIERROR_NONE;
    std::string memberName_;
    Stream* output_ = nullptr;
    fs::path targetPath_;
    fs::path tempPath_;
    int failures_ = 0;
    std::set<std::string> found_;
};

// Runs passes over one cabinet until every member was offered; false when the cabinet itself
// failed (and the set cannot be followed further).
bool extractCabinet(FdiSession& session, ExtractHandler& handler, const std::string& name,
                    const std::string& folder) {
    const std::string shown = folder + name;
    unsigned skipThrough = 0;
    for (;;) {
        handler.beginPass(shown, skipThrough);
        bool ok = session.copy(name, folder, handler);
        if (ok) return true;
        int code = session.errorCode();
        if (code == FDIERROR_USER_ABORT && handler.nextCabinetFailure() != FDIERROR_NONE)
            code = handler.nextCabinetFailure();
        std::string member = handler.openMemberName();
        handler.discardOpenMember();
        handler.reportFailure(member, fdiErrorText(code), code);
        if (member.empty()) return false;
        skipThrough = handler.offered();
    }
}

int extract(const Options& options) {
    FdiSession session;
    ExtractHandler handler(options);
    std::string folder = folderPart(options.cabinet);
    std::string name = fileNamePart(options.cabinet);
    std::set<std::string> visited;
    std::string previous;
    for (;;) {
        auto located = findFileAnyCase(fs::path(folder + name));
        if (!located) {
            // The first cabinet is missing, or the next one of the set that the last named.
            handler.beginPass(visited.empty() ? folder + name : previous, 0);
            handler.reportFailure("",
                                  visited.empty()
                                      ? std::string(fdiErrorText(FDIERROR_CABINET_NOT_FOUND))
                                      : "next cabinet " + name + " not found",
                                  FDIERROR_CABINET_NOT_FOUND);
            break;
        }
        std::error_code ec;
        std::string key = fs::weakly_canonical(*located, ec).string();
        if (!visited.insert(key).second) break;  // a set that names itself again
        if (!extractCabinet(session, handler, name, folder)) break;
        if (handler.nextCabinet().empty()) break;
        previous = folder + name;
        name = handler.nextCabinet();
    }
    for (const std::string& wanted : options.members) {
        if (handler.found().count(wanted)) continue;
        handler.beginPass(options.cabinet, 0);
        handler.reportFailure(wanted, "no such member", FDIERROR_NONE);
    }
    return handler.failures() == 0 ? 0 : 1;
}

}  // namespace

int runExtract(const Arguments& args) {
    Options options;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        if (args[i] == "-d" && i + 1 < args.size()) {
            options.folder = args[++i];
        } else if (args[i] == "-p") {
            options.output = Output::standardOutput;
        } else {
            printError("usage: cabtool extract [-d DIR] [-p] FILE [MEMBER...]");
            return 1;
        }
    }
    if (i >= args.size()) {
        printError("usage: cabtool extract [-d DIR] [-p] FILE [MEMBER...]");
        return 1;
    }
    options.cabinet = args[i++];
    for (; i < args.size(); ++i) options.members.insert(normalizedName(args[i]));
    if (options.output == Output::files) {
        std::error_code ec;
        fs::create_directories(options.folder, ec);
        if (ec) {
            printError(options.folder.string() + ": " + ec.message());
            return 1;
        }
    }
    return extract(options);
}

int runTest(const Arguments& args) {
    if (args.empty()) {
        printError("usage: cabtool test FILE [MEMBER...]");
        return 1;
    }
    Options options;
    options.output = Output::nowhere;
    options.cabinet = args[0];
    for (size_t i = 1; i < args.size(); ++i) options.members.insert(normalizedName(args[i]));
    return extract(options);
}

}  // namespace cabtool
