#include "access/access_slots.h"
#include "cloud_scan_fuzz_check.h"
#include "local_servers.h"
#include "access/cloud_client.h"
#include "access/error_texts.h"
#include "access/http_requests.h"
#include "config/num_format.h"
#include "config/services.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>

#include <memory>
#include <thread>

using namespace tandex::access;
using tandex::config::MessageRequest;

namespace {

constexpr const char* kAppKey = tandex::testing::CloudEmulator::AppKey;
constexpr const char* kAppSecret = tandex::testing::CloudEmulator::AppSecret;
using Emulator = tandex::testing::CloudEmulator;

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "cloud_client_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

class AnsweringSink : public tandex::config::MessageSink {
public:
    explicit AnsweringSink(int answer) : answer_(answer) {}
    int showMessage(const MessageRequest& request) override {
        asked.push_back(request);
        return answer_;
    }
    std::vector<MessageRequest> asked;

private:
    int answer_;
};

QByteArray randomBytes(int size) {
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data) c = char(QRandomGenerator::global()->bounded(256));
    return data;
}

void writeFile(const QString& name, const QByteArray& data) {
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class CloudClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        app();
        dir_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(tandex::testing::MakeCertificates(dir_->path(), "trusted"));
        ASSERT_TRUE(tandex::testing::MakeCertificates(dir_->path(), "unknown"));
        FZAddCaCertificates(QSslCertificate::fromPath(dir_->path() + "/trusted-ca.pem"));
        emulator_ = std::make_unique<Emulator>(dir_->path(), "trusted");
        ASSERT_GT(emulator_->port(), 0);
    }
    static void TearDownTestSuite() {
        emulator_.reset();
        dir_.reset();
    }

    void SetUp() override {
        emulator_->control("{}");
        QDir(emulator_->root()).removeRecursively();
        QDir().mkpath(emulator_->root());
        client_.SetAppKey(kAppKey);
        client_.SetAppSecret(kAppSecret);
        client_.SetEndpoints(endpointsAt(emulator_->base()));
        FZSetLastMessage(QString());
    }
    void TearDown() override {
        tandex::config::setMessageSink(nullptr);
        FZForgetTrustedCertificates();
        FZForceSslUnavailable(false);
        FZSetHttpStallTimeout(0);
    }

    static TDropboxEndpoints endpointsAt(const QString& base) {
        TDropboxEndpoints e;
        e.api = e.content = e.authorize = base;
        return e;
    }

    // The whole login: request token, the user's visit to the
    // authorization address, access token.
    int login() {
        if (const int r = client_.RequestToken()) return r;
        THttpRequest visit;
        visit.url = QUrl(client_.AuthorizeUrl());
        if (const int r = FZHttpRun(visit).code) return r;
        return client_.AccessToken();
    }

    QString root() const { return emulator_->root(); }

    static std::unique_ptr<QTemporaryDir> dir_;
    static std::unique_ptr<Emulator> emulator_;
    TDropbox1 client_;
};

std::unique_ptr<QTemporaryDir> CloudClient::dir_;
std::unique_ptr<Emulator> CloudClient::emulator_;

}  // namespace

