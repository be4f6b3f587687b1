#include "Kestrix/model/Diagnostics.h"

#include <cstdio>
#include <cstdlib>

namespace kestrix {

void printDiagnostic(std::string_view message)
{
    std::fwrite(message.data(), 1, message.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void fatalError(std::string_view message)
{
    printDiagnostic(message);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

} // namespace kestrix
