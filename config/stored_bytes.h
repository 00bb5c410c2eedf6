/*
 * Little-endian fields in byte buffers and the XOR keystream of the stored
 * formats: the settings record, the appended container and the PE headers
 * all keep their numbers little-endian whatever the compiler's byte order,
 * and the record's body and the container's protected bytes are XORed with
 * the same generator. Portable, header only, constexpr, so that the
 * shell's default record can be computed by the compiler with this code.
 */
#ifndef ORM_STORED_BYTES_H
#define ORM_STORED_BYTES_H

#include <stdint.h>

constexpr uint16_t LeGet16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

constexpr uint32_t LeGet32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

constexpr void LePut16(uint8_t *p, uint16_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

constexpr void LePut32(uint8_t *p, uint32_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

/* XORs `length` bytes with a keystream: a 32-bit linear congruential
 * generator (x = 1664525 x + 1013904223) started at `seed`, one byte per
 * step from its top 8 bits. Its own inverse. Each stored form chooses its
 * seed so that the streams of different uses never coincide. */
constexpr void KeystreamXor(uint8_t *bytes, uint32_t length, uint32_t seed)
{
    uint32_t x = seed;
    for (uint32_t i = 0; i < length; i++) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = (uint8_t)(bytes[i] ^ (x >> 24));
    }
}

#endif
