// The row kernels of the picture conversions, with their portable and
// processor-specific variants, in one table chosen once per process
// (ProcessConvertKernels); picture_convert.cpp walks the rows and calls the
// table's entries.
//
// Chroma rows reach the kernels at the 4:1:0 rate, already padded by the
// caller to ceil(width / 4) samples (the last sample repeated, or neutral 128
// without chroma), so a kernel never looks past a row's picture columns.
#pragma once

#include <cstdint>

#include "cpu_features.h"
#include "picture_convert.h"

namespace zdc {

// Per pixel of a row: the blue and green terms of bt601::ChromaTermsOf for
// its chroma sample as a pair (bg[2x], bg[2x + 1]), and the red term with
// bt601::kOpaque (rx[2x], rx[2x + 1]), so that a vector kernel adds each pair
// to the pixel's luma term twice over and packs B, G, R, X at once, with no
// rearranging of the terms per row.
struct ChromaTermRow {
  const int16_t* bg;
  const int16_t* rx;
};

// 4:2:0 chroma row from a 4:1:0 one: out[i] = in[i / 2] for i < count.
using ExpandChromaFn = void (*)(const uint8_t* in, uint8_t* out, int count);
// NV12 chroma row: out[2i] = u[i / 2], out[2i + 1] = v[i / 2] for i < pairs.
using InterleaveChromaFn = void (*)(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs);
// YUY2 row of `width` pixels: per pixel pair p, Y[2p], U[p / 2], Y[2p + 1],
// V[p / 2]; an odd width repeats its last luma sample in the last pair.
using PackYuy2Fn = void (*)(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                            int width);
// The chroma terms of `count` chroma samples, each written for the 4 pixels
// it covers (see ChromaTermRow): 8 x count values in `bg` and in `rx`.
using ChromaTermsFn = void (*)(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count);
// RGB row of `width` pixels: B, G, R (and X = 255 for 32 bits per pixel);
// `terms` holds `width` pixels' terms.
using RgbRowFn = void (*)(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);

struct ConvertKernels {
  ExpandChromaFn expandChroma;
  InterleaveChromaFn interleaveChroma;
  PackYuy2Fn packYuy2;
  ChromaTermsFn chromaTerms;
  RgbRowFn rgb32Row;
  RgbRowFn rgb24Row;
};

// The variants for a feature set: portable first, then the strongest set the
// features allow.
ConvertKernels ChooseConvertKernels(CpuFeatures features);

// The table for this process, chosen once from EffectiveCpuFeatures().
const ConvertKernels& ProcessConvertKernels();

// ConvertPicture through a given table (ConvertPicture passes the process's).
void ConvertPictureWith(const ConvertKernels& kernels, const Yvu9Picture& picture, PixelFormat format,
                        const Surface& destination);

void ExpandChroma_c(const uint8_t* in, uint8_t* out, int count);
void InterleaveChroma_c(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs);
void PackYuy2_c(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width);
void ChromaTerms_c(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count);
void Rgb32Row_c(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);
void Rgb24Row_c(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);

void ExpandChroma_sse2(const uint8_t* in, uint8_t* out, int count);
void InterleaveChroma_sse2(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs);
void PackYuy2_sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width);
void ChromaTerms_sse2(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count);
void Rgb32Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);
void Rgb24Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);

void ExpandChroma_avx2(const uint8_t* in, uint8_t* out, int count);
void InterleaveChroma_avx2(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs);
void PackYuy2_avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out, int width);
void ChromaTerms_avx2(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count);
void Rgb32Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);
void Rgb24Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width);

}  // namespace zdc
