// PPMd variant I (revision 1) decoding for zip method 98.
//
// The model predicts each byte from the contexts of the preceding bytes (up
// to the order in the header) and a carry-less range decoder turns the
// predictions and the coded bits back into bytes. Encoder and decoder must
// build the very same model, down to when memory runs out: the heap's
// layout (12-byte units, 6-byte states, 32-bit offsets, free lists per size
// class, the text area below the units) therefore follows the published
// model exactly, since it decides when the model restarts or is cut back.
//
// Everything lives in one heap allocated per entry; records refer to each
// other by offsets into it, 0 meaning none. The heap is never zeroed: every
// byte the model reads it has written before.

#include "archive/ppmd_decoder.h"

#include "archive/archive_errors.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tandex::archive {

namespace {

constexpr unsigned kMaxOrder = 16;
constexpr unsigned kUnitSize = 12;
constexpr unsigned kNumIndexes = 38;
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1u << (kIntBits + kPeriodBits);
constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBot = 1u << 15;
constexpr uint32_t kEmptyNode = 0xFFFFFFFF;

constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                     0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

struct State {
    uint8_t Symbol;
    uint8_t Freq;
    uint16_t SuccessorLow;
    uint16_t SuccessorHigh;

    uint32_t successor() const { return SuccessorLow | (uint32_t(SuccessorHigh) << 16); }
    void setSuccessor(uint32_t v) {
        SuccessorLow = uint16_t(v);
        SuccessorHigh = uint16_t(v >> 16);
    }
};
static_assert(sizeof(State) == 6);

// A context with one symbol keeps its state in place of SummFreq and Stats.
struct Context {
    uint8_t NumStats;  // symbols - 1
    uint8_t Flags;
    uint16_t SummFreq;
    uint32_t Stats;
    uint32_t Suffix;

    State* oneState() { return reinterpret_cast<State*>(&SummFreq); }
};
static_assert(sizeof(Context) == kUnitSize);

struct Node {
    uint32_t Stamp;
    uint32_t Next;
    uint32_t NU;
};
static_assert(sizeof(Node) == kUnitSize);

struct See {
    uint16_t Summ;
    uint8_t Shift;
    uint8_t Count;

    void update() {
        if (Shift < kPeriodBits && --Count == 0) {
            Summ = uint16_t(Summ << 1);
            Count = uint8_t(3 << Shift++);
        }
    }
};

struct Tables {
    uint8_t Indx2Units[kNumIndexes];
    uint8_t Units2Indx[128];
    uint8_t NS2Indx[260];
    uint8_t NS2BSIndx[256];

