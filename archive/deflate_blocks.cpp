// Block encoding. The loop records symbols into a buffer sized for the
// largest block, so recording never checks for room; when a block ends its
// exact cost as stored, fixed-code and own-code block is known from the
// counts, and the cheapest is written.

#include "archive/deflate_blocks.h"

#include "archive/deflate.h"

#include <algorithm>
#include <cstring>

namespace tandex::archive {

namespace {

// 32767 matches, the literal that completes the block and the one match
// that may follow it in the same turn; the spare bytes take the one or two
// symbols of the input's last bytes when the final block was already full.
constexpr int kSymbolBufferSize = 163842 + 64;

const quint8 kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                     11, 4,  12, 3, 13, 2, 14, 1, 15};

inline int lengthSymbol(int length) {
    if (length - 1 < 2 || length - 1 > 257) return 285;
    return 257 + Translator().lengthCode[length - 3];
}

}  // namespace

// ---- bit writer ----------------------------------------------------------------

TArcDfOutBitStream::TArcDfOutBitStream(Stream& destination)
    : destination_(destination), buffer_(16384) {}

TArcDfOutBitStream::~TArcDfOutBitStream() {
    try {
        Finish();
    } catch (...) {
        // Only the explicit Finish of a successful run reports failures.
    }
}

void TArcDfOutBitStream::obsEmptyBuffer() {
    if (pos_ == 0) return;
    const int64_t written = destination_.Write(buffer_.data(), pos_);
    if (written < pos_)
        throw EArcInternalDeflateError(QStringLiteral(
            "could not write to the output stream [TArcDfInBitStream.obsEmptyBuffer]"));
    pos_ = 0;
}

void TArcDfOutBitStream::AlignOutput() {
    used_ = (used_ + 7) & ~7;
    if (used_ == 32) WriteBits(0, 0);
}

void TArcDfOutBitStream::moveWholeBytes() {
    while (used_ >= 8) {
        if (pos_ == int(buffer_.size())) obsEmptyBuffer();
        buffer_[size_t(pos_++)] = quint8(bits_);
        bits_ >>= 8;
        used_ -= 8;
    }
}

void TArcDfOutBitStream::WriteBytes(const void* data, int64_t count) {
    moveWholeBytes();
    const auto* p = static_cast<const quint8*>(data);
    while (count > 0) {
        if (pos_ == int(buffer_.size())) obsEmptyBuffer();
        const int64_t n = std::min<int64_t>(count, int64_t(buffer_.size()) - pos_);
        std::memcpy(buffer_.data() + pos_, p, size_t(n));
        pos_ += int(n);
        p += n;
        count -= n;
    }
    obsEmptyBuffer();
}

void TArcDfOutBitStream::Finish() {
    if (finished_) return;
    finished_ = true;
    if (used_ > 0) {
        used_ = (used_ + 7) & ~7;
        moveWholeBytes();
    }
    obsEmptyBuffer();
}

// ---- symbol buffer -----------------------------------------------------------------

TArcDfLZStream::TArcDfLZStream(TArcDfInputWindow& window, bool deflate64, TArcLogger*)
    : window_(window), deflate64_(deflate64), symbols_(kSymbolBufferSize) {
    ResetBlock();
}

void TArcDfLZStream::ResetBlock() {
    writePos_ = 0;
    std::fill(std::begin(litLenCounts_), std::end(litLenCounts_), 0);
    std::fill(std::begin(distanceCounts_), std::end(distanceCounts_), 0);
    litLenCounts_[256] = 1;
    literals_ = 0;
    matches_ = 0;
    inputBytes_ = 0;
}

bool TArcDfLZStream::RecordMatch(int length, int distance) {
    quint8* p = symbols_.data() + writePos_;
    p[0] = 0;
    p[1] = quint8(length - 1);
    p[2] = quint8((length - 1) >> 8);
    p[3] = quint8(distance - 1);
    p[4] = quint8((distance - 1) >> 8);
    writePos_ += 5;
    ++matches_;
    inputBytes_ += length;
    ++litLenCounts_[length > 258 ? 285 : lengthSymbol(length)];
    ++distanceCounts_[DistanceSymbolOf(quint32(distance))];
    return blockFull();
}

int64_t TArcDfLZStream::EstimatedPackedSize() const {
    int64_t bits = 13 * int64_t(matches_) + 8 * int64_t(literals_);
    for (int d = 4; d < 32; ++d)
        bits += int64_t(distanceCounts_[d]) * DistanceExtraBits[d];
    return bits / 8;
}

