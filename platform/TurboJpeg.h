#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace oculet {

// Encodes raw pixel rows to JPEG bytes in memory. Behind an interface so the writer's error
// paths can be driven by a test double; the real backend is libjpeg-turbo's TurboJPEG API.
class JpegEncoder {
public:
    virtual ~JpegEncoder() = default;

    // 0 when the encoder is ready; otherwise the code of the failure.
    virtual int initialise() = 0;
    // Encodes top-down rows of 32-bit pixels as QImage::Format_RGB32 keeps them (0xffRRGGBB in
    // native byte order), `pitch` bytes apart, with 4:2:0 chroma subsampling at `quality`
    // (1..100). Returns 0 and fills `jpeg`, or the encoder's failure code.
    virtual int encodeRgb32TopDown(const std::uint8_t* bits, int width, int height, int pitch, int quality,
                                   std::vector<std::uint8_t>& jpeg) = 0;
};

class TurboJpegEncoder final : public JpegEncoder {
public:
    TurboJpegEncoder();
    ~TurboJpegEncoder() override;
    TurboJpegEncoder(const TurboJpegEncoder&) = delete;
    TurboJpegEncoder& operator=(const TurboJpegEncoder&) = delete;

    int initialise() override;
    // The encoder reads the rows as they are, with no conversion first.
    int encodeRgb32TopDown(const std::uint8_t* bits, int width, int height, int pitch, int quality,
                           std::vector<std::uint8_t>& jpeg) override;

private:
    struct HandleDeleter {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, HandleDeleter> handle_;
};

} // namespace oculet
