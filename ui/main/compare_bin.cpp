#include "ui/main/compare_bin.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/diff_engine.h"
#include "engine/pane_stores.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace tandex::ui {

namespace {

using engine::paneStores;


// The 8-bit (Windows-1252) form of a text for the hexadecimal lines.
QByteArray ansiText(const QString& text) {
    QByteArray out;
    access::FZEncodeLine(text, access::fkAnsi, access::lbLf, out);
    out.chop(1);
    return out;
}

// The code an exception stands for, taken from the failure itself: the
// platform's error number is long stale by the time a pass fails.
int codeOfException(const std::exception& e, QString& text) {
    text = QString::fromLocal8Bit(e.what());
    if (dynamic_cast<const std::bad_alloc*>(&e)) return access::errNotEnoughMemory;
    if (const auto* se = dynamic_cast<const std::system_error*>(&e)) {
        const auto& cat = se->code().category();
        if (cat == std::generic_category() || cat == std::system_category())
            return access::FZCodeFromErrno(se->code().value());
    }
    return 0;  // no code: the message itself is shown
}

}  // namespace

qint32 CompareBin::CompareBinaryFiles(const QString& leftPath, const QString& rightPath,
                                      const BinaryCompareClock& clock) {
    auto& engine = engine::diffEngine();
    if (running_ || engine.busy()) return -1;
    running_ = true;
    struct RunGuard {
        CompareBin& unit;
        ~RunGuard() {
            // The buffers are taken per comparison and given back at its end.
            for (auto& side : unit.sides_) std::vector<quint8>().swap(side.buffer);
            unit.running_ = false;
        }
    } guard{*this};

    auto& settings = config::AppSettings();
    // Only a hand-edited settings file holds a width outside 1..256; 0 would
    // never finish a line and a width above the block size would carry the
    // whole buffer for ever.
    settings.BCHEXBytes = std::clamp(settings.BCHEXBytes, 1, 256);
    cells_ = settings.BCHEXBytes;
    offsetMode_ = settings.BCOffsetAddr;
    clock_ = clock;
    if (!clock_.ReadTicks) clock_.ReadTicks = config::ReadTsc;
    if (clock_.TicksPerMs <= 0) clock_.TicksPerMs = config::CpuTicksPerMs();

    BinaryDiffTotals = {};
    sinceCheckpoint_ = {};
    checkpoint_ = {};
    for (auto& side : sides_) side = Side{};
    bytesDone_ = largestShown_ = 0;
    rowCount_ = 0;
    errorFlag_ = stop_ = abortRequested_ = false;
    limitRow_ = -1;
    errorCode_ = 0;
    errorText_.clear();
    blockSize_ = kStartBlockSize;
    engineTicks_ = 0;

    auto& st = paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        Side& side = sides_[pane];
        const int slot = st.SideSlots[size_t(pane)];
        side.active = slot != engine::kNoSlot && st.FileErrors[size_t(pane)] == 0;
        if (side.active) st.SideAccessKinds[size_t(pane)] = quint8(access::FZSlotAccessKind(slot));
    }

    if (sides_[1].active || sides_[2].active) {
        // Equal files take a row per line of cells; differences add rows,
        // and the arrays grow past the estimate as they would anyway.
        qint64 rows = 0;
        for (int pane = 1; pane <= 2; ++pane)
            if (sides_[pane].active) rows = std::max(rows, st.FileSizes[size_t(pane)] / cells_ + 2);
        for (int pane = 1; pane <= 2; ++pane)
            st.BinaryLines[size_t(pane)].Reserve(int(std::min<qint64>(rows, kMaxDataRows + 1)));
        for (int pane = 1; pane <= 2; ++pane) {
            cellBytes_[pane].assign(size_t(cells_), 0);
            cellKinds_[pane].assign(size_t(cells_), engine::bcBlank);
            sides_[pane].buffer.assign(size_t(kBufferSize), 0);
        }
        startRemoteFetch(1, leftPath);
        startRemoteFetch(2, rightPath);

        auto& progress = config::progressSink();
        progress.setTextLine(1, QStringLiteral("Executing Binary Compare, please wait ..."));
        progress.startProgress(std::max<qint64>(kStartBlockSize, std::min(st.FileSizes[1], st.FileSizes[2])));
        largestShown_ = 0;
        engine.DiffProgressProc = [](qint32 v) { compareBin().BinaryCompareProgress(v); };
        engine.DiffMaxProc = nullptr;
        resetLine();

        // The engine's own cancel flag may still stand from another user's
        // run; only a cancel of this run counts.
        while ((sides_[1].active || sides_[2].active) && !abortRequested_ && !stop_)
            if (!runPass()) break;
        maxLineWidth_ = 4 * cells_ + 1;
    }

    st.LineCount[1] = st.LineCount[2] = st.MaxLineCount = rowCount_;
    qint32 differing = 0;
    for (int i = 0; i < rowCount_; ++i)
        if (st.BinaryLines[1][i]->Differs) ++differing;
    // Rows that stop at the limit are no verdict on the files: equal rows
    // with a difference behind them must not read as equal files. The
    // limit row then carries the difference.
    if (limitRow_ >= 0 && differing == 0 && restDiffers()) {
        for (int pane = 1; pane <= 2; ++pane) st.BinaryLines[size_t(pane)][limitRow_]->Differs = 1;
        differing = 1;
    }
    return differing;
}

