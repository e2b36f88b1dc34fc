#pragma once

// Copies parts of an image to the same places on what a painter draws on, replacing what is
// there. A meter restores its face under the needles this way at every frame: a dozen bands of
// short rows. Straight into the painter's image each row is one memcpy, without the painter's
// set-up and clipping for every band.

#include <QImage>
#include <QPainter>
#include <QRect>

#include <vector>

namespace kerrion {

// Copies each of `rects` (in the painter's logical coordinates, inside `source`) of `source`.
// Straight into the painter's image when it draws on an image of the source's format, unscaled,
// at a whole-pixel offset and with no clip of its own (the paint's region is not a clip of the
// painter's: the rectangles must lie within it); through the painter otherwise.
void CopyImageRects(QPainter& painter, const QImage& source, const std::vector<QRect>& rects);

} // namespace kerrion
