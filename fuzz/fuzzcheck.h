#pragma once

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

// The targets state what the file-format rules guarantee about every input. A broken
// guarantee is a finding like a crash: the fuzzers abort on it so that libFuzzer keeps the
// input, and the replay test turns it into a failed row naming the input.
[[noreturn]] void failFuzzCheck(const char *condition, const char *file, int line);

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            failFuzzCheck(#condition, __FILE__, __LINE__);                                         \
        }                                                                                          \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

inline QByteArrayView fuzzInput(const std::uint8_t *data, std::size_t size)
{
    return QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size));
}