int64_t TArcDfLZStream::StaticCost() const {
    int64_t bits = 0;
    for (int s = 0; s < 144; ++s)
        bits += int64_t(litLenCounts_[s]) * 8;
    for (int s = 144; s < 256; ++s)
        bits += int64_t(litLenCounts_[s]) * 9;
    bits += int64_t(litLenCounts_[256]) * 7;
    for (int s = 257; s < 280; ++s)
        bits += int64_t(litLenCounts_[s]) * (7 + LengthExtraBits[s - 257]);
    for (int s = 280; s < 285; ++s)
        bits += int64_t(litLenCounts_[s]) * (8 + LengthExtraBits[s - 257]);
    bits += int64_t(litLenCounts_[285]) * (deflate64_ ? 24 : 8);
    for (int d = 0; d < 32; ++d)
        bits += int64_t(distanceCounts_[d]) * (5 + DistanceExtraBits[d]);
    return bits;
}

void TArcDfLZStream::CopyStoredInput(quint8* buffer, int count) {
    window_.ReadSourceAt(buffer, count, blockStart_);
    blockStart_ += count;
}

void TArcDfLZStream::EncodeSymbols(TArcDfOutBitStream& out, const TArcDfDecodeHuffmanTree& litLen,
                                   bool deflate64, const TArcDfDecodeHuffmanTree& distance) const {
    const quint32* lit = litLen.EncodeTable();
    const quint32* dist = distance.EncodeTable();
    const TArcDfTranslator& xlat = Translator();
    const quint8* p = symbols_.data();
    const quint8* end = p + writePos_;
    while (p < end) {
        if (p[0]) {
            const quint32 e = lit[p[1]];
            out.WriteBits(e & 0xFFFF, int((e >> 16) & 0xFF));
            p += 2;
            continue;
        }
        const int length = (p[1] | (p[2] << 8)) + 1;
        const int d = (p[3] | (p[4] << 8)) + 1;
        p += 5;
        const int sym =
            (length - 1 < 2 || length - 1 > 257) ? 285 : 257 + xlat.lengthCode[length - 3];
        const quint32 e = lit[sym];
        out.WriteBits(e & 0xFFFF, int((e >> 16) & 0xFF));
        if (sym == 285) {
            // Plain deflate's 258 has no extra bits, although the shared
            // table gives 285 Deflate64's sixteen.
            if (deflate64) out.WriteBits(quint32(length - 3), 16);
        } else if (const int extra = LengthExtraBits[sym - 257]) {
            out.WriteBits(quint32(length - LengthBase[sym - 257]), extra);
        }
        const int dsym = DistanceSymbolOf(quint32(d));
        const quint32 de = dist[dsym];
        out.WriteBits(de & 0xFFFF, int((de >> 16) & 0xFF));
        if (const int extra = DistanceExtraBits[dsym])
            out.WriteBits(quint32(d) - DistanceBase[dsym], extra);
    }
}

// ---- code lengths ------------------------------------------------------------------

void TArcDfCodeLenStream::addCode(int code, int extra) {
    coded_.push_back(quint8(code));
    if (extra >= 0) coded_.push_back(quint8(extra));
    ++counts_[code];
}

void TArcDfCodeLenStream::EncodeLengths(const quint8* lengths, int count) {
    coded_.clear();
    std::fill(std::begin(counts_), std::end(counts_), 0);
    int i = 0;
    while (i < count) {
        const int value = lengths[i];
        int run = 1;
        while (i + run < count && lengths[i + run] == value)
            ++run;
        i += run;
        if (run < 3) {
            for (int k = 0; k < run; ++k)
                addCode(value);
            continue;
        }
        if (value == 0) {
            while (run > 10) {
                const int n = std::min(run, 138);
                addCode(18, n - 11);
                run -= n;
            }
            if (run >= 3) {
                addCode(17, run - 3);
                run = 0;
            }
            for (; run > 0; --run)
                addCode(0);
        } else {
            addCode(value);
            --run;
            while (run >= 3) {
                const int n = std::min(run, 6);
                addCode(16, n - 3);
                run -= n;
            }
            for (; run > 0; --run)
                addCode(value);
        }
    }
}

void TArcDfCodeLenStream::WriteLengths(TArcDfOutBitStream& out,
                                       const TArcDfDecodeHuffmanTree& code) const {
    const quint32* enc = code.EncodeTable();
    for (size_t i = 0; i < coded_.size(); ++i) {
        const int c = coded_[i];
        const quint32 e = enc[c];
        out.WriteBits(e & 0xFFFF, int((e >> 16) & 0xFF));
        if (c == 16)
            out.WriteBits(coded_[++i], 2);
        else if (c == 17)
            out.WriteBits(coded_[++i], 3);
        else if (c == 18)
            out.WriteBits(coded_[++i], 7);
    }
}

// ---- block writers -------------------------------------------------------------------

void WriteEndOfBlock(TArcDfOutBitStream& out, const TArcDfDecodeHuffmanTree& litLen) {
    const quint32 e = litLen.EncodeTable()[256];
    out.WriteBits(e & 0xFFFF, int((e >> 16) & 0xFF));
}

