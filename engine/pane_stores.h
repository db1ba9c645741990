#pragma once
// The pane stores: what the two panes show, row by row. Item i of the left
// store and item i of the right store form one row; a slot with nothing in
// it reads as the shared empty record of its kind (a gap row). The stores
// hold the lines of two text files, the hexadecimal lines of two binary
// files or the entries of two folder trees, plus the per-pane file state.
//
// The slot arrays have a fixed logical size (the limits below) but grow
// their storage only as far as slots are really filled, so an idle store
// costs next to nothing. Records are owned by their slots.

#include <QString>
#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

class QObject;

namespace tandex::engine {

// Lines a pane holds at most; gap rows never push a pane past it either.
inline constexpr int kMaxFileLines = 5'999'999;
// Slots of each pane array; the spare ones above the line limit stay empty.
inline constexpr int kLineSlots = 6'000'020;
// Entries of the row maps and selection arrays.
inline constexpr int kRowSlots = 6'000'021;
// Slots of a folder pre-scan list, and of the folder-pair index.
inline constexpr int kScanListSlots = 6'150'021;
inline constexpr int kFolderPairSlots = 150'020;
// Columns the ignored-column mask covers (1..8,192).
inline constexpr int kMaskColumns = 8'192;
// Tabs are stored expanded into runs of this character.
inline constexpr char16_t kTabFill = 127;
// The text shown when a store or a list is full.
inline const QString kMaxEntryText = QStringLiteral("==>> MAX-ENTRY reached! <<==");
// No access slot kept open.
inline constexpr int kNoSlot = 4;

// The longest line typing produces: the setting, 1024 when it is below 1,
// at most the key columns.
int MaxEditColumns();

using TFileTime = quint64;  // 100 ns ticks since 1601-01-01 UTC
using TFileNames = std::array<QString, 3>;
using TFilePaths = std::array<QString, 3>;

// One text line. Length is the text's size (never a 16-bit count).
struct TTextLine {
    QString Text;                  // tabs appear as runs of kTabFill
    std::vector<quint8> CharFlags; // in-line difference flags: empty, or Length()+2 bytes
    quint32 Key = 0;               // cached comparison key, 0 = not computed
    qint32 LineNumber = 0;         // number in its file, -1 on the empty record
    quint8 Gap = 0;                // 1 only on the shared empty record
    quint8 Differs = 0;            // the row's two lines differ (1 on the empty record)
    quint8 Tags = 0;               // low nibble: this line; high nibble: the row after it
    // The file's line goes on in the pane's next real line: the reader cut
    // it at the length limit, and it is saved with no break after it.
    quint8 NoBreak = 0;

    int Length() const { return int(Text.size()); }
    bool HasCharFlags() const { return !CharFlags.empty(); }
};

// What a cell of a comparison's hexadecimal line shows.
enum TBinCell : quint8 {
    bcByte = 0,   // the byte's two digits and its character
    bcFill = 1,   // the byte is on the other side only
    bcBlank = 2,  // past the end of both files
};

// One line of the hexadecimal view. Its text lives in the store of the
// array that holds the line: a comparison's line keeps its cells, and the
// text is made from them when it is asked for; any other line keeps its
// text as it was given.
struct TBinLine {
    qint64 Offset = 0;  // byte offset of the line in its file, -1 on the empty record
    quint8 Gap = 0;
    quint8 Differs = 0;

