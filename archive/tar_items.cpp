#include "archive/tar_items.h"

#include "archive/archive_utils.h"
#include "archive/name_charsets.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include <sys/mman.h>

namespace tandex::archive {

using namespace tarfield;

namespace {

const QByteArray kUstarMagic("ustar\0", 6);
const QByteArray kGnuMagic("ustar  \0", 8);

QByteArrayView fieldView(const TTarBlock& b, int offset, int length) {
    const char* p = reinterpret_cast<const char*>(b.data() + offset);
    return QByteArrayView(p, qstrnlen(p, uint(length)));
}

QByteArray fieldBytes(const TTarBlock& b, int offset, int length) {
    return fieldView(b, offset, length).toByteArray();
}

void putBytes(TTarBlock& b, int offset, int length, const QByteArray& bytes) {
    std::memset(b.data() + offset, 0, size_t(length));
    std::memcpy(b.data() + offset, bytes.constData(), size_t(std::min<qsizetype>(bytes.size(), length)));
}

int64_t blocksFor(int64_t bytes) {
    return (bytes + kTarBlockSize - 1) / kTarBlockSize;
}

// Members of one archive mostly share their owner names and magic: the
// text decoded last is handed on when the bytes repeat, so the items share
// one copy instead of each allocating its own.
struct SharedField {
    QByteArray raw;
    QString text;
};

QString sharedCodePageText(SharedField& last, QByteArrayView raw) {
    if (last.text.isNull() || QByteArrayView(last.raw) != raw) {
        last.raw = raw.toByteArray();
        last.text = DecodeCodePage(raw, 1252);
    }
    return last.text;
}

QByteArray sharedBytes(QByteArray& last, QByteArrayView raw) {
    if (last.isNull() || QByteArrayView(last) != raw) last = raw.toByteArray();
    return last;
}

// Plain ASCII, the common case, decodes alike in every code page; Qt's
// Latin-1 conversion does it without the per-byte code page lookup.
QString decodeName(QByteArrayView raw) {
    if (!raw.isEmpty() &&
        std::all_of(raw.begin(), raw.end(), [](char c) { return uint8_t(c) < 0x80; }))
        return QString::fromLatin1(raw);
    return DecodeStoredName(raw);
}

void putChecksum(TTarBlock& b) {
    WriteTarNumber(b.data() + Checksum, ChecksumLen, TarHeaderSum(b));
}

#if defined(__SANITIZE_ADDRESS__)
#define TANDEX_TAR_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TANDEX_TAR_POOL 0
#endif
#endif
#ifndef TANDEX_TAR_POOL
#define TANDEX_TAR_POOL 1
#endif

// Fixed-size slots carved from chunks that are never returned: freed slots
// are kept for the next listing. The first chunk is small, so a process
// that opens only small archives pays for no huge page; the later ones are
// huge-page sized and aligned.
class FixedPool {
public:
    explicit FixedPool(size_t size) : size_((std::max(size, sizeof(void*)) + 15) / 16 * 16) {}

    void* allocate() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_) {
            void* slot = free_;
            free_ = *static_cast<void**>(slot);
            return slot;
        }
        if (end_ - next_ < ptrdiff_t(size_)) refill();
        void* slot = next_;
        next_ += size_;
        return slot;
    }

    void release(void* slot) {
        std::lock_guard<std::mutex> lock(mutex_);
        *static_cast<void**>(slot) = free_;
        free_ = slot;
    }

    size_t size() const { return size_; }

private:
    static constexpr size_t kHugePage = size_t(2) << 20;

    void refill() {
        const size_t chunk = chunks_ == 0 ? size_t(64) << 10 : kHugePage;
        // Twice the size, so an aligned chunk fits; the rest goes back.
        const size_t span = chunks_ == 0 ? chunk : 2 * chunk;
        void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        auto* start = static_cast<char*>(raw);
        if (chunks_ != 0) {
            auto* aligned = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + chunk - 1) &
                                                    ~uintptr_t(chunk - 1));
            if (aligned > start) ::munmap(start, size_t(aligned - start));
            if (aligned + chunk < start + span)
                ::munmap(aligned + chunk, size_t(start + span - (aligned + chunk)));
            start = aligned;
            ::madvise(start, chunk, MADV_HUGEPAGE);
        }
        ++chunks_;
        next_ = start;
        end_ = start + chunk;
    }

    const size_t size_;
    std::mutex mutex_;
    void* free_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    int chunks_ = 0;
};

