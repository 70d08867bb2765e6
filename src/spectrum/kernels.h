// The inner loops of the transform and the peak search, in a scalar form
// and an AVX2 form that give the same bits. The AVX2 forms live in their own
// file, the only one built for AVX2; they are called only when the processor
// has it.
//
// Twiddle table: for each stage s = 2..nstages, with half = 2^(s-1), the
// table holds half re parts and then half im parts, stage after stage from
// offset 2*(half-2) floats. Entry k of stage s is entry k*(m/2)/half of the
// last stage, which is (cos(k*twopi/m), -sin(k*twopi/m)) rounded to float.
// In stages of half 8 and more, entry k is kept at slot(k): each run of 8 in
// the order 0, 1, 4, 5, 2, 3, 6, 7, the order in which the AVX2 butterflies
// take them.
#pragma once
#include <cstdint>

#include "run/runstate.h"

// Floats of the twiddle table of stage half (2, 4, ..., m/2). Static, so
// that the AVX2 file's copy stays its own.
static inline const float* stagetable(const float* tw, uint32_t half) {
  return tw + 2 * (half - 2);
}

// Where entry k of a stage's twiddles is kept.
static inline uint32_t slot(uint32_t k, uint32_t half) {
  return half < 8 ? k : (k & ~6u) | ((k & 2) << 1) | ((k & 4) >> 1);
}

// Stages 1..nstages of the transform over s[0..m-1], in bit-reversed order.
void stagesscalar(cplx* s, const float* tw, uint32_t m, uint32_t nstages);
void stagesavx2(cplx* s, const float* tw, uint32_t m, uint32_t nstages);

// The reorder's tiles (bitrev.cpp), for nst >= 6.
void tilesscalar(cplx* s, uint32_t nst);
void tilesavx2(cplx* s, uint32_t nst);

// Divides s[0..m-1] by m (a multiplication by the exact 1/m, which rounds
// the same) and finds the first k in 1..m/2-1 whose sqrt(re^2 + im^2) in
// double is largest and above 0. Returns that k, 0 when none; best is its
// amplitude.
uint32_t peakscalar(cplx* s, uint32_t m, double& best);
uint32_t peakavx2(cplx* s, uint32_t m, double& best);

// Writes at out what printf's "%9.5g" writes for v (at most 13 bytes, no
// terminating zero) and returns its length.
int g95(char* out, double v);

// Whether the AVX2 forms are in use.
bool simdon();