    QByteArray HexText() const;

private:
    friend class BinaryLineArray;
    enum Form : quint8 { fText, fBytes, fCells };
    const char* data_ = nullptr;
    quint32 size_ = 0;  // text bytes, or cells
    Form form_ = fText;
    quint8 used_ = 0;   // 0: the slot reads as a gap
};

// The two digits and the character a byte shows in a hexadecimal line.
const char* BinaryCellText(quint8 byte);

// One entry of a folder comparison per pane. The path is stored as it is;
// PathMaskLength says how many leading characters (a location scheme's
// "//" or a share's leading "//") do not count as folder separators.
struct TFolderEntry {
    TFileTime Time = 0;
    qint64 Size = 0;
    QString Path;
    int PathMaskLength = 0;
    quint32 Attributes = 0;
    qint32 RowNumber = 0;  // index + 1, -1 on the empty record
    qint32 Parent = -1;    // index of the parent folder entry, -1 none
    qint32 Depth = 0;      // -1 on the empty record
    int PathLength = 0;    // characters in Path, 0 for folder entries
    quint8 Empty = 0;
    quint8 Differs = 0;
    quint8 HasNextSibling = 0;
    quint8 FolderState = 0;  // 0 file, 1 closed folder, 2 open folder
    quint8 Result = 0;
    quint8 Status = 0;  // 0 present, 1 deleted, 2 file not found, 3 path not found,
                        // 4 read error, 5 open error, 6 folder present, 7 entry-limit marker
};

// The shared empty records. Never write through them: every routine that
// changes a record tests Gap or Empty first.
TTextLine* EmptyTextLine();
TBinLine* EmptyBinaryLine();
TFolderEntry* EmptyFolderEntry();

namespace detail {
template <class Rec> Rec* emptyRecord();
template <> inline TTextLine* emptyRecord<TTextLine>() { return EmptyTextLine(); }
template <> inline TBinLine* emptyRecord<TBinLine>() { return EmptyBinaryLine(); }
template <> inline TFolderEntry* emptyRecord<TFolderEntry>() { return EmptyFolderEntry(); }
}  // namespace detail

// A pane's array of record slots. Reading any slot (also one past the
// stored part, or outside the array) gives the record or the shared empty
// record; writing beyond the last slot is refused with the store-full text.
template <class Rec>
class SlotArray {
public:
    static constexpr int kCapacity = kLineSlots;

    Rec* operator[](int i) const {
        if (i < 0 || i >= int(slots_.size()) || !slots_[size_t(i)]) return detail::emptyRecord<Rec>();
        return slots_[size_t(i)].get();
    }
    bool IsGap(int i) const { return operator[](i) == detail::emptyRecord<Rec>(); }

    // Puts a record into slot i (freeing what was there) and returns it.
    Rec* Put(int i, std::unique_ptr<Rec> rec) {
        if (i < 0 || i >= kCapacity) throw std::length_error(kMaxEntryText.toStdString());
        touch();
        if (size_t(i) >= slots_.size()) {
            if (!rec) return detail::emptyRecord<Rec>();
            slots_.resize(size_t(i) + 1);
        }
        slots_[size_t(i)] = std::move(rec);
        return operator[](i);
    }
    // A fresh zero-filled record in slot i.
    Rec* New(int i) { return Put(i, std::make_unique<Rec>()); }
    // Takes the record out of slot i, which becomes a gap (null for a gap).
    std::unique_ptr<Rec> Take(int i) {
        if (i < 0 || i >= int(slots_.size())) return nullptr;
        touch();
        return std::move(slots_[size_t(i)]);
    }
    // Frees the records of slots first..last; they read as gaps afterwards.
    void Free(int first, int last) {
        if (first < 0) first = 0;
        last = std::min(last, int(slots_.size()) - 1);
        touch();
        for (int i = first; i <= last; ++i) slots_[size_t(i)].reset();
        trim();
    }
    // Closes slots first..last by moving the following slots down; the tail
    // reads as gaps. Records still in the closed slots are freed.
    void RemoveSlots(int first, int last) {
        if (first < 0) first = 0;
        if (last < first || first >= int(slots_.size())) return;
        last = std::min(last, int(slots_.size()) - 1);
        touch();
        slots_.erase(slots_.begin() + first, slots_.begin() + last + 1);
        trim();
    }
    // Opens count gap slots at index at: the slots from there move up by
    // count. Records that would land at or beyond limit are freed.
    void InsertSlots(int at, int count, int limit = kMaxFileLines) {
        if (count <= 0 || at < 0 || at >= limit) return;
        if (at >= int(slots_.size())) return;  // only gaps behind: nothing moves
        limit = std::min(limit, kCapacity);
        touch();
        const size_t oldSize = slots_.size();
        slots_.resize(oldSize + size_t(count));
        std::move_backward(slots_.begin() + at, slots_.begin() + qsizetype(oldSize), slots_.end());
        if (int(slots_.size()) > limit) slots_.resize(size_t(limit));
        trim();
    }
    // Frees every record.
    void Clear() {
        touch();
        slots_.clear();
        slots_.shrink_to_fit();
    }
    // Room for n slots, so that filling millions of them in order does not
    // copy the array over and over; the room itself costs no records.
    void Reserve(int n) { slots_.reserve(size_t(std::clamp(n, 0, kCapacity))); }
    // Slots that may hold a record (everything behind is a gap).
    int StoredSize() const { return int(slots_.size()); }
    void swap(SlotArray& other) noexcept {
        slots_.swap(other.slots_);
        touch();
        other.touch();
    }
    // Changes whenever records come, go or move, and never comes back to
    // an earlier value, so a summary of the array can tell it is stale.
    quint64 Stamp() const { return stamp_; }
    void Touch() { touch(); }

private:
    void trim() {
        while (!slots_.empty() && !slots_.back()) slots_.pop_back();
    }
    void touch() noexcept {
        static std::atomic<quint64> counter{0};
        stamp_ = ++counter;
    }
    std::vector<std::unique_ptr<Rec>> slots_;
    quint64 stamp_ = 0;
};

using TextLineArray = SlotArray<TTextLine>;
using FolderEntryArray = SlotArray<TFolderEntry>;

// A pane's hexadecimal lines. Two files of some GiB give tens of millions
// of lines, so neither a line nor its text is an allocation of its own:
// lines live in fixed blocks that never move (a line's address stays valid
// while it is stored), and their texts or cells in a growing byte store
// whose blocks never move either. Reading works as with SlotArray.
class BinaryLineArray {
public:
    static constexpr int kCapacity = kLineSlots;

