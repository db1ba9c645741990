#include "archive/zip_crypt.h"

#include "archive/archive_utils.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstring>

namespace tandex::archive {

void TArcZipCryptKeys::InitKeys(const QByteArray& password) {
    Key0 = 0x12345678;
    Key1 = 0x23456789;
    Key2 = 0x34567890;
    for (char c : password)
        updateKeys(quint8(c));
}

void TArcZipCryptKeys::updateKeys(quint8 plain) {
    Key0 = Crc32UpdateByte(plain, Key0);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = Crc32UpdateByte(quint8(Key1 >> 24), Key2);
}

void TArcZipDecryptEngine::DecodeBuffer(void* buffer, int64_t count) {
    auto* p = static_cast<quint8*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
        p[i] ^= streamByte();
        updateKeys(p[i]);
    }
}

bool TArcZipDecryptEngine::VerifyHeader(quint8* header, const QByteArray& password,
                                        quint32 checkValue) {
    InitKeys(password);
    DecodeBuffer(header, 12);
    HeaderChecked = header[11] == quint8(checkValue >> 24);
    return HeaderChecked;
}

void TArcZipEncryptEngine::EncodeBuffer(void* buffer, int64_t count) {
    auto* p = static_cast<quint8*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
        const quint8 plain = p[i];
        p[i] = plain ^ streamByte();
        updateKeys(plain);
    }
}

std::array<quint8, 12> TArcZipEncryptEngine::CreateHeader(const QByteArray& password,
                                                          quint32 checkValue) {
    std::array<quint8, 12> header{};
    InitKeys(password);
    for (int i = 0; i < 10; ++i)
        header[size_t(i)] = quint8(QRandomGenerator::system()->bounded(256));
    EncodeBuffer(header.data(), 10);
    InitKeys(password);
    header[10] = quint8(checkValue >> 16);
    header[11] = quint8(checkValue >> 24);
    EncodeBuffer(header.data(), 12);
    HeaderChecked = true;
    return header;
}

// ---- streams ------------------------------------------------------------------

TArcDfDecryptStream::TArcDfDecryptStream(Stream* inner, QByteArray password, quint32 expectedCheck)
    : inner_(inner), passwordText_(std::move(password)), expectedCheck_(expectedCheck) {}

bool TArcDfDecryptStream::CheckPassword() {
    quint8 header[12];
    inner_->ReadBuffer(header, 12);
    if (engine_.VerifyHeader(header, passwordText_, expectedCheck_)) return true;
    inner_->Seek(-12, soCurrent);
    return false;
}

void TArcDfDecryptStream::AdoptSource(std::unique_ptr<Stream> source) {
    inner_ = source.get();
    owned_ = std::move(source);
}

int64_t TArcDfDecryptStream::Read(void* buffer, int64_t count) {
    const int64_t n = inner_->Read(buffer, count);
    if (n > 0) engine_.DecodeBuffer(buffer, n);
    return n;
}

int64_t TArcDfDecryptStream::Write(const void*, int64_t) {
    return 0;
}

int64_t TArcDfDecryptStream::Seek(int64_t offset, int origin) {
    return inner_->Seek(offset, origin);
}

TArcDfEncryptStream::TArcDfEncryptStream(Stream& inner, const QByteArray& password,
                                         quint32 checkValue)
    : inner_(inner) {
    const std::array<quint8, 12> header = engine_.CreateHeader(password, checkValue);
    inner_.WriteBuffer(header.data(), 12);
}

int64_t TArcDfEncryptStream::Read(void*, int64_t) {
    return 0;
}

int64_t TArcDfEncryptStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (int64_t(work_.size()) < count) work_.resize(size_t(count));
    std::memcpy(work_.data(), buffer, size_t(count));
    engine_.EncodeBuffer(work_.data(), count);
    return inner_.Write(work_.data(), count);
}

int64_t TArcDfEncryptStream::Seek(int64_t offset, int origin) {
    return inner_.Seek(offset, origin);
}

}  // namespace tandex::archive
