#include "access/error_texts.h"

#include "config/os_errors.h"
#include "config/services.h"

#include <cstdlib>

namespace tandex::access {

namespace {

thread_local QString lastMessage;

const char* const opNames[] = {
    " OpenRead",    " Read",        " CloseRead",   " GetFileAttr", " FindFile",
    " CheckDrive",  " CheckDir",    " OpenWrite",   " Write",       " CloseWrite",
    " SetFileAttr", " SetFileTime", " ReName",      " Delete",      " CreateDir",
    " ChangeDir",   " Socket",      " ZIP archive", " Dropbox",     "",
};

struct CodeText {
    int code;
    const char* text;
};

const CodeText generalTexts[] = {
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
    {99991, "File is not a ZIP archive or not supported!"},
    {99993, "SFTP protocol not yet supported (but planned for next releases)"},
    {99994, "SCP protocol not yet supported"},
    {99995, "A profile for this user name and host name is not available!"},
    {99996, "Bad or missing profile data!"},
};

// Texts for the codes that only the errno table produces; the platform has
// no message table of Windows numbers to fall back on.
const CodeText errnoOnlyTexts[] = {
    {31, "A device attached to the system is not functioning"},
    {50, "The request is not supported"},
    {206, "The filename or extension is too long"},
    {223, "The file size exceeds the limit allowed and cannot be saved"},
    {1117, "The request could not be performed because of an I/O device error"},
    {1921, "The name of the file cannot be resolved by the system"},
    {10051, "The network is unreachable"},
    {10053, "The connection was aborted"},
    {10054, "The connection was reset by the remote host"},
    {10065, "The remote host is unreachable"},
};

const CodeText cloudTexts[] = {
    {401, "Bad or expired token. Please (re-)grant Tandex access to Dropbox!"},
    {404, "File or folder not found at the specified path!"},
    {503, "Rate limited because of too many API requests!"},
    {507, "User is over Dropbox storage quota!"},
    {99997, "Dropbox access not granted!"},
};

const CodeText httpTexts[] = {
    {401, "Unauthorized - authentication failed!"},
    {403, "Forbidden - You don't have necessary permissions!"},
    {404, "File not found at the specified URL!"},
    {405, "Method Not Allowed"},
};

template <std::size_t N>
const char* lookUp(const CodeText (&table)[N], qint64 code) {
    for (const auto& entry : table)
        if (entry.code == code) return entry.text;
    return nullptr;
}

QString bodyText(qint64 n, int op) {
    if (op == eoDropbox) {
        if (const char* t = lookUp(cloudTexts, n)) return QString::fromUtf8(t);
    } else if (op == eoSocket && n < errInternet) {
        if (const char* t = lookUp(httpTexts, n)) return QString::fromUtf8(t);
        return QStringLiteral("Error: %1").arg(n);
    }
    if (n == errInternet || n == errArchive) return lastMessage;
    if (const char* t = lookUp(generalTexts, n)) return QString::fromUtf8(t);
    if (const char* t = lookUp(errnoOnlyTexts, n)) return QString::fromUtf8(t);
    return QStringLiteral("Error %1").arg(n);
}

QString heading(qint64 n, int op) {
    if (n < errInternet) {
        const char* name = op >= 0 && op <= eoNone ? opNames[op] : "";
        return QString::fromUtf8(name) + QStringLiteral(" Error %1: ").arg(n);
    }
    if (n == errInternet) return QStringLiteral(" Socket Error: ");
    if (n == errArchive) return QStringLiteral(" ZIP archive Error: ");
    return QString();
}

}  // namespace

QString FZErrorText(int code, int op) {
    const qint64 n = std::llabs(qint64(code));
    const QString text = bodyText(n, op);
    const QString head = heading(n, op);
    if (code > 0) config::showMessage(head, text, config::MsgKind::Warning);
    return head.mid(1) + text;
}

int FZCodeFromMessage(const QString& message) {
    QString msg = message;
    if (msg.contains(QLatin1String("SSL is not available on this")))
        msg = QStringLiteral("SSL is not available!");
    const qsizetype hash = msg.indexOf(QLatin1Char('#'));
    // The components end the number line with CR LF; a plain LF ends it too.
    qsizetype end = hash < 0 ? -1 : msg.indexOf(QLatin1Char('\r'), hash + 1);
    const qsizetype lf = hash < 0 ? -1 : msg.indexOf(QLatin1Char('\n'), hash + 1);
    if (lf >= 0 && (end < 0 || lf < end)) end = lf;
    if (hash >= 0 && end >= 0) {
        QString number = msg.mid(hash + 1, end - hash - 1);
        qsizetype lead = 0;
        while (lead < number.size() && number[lead] == QLatin1Char(' '))
            ++lead;
        number = number.mid(lead);
        bool ok = false;
        const int value = number.toInt(&ok);
        if (ok && !number.isEmpty() && number[0] != QLatin1Char('+')) return value;
    }
    lastMessage = msg;
    return -1;
}

int FZInternetCode(const QString& message) {
    const int code = FZCodeFromMessage(message);
    return code == -1 ? errInternet : code;
}

int FZArchiveCode(const QString& message) {
    const int code = FZCodeFromMessage(message);
    return code == -1 ? errArchive : code;
}

QString FZHttpErrorText(const QString& message) {
    const int code = FZCodeFromMessage(message);
    if (code == -1) return lastMessage;
    return FZErrorText(-code, eoSocket);
}

QString FZLastMessage() {
    return lastMessage;
}

void FZSetLastMessage(const QString& message) {
    lastMessage = message;
}

int FZCodeFromErrno(int err) {
    return config::ResultCodeOfErrno(err);
}

}  // namespace tandex::access