// Never destroyed: items may outlive every other static.
FixedPool& blockPool() {
    static auto* pool = new FixedPool(sizeof(TTarBlock));
    return *pool;
}

FixedPool& itemPool() {
    static auto* pool = new FixedPool(sizeof(TArcTarItem));
    return *pool;
}

}  // namespace

void* AllocateTarBlock() {
    if (TANDEX_TAR_POOL) return blockPool().allocate();
    return ::operator new(sizeof(TTarBlock));
}

void ReleaseTarBlock(void* block) {
    if (TANDEX_TAR_POOL)
        blockPool().release(block);
    else
        ::operator delete(block);
}

void* AllocateTarItem(size_t size) {
    // A class derived from the item has its own size: it goes to the heap.
    if (TANDEX_TAR_POOL && size == sizeof(TArcTarItem)) return itemPool().allocate();
    return ::operator new(size);
}

void ReleaseTarItem(void* item, size_t size) {
    if (TANDEX_TAR_POOL && size == sizeof(TArcTarItem))
        itemPool().release(item);
    else
        ::operator delete(item);
}

// ------------------------------------------------------------- numbers

int64_t ReadTarNumber(const uint8_t* field, int length) {
    if (length > 0 && (field[0] == 0x80 || field[0] == 0xFF)) {
        // GNU base-256: big-endian two's complement of the remaining bytes.
        const bool negative = field[0] == 0xFF;
        uint64_t value = negative ? ~uint64_t(0) : 0;
        for (int i = 1; i < length; ++i) {
            if (!negative && (value >> 55) != 0) return -1;
            value = (value << 8) | field[i];
        }
        return int64_t(value);
    }
    int i = 0;
    while (i < length && field[i] == ' ')
        ++i;
    uint64_t value = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i) {
        if ((value >> 60) != 0) return -1;
        value = value * 8 + (field[i] - '0');
    }
    return value > uint64_t(INT64_MAX) ? -1 : int64_t(value);
}

void WriteTarNumber(uint8_t* field, int length, int64_t value) {
    if (value < 0) throw EArcTarBadOp();
    char digits[24];
    int n = 0;
    uint64_t v = uint64_t(value);
    do {
        digits[n++] = char('0' + (v & 7));
        v >>= 3;
    } while (v != 0);
    if (n > length) throw EArcTarBadOp();
    const int end = n == length ? length : length - 1;
    std::memset(field, ' ', size_t(length));
    for (int i = 0; i < n; ++i)
        field[end - 1 - i] = uint8_t(digits[i]);
}

uint32_t TarHeaderSum(const TTarBlock& block) {
    // Every byte summed, then the checksum field swapped for spaces: a plain
    // loop the compiler vectorises, as every header of a listing passes here.
    uint32_t sum = 0;
    for (const uint8_t b : block)
        sum += b;
    for (int i = Checksum; i < Checksum + ChecksumLen; ++i)
        sum -= block[size_t(i)];
    return sum + uint32_t(ChecksumLen) * uint32_t(' ');
}

bool TarChecksumMatches(const TTarBlock& block) {
    return ReadTarNumber(block.data() + Checksum, ChecksumLen) == int64_t(TarHeaderSum(block));
}

int64_t TarDataSize(uint8_t linkFlag, int64_t sizeField) {
    switch (linkFlag) {
        case 0:
        case '0':
        case '7':
        case 'D':
        case 'M':
        case 'S':
        case 'V':
            return std::max<int64_t>(sizeField, 0);
        default:
            return 0;
    }
}

int64_t TarStoredSize(uint8_t linkFlag, int64_t sizeField) {
    return linkFlag == '2' ? std::max<int64_t>(sizeField, 0) : TarDataSize(linkFlag, sizeField);
}

bool IsTarExtraHeader(uint8_t linkFlag) {
    return linkFlag == 'K' || linkFlag == 'L' || linkFlag == 'X' || linkFlag == 'g' ||
           linkFlag == 'x';
}

// ---------------------------------------------------------------- item