    Tables() {
        unsigned k = 0;
        for (unsigned i = 0; i < kNumIndexes; ++i) {
            unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
            do {
                Units2Indx[k++] = uint8_t(i);
            } while (--step);
            Indx2Units[i] = uint8_t(k);
        }
        NS2BSIndx[0] = 0 << 1;
        NS2BSIndx[1] = 1 << 1;
        std::memset(NS2BSIndx + 2, 2 << 1, 9);
        std::memset(NS2BSIndx + 11, 3 << 1, 256 - 11);
        unsigned i = 0;
        for (; i < 5; ++i) NS2Indx[i] = uint8_t(i);
        for (unsigned m = i, step = 1; i < 260; ++i) {
            NS2Indx[i] = uint8_t(m);
            if (--step == 0) step = ++m - 4;
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// Source bytes for the range decoder, never more than the entry holds.
class PPMdByteReader {
public:
    PPMdByteReader(Stream& source, uint64_t limit) : source_(source), left_(limit) {}

    uint8_t next() {
        if (pos_ == fill_) refill();
        return buffer_[pos_++];
    }

private:
    void refill() {
        const int64_t want = int64_t(std::min<uint64_t>(left_, sizeof(buffer_)));
        const int64_t got = want > 0 ? source_.Read(buffer_, want) : 0;
        if (got <= 0) throw EArcReadError();
        left_ -= uint64_t(got);
        fill_ = size_t(got);
        pos_ = 0;
    }

    Stream& source_;
    uint64_t left_;
    uint8_t buffer_[4098];
    size_t fill_ = 0;
    size_t pos_ = 0;
};

// The carry-less range decoder of variant I: the interval's low end is
// tracked, and a range that gets too small is cut at the next boundary of
// 2^15 instead of propagating a carry.
class RangeDecoder {
public:
    explicit RangeDecoder(PPMdByteReader& in) : in_(in) {
        for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | in_.next();
    }

    // The count within a total; the subrange is taken with Decode.
    uint32_t GetThreshold(uint32_t total) {
        range_ /= total;
        // Only a hostile stream gets a total above the range.
        if (range_ == 0) throw EArcReadError();
        return code_ / range_;
    }
    void Decode(uint32_t start, uint32_t size) {
        start *= range_;
        low_ += start;
        code_ -= start;
        range_ *= size;
        for (;;) {
            if ((low_ ^ (low_ + range_)) >= kTop) {
                if (range_ >= kBot) break;
                range_ = (0 - low_) & (kBot - 1);
            }
            code_ = (code_ << 8) | in_.next();
            range_ <<= 8;
            low_ <<= 8;
        }
    }

private:
    PPMdByteReader& in_;
    uint32_t low_ = 0;
    uint32_t code_ = 0;  // relative to low_
    uint32_t range_ = 0xFFFFFFFF;
};

// The model's memory: units of 12 bytes in one block. Text grows from the
// bottom; state blocks are taken upwards and contexts downwards in the
// units area above it. All references are offsets into the block.
class UnitHeap {
protected:
    explicit UnitHeap(uint32_t size) : t_(tables()), size_(size) {
        // The heap starts a few bytes in, so that offset 0 is never a record;
        // the slack at the end lets the merge pass look one node past the top.
        heap_ = std::make_unique_for_overwrite<uint8_t[]>(alignOffset_ + size_ + kUnitSize * 2);
        base_ = heap_.get();
    }

    void resetHeap() {
        std::memset(freeList_, 0, sizeof(freeList_));
        std::memset(stamps_, 0, sizeof(stamps_));
        text_ = alignOffset_;
        hiUnit_ = text_ + size_;
        loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
        glueCount_ = 0;
    }

    template <typename T> T* at(uint32_t ref) { return reinterpret_cast<T*>(base_ + ref); }
    Context* ctx(uint32_t ref) { return at<Context>(ref); }
    State* stats(Context* c) { return at<State>(c->Stats); }
    Context* suffix(Context* c) { return ctx(c->Suffix); }
    uint32_t ref(const void* p) const {
        return uint32_t(static_cast<const uint8_t*>(p) - base_);
    }
    unsigned I2U(unsigned indx) const { return t_.Indx2Units[indx]; }
    unsigned U2I(unsigned nu) const { return t_.Units2Indx[nu - 1]; }
    static uint32_t U2B(unsigned nu) { return uint32_t(nu) * kUnitSize; }
    Node* node(uint32_t ref) { return at<Node>(ref); }

    void insertNode(uint32_t n, unsigned indx) {
        Node* p = node(n);
        p->Stamp = kEmptyNode;
        p->Next = freeList_[indx];
        p->NU = I2U(indx);
        freeList_[indx] = n;
        stamps_[indx]++;
    }
    uint32_t removeNode(unsigned indx) {
        const uint32_t n = freeList_[indx];
        freeList_[indx] = node(n)->Next;
        stamps_[indx]--;
        return n;
    }
    void splitBlock(uint32_t ptr, unsigned oldIndx, unsigned newIndx) {
        const unsigned nu = I2U(oldIndx) - I2U(newIndx);
        ptr += U2B(I2U(newIndx));
        unsigned i = U2I(nu);
        if (I2U(i) != nu) {
            const unsigned k = I2U(--i);
            insertNode(ptr + U2B(k), nu - k - 1);
        }
        insertNode(ptr, i);
    }
    void MergeFreeBlocks();
    uint32_t allocUnitsRare(unsigned indx);
    uint32_t TakeUnits(unsigned indx) {
        if (freeList_[indx] != 0) return removeNode(indx);
        const uint32_t numBytes = U2B(I2U(indx));
        if (numBytes <= hiUnit_ - loUnit_) {
            const uint32_t r = loUnit_;
            loUnit_ += numBytes;
            return r;
        }
        return allocUnitsRare(indx);
    }
    uint32_t TakeContext() {
        if (hiUnit_ != loUnit_) return hiUnit_ -= kUnitSize;
        if (freeList_[0] != 0) return removeNode(0);
        return allocUnitsRare(0);
    }
    uint32_t ShrinkBlock(uint32_t oldPtr, unsigned oldNU, unsigned newNU) {
        const unsigned i0 = U2I(oldNU), i1 = U2I(newNU);
        if (i0 == i1) return oldPtr;
        if (freeList_[i1] != 0) {
            const uint32_t p = removeNode(i1);
            std::memcpy(base_ + p, base_ + oldPtr, U2B(newNU));
            insertNode(oldPtr, i0);
            return p;
        }
        splitBlock(oldPtr, i0, i1);
        return oldPtr;
    }
    void ReleaseUnits(uint32_t p, unsigned nu) { insertNode(p, U2I(nu)); }
    void specialFreeUnit(uint32_t p) {
        if (p != unitsStart_) {
            insertNode(p, 0);
        } else {
            node(p)->Stamp = kEmptyNode;
            unitsStart_ += kUnitSize;
        }
    }
    uint32_t moveUnitsUp(uint32_t oldPtr, unsigned nu) {
        const unsigned indx = U2I(nu);
        if (oldPtr > unitsStart_ + 16 * 1024 || oldPtr > freeList_[indx]) return oldPtr;
        const uint32_t p = removeNode(indx);
        std::memcpy(base_ + p, base_ + oldPtr, U2B(nu));
        if (oldPtr != unitsStart_)
            insertNode(oldPtr, indx);
        else
            unitsStart_ += U2B(I2U(indx));
        return p;
    }
    void expandTextArea();
    uint32_t UsedBytes() const {
        uint32_t v = 0;
        for (unsigned i = 0; i < kNumIndexes; ++i) v += stamps_[i] * I2U(i);
        return size_ - (hiUnit_ - loUnit_) - (unitsStart_ - text_) - U2B(v);
    }

    // A block of nu units grown by one; 0 when memory has run out.
    uint32_t GrowBlock(uint32_t oldPtr, unsigned oldNU) {
        const unsigned i = U2I(oldNU);
        if (i == U2I(oldNU + 1)) return oldPtr;
        const uint32_t p = TakeUnits(i + 1);
        if (!p) return 0;
        std::memcpy(base_ + p, base_ + oldPtr, U2B(oldNU));
        insertNode(oldPtr, i);
        return p;
    }

    const Tables& t_;
    std::unique_ptr<uint8_t[]> heap_;
    uint8_t* base_ = nullptr;
    const uint32_t alignOffset_ = 4;
    uint32_t size_;
    uint32_t glueCount_ = 0;
    uint32_t text_ = 0, unitsStart_ = 0, loUnit_ = 0, hiUnit_ = 0;
    uint32_t freeList_[kNumIndexes] = {};
    uint32_t stamps_[kNumIndexes] = {};
};

// The variant I model on its heap: contexts, their statistics, the
// binary-context probabilities and the secondary escape estimation.
class ContextModel : private UnitHeap {
public:
    ContextModel(PPMdByteReader& in, unsigned maxOrder, unsigned restoreMethod, uint32_t size)
        : UnitHeap(size), rc_(in), maxOrder_(maxOrder), restoreMethod_(restoreMethod) {
        RestartModel();
        dummySee_.Shift = kPeriodBits;
        dummySee_.Summ = 0;
        dummySee_.Count = 64;
    }

    // The next byte, -1 at the stream's end symbol.
    int DecodeNextByte();

private:
    void RestartModel();
    void refresh(Context* c, unsigned oldNU, unsigned scale);
    uint32_t TrimContexts(Context* c, unsigned order);
    uint32_t DropBinaryContexts(Context* c, unsigned order);
    void RecoverMemory(Context* c1, Context* fSuccessor);
    Context* CreateSuccessors(bool skip, State* s1, Context* c);
    Context* ReduceOrder(State* s1, Context* c);
    void GrowModel();
    void HalveFrequencies();
    void nextContext();
    void update1();
    void update1_0();
    void update2();
    void updateBin();
    See* makeEscFreq(unsigned numMasked, uint32_t* escFreq);
    uint16_t* binSumm() {
        Context* mc = minContext_;
        return &binSumm_[t_.NS2Indx[mc->oneState()->Freq - 1]]
                        [t_.NS2BSIndx[suffix(mc)->NumStats] + prevSuccess_ + mc->Flags +
                         ((uint32_t(runLength_) >> 26) & 0x20)];
    }

    RangeDecoder rc_;
    unsigned maxOrder_;
    unsigned restoreMethod_;

    Context* minContext_ = nullptr;
    Context* maxContext_ = nullptr;
    State* foundState_ = nullptr;
    unsigned orderFall_ = 0, initEsc_ = 0, prevSuccess_ = 0;
    int32_t runLength_ = 0, initRL_ = 0;
    See dummySee_{};
    See see_[24][32];
    uint16_t binSumm_[25][64];
};

void ContextModel::RestartModel() {
    resetHeap();

    orderFall_ = maxOrder_;
    runLength_ = initRL_ = -int32_t(maxOrder_ < 12 ? maxOrder_ : 12) - 1;
    prevSuccess_ = 0;

    hiUnit_ -= kUnitSize;
    minContext_ = maxContext_ = ctx(hiUnit_);
    minContext_->Suffix = 0;
    minContext_->NumStats = 255;
    minContext_->Flags = 0;
    minContext_->SummFreq = 256 + 1;
    foundState_ = at<State>(loUnit_);
    minContext_->Stats = loUnit_;
    loUnit_ += U2B(256 / 2);
    for (unsigned i = 0; i < 256; ++i) {
        State* s = &foundState_[i];
        s->Symbol = uint8_t(i);
        s->Freq = 1;
        s->setSuccessor(0);
    }

    for (unsigned i = 0, m = 0; m < 25; ++m) {
        while (t_.NS2Indx[i] == m) ++i;
        for (unsigned k = 0; k < 8; ++k) {
            const uint16_t val = uint16_t(kBinScale - kInitBinEsc[k] / (i + 1));
            for (unsigned r = 0; r < 64; r += 8) binSumm_[m][k + r] = val;
        }
    }
    for (unsigned i = 0, m = 0; m < 24; ++m) {
        while (t_.NS2Indx[i + 3] == m + 3) ++i;
        for (unsigned k = 0; k < 32; ++k) {
            See& s = see_[m][k];
            s.Shift = kPeriodBits - 4;
            s.Summ = uint16_t((2 * i + 5) << s.Shift);
            s.Count = 7;
        }
    }
}

void UnitHeap::MergeFreeBlocks() {
    uint32_t head = 0;
    uint32_t* prev = &head;
    glueCount_ = 1 << 13;
    std::memset(stamps_, 0, sizeof(stamps_));
    // The root context sits in the top unit, so only the gap at loUnit needs
    // a guard to stop a merge.
    if (loUnit_ != hiUnit_) node(loUnit_)->Stamp = 0;

    for (unsigned i = 0; i < kNumIndexes; ++i) {
        uint32_t next = freeList_[i];
        freeList_[i] = 0;
        while (next != 0) {
            Node* n = node(next);
            if (n->NU != 0) {
                *prev = next;
                prev = &n->Next;
                for (;;) {
                    Node* n2 = node(next + U2B(n->NU));
                    if (n2->Stamp != kEmptyNode) break;
                    n->NU += n2->NU;
                    n2->NU = 0;
                }
            }
            next = n->Next;
        }
    }
    *prev = 0;

    while (head != 0) {
        uint32_t n = head;
        head = node(n)->Next;
        unsigned nu = node(n)->NU;
        if (nu == 0) continue;
        for (; nu > 128; nu -= 128, n += U2B(128)) insertNode(n, kNumIndexes - 1);
        unsigned i = U2I(nu);
        if (I2U(i) != nu) {
            const unsigned k = I2U(--i);
            insertNode(n + U2B(k), nu - k - 1);
        }
        insertNode(n, i);
    }
}

uint32_t UnitHeap::allocUnitsRare(unsigned indx) {
    if (glueCount_ == 0) {
        MergeFreeBlocks();
        if (freeList_[indx] != 0) return removeNode(indx);
    }
    unsigned i = indx;
    do {
        if (++i == kNumIndexes) {
            const uint32_t numBytes = U2B(I2U(indx));
            glueCount_--;
            return unitsStart_ - text_ > numBytes ? (unitsStart_ -= numBytes) : 0;
        }
    } while (freeList_[i] == 0);
    const uint32_t r = removeNode(i);
    splitBlock(r, i, indx);
    return r;
}

void UnitHeap::expandTextArea() {
    uint32_t count[kNumIndexes] = {};
    if (loUnit_ != hiUnit_) node(loUnit_)->Stamp = 0;
    {
        uint32_t n = unitsStart_;
        while (node(n)->Stamp == kEmptyNode) {
            Node* p = node(n);
            p->Stamp = 0;
            count[U2I(p->NU)]++;
            n += U2B(p->NU);
        }
        unitsStart_ = n;
    }
    for (unsigned i = 0; i < kNumIndexes; ++i) {
        uint32_t* next = &freeList_[i];
        while (count[i] != 0) {
            Node* n = node(*next);
            while (n->Stamp == 0) {
                *next = n->Next;
                n = node(*next);
                stamps_[i]--;
                if (--count[i] == 0) break;
            }
            next = &n->Next;
        }
    }
}

void ContextModel::refresh(Context* c, unsigned oldNU, unsigned scale) {
    unsigned i = c->NumStats;
    const uint32_t sref = ShrinkBlock(c->Stats, oldNU, (i + 2) >> 1);
    c->Stats = sref;
    State* s = at<State>(sref);
    unsigned flags = (c->Flags & (0x10 + 0x04 * scale)) + 0x08 * (s->Symbol >= 0x40);
    unsigned escFreq = c->SummFreq - s->Freq;
    unsigned sumFreq = (s->Freq = uint8_t((s->Freq + scale) >> scale));
    do {
        escFreq -= (++s)->Freq;
        sumFreq += (s->Freq = uint8_t((s->Freq + scale) >> scale));
        flags |= 0x08 * (s->Symbol >= 0x40);
    } while (--i);
    c->SummFreq = uint16_t(sumFreq + ((escFreq + scale) >> scale));
    c->Flags = uint8_t(flags);
}

uint32_t ContextModel::TrimContexts(Context* c, unsigned order) {
    if (c->NumStats == 0) {
        State* s = c->oneState();
        if (s->successor() >= unitsStart_) {
            if (order < maxOrder_)
                s->setSuccessor(TrimContexts(ctx(s->successor()), order + 1));
            else
                s->setSuccessor(0);
            if (s->successor() || order <= 9) return ref(c);
        }
        specialFreeUnit(ref(c));
        return 0;
    }
    const unsigned tmp = (unsigned(c->NumStats) + 2) >> 1;
    c->Stats = moveUnitsUp(c->Stats, tmp);
    int i = c->NumStats;
    for (State* s = stats(c) + i; s >= stats(c); --s) {
        if (s->successor() < unitsStart_) {
            State* s2 = stats(c) + (i--);
            s->setSuccessor(0);
            std::swap(*s, *s2);
        } else if (order < maxOrder_) {
            s->setSuccessor(TrimContexts(ctx(s->successor()), order + 1));
        } else {
            s->setSuccessor(0);
        }
    }
    if (i != c->NumStats && order) {
        c->NumStats = uint8_t(i);
        State* s = stats(c);
        if (i < 0) {
            ReleaseUnits(ref(s), tmp);
            specialFreeUnit(ref(c));
            return 0;
        }
        if (i == 0) {
            c->Flags = uint8_t((c->Flags & 0x10) + 0x08 * (s->Symbol >= 0x40));
            *c->oneState() = *s;
            ReleaseUnits(ref(s), tmp);
            c->oneState()->Freq = uint8_t((unsigned(c->oneState()->Freq) + 11) >> 3);
        } else {
            refresh(c, tmp, c->SummFreq > 16 * unsigned(i));
        }
    }
    return ref(c);
}

uint32_t ContextModel::DropBinaryContexts(Context* c, unsigned order) {
    if (c->NumStats == 0) {
        State* s = c->oneState();
        if (s->successor() >= unitsStart_ && order < maxOrder_)
            s->setSuccessor(DropBinaryContexts(ctx(s->successor()), order + 1));
        else
            s->setSuccessor(0);
        // A suffix may be gone already, as several successors can share it;
        // a freed unit shows the free stamp in its flags.
        if (!s->successor() && (!suffix(c)->NumStats || suffix(c)->Flags == 0xFF)) {
            ReleaseUnits(ref(c), 1);
            return 0;
        }
        return ref(c);
    }
    for (State* s = stats(c) + c->NumStats; s >= stats(c); --s) {
        if (s->successor() >= unitsStart_ && order < maxOrder_)
            s->setSuccessor(DropBinaryContexts(ctx(s->successor()), order + 1));
        else
            s->setSuccessor(0);
    }
    return ref(c);
}

void ContextModel::RecoverMemory(Context* c1, Context* fSuccessor) {
    text_ = alignOffset_;
    Context* c = maxContext_;
    // Take back the partial update of the contexts above c1.
    for (; c != c1; c = suffix(c)) {
        if (--(c->NumStats) == 0) {
            State* s = stats(c);
            c->Flags = uint8_t((c->Flags & 0x10) + 0x08 * (s->Symbol >= 0x40));
            *c->oneState() = *s;
            specialFreeUnit(ref(s));
            c->oneState()->Freq = uint8_t((unsigned(c->oneState()->Freq) + 11) >> 3);
        } else {
            refresh(c, (c->NumStats + 3) >> 1, 0);
        }
    }
    for (; c != minContext_; c = suffix(c)) {
        if (!c->NumStats)
            c->oneState()->Freq = uint8_t(c->oneState()->Freq - (c->oneState()->Freq >> 1));
        else if ((c->SummFreq += 4) > 128 + 4 * c->NumStats)
            refresh(c, (c->NumStats + 2) >> 1, 1);
    }

    if (restoreMethod_ > 2) {
        maxContext_ = fSuccessor;
        glueCount_ += !(stamps_[1] & 1);
    } else if (restoreMethod_ == 2) {
        while (maxContext_->Suffix) maxContext_ = suffix(maxContext_);
        DropBinaryContexts(maxContext_, 0);
        restoreMethod_++;
        glueCount_ = 0;
        orderFall_ = maxOrder_;
    } else if (restoreMethod_ == 0 || UsedBytes() < (size_ >> 1)) {
        RestartModel();
    } else {
        while (maxContext_->Suffix) maxContext_ = suffix(maxContext_);
        do {
            TrimContexts(maxContext_, 0);
            expandTextArea();
        } while (UsedBytes() > 3 * (size_ >> 2));
        glueCount_ = 0;
        orderFall_ = maxOrder_;
    }
}

Context* ContextModel::CreateSuccessors(bool skip, State* s1, Context* c) {
    const uint32_t upBranch = foundState_->successor();
    State* ps[kMaxOrder + 1];
    unsigned numPs = 0;
    if (!skip) ps[numPs++] = foundState_;

    while (c->Suffix) {
        State* s;
        c = suffix(c);
        if (s1) {
            s = s1;
            s1 = nullptr;
        } else if (c->NumStats != 0) {
            for (s = stats(c); s->Symbol != foundState_->Symbol; ++s) {
            }
            if (s->Freq < kMaxFreq - 9) {
                s->Freq++;
                c->SummFreq++;
            }
        } else {
            s = c->oneState();
            s->Freq = uint8_t(s->Freq + (!suffix(c)->NumStats & (s->Freq < 24)));
        }
        const uint32_t successor = s->successor();
        if (successor != upBranch) {
            c = ctx(successor);
            if (numPs == 0) return c;
            break;
        }
        ps[numPs++] = s;
    }

    State upState;
    upState.Symbol = base_[upBranch];
    upState.setSuccessor(upBranch + 1);
    const uint8_t flags =
        uint8_t(0x10 * (foundState_->Symbol >= 0x40) + 0x08 * (upState.Symbol >= 0x40));
    if (c->NumStats == 0) {
        upState.Freq = c->oneState()->Freq;
    } else {
        State* s;
        for (s = stats(c); s->Symbol != upState.Symbol; ++s) {
        }
        const uint32_t cf = s->Freq - 1;
        const uint32_t s0 = c->SummFreq - c->NumStats - cf;
        upState.Freq =
            uint8_t(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((cf + 2 * s0 - 3) / s0)));
    }

    do {
        const uint32_t r = TakeContext();
        if (!r) return nullptr;
        Context* c1 = ctx(r);
        c1->NumStats = 0;
        c1->Flags = flags;
        *c1->oneState() = upState;
        c1->Suffix = ref(c);
        ps[--numPs]->setSuccessor(r);
        c = c1;
    } while (numPs != 0);
    return c;
}

Context* ContextModel::ReduceOrder(State* s1, Context* c) {
    State* s = nullptr;
    Context* c1 = c;
    const uint32_t upBranch = text_;
    State* ps[kMaxOrder + 1];
    unsigned numPs = 0;
    ps[numPs++] = foundState_;

    foundState_->setSuccessor(upBranch);
    orderFall_++;

    for (;;) {
        if (s1) {
            c = suffix(c);
            s = s1;
            s1 = nullptr;
        } else {
            if (!c->Suffix) {
                if (restoreMethod_ > 2) {
                    do {
                        ps[--numPs]->setSuccessor(ref(c));
                    } while (numPs);
                    text_ = alignOffset_ + 1;
                    orderFall_ = 1;
                }
                return c;
            }
            c = suffix(c);
            if (c->NumStats) {
                s = stats(c);
                while (s->Symbol != foundState_->Symbol) ++s;
                if (s->Freq < kMaxFreq - 9) {
                    s->Freq += 2;
                    c->SummFreq += 2;
                }
            } else {
                s = c->oneState();
                s->Freq = uint8_t(s->Freq + (s->Freq < 32));
            }
        }
        if (s->successor()) break;
        if (numPs <= kMaxOrder) ps[numPs++] = s;
        s->setSuccessor(upBranch);
        orderFall_++;
    }

    if (restoreMethod_ > 2) {
        c = ctx(s->successor());
        do {
            ps[--numPs]->setSuccessor(ref(c));
        } while (numPs);
        text_ = alignOffset_ + 1;
        orderFall_ = 1;
        return c;
    }
    if (s->successor() <= upBranch) {
        State* s2 = foundState_;
        foundState_ = s;
        Context* successor = CreateSuccessors(false, nullptr, c);
        s->setSuccessor(successor ? ref(successor) : 0);
        foundState_ = s2;
    }
    if (orderFall_ == 1 && c1 == maxContext_) {
        foundState_->setSuccessor(s->successor());
        text_--;
    }
    if (s->successor() == 0) return nullptr;
    return ctx(s->successor());
}

void ContextModel::GrowModel() {
    uint32_t fSuccessor = foundState_->successor();
    const unsigned fFreq = foundState_->Freq;
    const uint8_t fSymbol = foundState_->Symbol;
    State* s = nullptr;

    if (foundState_->Freq < kMaxFreq / 4 && minContext_->Suffix != 0) {
        Context* c = suffix(minContext_);
        if (c->NumStats == 0) {
            s = c->oneState();
            if (s->Freq < 32) s->Freq++;
        } else {
            s = stats(c);
            if (s->Symbol != fSymbol) {
                do {
                    ++s;
                } while (s->Symbol != fSymbol);
                if (s[0].Freq >= s[-1].Freq) {
                    std::swap(s[0], s[-1]);
                    --s;
                }
            }
            if (s->Freq < kMaxFreq - 9) {
                s->Freq += 2;
                c->SummFreq += 2;
            }
        }
    }

    Context* c = maxContext_;
    if (orderFall_ == 0 && fSuccessor) {
        Context* cs = CreateSuccessors(true, s, minContext_);
        if (!cs) {
            foundState_->setSuccessor(0);
            RecoverMemory(c, ctx(fSuccessor));
        } else {
            foundState_->setSuccessor(ref(cs));
            maxContext_ = cs;
        }
        return;
    }

    base_[text_++] = fSymbol;
    uint32_t successor = text_;
    if (text_ >= unitsStart_) {
        RecoverMemory(c, ctx(fSuccessor));
        return;
    }

    if (!fSuccessor) {
        Context* cs = ReduceOrder(s, minContext_);
        if (!cs) {
            RecoverMemory(c, nullptr);
            return;
        }
        fSuccessor = ref(cs);
    } else if (fSuccessor < unitsStart_) {
        Context* cs = CreateSuccessors(false, s, minContext_);
        if (!cs) {
            RecoverMemory(c, nullptr);
            return;
        }
        fSuccessor = ref(cs);
    }

    if (--orderFall_ == 0) {
        successor = fSuccessor;
        text_ -= (maxContext_ != minContext_);
    } else if (restoreMethod_ > 2) {
        successor = fSuccessor;
        text_ = alignOffset_;
        orderFall_ = 0;
    }

    const unsigned ns = minContext_->NumStats;
    const unsigned s0 = minContext_->SummFreq - ns - fFreq;
    const uint8_t flag = uint8_t(0x08 * (fSymbol >= 0x40));

    for (; c != minContext_; c = suffix(c)) {
        const unsigned ns1 = c->NumStats;
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // The states fill their units: grow the block by one.
                const uint32_t p = GrowBlock(c->Stats, (ns1 + 1) >> 1);
                if (!p) {
                    RecoverMemory(c, ctx(fSuccessor));
                    return;
                }
                c->Stats = p;
            }
            c->SummFreq = uint16_t(c->SummFreq + (3 * ns1 + 1 < ns));
        } else {
            const uint32_t p = TakeUnits(0);
            if (!p) {
                RecoverMemory(c, ctx(fSuccessor));
                return;
            }
            State* s2 = at<State>(p);
            *s2 = *c->oneState();
            c->Stats = p;
            if (s2->Freq < kMaxFreq / 4 - 1)
                s2->Freq = uint8_t(s2->Freq << 1);
            else
                s2->Freq = kMaxFreq - 4;
            c->SummFreq = uint16_t(s2->Freq + initEsc_ + (ns > 2));
        }
        uint32_t cf = 2 * fFreq * (c->SummFreq + 6);
        const uint32_t sf = uint32_t(s0) + c->SummFreq;
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            c->SummFreq += 4;
        } else {
            cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
            c->SummFreq = uint16_t(c->SummFreq + cf);
        }
        State* s2 = stats(c) + ns1 + 1;
        s2->setSuccessor(successor);
        s2->Symbol = fSymbol;
        s2->Freq = uint8_t(cf);
        c->Flags |= flag;
        c->NumStats = uint8_t(ns1 + 1);
    }
    maxContext_ = minContext_ = ctx(fSuccessor);
}