    BinaryLineArray() = default;
    BinaryLineArray(const BinaryLineArray&) = delete;
    BinaryLineArray& operator=(const BinaryLineArray&) = delete;

    TBinLine* operator[](int i) const {
        if (i < 0 || i >= size_) return EmptyBinaryLine();
        TBinLine* line = lineAt(i);
        return line && line->used_ ? line : EmptyBinaryLine();
    }
    bool IsGap(int i) const { return operator[](i) == EmptyBinaryLine(); }

    // A fresh zero-filled line without text in slot i.
    TBinLine* New(int i);
    // A fresh line in slot i showing text.
    TBinLine* NewText(int i, const QByteArray& text);
    // A fresh line in slot i made of count cells: the bytes, and the kind of
    // each cell, or null when every cell shows its byte.
    TBinLine* NewCells(int i, const quint8* bytes, const TBinCell* kinds, int count);
    // Frees the lines of slots first..last; they read as gaps afterwards.
    void Free(int first, int last);
    void Clear();
    void Reserve(int n) { blocks_.reserve(size_t((std::clamp(n, 0, kCapacity) + kBlockLines - 1) / kBlockLines)); }
    int StoredSize() const { return size_; }
    void swap(BinaryLineArray& other) noexcept;
    quint64 Stamp() const { return stamp_; }
    void Touch() { touch(); }

private:
    static constexpr int kBlockLines = 4096;
    static constexpr size_t kStoreBlock = size_t(1) << 20;

    TBinLine* lineAt(int i) const {
        const size_t b = size_t(i / kBlockLines);
        return b < blocks_.size() && blocks_[b] ? &blocks_[b][size_t(i % kBlockLines)] : nullptr;
    }
    TBinLine* fresh(int i);
    char* storeBytes(size_t n);
    void touch() noexcept;

