#pragma once
// Two files in a temporary folder, opened in access slots and handed to the
// binary comparison the way the loader does; progress and boxes go to
// headless sinks the tests can inspect.

#include "access/access_slots.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/diff_engine.h"
#include "engine/pane_stores.h"
#include "ui/main/compare_bin.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace tandex::ui::testing {

inline QByteArray randomBytes(int count, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray bytes(count, '\0');
    for (auto& b : bytes) b = char(gen() & 0xFF);
    return bytes;
}

// A progress sink that runs a test's action on its progress calls.
class ActionProgress : public config::SilentProgress {
public:
    std::function<void(qint64)> onProgress;
    int calls = 0;
    void setProgress(qint64 position) override {
        SilentProgress::setProgress(position);
        ++calls;
        if (onProgress) onProgress(position);
    }
};

class BinaryCompareFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        config::AppSettings() = config::TAppSettings();
        engine::paneStores().InitCompareData();
        engine::paneStores().BinaryMode = 1;
        config::setProgressSink(&progress_);
        config::setMessageSink(&messages_);
    }
    void TearDown() override {
        closeSlots();
        engine::paneStores().InitCompareData();
        engine::diffEngine().DiffClear();
        config::setProgressSink(nullptr);
        config::setMessageSink(nullptr);
    }

    // Writes the pair and opens both files as the loader would.
    void openPair(const QByteArray& left, const QByteArray& right) {
        closeSlots();
        auto& st = engine::paneStores();
        const QByteArray* data[3] = {nullptr, &left, &right};
        for (int pane = 1; pane <= 2; ++pane) {
            const QString path = dir_.filePath(pane == 1 ? QStringLiteral("left.bin") : QStringLiteral("right.bin"));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(*data[pane]), data[pane]->size());
            f.close();
            int slot = engine::kNoSlot;
            ASSERT_EQ(access::FZOpen(path, access::twReadAccess, false, slot), 0);
            st.SideSlots[size_t(pane)] = slots_[pane] = slot;
            st.FileSizes[size_t(pane)] = data[pane]->size();
            st.FileErrors[size_t(pane)] = 0;
            st.FilePaths[size_t(pane)] = path;
        }
    }
    qint32 compare(const BinaryCompareClock& clock = {}) {
        auto& st = engine::paneStores();
        return CompareBinaryFiles(st.FilePaths[1], st.FilePaths[2], clock);
    }
    // The fixture keeps its own slot numbers: resetting the stores forgets them.
    void closeSlots() {
        for (int pane = 1; pane <= 2; ++pane) {
            if (slots_[pane] != engine::kNoSlot) access::FZClose(slots_[pane]);
            slots_[pane] = engine::paneStores().SideSlots[size_t(pane)] = engine::kNoSlot;
        }
    }

    static engine::TBinLine* item(int pane, int row) { return engine::paneStores().BinaryLines[size_t(pane)][row]; }
    static int rowCount() { return engine::paneStores().MaxLineCount; }
    static QByteArray lastRowText(int pane) { return item(pane, rowCount() - 1)->HexText(); }

    int slots_[3] = {engine::kNoSlot, engine::kNoSlot, engine::kNoSlot};
    QTemporaryDir dir_;
    ActionProgress progress_;
    config::RecordingMessageSink messages_;
};

}  // namespace tandex::ui::testing
