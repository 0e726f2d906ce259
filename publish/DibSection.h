#pragma once

#include <cstdint>
#include <vector>

class QImage;

namespace oculet {

// A 24-bit device-independent picture as the JPEG encoder takes it: bottom-up rows (the first
// row in memory is the bottom of the picture), 3 bytes per pixel in the order blue, green, red,
// each row padded to a multiple of 4 bytes. Empty after construction and after clearUp().
class DibSection {
public:
    DibSection() = default;

    // Replaces anything held by a black picture of that size; false (and empty) for a size
    // that is not positive.
    bool create(int width, int height);
    // Replaces anything held by a copy of the picture, converted to 24-bit BGR; a null picture
    // leaves the object empty.
    void createFromPicture(const QImage& picture);
    void clearUp();

    // width × 3 rounded up to a multiple of 4.
    int bytesPerScanLine() const { return (width_ * 3 + 3) & ~3; }
    int padBytes() const { return bytesPerScanLine() - width_ * 3; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return bits_.empty(); }
    const std::uint8_t* bits() const { return bits_.empty() ? nullptr : bits_.data(); }
    std::uint8_t* bits() { return bits_.empty() ? nullptr : bits_.data(); }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> bits_;
};

} // namespace oculet