    std::vector<std::unique_ptr<TBinLine[]>> blocks_;
    int size_ = 0;  // slots up to the last stored line
    // The byte store: whole blocks, the last one filled up to top_. Texts
    // longer than a block get a block of their own.
    std::vector<std::unique_ptr<char[]>> store_;
    size_t top_ = kStoreBlock;
    size_t lastBlockSize_ = 0;
    // While every text went to a slot above those stored before, freeing the
    // last slots may give their bytes back (the comparison takes back its
    // unfinished lines after every pass).
    bool ordered_ = true;
    int lastWritten_ = -1;
    quint64 stamp_ = 0;
};

// The loaded image of a pane, owned by the store. The image views derive
// from it; release() gives the image back and may fail by throwing.
class PaneImageState {
public:
    virtual ~PaneImageState() = default;
    virtual void release() {}
};

// The record that carries one comparison's file state to and from a tab slot.
struct TFileData {
    std::array<qint64, 3> FileSizes{};
    std::array<TFileTime, 3> FileTimes{};
    std::array<qint32, 3> LineCounts{};
    std::array<qint32, 3> FileErrors{};
    TFileNames FileNames;
    TFilePaths FilePaths;
    std::array<quint8, 3> PaneModifiedState{};  // 0 no, 1 modified, 2 modified but saving declined
    std::array<quint8, 3> FileKinds{};
    // Per-pane bytes the main window keeps with a tab: whether a file-type
    // rule fixed the kind, and one more of its own.
    std::array<quint8, 3> RuleFixedKinds{};
    std::array<quint8, 3> MainWindowBytes{};
    std::array<quint8, 3> ImageLoaded{};
};

// One item of a folder pre-scan list. A null string stands for "none".
// Kind 0 is a file, 1 a folder, 2 the file that opens a folder's files
// after a subfolder's items: it carries Position and the counterpart
// (FolderPath) as a folder item does, so the comparison can pick up that
// folder's context again.
struct TScanItem {
    TFileTime Time = 0;
    qint64 Size = 0;
    quint32 Attributes = 0;
    qint32 Position = 0;
    QString Name;        // the folder's path (shared by its file items)
    QString SecondName;  // files only: the file's name
    QString Label;       // folders only, only with the folder-pair list option
    QString FolderPath;  // the counterpart on the other side
    int NameMaskLength = 0;
    int FolderPathMaskLength = 0;
    quint8 Kind = 0;
    // Files: 0 a regular file (every remote file), else the local entry's
    // type bits (st_mode's S_IFMT >> 12) of a FIFO, socket, device or a
    // link whose target is missing, which the comparison never opens.
    quint8 FileType = 0;
};

// A folder pre-scan list: items in the order found, up to kScanListSlots - 1.
//
// One thread appends while another reads behind it. Items live in chunks
// that never move once allocated, so a reader's reference stays valid as the
// list grows, and Count() is published with release order only after the
// item it covers is complete: a reader that reads the count may read every
// item below it without a lock. Everything else that changes items
// (SetScanFolderPaths, Clear) is for the owner once no thread appends.
class TScanList {
public:
    // A list that follows the folder-pair list setting at every append
    // (the user-interface thread's own lists).
    TScanList();
    // A list that keeps the folder-pair list choice it was made with, so a
    // worker thread filling it never reads the setting.
    explicit TScanList(bool pairList);
    ~TScanList();
    TScanList(const TScanList&) = delete;
    TScanList& operator=(const TScanList&) = delete;

    int Count() const { return count_.load(std::memory_order_acquire); }
    // Refused with std::out_of_range at or above Count().
    const TScanItem& operator[](int i) const;
    TScanItem& operator[](int i);
    // Appends a complete item and then publishes it; refused with the
    // store-full text when the list is full.
    TScanItem& Append(TScanItem item);
    void Clear();
    bool UsesPairList() const;

    static constexpr int kChunkItems = 4096;

private:
    static constexpr int kChunks = (kScanListSlots - 1 + kChunkItems - 1) / kChunkItems;
    TScanItem& slot(int i) const { return chunks_[size_t(i / kChunkItems)][size_t(i % kChunkItems)]; }