bool CompareBin::restDiffers() {
    auto& st = paneStores();
    const int sideSlots[3] = {0, st.SideSlots[1], st.SideSlots[2]};
    for (int pane = 1; pane <= 2; ++pane)
        if (const int r = access::FZSeek(sideSlots[pane], sides_[pane].current)) {
            st.FileErrors[size_t(pane)] = r;
            return true;  // what cannot be read cannot be called equal
        }
    for (;;) {
        qint64 got[3] = {0, 0, 0};
        for (int pane = 1; pane <= 2; ++pane) {
            // Whole buffers, unless the file ends: a short read is its end.
            qint64 done = 0;
            while (got[pane] < kBufferSize) {
                const int r = access::FZRead(sideSlots[pane], sides_[pane].buffer.data() + got[pane],
                                             kBufferSize - got[pane], done);
                if (r) {
                    st.FileErrors[size_t(pane)] = r;
                    return true;
                }
                if (done <= 0) break;
                got[pane] += done;
            }
        }
        if (got[1] != got[2] ||
            std::memcmp(sides_[1].buffer.data(), sides_[2].buffer.data(), size_t(got[1])) != 0)
            return true;
        if (got[1] < kBufferSize) return false;
        bytesDone_ += got[1];
        BinaryCompareProgress(0);
        if (access::FZResetAbort()) AbortBinaryCompare();
        if (abortRequested_) {
            emitMessageRow(QStringLiteral("==> Aborted by User <=="));
            st.LineCount[1] = st.LineCount[2] = st.MaxLineCount = rowCount_;
            return false;
        }
    }
}

void CompareBin::startRemoteFetch(int pane, const QString& path) {
    Side& side = sides_[pane];
    if (!side.active) return;
    auto& st = paneStores();
    const int slot = st.SideSlots[size_t(pane)];
    const access::TFZLocation location = access::FZSlotLocation(slot);
    if (location < access::locFtp || location > access::locCloud) return;
    config::progressSink().startProgress(st.FileSizes[size_t(pane)]);
    if (ShowLoadingStatus) ShowLoadingStatus(pane);
    if (access::FZSlotAccessKind(slot) == access::akCloud) return;
    const int r = access::FZReopen(slot, path, access::twReadAccess);
    // A file that cannot be fetched is shown as missing, like an open error.
    if (r != 0) {
        st.FileErrors[size_t(pane)] = r;
        side.active = false;
    }
}

