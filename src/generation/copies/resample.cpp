#include "generation/copies/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define MIVO_AVX2 1
#endif

namespace mivo {

namespace {

// Weights are fixed point: 1.0 is 1 << kWeightBits. Two taps of 255 at the largest weight a
// Lanczos3 lobe reaches stay far inside an int32 sum.
constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr int kRound = 1 << (kWeightBits - 1);
// The H pass reads two pixels (8 bytes) at a time, the last pair up to this far past the row.
constexpr std::size_t kRowSlack = 16;

double lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9) {
        return 1.0;
    }
    if (x >= 3.0) {
        return 0.0;
    }
    const double px = std::numbers::pi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

// For each output position, `count` weights over the inputs first..first+count-1; positions
// past the input's edges take the edge pixel, as libvips extends an image.
struct Taps {
    int count = 0;
    std::vector<int> first;
    std::vector<std::int16_t> weights;
    // The same weights two by two (w0 | w1 << 16, an odd last one paired with 0), each pair
    // four times over: one load gives the SIMD filter what it multiplies a pixel pair by.
    int pairCount = 0;
    std::vector<std::uint32_t> pairs;
};

std::uint32_t weightPair(std::int16_t low, std::int16_t high) {
    return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16U) |
           static_cast<std::uint16_t>(low);
}

Taps makeTaps(int sourceSize, int targetSize) {
    Taps taps;
    const double shrink = static_cast<double>(sourceSize) / static_cast<double>(targetSize);
    const double stretch = std::max(shrink, 1.0);
    const double support = 3.0 * stretch;
    taps.count = std::min(sourceSize, static_cast<int>(std::ceil(2.0 * support)) + 1);
    taps.first.resize(static_cast<std::size_t>(targetSize));
    taps.weights.assign(static_cast<std::size_t>(targetSize) * static_cast<std::size_t>(taps.count),
                        0);
    std::vector<double> raw(static_cast<std::size_t>(taps.count));
    for (int i = 0; i < targetSize; ++i) {
        const double center = (i + 0.5) * shrink - 0.5;
        const int low = static_cast<int>(std::ceil(center - support));
        const int high = static_cast<int>(std::floor(center + support));
        const int first = std::clamp(low, 0, sourceSize - taps.count);
        std::fill(raw.begin(), raw.end(), 0.0);
        double sum = 0.0;
        for (int j = low; j <= high; ++j) {
            const double weight = lanczos3((j - center) / stretch);
            const int slot = std::clamp(j, 0, sourceSize - 1) - first;
            if (slot >= 0 && slot < taps.count) {
                raw[static_cast<std::size_t>(slot)] += weight;
                sum += weight;
            }
        }
        std::int16_t* out =
            &taps.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(taps.count)];
        int total = 0;
        int largest = 0;
        for (int t = 0; t < taps.count; ++t) {
            const double share = sum != 0.0 ? raw[static_cast<std::size_t>(t)] / sum : 0.0;
            out[t] = static_cast<std::int16_t>(std::lround(share * kWeightOne));
            total += out[t];
            if (out[t] > out[largest]) {
                largest = t;
            }
        }
        // Rounding must not brighten or darken a flat area.
        out[largest] = static_cast<std::int16_t>(out[largest] + (kWeightOne - total));
        taps.first[static_cast<std::size_t>(i)] = first;
    }
    taps.pairCount = (taps.count + 1) / 2;
    taps.pairs.resize(static_cast<std::size_t>(targetSize) *
                      static_cast<std::size_t>(taps.pairCount) * 4);
    for (int i = 0; i < targetSize; ++i) {
        const std::int16_t* weights =
            &taps.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(taps.count)];
        std::uint32_t* pair =
            &taps.pairs[static_cast<std::size_t>(i) * static_cast<std::size_t>(taps.pairCount) * 4];
        for (int t = 0; t < taps.count; t += 2) {
            const std::uint32_t value =
                weightPair(weights[t], t + 1 < taps.count ? weights[t + 1] : 0);
            std::fill(pair, pair + 4, value);
            pair += 4;
        }
    }
    return taps;
}