void ContextModel::HalveFrequencies() {
    State* st = stats(minContext_);
    State* s = foundState_;
    // The found state moves to the front.
    if (s != st) {
        const State tmp = *s;
        do {
            s[0] = s[-1];
        } while (--s != st);
        *s = tmp;
    }
    unsigned escFreq = minContext_->SummFreq - s->Freq;
    s->Freq += 4;
    const unsigned adder = (orderFall_ != 0 || restoreMethod_ > 2);
    s->Freq = uint8_t((s->Freq + adder) >> 1);
    unsigned sumFreq = s->Freq;

    unsigned i = minContext_->NumStats;
    do {
        escFreq -= (++s)->Freq;
        s->Freq = uint8_t((s->Freq + adder) >> 1);
        sumFreq += s->Freq;
        if (s[0].Freq > s[-1].Freq) {
            State* s1 = s;
            const State tmp = *s1;
            do {
                s1[0] = s1[-1];
            } while (--s1 != st && tmp.Freq > s1[-1].Freq);
            *s1 = tmp;
        }
    } while (--i);

    if (s->Freq == 0) {
        const unsigned numStats = minContext_->NumStats;
        do {
            ++i;
        } while ((--s)->Freq == 0);
        escFreq += i;
        minContext_->NumStats = uint8_t(minContext_->NumStats - i);
        if (minContext_->NumStats == 0) {
            State tmp = *st;
            tmp.Freq = uint8_t((2 * tmp.Freq + escFreq - 1) / escFreq);
            if (tmp.Freq > kMaxFreq / 3) tmp.Freq = kMaxFreq / 3;
            insertNode(ref(st), U2I((numStats + 2) >> 1));
            minContext_->Flags =
                uint8_t((minContext_->Flags & 0x10) + 0x08 * (tmp.Symbol >= 0x40));
            *(foundState_ = minContext_->oneState()) = tmp;
            return;
        }
        const unsigned n0 = (numStats + 2) >> 1;
        const unsigned n1 = (minContext_->NumStats + 2) >> 1;
        if (n0 != n1) minContext_->Stats = ShrinkBlock(ref(st), n0, n1);
        minContext_->Flags &= ~0x08;
        s = stats(minContext_);
        minContext_->Flags |= 0x08 * (s->Symbol >= 0x40);
        i = minContext_->NumStats;
        do {
            minContext_->Flags |= 0x08 * ((++s)->Symbol >= 0x40);
        } while (--i);
    }
    minContext_->SummFreq = uint16_t(sumFreq + escFreq - (escFreq >> 1));
    minContext_->Flags |= 0x04;
    foundState_ = stats(minContext_);
}

