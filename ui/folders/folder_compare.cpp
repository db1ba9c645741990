#include "ui/folders/folder_compare.h"

#include "config/app_settings.h"
#include "config/sys_helpers.h"

#include <algorithm>
#include <limits>

namespace tandex::folders {

namespace {

// Bits of the attribute word that the more-filters panel judges.
constexpr quint32 kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kArchive = 0x20;

// choice 0 ignores the bit, 1 excludes entries that have it, 2 those that
// lack it.
void applyChoice(int choice, quint32 bit, quint32& mask, quint32& wanted) {
    if (choice == 1) mask |= bit;
    if (choice == 2) {
        mask |= bit;
        wanted |= bit;
    }
}

}  // namespace

qint64 FilterSizeBytes(int value, int unit) {
    // A unit outside the list, as only a damaged settings file can hold,
    // counts as the largest.
    qint64 bytes = value;
    for (int i = 0; i < std::clamp(unit, 0, 4); ++i) {
        // Wrapping would turn a huge limit into a negative one and filter
        // the wrong files.
        if (__builtin_mul_overflow(bytes, qint64(1024), &bytes))
            return value < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    }
    return bytes;
}

TFolderCompareState& FolderCompare() {
    static TFolderCompareState state;
    return state;
}

void TPreScanReport::AddUnlisted(const QString& path, int code) {
    std::lock_guard lock(mutex_);
    unlisted_.push_back({path, code});
}

std::vector<TUnlistedFolder> TPreScanReport::Unlisted() const {
    std::lock_guard lock(mutex_);
    return unlisted_;
}

void TPreScanReport::Clear() {
    std::lock_guard lock(mutex_);
    unlisted_.clear();
    cut_.store(false);
}

bool TFolderFilter::SizeAndTimePass(qint64 size, access::FileTime time) const {
    const qint64 t = qint64(time);
    if (ExclSmaller && size < SmallerThan) return false;
    if (ExclLarger && size > LargerThan) return false;
    if (ExclOlder && t < OlderThan) return false;
    if (ExclNewer && t > NewerThan) return false;
    return true;
}

std::shared_ptr<const TFolderFilter> MakeFolderFilter(const QString& includeMasks,
                                                      const QString& excludeMasks,
                                                      const QString& excludedFolders) {
    const config::TAppSettings& s = config::AppSettings();
    auto f = std::make_shared<TFolderFilter>();
    f->Masks.set(includeMasks, excludeMasks, excludedFolders);

    applyChoice(s.FCExclArchive, kArchive, f->FileMask, f->FileWanted);
    applyChoice(s.FCExclRdOnlyF, kReadOnly, f->FileMask, f->FileWanted);
    applyChoice(s.FCExclHiddenF, kHidden, f->FileMask, f->FileWanted);
    applyChoice(s.FCExclSystemF, kSystem, f->FileMask, f->FileWanted);
    applyChoice(s.FCExclRdOnlyD, kReadOnly, f->FolderMask, f->FolderWanted);
    applyChoice(s.FCExclHiddenD, kHidden, f->FolderMask, f->FolderWanted);
    applyChoice(s.FCExclSystemD, kSystem, f->FolderMask, f->FolderWanted);

    f->ExclSmaller = s.FCExclSmaller;
    f->ExclLarger = s.FCExclLarger;
    if (f->ExclSmaller) f->SmallerThan = FilterSizeBytes(s.FCSmaller, s.FCSmallerUnit);
    if (f->ExclLarger) f->LargerThan = FilterSizeBytes(s.FCLarger, s.FCLargerUnit);

    f->ExclOlder = s.FCExclOlder;
    f->ExclNewer = s.FCExclNewer;
    f->OlderThan = s.FCOlderTS;
    f->NewerThan = s.FCNewerTS;
    if (s.FCUseDaysAgo) {
        if (f->ExclOlder) f->OlderThan = config::FileTimeDaysAgoUtc(s.FCOlderDays);
        if (f->ExclNewer) f->NewerThan = config::FileTimeDaysAgoUtc(s.FCNewerDays);
    }
    // A limit is picked to the second while file systems keep fractions: a
    // file stamped within half a second of it counts as stamped at it.
    f->OlderThan -= 5'000'000;
    f->NewerThan += 4'999'999;
    return f;
}

}  // namespace tandex::folders
