// The decoder of zip method 98: PPMd variant I, revision 1.
#pragma once

#include "archive/streams.h"

#include <cstdint>

namespace tandex::archive {

// Decodes a method-98 entry. The source holds packedSize bytes of the
// entry's data, its 2-byte parameter header first; at most unpackedSize
// bytes reach the destination, fewer when the stream's end symbol comes
// first (the caller's size and CRC checks judge that). A source that ends
// early, or data the model cannot decode, raises EArcReadError; an order
// below 2 raises EArcZipInvalidMethod. Restoration methods above 2 leave the
// model frozen once memory runs out.
void DecompressPPMd(Stream& source, Stream& destination, uint64_t packedSize,
                    uint64_t unpackedSize);

}  // namespace tandex::archive