void ContextModel::nextContext() {
    const uint32_t c = foundState_->successor();
    if (orderFall_ == 0 && c >= unitsStart_) {
        minContext_ = maxContext_ = ctx(c);
    } else {
        GrowModel();
        minContext_ = maxContext_;
    }
}

void ContextModel::update1() {
    State* s = foundState_;
    s->Freq += 4;
    minContext_->SummFreq += 4;
    if (s[0].Freq > s[-1].Freq) {
        std::swap(s[0], s[-1]);
        foundState_ = --s;
        if (s->Freq > kMaxFreq) HalveFrequencies();
    }
    nextContext();
}

void ContextModel::update1_0() {
    prevSuccess_ = (2 * foundState_->Freq >= minContext_->SummFreq);
    runLength_ += prevSuccess_;
    minContext_->SummFreq += 4;
    if ((foundState_->Freq += 4) > kMaxFreq) HalveFrequencies();
    nextContext();
}

void ContextModel::updateBin() {
    foundState_->Freq = uint8_t(foundState_->Freq + (foundState_->Freq < 196));
    prevSuccess_ = 1;
    runLength_++;
    nextContext();
}

void ContextModel::update2() {
    minContext_->SummFreq += 4;
    if ((foundState_->Freq += 4) > kMaxFreq) HalveFrequencies();
    runLength_ = initRL_;
    GrowModel();
    minContext_ = maxContext_;
}

