#include "publish/DibSection.h"

#include <QImage>

#include <cstring>

namespace oculet {

bool DibSection::create(int width, int height) {
    clearUp();
    if (width <= 0 || height <= 0) {
        return false;
    }
    width_ = width;
    height_ = height;
    bits_.assign(static_cast<std::size_t>(bytesPerScanLine()) * static_cast<std::size_t>(height),
                 0);
    return true;
}

void DibSection::createFromPicture(const QImage& picture) {
    if (!create(picture.width(), picture.height())) {
        return;
    }
    // QImage's BGR888 rows are top-down and padded to 4 bytes, like ours; only the row order
    // differs, so each row is copied to its mirrored place.
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    const int rowBytes = width_ * 3;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(bits_.data() + static_cast<std::size_t>(height_ - 1 - y) * bytesPerScanLine(),
                    bgr.constScanLine(y), rowBytes);
    }
}

void DibSection::clearUp() {
    width_ = 0;
    height_ = 0;
    bits_.clear();
    bits_.shrink_to_fit();
}

} // namespace oculet
