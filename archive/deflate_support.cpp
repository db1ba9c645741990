#include "archive/deflate_support.h"

#include "archive/archive_utils.h"

#include <algorithm>
#include <cstring>

namespace tandex::archive {

// ---- options ------------------------------------------------------------

void TArcDeflateHelper::Assign(const TArcDeflateHelper& other) {
    sufficientMatch_ = other.sufficientMatch_;
    chainLimit_ = other.chainLimit_;
    logFileName_ = other.logFileName_;
    lazyLimit_ = other.lazyLimit_;
    progressHandler_ = other.progressHandler_;
    optionBits_ = other.optionBits_;
    outputLimit_ = other.outputLimit_;
    inputSize_ = other.inputSize_;
    windowBytes_ = other.windowBytes_;
    levelLetter_ = other.levelLetter_;
}

void TArcDeflateHelper::setLimit(qint32& field, qint32 n) {
    if (n == field) return;
    // Below 4 a match limit would stop the search before any match of the
    // minimum length 3 could be improved on.
    if (n != -1 && n < 4) n = 4;
    field = n;
    levelLetter_ = '?';
}

void TArcDeflateHelper::SetSufficientMatch(qint32 n) {
    setLimit(sufficientMatch_, n);
}
void TArcDeflateHelper::SetChainLimit(qint32 n) {
    setLimit(chainLimit_, n);
}
void TArcDeflateHelper::SetLazyLimit(qint32 n) {
    setLimit(lazyLimit_, n);
}

void TArcDeflateHelper::SetOptionBits(qint32 bits) {
    if (bits == optionBits_) return;
    optionBits_ = bits;
    levelLetter_ = '?';
}

void TArcDeflateHelper::SetLevelLetter(char letter) {
    if (letter >= 'A' && letter <= 'Z') letter = char(letter - 'A' + 'a');
    if (letter == levelLetter_) return;
    struct Preset {
        char letter;
        qint32 setBits;
        qint32 sufficient, chain, lazy;
    };
    static const Preset presets[] = {
        {'0', 0, 8, 32, 16},     {'2', 0x0F, 8, 32, 16}, {'f', 0x07, 4, 32, 6},
        {'n', 0x0F, 16, 32, 24}, {'s', 0x07, 4, 4, 4},   {'x', 0x0F, 64, 4096, 258},
    };
    for (const Preset& p : presets) {
        if (p.letter != letter) continue;
        if (letter == '0')
            optionBits_ = (optionBits_ & ~0x0F) | StoredOnly;
        else
            optionBits_ |= p.setBits;
        sufficientMatch_ = p.sufficient;
        chainLimit_ = p.chain;
        lazyLimit_ = p.lazy;
        levelLetter_ = letter;
        return;
    }
}

// ---- run log ---------------------------------------------------------------

TArcLogger::TArcLogger(const QString& fileName) : file_(fileName, fmCreate) {}

TArcLogger::~TArcLogger() {
    try {
        flush();
    } catch (...) {
        // A log that cannot be written must not turn a finished run into a
        // failure.
    }
}

bool TArcLogger::flush() {
    if (used_ == 0) return true;
    const int64_t written = std::max<int64_t>(0, file_.Write(buffer_, used_));
    if (written < used_) {
        std::memmove(buffer_, buffer_ + written, size_t(used_ - written));
        used_ -= int(written);
        return false;
    }
    used_ = 0;
    return true;
}

int64_t TArcLogger::Read(void*, int64_t) {
    return 0;
}

int64_t TArcLogger::Write(const void* buffer, int64_t count) {
    const auto* p = static_cast<const char*>(buffer);
    if (used_ == int(sizeof buffer_) && !flush()) return 0;
    int64_t done = std::min<int64_t>(count, int64_t(sizeof buffer_) - used_);
    std::memcpy(buffer_ + used_, p, size_t(done));
    used_ += int(done);
    while (done < count) {
        if (!flush()) break;
        const int64_t n = std::min<int64_t>(count - done, int64_t(sizeof buffer_));
        std::memcpy(buffer_, p + done, size_t(n));
        used_ = int(n);
        done += n;
    }
    return done;
}

int64_t TArcLogger::Seek(int64_t offset, int origin) {
    if (offset == 0 && (origin == soCurrent || origin == soEnd))
        return file_.Seek(0, soCurrent) + used_;
    return 0;
}

void TArcLogger::WriteLine(const QString& text) {
    QByteArray line = text.toLatin1();
    line.append("\r\n");
    Write(line.constData(), line.size());
}

// ---- checksums ------------------------------------------------------------

void UpdateCrc32(quint32& state, const void* buffer, qint64 count) {
    state = Crc32Update(state, buffer, static_cast<size_t>(count));
}

void UpdateAdler32(quint32& state, const void* buffer, qint64 count) {
    const auto* p = static_cast<const quint8*>(buffer);
    quint32 low = state & 0xFFFF;
    quint32 high = state >> 16;
    while (count > 0) {
        // 2048 bytes cannot overflow either 32-bit sum before the reduction.
        const qint64 n = std::min<qint64>(count, 2048);
        for (qint64 i = 0; i < n; ++i) {
            low += p[i];
            high += low;
        }
        low %= 65521;
        high %= 65521;
        p += n;
        count -= n;
    }
    state = (high << 16) | low;
}

// ---- node allocator ---------------------------------------------------------

TArcNodeManager::TArcNodeManager(int nodeSize) {
    nodeSize_ = nodeSize <= 4 ? 4 : (nodeSize + 3) / 4 * 4;
    // Each node must also hold the free-list link of this platform.
    nodeSize_ = std::max<int>(nodeSize_, int(sizeof(void*)));
    nodesPerPage_ = 8188 / nodeSize_;
    if (nodesPerPage_ < 2) {
        nodesPerPage_ = 1;
        pageSize_ = nodeSize_ + 4;
    } else {
        pageSize_ = 8192;
    }
}

void* TArcNodeManager::AllocNode() {
    if (!freeList_) {
        // The page's first bytes stay reserved for the page link, as the
        // layout asks; the list of pages itself is the vector.
        const int header = int(std::max<size_t>(sizeof(void*), alignof(std::max_align_t)));
        auto page = std::make_unique<std::byte[]>(size_t(header) +
                                                  size_t(nodesPerPage_) * size_t(nodeSize_));
        std::byte* first = page.get() + header;
        for (int i = nodesPerPage_ - 1; i >= 0; --i) {
            void* node = first + size_t(i) * size_t(nodeSize_);
            std::memcpy(node, &freeList_, sizeof(void*));
            freeList_ = node;
        }
        pages_.push_back(std::move(page));
    }
    void* node = freeList_;
    std::memcpy(&freeList_, node, sizeof(void*));
    return node;
}

// ---- package-merge ------------------------------------------------------------

namespace {

struct PmNode {
    quint32 weight;
    qint32 counter;
    PmNode* left;
    PmNode* right;
};

void quickSortByWeight(std::vector<PmNode*>& a, int lo, int hi) {
    while (lo < hi) {
        const quint32 pivot = a[size_t(lo + (hi - lo) / 2)]->weight;
        int i = lo, j = hi;
        while (i <= j) {
            while (a[size_t(i)]->weight < pivot)
                ++i;
            while (a[size_t(j)]->weight > pivot)
                --j;
            if (i <= j) {
                std::swap(a[size_t(i)], a[size_t(j)]);
                ++i;
                --j;
            }
        }
        // Recurse into the smaller side so the depth stays logarithmic.
        if (j - lo < hi - i) {
            quickSortByWeight(a, lo, j);
            lo = i;
        } else {
            quickSortByWeight(a, i, hi);
            hi = j;
        }
    }
}

void countLeaves(PmNode* node) {
    if (!node->left) {
        ++node->counter;
        return;
    }
    countLeaves(node->left);
    countLeaves(node->right);
}

}  // namespace

void BuildCodeLengths(int maxBits, const qint32* counts, int lastSymbol, TArcLogger*,
                      quint8* lengths, int index) {
    for (int s = 0; s <= lastSymbol; ++s)
        lengths[index + s] = 0;
    TArcNodeManager nodes(int(sizeof(PmNode)));
    std::vector<PmNode*> leaves;
    for (int s = 0; s <= lastSymbol; ++s) {
        if (counts[s] <= 0) continue;
        auto* leaf = static_cast<PmNode*>(nodes.AllocNode());
        *leaf = PmNode{quint32(counts[s]), 1, nullptr, nullptr};
        leaves.push_back(leaf);
    }
    const int n = int(leaves.size());
    if (n == 0) {
        lengths[index] = 1;
        return;
    }
    if (n == 1) {
        for (int s = 0; s <= lastSymbol; ++s)
            if (counts[s] > 0) lengths[index + s] = 1;
        return;
    }
    // The leaves carry their symbol through the sort by address order.
    std::vector<PmNode*> byAddress = leaves;
    quickSortByWeight(leaves, 0, n - 1);

    std::vector<PmNode*> work = leaves;
    std::vector<PmNode*> packages;
    std::vector<PmNode*> merged;
    for (int round = 1; round < maxBits; ++round) {
        packages.clear();
        for (size_t i = 0; i + 1 < work.size(); i += 2) {
            auto* pkg = static_cast<PmNode*>(nodes.AllocNode());
            *pkg = PmNode{work[i]->weight + work[i + 1]->weight, 0, work[i], work[i + 1]};
            packages.push_back(pkg);
        }
        merged.clear();
        size_t li = 0, pi = 0;
        while (li < leaves.size() || pi < packages.size()) {
            // A tie goes to the leaf.
            if (pi < packages.size() &&
                (li == leaves.size() || packages[pi]->weight < leaves[li]->weight))
                merged.push_back(packages[pi++]);
            else
                merged.push_back(leaves[li++]);
        }
        work.swap(merged);
    }
    const size_t take = std::min(work.size(), size_t(2 * n - 2));
    for (size_t i = 0; i < take; ++i)
        if (work[i]->left) countLeaves(work[i]);

    int k = 0;
    for (int s = 0; s <= lastSymbol; ++s)
        if (counts[s] > 0) lengths[index + s] = quint8(byAddress[size_t(k++)]->counter);
}

// ---- code tables ----------------------------------------------------------------

TArcDfDecodeHuffmanTree::TArcDfDecodeHuffmanTree(int alphabetSize, int usage, int defaultMaxLength)
    : alphabetSize_(alphabetSize), usage_(usage), defaultMaxLength_(defaultMaxLength) {
    if (usage_ != DecodeOnly) encode_.assign(size_t(alphabetSize_), 0xFFFFFFFFu);
    if (usage_ != EncodeOnly) decode_.assign(1, 0);
}

bool TArcDfDecodeHuffmanTree::Build(const quint8* lengths, int firstExtraSymbol,
                                    const quint8* extraBits, int count, int index) {
    count = std::min(count, alphabetSize_);
    int lengthCount[16] = {};
    int maxUsed = 0;
    for (int s = 0; s < count; ++s) {
        const int len = lengths[index + s];
        if (len > defaultMaxLength_ || len > 15) return false;
        ++lengthCount[len];
        maxUsed = std::max(maxUsed, len);
    }
    // A set whose codes do not fit their lengths would make two symbols
    // share table entries; refuse it before touching the tables.
    qint32 left = 1;
    for (int len = 1; len <= 15; ++len) {
        left = left * 2 - lengthCount[len];
        if (left < 0) return false;
    }
    quint32 nextCode[17] = {};
    quint32 code = 0;
    lengthCount[0] = 0;
    for (int len = 1; len <= defaultMaxLength_; ++len) {
        code = (code + quint32(lengthCount[len - 1])) << 1;
        nextCode[len] = code;
    }
    maxLength_ = maxUsed;
    if (usage_ != DecodeOnly) std::fill(encode_.begin(), encode_.end(), 0xFFFFFFFFu);
    quint32 reversedOf[320];
    for (int s = 0; s < count; ++s) {
        const int len = lengths[index + s];
        if (len == 0) continue;
        quint32 c = nextCode[len]++;
        quint32 reversed = 0;
        for (int b = 0; b < len; ++b) {
            reversed = (reversed << 1) | (c & 1);
            c >>= 1;
        }
        reversedOf[s] = reversed;
        if (usage_ != DecodeOnly) {
            const quint32 extra =
                (s >= firstExtraSymbol && extraBits) ? extraBits[s - firstExtraSymbol] : 0;
            encode_[size_t(s)] = reversed | (quint32(len) << 16) | (extra << 24);
        }
    }
    if (usage_ != EncodeOnly)
        buildFast(lengths, firstExtraSymbol, extraBits, count, index, reversedOf);
    if (usage_ != EncodeOnly && fullTable_) {
        // The table grows one length at a time: doubling repeats every
        // shorter code at each index that adds a multiple of its 2^len, then
        // the codes of the new length go in. Indexes no code reaches keep
        // the zero they started with.
        decode_.resize(size_t(1) << maxLength_);
        decode_[0] = 0;
        size_t filled = 1;
        for (int len = 1; len <= maxLength_; ++len) {
            std::memcpy(decode_.data() + filled, decode_.data(), filled * sizeof(quint32));
            filled *= 2;
            if (lengthCount[len] == 0) continue;
            for (int s = 0; s < count; ++s) {
                if (lengths[index + s] != len) continue;
                const quint32 extra =
                    (s >= firstExtraSymbol && extraBits) ? extraBits[s - firstExtraSymbol] : 0;
                decode_[reversedOf[s]] = quint32(s) | (quint32(len) << 16) | (extra << 24);
            }
        }
    }
    return true;
}

void TArcDfDecodeHuffmanTree::buildFast(const quint8* lengths, int firstExtraSymbol,
                                        const quint8* extraBits, int count, int index,
                                        const quint32* reversedOf) {
    // Ten bits cover most literal/length codes of real data in a 4 KiB
    // table; the rare longer codes go through small subtables.
    fastBits_ = std::min(maxLength_, 10);
    const int primary = 1 << fastBits_;
    const quint32 mask = quint32(primary - 1);
    int width[1024] = {};
    for (int s = 0; s < count; ++s) {
        const int len = lengths[index + s];
        if (len > fastBits_) {
            const quint32 p = reversedOf[s] & mask;
            width[p] = std::max(width[p], len - fastBits_);
        }
    }
    int offset[1024];
    size_t total = size_t(primary);
    for (int p = 0; p < primary; ++p) {
        if (width[p]) {
            offset[p] = int(total);
            total += size_t(1) << width[p];
        }
    }
    fast_.assign(total, 0);
    for (int p = 0; p < primary; ++p)
        if (width[p]) fast_[size_t(p)] = FastLink | (quint32(width[p]) << 16) | quint32(offset[p]);
    for (int s = 0; s < count; ++s) {
        const int len = lengths[index + s];
        if (len == 0) continue;
        const quint32 extra =
            (s >= firstExtraSymbol && extraBits) ? extraBits[s - firstExtraSymbol] : 0;
        const quint32 entry = quint32(s) | (quint32(len) << 16) | (extra << 24);
        const quint32 rev = reversedOf[s];
        if (len <= fastBits_) {
            for (size_t i = rev; i < size_t(primary); i += size_t(1) << len)
                fast_[i] = entry;
        } else {
            const quint32 p = rev & mask;
            const size_t base = size_t(offset[p]);
            const size_t size = size_t(1) << width[p];
            for (size_t i = rev >> fastBits_; i < size; i += size_t(1) << (len - fastBits_))
                fast_[base + i] = entry;
        }
    }
}

const quint8 LengthExtraBits[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2,  2, 2, 2,
                                    3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16, 0, 0};
const quint16 LengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19, 23, 27, 31,
                                35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3,  0,  0};
