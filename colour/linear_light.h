// linear_light.h - averaging 8-bit colours as light, not as numbers.
//
// An 8-bit channel value is sRGB-encoded: half the light is about 186, not
// 128. Anti-aliasing averages the light of its samples, so each value is
// decoded with the sRGB curve into linear light, the samples are summed,
// and the mean is encoded once. Everything here is exact integer work on
// two tables that portable_math fills the same way on every machine:
//
//   decode[v]    the light of value v in units of 2^-LINEAR_BITS
//                (decode[255] = 2^LINEAR_BITS);
//   boundary[v]  the light of the sRGB value (v + 1/2) / 255, the point
//                where rounding turns from v to v + 1, in the same units.
//
// Sums of integers do not depend on their order, and encodeMean compares
// a sum of n samples with boundary[v] * n, so the mean is encoded to the
// nearest 8-bit value (up to the tables' 2^-24) without a division, and
// encodeMean(decode[v], 1) is v for every v.
//
// Layer: colour.
#ifndef QUORVEX_COLOUR_LINEAR_LIGHT_H
#define QUORVEX_COLOUR_LINEAR_LIGHT_H

#include <stdint.h>

// 2^24 keeps 64 samples of full light (2^30) inside 32 bits.
enum { LINEAR_BITS = 24 };

struct LinearLight {
    uint32_t decode[256];
    uint32_t boundary[255];
};

// Built on first use (thread-safe), the same on every machine.
const LinearLight &linearLight();

// The 8-bit value nearest the mean light `sum` / `samples`.
unsigned char encodeMean(const LinearLight &light, uint32_t sum, uint32_t samples);

#endif
