#pragma once
// The kinds of archive the library tells apart.

#include <cstdint>

namespace tandex::archive {

enum TArchiveType : uint8_t {
    ArcUnknown = 0,
    ArcZip = 1,
    ArcSpannedZip = 2,
    ArcSelfExtractingZip = 3,
    ArcTar = 4,
    ArcGzip = 5,
    ArcGzippedTar = 6,
    ArcCab = 7,
    ArcBzip2 = 8,
    ArcBzippedTar = 9,
};

}  // namespace tandex::archive