unsigned char clampByte(int sum) {
    const int value = (sum + kRound) >> kWeightBits;
    return static_cast<unsigned char>(std::clamp(value, 0, 255));
}

#if defined(MIVO_AVX2)
// The same 32 bytes at a time, where the processor has AVX2 (most since 2013): half the
// instructions of the column filter, which reads the most. The in-lane unpacks and packs
// undo each other, so bytes come back in their order.
__attribute__((target("avx2"))) std::size_t filterColumnsWide(const unsigned char* const* rows,
                                                              const std::uint32_t* pairs, int count,
                                                              std::size_t length,
                                                              unsigned char* out) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i round = _mm256_set1_epi32(kRound);
    std::size_t x = 0;
    for (; x + 32 <= length; x += 32) {
        __m256i sum0 = round;
        __m256i sum1 = round;
        __m256i sum2 = round;
        __m256i sum3 = round;
        for (int t = 0; t < count; t += 2) {
            const int next = t + 1 < count ? t + 1 : t;
            const __m256i pair =
                _mm256_set1_epi32(static_cast<int>(pairs[static_cast<std::size_t>(t) * 2]));
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t] + x));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[next] + x));
            const __m256i aLow = _mm256_unpacklo_epi8(a, zero);
            const __m256i aHigh = _mm256_unpackhi_epi8(a, zero);
            const __m256i bLow = _mm256_unpacklo_epi8(b, zero);
            const __m256i bHigh = _mm256_unpackhi_epi8(b, zero);
            sum0 =
                _mm256_add_epi32(sum0, _mm256_madd_epi16(_mm256_unpacklo_epi16(aLow, bLow), pair));
            sum1 =
                _mm256_add_epi32(sum1, _mm256_madd_epi16(_mm256_unpackhi_epi16(aLow, bLow), pair));
            sum2 = _mm256_add_epi32(sum2,
                                    _mm256_madd_epi16(_mm256_unpacklo_epi16(aHigh, bHigh), pair));
            sum3 = _mm256_add_epi32(sum3,
                                    _mm256_madd_epi16(_mm256_unpackhi_epi16(aHigh, bHigh), pair));
        }
        sum0 = _mm256_srai_epi32(sum0, kWeightBits);
        sum1 = _mm256_srai_epi32(sum1, kWeightBits);
        sum2 = _mm256_srai_epi32(sum2, kWeightBits);
        sum3 = _mm256_srai_epi32(sum3, kWeightBits);
        const __m256i packed =
            _mm256_packus_epi16(_mm256_packs_epi32(sum0, sum1), _mm256_packs_epi32(sum2, sum3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
    }
    return x;
}

// Two output pixels (colour) at a time, one in each half of the register.
__attribute__((target("avx2"))) int filterRowWide(const unsigned char* in, const Taps& taps,
                                                  int width, unsigned char* out) {
    const auto pairCount = static_cast<std::size_t>(taps.pairCount);
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        const auto at = static_cast<std::size_t>(x);
        const unsigned char* left = in + static_cast<std::size_t>(taps.first[at]) * 3;
        const unsigned char* right = in + static_cast<std::size_t>(taps.first[at + 1]) * 3;
        const std::uint32_t* leftPairs = &taps.pairs[at * pairCount * 4];
        const std::uint32_t* rightPairs = leftPairs + pairCount * 4;
        __m256i sum = _mm256_set1_epi32(kRound);
        for (std::size_t k = 0; k < pairCount; ++k) {
            const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(left + 6 * k));
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(right + 6 * k));
            const __m256i two = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
            const __m256i mixed = _mm256_unpacklo_epi16(two, _mm256_srli_si256(two, 6));
            const __m256i weights = _mm256_set_m128i(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(rightPairs + 4 * k)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(leftPairs + 4 * k)));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(mixed, weights));
        }
        sum = _mm256_srai_epi32(sum, kWeightBits);
        const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(sum, sum), sum);
        const auto first = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(packed));
        const auto second = static_cast<std::uint32_t>(_mm256_extract_epi32(packed, 4));
        unsigned char* target = out + at * 3;
        target[0] = static_cast<unsigned char>(first & 0xFFU);
        target[1] = static_cast<unsigned char>((first >> 8U) & 0xFFU);
        target[2] = static_cast<unsigned char>((first >> 16U) & 0xFFU);
        target[3] = static_cast<unsigned char>(second & 0xFFU);
        target[4] = static_cast<unsigned char>((second >> 8U) & 0xFFU);
        target[5] = static_cast<unsigned char>((second >> 16U) & 0xFFU);
    }
    return x;
}

