#pragma once
// Which archive class handles a file or stream: by the file name's
// extension and, when there is content, by the content itself.
//
// Every content test restores the stream position it found.

#include "archive/archive_types.h"
#include "archive/streams.h"

#include <QString>

namespace tandex::archive {

// assumedType, or the extension's type when that is ArcUnknown; an
// existing, non-empty file is then checked by that type's content test
// (by every test for ArcUnknown), so content that does not fit its name
// gives ArcUnknown. A missing or empty file keeps the type by name.
TArchiveType DetectArchiveTypeByName(const QString& fileName, TArchiveType assumedType = ArcUnknown);
// Self-extracting zip, zip, tar, gzip, bzip2, cabinet: the first that fits.
TArchiveType DetectArchiveTypeByContent(Stream& stream);
// The cabinet header's signature and fixed fields; ArcCab or ArcUnknown.
TArchiveType IsCabinet(Stream& stream);

}  // namespace tandex::archive
