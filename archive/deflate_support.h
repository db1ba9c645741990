#pragma once
// What the deflate compressor and the inflate decompressor share: the
// options object callers fill for a run, the preset letters, the engine's
// exceptions, the checksums, the length-limited code builder, the code
// tables that serve both directions, and the fixed codes and symbol
// lookup tables that are built once per process.

#include "archive/archive_errors.h"
#include "archive/streams.h"

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tandex::archive {

// OptionBits: bits 0-2 select the block strategy, the rest are switches.
constexpr qint32 StoredOnly = 1;
constexpr qint32 StaticOnly = 2;
constexpr qint32 DynamicOnly = 4;
constexpr qint32 BestOfThree = 7;
constexpr qint32 StrategyMask = 7;
constexpr qint32 LazyMatching = 0x08;
constexpr qint32 Deflate64Format = 0x10;
constexpr qint32 Adler32Check = 0x20;
constexpr qint32 TestOnly = 0x40000000;

// Receives a whole percentage of the input processed. A handler that wants
// the run to stop throws EArcAbortProgress.
using TArcDeflateProgress = std::function<void(qint32 percent)>;

class TArcDeflateHelper {
public:
    TArcDeflateHelper() = default;

    // Copies every option, not the result sizes.
    void Assign(const TArcDeflateHelper& other);

    qint32 SufficientMatch() const { return sufficientMatch_; }
    qint32 ChainLimit() const { return chainLimit_; }
    qint32 LazyLimit() const { return lazyLimit_; }
    qint32 OptionBits() const { return optionBits_; }
    char LevelLetter() const { return levelLetter_; }
    // A single limit or option change leaves the preset: the letter becomes '?'.
    void SetSufficientMatch(qint32 n);
    void SetChainLimit(qint32 n);
    void SetLazyLimit(qint32 n);
    void SetOptionBits(qint32 bits);
    void SetLevelLetter(char letter);

    const QString& LogFileName() const { return logFileName_; }
    void SetLogFileName(const QString& name) { logFileName_ = name; }
    const TArcDeflateProgress& ProgressHandler() const { return progressHandler_; }
    void SetProgressHandler(TArcDeflateProgress handler) { progressHandler_ = std::move(handler); }
    qint64 OutputLimit() const { return outputLimit_; }
    void SetOutputLimit(qint64 n) { outputLimit_ = n; }
    qint64 InputSize() const { return inputSize_; }
    void SetInputSize(qint64 n) { inputSize_ = n; }
    qint32 WindowBytes() const { return windowBytes_; }
    void SetWindowBytes(qint32 n) { windowBytes_ = n; }

    qint64 PackedBytes() const { return packedBytes_; }
    void SetPackedBytes(qint64 n) { packedBytes_ = n; }
    qint64 PlainBytes() const { return plainBytes_; }
    void SetPlainBytes(qint64 n) { plainBytes_ = n; }

private:
    void setLimit(qint32& field, qint32 n);

    qint32 sufficientMatch_ = 8;
    qint32 chainLimit_ = 32;
    QString logFileName_;
    qint32 lazyLimit_ = 16;
    TArcDeflateProgress progressHandler_;
    qint32 optionBits_ = 0x0F;
    qint64 outputLimit_ = 0;
    qint64 packedBytes_ = 0;
    qint64 plainBytes_ = 0;
    qint64 inputSize_ = 0;
    qint32 windowBytes_ = 32768;
    char levelLetter_ = 'n';
};

// ---- run log ----------------------------------------------------------------

// A write-only log stream over a file that is created (or truncated) with
// it. Lines end with CR LF; writes are buffered 4 KiB at a time.
class TArcLogger : public Stream {
public:
    explicit TArcLogger(const QString& fileName);
    ~TArcLogger() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Answers only the position query (offset 0 from the position or the
    // end); anything else returns 0.
    int64_t Seek(int64_t offset, int origin) override;
    // One byte per character (Latin-1), then CR LF.
    void WriteLine(const QString& text);

private:
    bool flush();

    FileStream file_;
    char buffer_[4096];
    int used_ = 0;
};

// ---- checksums ----------------------------------------------------------

// Neither routine starts nor ends with an inversion: CRC-32 callers start
// from 0xFFFFFFFF and invert the result, Adler-32 callers start from 1.
void UpdateCrc32(quint32& state, const void* buffer, qint64 count);
void UpdateAdler32(quint32& state, const void* buffer, qint64 count);

// ---- node allocator -----------------------------------------------------

// Hands out fixed-size nodes from 8 KiB pages; nodes are never returned one
// by one, the whole lot goes with the manager.
class TArcNodeManager {
public:
    explicit TArcNodeManager(int nodeSize);
    void* AllocNode();
    int NodeSize() const { return nodeSize_; }
    int NodesPerPage() const { return nodesPerPage_; }
    int PageSize() const { return pageSize_; }

private:
    int nodeSize_;
    int nodesPerPage_;
    int pageSize_;
    std::vector<std::unique_ptr<std::byte[]>> pages_;
    void* freeList_ = nullptr;
};

// Length-limited code lengths by package-merge: writes the lengths of
// symbols 0..lastSymbol to lengths[index..]. The logger is not used.
void BuildCodeLengths(int maxBits, const qint32* counts, int lastSymbol, TArcLogger* logger,
                      quint8* lengths, int index);

// ---- code tables --------------------------------------------------------

// Decode entries: bits 0-15 symbol, 16-23 code length, 24-31 extra bits;
// an entry of 0 is a bit pattern no code produces. Encode entries: bits
// 0-15 the bit-reversed code, 16-23 length, 24-31 extra bits; 0xFFFFFFFF
// for a symbol without a code.
class TArcDfDecodeHuffmanTree {
public:
    enum { EncodeOnly = 0, DecodeOnly = 1, EncodeAndDecode = 2 };

    TArcDfDecodeHuffmanTree(int alphabetSize, int usage, int defaultMaxLength);

    // Builds canonical codes from lengths[index .. index+count-1]. Symbols
    // from firstExtraSymbol on take extraBits[symbol - firstExtraSymbol].
    // Returns false, writing nothing, for an over-subscribed set.
    bool Build(const quint8* lengths, int firstExtraSymbol, const quint8* extraBits, int count,
               int index);

    int AlphabetSize() const { return alphabetSize_; }
    int MaxLength() const { return maxLength_; }
    const quint32* DecodeTable() const { return decode_.data(); }
    quint32 DecodeMask() const { return (1u << maxLength_) - 1; }
    const quint32* EncodeTable() const { return encode_.data(); }

    // A decoder that only needs the two-level table below can skip the
    // full table, whose 2^15 entries cost more to build than a small block
    // costs to decode.
    void SetFullTable(bool full) { fullTable_ = full; }

    // Two-level lookup for the decoder's hot loop: the low FastBits() bits
    // index the primary table, where an entry with FastLink set names a
    // subtable (bits 0-15 its offset, bits 16-23 how many further bits
    // index it). Every other entry is a decode entry as above, its length
    // counting all the code's bits; 0 is still a pattern no code produces.
    static constexpr quint32 FastLink = 0x80000000u;
    const quint32* FastTable() const { return fast_.data(); }
    int FastBits() const { return fastBits_; }
    quint32 FastLookup(uint64_t bits) const {
        quint32 e = fast_[size_t(bits & ((1u << fastBits_) - 1))];
        if (e & FastLink)
            e = fast_[(e & 0xFFFF) +
                      size_t((bits >> fastBits_) & ((1u << ((e >> 16) & 0xFF)) - 1))];
        return e;
    }

private:
    void buildFast(const quint8* lengths, int firstExtraSymbol, const quint8* extraBits, int count,
                   int index, const quint32* reversedOf);

    int alphabetSize_;
    int usage_;
    int defaultMaxLength_;
    int maxLength_ = 0;
    std::vector<quint32> decode_;
    std::vector<quint32> encode_;
    bool fullTable_ = true;
    int fastBits_ = 0;
    std::vector<quint32> fast_;
};

// The fixed codes: literal/length with 288 symbols (285 carries the 16
// extra bits of Deflate64; plain deflate writes and reads none for it) and
// distance with 32 symbols.
const TArcDfDecodeHuffmanTree& StaticLiteralTree();
const TArcDfDecodeHuffmanTree& StaticDistanceTree();

// Extra bits and bases of RFC 1951, with Deflate64's 285 and 30/31.
// Indexed by symbol - 257; entries 29 and 30 (symbols 286, 287) exist only
// so that the fixed code's full alphabet has a row.
extern const quint8 LengthExtraBits[31];
extern const quint16 LengthBase[31];
extern const quint8 DistanceExtraBits[32];
extern const quint32 DistanceBase[32];

// Length and distance symbols in single table reads.
struct TArcDfTranslator {
    quint8 lengthCode[256];      // length - 3 -> length code - 257
    quint8 longDistance[2];      // (distance - 1) / 16384 - 2 -> 30, 31
    quint8 mediumDistance[256];  // (distance - 1) / 128 - 2 -> 16..29
    quint8 shortDistance[256];   // distance - 1 -> 0..15
};
const TArcDfTranslator& Translator();

inline int DistanceSymbolOf(quint32 distance) {
    const TArcDfTranslator& t = Translator();
    const quint32 d = distance - 1;
    if (d < 256) return t.shortDistance[d];
    if (d < 32768) return t.mediumDistance[d / 128 - 2];
    return t.longDistance[d / 16384 - 2];
}

}  // namespace tandex::archive
