// Content checks that tell archive formats apart. Each check takes an open, seekable stream,
// remembers its position and puts it back before answering. A read that comes up short counts
// as "not this format"; any other error (a damaged deflate or bzip2 stream among them) leaves
// the check at once and reaches the caller.
#pragma once

#include <cstdint>

#include "archive/cab/ab_archive_type.h"
#include "archive/cab/ab_stream.h"
#include "util/errors.h"

// Damaged compressed data behind a valid gzip or bzip2 header.
class EAbDecompressionError : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

// atZip, atSpannedZip or atUnknown.
TAbArchiveType ProbeZip(TStream& stream);
// atSelfExtZip (an executable followed by a single-volume zip) or atUnknown.
TAbArchiveType ProbeSelfExtractingZip(TStream& stream);
// atTar when a tar header (after any metadata headers) starts at the current position.
TAbArchiveType ProbeTar(TStream& stream);
// atGzip, atGzippedTar or atUnknown.
TAbArchiveType ProbeGzip(TStream& stream);
// atBzip2, atBzippedTar or atUnknown.
TAbArchiveType ProbeBzip2(TStream& stream);

// The position of the zip end-of-central-directory record, with the stream left there; -1
// when there is none.
int64_t FindZipEndRecord(TStream& stream);

// Every check in turn (self-extracting zip, zip, tar, gzip, bzip2, cabinet); the first
// answer that is not atUnknown.
TAbArchiveType SniffArchiveType(TStream& stream);

// True when the stream holds a valid tar header at its current position; raises EReadError
// when the data end first.
bool passesTarHeaderTest(TStream& stream);
