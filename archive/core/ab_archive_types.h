// The enumerations, option sets and event types of the archive base.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "archive/core/ab_archive_item.h"
#include "archive/core/ab_exceptions.h"

enum TAbArchiveStatus : uint8_t { asInvalid, asIdle, asBusy };

// eoCreateDirs: create missing output folders. eoRestorePath: keep the folder parts of a
// stored name under the base directory instead of writing every member directly into it.
enum TAbExtractOption : uint8_t { eoCreateDirs, eoRestorePath };

enum TAbStoreOption : uint8_t {
    soStripDrive,
    soStripPath,
    soRemoveDots,
    soRecurse,
    soFreshen,
    soReplace
};

enum TAbProcessType : uint8_t {
    ptAdd,
    ptDelete,
    ptExtract,
    ptFreshen,
    ptMove,
    ptReplace,
    ptFoundUnhandled
};

// A set of enumeration members kept in one byte: bit n stands for the member of value n.
template <typename E>
class TAbSet {
public:
    constexpr TAbSet() = default;
    constexpr TAbSet(std::initializer_list<E> members) {
        for (const E member : members) Include(member);
    }
    static constexpr TAbSet FromBits(uint8_t bits) {
        TAbSet set;
        set.FBits = bits;
        return set;
    }
    constexpr bool Contains(E member) const { return (FBits & bit(member)) != 0; }
    constexpr TAbSet& Include(E member) {
        FBits = static_cast<uint8_t>(FBits | bit(member));
        return *this;
    }
    constexpr TAbSet& Exclude(E member) {
        FBits = static_cast<uint8_t>(FBits & ~bit(member));
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TAbSet&) const = default;

private:
    static constexpr uint8_t bit(E member) { return static_cast<uint8_t>(1u << member); }
    uint8_t FBits = 0;
};

using TAbExtractOptions = TAbSet<TAbExtractOption>;
using TAbStoreOptions = TAbSet<TAbStoreOption>;

class TAbArchive;

// Events: optional callables, empty when unset. Sender is always the archive; Abort and
// Confirm are preset to false and true by the raiser.
using TAbArchiveEvent = std::function<void(TAbArchive& Sender)>;
using TAbArchiveConfirmEvent = std::function<void(TAbArchive& Sender, bool& Confirm)>;
using TAbArchiveProgressEvent =
    std::function<void(TAbArchive& Sender, uint8_t Progress, bool& Abort)>;
using TAbArchiveItemConfirmEvent = std::function<void(TAbArchive& Sender, TAbArchiveItem* Item,
                                                      TAbProcessType ProcessType, bool& Confirm)>;
using TAbConfirmOverwriteEvent = std::function<void(std::u16string& Name, bool& Confirm)>;
using TAbArchiveItemFailureEvent =
    std::function<void(TAbArchive& Sender, TAbArchiveItem* Item, TAbProcessType ProcessType,
                       TAbErrorClass ErrorClass, int32_t ErrorCode)>;
using TAbArchiveItemProgressEvent =
    std::function<void(TAbArchive& Sender, TAbArchiveItem* Item, uint8_t Progress, bool& Abort)>;
using TAbProgressEvent = std::function<void(uint8_t Progress, bool& Abort)>;
using TAbRequestImageEvent = std::function<void(TAbArchive& Sender, int32_t ImageNumber,
                                                std::u16string& ImageName, bool& Abort)>;

// File open modes handed to TAbArchive's file constructor.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyNone = 0x0040;
inline constexpr uint16_t fmCreate = 0xFF00;
