#include "console/sound_library.h"

#include <dlfcn.h>

void* open_sound_library()
{
    // The run-time name: only the library itself is needed, not its headers.
    // RTLD_LOCAL keeps its symbols to the handle.
    return dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
}