bool hasWideVectors() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}
#endif

// One output row from `count` input rows: out[x] = sum of weight[t] * rows[t][x].
void filterColumns(const unsigned char* const* rows, const std::int16_t* weights,
                   const std::uint32_t* pairs, int count, std::size_t length, unsigned char* out) {
    std::size_t x = 0;
#if defined(MIVO_AVX2)
    if (hasWideVectors()) {
        x = filterColumnsWide(rows, pairs, count, length, out);
    }
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(kRound);
    for (; x + 16 <= length; x += 16) {
        __m128i sum0 = round;
        __m128i sum1 = round;
        __m128i sum2 = round;
        __m128i sum3 = round;
        for (int t = 0; t < count; t += 2) {
            // Pairs of rows meet their pair of weights in one multiply-add; an odd last row is
            // paired with itself at weight 0.
            const int next = t + 1 < count ? t + 1 : t;
            const __m128i pair = _mm_loadu_si128(
                reinterpret_cast<const __m128i*>(pairs + static_cast<std::size_t>(t) * 2));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + x));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[next] + x));
            const __m128i aLow = _mm_unpacklo_epi8(a, zero);
            const __m128i aHigh = _mm_unpackhi_epi8(a, zero);
            const __m128i bLow = _mm_unpacklo_epi8(b, zero);
            const __m128i bHigh = _mm_unpackhi_epi8(b, zero);
            sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(_mm_unpacklo_epi16(aLow, bLow), pair));
            sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(_mm_unpackhi_epi16(aLow, bLow), pair));
            sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, bHigh), pair));
            sum3 = _mm_add_epi32(sum3, _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, bHigh), pair));
        }
        sum0 = _mm_srai_epi32(sum0, kWeightBits);
        sum1 = _mm_srai_epi32(sum1, kWeightBits);
        sum2 = _mm_srai_epi32(sum2, kWeightBits);
        sum3 = _mm_srai_epi32(sum3, kWeightBits);
        const __m128i packed =
            _mm_packus_epi16(_mm_packs_epi32(sum0, sum1), _mm_packs_epi32(sum2, sum3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packed);
    }
#endif
    for (; x < length; ++x) {
        int sum = 0;
        for (int t = 0; t < count; ++t) {
            sum += weights[t] * rows[t][x];
        }
        out[x] = clampByte(sum);
    }
}

