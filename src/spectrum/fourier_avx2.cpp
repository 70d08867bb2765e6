// The AVX2 forms of the transform's stages and of the peak search. This is
// the only file built for AVX2 (without FMA: a fused multiply-add would round
// once where the scalar form rounds twice); it includes nothing that could
// leave an AVX2 copy of a shared inline function for the rest of the program.
//
// Same bits as the scalar forms: a float times a float is exact in double,
// so the products are the same in SIMD registers; each part of a product is
// summed in double and rounded to float once, as there; every operation
// keeps its operands in the scalar order (it decides which not-a-number
// comes out when two meet).
#include <immintrin.h>

#include "spectrum/kernels.h"

#ifndef __AVX2__
#error "build this file with -mavx2"
#endif
#ifdef __FMA__
#error "build this file without FMA"
#endif

// Butterflies of four entries u[0..3] with four entries v[0..3] (each a
// register of re, im pairs) and four twiddles given as doubles.
static inline void butterfly4(__m256& u, __m256& v, __m256d wr, __m256d wi) {
  const __m128 lo = _mm256_castps256_ps128(v), hi = _mm256_extractf128_ps(v, 1);
  const __m256d vr = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
  const __m256d vi = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
  const __m128 tr = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(vr, wr), _mm256_mul_pd(vi, wi)));
  const __m128 ti = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(vr, wi), _mm256_mul_pd(vi, wr)));
  const __m256 t = _mm256_set_m128(_mm_unpackhi_ps(tr, ti), _mm_unpacklo_ps(tr, ti));
  const __m256 ul = u;
  u = _mm256_add_ps(ul, t);
  v = _mm256_sub_ps(ul, t);
}

void stagesavx2(cplx* s, const float* tw, uint32_t m, uint32_t nstages) {
  if (m < 8) {
    stagesscalar(s, tw, m, nstages);
    return;
  }
  float* f = &s[0].re;
  // Stage 1: within each pair (a, b), a + b then a - b.
  for (uint32_t p = 0; p < 2 * m; p += 8) {
    const __m256 x = _mm256_loadu_ps(f + p);
    const __m256 y = _mm256_permute_ps(x, _MM_SHUFFLE(1, 0, 3, 2));  // the pairs swapped
    _mm256_storeu_ps(f + p, _mm256_blend_ps(_mm256_add_ps(x, y), _mm256_sub_ps(y, x), 0xCC));
  }
  // Stage 2: groups of four entries, two groups at a time.
  {
    const float* w = stagetable(tw, 2);
    const __m256d wr = _mm256_setr_pd(w[0], w[1], w[0], w[1]);
    const __m256d wi = _mm256_setr_pd(w[2], w[3], w[2], w[3]);
    for (uint32_t q = 0; q < 2 * m; q += 16) {
      const __m256 a = _mm256_loadu_ps(f + q), b = _mm256_loadu_ps(f + q + 8);
      __m256 u = _mm256_permute2f128_ps(a, b, 0x20);
      __m256 v = _mm256_permute2f128_ps(a, b, 0x31);
      butterfly4(u, v, wr, wi);
      _mm256_storeu_ps(f + q, _mm256_permute2f128_ps(u, v, 0x20));
      _mm256_storeu_ps(f + q + 8, _mm256_permute2f128_ps(u, v, 0x31));
    }
  }
  for (uint32_t half = 4; half <= m / 2; half *= 2) {
    const float* wrs = stagetable(tw, half);
    const float* wis = wrs + half;
    for (uint32_t q = 0; q < m; q += 2 * half) {
      float* uf = f + 2 * q;
      float* vf = uf + 2 * half;
      for (uint32_t k = 0; k < half; k += 4) {
        __m256 u = _mm256_loadu_ps(uf + 2 * k), v = _mm256_loadu_ps(vf + 2 * k);
        butterfly4(u, v, _mm256_cvtps_pd(_mm_loadu_ps(wrs + k)),
                   _mm256_cvtps_pd(_mm_loadu_ps(wis + k)));
        _mm256_storeu_ps(uf + 2 * k, u);
        _mm256_storeu_ps(vf + 2 * k, v);
      }
    }
  }
  (void)nstages;
}

uint32_t peakavx2(cplx* s, uint32_t m, double& best) {
  if (m < 8) return peakscalar(s, m, best);
  float* f = &s[0].re;
  const __m256 inv = _mm256_set1_ps(1.0f / float(m));
  // Each lane keeps its own first largest amplitude and its bin; lane j
  // sees the bins k = j mod 4.
  __m256d lbest = _mm256_setzero_pd();
  __m256d lbin = _mm256_setzero_pd();
  __m256d bin = _mm256_setr_pd(0, 1, 2, 3);
  const __m256d four = _mm256_set1_pd(4);
  for (uint32_t k = 0; k < m / 2; k += 4) {
    const __m256 x = _mm256_mul_ps(_mm256_loadu_ps(f + 2 * k), inv);
    _mm256_storeu_ps(f + 2 * k, x);
    const __m128 lo = _mm256_castps256_ps128(x), hi = _mm256_extractf128_ps(x, 1);
    const __m256d re = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256d im = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256d a = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(re, re), _mm256_mul_pd(im, im)));
    // Strictly greater, and never not-a-number (an ordered comparison).
    __m256d gt = _mm256_cmp_pd(a, lbest, _CMP_GT_OQ);
    if (k == 0) gt = _mm256_blend_pd(gt, _mm256_setzero_pd(), 1);  // bin 0 takes no part
    lbest = _mm256_blendv_pd(lbest, a, gt);
    lbin = _mm256_blendv_pd(lbin, bin, gt);
    bin = _mm256_add_pd(bin, four);
  }
  for (uint32_t k = m / 2; k < m; k += 4)
    _mm256_storeu_ps(f + 2 * k, _mm256_mul_ps(_mm256_loadu_ps(f + 2 * k), inv));
  double lb[4], ln[4];
  _mm256_storeu_pd(lb, lbest);
  _mm256_storeu_pd(ln, lbin);
  // The largest of the lanes, and among lanes that tie the lowest bin.
  best = 0;
  uint32_t win = 0;
  for (int j = 0; j < 4; ++j) {
    const uint32_t k = uint32_t(ln[j]);
    if (lb[j] > best || (lb[j] == best && lb[j] > 0 && k < win)) {
      best = lb[j];
      win = k;
    }
  }
  return win;
}
