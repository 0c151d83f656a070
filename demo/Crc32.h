// CRC-32 (the polynomial of zip and PNG), so that a report shows every byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues crc over size bytes; start with 0.
uint32_t UpdateCrc32(uint32_t crc, const void* bytes, size_t size);
