#include "archive/archive_errors.h"

#include <algorithm>
#include <array>

namespace tandex::archive {

namespace {

// Kept sorted by code: ArcMessage searches it by halves.
constexpr std::array<ArcStrRec, 67> kMessages{{
    {1, "Cannot extract file - newer version required"},
    {2, "Cannot extract file - unsupported compression method"},
    {3, "Cannot extract file - no extraction support provided"},
    {4, "Cannot extract file - invalid password"},
    {5, "Cannot insert file - no insertion support provided"},
    {6, "Invalid Reduce Factor"},
    {7, "Cannot insert file - duplicates stored name"},
    {8, "Cannot insert file - unsupported compression method"},
    {9, "Process aborted by user"},
    {10, "Archive is busy - cannot process new requests"},
    {11, "Spanned archives must be opened as file streams"},
    {12, "Cannot update an existing spanned disk set"},
    {13, "Cannot make a self-extracting spanned disk set"},
    {14, "Stream write error"},
    {15, "Directory does not exist"},
    {16, "Cannot inflate block"},
    {17, "Invalid Stream"},
    {18, "Error truncating Zip File"},
    {19, "Failed CRC Check"},
    {20, "Stub must be an executable"},
    {21, "File not found"},
    {22, "Invalid Local File Header entry"},
    {23, "Archive does not exist - Filename is blank"},
    {24, "Invalid file - not a PKZip file"},
    {25, "Error reading archive"},
    {26, "Invalid archive item index"},
    {27, "Invalid archive size threshold"},
    {28, "Unhandled Archive Type"},
    {29, "Spanning not supported by this Archive type"},
    {40, "BBS: request to read too many bytes [%d]"},
    {41, "BBS: New position is outside the buffer"},
    {42, "BBS: Invalid Origin value"},
    {43, "BBS: request to write too many bytes [%d]"},
    {50, "Cannot load cabinet.dll"},
    {51, "FCI cannot open file"},
    {52, "FCI cannot read file"},
    {53, "FCI cannot write file"},
    {54, "FCI close file error"},
    {55, "FCI file seek error"},
    {56, "FCI file delete error"},
    {57, "FCI cannot add file"},
    {58, "FCI cannot create context"},
    {59, "FCI cannot flush cabinet"},
    {60, "FCI cannot flush folder"},
    {61, "FDI cannot enumerate files"},
    {62, "FDI cannot create context"},
    {63, "Invalid cab file template"},
    {64, "Invalid file - not a cabinet file"},
    {80, "TArcSlidingWindowStream.Write: Not at end of stream"},
    {81, "TArcSlidingWindowStream.bsWriteChunk: seek failed"},
    {82, "TArcSlidingWindowStream.bsWriteChunk: write failed"},
    {83, "TArcSlidingWindowStream.Seek: invalid origin"},
    {84, "TArcSlidingWindowStream.Seek: invalid new position"},
    {100, "VMS: request to read too many bytes [%d]"},
    {101, "VMS: invalid origin %d, should be 0, 1, 2"},
    {102, "VMS: Cannot open swap file %s"},
    {103, "VMS: Failed to seek in swap file %s"},
    {104, "VMS: Failed to read %d bytes from swap file %s"},
    {105, "VMS: Failed to write %d bytes to swap file %s"},
    {106, "VMS: request to write too many bytes [%d]"},
    {200, "Invalid Gzip"},
    {201, "Bad CRC"},
    {202, "Bad File Size"},
    {220, "Invalid Tar"},
    {221, "File name too long"},
    {222, "Symbolic link path too long"},
    {223, "Unsupported Operation"},
}};

// Fills the placeholders of a table text in order: each "%d" or "%s" takes
// the next argument. The texts hold no other "%".
QString formatMessage(int32_t code, std::initializer_list<QString> args) {
    const QString pattern = ArcMessage(code);
    QString out;
    auto next = args.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == u'd' || pattern[i + 1] == u's') && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

QString num(int64_t n) {
    return QString::number(n);
}

}  // namespace

Exception::Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

EArcException::EArcException(QString message, int32_t errorCode)
    : Exception(std::move(message)), errorCode_(errorCode) {}

std::span<const ArcStrRec> ArcMessageTable() {
    return kMessages;
}

QString ArcMessage(int32_t code) {
    auto it = std::lower_bound(kMessages.begin(), kMessages.end(), code,
                               [](const ArcStrRec& r, int32_t c) { return r.Code < c; });
    if (it == kMessages.end() || it->Code != code) return {};
    return QString::fromLatin1(it->Message);
}

#define TANDEX_ARC_ERROR_DEF(Name, Parent) \
    Name::Name() : Parent(ArcMessage(Code_), Code_) {}

TANDEX_ARC_ERROR_DEF(EArcZipVersion, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipInvalidMethod, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipNoExtraction, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipInvalidPassword, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipNoInsertion, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipInvalidFactor, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcUserAbort, EArcException)
TANDEX_ARC_ERROR_DEF(EArcZipBadSpanStream, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcZipSpanOverwrite, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcNoSuchDirectory, EArcException)
TANDEX_ARC_ERROR_DEF(EArcBadStream, EArcException)
TANDEX_ARC_ERROR_DEF(EArcZipBadCRC, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcFileNotFound, EArcException)
TANDEX_ARC_ERROR_DEF(EArcZipInvalidLFH, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcNoArchive, EArcException)
TANDEX_ARC_ERROR_DEF(EArcZipInvalid, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcReadError, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcUnhandledType, EArcException)
TANDEX_ARC_ERROR_DEF(EArcSpanningNotSupported, EArcException)
TANDEX_ARC_ERROR_DEF(EArcBBSSeekOutsideBuffer, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcBBSInvalidOrigin, EArcZipException)
TANDEX_ARC_ERROR_DEF(EArcNoCabinetDll, EArcCabException)
TANDEX_ARC_ERROR_DEF(EArcGzipInvalid, EArcGzipException)
TANDEX_ARC_ERROR_DEF(EArcGzipBadCRC, EArcGzipException)
TANDEX_ARC_ERROR_DEF(EArcGzipBadFileSize, EArcGzipException)
TANDEX_ARC_ERROR_DEF(EArcTarInvalid, EArcTarException)
TANDEX_ARC_ERROR_DEF(EArcTarBadFileName, EArcTarException)
TANDEX_ARC_ERROR_DEF(EArcTarBadOp, EArcTarException)

#undef TANDEX_ARC_ERROR_DEF

EArcBBSReadTooManyBytes::EArcBBSReadTooManyBytes(int64_t count)
    : EArcZipException(formatMessage(Code_, {num(count)}), Code_) {}

EArcVMSInvalidOrigin::EArcVMSInvalidOrigin(int origin)
    : EArcZipException(formatMessage(Code_, {num(origin)}), Code_) {}

EArcVMSErrorOpenSwap::EArcVMSErrorOpenSwap(const QString& swapFileName)
    : EArcZipException(formatMessage(Code_, {swapFileName}), Code_) {}

EArcVMSSeekFail::EArcVMSSeekFail(const QString& swapFileName)
    : EArcZipException(formatMessage(Code_, {swapFileName}), Code_) {}

EArcVMSReadFail::EArcVMSReadFail(int64_t count, const QString& swapFileName)
    : EArcZipException(formatMessage(Code_, {num(count), swapFileName}), Code_) {}

EArcVMSWriteFail::EArcVMSWriteFail(int64_t count, const QString& swapFileName)
    : EArcZipException(formatMessage(Code_, {num(count), swapFileName}), Code_) {}

EArcAbortProgress::EArcAbortProgress() : Exception(QStringLiteral("Process aborted by user")) {}

// Not a failure: it only stops a run that produced all that was asked for,
// so it carries no text.
EArcPartSizedInflate::EArcPartSizedInflate() : Exception(QString()) {}

EArcInternalInflateError::EArcInternalInflateError(const QString& cause) : Exception(cause) {}

EArcInternalDeflateError::EArcInternalDeflateError(const QString& cause) : Exception(cause) {}

EArcInflateError::EArcInflateError(const QString& cause)
    : Exception(QStringLiteral("Archive inflate error, possibly a corrupted compressed stream. "
                               "(Internal cause: ") +
                cause + u')') {}

EArcDeflateError::EArcDeflateError(const QString& cause)
    : Exception(QStringLiteral("Archive deflate error. (Internal cause: ") + cause + u')') {}

StreamIoError::StreamIoError(QString message, int32_t errorCode)
    : StreamError(std::move(message)), errorCode_(errorCode) {}

ArcErrorInfo ClassifyException(std::exception_ptr error) {
    if (!error) return {ecOther, 0};
    try {
        std::rethrow_exception(error);
    } catch (const EArcException& e) {
        return {ecArchive, e.ErrorCode()};
    } catch (const StreamIoError& e) {
        return {ecInOutError, e.ErrorCode()};
    } catch (const StreamFilerError&) {
        return {ecFilerError, 0};
    } catch (const FileOpenError&) {
        return {ecFileOpenError, 0};
    } catch (const FileCreateError&) {
        return {ecFileCreateError, 0};
    } catch (...) {
        return {ecOther, 0};
    }
}

}  // namespace tandex::archive