// One pass over a block of each file; false when the run must end at once.
bool CompareBin::runPass() {
    auto& engine = engine::diffEngine();
    Side& left = sides_[1];
    Side& right = sides_[2];
    checkpoint_ = {};

    // A pass that would read nothing new would repeat the last one for ever.
    const bool stuck = (!left.active || left.carry >= blockSize_) && (!right.active || right.carry >= blockSize_);
    if (stuck) {
        failPass(access::errInvalidParameter, QString());
        left.active = right.active = false;
        bothActive_ = false;
    } else {
        readSide(1, left);
        readSide(2, right);
        bothActive_ = left.active && right.active;
    }

    bool engineRan = false;
    if (!stuck) {
        try {
            engineTicks_ = 0;
            layoutPass(left.carry + int(left.readCount), right.carry + int(right.readCount));
            engineRan = true;
            if (access::FZResetAbort()) AbortBinaryCompare();
            bytesDone_ += std::min(left.readCount, right.readCount);
            BinaryCompareProgress(0);
        } catch (const std::exception& e) {
            QString text;
            const int code = codeOfException(e, text);
            failPass(code, text);
        } catch (...) {
            failPass(access::errInvalidFunction, QString());
        }
    }
    left.carry = right.carry = 0;

    if (errorFlag_) {
        // The pass was not laid out whole: its rows stay as they are and its
        // counts are not taken.
        engineRan = false;
    } else if (bothActive_) {
        cutBack();
    }
    left.passStart = left.current;
    right.passStart = right.current;

    if (engineRan) {
        engine::DiffStatistics stats;
        engine.GetDiffStatistics(stats);
        BinaryDiffTotals.Modified += stats.Modifies;
        BinaryDiffTotals.Added += stats.Adds;
        BinaryDiffTotals.Deleted += stats.Deletes;
    }

    if (abortRequested_) {
        emitMessageRow(QStringLiteral("==> Aborted by User <=="));
    } else if (errorFlag_) {
        const QString text = errorCode_ ? access::FZErrorText(-errorCode_, access::eoRead) : errorText_;
        emitMessageRow(QStringLiteral("==> ") + text + QStringLiteral(" <=="));
        stop_ = true;
        if (config::AppSettings().ESErrorBox) {
            if (errorCode_)
                access::FZErrorText(errorCode_, access::eoRead);
            else
                config::showMessage(QStringLiteral("Error"), text, config::MsgKind::Error);
        }
    }
    engine.DiffClear();
    adaptBlockSize();
    return !errorFlag_;
}

void CompareBin::failPass(int code, const QString& text) {
    errorFlag_ = true;
    errorCode_ = code;
    errorText_ = text;
}

void CompareBin::readSide(int pane, Side& side) {
    side.readCount = 0;
    if (!side.active) return;
    auto& st = paneStores();
    qint64 done = 0;
    const int r = access::FZRead(st.SideSlots[size_t(pane)], side.buffer.data() + side.carry,
                                 blockSize_ - side.carry, done);
    st.FileErrors[size_t(pane)] = r;
    side.readCount = done;
    side.active = r == 0 && side.carry + done == blockSize_;
}

namespace {

constexpr int kCompareChunk = 4096;

// Length of the common head of a and b, both n bytes long.
int commonHead(const quint8* a, const quint8* b, int n) {
    int p = 0;
    while (n - p >= kCompareChunk && std::memcmp(a + p, b + p, kCompareChunk) == 0) p += kCompareChunk;
    while (p < n && a[p] == b[p]) ++p;
    return p;
}

// Length of the common tail of a (n bytes) and b (m bytes).
int commonTail(const quint8* a, const quint8* b, int n, int m) {
    const int most = std::min(n, m);
    int s = 0;
    while (most - s >= kCompareChunk &&
           std::memcmp(a + n - s - kCompareChunk, b + m - s - kCompareChunk, kCompareChunk) == 0)
        s += kCompareChunk;
    while (s < most && a[n - s - 1] == b[m - s - 1]) ++s;
    return s;
}

}  // namespace

