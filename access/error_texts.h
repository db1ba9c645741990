#pragma once
// Result codes and the messages the user reads for them. Every operation
// of the access layer returns an integer code: 0 for success, the
// platform's error numbers in their Windows numbering (so that the texts
// and retry rules stay the same everywhere), the runtime input/output
// codes 100 to 105, HTTP status codes and the program's own codes from
// 99990 on.

#include <QString>

namespace tandex::access {

// The operation a heading names.
enum TFZErrorOp : int {
    eoOpenRead = 0,
    eoRead = 1,
    eoCloseRead = 2,
    eoGetFileAttr = 3,
    eoFindFile = 4,
    eoCheckDrive = 5,
    eoCheckDir = 6,
    eoOpenWrite = 7,
    eoWrite = 8,
    eoCloseWrite = 9,
    eoSetFileAttr = 10,
    eoSetFileTime = 11,
    eoReName = 12,
    eoDelete = 13,
    eoCreateDir = 14,
    eoChangeDir = 15,
    eoSocket = 16,  // also selects the HTTP texts
    eoZipArchive = 17,
    eoDropbox = 18,  // also selects the cloud texts
    eoNone = 19,
};

// Codes of this program.
inline constexpr int errInternet = 99990;  // text: the last message
inline constexpr int errNotArchive = 99991;
inline constexpr int errArchive = 99992;  // text: the last message
inline constexpr int errSftpUnsupported = 99993;
inline constexpr int errScpUnsupported = 99994;
inline constexpr int errNoFtpProfile = 99995;
inline constexpr int errBadProfile = 99996;
inline constexpr int errCloudNotGranted = 99997;

// Windows numbers used by the access layer itself.
inline constexpr int errInvalidFunction = 1;
inline constexpr int errFileNotFound = 2;
inline constexpr int errPathNotFound = 3;
inline constexpr int errTooManyOpenFiles = 4;
inline constexpr int errAccessDenied = 5;
inline constexpr int errInvalidHandle = 6;
inline constexpr int errNotEnoughMemory = 8;
inline constexpr int errInvalidAccessCode = 12;
inline constexpr int errSharingViolation = 32;
inline constexpr int errShareNotFound = 53;
inline constexpr int errFileExists = 80;
inline constexpr int errInvalidParameter = 87;
inline constexpr int errDiskFull = 112;
inline constexpr int errInvalidName = 123;
inline constexpr int errInvalidPath = 161;
inline constexpr int errAlreadyExists = 183;
inline constexpr int errMethodNotAllowed = 405;
inline constexpr int errUserAborted = 1235;

// The message for a code, headed by the operation: "OpenRead Error 2: File
// not found". A positive code also shows the text in a warning box whose
// caption is the heading; a negative code only returns the text.
QString FZErrorText(int code, int op);

// The number behind the first "#" of an exception message ("Socket Error
// # 10061" and a line break), or -1; a message without a number becomes
// the last message.
int FZCodeFromMessage(const QString& message);
// FZCodeFromMessage with -1 turned into 99990 (internet) or 99992 (archive).
int FZInternetCode(const QString& message);
int FZArchiveCode(const QString& message);
// The last message when the message carries no number, else the HTTP text
// of the number.
QString FZHttpErrorText(const QString& message);

// The server reply or exception message behind 99990 and 99992. It is kept
// per thread, so a worker's failure never overwrites what another thread is
// about to report; a thread that waits on a worker takes the worker's
// message over with FZSetLastMessage along with its result code.
QString FZLastMessage();
void FZSetLastMessage(const QString& message);

// The result code of a platform error number (errno).
int FZCodeFromErrno(int err);

}  // namespace tandex::access