TArcTarItem::TArcTarItem() {
    // Built once: a listing creates an item per member.
    static const TTarBlock fresh = [] {
        TTarBlock h{};
        WriteTarNumber(h.data() + Mode, ModeLen, 0644);
        WriteTarNumber(h.data() + Uid, UidLen, 0);
        WriteTarNumber(h.data() + Gid, GidLen, 0);
        WriteTarNumber(h.data() + Size, SizeLen, 0);
        WriteTarNumber(h.data() + DevMajor, DevMajorLen, 0);
        WriteTarNumber(h.data() + DevMinor, DevMinorLen, 0);
        return h;
    }();
    Blocks.push_back(fresh);
    BlockKinds.push_back(tbkMainHeader);
    Rec.Mode = 0644;
}

bool TArcTarItem::writable() {
    if (Rec.ReadOnly) return false;
    Rec.Dirty = true;
    return true;
}

void TArcTarItem::writeMainNumber(int offset, int length, int64_t value) {
    WriteTarNumber(MainHeader().data() + offset, length, value);
}

uint16_t TArcTarItem::GetLastModFileDate() const {
    return uint16_t(DateTimeToDosDateTime(GetLastModTimeAsDateTime()) >> 16);
}

uint16_t TArcTarItem::GetLastModFileTime() const {
    return uint16_t(DateTimeToDosDateTime(GetLastModTimeAsDateTime()) & 0xFFFF);
}

int32_t TArcTarItem::GetNativeFileAttributes() const {
    // Tar tools store permission bits only; the type comes from the flag.
    return UnixModeToDosAttr(Rec.Mode) | (GetIsDirectory() ? faDirectory : 0);
}

void TArcTarItem::SetExternalFileAttributes(uint32_t value) {
    if (!writable()) return;
    for (size_t i = 0; i < Blocks.size(); ++i)
        if (BlockKinds[i] == tbkMainHeader || BlockKinds[i] == tbkExtraHeader)
            WriteTarNumber(Blocks[i].data() + Mode, ModeLen, value);
    Rec.Mode = value;
}

void TArcTarItem::SetUncompressedSize(uint64_t value) {
    if (!writable()) return;
    writeMainNumber(Size, SizeLen, int64_t(value));
    Rec.Size = int64_t(value);
}

TDateTime TArcTarItem::GetLastModTimeAsDateTime() const {
    return UnixTimeToLocal(Rec.ModTime);
}

void TArcTarItem::SetLastModTimeAsDateTime(TDateTime value) {
    SetModTime(LocalToUnixTime(value));
}

void TArcTarItem::SetModTime(int64_t seconds) {
    if (!writable()) return;
    writeMainNumber(MTime, MTimeLen, seconds);
    Rec.ModTime = seconds;
}

void TArcTarItem::SetLastModFileDate(uint16_t value) {
    const TDateTimeParts now = DecodeDateTime(GetLastModTimeAsDateTime());
    const TDateTimeParts day = DecodeDateTime(DosDateTimeToDateTime(value, 0));
    TDateTime when = 0;
    if (TryEncodeDateTime(day.Year, day.Month, day.Day, now.Hour, now.Minute, now.Second, when))
        SetLastModTimeAsDateTime(when);
}

void TArcTarItem::SetLastModFileTime(uint16_t value) {
    const TDateTimeParts now = DecodeDateTime(GetLastModTimeAsDateTime());
    TDateTime when = 0;
    if (TryEncodeDateTime(now.Year, now.Month, now.Day, value >> 11, (value >> 5) & 0x3F,
                          (value & 0x1F) * 2, when))
        SetLastModTimeAsDateTime(when);
}

void TArcTarItem::SetUserID(int32_t value) {
    if (!writable()) return;
    writeMainNumber(Uid, UidLen, value);
    Rec.UserID = value;
}

void TArcTarItem::SetGroupID(int32_t value) {
    if (!writable()) return;
    writeMainNumber(Gid, GidLen, value);
    Rec.GroupID = value;
}

void TArcTarItem::SetUserName(const QString& value) {
    if (!writable()) return;
    QByteArray raw;
    TryEncodeName(value, 1252, true, raw);
    putBytes(MainHeader(), UName, UNameLen, raw);
    Rec.UserName = value;
}

void TArcTarItem::SetGroupName(const QString& value) {
    if (!writable()) return;
    QByteArray raw;
    TryEncodeName(value, 1252, true, raw);
    putBytes(MainHeader(), GName, GNameLen, raw);
    Rec.GroupName = value;
}

