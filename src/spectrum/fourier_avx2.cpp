// The AVX2 forms of the transform's stages, of the reorder's tiles and of
// the peak search. Every function here is built for AVX2 by its target
// attribute (without FMA: a fused multiply-add would round once where the
// scalar form rounds twice), whatever the flags of the build; they are
// called only when the processor has AVX2. The file includes nothing that
// could leave an AVX2 copy of a shared inline function for the rest of the
// program.
//
// Same bits as the scalar forms: a float times a float is exact in double,
// so the products are the same in SIMD registers; each part of a product is
// summed in double and rounded to float once, as there; every operation
// keeps its operands in the scalar order.
#include <immintrin.h>

#include "spectrum/kernels.h"

#ifdef __FMA__
#error "build without FMA: the butterflies must not fuse their roundings"
#endif

#define AVX2 __attribute__((target("avx2")))

// Eight butterflies: entries u0 (4) and u1 (4) with v0 and v1. The parts
// of v are gathered in the lane order 0, 1, 4, 5 (the A half) and 2, 3, 6, 7
// (the B half), the order an in-lane shuffle gives; the twiddles come in the
// same order, as doubles; unpacking the products puts them back in entry
// order.
AVX2 static inline void butterfly8(__m256& u0, __m256& u1, __m256& v0, __m256& v1, __m256d wra,
                                   __m256d wrb, __m256d wia, __m256d wib) {
  const __m256 vr = _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 vi = _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1));
  const __m256d vra = _mm256_cvtps_pd(_mm256_castps256_ps128(vr));
  const __m256d vrb = _mm256_cvtps_pd(_mm256_extractf128_ps(vr, 1));
  const __m256d via = _mm256_cvtps_pd(_mm256_castps256_ps128(vi));
  const __m256d vib = _mm256_cvtps_pd(_mm256_extractf128_ps(vi, 1));
  const __m128 tra =
      _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(vra, wra), _mm256_mul_pd(via, wia)));
  const __m128 trb =
      _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(vrb, wrb), _mm256_mul_pd(vib, wib)));
  const __m128 tia =
      _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(vra, wia), _mm256_mul_pd(via, wra)));
  const __m128 tib =
      _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(vrb, wib), _mm256_mul_pd(vib, wrb)));
  const __m256 tr = _mm256_set_m128(trb, tra), ti = _mm256_set_m128(tib, tia);
  const __m256 t0 = _mm256_unpacklo_ps(tr, ti), t1 = _mm256_unpackhi_ps(tr, ti);
  const __m256 a = u0, b = u1;
  u0 = _mm256_add_ps(a, t0);
  v0 = _mm256_sub_ps(a, t0);
  u1 = _mm256_add_ps(b, t1);
  v1 = _mm256_sub_ps(b, t1);
}

AVX2 static inline __m256d wide(const float* p) {
  return _mm256_cvtps_pd(_mm_loadu_ps(p));
}

