#pragma once
// Reads the resource archive with the archive component itself, for tests
// of the resource routines and their callers that must not depend on the
// access layer reading through archive paths. Everything else goes to the
// real file access.

#include "access/ini_file_adapter.h"
#include "archive/archive_errors.h"
#include "archive/zip_kit.h"

#include <QFileInfo>
#include <memory>

namespace tandex::testing {

class ZipKitResourceAccess : public access::TIniFileAdapter {
public:
    static constexpr int kSlot = 3;

    int resets = 0;
    QString openedPath;
    QStringList readPaths;

    void ResetAbort() override { ++resets; }

    int OpenLocation(const QString& path, int& slot) override {
        openedPath = path;
        slot = 4;
        if (!path.endsWith(u'/')) return 87;
        const QString file = path.chopped(1);
        if (!QFileInfo(file).isFile()) return 3;
        kit_ = std::make_unique<archive::TArcZipKit>();
        kit_->ArchiveType = archive::ArcZip;
        kit_->ForceType = true;
        try {
            // The browser's open: existing files only, read-only.
            kit_->archive::TArcCustomZipBrowser::SetFileName(file);
        } catch (const archive::Exception&) {
            kit_.reset();
            return 99991;
        }
        slot = kSlot;
        return 0;
    }

    int ReadWholeFile(int slot, const QString& path, QByteArray& content) override {
        content.clear();
        readPaths << path;
        if (slot != kSlot || !kit_) return 6;
        if (!path.startsWith(openedPath)) return 3;
        const QString name = path.mid(openedPath.size());
        for (int i = 0; i < kit_->GetCount(); ++i) {
            if (kit_->GetItem(i)->GetFileName() != name) continue;
            archive::MemoryStream out;
            try {
                kit_->ExtractToStream(name, out);
            } catch (const archive::Exception&) {
                return 99992;
            }
            content = out.Memory();
            return 0;
        }
        return 2;
    }

    int Close(int slot) override {
        if (slot != kSlot) return access::TIniFileAdapter::Close(slot);
        kit_.reset();
        return 0;
    }

    bool IsOpen() const { return kit_ != nullptr; }

private:
    std::unique_ptr<archive::TArcZipKit> kit_;
};

}  // namespace tandex::testing
