// The libFuzzer entry point; which body it drives is chosen at build time.
#include <QCoreApplication>

#include "tests/fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tavrel::fuzz::TAVREL_FUZZ_BODY(data, size);
    return 0;
}