    // Only the appending thread writes a chunk pointer, before the count
    // that first covers it is published.
    std::unique_ptr<std::unique_ptr<TScanItem[]>[]> chunks_;
    std::atomic<int> count_{0};
    int pairList_ = -1;  // -1 follows the setting
};

// What makes a file item the one that opens its folder's files (kind 2).
struct TScanMark {
    qint32 Position = 0;
    QString Counterpart;
};

// A new, empty list in place of list (which must no longer be appended
// to); it keeps the folder-pair list setting of the moment.
void NewScanList(std::unique_ptr<TScanList>& list);
// Frees every item and the list; nothing for an empty pointer.
void FreeScanList(std::unique_ptr<TScanList>& list);
// With a mark the item is kind 2 and carries the mark's position and
// counterpart; it is published only with the mark in place.
void AddScanFileItem(quint32 attributes, const QString& name, const QString& secondName, TScanList& list,
                     qint64 size, TFileTime time, const TScanMark* mark = nullptr, quint8 fileType = 0);
void AddScanFolderItem(qint32 position, const QString& label, const QString& folderPath, TScanList& list,
                       const QString& name);
// The counterpart of every folder item and of every file item that opens
// a folder's files.
void SetScanFolderPaths(const QString& path, TScanList& list);

// Path masking: the length of the leading part of a path whose "/" are not
// folder separators (a share's leading "//", the "//" after a location
// scheme of three or four letters, or the "/" that opens an absolute local
// path: the file system's root is no folder level); 0 when nothing is
// masked.
int MaskPathPrefix(const QString& path);
// The path as a folder entry or pre-scan item stores it (the text itself
// is never rewritten) and the length of its masked prefix.
int AssignMaskedPath(const QString& path, QString& dest);
// Folder depth: the "/" behind the masked prefix.
int PathDepth(const QString& path, int maskLength);
// The path shown in a folder row without its tree indentation (no-break
// spaces, two per level).
QString AssignUnmaskedPath(const QString& shown);

// The per-program pane stores.
class PaneStores {
public:
    PaneStores();
    PaneStores(const PaneStores&) = delete;
    PaneStores& operator=(const PaneStores&) = delete;

    // Start-up state: every slot a gap, counts 0, both sides reset.
    void InitCompareData();

    // Records.
    void FreeTextLines(int first, int last, TextLineArray& lines) { lines.Free(first, last); }
    void FreeBinaryLines(int first, int last, BinaryLineArray& lines) { lines.Free(first, last); }
    void FreeFolderEntries(int first, int last, FolderEntryArray& entries) { entries.Free(first, last); }
    void FreeTextLine(int pane, int index);
    void RemoveLineSlots(TextLineArray& lines, int first, int last, int& count);

    // Sides.
    void ResetSide(int pane, bool full);
    void ClearFolderEntries();
    void ReleaseSideImage(int pane, bool full);
    void CloseSideSlot(int pane);

    // File lines. A line with NoBreak and the real line after it are rows of
    // one line of the file: the later row is a continuation, which has no
    // number of its own. LineNumber counts rows (undo and the row queries
    // find lines by it); these give the numbers the file has.
    bool IsContinuationLine(int pane, int index) const;
    // The file's number of the line at index (a continuation gives its
    // line's), -1 for a gap or the store-full marker.
    int FileLineNumber(int pane, int index) const;
    // Lines of the file in the pane: real lines less continuations and the
    // store-full marker.
    int FileLineCount(int pane) const;
    // The LineNumber of the row where the file's line fileLine starts.
    int LineNumberOfFileLine(int pane, int fileLine) const;
    // To be called after a NoBreak changed on a line that stayed in place.
    void LineBreaksChanged(int pane) { TextLines[size_t(pane)].Touch(); }

    // Queries.
    void UpdateMaxLineCount();
    int VisibleRowCount() const;
    int StoreEntryCount() const;
    int FileEntryCount() const;
    static int OtherSide(int pane) { return pane == 1 ? 2 : 1; }
    QString SideFileName(int pane) const;
    QString SideDisplayPath(int pane) const;
    QString SideRootOrPath(int pane) const;

    // Folder entries.
    void SetFolderEntryFolder(int depth, int index, quint32 attributes, FolderEntryArray& entries,
                              const QString& name, TFileTime time);
    int SetFolderEntryFile(int index, quint32 attributes, const QString& path, FolderEntryArray& entries,
                           qint64 size, TFileTime time);
    void SetFolderEntryStatus(int index, quint8 status, const QString& path, FolderEntryArray& entries);
    int DepthLastEntryAt(int depth) const;

