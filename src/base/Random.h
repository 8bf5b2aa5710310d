#pragma once

#include <cstdlib>

// One draw of the process-wide C generator (seeded once at start-up) in 0 ... 32767.
// Random colours are defined on that range; some C libraries' rand() reaches 2^31 - 1,
// so only the low 15 bits are kept, which is the whole value where RAND_MAX is 32767.
inline int RandomDraw15() {
    return std::rand() & 0x7FFF;
}
