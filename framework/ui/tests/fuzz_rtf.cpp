// Arbitrary bytes as RTF: the reader must read any input without a fault,
// and what it read must write out and read back as the same document.
#include "Rtf.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const char* text = reinterpret_cast<const char*>(Data);
    TRtfDocument document;
    try {
        document = ReadRtf(text, Size);
    } catch (const ERtfError&) {
        return 0; // no RTF at all
    }
    const AnsiString written = WriteRtf(document);
    const TRtfDocument back = ReadRtf(written);
    if (!SameDocument(document, back)) {
        std::fprintf(stderr, "read-write-read differs; written:\n%s\n", written.c_str());
        std::abort();
    }
    if (WriteRtf(back) != written) {
        std::fprintf(stderr, "writing is not stable:\n%s\n", written.c_str());
        std::abort();
    }
    return 0;
}