TEST_F(CloudClient, LoginSignsEachStepAndShowsTheAccount) {
    ASSERT_EQ(client_.RequestToken(), 0) << FZLastMessage().toStdString();
    const TOAuthToken request = client_.Token();
    EXPECT_EQ(request.Key.size(), 16);
    const QString authorize = client_.AuthorizeUrl();
    EXPECT_TRUE(authorize.startsWith(emulator_->base() + "/1/oauth/authorize?oauth_token=" +
                                     request.Key + "&oauth_consumer_key=appkey123&"))
        << authorize.toStdString();
    // Not authorized yet: the service refuses the access token.
    EXPECT_EQ(client_.AccessToken(), 401);
    THttpRequest visit;
    visit.url = QUrl(authorize);
    const THttpResult page = FZHttpRun(visit);
    ASSERT_EQ(page.code, 0);
    EXPECT_TRUE(page.answer.contains("Authorized"));
    ASSERT_EQ(client_.AccessToken(), 0);
    EXPECT_NE(client_.Token().Key, request.Key);

    QString text;
    ASSERT_EQ(client_.AccountInfo(text), 0);
    tandex::config::SetSizeDecimalChar(QLatin1Char('.'));
    EXPECT_EQ(text,
              "Name:    Test User\rUserID:  12345\rCountry: DE\rE-Mail:  test@example.org\r\r"
              "Total dropbox size:          " + tandex::config::FormatSizeShort(2147483648u) +
                  "\rUsed in shared folders:      " + tandex::config::FormatSizeShort(1536) +
                  "\rUsed outside shared folders: " + tandex::config::FormatSizeShort(5242880) +
                  "\rUsed in Datastores:          " + tandex::config::FormatSizeShort(0));
    EXPECT_TRUE(text.contains(" GB") || text.contains(" GiB")) << text.toStdString();

    // A wrong secret fails the signature.
    client_.SetToken(client_.Token().Key, "wrong");
    EXPECT_EQ(client_.AccountInfo(text), 401);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(CloudClient, TokenAnswersAreReadByName) {
    emulator_->control(R"({"token": "reversed"})");
    ASSERT_EQ(login(), 0);
    QString text;
    EXPECT_EQ(client_.AccountInfo(text), 0);

    emulator_->control(R"({"token": "partial"})");
    const TOAuthToken before = client_.Token();
    EXPECT_EQ(client_.RequestToken(), errInternet);
    EXPECT_EQ(client_.Token().Key, before.Key);
    EXPECT_EQ(client_.Token().Secret, before.Secret);
    EXPECT_FALSE(FZLastMessage().isEmpty());
}

TEST_F(CloudClient, RepeatedNonceIsRefused) {
    TOAuthRequest request(emulator_->base() + "/1/oauth/request_token");
    const TOAuthConsumer consumer(kAppKey, kAppSecret);
    request.FromConsumerAndToken(consumer, nullptr);
    request.SignRequest(TOAuthSignatureMethod_HMAC_SHA1(), consumer, nullptr);
    THttpRequest http;
    http.url = QUrl(request.Url + "?" + request.ParamText);
    EXPECT_EQ(FZHttpRun(http).code, 0);
    EXPECT_EQ(FZHttpRun(http).code, 401);
}

TEST_F(CloudClient, ReadItemWalksAFolderListing) {
    writeFile(root() + "/Docs/a.txt", "hello");
    writeFile(root() + QString::fromUtf8("/Docs/x, y \u00e4.txt"), "1234567");
    QDir().mkpath(root() + "/Docs/Sub");
    ASSERT_EQ(login(), 0);

    TDBOItem item;
    ASSERT_EQ(client_.ItemInfo("/Docs", item), 0);
    EXPECT_EQ(item.Path, "/Docs/");
    EXPECT_EQ(item.Attr, 16);
    struct Expected {
        QString path, bytes;
        int attr;
    };
    const Expected entries[] = {
        {"/Docs/Sub/", "", 16},
        {"/Docs/a.txt", "5", 0},
        {QString::fromUtf8("/Docs/x, y \u00e4.txt"), "7", 0},
    };
    for (const Expected& e : entries) {
        item = TDBOItem();
        client_.ReadItem(item);
        EXPECT_EQ(item.Path, e.path);
        EXPECT_EQ(item.Bytes, e.bytes) << e.path.toStdString();
        EXPECT_EQ(item.Attr, e.attr);
        if (e.attr == 0) {
            EXPECT_TRUE(item.Modified.endsWith("+0000")) << item.Modified.toStdString();
        }
    }
    client_.ReadItem(item);
    EXPECT_TRUE(item.Path.isEmpty());

    // A file's answer has no "contents": the item, then the end.
    ASSERT_EQ(client_.ItemInfo("/Docs/a.txt", item), 0);
    EXPECT_EQ(item.Path, "/Docs/a.txt");
    EXPECT_EQ(item.Bytes, "5");
    client_.ReadItem(item);
    EXPECT_TRUE(item.Path.isEmpty());

    // The root keeps its single "/"; sizes above 2 GiB come through whole.
    emulator_->control(R"({"huge": true})");
    ASSERT_EQ(client_.ItemInfo("/", item), 0);
    EXPECT_EQ(item.Path, "/");
    client_.ReadItem(item);
    EXPECT_EQ(item.Path, "/Docs/");
    ASSERT_EQ(client_.ItemInfo("/Docs/a.txt", item), 0);
    EXPECT_EQ(item.Bytes, "3221225477");
}

TEST_F(CloudClient, JsonValueScansAsTheServiceWrites) {
    client_.SetScanText(
        R"({"bytes": 12, "modified": "Tue, 01 Jan 2013 10:00:00 +0000", "path": "/a \"b", )"
        R"("name": "\u00e4\u00F6x\u12", "odd": "\u0x41\u00e4", "list": "p, q", "last": 7})");
    EXPECT_EQ(client_.JsonValue("name", false), QString::fromUtf8("\u00e4\u00f6x\\u12"));
    // Replacing stops at the first "\u" without four hexadecimal digits.
    EXPECT_EQ(client_.JsonValue("odd", false), "\\u0x41\\u00e4");
    EXPECT_EQ(client_.JsonValue("list", false), "p, q");
    EXPECT_EQ(client_.JsonValue("last", false), "7");
    EXPECT_EQ(client_.JsonValue("missing", false), "");
    EXPECT_EQ(client_.JsonValue("bytes", true), "12");
    // Advancing passed the object's end: nothing is left to find.
    EXPECT_EQ(client_.JsonValue("path", false), "");
}

