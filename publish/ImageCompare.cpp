#include "publish/ImageCompare.h"

#include <QImage>

#include <cstring>

namespace oculet {

bool imagesEqual(const QImage& first, const QImage& second) {
    if (first.isNull() || second.isNull() || first.size() != second.size()) {
        return false;
    }
    // Compare as 32-bit pixels with the unused byte forced, so two pictures that show the same
    // colours in different storage formats are equal.
    const QImage a = first.convertToFormat(QImage::Format_RGB32);
    const QImage b = second.convertToFormat(QImage::Format_RGB32);
    const int rowBytes = a.width() * 4;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace oculet
