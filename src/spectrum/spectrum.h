// Spectral analysis: bit-reversal reorder, radix-2 transform, peak search
// and the result records.
//
// Arithmetic (single-precision buffers): twiddle k of the m-point table is
// (cos(k*twopi/m), -sin(k*twopi/m)) formed in double and rounded to float;
// a butterfly's product t = v*w has each part formed in double and rounded to
// float; sums and differences are float. The spectrum is unscaled until the
// peak search divides every entry by m. Bin k is compared by its
// single-sided amplitude (|X0|/m for k = 0, 2|Xk|/m above), only for
// k < m/2 and frequency k*df > 0; comparisons are strict, so among equal
// amplitudes the lowest frequency wins and a bin of amplitude 0 never does.
#pragma once

// Reads m, nstages, samples[0..m-1].re; leaves them in bit-reversed order
// with im = 0.
void bitrev();

// Reads m, nstages, twopi, samples; writes samples (the unscaled transform),
// pkmag; then pickpeak. Its twiddle table is storage of its own, built once
// per window size; scratch is neither read nor written.
void ctfourier();

// The butterflies and the peak search run in AVX2 when the processor has
// it, in scalar code otherwise; both give the same bits. Asks for AVX2 (when
// the processor has it) or for scalar; returns whether AVX2 is now in use.
bool usesimd(bool want);

// Reads samples, m, df, tmid, segpeak; writes samples (divided by m),
// pkmag, pkfreq (0 when no bin wins); writes the console line and the
// segment's records.
void pickpeak();
