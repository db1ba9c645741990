#include "access/error_texts.h"

#include "config/services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

using namespace tandex::access;
using namespace tandex::config;

namespace {

RecordingMessageSink& sink() {
    return dynamic_cast<RecordingMessageSink&>(messageSink());
}

}  // namespace

TEST(ErrorTexts, GeneralTableHasTheExactTexts) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, "No error"},
        {1, "Invalid function number"},
        {2, "File not found"},
        {3, "Path not found"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {6, "Invalid file handle"},
        {8, "Not Enough Memory"},
        {11, "Bad file format"},
        {12, "Invalid file access code"},
        {15, "Invalid drive number"},
        {16, "Cannot remove current directory"},
        {17, "Cannot rename across drives"},
        {18, "No more files"},
        {19, "Drive is write protected"},
        {150, "Drive is write protected"},
        {21, "Drive not ready"},
        {152, "Drive not ready"},
        {23, "Data error (cyclic redundancy check)"},
        {32, "File access denied, because it's being used by another process"},
        {38, "Reached the end of the file"},
        {53, "The network share was not found"},
        {80, "File already exists"},
        {87, "Parameters are incorrect or missing"},
        {100, "Disk read error"},
        {101, "Disk write error"},
        {102, "File not assigned"},
        {103, "File not open"},
        {104, "File not open for input"},
        {105, "File not open for output"},
        {112, "There is not enough space on the volume"},
        {123, "Wrong syntax for filename, path or drive"},
        {145, "Folder is not empty"},
        {158, "Sector not found"},
        {159, "Printer has no paper"},
        {160, "Peripheral write access failed"},
        {161, "The specified path or file is invalid"},
        {162, "Indefinite hardware error"},
        {183, "File already exist"},
        {500, "Failed to read file attributes"},
        {501, "Failed to set file attributes"},
        {615, "No Password or Password to short"},
        {1235, "Function aborted by user"},
        {1392, "The file or directory is corrupted and unreadable"},
        {10060, "Connection timed out"},
        {10061, "Connection refused by the remote host"},
        {11001, "Host not found"},
        {12002, "FTP Timeout (please check port number)"},
        {12003, "File or path not found on FTP server"},
        {12007, "The server name could not be resolved"},
        {12014, "Incorrect Password or Username"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FZErrorText(-c.code, eoNone), QStringLiteral("Error %1: ").arg(c.code) + c.text)
            << c.code;

    const Case own[] = {
        {99991, "File is not a ZIP archive or not supported!"},
        {99993, "SFTP protocol not yet supported (but planned for next releases)"},
        {99994, "SCP protocol not yet supported"},
        {99995, "A profile for this user name and host name is not available!"},
        {99996, "Bad or missing profile data!"},
    };
    for (const auto& c : own)
        EXPECT_EQ(FZErrorText(-c.code, eoOpenRead), c.text) << c.code;
}

TEST(ErrorTexts, HeadingsByOperation) {
    const char* names[] = {"OpenRead", "Read",       "CloseRead",   "GetFileAttr",
                           "FindFile", "CheckDrive", "CheckDir",    "OpenWrite",
                           "Write",    "CloseWrite", "SetFileAttr", "SetFileTime",
                           "ReName",   "Delete",     "CreateDir",   "ChangeDir"};
    for (int op = 0; op < 16; ++op)
        EXPECT_EQ(FZErrorText(-3, op), QStringLiteral("%1 Error 3: Path not found").arg(names[op]));
    EXPECT_EQ(FZErrorText(-3, eoZipArchive), "ZIP archive Error 3: Path not found");
    EXPECT_EQ(FZErrorText(-3, 99), "Error 3: Path not found");
}

TEST(ErrorTexts, PositiveCodeShowsWarningCaptionedWithHeading) {
    sink().clear();
    EXPECT_EQ(FZErrorText(-2, eoOpenRead), "OpenRead Error 2: File not found");
    EXPECT_TRUE(sink().messages().empty());
    EXPECT_EQ(FZErrorText(2, eoOpenRead), "OpenRead Error 2: File not found");
    const auto shown = sink().messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, " OpenRead Error 2: ");
    EXPECT_EQ(shown[0].text, "File not found");
    EXPECT_EQ(shown[0].kind, MsgKind::Warning);
}

