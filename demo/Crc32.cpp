#include "demo/Crc32.h"

uint32_t UpdateCrc32(uint32_t crc, const void* bytes, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
