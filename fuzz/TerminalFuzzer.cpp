// libFuzzer entry: arbitrary host output into a terminal.

#include "fuzz/TerminalFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kestrix::fuzzing::feedFuzzInput({data, size});
    return 0;
}