AVX2 void stagesavx2(cplx* s, const float* tw, uint32_t m, uint32_t nstages) {
  if (m < 16) {
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
  // Stage 2: groups of four entries (two u, two v), four groups at a time;
  // u0 and u1 then hold entries 0, 1 of two groups each, so both lane
  // halves take twiddles 0, 1, 0, 1.
  {
    const float* w = stagetable(tw, 2);
    const __m256d wr = _mm256_setr_pd(w[0], w[1], w[0], w[1]);
    const __m256d wi = _mm256_setr_pd(w[2], w[3], w[2], w[3]);
    for (uint32_t q = 0; q < 2 * m; q += 32) {
      const __m256 a = _mm256_loadu_ps(f + q), b = _mm256_loadu_ps(f + q + 8);
      const __m256 c = _mm256_loadu_ps(f + q + 16), d = _mm256_loadu_ps(f + q + 24);
      __m256 u0 = _mm256_permute2f128_ps(a, b, 0x20), v0 = _mm256_permute2f128_ps(a, b, 0x31);
      __m256 u1 = _mm256_permute2f128_ps(c, d, 0x20), v1 = _mm256_permute2f128_ps(c, d, 0x31);
      butterfly8(u0, u1, v0, v1, wr, wr, wi, wi);
      _mm256_storeu_ps(f + q, _mm256_permute2f128_ps(u0, v0, 0x20));
      _mm256_storeu_ps(f + q + 8, _mm256_permute2f128_ps(u0, v0, 0x31));
      _mm256_storeu_ps(f + q + 16, _mm256_permute2f128_ps(u1, v1, 0x20));
      _mm256_storeu_ps(f + q + 24, _mm256_permute2f128_ps(u1, v1, 0x31));
    }
  }
  // Stage 3: groups of eight entries, two groups at a time; the A half
  // takes twiddles 0, 1, 0, 1 and the B half 2, 3, 2, 3.
  {
    const float* w = stagetable(tw, 4);
    const __m256d wra = _mm256_setr_pd(w[0], w[1], w[0], w[1]);
    const __m256d wrb = _mm256_setr_pd(w[2], w[3], w[2], w[3]);
    const __m256d wia = _mm256_setr_pd(w[4], w[5], w[4], w[5]);
    const __m256d wib = _mm256_setr_pd(w[6], w[7], w[6], w[7]);
    for (uint32_t q = 0; q < 2 * m; q += 32) {
      __m256 u0 = _mm256_loadu_ps(f + q), v0 = _mm256_loadu_ps(f + q + 8);
      __m256 u1 = _mm256_loadu_ps(f + q + 16), v1 = _mm256_loadu_ps(f + q + 24);
      butterfly8(u0, u1, v0, v1, wra, wrb, wia, wib);
      _mm256_storeu_ps(f + q, u0);
      _mm256_storeu_ps(f + q + 8, v0);
      _mm256_storeu_ps(f + q + 16, u1);
      _mm256_storeu_ps(f + q + 24, v1);
    }
  }
  // The rest: eight butterflies of one group at a time, the twiddles kept
  // in the order the kernel takes them.
  for (uint32_t half = 8; half <= m / 2; half *= 2) {
    const float* wrs = stagetable(tw, half);
    const float* wis = wrs + half;
    for (uint32_t q = 0; q < m; q += 2 * half) {
      float* uf = f + 2 * q;
      float* vf = uf + 2 * half;
      for (uint32_t k = 0; k < half; k += 8) {
        __m256 u0 = _mm256_loadu_ps(uf + 2 * k), u1 = _mm256_loadu_ps(uf + 2 * k + 8);
        __m256 v0 = _mm256_loadu_ps(vf + 2 * k), v1 = _mm256_loadu_ps(vf + 2 * k + 8);
        butterfly8(u0, u1, v0, v1, wide(wrs + k), wide(wrs + k + 4), wide(wis + k),
                   wide(wis + k + 4));
        _mm256_storeu_ps(uf + 2 * k, u0);
        _mm256_storeu_ps(uf + 2 * k + 8, u1);
        _mm256_storeu_ps(vf + 2 * k, v0);
        _mm256_storeu_ps(vf + 2 * k + 8, v1);
      }
    }
  }
  (void)nstages;
}

// The 8 x 8 tile of re parts at p (rows a = 0..7, row apart) transposed
// with both indices reversed: out[x][y] = tile[rev y][rev x].
AVX2 static inline void tile(const cplx* p, uint32_t row, __m256 out[8]) {
  static const int r3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  __m256 r[8];
  // Register i holds row rev(i), its entries c in the order 0, 1, 4, 5, 2,
  // 3, 6, 7 that the in-lane shuffle leaves them.
  for (int i = 0; i < 8; ++i) {
    const float* q = &p[r3[i] * row].re;
    r[i] = _mm256_shuffle_ps(_mm256_loadu_ps(q), _mm256_loadu_ps(q + 8), _MM_SHUFFLE(2, 0, 2, 0));
  }
  const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
  const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
  const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
  const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
  const __m256 u0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 u1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 u2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 u3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 u4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 u5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 u6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 u7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
  // Column j (element j of every register) is entry c = 0, 1, 4, 5, 2, 3,
  // 6, 7 of the rows, and goes to row x = rev(c) = 0, 4, 1, 5, 2, 6, 3, 7.
  out[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
  out[4] = _mm256_permute2f128_ps(u1, u5, 0x20);
  out[1] = _mm256_permute2f128_ps(u2, u6, 0x20);
  out[5] = _mm256_permute2f128_ps(u3, u7, 0x20);
  out[2] = _mm256_permute2f128_ps(u0, u4, 0x31);
  out[6] = _mm256_permute2f128_ps(u1, u5, 0x31);
  out[3] = _mm256_permute2f128_ps(u2, u6, 0x31);
  out[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// Eight re parts as eight entries (re, 0): each float widened to 64 bits
// with a zero im.
AVX2 static inline void putrow(cplx* p, __m256 x) {
  const __m256i v = _mm256_castps_si256(x);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                      _mm256_cvtepu32_epi64(_mm256_castsi256_si128(v)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 4),
                      _mm256_cvtepu32_epi64(_mm256_extracti128_si256(v, 1)));
}

AVX2 void tilesavx2(cplx* s, uint32_t nst) {
  const uint32_t nb = nst - 6, row = uint32_t(1) << (nb + 3);
  for (uint32_t b = 0; b < (uint32_t(1) << nb); ++b) {
    uint32_t br = 0;
    for (uint32_t i = 0; i < nb; ++i) br |= ((b >> i) & 1) << (nb - 1 - i);
    if (br < b) continue;  // done with tile br
    __m256 fromb[8], fromr[8];
    tile(s + 8 * b, row, fromb);
    tile(s + 8 * br, row, fromr);
    for (uint32_t x = 0; x < 8; ++x) {
      putrow(s + 8 * br + x * row, fromb[x]);
      putrow(s + 8 * b + x * row, fromr[x]);
    }
  }
}

AVX2 uint32_t peakavx2(cplx* s, uint32_t m, double& best) {
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