void CompareBin::layoutPass(int leftCount, int rightCount) {
    const quint8* l = sides_[1].buffer.data();
    const quint8* r = sides_[2].buffer.data();
    if (rightCount == 0) {
        // Only one file has bytes: no engine run, and its counters would not
        // see these cells, so the totals take them here.
        for (int i = 0; i < leftCount && !stop_; ++i) {
            deleteCell(l[i]);
            ++BinaryDiffTotals.Deleted;
        }
    } else if (leftCount == 0) {
        for (int i = 0; i < rightCount && !stop_; ++i) {
            addCell(r[i]);
            ++BinaryDiffTotals.Added;
        }
    } else {
        auto& engine = engine::diffEngine();
        const quint64 t0 = clock_.ReadTicks();
        // The engine trims the common tail first, then the common head; doing
        // the same here with memcmp leaves it only the stretch around the
        // mismatches, and equal blocks never reach it.
        const int tail = commonTail(l, r, leftCount, rightCount);
        const int head = commonHead(l, r, std::min(leftCount, rightCount) - tail);
        const int middle1 = leftCount - head - tail, middle2 = rightCount - head - tail;
        if (middle1 > 0 || middle2 > 0) {
            if (!engine.DiffBytes(l + head, r + head, middle1, middle2) && engine.DiffCancelled()) {
                abortRequested_ = stop_ = true;
            }
        } else {
            engine.DiffClear();
        }
        engineTicks_ = clock_.ReadTicks() - t0;
        for (int i = 0; i < head && !stop_; ++i) matchCell(l[i]);
        for (const engine::DiffRecord& rec : engine.records()) {
            if (stop_) break;
            switch (rec.Kind) {
                case engine::dkMatch: matchCell(quint8(rec.Element1)); break;
                case engine::dkAdd: addCell(quint8(rec.Element2)); break;
                case engine::dkDelete: deleteCell(quint8(rec.Element1)); break;
                case engine::dkModify: modifyCell(quint8(rec.Element1), quint8(rec.Element2)); break;
            }
        }
        for (int i = leftCount - tail; i < leftCount && !stop_; ++i) matchCell(l[i]);
    }
    // The last line of both files: blank the cells nobody filled.
    const bool partial = cellsLeft_ < cells_;
    if (partial && !sides_[1].active && !sides_[2].active && rowCount_ < kMaxDataRows) {
        for (int k = cells_ - cellsLeft_; k < cells_; ++k)
            for (int pane = 1; pane <= 2; ++pane) cellKinds_[pane][size_t(k)] = engine::bcBlank;
        emitLine();
    }
}

void CompareBin::matchCell(quint8 byte) {
    const auto k = size_t(cells_ - cellsLeft_);
    for (int pane = 1; pane <= 2; ++pane) {
        cellBytes_[pane][k] = byte;
        cellKinds_[pane][k] = engine::bcByte;
    }
    ++sides_[1].current;
    ++sides_[2].current;
    nextCell();
}

void CompareBin::addCell(quint8 byte) {
    const auto k = size_t(cells_ - cellsLeft_);
    cellKinds_[1][k] = engine::bcFill;
    cellBytes_[2][k] = byte;
    cellKinds_[2][k] = engine::bcByte;
    lineDiffers_ = true;
    ++sinceCheckpoint_.Added;
    ++sides_[2].current;
    nextCell();
}

void CompareBin::deleteCell(quint8 byte) {
    const auto k = size_t(cells_ - cellsLeft_);
    cellBytes_[1][k] = byte;
    cellKinds_[1][k] = engine::bcByte;
    cellKinds_[2][k] = engine::bcFill;
    lineDiffers_ = true;
    ++sinceCheckpoint_.Deleted;
    ++sides_[1].current;
    nextCell();
}

void CompareBin::modifyCell(quint8 left, quint8 right) {
    const auto k = size_t(cells_ - cellsLeft_);
    const quint8 bytes[3] = {0, left, right};
    for (int pane = 1; pane <= 2; ++pane) {
        cellBytes_[pane][k] = bytes[pane];
        cellKinds_[pane][k] = engine::bcByte;
    }
    lineDiffers_ = true;
    ++sinceCheckpoint_.Modified;
    ++sides_[1].current;
    ++sides_[2].current;
    nextCell();
}

void CompareBin::nextCell() {
    if (--cellsLeft_ == 0) emitLine();
}

void CompareBin::resetLine() {
    cellsLeft_ = cells_;
    lineDiffers_ = false;
}

