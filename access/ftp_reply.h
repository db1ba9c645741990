#pragma once
// Replies of an FTP server and the failures of the FTP client. A reply is
// read whole: its lines, multi-line ones included, with each line bounded
// (8 KB) and the whole reply bounded (64 KB), since the server's words are
// hostile input like any other. The numbers a reply carries for a data
// connection (PASV, EPSV) and its feature list (FEAT) are read here too.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <stdexcept>

class QIODevice;

namespace tandex::access {

inline constexpr int FZFtpMaxLine = 8192;
inline constexpr int FZFtpMaxReply = 65536;

// A failure of the FTP client with the result code the slot reports:
// 99990 (the message becomes the last message), a socket error number
// (10054, 10060, 10061, 11001), 123 for an argument that would inject a
// command, 1235 for an abort.
class EFtpError : public std::runtime_error {
public:
    EFtpError(int code, const QString& message)
        : std::runtime_error(message.toStdString()), code_(code), message_(message) {}
    int code() const { return code_; }
    const QString& message() const { return message_; }

private:
    int code_;
    QString message_;
};

struct TFtpReply {
    int code = 0;
    QStringList lines;  // as sent, without line ends
    // The reply as the user reads it: its lines joined by CR.
    QString text() const { return lines.join(QLatin1Char('\r')); }
    // The lines between the first and the last, left-trimmed (FEAT, HELP).
    QStringList innerLines() const;
    bool positive() const { return code >= 100 && code < 400; }
};

// Reads one reply. cancelled is polled while waiting (EFtpError 1235);
// an ending connection gives 10054, the time-out 10060, a reply that
// breaks the limits or the form 99990.
TFtpReply FZReadFtpReply(QIODevice& io, int timeoutMs,
                         const std::function<bool()>& cancelled = {});

// The port of a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" reply
// (the address is ignored: the data connection goes to the control
// connection's server), or of a "229 ... (|||port|)" reply; false when the
// text holds no valid port.
bool FZParsePasvPort(const QString& text, quint16& port);
bool FZParseEpsvPort(const QString& text, quint16& port);

// Whether a FEAT list names a feature (its first word, any case).
bool FZFtpHasFeature(const QStringList& features, const QString& name);
// The facts a FEAT list offers for MLST ("type*;size;unique;"), lower case.
QStringList FZFtpMlstFacts(const QStringList& features);

}  // namespace tandex::access
