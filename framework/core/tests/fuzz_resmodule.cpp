// Arbitrary bytes as a language library: the reader must refuse or read any
// image without a fault, and what it reads must write back to the very same
// image. The bytes are tried as they come and once more closed with their
// checksum, so that the reader gets past the checksum to the tables.
#include "ResModule.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Check(const AnsiString& Image) {
    TResourceModulePtr module(ReadResourceModule(Image));
    if (!module) return;
    const TResModuleData& data = GetResourceModuleData(module.get());
    std::size_t bytes = 0;
    for (std::size_t t = 0; t < data.TableCount; ++t) {
        const TResModuleTable& table = data.Tables[t];
        bytes += std::strlen(table.Unit);
        for (std::size_t e = 0; e < table.Count; ++e)
            bytes += std::strlen(table.Entries[e].Name) + std::strlen(table.Entries[e].Text);
    }
    if (bytes > Image.size() || ResourceModuleImage(data) != Image) {
        std::fprintf(stderr, "an image read does not write back the same\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    AnsiString image(reinterpret_cast<const char*>(Data), Size);
    Check(image);
    Cardinal checksum = ResModuleChecksum(image.data(), image.size());
    for (int i = 0; i < 4; ++i)
        image += static_cast<char>((checksum >> (8 * i)) & 0xFF);
    Check(image);
    return 0;
}
