// Arbitrary bytes as a suite file of mwc-conform --suite-from. A text that
// is no suite must say why, at a byte within it or just past it. One that
// is must have scripts of keys a to f and . alone, and be written back as a
// file that reads as the same suite.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conform/suite_file.h"

namespace
{

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "suite fuzzer: %s\n", what);
    std::abort();
}

bool Same(const Suite& a, const Suite& b)
{
    if (a.tests.size() != b.tests.size() || a.unmet != b.unmet) {
        return false;
    }
    for (std::size_t i = 0; i < a.tests.size(); ++i) {
        if (a.tests[i].why != b.tests[i].why || a.tests[i].script != b.tests[i].script) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Suite suite;
    std::string error;
    if (!Parse_Suite(text, suite, error)) {
        const std::size_t at = error.rfind("at byte ");
        if (error.empty() || at == std::string::npos ||
            std::stoul(error.substr(at + 8)) > size + 1) {
            Fail("a refusal that says nothing, or points past the text");
        }
        return 0;
    }
    for (const Conformance_Test& test : suite.tests) {
        if (test.script.find_first_not_of(".abcdef") != std::string::npos) {
            Fail("a script with a byte that is no key");
        }
    }
    Suite again;
    if (!Parse_Suite(Suite_Json(suite), again, error) || !Same(suite, again)) {
        Fail("a suite written back does not read as the same");
    }
    return 0;
}
