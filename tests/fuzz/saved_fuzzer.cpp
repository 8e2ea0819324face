// Arbitrary bytes as a file of mwc-check --save, for --compare. A file that
// is refused must say why; one that is read must hold only indexes in range
// and finite values, and be written back byte for byte; and comparing it with
// itself must find no difference. Each input is tried as it is, and with
// its last 8 bytes made the checksum of the rest, so that the fuzzer reaches
// past the checksum into the tables.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/exploration/saved.h"

namespace
{

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "saved fuzzer: %s\n", what);
    std::abort();
}

void Check(std::string_view bytes)
{
    Saved_Graph graph;
    std::string error;
    if (!Parse_Saved(bytes, graph, error)) {
        if (error.empty()) {
            Fail("refused without a reason");
        }
        return;
    }
    if (Saved_Bytes(graph) != bytes) {
        Fail("read, then written back differently");
    }
    constexpr std::size_t PAIRS = 1 << 16;
    const Difference difference = Compare(graph, graph, PAIRS);
    if (!difference.same && !difference.stopped) {
        Fail("a graph differs from itself");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    constexpr std::size_t CHECKSUM_SIZE = 8;
    if (size >= CHECKSUM_SIZE) {
        std::string fixed(bytes.substr(0, size - CHECKSUM_SIZE));
        const std::uint64_t checksum = Saved_Checksum(fixed);
        for (std::size_t i = 0; i < CHECKSUM_SIZE; ++i) {
            fixed.push_back(static_cast<char>(checksum >> (8 * i) & 0xFF));
        }
        Check(fixed);
    }
    return 0;
}