    // Folder-pair index. A record keeps its level's texts besides their
    // keys: two folders whose names share a 32-bit key are still two rows.
    bool AddFolderPair(qint32 key1, qint32 key2, qint32 position, const QString& text1 = {},
                       const QString& text2 = {});
    int IsNewFolderPair(qint32 position, qint32 key, const QString& text = {}) const;
    int IsNewFolderTriple(qint32 position, qint32 key1, qint32 key2, const QString& text1 = {},
                          const QString& text2 = {}) const;

    static bool IsPane(int pane) { return pane == 1 || pane == 2; }

    // Slot arrays per pane (index 1 and 2; 0 unused).
    std::array<TextLineArray, 3> TextLines;
    std::array<BinaryLineArray, 3> BinaryLines;
    std::array<FolderEntryArray, 3> FolderEntries;

    std::array<int, 3> LineCount{};
    int MaxLineCount = 0;
    int FolderEntryCount = 0;
    int FolderCount = 0;

    // Per-pane file state.
    TFileNames FileNames;
    TFilePaths FilePaths;
    std::array<QString, 3> FolderRoots;
    std::array<qint64, 3> FileSizes{-1, -1, -1};  // -1 none, -2 open error
    std::array<TFileTime, 3> FileTimes{};
    std::array<qint32, 3> FileErrors{};
    std::array<quint8, 3> FileKinds{};
    std::array<quint8, 3> LineEndings{};
    std::array<qint64, 3> FolderTotalSizes{-1, -1, -1};
    std::array<int, 3> SideSlots{kNoSlot, kNoSlot, kNoSlot};
    std::array<quint8, 3> SideAccessKinds{};
    std::array<QObject*, 3> PaneImages{};  // the panes' image controls, not owned
    std::array<std::unique_ptr<PaneImageState>, 3> ImageStates;
    std::array<quint8, 3> ImageLoaded{};
    // Converters: the entry chosen for each pane's file (-1 none) and the
    // text kind its output was read with.
    std::array<int, 3> PlugInIndex{-1, -1, -1};
    std::array<quint8, 3> ConvertedKinds{};

    // Modes.
    quint8 FolderMode = 0;
    // Set by a folder run: its first difference is shown on the newer side.
    quint8 PickNewerSide = 0;
    quint8 BinaryMode = 0;
    quint8 SinglePaneView = 0;
    quint8 UndoEnabled = 1;
    quint8 FuzzyMode = 0;
    quint8 IgnoredColumnsActive = 0;
    std::array<quint8, kMaskColumns + 1> IgnoredColumns{};  // index = column 1..8,192
    quint8 LineFilterActive = 1;
    // The longest line of each pane in characters, for the horizontal scroll
    // bar; edits only ever raise it.
    std::array<int, 3> LongestLine{};
    // Set while a search loop replaces or selects every match: the change
    // notice then leaves repainting to the loop's end.
    quint8 ReplaceAllActive = 0;

    // Folder-pair index, ascending by position.
    std::vector<qint32> FolderPairKey1, FolderPairKey2, FolderPairPosition;
    std::vector<QString> FolderPairText1, FolderPairText2;
    int FolderPairCount = 0;

private:
    // Where a pane's continuation rows are, for the file's numbers; built
    // when asked for and the text array has changed since.
    struct ContinuationIndex {
        quint64 stamp = 0;
        bool built = false;
        std::vector<int> indexes;  // ascending
        int fileLines = 0;
    };
    const ContinuationIndex& continuations(int pane) const;
    mutable std::array<ContinuationIndex, 3> continuations_;

    TFolderEntry* newFolderEntry(FolderEntryArray& entries, int index);
    void setDepthLastEntry(int depth, int index);

    // Index of the last entry made at each depth, from depth -1 on; grows
    // with the tree.
    std::vector<int> depthLastEntry_;
};

// The program-wide stores.
PaneStores& paneStores();

}  // namespace tandex::engine