void TArcTarItem::SetDevMajor(int32_t value) {
    if (!writable()) return;
    writeMainNumber(DevMajor, DevMajorLen, value);
    Rec.DevMajor = value;
}

void TArcTarItem::SetDevMinor(int32_t value) {
    if (!writable()) return;
    writeMainNumber(DevMinor, DevMinorLen, value);
    Rec.DevMinor = value;
}

void TArcTarItem::SetLinkFlag(uint8_t value) {
    if (!writable()) return;
    MainHeader()[TypeFlag] = value;
    Rec.LinkFlag = value;
}

void TArcTarItem::SetMagic(const QByteArray& eightBytes) {
    if (!writable()) return;
    QByteArray bytes = eightBytes.left(8);
    bytes.append(QByteArray(8 - bytes.size(), '\0'));
    std::memcpy(MainHeader().data() + tarfield::Magic, bytes.constData(), 8);
    Rec.Magic = fieldBytes(MainHeader(), tarfield::Magic, MagicLen);
    Rec.HeaderVersion = int32_t(ReadTarNumber(MainHeader().data() + Version, VersionLen));
}

// ------------------------------------------------------------- loading

void TArcTarItem::LoadTarHeaderFromStream(Stream& stream) {
    Blocks.clear();
    BlockKinds.clear();
    Rec.ItemType = 2;
    Rec.ReadOnly = false;
    Rec.Format = tfUnknown;
    int64_t extraBytes = 0;
    for (;;) {
        TTarBlock block;
        stream.ReadBuffer(block.data(), kTarBlockSize);
        Blocks.push_back(block);
        const uint8_t flag = block[TypeFlag];
        if (IsTarExtraHeader(flag)) {
            // The data is trusted only once its header proved to be one,
            // and only up to a bound: anything else is unhandled.
            const int64_t size = ReadTarNumber(block.data() + Size, SizeLen);
            extraBytes += std::max<int64_t>(size, 0);
            if (!TarChecksumMatches(block) || size < 0 || extraBytes > kTarMaxExtraData) {
                BlockKinds.push_back(tbkUnknownHeader);
                Rec.ItemType = 2;
                break;
            }
            if (flag == 'X' || flag == 'g' || flag == 'x') Rec.ReadOnly = true;
            if ((flag == 'g' || flag == 'x') &&
                std::memcmp(block.data() + tarfield::Magic, kUstarMagic.constData(), 6) == 0)
                Rec.Format = tfPax;
            if (flag == 'K' || flag == 'L') Rec.Format = tfGnu;
            BlockKinds.push_back(tbkExtraHeader);
            for (int64_t n = blocksFor(size); n > 0; --n) {
                stream.ReadBuffer(block.data(), kTarBlockSize);
                Blocks.push_back(block);
                BlockKinds.push_back(tbkExtraData);
            }
            continue;
        }
        switch (flag) {
            case 0:
            case '0':
            case '1':
            case '2':
            case '5':
                Rec.ItemType = Rec.ReadOnly ? 1 : 0;
                BlockKinds.push_back(tbkMainHeader);
                break;
            case '3':
            case '4':
            case '6':
            case '7':
            case 'D':
            case 'M':
            case 'S':
            case 'V':
                Rec.ItemType = 1;
                BlockKinds.push_back(tbkMainHeader);
                break;
            default:
                Rec.ItemType = 2;
                BlockKinds.push_back(tbkUnknownHeader);
                break;
        }
        break;
    }
    stream.Seek(-int64_t(Blocks.size()) * kTarBlockSize, soCurrent);
    Rec.HeaderCount = int32_t(Blocks.size());
    if (Rec.ItemType != 2) {
        parseFields();
        // A size no tool could have written (negative, or past 63 bits).
        if (Rec.Size < 0) Rec.ItemType = 2;
        FileName = Rec.FullName;
        DiskFileName = Rec.FullName;
    }
    Action = iaNone;
}

int TArcTarItem::longNameBlock(uint8_t flag) const {
    for (size_t i = 0; i + 1 < Blocks.size(); ++i)
        if (BlockKinds[i] == tbkExtraHeader && Blocks[i][TypeFlag] == flag) return int(i);
    return -1;
}