const quint8 DistanceExtraBits[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                      7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
const quint32 DistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                  17,   25,   33,   49,    65,    97,    129,   193,
                                  257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                  4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};

const TArcDfDecodeHuffmanTree& StaticLiteralTree() {
    static const TArcDfDecodeHuffmanTree tree = [] {
        quint8 lengths[288];
        for (int s = 0; s < 288; ++s)
            lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        TArcDfDecodeHuffmanTree t(288, TArcDfDecodeHuffmanTree::EncodeAndDecode, 15);
        t.Build(lengths, 257, LengthExtraBits, 288, 0);
        return t;
    }();
    return tree;
}

const TArcDfDecodeHuffmanTree& StaticDistanceTree() {
    static const TArcDfDecodeHuffmanTree tree = [] {
        quint8 lengths[32];
        std::fill(lengths, lengths + 32, quint8(5));
        TArcDfDecodeHuffmanTree t(32, TArcDfDecodeHuffmanTree::EncodeAndDecode, 15);
        t.Build(lengths, 0, DistanceExtraBits, 32, 0);
        return t;
    }();
    return tree;
}

const TArcDfTranslator& Translator() {
    static const TArcDfTranslator table = [] {
        TArcDfTranslator t;
        std::memset(&t, 0, sizeof t);
        // Each code's entry sits at its base; the running maximum fills the
        // gaps, so any length or distance in range maps to its code.
        bool set[256] = {};
        for (int code = 0; code < 28; ++code) {
            t.lengthCode[LengthBase[code] - 3] = quint8(code);
            set[LengthBase[code] - 3] = true;
        }
        t.lengthCode[255] = 28;
        set[255] = true;
        for (int i = 1; i < 256; ++i)
            if (!set[i]) t.lengthCode[i] = t.lengthCode[i - 1];

        bool shortSet[256] = {};
        for (int code = 0; code < 16; ++code) {
            t.shortDistance[DistanceBase[code] - 1] = quint8(code);
            shortSet[DistanceBase[code] - 1] = true;
        }
        for (int i = 1; i < 256; ++i)
            if (!shortSet[i]) t.shortDistance[i] = t.shortDistance[i - 1];

        bool mediumSet[256] = {};
        for (int code = 16; code < 30; ++code) {
            const int at = int((DistanceBase[code] - 1) / 128 - 2);
            t.mediumDistance[at] = quint8(code);
            mediumSet[at] = true;
        }
        for (int i = 1; i < 256; ++i)
            if (!mediumSet[i]) t.mediumDistance[i] = t.mediumDistance[i - 1];
        t.longDistance[0] = 30;
        t.longDistance[1] = 31;
        return t;
    }();
    return table;
}

}  // namespace tandex::archive