TEST_F(CloudClient, FilesTravelByteIdenticalBothWays) {
    ASSERT_EQ(login(), 0);
    const QByteArray data = randomBytes(300000);
    QBuffer up;
    up.setData(data);
    up.open(QIODevice::ReadOnly);
    qint64 deltas = 0, last = 0;
    client_.SetProgress([&](qint64 delta, qint64 position) {
        deltas += delta;
        last = position;
    });
    const QString name = QString::fromUtf8("/Up/Gr\u00f6\u00dfe 1.bin");
    ASSERT_EQ(client_.UploadFile(up, name), 0) << FZLastMessage().toStdString();
    EXPECT_EQ(deltas, data.size());
    QFile stored(root() + QString::fromUtf8("/Up/Gr\u00f6\u00dfe 1.bin"));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll() == data);
    EXPECT_EQ(client_.LastFileAddress(),
              emulator_->base() + "/1/files_put/auto/Up/Gr%C3%B6%C3%9Fe%201.bin");

    deltas = 0;
    QBuffer down;
    down.open(QIODevice::WriteOnly);
    ASSERT_EQ(client_.DownloadFile(name, down), 0);
    EXPECT_TRUE(down.data() == data);
    EXPECT_EQ(deltas, data.size());
    EXPECT_EQ(last, data.size());

    ASSERT_EQ(client_.MoveItem(name, "/Up/moved.bin"), 0);
    EXPECT_TRUE(QFile::exists(root() + "/Up/moved.bin"));
    EXPECT_FALSE(stored.exists());
    ASSERT_EQ(client_.DeleteItem("/Up/moved.bin"), 0);
    EXPECT_FALSE(QFile::exists(root() + "/Up/moved.bin"));
    EXPECT_EQ(client_.DeleteItem("/Up/moved.bin"), 404);
}