TEST(ErrorTexts, HttpAndCloudDomains) {
    EXPECT_EQ(FZErrorText(-404, eoSocket),
              "Socket Error 404: File not found at the specified URL!");
    EXPECT_EQ(FZErrorText(-500, eoSocket), "Socket Error 500: Error: 500");
    EXPECT_EQ(FZErrorText(-401, eoSocket),
              "Socket Error 401: Unauthorized - authentication failed!");
    EXPECT_EQ(FZErrorText(-403, eoSocket),
              "Socket Error 403: Forbidden - You don't have necessary permissions!");
    EXPECT_EQ(FZErrorText(-405, eoSocket), "Socket Error 405: Method Not Allowed");
    EXPECT_EQ(
        FZErrorText(-401, eoDropbox),
        "Dropbox Error 401: Bad or expired token. Please (re-)grant Tandex access to Dropbox!");
    EXPECT_EQ(FZErrorText(-404, eoDropbox),
              "Dropbox Error 404: File or folder not found at the specified path!");
    EXPECT_EQ(FZErrorText(-503, eoDropbox),
              "Dropbox Error 503: Rate limited because of too many API requests!");
    EXPECT_EQ(FZErrorText(-507, eoDropbox),
              "Dropbox Error 507: User is over Dropbox storage quota!");
    EXPECT_EQ(FZErrorText(-99997, eoDropbox), "Dropbox access not granted!");
    // Outside the cloud domain 99997 has no text of its own.
    EXPECT_EQ(FZErrorText(-99997, eoOpenRead), "Error 99997");
    EXPECT_EQ(FZErrorText(-404, eoOpenRead), "OpenRead Error 404: Error 404");
}

TEST(ErrorTexts, LastMessageStandsBehindInternetAndArchiveCodes) {
    FZSetLastMessage("530 Login incorrect.");
    for (int op : {0, 16, 17, 18, 19})
        EXPECT_EQ(FZErrorText(-99990, op), "Socket Error: 530 Login incorrect.") << op;
    EXPECT_EQ(FZErrorText(-99992, eoNone), "ZIP archive Error: 530 Login incorrect.");
}

TEST(ErrorTexts, CodesFromExceptionMessages) {
    struct Case {
        const char* message;
        int code;
    };
    const Case cases[] = {
        {"Socket Error # 10061\r\nConnection refused.", 10061},
        {"Socket Error #   11001\nHost not found.", 11001},
        {"#404\r\n", 404},
        {"Socket Error # 10061", -1},      // no line break behind the number
        {"Socket Error # 10x61\r\n", -1},  // not a number
        {"Connection closed gracefully.", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FZCodeFromMessage(c.message), c.code) << c.message;

    EXPECT_EQ(FZCodeFromMessage("Connection closed gracefully."), -1);
    EXPECT_EQ(FZLastMessage(), "Connection closed gracefully.");
    EXPECT_EQ(FZInternetCode("Read timed out."), errInternet);
    EXPECT_EQ(FZArchiveCode("CRC error in item"), errArchive);
    EXPECT_EQ(FZLastMessage(), "CRC error in item");
    EXPECT_EQ(FZInternetCode("Socket Error # 10060\r\nTimed out"), 10060);
    EXPECT_EQ(FZCodeFromMessage("SSL is not available on this system."), -1);
    EXPECT_EQ(FZLastMessage(), "SSL is not available!");
    EXPECT_EQ(FZHttpErrorText("HTTP/1.1 404 Not Found #404\r\n"),
              "Socket Error 404: File not found at the specified URL!");
    EXPECT_EQ(FZHttpErrorText("Proxy refused"), "Proxy refused");
}

TEST(ErrorTexts, LastMessageIsKeptPerThread) {
    FZSetLastMessage("mine");
    QString seen;
    std::thread worker([&] {
        FZCodeFromMessage("worker failure");
        seen = FZLastMessage();
    });
    worker.join();
    EXPECT_EQ(seen, "worker failure");
    EXPECT_EQ(FZLastMessage(), "mine");
}

TEST(ErrorTexts, ErrnoMapsToWindowsNumbersThatAllHaveTexts) {
    struct Case {
        int err;
        int code;
    };
    const Case cases[] = {
        {0, 0},           {ENOENT, 2},        {ENOTDIR, 3},          {EACCES, 5},   {EPERM, 5},
        {EMFILE, 4},      {EBADF, 6},         {ENOMEM, 8},           {EXDEV, 17},   {EROFS, 19},
        {EBUSY, 32},      {EEXIST, 80},       {EINVAL, 87},          {ENOSPC, 112}, {EDQUOT, 112},
        {ENOTEMPTY, 145}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FZCodeFromErrno(c.err), c.code) << c.err;
    // Every code the table can produce reads as a message, not as a number.
    for (int err = 1; err < 134; ++err) {
        const int code = FZCodeFromErrno(err);
        const QString text = FZErrorText(-code, eoNone);
        EXPECT_FALSE(text.endsWith(QStringLiteral("Error %1").arg(code)))
            << err << " " << text.toStdString();
    }
}
