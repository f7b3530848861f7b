// libFuzzer target for the settings file reader: crashes, hangs and broken promises.
#include "tests/common/fuzz/ReaderPromises.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!zen::config::test::keepsReaderPromises(bytes)) std::abort();
    return 0;
}
