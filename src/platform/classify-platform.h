#ifndef ZODERUDO_PLATFORM_CLASSIFY_PLATFORM_H_
#define ZODERUDO_PLATFORM_CLASSIFY_PLATFORM_H_

#include <stdint.h>

// The class of the running operating system. The values are fixed: 4 and 5
// are unused, and version 5.1 is 6.
typedef int32_t PlatformCode;
const PlatformCode PlatformNt40 = 0;
const PlatformCode PlatformNt50 = 1;
const PlatformCode PlatformNt52 = 2;
const PlatformCode PlatformOther = 3;
const PlatformCode PlatformNt51 = 6;

// Classifies the running system from the version query alone. Cannot fail:
// a system whose version cannot be had is PlatformOther.
PlatformCode ClassifyPlatform();

#endif  // ZODERUDO_PLATFORM_CLASSIFY_PLATFORM_H_