TEST_F(CloudClient, FailedRequestsGiveTheirCodeAndKeepTheLastAnswer) {
    writeFile(root() + "/f.txt", "x");
    ASSERT_EQ(login(), 0);
    ASSERT_EQ(client_.Metadata("/"), 0);
    EXPECT_EQ(client_.Metadata("/missing"), 404);
    for (const int status : {401, 404, 503, 507}) {
        emulator_->control(QString(R"({"status": %1})").arg(status).toUtf8());
        EXPECT_EQ(client_.Metadata("/f.txt"), status);
        QBuffer down;
        down.open(QIODevice::WriteOnly);
        EXPECT_EQ(client_.DownloadFile("/f.txt", down), status);
    }
    TDBOItem item;
    client_.ReadItem(item);
    EXPECT_EQ(item.Path, "/");
    // No address, and so no secret, reaches the messages.
    EXPECT_FALSE(FZLastMessage().contains("oauth"));
    EXPECT_EQ(FZHideQueries("Error transferring https://h:1/x?oauth_signature=s%26t - server "
                            "replied: Gone; see http://h/y?a=1."),
              "Error transferring https://h:1/x? - server replied: Gone; see http://h/y?");
}

TEST_F(CloudClient, AWorkerThreadTakesItsTurn) {
    writeFile(root() + "/big.bin", randomBytes(100000));
    ASSERT_EQ(login(), 0);
    int workerResult = -1;
    QByteArray workerData;
    std::thread worker([&] {
        QBuffer down;
        down.open(QIODevice::WriteOnly);
        workerResult = client_.DownloadFile("/big.bin", down);
        workerData = down.data();
    });
    TDBOItem item;
    const int ownResult = client_.ItemInfo("/big.bin", item);
    worker.join();
    EXPECT_EQ(ownResult, 0);
    EXPECT_EQ(item.Bytes, "100000");
    EXPECT_EQ(workerResult, 0);
    EXPECT_EQ(workerData.size(), 100000);
}

