#include "platform/Stretch.h"

#include "platform/VectorClones.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace oculet {
namespace {

// Weights are fixed point with this sum per destination pixel: 12 bits keep a 255 channel times
// two passes of weights inside 32 bits and still resolve 1/4096 of a pixel.
constexpr int kWeightBits = 12;
constexpr std::uint32_t kOne = 1u << kWeightBits;

// The source indices and weights of every destination index along one axis. Every index gets
// the same number of taps (the widest footprint's), unused ones weighing nothing, so the inner
// loops have a fixed length the compiler can unroll.
struct Taps {
    int width = 0;                         // taps per destination index
    std::vector<int> first;                // per destination index: first source index it reads
    std::vector<std::uint16_t> weights;    // `width` per destination index
    int lo = 0;                            // the source indices read, clamped to the image
    int hi = 0;
};

struct TapKey {
    int dstLength, dstBegin, dstEnd, srcStart, srcLength, srcLimit;
    bool operator==(const TapKey&) const = default;
};

// For every destination index in [dstBegin, dstEnd) of a destination span of dstLength, the
// source indices its footprint covers in a source span [srcStart, srcStart + srcLength) and
// their weights. Indices outside [0, srcLimit) are left out but their share of the sum is not
// given to the others, so area outside the source reads as black. A padding tap may point up to
// width - 1 indices past hi; its weight is 0.
std::shared_ptr<const Taps> makeTaps(const TapKey& k) {
    auto taps = std::make_shared<Taps>();
    std::vector<std::vector<std::uint16_t>> weights;
    taps->lo = k.srcLimit;
    const double scale = double(k.srcLength) / double(k.dstLength);
    for (int d = k.dstBegin; d < k.dstEnd; ++d) {
        const double lo = d * scale;
        const double hi = (d + 1) * scale;
        const int first = int(std::floor(lo));
        const int last = std::max(first, int(std::ceil(hi)) - 1);
        // Rounding the running total rather than each weight keeps every weight non-negative
        // and makes them sum to exactly one: a flat colour comes out exactly as it went in.
        double total = 0.0;
        int given = 0;
        int firstInside = -1;
        std::vector<std::uint16_t>& own = weights.emplace_back();
        for (int s = first; s <= last; ++s) {
            const double covered = std::min(hi, double(s + 1)) - std::max(lo, double(s));
            total += std::max(0.0, covered) / scale;
            const int upTo = (s == last) ? int(kOne) : std::min(int(kOne), int(std::lround(total * kOne)));
            const int weight = std::max(0, upTo - given);
            given += weight;
            const int index = k.srcStart + s;
            if (index >= 0 && index < k.srcLimit) {
                firstInside = firstInside < 0 ? index : firstInside;
                own.push_back(std::uint16_t(weight));
                taps->hi = std::max(taps->hi, index + 1);
            }
        }
        taps->first.push_back(firstInside);
        taps->width = std::max(taps->width, int(own.size()));
        taps->lo = firstInside < 0 ? taps->lo : std::min(taps->lo, firstInside);
    }
    taps->lo = std::min(taps->lo, taps->hi);
    taps->width = std::max(taps->width, 1);
    for (std::size_t d = 0; d < weights.size(); ++d) {
        weights[d].resize(std::size_t(taps->width), 0);
        taps->weights.insert(taps->weights.end(), weights[d].begin(), weights[d].end());
        taps->first[d] = taps->first[d] < 0 ? taps->lo : taps->first[d];
    }
    return taps;
}

// The frame cycle scales the same few rectangles (the capture, the copied boxes, the progress
// strip) every frame, so their weights are worked out once and looked up afterwards.
std::shared_ptr<const Taps> tapsFor(const TapKey& key) {
    struct Entry {
        TapKey key;
        std::shared_ptr<const Taps> taps;
    };
    thread_local std::array<Entry, 16> cache{};
    thread_local std::size_t next = 0;
    for (const Entry& e : cache) {
        if (e.taps && e.key == key) {
            return e.taps;
        }
    }
    Entry& slot = cache[next++ % cache.size()];
    slot = {key, makeTaps(key)};
    return slot.taps;
}

// The vertical pass works on bytes, so each of a pixel's four channels is summed in its own
// lane whatever the byte order; the alpha lane is summed too and thrown away at the end.
OCULET_VECTOR_CLONES
void setRow(std::uint32_t* sums, const std::uint8_t* line, int bytes, std::uint32_t weight) {
    for (int i = 0; i < bytes; ++i) {
        sums[i] = line[i] * weight;
    }
}

OCULET_VECTOR_CLONES
void setTwoRows(std::uint32_t* sums, const std::uint8_t* a, std::uint32_t wa, const std::uint8_t* b,
                std::uint32_t wb, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        sums[i] = a[i] * wa + b[i] * wb;
    }
}

OCULET_VECTOR_CLONES
void addRow(std::uint32_t* sums, const std::uint8_t* line, int bytes, std::uint32_t weight) {
    for (int i = 0; i < bytes; ++i) {
        sums[i] += line[i] * weight;
    }
}