QByteArray TArcTarItem::extraData(int headerIndex) const {
    const int64_t size = ReadTarNumber(Blocks[size_t(headerIndex)].data() + Size, SizeLen);
    QByteArray data;
    for (size_t i = size_t(headerIndex) + 1; i < Blocks.size() && BlockKinds[i] == tbkExtraData; ++i)
        data.append(reinterpret_cast<const char*>(Blocks[i].data()), kTarBlockSize);
    // The stored length counts the terminating NUL.
    data.truncate(std::clamp<int64_t>(size - 1, 0, data.size()));
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0) data.truncate(nul);
    return data;
}

void TArcTarItem::parseFields() {
    const TTarBlock& h = MainHeader();
    if (Rec.Format == tfUnknown) {
        if (std::memcmp(h.data() + tarfield::Magic, kGnuMagic.constData(), 8) == 0)
            Rec.Format = tfGnu;
        else if (std::memcmp(h.data() + tarfield::Magic, kUstarMagic.constData(), 6) == 0)
            Rec.Format = tfUstar;
        else
            Rec.Format = tfOld;
    }
    Rec.Mode = uint32_t(ReadTarNumber(h.data() + Mode, ModeLen));
    Rec.UserID = int32_t(ReadTarNumber(h.data() + Uid, UidLen));
    Rec.GroupID = int32_t(ReadTarNumber(h.data() + Gid, GidLen));
    Rec.Size = ReadTarNumber(h.data() + Size, SizeLen);
    Rec.ModTime = ReadTarNumber(h.data() + MTime, MTimeLen);
    Rec.ChecksumOK = true;
    for (size_t i = 0; i < Blocks.size(); ++i)
        if ((BlockKinds[i] == tbkMainHeader || BlockKinds[i] == tbkExtraHeader) &&
            !TarChecksumMatches(Blocks[i]))
            Rec.ChecksumOK = false;
    Rec.LinkFlag = h[TypeFlag];
    const int k = longNameBlock('K');
    if (k >= 0) {
        Rec.LinkName = decodeName(extraData(k));
    } else {
        // Most members link nowhere: their empty name is decoded once.
        static const QString noLink = DecodeStoredName(QByteArrayView(""));
        const QByteArrayView link = fieldView(h, LinkName, LinkNameLen);
        Rec.LinkName = link.isEmpty() ? noLink : decodeName(link);
    }
    thread_local QByteArray lastMagic;
    thread_local SharedField lastUser, lastGroup;
    Rec.Magic = sharedBytes(lastMagic, fieldView(h, tarfield::Magic, MagicLen));
    Rec.HeaderVersion = int32_t(ReadTarNumber(h.data() + Version, VersionLen));
    Rec.UserName = sharedCodePageText(lastUser, fieldView(h, UName, UNameLen));
    Rec.GroupName = sharedCodePageText(lastGroup, fieldView(h, GName, GNameLen));
    Rec.DevMajor = int32_t(ReadTarNumber(h.data() + DevMajor, DevMajorLen));
    Rec.DevMinor = int32_t(ReadTarNumber(h.data() + DevMinor, DevMinorLen));
    const int l = longNameBlock('L');
    if (l >= 0) {
        Rec.FullName = decodeName(extraData(l));
        return;
    }
    const QByteArrayView name = fieldView(h, Name, NameLen);
    const QByteArrayView prefix = fieldView(h, Prefix, PrefixLen);
    // Pax members carry ustar main headers.
    if ((Rec.Format == tfUstar || Rec.Format == tfPax) && !prefix.isEmpty())
        Rec.FullName = decodeName(prefix.toByteArray() + '/' + name.toByteArray());
    else
        Rec.FullName = decodeName(name);
}

// ------------------------------------------------------------- writing

void TArcTarItem::SaveTarHeaderToStream(Stream& stream) {
    if (Rec.ReadOnly) return;
    for (size_t i = 0; i < Blocks.size(); ++i) {
        if (BlockKinds[i] == tbkMainHeader || BlockKinds[i] == tbkExtraHeader)
            putChecksum(Blocks[i]);
        stream.WriteBuffer(Blocks[i].data(), kTarBlockSize);
    }
    Rec.HeaderCount = int32_t(Blocks.size());
}

