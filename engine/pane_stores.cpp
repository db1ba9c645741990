#include "engine/pane_stores.h"

#include "engine/folder_rows.h"
#include "engine/main_window_services.h"
#include "engine/rows.h"
#include "engine/undo_stack.h"

#include "access/access_slots.h"
#include "access/text_files.h"
#include "access/program_log.h"
#include "config/app_settings.h"

#include <algorithm>
#include <functional>


namespace tandex::engine {

namespace {

TTextLine makeEmptyTextLine() {
    TTextLine line;
    line.LineNumber = -1;
    line.Gap = 1;
    line.Differs = 1;
    return line;
}

TBinLine makeEmptyBinaryLine() {
    TBinLine line;
    line.Offset = -1;
    line.Gap = 1;
    line.Differs = 1;
    return line;
}

TFolderEntry makeEmptyFolderEntry() {
    TFolderEntry entry;
    entry.RowNumber = -1;
    entry.Parent = -1;
    entry.Depth = -1;
    entry.Empty = 1;
    entry.Differs = 1;
    entry.Result = 2;
    return entry;
}

// The shared empty records live for the whole run.
TTextLine sharedEmptyTextLine = makeEmptyTextLine();
TBinLine sharedEmptyBinaryLine = makeEmptyBinaryLine();
TFolderEntry sharedEmptyFolderEntry = makeEmptyFolderEntry();

constexpr char16_t kNoBreakSpace = 160;

}  // namespace

int MaxEditColumns() {
    const int columns = config::AppSettings().TEMaxColumns;
    return columns < 1 ? 1024 : std::min(columns, kMaskColumns);
}

TTextLine* EmptyTextLine() { return &sharedEmptyTextLine; }
TBinLine* EmptyBinaryLine() { return &sharedEmptyBinaryLine; }
TFolderEntry* EmptyFolderEntry() { return &sharedEmptyFolderEntry; }

// ---- hexadecimal lines ----------------------------------------------------

namespace {

constexpr char kCellFiller = char(0xA0);

// Per byte: its two digits and the character shown for it (bytes at or
// above 128 as their own Windows-1252 character, a blank where it has none).
struct CellTexts {
    char text[256][3];
    CellTexts() {
        for (int b = 0; b < 256; ++b) {
            QChar high, low;
            const QChar shown = access::FZHexByte(quint8(b), high, low);
            text[b][0] = char(high.unicode());
            text[b][1] = char(low.unicode());
            QByteArray ansi;
            if (shown.unicode() < 0x80) {
                ansi = QByteArray(1, char(shown.unicode()));
            } else {
                access::FZEncodeLine(QString(shown), access::fkAnsi, access::lbLf, ansi);
                ansi.chop(1);
            }
            text[b][2] = ansi.isEmpty() ? ' ' : ansi[0];
        }
    }
};

}  // namespace

const char* BinaryCellText(quint8 byte) {
    static const CellTexts texts;
    return texts.text[byte];
}

QByteArray TBinLine::HexText() const {
    if (form_ == fText) return QByteArray(data_, qsizetype(size_));
    // Two digits and a blank per cell, two blanks, then a character per cell.
    const int cells = int(size_);
    QByteArray out(4 * cells + 2, ' ');
    char* line = out.data();
    const auto* bytes = reinterpret_cast<const quint8*>(data_);
    const auto* kinds = form_ == fCells ? reinterpret_cast<const TBinCell*>(data_ + cells) : nullptr;
    for (int k = 0; k < cells; ++k) {
        const TBinCell kind = kinds ? kinds[k] : bcByte;
        if (kind == bcBlank) continue;
        char* hex = line + 3 * k;
        char* shown = line + 3 * cells + 2 + k;
        if (kind == bcFill) {
            hex[0] = hex[1] = *shown = kCellFiller;
        } else {
            const char* text = BinaryCellText(bytes[k]);
            hex[0] = text[0];
            hex[1] = text[1];
            *shown = text[2];
        }
    }
    return out;
}

void BinaryLineArray::touch() noexcept {
    static std::atomic<quint64> counter{0};
    stamp_ = ++counter;
}

TBinLine* BinaryLineArray::fresh(int i) {
    if (i < 0 || i >= kCapacity) throw std::length_error(kMaxEntryText.toStdString());
    touch();
    const size_t b = size_t(i / kBlockLines);
    if (b >= blocks_.size()) blocks_.resize(b + 1);
    if (!blocks_[b]) blocks_[b] = std::make_unique<TBinLine[]>(size_t(kBlockLines));
    TBinLine* line = &blocks_[b][size_t(i % kBlockLines)];
    *line = TBinLine{};
    line->used_ = 1;
    size_ = std::max(size_, i + 1);
    return line;
}

TBinLine* BinaryLineArray::New(int i) {
    TBinLine* line = fresh(i);
    line->data_ = "";
    return line;
}

char* BinaryLineArray::storeBytes(size_t n) {
    if (n > kStoreBlock) {
        // A block of its own, which the next text does not share.
        store_.push_back(std::make_unique_for_overwrite<char[]>(n));
        top_ = lastBlockSize_ = n;
        return store_.back().get();
    }
    if (kStoreBlock - std::min(top_, kStoreBlock) < n || lastBlockSize_ != kStoreBlock) {
        store_.push_back(std::make_unique_for_overwrite<char[]>(kStoreBlock));
        top_ = 0;
        lastBlockSize_ = kStoreBlock;
    }
    char* at = store_.back().get() + top_;
    top_ += n;
    return at;
}

TBinLine* BinaryLineArray::NewText(int i, const QByteArray& text) {
    TBinLine* line = fresh(i);
    if (i <= lastWritten_) ordered_ = false;
    lastWritten_ = i;
    char* at = storeBytes(size_t(text.size()));
    std::copy(text.cbegin(), text.cend(), at);
    line->data_ = at;
    line->size_ = quint32(text.size());
    line->form_ = TBinLine::fText;
    return line;
}

TBinLine* BinaryLineArray::NewCells(int i, const quint8* bytes, const TBinCell* kinds, int count) {
    TBinLine* line = fresh(i);
    if (i <= lastWritten_) ordered_ = false;
    lastWritten_ = i;
    const size_t n = size_t(count);
    // Lines whose cells all show a byte, nearly all of a long comparison,
    // store just the bytes.
    if (kinds && std::all_of(kinds, kinds + count, [](TBinCell k) { return k == bcByte; })) kinds = nullptr;
    char* at = storeBytes(kinds ? 2 * n : n);
    std::copy(bytes, bytes + count, at);
    if (kinds) std::copy(kinds, kinds + count, at + n);
    line->data_ = at;
    line->size_ = quint32(count);
    line->form_ = kinds ? TBinLine::fCells : TBinLine::fBytes;
    return line;
}

void BinaryLineArray::Free(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, size_ - 1);
    touch();
    const char* lowest = nullptr;
    const char* base = store_.empty() ? nullptr : store_.back().get();
    for (int i = first; i <= last; ++i) {
        TBinLine* line = lineAt(i);
        if (!line || !line->used_) continue;
        // Texts of other blocks, or of no block at all, are compared as addresses only.
        const std::less<const char*> before;
        if (base && !before(line->data_, base) && before(line->data_, base + lastBlockSize_) &&
            (!lowest || before(line->data_, lowest)))
            lowest = line->data_;
        *line = TBinLine{};
    }
    if (last < size_ - 1 || first > last) return;
    while (size_ > 0) {
        const TBinLine* line = lineAt(size_ - 1);
        if (line && line->used_) break;
        --size_;
    }
    // Every text stored after the first freed one belonged to a freed line.
    if (ordered_ && lowest && lastWritten_ >= first) top_ = size_t(lowest - base);
    lastWritten_ = std::min(lastWritten_, size_ - 1);
    while (!blocks_.empty() && size_t(size_) <= (blocks_.size() - 1) * size_t(kBlockLines)) blocks_.pop_back();
}