See* ContextModel::makeEscFreq(unsigned numMasked, uint32_t* escFreq) {
    Context* mc = minContext_;
    if (mc->NumStats == 0xFF) {
        *escFreq = 1;
        return &dummySee_;
    }
    See* see = see_[t_.NS2Indx[mc->NumStats + 2] - 3] +
               (mc->SummFreq > 11 * (unsigned(mc->NumStats) + 1)) +
               2 * unsigned(2 * unsigned(mc->NumStats) <
                            unsigned(suffix(mc)->NumStats) + numMasked) +
               mc->Flags;
    const unsigned r = see->Summ >> see->Shift;
    see->Summ = uint16_t(see->Summ - r);
    *escFreq = r + (r == 0);
    return see;
}

int ContextModel::DecodeNextByte() {
    // Symbols seen in the contexts left by an escape; their states carry
    // the mark so the next context codes only the rest.
    uint8_t masked[256];
    if (minContext_->NumStats != 0) {
        State* s = stats(minContext_);
        const uint32_t count = rc_.GetThreshold(minContext_->SummFreq);
        uint32_t hiCnt = s->Freq;
        if (count < hiCnt) {
            rc_.Decode(0, s->Freq);
            foundState_ = s;
            const uint8_t symbol = s->Symbol;
            update1_0();
            return symbol;
        }
        prevSuccess_ = 0;
        unsigned i = minContext_->NumStats;
        do {
            if ((hiCnt += (++s)->Freq) > count) {
                rc_.Decode(hiCnt - s->Freq, s->Freq);
                foundState_ = s;
                const uint8_t symbol = s->Symbol;
                update1();
                return symbol;
            }
        } while (--i);
        if (count >= minContext_->SummFreq) throw EArcReadError();
        rc_.Decode(hiCnt, minContext_->SummFreq - hiCnt);
        std::memset(masked, 0, sizeof(masked));
        masked[s->Symbol] = 1;
        i = minContext_->NumStats;
        do {
            masked[(--s)->Symbol] = 1;
        } while (--i);
    } else {
        uint16_t* prob = binSumm();
        if (rc_.GetThreshold(kBinScale) < *prob) {
            rc_.Decode(0, *prob);
            *prob = uint16_t(*prob + (1 << kIntBits) - ((*prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
            foundState_ = minContext_->oneState();
            const uint8_t symbol = foundState_->Symbol;
            updateBin();
            return symbol;
        }
        rc_.Decode(*prob, kBinScale - *prob);
        *prob = uint16_t(*prob - ((*prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
        initEsc_ = kExpEscape[*prob >> 10];
        std::memset(masked, 0, sizeof(masked));
        masked[minContext_->oneState()->Symbol] = 1;
        prevSuccess_ = 0;
    }

    for (;;) {
        State* ps[256];
        const unsigned numMasked = minContext_->NumStats;
        do {
            orderFall_++;
            if (!minContext_->Suffix) return -1;
            minContext_ = suffix(minContext_);
        } while (minContext_->NumStats == numMasked);

        uint32_t hiCnt = 0;
        State* s = stats(minContext_);
        const unsigned num = minContext_->NumStats - numMasked;
        unsigned i = 0;
        do {
            if (!masked[s->Symbol]) {
                hiCnt += s->Freq;
                ps[i++] = s;
            }
            ++s;
        } while (i != num);

        uint32_t freqSum;
        See* see = makeEscFreq(numMasked, &freqSum);
        freqSum += hiCnt;
        const uint32_t count = rc_.GetThreshold(freqSum);
        if (count < hiCnt) {
            State** pps = ps;
            for (hiCnt = 0; (hiCnt += (*pps)->Freq) <= count; ++pps) {
            }
            s = *pps;
            rc_.Decode(hiCnt - s->Freq, s->Freq);
            see->update();
            foundState_ = s;
            const uint8_t symbol = s->Symbol;
            update2();
            return symbol;
        }
        if (count >= freqSum) throw EArcReadError();
        rc_.Decode(hiCnt, freqSum - hiCnt);
        see->Summ = uint16_t(see->Summ + freqSum);
        do {
            masked[ps[--i]->Symbol] = 1;
        } while (i != 0);
    }
}

}  // namespace

void DecompressPPMd(Stream& source, Stream& destination, uint64_t packedSize,
                    uint64_t unpackedSize) {
    if (packedSize < 2) throw EArcReadError();
    uint8_t header[2];
    if (source.Read(header, 2) != 2) throw EArcReadError();
    const unsigned h = header[0] | (unsigned(header[1]) << 8);
    const unsigned order = (h & 0x0F) + 1;
    const uint32_t memory = (((h >> 4) & 0xFF) + 1) << 20;
    const unsigned method = h >> 12;
    if (order < 2) throw EArcZipInvalidMethod();
    if (unpackedSize == 0) return;

    PPMdByteReader reader(source, packedSize - 2);
    auto model = std::make_unique<ContextModel>(reader, order, method, memory);
    std::vector<uint8_t> out(4096);
    size_t fill = 0;
    for (uint64_t left = unpackedSize; left != 0; --left) {
        const int symbol = model->DecodeNextByte();
        if (symbol < 0) break;
        out[fill++] = uint8_t(symbol);
        if (fill == out.size()) {
            destination.WriteBuffer(out.data(), int64_t(fill));
            fill = 0;
        }
    }
    if (fill) destination.WriteBuffer(out.data(), int64_t(fill));
}

}  // namespace tandex::archive