void WriteStoredBlock(bool final, bool, TArcDfLZStream& symbols, TArcLogger*,
                      TArcDfOutBitStream& out) {
    std::vector<quint8> piece(65536);
    int64_t left = symbols.InputBytes();
    // A final block without input still has to end the stream.
    bool first = true;
    while (left > 0 || (first && final && left == 0)) {
        first = false;
        const int n = int(std::min<int64_t>(left, 65535));
        left -= n;
        out.WriteBits((final && left == 0) ? 1 : 0, 3);
        out.AlignOutput();
        const quint8 header[4] = {quint8(n), quint8(n >> 8), quint8(~n), quint8(~n >> 8)};
        out.WriteBytes(header, 4);
        symbols.CopyStoredInput(piece.data(), n);
        out.WriteBytes(piece.data(), n);
    }
    symbols.ResetBlock();
}

void WriteStaticBlock(bool final, bool deflate64, TArcDfLZStream& symbols, TArcLogger*,
                      TArcDfOutBitStream& out) {
    out.WriteBits(final ? 3 : 2, 3);
    symbols.EncodeSymbols(out, StaticLiteralTree(), deflate64, StaticDistanceTree());
    WriteEndOfBlock(out, StaticLiteralTree());
}

void WriteDynamicBlock(bool final, bool deflate64, TArcDfLZStream& symbols, TArcLogger* logger,
                       TArcDfOutBitStream& out, bool choose) {
    quint8 lengths[286 + 32];
    BuildCodeLengths(15, symbols.LitLenCounts(), 285, logger, lengths, 0);
    int hlit = 286;
    while (hlit > 257 && lengths[hlit - 1] == 0)
        --hlit;
    BuildCodeLengths(15, symbols.DistanceCounts(), 31, logger, lengths, hlit);
    int hdist = 32;
    while (hdist > 1 && lengths[hlit + hdist - 1] == 0)
        --hdist;

    TArcDfCodeLenStream codeLengths;
    codeLengths.EncodeLengths(lengths, hlit + hdist);
    quint8 clen[19];
    BuildCodeLengths(7, codeLengths.Counts(), 18, logger, clen, 0);
    int hclen = 19;
    while (hclen > 4 && clen[kCodeLengthOrder[hclen - 1]] == 0)
        --hclen;

    if (choose) {
        const qint32* cl = codeLengths.Counts();
        const qint32* lit = symbols.LitLenCounts();
        const qint32* dist = symbols.DistanceCounts();
        int64_t dynamic = 14 + 3 * int64_t(hclen);
        for (int pos = 3; pos < hclen; ++pos)
            dynamic += int64_t(cl[kCodeLengthOrder[pos]]) * clen[kCodeLengthOrder[pos]];
        dynamic += int64_t(cl[16]) * (clen[16] + 2) + int64_t(cl[17]) * (clen[17] + 3) +
                   int64_t(cl[18]) * (clen[18] + 7);
        for (int s = 0; s < std::min(hlit, 285); ++s) {
            dynamic += int64_t(lit[s]) * lengths[s];
            if (s >= 257) dynamic += int64_t(lit[s]) * LengthExtraBits[s - 257];
        }
        if (hlit == 286) dynamic += int64_t(lit[285]) * (lengths[285] + (deflate64 ? 16 : 0));
        for (int d = 0; d < hdist; ++d)
            dynamic += int64_t(dist[d]) * (lengths[hlit + d] + DistanceExtraBits[d]);
        const int64_t fixed = symbols.StaticCost();
        const int64_t stored = (symbols.InputBytes() + 4) * 8;
        if (fixed < dynamic) {
            if (stored < fixed)
                WriteStoredBlock(final, deflate64, symbols, logger, out);
            else
                WriteStaticBlock(final, deflate64, symbols, logger, out);
            return;
        }
        if (stored < dynamic) {
            WriteStoredBlock(final, deflate64, symbols, logger, out);
            return;
        }
    }

    TArcDfDecodeHuffmanTree clCode(19, TArcDfDecodeHuffmanTree::EncodeOnly, 7);
    clCode.Build(clen, 0xFFFF, nullptr, 19, 0);
    TArcDfDecodeHuffmanTree litCode(286, TArcDfDecodeHuffmanTree::EncodeOnly, 15);
    litCode.Build(lengths, 257, LengthExtraBits, hlit, 0);
    TArcDfDecodeHuffmanTree distCode(deflate64 ? 32 : 30, TArcDfDecodeHuffmanTree::EncodeOnly, 15);
    distCode.Build(lengths, 0, DistanceExtraBits, hdist, hlit);

    out.WriteBits(final ? 5 : 4, 3);
    out.WriteBits(quint32((hlit - 257) + (hdist - 1) * 32 + (hclen - 4) * 1024), 14);
    for (int pos = 0; pos < hclen; ++pos)
        out.WriteBits(clen[kCodeLengthOrder[pos]], 3);
    codeLengths.WriteLengths(out, clCode);
    symbols.EncodeSymbols(out, litCode, deflate64, distCode);
    WriteEndOfBlock(out, litCode);
}

}  // namespace tandex::archive
