#include "engine/diff_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace tandex::engine;

namespace {

std::vector<DiffRecord> records() { return diffEngine().records(); }

DiffStatistics stats() {
    DiffStatistics s;
    diffEngine().GetDiffStatistics(s);
    return s;
}

// Rebuilds both sequences from the records and checks the index rules.
void expectRebuilds(const std::vector<qint32>& a, const std::vector<qint32>& b) {
    std::vector<qint32> ra, rb;
    qint32 last1 = -1, last2 = -1;
    for (const auto& r : records()) {
        switch (r.Kind) {
        case dkMatch:
            ASSERT_EQ(r.Index1, last1 + 1);
            ASSERT_EQ(r.Index2, last2 + 1);
            ASSERT_EQ(r.Element1, r.Element2);
            break;
        case dkAdd:
            ASSERT_EQ(r.Element1, 0u);
            break;
        case dkDelete:
            ASSERT_EQ(r.Element2, 0u);
            break;
        case dkModify:
            break;
        }
        if (r.Kind != dkAdd) {
            ASSERT_EQ(r.Index1, last1 + 1);
            ra.push_back(qint32(r.Element1));
            last1 = r.Index1;
        }
        if (r.Kind != dkDelete) {
            ASSERT_EQ(r.Index2, last2 + 1);
            rb.push_back(qint32(r.Element2));
            last2 = r.Index2;
        }
    }
    EXPECT_EQ(ra, a);
    EXPECT_EQ(rb, b);
}

int lcsLength(const std::vector<qint32>& a, const std::vector<qint32>& b) {
    std::vector<int> row(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diag = 0;
        for (size_t j = 1; j <= b.size(); ++j) {
            const int up = row[j];
            row[j] = a[i - 1] == b[j - 1] ? diag + 1 : std::max(row[j], row[j - 1]);
            diag = up;
        }
    }
    return row[b.size()];
}

std::string kinds() {
    std::string s;
    for (const auto& r : records()) s += "MADX"[r.Kind];
    return s;
}

bool diffKeys(const std::vector<qint32>& a, const std::vector<qint32>& b) {
    return diffEngine().DiffInts(a.data(), b.data(), qint32(a.size()), qint32(b.size()));
}

struct EngineReset : ::testing::Test {
    void TearDown() override {
        auto& e = diffEngine();
        e.DiffProgressProc = nullptr;
        e.DiffMaxProc = nullptr;
        e.SimilarLine = nullptr;
        e.DiffTrimTail = true;
        e.DiffClear();
    }
};

}  // namespace

using DiffEngineTest = EngineReset;

TEST_F(DiffEngineTest, EdgeCasesGiveExactRecordsAndCounters) {
    struct Case {
        std::vector<qint32> a, b;
        std::string kinds;
        qint32 matches, adds, deletes, modifies;
    };
    const Case cases[] = {
        {{}, {}, "", 0, 0, 0, 0},
        {{}, {7, 8, 9}, "AAA", 0, 3, 0, 0},
        {{1, 2, 3}, {1, 2, 3}, "MMM", 3, 0, 0, 0},
        {{1, 2, 3}, {1, 5, 3}, "MXM", 2, 0, 0, 1},
        {{1, 2, 3, 4, 9}, {1, 5, 6, 9}, "MXXDM", 2, 0, 1, 2},
        {{1, 2, 3}, {}, "DDD", 0, 0, 3, 0},
        {{1, 9}, {1, 5, 6, 9}, "MAAM", 2, 2, 0, 0},
    };
    for (const auto& c : cases) {
        int maxCalls = 0;
        diffEngine().DiffMaxProc = [&](qint32) { ++maxCalls; };
        ASSERT_TRUE(diffKeys(c.a, c.b));
        EXPECT_EQ(kinds(), c.kinds);
        const auto s = stats();
        EXPECT_EQ(s.Matches, c.matches);
        EXPECT_EQ(s.Adds, c.adds);
        EXPECT_EQ(s.Deletes, c.deletes);
        EXPECT_EQ(s.Modifies, c.modifies);
        EXPECT_EQ(s.Blocks, 0);
        expectRebuilds(c.a, c.b);
        if (c.a == c.b) {
            EXPECT_EQ(maxCalls, 0);
        }
    }
    diffEngine().DiffMaxProc = nullptr;
    // Adds into an empty first sequence sit before any of its elements.
    ASSERT_TRUE(diffKeys({}, {7, 8, 9}));
    for (const auto& r : records()) EXPECT_EQ(r.Index1, -1);
}