void BinaryLineArray::Clear() {
    touch();
    blocks_.clear();
    blocks_.shrink_to_fit();
    store_.clear();
    store_.shrink_to_fit();
    size_ = 0;
    top_ = kStoreBlock;
    lastBlockSize_ = 0;
    ordered_ = true;
    lastWritten_ = -1;
}

void BinaryLineArray::swap(BinaryLineArray& other) noexcept {
    blocks_.swap(other.blocks_);
    store_.swap(other.store_);
    std::swap(size_, other.size_);
    std::swap(top_, other.top_);
    std::swap(lastBlockSize_, other.lastBlockSize_);
    std::swap(ordered_, other.ordered_);
    std::swap(lastWritten_, other.lastWritten_);
    touch();
    other.touch();
}

// ---- path masking ---------------------------------------------------------

int MaskPathPrefix(const QString& path) {
    // A network share named as "//host/share/...": its two leading slashes
    // are not folder levels.
    if (path.size() > 2 && path.startsWith(QLatin1String("//"))) return 2;
    // The "//" after a location scheme of three or four letters
    // ("ftp://", "sftp://", "dbox://").
    if (path.size() >= 9 && path[5] == u'/') {
        if (path[4] == u'/') return 6;
        if (path[6] == u'/') return 7;
    }
    if (path.size() > 1 && path[0] == u'/' && path[1] != u'/') return 1;
    return 0;
}

