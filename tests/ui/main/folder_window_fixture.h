#pragma once
// The offscreen main window showing the folder view of two real trees on
// disk, read into the folder-entry stores the way a comparison leaves
// them, with a double of the folder subsystem's seam.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimeZone>

#include <array>
#include <functional>
#include <map>
#include <vector>

#include "access/file_times.h"
#include "config/color_sets.h"
#include "engine/folder_rows.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/row_area.h"

namespace tandex::testing {

using namespace tandex::config;

inline QRgb rgb(quint32 bgr) { return qRgb(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

class FolderServicesDouble : public ui::FolderViewServices {
public:
    int FolderRunState() const override { return state; }
    int FolderMaxDepth() const override { return maxDepth; }
    int FolderRootKind(int pane) const override { return rootKinds[size_t(pane)]; }
    int FolderDiffCount() const override { return diffCount; }
    void SetFolderDiffCount(int count) override { diffCount = count; }
    void SwapSides() override { std::swap(rootKinds[1], rootKinds[2]); }
    bool Execute(bool showOptions, int mode) override {
        runs.push_back({showOptions, mode});
        return run ? run(mode) : false;
    }
    struct Run {
        bool showOptions;
        int mode;
    };
    int state = 0;
    int maxDepth = 3;
    int diffCount = 0;
    std::array<int, 3> rootKinds{0, 1, 1};
    std::vector<Run> runs;
    // What a run does to the stores; none leaves them as they are.
    std::function<bool(int mode)> run;
};

class FolderWindowFixture : public ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        QDir().mkpath(tmp_.filePath("bin"));
        // The icons come from the program's resource archive.
        QFile::copy(QStringLiteral(TANDEX_RESOURCE_ARCHIVE), tmp_.filePath("bin/TandexRes.zipx"));
        ui::setFolderView(&services_);
    }
    void TearDown() override {
        ui::setFolderView(nullptr);
        ComparedWindowFixture::TearDown();
        engine::folderRows().InitFolderRows();
    }

    static void write(const QString& path, const QByteArray& bytes, int secondsAfter = 0) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime(QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc()).addSecs(secondsAfter),
                      QFileDevice::FileModificationTime);
    }

    // Two small trees: equal, changed, one-sided files and folders.
    void makeTrees() {
        const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/");
        write(l + "docs/readme.txt", "same");
        write(r + "docs/readme.txt", "same");
        write(l + "docs/notes.txt", "old notes", 0);
        write(r + "docs/notes.txt", "new notes!", 3600);
        write(r + "docs/extra.txt", "only right");
        write(l + "docs/deep/inner.txt", "x");
        write(r + "docs/deep/inner.txt", "x");
        write(r + "newdir/added.txt", "right only folder");
        write(l + "src/main.cpp", "int main() {}");
        write(r + "src/main.cpp", "int main() {}");
        write(l + "src/bundle.zip", "PK");
        write(r + "src/bundle.zip", "PK");
        write(l + "top.txt", "1234", 0);
        write(r + "top.txt", "1284", 0);
    }

    // Reads both trees into the stores in tree order, as a comparison
    // leaves them: an entry absent on a side is a status record there.
    void readTrees() { readTrees(tmp_.filePath("left/"), tmp_.filePath("right/")); }
    void readTrees(const QString& left, const QString& right) {
        auto& st = engine::paneStores();
        st.ClearFolderEntries();
        st.FolderEntryCount = 0;
        const QString roots[3] = {{}, left, right};
        int index = 0;
        std::function<bool(const QString&, int)> walk = [&](const QString& rel, int depth) {
            std::map<QString, bool> names;  // name -> folder
            for (int pane = 1; pane <= 2; ++pane)
                for (const QFileInfo& fi : QDir(roots[pane] + rel).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
                    names[fi.fileName()] = names[fi.fileName()] || fi.isDir();
            bool anyDiffers = false;
            // Files first, then folders, as the comparison lists them.
            for (int pass = 0; pass < 2; ++pass)
                for (const auto& [name, folder] : names) {
                    if (folder != (pass == 1)) continue;
                    const QString path = rel + name;
                    const int entry = index++;
                    bool differs = false;
                    QFileInfo fi[3] = {{}, QFileInfo(roots[1] + path), QFileInfo(roots[2] + path)};
                    if (folder) {
                        for (int pane = 1; pane <= 2; ++pane)
                            st.SetFolderEntryFolder(depth, entry, 0x10, st.FolderEntries[size_t(pane)], path,
                                                    fi[pane].exists() ? tandex::access::FZDateTimeToFileTime(fi[pane].lastModified()) : 0);
                        differs = walk(path + "/", depth + 1) || !fi[1].exists() || !fi[2].exists();
                    } else {
                        for (int pane = 1; pane <= 2; ++pane) {
                            if (fi[pane].exists())
                                st.SetFolderEntryFile(entry, 0x20, path, st.FolderEntries[size_t(pane)], fi[pane].size(),
                                                      tandex::access::FZDateTimeToFileTime(fi[pane].lastModified()));
                            else
                                st.SetFolderEntryStatus(entry, 2, path, st.FolderEntries[size_t(pane)]);
                        }
                        differs = !fi[1].exists() || !fi[2].exists() || fi[1].size() != fi[2].size() ||
                                  fi[1].lastModified() != fi[2].lastModified();
                    }
                    st.FolderEntryCount = index;
                    engine::folderRows().SetFolderEntryDiffers(entry, differs);
                    anyDiffers = anyDiffers || differs;
                }
            return anyDiffers;
        };
        walk(QString(), 0);
        st.FolderRoots[1] = roots[1];
        st.FolderRoots[2] = roots[2];
    }

    ui::TF_Main& showTrees(bool tree = true) {
        makeTrees();
        return showWrittenTrees(tree);
    }

    // Shows the trees a test wrote under left/ and right/.
    ui::TF_Main& showWrittenTrees(bool tree = true) {
        ui::TF_Main& w = makeWindow();
        auto& s = AppSettings();
        s.FCShowSize = s.FCShowDT = s.FCShowAttr = true;
        s.FCTreeView = tree;
        auto& set = s.ColorSets[size_t(s.COSetIdx)];
        set[TextBgCol] = 0xFFFFFF;
        set[AddBgCol] = 0xC0FFC0;
        set[DelBgCol] = 0xC0C0FF;
        set[ModFldBgCol] = 0xE0E0FF;
        readTrees();
        engine::paneStores().FolderMode = 1;
        engine::folderRows().UpdateInfoColumns();
        engine::folderRows().RebuildFolderRows();
        if (tree) engine::folderRows().OpenAllFolders();
        w.switchView(ui::vtFolder, false, false);
        w.updateRowRange();
        return w;
    }

    QImage grab(const QString& name) {
        window_->invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
        tandex::testing::GrabToPng(window_.get(), QStringLiteral("MainWindowFolderView.") + name);
        QImage image = window_->grab().toImage();
        return image;
    }

    static int rowOfPath(const QString& path) {
        for (int row = 0; row < engine::paneStores().VisibleRowCount(); ++row)
            for (int pane = 1; pane <= 2; ++pane)
                if (engine::folderRows().FolderRowPath(pane, row) == path) return row;
        return -1;
    }

    // A pixel of a row's cell near its right end, where neither name nor
    // info text reaches; window coordinates.
    QRgb cellPixel(const QImage& image, int pane, int row) const {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const int x = pane == 1 ? g.columnEdges[5] - 3 : g.rightEdge - 3;
        const int y = g.paneTop + (row - window_->topRow(ui::vtFolder) + 1) * window_->LineHeight() + 1;
        return image.pixel(window_->RowArea()->mapTo(window_.get(), QPoint(x, y) - window_->RowArea()->pos()));
    }

    // Differences hidden two deep and behind the last folder:
    // first.txt, outer/{same.txt, inner/{x.txt, y.txt}}, zeta/{a.txt, b.txt, c.txt};
    // x.txt is newer on the right.
    ui::TF_Main& showNavTrees() {
        const QString l = tmp_.filePath("left/"), r = tmp_.filePath("right/");
        for (const char* same : {"first.txt", "outer/same.txt", "zeta/b.txt"}) {
            write(l + same, "same");
            write(r + same, "same");
        }
        write(l + "outer/inner/x.txt", "x");
        write(r + "outer/inner/x.txt", "xx", 60);
        for (const char* changed : {"outer/inner/y.txt", "zeta/a.txt", "zeta/c.txt"}) {
            write(l + changed, "1");
            write(r + changed, "22");
        }
        ui::TF_Main& w = showWrittenTrees();
        closeAll();
        return w;
    }

    void closeAll() {
        engine::folderRows().CloseAllFolders();
        window_->updateRowRange();
        engine::editor().Caret.Row = 0;
    }

    // A point on a row of a pane, dx pixels right of the pane's text x.
    QPoint rowPoint(int pane, int row, int dx) const {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const int lh = window_->LineHeight();
        return {(pane == 1 ? g.leftTextX : g.rightTextX) + dx,
                g.paneTop + (row - window_->topRow(ui::vtFolder) + 1) * lh + lh / 2};
    }

    void click(int row, Qt::KeyboardModifiers shift = Qt::NoModifier, int dx = -1) {
        const ui::TLayoutGeometry& g = window_->Geometry();
        const QPoint p = rowPoint(1, row, dx >= 0 ? dx : (g.splitX - g.leftTextX) / 2);
        window_->FormMouseDown(window_->RowArea(), Qt::LeftButton, shift, p.x(), p.y());
        window_->FormMouseUp(window_->RowArea(), Qt::LeftButton, shift, p.x(), p.y());
    }

    static std::vector<int> selectedRows() {
        std::vector<int> rows;
        for (int row = 0; row < engine::folderRows().FolderRowCount; ++row)
            if (engine::folderRows().IsFolderRowSelected(row)) rows.push_back(row);
        return rows;
    }

    FolderServicesDouble services_;
};

}  // namespace tandex::testing
