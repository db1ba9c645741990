#pragma once
// The exception family of the archive library and its message table.
//
// Every failure inside the library is raised as one of these classes. Each
// class carries a fixed English text and a numeric code, so a caller can
// tell failures apart by class or by code. The stream errors at the end are
// the four kinds of failure the library's own streams raise; the classifier
// turns any caught exception into an error class and code for the per-item
// failure event.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <exception>
#include <span>

namespace tandex::archive {

// The general exception of the library: a message and nothing else.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& Message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

class EArcException : public Exception {
public:
    explicit EArcException(QString message, int32_t errorCode = 0);
    int32_t ErrorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};

// Groups of the format-specific failures; they add nothing.
class EArcZipException : public EArcException {
public:
    using EArcException::EArcException;
};
class EArcCabException : public EArcException {
public:
    using EArcException::EArcException;
};
class EArcTarException : public EArcException {
public:
    using EArcException::EArcException;
};
class EArcGzipException : public EArcException {
public:
    using EArcException::EArcException;
};

#define TANDEX_ARC_ERROR(Name, Parent, Code)   \
    class Name : public Parent {               \
    public:                                    \
        static constexpr int32_t Code_ = Code; \
        Name();                                \
    };

TANDEX_ARC_ERROR(EArcZipVersion, EArcZipException, 1)
TANDEX_ARC_ERROR(EArcZipInvalidMethod, EArcZipException, 2)
TANDEX_ARC_ERROR(EArcZipNoExtraction, EArcZipException, 3)
TANDEX_ARC_ERROR(EArcZipInvalidPassword, EArcZipException, 4)
TANDEX_ARC_ERROR(EArcZipNoInsertion, EArcZipException, 5)
TANDEX_ARC_ERROR(EArcZipInvalidFactor, EArcZipException, 6)
TANDEX_ARC_ERROR(EArcUserAbort, EArcException, 9)
TANDEX_ARC_ERROR(EArcZipBadSpanStream, EArcZipException, 11)
TANDEX_ARC_ERROR(EArcZipSpanOverwrite, EArcZipException, 12)
TANDEX_ARC_ERROR(EArcNoSuchDirectory, EArcException, 15)
TANDEX_ARC_ERROR(EArcBadStream, EArcException, 17)
TANDEX_ARC_ERROR(EArcZipBadCRC, EArcZipException, 19)
TANDEX_ARC_ERROR(EArcFileNotFound, EArcException, 21)
TANDEX_ARC_ERROR(EArcZipInvalidLFH, EArcZipException, 22)
TANDEX_ARC_ERROR(EArcNoArchive, EArcException, 23)
TANDEX_ARC_ERROR(EArcZipInvalid, EArcZipException, 24)
TANDEX_ARC_ERROR(EArcReadError, EArcZipException, 25)
TANDEX_ARC_ERROR(EArcUnhandledType, EArcException, 28)
TANDEX_ARC_ERROR(EArcSpanningNotSupported, EArcException, 29)
TANDEX_ARC_ERROR(EArcBBSSeekOutsideBuffer, EArcZipException, 41)
TANDEX_ARC_ERROR(EArcBBSInvalidOrigin, EArcZipException, 42)
TANDEX_ARC_ERROR(EArcNoCabinetDll, EArcCabException, 50)
TANDEX_ARC_ERROR(EArcGzipInvalid, EArcGzipException, 200)
TANDEX_ARC_ERROR(EArcGzipBadCRC, EArcGzipException, 201)
TANDEX_ARC_ERROR(EArcGzipBadFileSize, EArcGzipException, 202)
TANDEX_ARC_ERROR(EArcTarInvalid, EArcTarException, 220)
TANDEX_ARC_ERROR(EArcTarBadFileName, EArcTarException, 221)
TANDEX_ARC_ERROR(EArcTarBadOp, EArcTarException, 223)

#undef TANDEX_ARC_ERROR

// Classes whose message formats the values they were raised with.
class EArcBBSReadTooManyBytes : public EArcZipException {
public:
    static constexpr int32_t Code_ = 40;
    explicit EArcBBSReadTooManyBytes(int64_t count);
};
class EArcVMSInvalidOrigin : public EArcZipException {
public:
    static constexpr int32_t Code_ = 101;
    explicit EArcVMSInvalidOrigin(int origin);
};
class EArcVMSErrorOpenSwap : public EArcZipException {
public:
    static constexpr int32_t Code_ = 102;
    explicit EArcVMSErrorOpenSwap(const QString& swapFileName);
};
class EArcVMSSeekFail : public EArcZipException {
public:
    static constexpr int32_t Code_ = 103;
    explicit EArcVMSSeekFail(const QString& swapFileName);
};
class EArcVMSReadFail : public EArcZipException {
public:
    static constexpr int32_t Code_ = 104;
    EArcVMSReadFail(int64_t count, const QString& swapFileName);
};
class EArcVMSWriteFail : public EArcZipException {
public:
    static constexpr int32_t Code_ = 105;
    EArcVMSWriteFail(int64_t count, const QString& swapFileName);
};

// Raised when a compression or expansion progress handler asks to stop.
class EArcAbortProgress : public Exception {
public:
    EArcAbortProgress();
};

// The deflate engine's own failures. The internal ones carry only a short
// cause; the engine's entry points turn them into the two public classes,
// whose texts wrap that cause.
class EArcPartSizedInflate : public Exception {
public:
    EArcPartSizedInflate();
};
class EArcInternalInflateError : public Exception {
public:
    explicit EArcInternalInflateError(const QString& cause);
};
class EArcInternalDeflateError : public Exception {
public:
    explicit EArcInternalDeflateError(const QString& cause);
};
class EArcInflateError : public Exception {
public:
    explicit EArcInflateError(const QString& cause);
};
class EArcDeflateError : public Exception {
public:
    explicit EArcDeflateError(const QString& cause);
};

// The failures of the library's streams. An I/O error carries the
// platform's result code (Windows numbering: 2 not found, 5 access denied,
// 112 disk full, ...); a filer error is a short read or write; opening and
// creating a file fail with their own classes.
class StreamError : public Exception {
public:
    using Exception::Exception;
};
class StreamIoError : public StreamError {
public:
    StreamIoError(QString message, int32_t errorCode);
    int32_t ErrorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};
class StreamFilerError : public StreamError {
public:
    using StreamError::StreamError;
};
class FileOpenError : public StreamError {
public:
    using StreamError::StreamError;
};
class FileCreateError : public StreamError {
public:
    using StreamError::StreamError;
};

// The message table: every code the library knows, with its text
// (placeholders unformatted), in ascending order of code.
struct ArcStrRec {
    int32_t Code;
    const char* Message;
};
std::span<const ArcStrRec> ArcMessageTable();
// The text of a code; empty when the table has none.
QString ArcMessage(int32_t code);

enum TArcErrorClass : uint8_t {
    ecArchive = 0,
    ecInOutError = 1,
    ecFilerError = 2,
    ecFileCreateError = 3,
    ecFileOpenError = 4,
    ecCabError = 5,
    ecOther = 6,
};

enum TArcProcessType : uint8_t {
    ptAdd = 0,
    ptDelete = 1,
    ptExtract = 2,
    ptFreshen = 3,
    ptMove = 4,
    ptReplace = 5,
    ptFoundUnhandled = 6,
};

struct ArcErrorInfo {
    TArcErrorClass ErrorClass = ecOther;
    int32_t ErrorCode = 0;
};

// The class and code of a caught exception, for the failure event.
// Use inside a catch block: ClassifyException(std::current_exception()).
ArcErrorInfo ClassifyException(std::exception_ptr error);

}  // namespace tandex::archive
