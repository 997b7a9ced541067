#pragma once

#if defined(VELMORA_BUILDING_LIBRARY)
#  define VELMORA_EXPORT __attribute__((visibility("default")))
#else
#  define VELMORA_EXPORT
#endif
