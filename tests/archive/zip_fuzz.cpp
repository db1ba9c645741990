// libFuzzer target for the zip loader (built with -DTANDEX_FUZZ=ON and
// clang): the type tests and a whole load of arbitrary bytes, then a save
// of what loaded into a scratch stream. Seed it with real archives (the
// peer archives in data/peer, zips made by the tools); inputs that ever
// broke it go to data/ as zip-*.bin, which the zip archive test replays.

#include "archive/zip_archive.h"

using namespace tandex::archive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    VerifyZip(stream);
    VerifySelfExtractingZip(stream);
    TArcZipArchive archive(&stream, QString());
    try {
        archive.Load();
        if (archive.GetCount() > 0) {
            archive.DeleteAt(0);
            archive.SaveIfChanged();
        }
    } catch (const Exception&) {
    }
    return 0;
}
