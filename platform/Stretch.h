#pragma once

// Area-averaging scaling of screen copies onto the frame: every destination pixel is the
// average of the source area it covers, partly covered source pixels weighted by the covered
// fraction. Shrinking (the usual case: a 400 × 300 capture onto 320 × 240) thus keeps thin
// lines and text as soft lines instead of dropping them. Enlarging uses the same footprint
// rule, so a destination pixel takes the one source pixel under it, blended with its neighbour
// only where a source-pixel edge crosses it: nearest-neighbour with soft one-pixel seams rather
// than a blur, which keeps small screen text readable.

#include <QImage>
#include <QRect>
#include <QSize>

namespace oculet {

// Scales srcRect of src (the whole of src when srcRect is empty) onto dstRect of dst. The
// aspect ratio is not kept. Only the part of dstRect inside dst is written; the rest of dst is
// untouched. Source area outside src counts as black. dst is converted to Format_RGB32 first
// when it is not a 32-bit format. Returns false, leaving dst alone, when there is nothing to
// draw (null source, empty rectangles, dstRect wholly outside dst).
bool stretchInto(QImage& dst, const QRect& dstRect, const QImage& src, const QRect& srcRect = {});

// src scaled to size as a new Format_RGB32 image; a null image for a null src or empty size.
QImage stretched(const QImage& src, QSize size);

} // namespace oculet
