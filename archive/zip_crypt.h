#pragma once
// The traditional PKZIP stream cipher of zip entries: three 32-bit keys
// driven by the plain bytes, and a 12-byte encryption header in front of
// the entry's data whose last byte lets a reader check the password.
// Passwords are byte strings (the UTF-8 bytes of what the user typed).

#include "archive/streams.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tandex::archive {

class TArcZipCryptKeys {
public:
    quint32 Key0 = 0;
    quint32 Key1 = 0;
    quint32 Key2 = 0;
    bool HeaderChecked = false;

    void InitKeys(const QByteArray& password);

protected:
    void updateKeys(quint8 plain);
    quint8 streamByte() const {
        const quint32 t = (Key2 & 0xFFFF) | 2;
        return quint8((t * (t ^ 1)) >> 8);
    }
};

class TArcZipDecryptEngine : public TArcZipCryptKeys {
public:
    void DecodeBuffer(void* buffer, int64_t count);
    // Decrypts the 12 header bytes (in place) and compares the last one
    // with bits 24-31 of the check value. The keys are then ready for the
    // data.
    bool VerifyHeader(quint8* header, const QByteArray& password, quint32 checkValue);
};

class TArcZipEncryptEngine : public TArcZipCryptKeys {
public:
    void EncodeBuffer(void* buffer, int64_t count);
    // The 12 encrypted header bytes: ten random bytes, then bits 16-23 and
    // 24-31 of the check value. The keys are then ready for the data.
    std::array<quint8, 12> CreateHeader(const QByteArray& password, quint32 checkValue);
};

// Reads plain bytes from encrypted entry data.
class TArcDfDecryptStream : public Stream {
public:
    TArcDfDecryptStream(Stream* inner, QByteArray password, quint32 expectedCheck);

    // Reads the header at the inner stream's position. On a wrong password
    // the inner stream goes back 12 bytes, so another password can be
    // tried at the same place.
    bool CheckPassword();
    bool HeaderChecked() const { return engine_.HeaderChecked; }
    // Hands the inner stream over, to be freed with this stream.
    void AdoptSource(std::unique_ptr<Stream> source);
    bool OwnsSource() const { return owned_ != nullptr; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

private:
    Stream* inner_;
    std::unique_ptr<Stream> owned_;
    QByteArray passwordText_;
    quint32 expectedCheck_;
    TArcZipDecryptEngine engine_;
};

// Writes encrypted entry data; the header goes out when it is created.
class TArcDfEncryptStream : public Stream {
public:
    TArcDfEncryptStream(Stream& inner, const QByteArray& password, quint32 checkValue);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

private:
    Stream& inner_;
    TArcZipEncryptEngine engine_;
    std::vector<quint8> work_;
};

}  // namespace tandex::archive