TEST_F(DiffEngineTest, ByteAndCharFlavoursPairTheChangedMiddle) {
    const quint8 b1[] = {10, 20, 30}, b2[] = {10, 21, 30};
    ASSERT_TRUE(diffEngine().DiffBytes(b1, b2, 3, 3));
    DiffRecord r;
    ASSERT_TRUE(diffEngine().GetDiffRecord(1, r));
    EXPECT_EQ(r.Kind, dkModify);
    EXPECT_EQ(r.Index1, 1);
    EXPECT_EQ(r.Index2, 1);
    EXPECT_EQ(r.Element1, 20u);
    EXPECT_EQ(r.Element2, 21u);
    EXPECT_EQ(kinds(), "MXM");
    EXPECT_FALSE(diffEngine().GetDiffRecord(3, r));

    const std::u16string w1 = u"kitten", w2 = u"sitting";
    ASSERT_TRUE(diffEngine().DiffChars(w1.data(), w2.data(), 6, 7));
    EXPECT_EQ(kinds(), "XMMMXMA");
}

TEST_F(DiffEngineTest, RandomScriptsRebuildBothInputsAndAreMinimal) {
    std::mt19937 rng(20261210);
    for (int round = 0; round < 3000; ++round) {
        const int alphabet = 2 + int(rng() % 6);
        std::vector<qint32> a(rng() % 60), b;
        for (auto& v : a) v = qint32(rng() % alphabet);
        // Mostly edits of a, sometimes an unrelated sequence.
        if (rng() % 4 == 0) {
            b.resize(rng() % 60);
            for (auto& v : b) v = qint32(rng() % alphabet);
        } else {
            for (qint32 v : a) {
                const int op = int(rng() % 10);
                if (op == 0) continue;
                if (op == 1) b.push_back(qint32(rng() % alphabet));
                b.push_back(op == 2 ? qint32(rng() % alphabet) : v);
            }
        }
        diffEngine().DiffTrimTail = round % 3 != 0;
        ASSERT_TRUE(diffKeys(a, b));
        expectRebuilds(a, b);
        const auto s = stats();
        EXPECT_EQ(s.Matches, lcsLength(a, b)) << "round " << round;
        EXPECT_EQ(s.Matches + s.Deletes + s.Modifies, qint32(a.size()));
        EXPECT_EQ(s.Matches + s.Adds + s.Modifies, qint32(b.size()));
        EXPECT_EQ(qint32(records().size()), s.Matches + s.Adds + s.Deletes + s.Modifies);
    }
}

// Lines whose key is on one side only are left out of the key search; the
// character flavour still searches every element and serves as reference.
TEST_F(DiffEngineTest, KeySearchWithOneSidedLinesStaysAsShortAsTheFullSearch) {
    std::mt19937 rng(58);
    const auto keys = [&](int count, int vocabulary, int base) {
        std::vector<qint32> v(static_cast<size_t>(count));
        for (auto& k : v) k = base + qint32(rng() % unsigned(vocabulary));
        return v;
    };
    // Runs of keys nobody else has, spliced into a sequence.
    const auto withUniqueRuns = [&](std::vector<qint32> v, int base) {
        for (int run = int(rng() % 4); run > 0; --run) {
            const auto at = v.begin() + qint32(rng() % (v.size() + 1));
            const std::vector<qint32> fresh = keys(1 + int(rng() % 30), 1000, base);
            v.insert(at, fresh.begin(), fresh.end());
        }
        return v;
    };
    struct Pair {
        std::vector<qint32> a, b;
    };
    std::vector<Pair> pairs = {
        {{}, {}},
        {{}, keys(40, 3, 0)},
        {keys(40, 3, 0), {}},
        {std::vector<qint32>(50, 1), std::vector<qint32>(70, 1)},
        {std::vector<qint32>(50, 1), std::vector<qint32>(70, 2)},
        {keys(300, 1000, 0), keys(300, 1000, 5000)},  // all lines unique
    };
    for (int round = 0; round < 400; ++round) {
        const int vocabulary = 2 + int(rng() % 12);
        pairs.push_back({withUniqueRuns(keys(int(rng() % 120), vocabulary, 0), 10000),
                         withUniqueRuns(keys(int(rng() % 120), vocabulary, 0), 20000)});
    }
    for (size_t p = 0; p < pairs.size(); ++p) {
        const auto& [a, b] = pairs[p];
        diffEngine().DiffTrimTail = p % 3 != 0;
        std::u16string ca, cb;
        for (qint32 k : a) ca.push_back(char16_t(k));
        for (qint32 k : b) cb.push_back(char16_t(k));
        ASSERT_TRUE(diffEngine().DiffChars(ca.data(), cb.data(), qint32(ca.size()), qint32(cb.size())));
        const auto reference = stats();
        ASSERT_TRUE(diffKeys(a, b));
        expectRebuilds(a, b);
        const auto s = stats();
        EXPECT_EQ(s.Matches, reference.Matches) << "pair " << p;
        EXPECT_EQ(s.Adds + s.Modifies, reference.Adds + reference.Modifies) << "pair " << p;
        EXPECT_EQ(s.Deletes + s.Modifies, reference.Deletes + reference.Modifies) << "pair " << p;
    }
}

