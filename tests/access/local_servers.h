#pragma once
// Servers the network tests start on 127.0.0.1 and stop with the object:
// a child process that prints its port as its first line.

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>

namespace tandex::testing {

inline bool RunShell(const QString& command, const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start("/bin/sh", {"-c", command});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A CA (stem-ca.pem) and a certificate for 127.0.0.1 signed by it
// (stem.pem, stem.key), in folder.
inline bool MakeCertificates(const QString& folder, const QString& stem) {
    const QString ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    return RunShell(
        QString("openssl req -x509 %1 -keyout %2-ca.key -out %2-ca.pem -days 2 "
                "-subj '/CN=Tandex test CA %2' "
                "-addext basicConstraints=critical,CA:TRUE "
                "-addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null && "
                "openssl req %1 -keyout %2.key -out %2.csr -subj /CN=127.0.0.1 2>/dev/null && "
                "printf 'subjectAltName=IP:127.0.0.1\\nextendedKeyUsage=serverAuth\\n' > %2.ext && "
                "openssl x509 -req -in %2.csr -CA %2-ca.pem -CAkey %2-ca.key -CAcreateserial "
                "-out %2.pem -days 2 -extfile %2.ext 2>/dev/null")
            .arg(ec, stem),
        folder);
}

// A port of 127.0.0.1 that nothing listens on (for a moment).
inline int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class LocalServer {
public:
    LocalServer(const QString& program, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(program, arguments);
        process_.setReadChannel(QProcess::StandardOutput);
        for (int i = 0; i < 200 && !process_.canReadLine(); ++i) process_.waitForReadyRead(100);
        port_ = process_.readLine().trimmed().toInt();
    }
    ~LocalServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;
    int port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

// The tests' Python peers (tests/access/web_server.py).
inline QStringList WebPeer(const QStringList& arguments) {
    return QStringList{QString(TANDEX_SOURCE_DIR) + "/tests/access/web_server.py"} + arguments;
}

}  // namespace tandex::testing
