#include "archive/archive_errors.h"
#include "archive/streams.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <set>
#include <stdexcept>

using namespace tandex::archive;

namespace {

template <typename E>
void expectText(const E& e, int32_t code, const char* text) {
    EXPECT_EQ(e.ErrorCode(), code);
    EXPECT_EQ(e.Message(), QString::fromUtf8(text));
    EXPECT_STREQ(e.what(), text);
}

}  // namespace

TEST(ArchiveErrors, FixedClassesCarryCodeAndText) {
    expectText(EArcGzipInvalid(), 200, "Invalid Gzip");
    expectText(EArcSpanningNotSupported(), 29, "Spanning not supported by this Archive type");
    expectText(EArcZipInvalidMethod(), 2, "Cannot extract file - unsupported compression method");
    expectText(EArcNoArchive(), 23, "Archive does not exist - Filename is blank");
    expectText(EArcTarBadOp(), 223, "Unsupported Operation");
    expectText(EArcNoCabinetDll(), 50, "Cannot load cabinet.dll");
    expectText(EArcReadError(), 25, "Error reading archive");
}

TEST(ArchiveErrors, FormattedClassesFillPlaceholdersInOrder) {
    expectText(EArcVMSReadFail(4096, "/tmp/VMSx1"), 104,
               "VMS: Failed to read 4096 bytes from swap file /tmp/VMSx1");
    expectText(EArcVMSWriteFail(4096, "s"), 105, "VMS: Failed to write 4096 bytes to swap file s");
    expectText(EArcVMSInvalidOrigin(3), 101, "VMS: invalid origin 3, should be 0, 1, 2");
    expectText(EArcBBSReadTooManyBytes(40000), 40, "BBS: request to read too many bytes [40000]");
    expectText(EArcVMSErrorOpenSwap("a%sb"), 102, "VMS: Cannot open swap file a%sb");
}

TEST(ArchiveErrors, ClassesBelongToTheirGroups) {
    EXPECT_THROW(throw EArcZipBadCRC(), EArcZipException);
    EXPECT_THROW(throw EArcTarInvalid(), EArcTarException);
    EXPECT_THROW(throw EArcGzipBadFileSize(), EArcGzipException);
    EXPECT_THROW(throw EArcUserAbort(), EArcException);
    EXPECT_THROW(throw EArcNoCabinetDll(), EArcCabException);
}

TEST(ArchiveErrors, EngineErrorsWrapTheirCause) {
    EXPECT_EQ(EArcInflateError("bad code").Message(),
              "Archive inflate error, possibly a corrupted compressed stream. (Internal cause: bad "
              "code)");
    EXPECT_EQ(EArcDeflateError("x").Message(), "Archive deflate error. (Internal cause: x)");
    EXPECT_EQ(EArcAbortProgress().Message(), "Process aborted by user");
}

TEST(ArchiveErrors, MessageTableHoldsEveryCodeOnceInOrder) {
    auto table = ArcMessageTable();
    ASSERT_EQ(table.size(), 67u);
    std::set<int32_t> expected;
    for (auto [lo, hi] :
         {std::pair{1, 29}, {40, 43}, {50, 64}, {80, 84}, {100, 106}, {200, 202}, {220, 223}})
        for (int c = lo; c <= hi; ++c)
            expected.insert(c);
    std::set<int32_t> got;
    for (size_t i = 0; i < table.size(); ++i) {
        got.insert(table[i].Code);
        if (i > 0) {
            EXPECT_LT(table[i - 1].Code, table[i].Code);
        }
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(ArcMessage(7), "Cannot insert file - duplicates stored name");
    EXPECT_EQ(ArcMessage(222), "Symbolic link path too long");
    EXPECT_EQ(ArcMessage(30), "");
}

TEST(ArchiveErrors, ClassifierTellsTheKindsApart) {
    struct Case {
        std::exception_ptr error;
        TArcErrorClass cls;
        int32_t code;
    };
    const Case cases[] = {
        {std::make_exception_ptr(EArcGzipBadCRC()), ecArchive, 201},
        {std::make_exception_ptr(EArcException("Path not found")), ecArchive, 0},
        {std::make_exception_ptr(StreamIoError("disk full", 112)), ecInOutError, 112},
        {std::make_exception_ptr(StreamFilerError("Stream read error")), ecFilerError, 0},
        {std::make_exception_ptr(FileOpenError("x")), ecFileOpenError, 0},
        {std::make_exception_ptr(FileCreateError("x")), ecFileCreateError, 0},
        {std::make_exception_ptr(EArcAbortProgress()), ecOther, 0},
        {std::make_exception_ptr(std::runtime_error("x")), ecOther, 0},
        {std::make_exception_ptr(42), ecOther, 0},
    };
    for (const auto& c : cases) {
        auto info = ClassifyException(c.error);
        EXPECT_EQ(info.ErrorClass, c.cls);
        EXPECT_EQ(info.ErrorCode, c.code);
    }
}

TEST(ArchiveErrors, FailedFileOpenIsAnOpenErrorNotAFilerError) {
    QTemporaryDir dir;
    try {
        FileStream s(dir.filePath("missing"), fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (...) {
        auto info = ClassifyException(std::current_exception());
        EXPECT_EQ(info.ErrorClass, ecFileOpenError);
        EXPECT_EQ(info.ErrorCode, 0);
    }
    try {
        FileStream s(dir.filePath("no/such/folder"), fmCreate);
        FAIL() << "created a file in a missing folder";
    } catch (...) {
        EXPECT_EQ(ClassifyException(std::current_exception()).ErrorClass, ecFileCreateError);
    }
}
