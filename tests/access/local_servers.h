#pragma once
// Servers the network tests start on 127.0.0.1 and stop with the object:
// a child process that prints its port as its first line.

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include <memory>

#include <unistd.h>
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

// tinyproxy in the foreground on a free port of 127.0.0.1, with basic
// authentication u/p when asked for.
class TinyProxy {
public:
    TinyProxy(const QString& folder, bool auth) {
        port_ = FreePort();
        const QString config = folder + "/tinyproxy.conf";
        QString text = QString("Port %1\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                               "LogFile \"%2/tinyproxy.log\"\nLogLevel Info\n")
                           .arg(port_)
                           .arg(folder);
        if (auth) text += "BasicAuth u p\n";
        // As root tinyproxy drops to its user, who must write the log.
        if (::geteuid() == 0) {
            text += "User nobody\nGroup nogroup\n";
            QFile::setPermissions(folder, QFile::Permissions(0x7777));  // rwx for all
        }
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(text.toUtf8());
        file.close();
        process_.start("tinyproxy", {"-d", "-c", config});
        for (int i = 0; i < 100; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
            if (probe.waitForConnected(100)) return;
            QThread::msleep(50);
        }
        port_ = 0;
    }
    ~TinyProxy() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    int port() const { return port_; }

private:
    QProcess process_;
    int port_ = 0;
};

// The cloud service's emulation (tests/access/cloud_emulator.py) over
// HTTPS with stem.pem and stem.key of folder (MakeCertificates), serving
// the files of folder/stem-root; faults are switched on with control().
class CloudEmulator {
public:
    static constexpr const char* AppKey = "appkey123";
    static constexpr const char* AppSecret = "appsecret456";

    CloudEmulator(const QString& folder, const QString& stem)
        : root_(folder + "/" + stem + "-root"), control_(folder + "/" + stem + "-control.json"),
          log_(folder + "/" + stem + "-requests.log") {
        QDir(folder).mkpath(stem + "-root");
        server_ = std::make_unique<LocalServer>(
            "/usr/bin/python3",
            QStringList{QString(TANDEX_SOURCE_DIR) + "/tests/access/cloud_emulator.py", "--root",
                        root_, "--cert", folder + "/" + stem + ".pem", "--key",
                        folder + "/" + stem + ".key", "--control", control_, "--consumer",
                        QString(AppKey) + ":" + AppSecret, "--log", log_});
    }
    int port() const { return server_->port(); }
    QString base() const { return QString("https://127.0.0.1:%1").arg(port()); }
    QString root() const { return root_; }
    bool control(const QByteArray& json) const {
        QFile f(control_);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(json) == json.size();
    }

    // The paths the emulator was asked for, in order.
    QStringList requests() const {
        QFile f(log_);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QString root_, control_, log_;
    std::unique_ptr<LocalServer> server_;
};

// The tests' Python peers (tests/access/web_server.py).
inline QStringList WebPeer(const QStringList& arguments) {
    return QStringList{QString(TANDEX_SOURCE_DIR) + "/tests/access/web_server.py"} + arguments;
}

}  // namespace tandex::testing
