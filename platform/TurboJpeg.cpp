#include "platform/TurboJpeg.h"

#include <turbojpeg.h>

#include <bit>

namespace oculet {
namespace {

// TurboJPEG reports failure as -1; its error code separates warnings (0) from fatal errors (1).
// Callers only need "not zero", so a failure comes back as -1 - code: -1 for a warning treated
// as failure, -2 for a fatal error.
int failureCode(tjhandle handle) {
    return -1 - (handle != nullptr ? tjGetErrorCode(handle) : TJERR_FATAL);
}

struct JpegBuffer {
    unsigned char* data = nullptr;
    ~JpegBuffer() { tjFree(data); }
};

} // namespace

void TurboJpegEncoder::HandleDeleter::operator()(void* handle) const {
    if (handle != nullptr) {
        tjDestroy(static_cast<tjhandle>(handle));
    }
}

TurboJpegEncoder::TurboJpegEncoder() = default;
TurboJpegEncoder::~TurboJpegEncoder() = default;

int TurboJpegEncoder::initialise() {
    if (!handle_) {
        handle_.reset(tjInitCompress());
    }
    return handle_ ? 0 : failureCode(nullptr);
}

int TurboJpegEncoder::encodeRgb32TopDown(const std::uint8_t* bits, int width, int height, int pitch, int quality,
                                         std::vector<std::uint8_t>& jpeg) {
    if (initialise() != 0) {
        return failureCode(nullptr);
    }
    if (bits == nullptr || width <= 0 || height <= 0) {
        return failureCode(nullptr);
    }
    // 0xffRRGGBB in memory is B, G, R, X on a little-endian machine.
    const int pixelFormat = std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
    JpegBuffer out;
    unsigned long size = 0;
    const int rc = tjCompress2(handle_.get(), bits, width, pitch, height, pixelFormat, &out.data, &size, TJSAMP_420,
                               quality, 0);
    if (rc != 0) {
        return failureCode(handle_.get());
    }
    jpeg.assign(out.data, out.data + size);
    return 0;
}

} // namespace oculet