// The horizontal pass: every output pixel is a weighted sum of a few columns of the vertical
// pass, four lanes at a time. At most 255 × 4096 × 4096 plus rounding: fits in 32 bits. Built
// for the usual tap counts with a fixed loop length, and once for any count.
template <int kFixedWidth>
OCULET_VECTOR_CLONES void sumColumns(std::uint8_t* out, const std::uint32_t* sums, const Taps& columns) {
    using Lanes = std::uint32_t __attribute__((vector_size(16)));
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    constexpr int shift = 2 * kWeightBits;
    constexpr std::uint32_t half = 1u << (shift - 1);
    // Where a 32-bit lane keeps its low byte.
    constexpr int low = std::endian::native == std::endian::little ? 0 : 3;
    const int width = kFixedWidth > 0 ? kFixedWidth : columns.width;
    // Held in locals: the stores through `out` could otherwise alias the tables.
    const std::size_t n = columns.first.size();
    const int* first = columns.first.data();
    const std::uint16_t* weights = columns.weights.data();
    const int lo = columns.lo;
    for (std::size_t x = 0; x < n; ++x) {
        Lanes total = {half, half, half, half};
        const std::uint16_t* w = weights + x * std::size_t(width);
        const std::uint32_t* column = sums + std::size_t(first[x] - lo) * 4;
        for (int k = 0; k < width; ++k) {
            Lanes v;
            std::memcpy(&v, column + std::size_t(k) * 4, sizeof v);
            total += v * std::uint32_t(w[k]);
        }
        total >>= shift;
        // Each lane now holds one channel in its low byte: gather those four bytes into a pixel.
        const Bytes lanes = reinterpret_cast<Bytes>(total);
        const Bytes packed = __builtin_shufflevector(lanes, lanes, low, low + 4, low + 8, low + 12, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 0);
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, &packed, 4);
        pixel |= 0xff000000u; // opaque, whatever the source's alpha
        std::memcpy(out + x * 4, &pixel, 4);
    }
}

void sumAllColumns(std::uint8_t* out, const std::uint32_t* sums, const Taps& columns) {
    switch (columns.width) {
    case 1: return sumColumns<1>(out, sums, columns);
    case 2: return sumColumns<2>(out, sums, columns);
    case 3: return sumColumns<3>(out, sums, columns);
    default: return sumColumns<0>(out, sums, columns);
    }
}

bool is32Bit(QImage::Format f) {
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

bool stretchInto(QImage& dst, const QRect& dstRect, const QImage& srcImage, const QRect& srcRectIn) {
    const QRect srcRect = srcRectIn.isEmpty() ? srcImage.rect() : srcRectIn.normalized();
    if (srcImage.isNull() || srcRect.isEmpty() || dstRect.isEmpty() || dst.isNull()) {
        return false;
    }
    const QRect clip = dstRect.normalized() & dst.rect();
    const QRect target = dstRect.normalized();
    if (clip.isEmpty()) {
        return false;
    }
    if (!is32Bit(dst.format())) {
        dst = dst.convertToFormat(QImage::Format_RGB32);
    }
    // Slow path only for unusual sources; captures are already RGB32.
    const QImage src = is32Bit(srcImage.format()) ? srcImage : srcImage.convertToFormat(QImage::Format_RGB32);

    const auto columns = tapsFor({target.width(), clip.left() - target.left(), clip.right() + 1 - target.left(),
                                  srcRect.left(), srcRect.width(), src.width()});
    const auto rows = tapsFor({target.height(), clip.top() - target.top(), clip.bottom() + 1 - target.top(),
                               srcRect.top(), srcRect.height(), src.height()});

    const int span = columns->hi - columns->lo;
    const int bytes = span * 4;
    // Padding taps read up to width - 1 columns past the span, always with weight 0.
    thread_local std::vector<std::uint32_t> sums;
    sums.resize(std::max(sums.size(), std::size_t(bytes + 4 * columns->width)));

    for (std::size_t y = 0; y < rows->first.size(); ++y) {
        // Shrinking by less than half, as the capture usually is, mixes two rows: one pass.
        const std::uint16_t* w = rows->weights.data() + y * std::size_t(rows->width);
        const auto line = [&](int k) { return src.constScanLine(rows->first[y] + k) + std::size_t(columns->lo) * 4; };
        int k = 0;
        if (span > 0 && rows->width >= 2 && w[0] != 0 && w[1] != 0) {
            setTwoRows(sums.data(), line(0), w[0], line(1), w[1], bytes);
            k = 2;
        } else {
            while (k < rows->width && w[k] == 0) {
                ++k;
            }
            if (span > 0 && k < rows->width) {
                setRow(sums.data(), line(k), bytes, w[k]);
                ++k;
            } else {
                std::fill_n(sums.begin(), bytes, 0u);
            }
        }
        for (; k < rows->width && span > 0; ++k) {
            if (w[k] != 0) {
                addRow(sums.data(), line(k), bytes, w[k]);
            }
        }
        auto* out = dst.scanLine(clip.top() + int(y)) + std::size_t(clip.left()) * 4;
        sumAllColumns(out, sums.data(), *columns);
    }
    return true;
}

QImage stretched(const QImage& src, QSize size) {
    if (src.isNull() || size.isEmpty()) {
        return {};
    }
    QImage out(size, QImage::Format_RGB32);
    out.fill(0xff000000u);
    stretchInto(out, out.rect(), src);
    return out;
}

} // namespace oculet
