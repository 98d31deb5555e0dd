// An actor library whose GetActorInfo fails with an exception.
#include <stdexcept>

extern "C" __attribute__((visibility("default"))) const void* GetActorInfo()
{
    throw std::runtime_error("no information today");
}