int AssignMaskedPath(const QString& path, QString& dest) {
    dest = path;
    return MaskPathPrefix(path);
}

int PathDepth(const QString& path, int maskLength) {
    int depth = 0;
    for (qsizetype i = std::max(0, maskLength); i < path.size(); ++i)
        if (path[i] == u'/') ++depth;
    return depth;
}

QString AssignUnmaskedPath(const QString& shown) {
    qsizetype start = 0;
    while (start + 1 < shown.size() && shown[start] == kNoBreakSpace && shown[start + 1] == kNoBreakSpace)
        start += 2;
    return shown.mid(start);
}

// ---- the stores -----------------------------------------------------------

PaneStores::PaneStores() { InitCompareData(); }

void PaneStores::InitCompareData() {
    for (int pane = 0; pane < 3; ++pane) {
        TextLines[size_t(pane)].Clear();
        BinaryLines[size_t(pane)].Clear();
        FolderEntries[size_t(pane)].Clear();
        ImageStates[size_t(pane)].reset();
        LineCount[size_t(pane)] = 0;
        FolderRoots[size_t(pane)].clear();
        FileKinds[size_t(pane)] = 0;
        LineEndings[size_t(pane)] = 0;
        FolderTotalSizes[size_t(pane)] = -1;
        SideSlots[size_t(pane)] = kNoSlot;
        SideAccessKinds[size_t(pane)] = 0;
        PaneImages[size_t(pane)] = nullptr;
        ImageLoaded[size_t(pane)] = 0;
    }
    MaxLineCount = 0;
    FolderEntryCount = 0;
    FolderCount = 0;
    FolderMode = 0;
    BinaryMode = 0;
    SinglePaneView = 0;
    UndoEnabled = 1;
    FuzzyMode = 0;
    IgnoredColumnsActive = 0;
    IgnoredColumns.fill(0);
    LineFilterActive = 1;
    FolderPairKey1.clear();
    FolderPairKey2.clear();
    FolderPairPosition.clear();
    FolderPairText1.clear();
    FolderPairText2.clear();
    FolderPairCount = 0;
    depthLastEntry_.assign(1, -1);
    ResetSide(1, true);
    ResetSide(2, true);
    undoStack().ClearUndo(1);
    undoStack().ClearUndo(2);
    undoStack().UndoContinues = 0;
    rows().InitRows();
    folderRows().InitFolderRows();
}

void PaneStores::FreeTextLine(int pane, int index) {
    if (!IsPane(pane)) return;
    TextLines[size_t(pane)].Free(index, index);
}

void PaneStores::RemoveLineSlots(TextLineArray& lines, int first, int last, int& count) {
    if (first < 0 || last < first) return;
    lines.RemoveSlots(first, last);
    count = std::max(0, count - (last - first + 1));
}

void PaneStores::ResetSide(int pane, bool full) {
    if (!IsPane(pane)) return;
    const auto p = size_t(pane);
    if (BinaryMode) {
        BinaryLines[p].Clear();
    } else {
        TextLines[p].Clear();
        undoStack().ClearUndo(pane);
        LineEndings[p] = 0;
    }
    LineCount[p] = 0;
    if (full) {
        FileSizes[p] = -1;
        FileTimes[p] = 0;
        FileNames[p].clear();
        FilePaths[p].clear();
        FileErrors[p] = 0;
    }
}

void PaneStores::ClearFolderEntries() {
    FolderEntries[1].Clear();
    FolderEntries[2].Clear();
    rows().FolderSelection.clear();
    // The rows would show entries that are gone.
    folderRows().FolderRowMap.clear();
    folderRows().FolderRowCount = 0;
    FolderTotalSizes = {0, 0, 0};
    FolderRoots = {};
    FolderEntryCount = 0;
}