// One output row from one input row (with kRowSlack readable bytes past its end).
void filterRow(const unsigned char* in, int bands, const Taps& taps, int width,
               unsigned char* out) {
    const int count = taps.count;
    int x = 0;
#if defined(MIVO_AVX2)
    if (bands == 3 && hasWideVectors()) {
        x = filterRowWide(in, taps, width, out);
    }
#endif
    for (; x < width; ++x) {
        const std::int16_t* weights =
            &taps.weights[static_cast<std::size_t>(x) * static_cast<std::size_t>(count)];
        const unsigned char* pixel =
            in + static_cast<std::size_t>(taps.first[static_cast<std::size_t>(x)]) *
                     static_cast<std::size_t>(bands);
        unsigned char* target = out + static_cast<std::size_t>(x) * static_cast<std::size_t>(bands);
#if defined(__SSE2__)
        if (bands == 3) {
            const __m128i zero = _mm_setzero_si128();
            __m128i sum = _mm_set1_epi32(kRound);
            const std::uint32_t* pairs = &taps.pairs[static_cast<std::size_t>(x) *
                                                     static_cast<std::size_t>(taps.pairCount) * 4];
            for (int k = 0; k < taps.pairCount; ++k) {
                // Two pixels r0 g0 b0 r1 g1 b1 become r0 r1 g0 g1 b0 b1 to meet (w0, w1).
                const __m128i pair =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 4 * k));
                const __m128i two = _mm_unpacklo_epi8(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixel + 6 * k)), zero);
                const __m128i mixed = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 6));
                sum = _mm_add_epi32(sum, _mm_madd_epi16(mixed, pair));
            }
            sum = _mm_srai_epi32(sum, kWeightBits);
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(sum, sum), zero);
            const auto value = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
            target[0] = static_cast<unsigned char>(value & 0xFFU);
            target[1] = static_cast<unsigned char>((value >> 8U) & 0xFFU);
            target[2] = static_cast<unsigned char>((value >> 16U) & 0xFFU);
            continue;
        }
#endif
        for (int band = 0; band < bands; ++band) {
            int sum = 0;
            for (int t = 0; t < count; ++t) {
                sum += weights[t] * pixel[t * bands + band];
            }
            target[band] = clampByte(sum);
        }
    }
}

// Averages blocks of `across` x `down` pixels (the last part-blocks are left out): the rows
// of a block are summed first, straight along memory, then the columns of that sum.
void boxShrink(const PixelView& in, int across, int down, Pixels& out) {
    out.bands = in.bands;
    out.width = std::max(in.width / across, 1);
    out.height = std::max(in.height / down, 1);
    const auto bands = static_cast<std::size_t>(in.bands);
    const auto sourceStride = static_cast<std::size_t>(in.width) * bands;
    const std::size_t targetStride = static_cast<std::size_t>(out.width) * bands;
    out.data.resize(targetStride * static_cast<std::size_t>(out.height));
    std::vector<std::uint32_t> rowSum(sourceStride);
    const std::uint32_t count =
        static_cast<std::uint32_t>(across) * static_cast<std::uint32_t>(down);
    const std::size_t step = static_cast<std::size_t>(across) * bands;
    for (int y = 0; y < out.height; ++y) {
        std::fill(rowSum.begin(), rowSum.end(), 0U);
        const int rows = std::min(down, in.height - y * down);
        for (int row = 0; row < rows; ++row) {
            const unsigned char* line =
                in.data + static_cast<std::size_t>(y * down + row) * sourceStride;
            for (std::size_t x = 0; x < sourceStride; ++x) {
                rowSum[x] += line[x];
            }
        }
        unsigned char* target = out.data.data() + static_cast<std::size_t>(y) * targetStride;
        for (std::size_t pixel = 0; pixel < static_cast<std::size_t>(out.width); ++pixel) {
            const std::uint32_t* block = rowSum.data() + pixel * step;
            for (std::size_t band = 0; band < bands; ++band) {
                std::uint32_t sum = 0;
                for (std::size_t i = band; i < step; i += bands) {
                    sum += block[i];
                }
                target[pixel * bands + band] =
                    static_cast<unsigned char>((sum + count / 2) / count);
            }
        }
    }
}

