#include "archive/zip_extract.h"
#include "archive/zip_legacy.h"

#include "zip_test_support.h"

#include <algorithm>
#include <map>
#include <unordered_map>

using namespace tandex::archive;
using namespace zip_test;

namespace {

// ------------------------------------------------- test-only encoders
// No Debian tool writes these methods, so the tests carry small encoders
// of their own, written from the application note; Info-ZIP's unzip is
// the independent check of shrink and implode.

class BitWriter {
public:
    void put(uint32_t value, int count) {
        acc_ |= static_cast<uint64_t>(value & ((1u << count) - 1)) << bits_;
        bits_ += count;
        while (bits_ >= 8) {
            out_.append(static_cast<char>(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    QByteArray finish() {
        if (bits_ > 0) out_.append(static_cast<char>(acc_ & 0xFF));
        acc_ = 0;
        bits_ = 0;
        return out_;
    }

private:
    QByteArray out_;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

// Greedy LZW that keeps the decoder's table: entries are made one code
// late, the code size grows by control code (256, 1), and a full table is
// pruned to its parents by control code (256, 2).
QByteArray shrink(const QByteArray& data, int* clears = nullptr, int* maxCodeSize = nullptr) {
    constexpr int kMax = 8192;
    constexpr int kFree = -1;
    const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
    const int n = static_cast<int>(data.size());
    std::vector<int> prefix(kMax, kFree), length(kMax, 1), suffix(kMax, 0);
    // Entries whose string is well defined: an entry made on a prefix that
    // a clear just freed is never used.
    std::vector<bool> usable(kMax, false);
    for (int c = 0; c < 256; ++c) {
        prefix[static_cast<size_t>(c)] = 0;
        suffix[static_cast<size_t>(c)] = c;
        usable[static_cast<size_t>(c)] = true;
    }
    std::unordered_map<int, int> child;  // prefix << 8 | byte -> code
    int nextFree = 257, highest = 256, codeSize = 9;
    BitWriter w;
    auto emitCode = [&](int code) {
        while (code >= (1 << codeSize)) {
            w.put(256, codeSize);
            w.put(1, codeSize);
            ++codeSize;
        }
        w.put(static_cast<uint32_t>(code), codeSize);
    };
    auto isFree = [&](int c) { return c > 256 && prefix[static_cast<size_t>(c)] == kFree; };
    int pos = 0, previous = -1;
    while (pos < n) {
        int code = d[pos], len = 1;
        while (pos + len < n) {
            auto it = child.find(code << 8 | d[pos + len]);
            if (it == child.end()) break;
            code = it->second;
            ++len;
        }
        // The code about to be made: the previous string plus its own
        // first byte, which the decoder reads before it has made it.
        if (previous >= 0 && nextFree < kMax && usable[static_cast<size_t>(previous)]) {
            const int pl = length[static_cast<size_t>(previous)];
            if (pl + 1 > len && pos + pl < n && std::equal(d + pos, d + pos + pl, d + pos - pl) &&
                d[pos + pl] == d[pos - pl]) {
                code = nextFree;
                len = pl + 1;
            }
        }
        emitCode(code);
        if (previous >= 0 && nextFree < kMax) {
            const auto at = static_cast<size_t>(nextFree);
            prefix[at] = previous;
            suffix[at] = d[pos];
            length[at] = length[static_cast<size_t>(previous)] + 1;
            usable[at] = usable[static_cast<size_t>(previous)] && previous != nextFree;
            if (usable[at]) child[previous << 8 | d[pos]] = nextFree;
            highest = std::max(highest, nextFree);
            do {
                ++nextFree;
            } while (nextFree < kMax && !isFree(nextFree));
        }
        previous = code;
        pos += len;
        if (nextFree >= kMax && pos < n) {
            w.put(256, codeSize);
            w.put(2, codeSize);
            if (clears) ++*clears;
            std::vector<bool> parent(kMax, false);
            for (int c = 257; c <= highest; ++c)
                if (!isFree(c) && prefix[static_cast<size_t>(c)] > 256)
                    parent[static_cast<size_t>(prefix[static_cast<size_t>(c)])] = true;
            for (int c = 257; c <= highest; ++c) {
                if (parent[static_cast<size_t>(c)]) continue;
                prefix[static_cast<size_t>(c)] = kFree;
                usable[static_cast<size_t>(c)] = false;
            }
            child.clear();
            for (int c = 257; c <= highest; ++c)
                if (!isFree(c) && usable[static_cast<size_t>(c)])
                    child[prefix[static_cast<size_t>(c)] << 8 | suffix[static_cast<size_t>(c)]] = c;
            nextFree = 257;
            while (nextFree < kMax && !isFree(nextFree)) ++nextFree;
        }
    }
    if (maxCodeSize) *maxCodeSize = codeSize;
    return w.finish();
}

// Shannon-Fano codes as the application note assigns them: sorted by bit
// length then value, handed out from the longest, bits reversed.
struct SfTree {
    std::vector<int> lengths;
    std::vector<uint32_t> codes;  // reversed, low `length` bits used

    explicit SfTree(std::vector<int> bitLengths) : lengths(std::move(bitLengths)) {
        std::vector<std::pair<int, int>> order;
        for (int v = 0; v < static_cast<int>(lengths.size()); ++v)
            order.emplace_back(lengths[static_cast<size_t>(v)], v);
        std::sort(order.begin(), order.end());
        codes.assign(lengths.size(), 0);
        uint32_t code = 0, increment = 0;
        int last = 0;
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            code = (code + increment) & 0xFFFF;
            if (it->first != last) {
                last = it->first;
                increment = 1u << (16 - last);
            }
            uint32_t reversed = 0;
            for (int b = 0; b < 16; ++b)
                if (code & (1u << b)) reversed |= 1u << (15 - b);
            codes[static_cast<size_t>(it->second)] = reversed;
        }
    }
    void describe(BitWriter& w) const {
        std::vector<uint8_t> bytes;
        for (size_t v = 0; v < lengths.size();) {
            size_t run = 1;
            while (v + run < lengths.size() && run < 16 && lengths[v + run] == lengths[v]) ++run;
            bytes.push_back(static_cast<uint8_t>((run - 1) << 4 | (lengths[v] - 1)));
            v += run;
        }
        w.put(static_cast<uint32_t>(bytes.size() - 1), 8);
        for (uint8_t b : bytes) w.put(b, 8);
    }
    void put(BitWriter& w, int value) const {
        w.put(codes[static_cast<size_t>(value)], lengths[static_cast<size_t>(value)]);
    }
};

// Complete codes of mixed lengths, so the sorting and the length changes
// are exercised.
std::vector<int> mixedLengths(int count) {
    std::vector<int> l(static_cast<size_t>(count));
    for (int v = 0; v < count; ++v) {
        if (count == 256)
            l[static_cast<size_t>(v)] = v < 64 ? 7 : v < 128 ? 8 : 9;
        else
            l[static_cast<size_t>(v)] = v < 16 ? 5 : v < 32 ? 6 : 7;
    }
    // Shuffle the lengths among the values, keeping the sum complete.
    std::rotate(l.begin(), l.begin() + count / 3, l.end());
    return l;
}

// Longest earlier match of at least `minimum` bytes within `window`,
// through a hash of three bytes.
struct Matcher {
    const uint8_t* d;
    int n;
    int window;
    std::unordered_map<uint32_t, std::vector<int>> heads;
    void insert(int pos) {
        if (pos + 2 < n) heads[key(pos)].push_back(pos);
    }
    uint32_t key(int pos) const { return d[pos] | d[pos + 1] << 8 | d[pos + 2] << 16; }
    std::pair<int, int> find(int pos, int minimum, int maximum) const {
        int bestLen = 0, bestDist = 0;
        if (pos + 2 >= n) return {0, 0};
        auto it = heads.find(key(pos));
        if (it == heads.end()) return {0, 0};
        int tries = 0;
        for (auto c = it->second.rbegin(); c != it->second.rend() && tries < 48; ++c, ++tries) {
            const int dist = pos - *c;
            if (dist > window) break;
            int len = 0;
            while (pos + len < n && len < maximum && d[*c + len] == d[pos + len]) ++len;
            if (len > bestLen) {
                bestLen = len;
                bestDist = dist;
            }
        }
        return bestLen >= minimum ? std::make_pair(bestLen, bestDist) : std::make_pair(0, 0);
    }
};

QByteArray implode(const QByteArray& data, bool dict8K, bool threeTrees) {
    const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
    const int n = static_cast<int>(data.size());
    const int lowBits = dict8K ? 7 : 6;
    const int minimum = threeTrees ? 3 : 2;
    const SfTree literals(mixedLengths(256)), lengths(mixedLengths(64)), distances(mixedLengths(64));
    BitWriter w;
    if (threeTrees) literals.describe(w);
    lengths.describe(w);
    distances.describe(w);
    Matcher m{d, n, dict8K ? 8192 : 4096, {}};
    for (int pos = 0; pos < n;) {
        auto [len, dist] = m.find(pos, std::max(minimum, 3), minimum + 63 + 255);
        if (len == 0) {
            w.put(1, 1);
            if (threeTrees)
                literals.put(w, d[pos]);
            else
                w.put(d[pos], 8);
            m.insert(pos++);
            continue;
        }
        w.put(0, 1);
        w.put(static_cast<uint32_t>(dist - 1), lowBits);
        distances.put(w, (dist - 1) >> lowBits);
        const int code = len - minimum;
        if (code >= 63) {
            lengths.put(w, 63);
            w.put(static_cast<uint32_t>(code - 63), 8);
        } else {
            lengths.put(w, code);
        }
        for (int i = 0; i < len; ++i) m.insert(pos + i);
        pos += len;
    }
    return w.finish();
}

int followerBitCount(int count) {
    int bits = 1;
    while ((1 << bits) < count) ++bits;
    return bits;
}

// The escape-coded LZ77 stage, then each byte by the follower set of the
// byte before it.
QByteArray reduce(const QByteArray& data, int factor) {
    const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
    const int n = static_cast<int>(data.size());
    const int mask = 0xFF >> factor;
    std::vector<uint8_t> stage;
    Matcher m{d, n, 256 << factor, {}};
    for (int pos = 0; pos < n;) {
        auto [len, dist] = m.find(pos, 4, mask + 3 + 255);
        if (len == 0) {
            stage.push_back(d[pos]);
            if (d[pos] == 144) stage.push_back(0);
            m.insert(pos++);
            continue;
        }
        const int l = len - 3;
        const int high = (dist - 1) >> 8;
        stage.push_back(144);
        stage.push_back(static_cast<uint8_t>(high << (8 - factor) | std::min(l, mask)));
        if (l >= mask) stage.push_back(static_cast<uint8_t>(l - mask));
        stage.push_back(static_cast<uint8_t>((dist - 1) & 0xFF));
        for (int i = 0; i < len; ++i) m.insert(pos + i);
        pos += len;
    }
    // Follower sets of varied sizes: up to the 1 + (x % 32) most frequent.
    std::array<std::array<int, 256>, 256> counts{};
    uint8_t last = 0;
    for (uint8_t c : stage) {
        ++counts[last][c];
        last = c;
    }
    std::array<std::vector<uint8_t>, 256> sets;
    for (int x = 0; x < 256; ++x) {
        std::vector<std::pair<int, int>> seen;
        for (int c = 0; c < 256; ++c)
            if (counts[static_cast<size_t>(x)][static_cast<size_t>(c)] > 0)
                seen.emplace_back(-counts[static_cast<size_t>(x)][static_cast<size_t>(c)], c);
        std::sort(seen.begin(), seen.end());
        const size_t keep = std::min<size_t>(seen.size(), 1 + x % 32);
        for (size_t i = 0; i < keep; ++i) sets[static_cast<size_t>(x)].push_back(static_cast<uint8_t>(seen[i].second));
    }
    BitWriter w;
    for (int x = 255; x >= 0; --x) {
        w.put(static_cast<uint32_t>(sets[static_cast<size_t>(x)].size()), 6);
        for (uint8_t f : sets[static_cast<size_t>(x)]) w.put(f, 8);
    }
    last = 0;
    for (uint8_t c : stage) {
        const auto& set = sets[last];
        if (set.empty()) {
            w.put(c, 8);
        } else {
            const auto at = std::find(set.begin(), set.end(), c);
            if (at == set.end()) {
                w.put(1, 1);
                w.put(c, 8);
            } else {
                w.put(0, 1);
                w.put(static_cast<uint32_t>(at - set.begin()), followerBitCount(static_cast<int>(set.size())));
            }
        }
        last = c;
    }
    return w.finish();
}

QByteArray decode(const QByteArray& packed, uint8_t method, uint64_t size, int dictionary = 0,
                  int trees = 0) {
    MemoryStream in(packed);
    MemoryStream out;
    TArcUnzipHelper helper(in, out);
    helper.Method = method;
    helper.UncompressedSize = size;
    helper.ImplodeDictionarySize = dictionary;
    helper.ImplodeTreeCount = trees;
    helper.UnzipHelperRun();
    return out.Memory();
}

// Text with enough variety to fill the shrink table several times.
QByteArray sampleText(int size) {
    static const char* words[] = {"archive ", "member ", "header ", "window ", "the ", "of ",
                                  "deflate ", "shrink ", "code ", "tree ", "\n", "zip "};
    QByteArray out;
    uint32_t x = 12345;
    while (out.size() < size) {
        x = x * 1103515245 + 12345;
        out += words[(x >> 16) % 12];
        if ((x >> 8) % 7 == 0) out += QByteArray::number((x >> 4) % 1000);
    }
    out.truncate(size);
    return out;
}

}  // namespace

namespace {

// A one-member zip around already encoded data, written by the library.
void writeZip(const QString& path, uint8_t method, uint16_t flags, const QByteArray& packed,
              const QByteArray& plain) {
    TArcZipArchive archive(path, fmCreate);
    archive.InsertFromStreamHelper = [&](TArcZipItem& item, Stream& out, Stream&) {
        out.WriteBuffer(packed.constData(), packed.size());
        item.SetCompressionMethod(method);
        item.SetGeneralPurposeBitFlag(flags);
        item.SetCRC32(Crc32OfString(plain));
        item.SetUncompressedSize(static_cast<uint64_t>(plain.size()));
        item.SetCompressedSize(static_cast<uint64_t>(packed.size()));
        item.SetLastModFileDate(kTestDate);
        item.SetLastModFileTime(kTestTime);
    };
    archive.Load();
    archive.AddFromStream(QStringLiteral("member.bin"), memoryOf({}));
}

// Info-ZIP's unzip and our own extraction both give the plain bytes back.
void expectUnzipAccepts(const QString& path, const QByteArray& plain) {
    TArcZipArchive archive(path, fmOpenRead);
    InstallZipHooks(archive);
    archive.Load();
    MemoryStream ours;
    archive.ExtractItemToStreamAt(0, ours);
    EXPECT_EQ(ours.Memory(), plain);
    EXPECT_NO_THROW(archive.TestItemAt(0));
    const QFileInfo info(path);
    const ToolRun t = shell(QStringLiteral("unzip -t '%1'").arg(info.fileName()), info.path());
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
    EXPECT_EQ(shell(QStringLiteral("unzip -p '%1'").arg(info.fileName()), info.path()).out, plain);
}

}  // namespace

TEST(ZipLegacy, ShrinkWithPartialClearsAndEveryCodeSizeDecodes) {
    const QByteArray plain = sampleText(150000) + noise(30000, 5) + sampleText(20000);
    int clears = 0, codeSize = 0;
    const QByteArray packed = shrink(plain, &clears, &codeSize);
    ASSERT_GE(clears, 2);
    ASSERT_EQ(codeSize, 13);
    EXPECT_EQ(decode(packed, 1, static_cast<uint64_t>(plain.size())), plain);
    // Stops at the stated size even with input left.
    EXPECT_EQ(decode(packed, 1, 1000), plain.left(1000));

    QTemporaryDir dir;
    writeZip(dir.filePath("shrunk.zip"), 1, 0, packed, plain);
    expectUnzipAccepts(dir.filePath("shrunk.zip"), plain);
}

TEST(ZipLegacy, ImplodeOfBothShapesDecodesAcrossTheWindow) {
    // Past 40 KB of output, with runs long enough for length code 63.
    const QByteArray plain = sampleText(30000) + QByteArray(700, 'a') + sampleText(25000) +
                             noise(3000, 8) + QByteArray(330, 'b');
    struct Case {
        bool dict8K;
        bool threeTrees;
    };
    for (const Case c : {Case{false, false}, Case{true, true}, Case{true, false}, Case{false, true}}) {
        SCOPED_TRACE(testing::Message() << c.dict8K << c.threeTrees);
        const QByteArray packed = implode(plain, c.dict8K, c.threeTrees);
        EXPECT_EQ(decode(packed, 6, static_cast<uint64_t>(plain.size()), c.dict8K ? 8192 : 4096,
                         c.threeTrees ? 3 : 2),
                  plain);
        QTemporaryDir dir;
        const uint16_t flags = (c.dict8K ? kZipFlagImplode8K : 0) | (c.threeTrees ? kZipFlagImplode3Trees : 0);
        writeZip(dir.filePath("imploded.zip"), 6, flags, packed, plain);
        expectUnzipAccepts(dir.filePath("imploded.zip"), plain);
    }
}

TEST(ZipLegacy, ReduceOfEveryFactorDecodes) {
    QByteArray plain = sampleText(45000);
    for (int i = 0; i < 300; ++i) plain.append(static_cast<char>(144)).append(sampleText(3 + i % 7));
    for (int factor = 1; factor <= 4; ++factor) {
        SCOPED_TRACE(factor);
        const QByteArray packed = reduce(plain, factor);
        EXPECT_EQ(decode(packed, static_cast<uint8_t>(1 + factor), static_cast<uint64_t>(plain.size())),
                  plain);
    }
}

TEST(ZipLegacy, ReduceMatchesBytesWorkedOutFromTheNote) {
    // Empty follower sets (256 six-bit zeros) leave every byte raw.
    const QByteArray sets(192, '\0');
    struct Case {
        const char* label;
        uint8_t method;
        QByteArray stage;
        QByteArray expected;
    };
    const Case cases[] = {
        // "ABC", then 144 V=2 C=2: length 2+3 from distance 3.
        {"copy", 2, QByteArray("ABC\x90\x02\x02", 6), "ABCABCAB"},
        // 144 0 is a literal 144.
        {"escaped 144", 2, QByteArray("x\x90\x00y", 4), QByteArray("x\x90y", 3)},
        // Distance 256 from the third byte reaches before the start: zeros.
        {"before the start", 2, QByteArray("AB\x90\x01\xff", 5), QByteArray("AB\0\0\0\0", 6)},
        // Factor 1, V=0x7F: length 127 plus the next byte (1), distance
        // (0x7F >> 7) * 256 + 0 + 1 = 1: a run of 131.
        {"long length", 2, QByteArray("Z\x90\x7f\x01\x00", 5), QByteArray(132, 'Z')},
        // Factor 2, V=0x41: length 1, distance 1 * 256 + 2 + 1 = 259.
        {"factor 2 distance", 3, QByteArray(259, 'q') + QByteArray("\x90\x41\x02", 3),
         QByteArray(263, 'q')},
        // Factor 4, V=0x1E: length 14 (below the mask 0x0F), distance
        // 1 * 256 + 0 + 1 = 257: 17 more.
        {"factor 4", 5, QByteArray(257, 'r') + QByteArray("\x90\x1e\x00", 3), QByteArray(274, 'r')},
        // Factor 4, V=0x0F: the mask, so the next byte (2) adds to the
        // length: 17 + 3 from distance 0 * 256 + 4 + 1 = 5.
        {"factor 4 long", 5, QByteArray("abcde\x90\x0f\x02\x04", 9),
         QByteArray("abcde") + QByteArray("abcde").repeated(4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(decode(sets + c.stage, c.method, static_cast<uint64_t>(c.expected.size())), c.expected);
    }
}

TEST(ZipLegacy, ThirdPartyImplodedMemberMatchesItsCrc) {
    TArcZipArchive archive(QStringLiteral(TANDEX_TEST_DATA "/peer/test_read_format_zip_implode.zip"),
                           fmOpenRead);
    archive.Load();
    TArcZipItem& item = *archive.ZipItem(0);
    ASSERT_EQ(item.CompressionMethod(), 6);
    EXPECT_EQ(item.ImplodeDictionarySize(), 4096);
    EXPECT_EQ(item.ImplodeTreeCount(), 2);
    Stream& s = *archive.GetStream();
    s.Seek(static_cast<int64_t>(item.RelativeOffset()), soBeginning);
    TArcZipLocalFileHeader local;
    local.LoadFromStream(s);
    QByteArray packed(static_cast<qsizetype>(item.GetCompressedSize()), Qt::Uninitialized);
    s.ReadBuffer(packed.data(), packed.size());
    const QByteArray plain = decode(packed, 6, item.GetUncompressedSize(), 4096, 2);
    EXPECT_EQ(plain.size(), 2048);
    EXPECT_EQ(Crc32OfString(plain), 0x8314DDD9u);
}

TEST(ZipLegacy, DamagedInputIsRefused) {
    BitWriter tooWide;  // code size pushed past 13 bits
    tooWide.put('a', 9);
    for (int size = 9; size <= 13; ++size) {
        tooWide.put(256, size);
        tooWide.put(1, size);
    }
    EXPECT_THROW(decode(tooWide.finish(), 1, 100), EArcZipInvalid);

    // After a clear frees both the previous code and the one that follows
    // it, the string of that code would be its own prefix.
    BitWriter loop;
    for (int code : {97, 98, 257}) loop.put(static_cast<uint32_t>(code), 9);
    loop.put(256, 9);
    loop.put(2, 9);
    loop.put(257, 9);
    EXPECT_THROW(decode(loop.finish(), 1, 100), EArcZipInvalid);

    BitWriter followers;  // a set of 33
    followers.put(33, 6);
    EXPECT_THROW(decode(followers.finish() + QByteArray(64, '\0'), 2, 10), EArcZipInvalid);

    BitWriter tree;  // 17 runs of 16 values for a tree of 256
    tree.put(16, 8);
    for (int i = 0; i < 17; ++i) tree.put(0xF7, 8);
    EXPECT_THROW(decode(tree.finish(), 6, 10, 4096, 3), EArcZipInvalid);

    EXPECT_THROW(decode("x", 7, 1), EArcZipInvalidMethod);
    // Truncated input ends quietly with what was decoded.
    const QByteArray plain = sampleText(5000);
    const QByteArray packed = implode(plain, true, true);
    const QByteArray cut = decode(packed.left(packed.size() / 2), 6, 5000, 8192, 3);
    EXPECT_LT(cut.size(), 5000);
    EXPECT_EQ(cut, plain.left(cut.size()));
}

TEST(ZipLegacy, SlidingWindowKeepsTheLastChunksReadable) {
    const QByteArray data = noise(100000, 4);
    MemoryStream target;
    {
        TArcSlidingWindowStream window(target);
        int at = 0, step = 1;
        while (at < data.size()) {
            const int n = std::min<int>(data.size() - at, step);
            EXPECT_EQ(window.Write(data.constData() + at, n), n);
            at += n;
            step = step * 3 % 40000 + 1;
        }
        EXPECT_EQ(window.Write(data.constData(), 40000), 32768);
        window.Seek(-32768, soEnd);
        char back[100];
        EXPECT_EQ(window.Read(back, 100), 100);
        EXPECT_EQ(QByteArray(back, 100), (data + data.left(32768)).mid(100000, 100));
        EXPECT_THROW(window.Write("x", 1), Exception);
        EXPECT_THROW(window.Seek(0, soBeginning), Exception);
        EXPECT_THROW(window.Seek(0, 3), Exception);
        window.Seek(0, soEnd);
        window.Flush();
    }
    EXPECT_EQ(target.Memory(), data + data.left(32768));
}
