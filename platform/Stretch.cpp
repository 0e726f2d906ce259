#include "platform/Stretch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace oculet {
namespace {

// Weights are fixed point with this sum per destination pixel: 12 bits keep a 255 channel times
// two passes of weights inside 32 bits and still resolve 1/4096 of a pixel.
constexpr int kWeightBits = 12;
constexpr std::uint32_t kOne = 1u << kWeightBits;

struct Tap {
    int first = 0;                      // first source index (relative to the source image)
    std::vector<std::uint16_t> weights; // one per source index from first on; 0 outside the image
};

// For every destination index in [dstBegin, dstEnd) of a destination span of dstLength, the
// source indices its footprint covers in a source span [srcStart, srcStart + srcLength) and
// their weights. Indices outside [0, srcLimit) keep their share of the sum but are zeroed, so
// area outside the source reads as black.
std::vector<Tap> makeTaps(int dstLength, int dstBegin, int dstEnd, int srcStart, int srcLength, int srcLimit) {
    std::vector<Tap> taps;
    taps.reserve(std::size_t(std::max(0, dstEnd - dstBegin)));
    const double scale = double(srcLength) / double(dstLength);
    for (int d = dstBegin; d < dstEnd; ++d) {
        const double lo = d * scale;
        const double hi = (d + 1) * scale;
        const int first = int(std::floor(lo));
        const int last = std::max(first, int(std::ceil(hi)) - 1);
        Tap tap;
        tap.first = srcStart + first;
        // Rounding the running total rather than each weight keeps every weight non-negative
        // and makes them sum to exactly one: a flat colour comes out exactly as it went in.
        tap.weights.resize(std::size_t(last - first + 1));
        double total = 0.0;
        int given = 0;
        for (int s = first; s <= last; ++s) {
            const double covered = std::min(hi, double(s + 1)) - std::max(lo, double(s));
            total += std::max(0.0, covered) / scale;
            const int upTo = (s == last) ? int(kOne) : std::min(int(kOne), int(std::lround(total * kOne)));
            const int weight = std::max(0, upTo - given);
            given += weight;
            const int index = srcStart + s;
            tap.weights[std::size_t(s - first)] = (index >= 0 && index < srcLimit) ? std::uint16_t(weight) : 0;
        }
        taps.push_back(std::move(tap));
    }
    return taps;
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

    const std::vector<Tap> columns = makeTaps(target.width(), clip.left() - target.left(),
                                              clip.right() + 1 - target.left(), srcRect.left(), srcRect.width(),
                                              src.width());
    const std::vector<Tap> rows = makeTaps(target.height(), clip.top() - target.top(),
                                           clip.bottom() + 1 - target.top(), srcRect.top(), srcRect.height(),
                                           src.height());

    // The source columns any destination column reads, clamped to the image.
    int colLo = src.width();
    int colHi = 0;
    for (const Tap& t : columns) {
        colLo = std::min(colLo, std::max(0, t.first));
        colHi = std::max(colHi, std::min(src.width(), t.first + int(t.weights.size())));
    }
    const int span = std::max(0, colHi - colLo);
    // Vertical pass result for one destination row: per source column, channel × weight sums.
    std::vector<std::uint32_t> red(std::size_t(span) + 1);
    std::vector<std::uint32_t> green(std::size_t(span) + 1);
    std::vector<std::uint32_t> blue(std::size_t(span) + 1);

    for (int y = 0; y < int(rows.size()); ++y) {
        const Tap& row = rows[std::size_t(y)];
        std::fill(red.begin(), red.end(), 0u);
        std::fill(green.begin(), green.end(), 0u);
        std::fill(blue.begin(), blue.end(), 0u);
        for (std::size_t k = 0; k < row.weights.size(); ++k) {
            const std::uint32_t w = row.weights[k];
            if (w == 0 || span == 0) {
                continue;
            }
            const auto* line = reinterpret_cast<const std::uint32_t*>(src.constScanLine(row.first + int(k))) + colLo;
            for (int x = 0; x < span; ++x) {
                const std::uint32_t p = line[x];
                red[std::size_t(x)] += ((p >> 16) & 0xff) * w;
                green[std::size_t(x)] += ((p >> 8) & 0xff) * w;
                blue[std::size_t(x)] += (p & 0xff) * w;
            }
        }
        auto* out = reinterpret_cast<std::uint32_t*>(dst.scanLine(clip.top() + y)) + clip.left();
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const Tap& col = columns[x];
            // At most 255 × 4096 × 4096 plus rounding: fits in 32 bits.
            std::uint32_t r = 0;
            std::uint32_t g = 0;
            std::uint32_t b = 0;
            for (std::size_t k = 0; k < col.weights.size(); ++k) {
                const std::uint32_t w = col.weights[k];
                if (w == 0) {
                    continue;
                }
                const std::size_t i = std::size_t(col.first + int(k) - colLo);
                r += red[i] * w;
                g += green[i] * w;
                b += blue[i] * w;
            }
            constexpr int shift = 2 * kWeightBits;
            constexpr std::uint32_t half = 1u << (shift - 1);
            out[x] = 0xff000000u | (((r + half) >> shift) << 16) | (((g + half) >> shift) << 8) | ((b + half) >> shift);
        }
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
