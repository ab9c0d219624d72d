// The extraction run: drains the pack queue through the window's cabinet extractor, writing
// each pack's pictures into a folder beside it, and tells the display how it goes. The run
// works on the worker thread; its reports are posted to the display, never waited for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/pack_queue.h"
#include "archive/core/ab_exceptions.h"

class TAbArchiveItem;
class TAbCustomCabExtractor;

// A member of a pack that could not be extracted, and why.
struct TMemberFailure {
    std::u16string Member;  // the stored name
    std::u16string Message;
    bool operator==(const TMemberFailure&) const = default;
};

// A pack that could not be extracted, or whose members did not all come out, and why.
struct TPackFailure {
    std::u16string Pack;  // the queued path
    std::u16string Message;
    std::vector<TMemberFailure> Members;  // in the order they failed
    bool operator==(const TPackFailure&) const = default;
};
using TPackFailures = std::shared_ptr<const std::vector<TPackFailure>>;

// One message of the run to the display. Each carries everything needed to apply it, so the
// display never reads state the run is still changing.
struct TRunReport {
    enum class TKind : uint8_t {
        rkProgress,  // a progress percentage of the pack Name
        rkReset,     // a pack's extraction starts: empty label, bar at 0
        rkPackDone,  // the pack Name has left the queue, extracted or Failed
    };
    TKind Kind = TKind::rkProgress;
    int32_t Progress = 0;
    std::u16string Name;
    bool Failed = false;
    // The packs of this run that failed so far, for the text shown once the queue is empty.
    TPackFailures Failures;
    // Set on rkPackDone when the queue was empty once the pack had left it. The display
    // may apply a report long after the run has moved on, so the report says how things
    // stood, rather than the display looking at the queue as it is by then.
    bool QueueDrained = false;
};

// Receives the run's reports on the run's thread, in the order they are issued. An
// implementation hands them on to the display's thread without waiting.
class IRunDisplay {
public:
    virtual ~IRunDisplay() = default;
    virtual void Post(TRunReport report) = 0;
};

class TExtractionRun {
public:
    // The members a run extracts.
    static constexpr char16_t kPictureMask[] = u"*.jpg;*.png";

    // stopRequested answers true once the owner is shutting down: the run then aborts the
    // pack in hand at its next progress report and leaves the queue as it is.
    TExtractionRun(TPackQueue& queue, TAbCustomCabExtractor& extractor, IRunDisplay& display,
                   std::function<bool()> stopRequested);

    // One run: the entries queued at its start, from the last to the first. Each pack leaves
    // the queue once its extraction has returned or failed; a failed pack, or one with a
    // member that failed, is reported as failed and the run goes on with the next one.
    void DoExtract();

    // The body of the extractor's archive-progress handler, on the run's thread.
    void ArchiveProgress(uint8_t Progress, bool& Abort);
    // The body of the extractor's item-failure handler, on the run's thread: the member is
    // remembered with its reason, and its pack will count as failed.
    void ProcessItemFailure(const TAbArchiveItem* Item, TAbErrorClass ErrorClass,
                            int32_t ErrorCode);

private:
    void extractPack(const std::u16string& path);
    void finishPack(size_t index, const std::u16string& path,
                    const std::optional<std::u16string>& packError);

    TPackQueue& FQueue;
    TAbCustomCabExtractor& FExtractor;
    IRunDisplay& FDisplay;
    std::function<bool()> FStopRequested;

    int32_t iPos = 0;                             // the latest progress percentage
    std::u16string sName;                         // base name of the pack being extracted
    std::vector<TMemberFailure> FMemberFailures;  // of the pack being extracted
    // Failures since the queue was last emptied.
    TPackFailures FFailures = std::make_shared<const std::vector<TPackFailure>>();
};

// The folder a pack is extracted into: the pack's folder followed by its base name
// ("/packs/Autumn.themepack" gives "/packs/Autumn").
std::u16string PackTargetFolder(const std::u16string& pack);

// Why a file that the extractor did not open as a cabinet cannot be extracted: raises
// EAbFileNotFound for a missing file and EAbInvalidCabFile for anything else.
[[noreturn]] void RaiseNotACabinet(const std::u16string& pack);

// The status label's texts.
namespace StatusText {
// "Autumn...45%"
std::u16string Progress(const std::u16string& name, int32_t percent);
// "Autumn... failed"
std::u16string Failed(const std::u16string& name);
// "Complete!", "Complete! 1 pack failed", "Complete! 3 packs failed"
std::u16string Complete(size_t failures);
// What a pack whose members failed reports for itself: "1 member failed", "2 members failed".
std::u16string MembersFailed(size_t failures);
// One line per failed pack, "pack: message", each followed by one indented line per failed
// member, "    member: message".
std::u16string FailureList(const std::vector<TPackFailure>& failures);
}  // namespace StatusText
