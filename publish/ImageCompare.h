#pragma once

class QImage;

namespace oculet {

// True when both pictures have exactly the same pixels (every pixel, no tolerance). A null
// picture equals nothing, so the first frame after start-up is always published, even a black one.
bool imagesEqual(const QImage& first, const QImage& second);

} // namespace oculet