void PaneStores::ReleaseSideImage(int pane, bool full) {
    if (!IsPane(pane)) return;
    const auto p = size_t(pane);
    if (ImageStates[p]) {
        try {
            ImageStates[p]->release();
        } catch (const std::exception&) {
            access::FZLog(QStringLiteral("FD1: Error relasing imgFile ") + FilePaths[p] + FileNames[p]);
        }
        ImageStates[p].reset();
    }
    mainWindow().clearPanePicture(pane);
    if (!mainWindow().openErrorShown(pane)) mainWindow().hideImagePanel(pane);
    if (full) {
        FileSizes[p] = -1;
        FileTimes[p] = 0;
        FileNames[p].clear();
        FilePaths[p].clear();
    }
    ImageLoaded[p] = 0;
}

void PaneStores::CloseSideSlot(int pane) {
    if (!IsPane(pane)) return;
    const auto p = size_t(pane);
    if (SideSlots[p] == kNoSlot) return;
    access::FZClose(SideSlots[p]);
    SideSlots[p] = kNoSlot;
}

void PaneStores::UpdateMaxLineCount() { MaxLineCount = std::max(LineCount[1], LineCount[2]); }

// ---- file lines -------------------------------------------------------------

const PaneStores::ContinuationIndex& PaneStores::continuations(int pane) const {
    ContinuationIndex& c = continuations_[size_t(pane)];
    const TextLineArray& lines = TextLines[size_t(pane)];
    if (c.built && c.stamp == lines.Stamp()) return c;
    c.indexes.clear();
    c.fileLines = 0;
    bool goesOn = false;
    for (int i = 0; i < lines.StoredSize(); ++i) {
        if (lines.IsGap(i)) continue;
        const TTextLine* line = lines[i];
        if (line->LineNumber < 0) continue;  // the store-full marker
        if (goesOn)
            c.indexes.push_back(i);
        else
            ++c.fileLines;
        goesOn = line->NoBreak != 0;
    }
    c.stamp = lines.Stamp();
    c.built = true;
    return c;
}

bool PaneStores::IsContinuationLine(int pane, int index) const {
    if (!IsPane(pane)) return false;
    const auto& indexes = continuations(pane).indexes;
    return std::binary_search(indexes.begin(), indexes.end(), index);
}

int PaneStores::FileLineNumber(int pane, int index) const {
    if (!IsPane(pane)) return -1;
    const TTextLine* line = TextLines[size_t(pane)][index];
    if (line->Gap || line->LineNumber < 0) return -1;
    const auto& indexes = continuations(pane).indexes;
    // Every continuation row at or above index took no number of its own.
    const auto above = std::upper_bound(indexes.begin(), indexes.end(), index) - indexes.begin();
    return line->LineNumber - int(above);
}

int PaneStores::LineNumberOfFileLine(int pane, int fileLine) const {
    if (!IsPane(pane)) return fileLine;
    const auto& indexes = continuations(pane).indexes;
    const auto& lines = TextLines[size_t(pane)];
    // The k-th continuation (from 0) belongs to file line LineNumber - k - 1;
    // those of earlier lines each push the wanted line one row down.
    size_t low = 0, high = indexes.size();
    while (low < high) {
        const size_t k = (low + high) / 2;
        if (lines[indexes[k]]->LineNumber - int(k) - 1 < fileLine)
            low = k + 1;
        else
            high = k;
    }
    return fileLine + int(low);
}

int PaneStores::FileLineCount(int pane) const { return IsPane(pane) ? continuations(pane).fileLines : 0; }

int PaneStores::VisibleRowCount() const {
    if (FolderMode) return folderRows().FolderRowCount;
    return BinaryMode ? rows().BinaryRowCount : rows().TextRowCount;
}

int PaneStores::StoreEntryCount() const { return FolderMode ? FolderEntryCount : MaxLineCount; }

int PaneStores::FileEntryCount() const { return StoreEntryCount() - FolderCount; }

QString PaneStores::SideFileName(int pane) const {
    if (!IsPane(pane)) return {};
    return FilePaths[size_t(pane)] + FileNames[size_t(pane)];
}

QString PaneStores::SideDisplayPath(int pane) const {
    if (!IsPane(pane)) return {};
    return FolderMode ? FolderRoots[size_t(pane)] : SideFileName(pane);
}

QString PaneStores::SideRootOrPath(int pane) const {
    if (!IsPane(pane)) return {};
    return FolderMode ? FolderRoots[size_t(pane)] : FilePaths[size_t(pane)];
}