// No line in common: the search has nothing left to walk.
TEST_F(DiffEngineTest, PairWithNoCommonLineIsAllModifies) {
    const std::vector<qint32> a(200000, 1), b(150000, 2);
    ASSERT_TRUE(diffKeys(a, b));
    const auto s = stats();
    EXPECT_EQ(s.Matches, 0);
    EXPECT_EQ(s.Modifies, 150000);
    EXPECT_EQ(s.Deletes, 50000);
    EXPECT_EQ(s.Adds, 0);
}

TEST_F(DiffEngineTest, UntrimmedCommonTailIsMatchedByTheSearch) {
    diffEngine().DiffTrimTail = false;
    ASSERT_TRUE(diffKeys({1, 4, 4}, {2, 4, 4}));
    EXPECT_EQ(kinds(), "XMM");
    ASSERT_TRUE(diffKeys({1, 9}, {2, 9}));
    EXPECT_EQ(kinds(), "XM");
}

TEST_F(DiffEngineTest, CancelFromCallbackEmptiesTheRun) {
    std::vector<qint32> a(5000), b(5000);
    for (int i = 0; i < 5000; ++i) {
        a[size_t(i)] = i;
        b[size_t(i)] = i + 100000;
    }
    auto& e = diffEngine();
    e.DiffProgressProc = [&](qint32) { e.DiffCancel(); };
    EXPECT_FALSE(diffKeys(a, b));
    EXPECT_TRUE(e.DiffCancelled());
    EXPECT_EQ(e.DiffRecordCount(), 0);
    EXPECT_EQ(stats().Modifies, 0);
    EXPECT_FALSE(e.busy());
    // The next run starts afresh.
    e.DiffProgressProc = nullptr;
    EXPECT_TRUE(diffKeys({1}, {2}));
    EXPECT_FALSE(e.DiffCancelled());
}

TEST_F(DiffEngineTest, CancelThroughSimilarityTestStopsTheKeyRun) {
    std::vector<qint32> a(300), b(300);
    for (int i = 0; i < 300; ++i) {
        a[size_t(i)] = i;
        b[size_t(i)] = -i - 1;
    }
    auto& e = diffEngine();
    int calls = 0;
    e.SimilarLine = [&](qint32, qint32) {
        if (++calls == 50) e.DiffCancel();
        return false;
    };
    EXPECT_FALSE(diffKeys(a, b));
    EXPECT_EQ(e.DiffRecordCount(), 0);
}

TEST_F(DiffEngineTest, ReentrantRunIsRefusedAndFirstCompletes) {
    auto& e = diffEngine();
    std::vector<qint32> a{1, 2, 3, 4}, b{1, 7, 3, 8};
    int refused = 0;
    e.DiffProgressProc = [&](qint32) {
        const qint32 x[] = {5}, y[] = {6};
        if (!e.DiffInts(x, y, 1, 1)) ++refused;
        // Clearing from a call-back would pull the records from under the run.
        e.DiffClear();
    };
    ASSERT_TRUE(diffKeys(a, b));
    EXPECT_GT(refused, 0);
    EXPECT_EQ(kinds(), "MXMX");
    EXPECT_EQ(stats().Modifies, 2);
    expectRebuilds(a, b);
}

TEST_F(DiffEngineTest, SimilarLinesCountAsMatchesOnlyInsideTheSearch) {
    auto& e = diffEngine();
    // Lines 1 and 2 of each side are similar but not equal.
    e.SimilarLine = [](qint32 i, qint32 j) { return i == j && (i == 1 || i == 2); };
    ASSERT_TRUE(diffKeys({1, 2, 3, 4}, {1, 20, 30, 4}));
    EXPECT_EQ(kinds(), "MMMM");
    EXPECT_EQ(stats().Matches, 4);
    DiffRecord r;
    ASSERT_TRUE(e.GetDiffRecord(1, r));
    EXPECT_EQ(r.Element1, 2u);
    EXPECT_EQ(r.Element2, 20u);
}

TEST_F(DiffEngineTest, HugeDiagonalRangeIsRefusedWithTheFlavourMessage) {
    // Only the limit check runs: a DiffMaxProc that throws shows the order.
    auto& e = diffEngine();
    const qint32 big = DiffEngine::MaxDiagonal + 1;
    bool seen = false;
    e.DiffMaxProc = [&](qint32 d) { seen = d == big; };
    const qint32 k = 0;
    try {
        // Sequence 2 is never read: the first is empty, so nothing is trimmed.
        e.DiffInts(&k, &k, 0, big);
        FAIL() << "no error";
    } catch (const EngineError& err) {
        EXPECT_STREQ(err.what(), "Error in RecursiveDiffInt()");
    }
    EXPECT_TRUE(seen);
    EXPECT_FALSE(e.busy());
}
