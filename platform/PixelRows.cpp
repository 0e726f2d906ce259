#include "platform/PixelRows.h"

#include "platform/VectorClones.h"

#include <bit>
#include <cstring>

namespace oculet {

OCULET_VECTOR_CLONES
void packBgr24Row(uchar* out, const QRgb* in, int width) {
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels stored B G R A become twelve bytes in one shuffle. Each step writes 16 bytes
        // and keeps 12, so the loop stops while the spare 4 still fall inside the row.
        using Bytes = std::uint8_t __attribute__((vector_size(16)));
        for (; x + 6 <= width; x += 4) {
            Bytes pixels;
            std::memcpy(&pixels, in + x, sizeof pixels);
            const Bytes packed =
                __builtin_shufflevector(pixels, pixels, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0, 0, 0, 0);
            std::memcpy(out + 3 * x, &packed, sizeof packed);
        }
    }
    for (; x < width; ++x) {
        out[3 * x] = uchar(qBlue(in[x]));
        out[3 * x + 1] = uchar(qGreen(in[x]));
        out[3 * x + 2] = uchar(qRed(in[x]));
    }
}

} // namespace oculet
