// libFuzzer entry: see FuzzActor.h.
#include "FuzzActor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    vedomec::fuzz::runActorCase(data, size);
    return 0;
}
