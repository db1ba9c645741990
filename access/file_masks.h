#pragma once
// File-name masks: an include list, an exclude list and a folder-exclude
// list, each of at most 20 masks of at most 127 characters, separated by
// ";". "?" stands for any one character and "*" for any run; letter case
// never matters. Matching follows the program's long-standing rules rather
// than full globbing: in a mask part, everything after a "*" that follows
// matched text is ignored, so ab*cd means ab*.
//
// TFZMasks is a value, so every thread can keep its own set; FZSetMasks and
// the FZMatch functions work on the set of the user-interface thread.

#include <QString>
#include <array>

namespace tandex::access {

class TFZMasks {
public:
    static constexpr int MaxMasks = 20;
    static constexpr int MaxMaskLength = 127;

    // The include list is active unless empty, "*" or "*.*"; the other two
    // whenever they are not empty. Masks past the twentieth are ignored.
    void set(const QString& include, const QString& exclude, const QString& folders);
    // True when the name passes the include list and no exclude mask hits.
    bool matchFile(const QString& name) const;
    // ".." never passes; otherwise true unless a folder mask hits.
    bool matchFolder(const QString& name) const;

    // No name can fail the file masks, or the folder masks.
    bool passesEveryFile() const { return !include_.active && !exclude_.active; }
    bool passesEveryFolder() const { return !folders_.active; }
    int includeCount() const { return include_.count; }
    int excludeCount() const { return exclude_.count; }
    int folderCount() const { return folders_.count; }

private:
    struct List {
        bool active = false;
        int count = 0;
        std::array<QString, MaxMasks> names;       // name part, or the whole folder mask
        std::array<QString, MaxMasks> extensions;  // extension part (file lists)
    };
    static void load(List& list, const QString& text, bool split);
    static bool matchesAny(const List& list, const QString& name, qsizetype dot);

    List include_, exclude_, folders_;
};

// The user-interface thread's mask set.
void FZSetMasks(const QString& include, const QString& exclude, const QString& folders);
bool FZMatchFileMasks(const QString& name);
bool FZMatchFolderMasks(const QString& name);

}  // namespace tandex::access