void CompareBin::emitLine() {
    auto& st = paneStores();
    for (int pane = 1; pane <= 2; ++pane) {
        const Side& side = sides_[pane];
        if (offsetMode_ && side.current <= side.lineStart) continue;  // no byte here: a gap
        engine::TBinLine* item =
            st.BinaryLines[size_t(pane)].NewCells(rowCount_, cellBytes_[pane].data(), cellKinds_[pane].data(), cells_);
        item->Offset = offsetMode_ ? side.lineStart : rowCount_ + 1;
        item->Differs = lineDiffers_ ? 1 : 0;
    }
    ++rowCount_;
    for (int pane = 1; pane <= 2; ++pane) sides_[pane].lineStart = sides_[pane].current;
    if (!lineDiffers_) {
        checkpoint_ = {rowCount_, sides_[1].current, sides_[2].current};
        sinceCheckpoint_ = {};
    }
    resetLine();
    if (rowCount_ == kMaxDataRows) {
        limitRow_ = rowCount_;
        emitMessageRow(engine::kMaxEntryText);
        if (config::AppSettings().ESWarnBox)
            config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
        stop_ = true;
        bothActive_ = false;
    }
}

void CompareBin::emitMessageRow(const QString& text) {
    auto& st = paneStores();
    const QByteArray bytes = ansiText(text);
    for (int pane = 1; pane <= 2; ++pane) {
        engine::TBinLine* item = st.BinaryLines[size_t(pane)].NewText(rowCount_, bytes);
        item->Offset = -1;
        item->Differs = 0;
    }
    ++rowCount_;
}

void CompareBin::cutBack() {
    const bool applies = (lineDiffers_ && checkpoint_.row == rowCount_) ||
                         (checkpoint_.row > 0 && checkpoint_.row < rowCount_);
    if (!applies) return;
    auto& st = paneStores();
    st.FreeBinaryLines(checkpoint_.row, rowCount_, st.BinaryLines[1]);
    st.FreeBinaryLines(checkpoint_.row, rowCount_, st.BinaryLines[2]);
    rowCount_ = checkpoint_.row;
    resetLine();
    const qint64 marks[3] = {0, checkpoint_.left, checkpoint_.right};
    for (int pane = 1; pane <= 2; ++pane) {
        Side& side = sides_[pane];
        const qint64 d = marks[pane] - side.passStart;
        if (d < 0 || d >= blockSize_) continue;
        // Both sides read a full block in this pass, so the block size is
        // what the buffer holds.
        side.carry = blockSize_ - int(d);
        std::memmove(side.buffer.data(), side.buffer.data() + d, size_t(side.carry));
        side.lineStart = side.current = marks[pane];
    }
    BinaryDiffTotals.Added -= sinceCheckpoint_.Added;
    BinaryDiffTotals.Deleted -= sinceCheckpoint_.Deleted;
    BinaryDiffTotals.Modified -= sinceCheckpoint_.Modified;
}

void CompareBin::adaptBlockSize() {
    if (!bothActive_) {
        blockSize_ = kBufferSize;
        return;
    }
    if (!config::AppSettings().BCDynBufSize) return;
    const qint64 ms = qRound64(double(engineTicks_) / double(clock_.TicksPerMs));
    if (ms > 80 && blockSize_ >= 2 * kMinBlockSize) {
        const int half = blockSize_ / 2;
        // The carried bytes must fit the next block.
        if (half >= sides_[1].carry && half >= sides_[2].carry) blockSize_ = half;
    } else if (ms < 10 && blockSize_ < kStartBlockSize) {
        blockSize_ *= 2;
    }
}

void CompareBin::AbortBinaryCompare() {
    if (!running_) return;
    engine::diffEngine().DiffCancel();
    abortRequested_ = true;
    stop_ = true;
}

void CompareBin::BinaryCompareProgress(qint32 value) {
    auto& progress = config::progressSink();
    const qint64 sum = bytesDone_ + value;
    if (sum > largestShown_) {
        largestShown_ = sum;
        progress.setProgress(sum);
    }
    // Headless runs have no Cancel button to call us; their sink says so.
    if (progress.cancelRequested()) AbortBinaryCompare();
}

QString CompareBin::BinaryDiffSummary() const {
    return QStringLiteral("Mod=") + config::Int64ToGroupedStr(BinaryDiffTotals.Modified, 0, true) +
           QStringLiteral(" Add=") + config::Int64ToGroupedStr(BinaryDiffTotals.Added, 0, true) +
           QStringLiteral(" Del=") + config::Int64ToGroupedStr(BinaryDiffTotals.Deleted, 0, true);
}

CompareBin& compareBin() {
    static CompareBin unit;
    return unit;
}

}  // namespace tandex::ui