TEST_F(CloudClient, OverlongPathIsRefusedUnsent) {
    ASSERT_EQ(login(), 0);
    QString encoded;
    struct Case {
        QString path, encoded;
    };
    const Case cases[] = {
        {"/", ""},
        {QString::fromUtf8("/Docs/Gr\u00f6\u00dfe 1.txt"), "Docs/Gr%C3%B6%C3%9Fe%201.txt"},
        {"/x\\y~-_.", "x/y~-_."},
        {"/" + QString(511, 'a'), QString(511, 'a')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TDropbox1::EncodePath(c.path, encoded), 0);
        EXPECT_EQ(encoded, c.encoded);
    }
    // 510 letters and a two-byte one: cut, it would name another file.
    const QString overlong = "/" + QString(510, 'a') + QChar(0xe4);
    EXPECT_EQ(TDropbox1::EncodePath(overlong, encoded), errInvalidPath);
    EXPECT_EQ(client_.Metadata(overlong), errInvalidPath);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    EXPECT_EQ(client_.UploadFile(buffer, overlong), errInvalidPath);
    EXPECT_EQ(client_.MoveItem("/a", overlong), errInvalidPath);
    EXPECT_TRUE(QDir(root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(CloudClient, SlowTransfersCanBeCancelledOrTimeOut) {
    writeFile(root() + "/big.bin", randomBytes(200000));
    ASSERT_EQ(login(), 0);
    emulator_->control(R"({"slow": true})");
    int reentry = -1;
    client_.SetProgress([&](qint64, qint64 position) {
        // Its own thread may not start a second request meanwhile.
        if (reentry < 0) reentry = client_.Metadata("/");
        if (position > 20000) client_.CancelTransfer();
    });
    QBuffer down;
    down.open(QIODevice::WriteOnly);
    EXPECT_EQ(client_.DownloadFile("/big.bin", down), errUserAborted);
    EXPECT_EQ(reentry, errSharingViolation);
    EXPECT_LT(down.data().size(), 200000);

    client_.SetProgress(nullptr);
    FZSetHttpStallTimeout(10);
    QBuffer again;
    again.open(QIODevice::WriteOnly);
    EXPECT_EQ(client_.DownloadFile("/big.bin", again), 10060);
}

TEST_F(CloudClient, ClosedPortAndMissingTlsFail) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    client_.SetEndpoints(endpointsAt(QString("https://127.0.0.1:%1").arg(port)));
    EXPECT_EQ(client_.Metadata("/"), 10061);

    client_.SetEndpoints(endpointsAt(emulator_->base()));
    FZForceSslUnavailable(true);
    EXPECT_EQ(client_.RequestToken(), errInternet);
    EXPECT_EQ(FZLastMessage(), "SSL is not available!");
    EXPECT_EQ(client_.Metadata("/"), errInternet);
}

TEST_F(CloudClient, UnknownCertificateNeedsTheUsersYes) {
    Emulator stranger(dir_->path(), "unknown");
    ASSERT_GT(stranger.port(), 0);
    client_.SetEndpoints(endpointsAt(stranger.base()));

    // Headless (the batch mode): the question is answered No.
    tandex::config::RecordingMessageSink batch;
    tandex::config::setMessageSink(&batch);
    EXPECT_EQ(client_.RequestToken(), errInternet);
    EXPECT_TRUE(FZLastMessage().startsWith("Certificate not trusted for 127.0.0.1: "))
        << FZLastMessage().toStdString();
    ASSERT_FALSE(batch.messages().empty());

    const QSslCertificate cert = QSslCertificate::fromPath(dir_->path() + "/unknown.pem").value(0);
    const QString fingerprint =
        QString::fromLatin1(cert.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
    AnsweringSink yes(tandex::config::mrYes);
    tandex::config::setMessageSink(&yes);
    EXPECT_EQ(client_.RequestToken(), 0) << FZLastMessage().toStdString();
    ASSERT_EQ(yes.asked.size(), 1u);
    EXPECT_TRUE(yes.asked[0].text.contains(fingerprint));
    EXPECT_TRUE(yes.asked[0].text.contains(QString::number(stranger.port())));
    EXPECT_EQ(yes.asked[0].defaultResult, tandex::config::mrNo);

    // Trusted for the rest of the run: no second question.
    tandex::config::setMessageSink(&batch);
    batch.clear();
    FZCloudClient();  // the unit's own client is untouched by this
    EXPECT_EQ(client_.RequestToken(), 0);
    EXPECT_TRUE(batch.messages().empty());
}

TEST_F(CloudClient, TheUnitsClientReportsProgressThroughTheHook) {
    qint64 hooked = -1;
    FZSetCloudProgressHook([&](qint64 position) { hooked = position; });
    FZCloudProgress(5, 10);
    EXPECT_EQ(FZTransferDelta(), 5);
    EXPECT_EQ(hooked, 10);
    FZSetCloudProgressHook(nullptr);
    // No key ships: the unit hands the client empty ones.
    EXPECT_TRUE(FZCloudClient().SignatureParams().startsWith(
        "&oauth_signature_method=PLAINTEXT&oauth_consumer_key=&oauth_token="));
}

TEST(CloudScan, KeptFuzzInputsEndCleanly) {
    const QDir data(TANDEX_TEST_DATA);
    const QStringList files = data.entryList({"cloud-scan-*"}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(fuzz::runCloudScan(f.readAll()).toStdString(), "") << name.toStdString();
    }
}

TEST(CloudScan, MalformedEntriesAreHandedOutOnce) {
    TDropbox1 client;
    client.SetScanText(R"({"is_dir": true, "path": "/a", "bytes": 1}, {"path": "/b", "modified": "m"})");
    TDBOItem item;
    client.ReadItem(item);
    EXPECT_EQ(item.Path, "/a/");
    client.ReadItem(item);
    EXPECT_EQ(item.Path, "/b");
    client.ReadItem(item);
    EXPECT_TRUE(item.Path.isEmpty());

    QString key, secret;
    EXPECT_TRUE(TDropbox1::ReadTokenAnswer("oauth_token=k&x=1&oauth_token_secret=s", key, secret));
    EXPECT_EQ(key, "k");
    EXPECT_EQ(secret, "s");
    EXPECT_FALSE(TDropbox1::ReadTokenAnswer("oauth_token_secret=s", key, secret));
}
