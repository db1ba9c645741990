#pragma once
// Local files made from archive members.
//
// A stored member name is hostile: it may climb out of the target folder,
// start at the root or carry control characters. MemberTargetPath is the
// one place that turns it into a path inside a folder; every local path
// made from a member name goes through it. TReplacingFile writes a local
// file the safe way: into a new file beside the target, renamed over the
// target only when everything was written, so a failure never leaves the
// target half-written.

#include "archive/streams.h"

#include <QString>
#include <memory>
#include <optional>

namespace tandex::archive {

// The member's name as a relative path ("/"-separated) below a folder:
// "/" and "\" both separate; empty, "." and ".." components and a leading
// separator are dropped. A NUL or another control character refuses the
// name (nullopt), as does a name that leaves nothing.
std::optional<QString> MemberRelativePath(const QString& storedName);
// folder + "/" + the relative path; nullopt as above.
std::optional<QString> MemberTargetPath(const QString& folder, const QString& storedName);

class TReplacingFile {
public:
    // Creates the new file (mode 0600, exclusively) in the target's folder,
    // without a name where the file system allows (see CreateNewFileIn); a
    // symbolic link as target is resolved to the file it names. Raises
    // FileCreateError when that fails.
    explicit TReplacingFile(const QString& target);
    // Removes the new file unless Commit succeeded.
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    Stream& Data() { return *stream_; }
    const QString& Target() const { return target_; }
    // Closes the new file, gives it the target's permission bits (or those
    // of a newly created file) and renames it over the target. Raises
    // StreamIoError when the rename fails; the target is then untouched.
    void Commit();

private:
    QString target_;
    QString folder_;
    QString temporary_;  // empty while the new file has no name
    std::unique_ptr<FileStream> stream_;
    bool committed_ = false;
};

}  // namespace tandex::archive