// ---- folder entries -------------------------------------------------------

int PaneStores::DepthLastEntryAt(int depth) const {
    const auto slot = size_t(depth + 1);
    if (depth < -1 || slot >= depthLastEntry_.size()) return -1;
    return depthLastEntry_[slot];
}

void PaneStores::setDepthLastEntry(int depth, int index) {
    if (depth < -1) return;
    const auto slot = size_t(depth + 1);
    // Deep trees simply grow the bookkeeping.
    if (slot >= depthLastEntry_.size()) depthLastEntry_.resize(slot + 1, -1);
    depthLastEntry_[slot] = index;
}

TFolderEntry* PaneStores::newFolderEntry(FolderEntryArray& entries, int index) {
    TFolderEntry* entry = entries.New(index);
    entry->RowNumber = index + 1;
    return entry;
}

void PaneStores::SetFolderEntryFolder(int depth, int index, quint32 attributes, FolderEntryArray& entries,
                                      const QString& name, TFileTime time) {
    TFolderEntry* entry = newFolderEntry(entries, index);
    entry->Depth = depth;
    entry->Parent = DepthLastEntryAt(depth - 1);
    entry->FolderState = 1;
    entry->Status = time != 0 ? 6 : 3;
    entry->Time = time;
    entry->Attributes = attributes;
    entry->Path = name;
    entry->PathMaskLength = MaskPathPrefix(name);
    setDepthLastEntry(depth, index);
}

int PaneStores::SetFolderEntryFile(int index, quint32 attributes, const QString& path, FolderEntryArray& entries,
                                   qint64 size, TFileTime time) {
    TFolderEntry* entry = newFolderEntry(entries, index);
    entry->PathMaskLength = MaskPathPrefix(path);
    entry->Depth = PathDepth(path, entry->PathMaskLength);
    entry->Parent = DepthLastEntryAt(entry->Depth - 1);
    entry->Time = time;
    entry->Attributes = attributes;
    entry->Size = size;
    entry->Path = path;
    entry->PathLength = int(path.size());
    return entry->PathLength;
}

void PaneStores::SetFolderEntryStatus(int index, quint8 status, const QString& path, FolderEntryArray& entries) {
    SetFolderEntryFile(index, 0, path, entries, 0, 0);
    TFolderEntry* entry = entries[index];
    entry->Status = status;
    entry->Result = 2;
}

// ---- folder-pair index ----------------------------------------------------

bool PaneStores::AddFolderPair(qint32 key1, qint32 key2, qint32 position, const QString& text1,
                               const QString& text2) {
    if (FolderPairCount >= kFolderPairSlots) return false;
    const auto n = size_t(FolderPairCount);
    for (auto* v : {&FolderPairKey1, &FolderPairKey2, &FolderPairPosition}) v->resize(n);
    FolderPairText1.resize(n);
    FolderPairText2.resize(n);
    FolderPairKey1.push_back(key1);
    FolderPairKey2.push_back(key2);
    FolderPairPosition.push_back(position);
    FolderPairText1.push_back(text1);
    FolderPairText2.push_back(text2);
    ++FolderPairCount;
    return true;
}

int PaneStores::IsNewFolderPair(qint32 position, qint32 key, const QString& text) const {
    const int count = std::min<int>(FolderPairCount, int(FolderPairPosition.size()));
    for (int i = count - 1; i >= 0; --i) {
        const auto k = size_t(i);
        if (FolderPairPosition[k] < position) break;
        if (FolderPairPosition[k] == position && FolderPairKey1[k] == key && FolderPairText1[k] == text)
            return 0;
    }
    return 1;
}

int PaneStores::IsNewFolderTriple(qint32 position, qint32 key1, qint32 key2, const QString& text1,
                                  const QString& text2) const {
    const int count = std::min<int>(FolderPairCount, int(FolderPairPosition.size()));
    for (int i = count - 1; i >= 0; --i) {
        const auto k = size_t(i);
        if (FolderPairPosition[k] < position) break;
        if (FolderPairPosition[k] == position && FolderPairKey1[k] == key1 && FolderPairKey2[k] == key2 &&
            FolderPairText1[k] == text1 && FolderPairText2[k] == text2)
            return 0;
    }
    return 1;
}

PaneStores& paneStores() {
    static PaneStores stores;
    return stores;
}

}  // namespace tandex::engine
