#pragma once
// Internal: the built-in single-byte code page tables (upper halves only;
// every page's bytes below 0x80 are ASCII). A cell of 0 marks a byte the
// page leaves undefined.

namespace tandex::archive::detail {

struct CodePageTable {
    int CodePage;
    const char16_t* High;  // 128 cells for the bytes 0x80-0xFF
};

extern const CodePageTable kCodePageTables[];
extern const int kCodePageTableCount;

}  // namespace tandex::archive::detail