void TArcTarItem::setLongName(int headerIndex, const QByteArray& raw) {
    const size_t at = size_t(headerIndex);
    WriteTarNumber(Blocks[at].data() + Size, SizeLen, raw.size() + 1);
    size_t old = 0;
    while (at + 1 + old < Blocks.size() && BlockKinds[at + 1 + old] == tbkExtraData)
        ++old;
    const size_t want = size_t(blocksFor(raw.size() + 1));
    Blocks.erase(Blocks.begin() + qsizetype(at + 1), Blocks.begin() + qsizetype(at + 1 + old));
    BlockKinds.erase(BlockKinds.begin() + qsizetype(at + 1),
                     BlockKinds.begin() + qsizetype(at + 1 + old));
    for (size_t n = 0; n < want; ++n) {
        TTarBlock data;
        data.fill(0);
        const qsizetype from = qsizetype(n) * kTarBlockSize;
        std::memcpy(data.data(), raw.constData() + from,
                    size_t(std::clamp<qsizetype>(raw.size() - from, 0, kTarBlockSize)));
        Blocks.insert(Blocks.begin() + qsizetype(at + 1 + n), data);
        BlockKinds.insert(BlockKinds.begin() + qsizetype(at + 1 + n), tbkExtraData);
    }
    putBytes(MainHeader(), Name, NameLen, raw.left(NameLen));
}

void TArcTarItem::insertLongName(const QByteArray& raw) {
    TTarBlock h;
    h.fill(0);
    putBytes(h, Name, NameLen, QByteArrayLiteral("././@LongLink"));
    for (int offset : {int(Mode), int(Uid), int(Gid)})
        std::memcpy(h.data() + offset, "0000000", 8);
    std::memcpy(h.data() + MTime, "00000000000", 12);
    h[TypeFlag] = 'L';
    std::memcpy(h.data() + tarfield::Magic, kGnuMagic.constData(), 8);
    putBytes(h, UName, UNameLen, QByteArrayLiteral("root"));
    putBytes(h, GName, GNameLen, QByteArrayLiteral("root"));
    Blocks.insert(Blocks.begin(), h);
    BlockKinds.insert(BlockKinds.begin(), tbkExtraHeader);
    setLongName(0, raw);
}

void TArcTarItem::removeLongName() {
    const int l = longNameBlock('L');
    if (l < 0) return;
    size_t end = size_t(l) + 1;
    while (end < Blocks.size() && BlockKinds[end] == tbkExtraData)
        ++end;
    Blocks.erase(Blocks.begin() + l, Blocks.begin() + qsizetype(end));
    BlockKinds.erase(BlockKinds.begin() + l, BlockKinds.begin() + qsizetype(end));
}

void TArcTarItem::splitUstarName(const QByteArray& raw) {
    if (raw.size() > 256) throw EArcTarBadFileName();
    const qsizetype len = raw.size();
    for (qsizetype i = len; i >= 1 && len - i <= NameLen; --i) {
        if (raw[i - 1] != '/' || i > PrefixLen + 1) continue;
        putBytes(MainHeader(), Name, NameLen, raw.mid(i));
        putBytes(MainHeader(), Prefix, PrefixLen, raw.left(i - 1));
        return;
    }
    throw EArcTarBadFileName();
}

void TArcTarItem::SetFileName(const QString& value) {
    if (Rec.ReadOnly) return;
    const QByteArray raw = EncodeUtf8Name(value);
    if (raw.size() <= NameLen) {
        putBytes(MainHeader(), Name, NameLen, raw);
        if (Rec.Format == tfUstar) putBytes(MainHeader(), Prefix, PrefixLen, {});
        if (Rec.Format == tfGnu) removeLongName();
    } else if (const int l = longNameBlock('L'); l >= 0) {
        setLongName(l, raw);
    } else if (Rec.Format == tfOld) {
        throw EArcTarBadFileName();
    } else if (Rec.Format == tfGnu) {
        insertLongName(raw);
    } else if (Rec.Format == tfUstar) {
        splitUstarName(raw);
    } else {
        throw EArcTarBadOp();
    }
    Rec.FullName = value;
    FileName = value;
    DiskFileName = value;
    Rec.Dirty = true;
}

int32_t VerifyTar(Stream& stream) {
    const int64_t position = stream.Position();
    int32_t answer = 0;
    try {
        TArcTarItem item;
        item.LoadTarHeaderFromStream(stream);
        answer = item.Rec.ItemType != 2 && item.Rec.ChecksumOK ? ArcTar : 0;
    } catch (const StreamError&) {
        answer = 0;
    }
    stream.SetPosition(position);
    return answer;
}

}  // namespace tandex::archive