void lanczosShrink(const PixelView& in, int width, int height, Pixels& out) {
    const Taps across = makeTaps(in.width, width);
    const Taps down = makeTaps(in.height, height);
    const auto bands = static_cast<std::size_t>(in.bands);
    const std::size_t sourceStride = static_cast<std::size_t>(in.width) * bands;
    const std::size_t targetStride = static_cast<std::size_t>(width) * bands;
    out.width = width;
    out.height = height;
    out.bands = in.bands;
    out.data.resize(targetStride * static_cast<std::size_t>(height));
    // Down first, into one row, then across from it: the rows the column filter reads stay in
    // the cache, and the across pass runs over the fewer rows.
    std::vector<unsigned char> column(sourceStride + kRowSlack, 0);
    std::vector<const unsigned char*> rows(static_cast<std::size_t>(down.count));
    for (int y = 0; y < height; ++y) {
        const int first = down.first[static_cast<std::size_t>(y)];
        for (int t = 0; t < down.count; ++t) {
            rows[static_cast<std::size_t>(t)] =
                in.data + static_cast<std::size_t>(first + t) * sourceStride;
        }
        filterColumns(
            rows.data(),
            &down.weights[static_cast<std::size_t>(y) * static_cast<std::size_t>(down.count)],
            &down.pairs[static_cast<std::size_t>(y) * static_cast<std::size_t>(down.pairCount) * 4],
            down.count, sourceStride, column.data());
        filterRow(column.data(), in.bands, across, width,
                  out.data.data() + static_cast<std::size_t>(y) * targetStride);
    }
}

} // namespace

void shrinkPixels(const PixelView& in, int width, int height, Pixels& out) {
    width = std::clamp(width, 1, in.width);
    height = std::clamp(height, 1, in.height);
    if (width == in.width && height == in.height) {
        out.width = in.width;
        out.height = in.height;
        out.bands = in.bands;
        out.data.assign(in.data, in.data + static_cast<std::size_t>(in.width) *
                                               static_cast<std::size_t>(in.height) *
                                               static_cast<std::size_t>(in.bands));
        return;
    }
    // Lanczos3 over a shrink of s reads 6s + 1 pixels for each: past 4, a box average takes
    // the bulk of the shrink and leaves at least 2 for the kernel.
    const int across = std::max(in.width / width / 2, 1);
    const int down = std::max(in.height / height / 2, 1);
    if (across > 1 || down > 1) {
        Pixels boxed;
        boxShrink(in, across, down, boxed);
        lanczosShrink(PixelView{boxed.data.data(), boxed.width, boxed.height, boxed.bands},
                      std::min(width, boxed.width), std::min(height, boxed.height), out);
        return;
    }
    lanczosShrink(in, width, height, out);
}

void shrinkPixels(const Pixels& in, int width, int height, Pixels& out) {
    shrinkPixels(PixelView{in.data.data(), in.width, in.height, in.bands}, width, height, out);
}

void orientPixels(const Pixels& in, int orientation, Pixels& out) {
    if (orientation < 2 || orientation > 8) {
        out.width = in.width;
        out.height = in.height;
        out.bands = in.bands;
        out.data.assign(in.data.begin(), in.data.end());
        return;
    }
    const bool swap = orientation >= 5;
    out.bands = in.bands;
    out.width = swap ? in.height : in.width;
    out.height = swap ? in.width : in.height;
    const auto bands = static_cast<std::size_t>(in.bands);
    out.data.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) *
                    bands);
    const int lastX = in.width - 1;
    const int lastY = in.height - 1;
    for (int y = 0; y < out.height; ++y) {
        unsigned char* target = out.data.data() + static_cast<std::size_t>(y) *
                                                      static_cast<std::size_t>(out.width) * bands;
        for (int x = 0; x < out.width; ++x) {
            // Where the upright pixel (x, y) is stored.
            int sx = x;
            int sy = y;
            switch (orientation) {
            case 2:
                sx = lastX - x;
                break;
            case 3:
                sx = lastX - x;
                sy = lastY - y;
                break;
            case 4:
                sy = lastY - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = lastY - x;
                break;
            case 7:
                sx = lastX - y;
                sy = lastY - x;
                break;
            default:
                sx = lastX - y;
                sy = x;
                break; // 8
            }
            std::memcpy(target + static_cast<std::size_t>(x) * bands,
                        in.data.data() +
                            (static_cast<std::size_t>(sy) * static_cast<std::size_t>(in.width) +
                             static_cast<std::size_t>(sx)) *
                                bands,
                        bands);
        }
    }
}

} // namespace mivo
