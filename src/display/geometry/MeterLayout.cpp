#include "display/geometry/MeterLayout.h"

#include "display/geometry/FaceGeometry.h"

namespace kerrion {

namespace {

int Trunc(double v) { return static_cast<int>(v); }

} // namespace

MeterLayout ComputeLayout(int W, int H, int count)
{
    MeterLayout l;
    if (count > 8)
        return l;
    l.valid = true;
    if (count == 1) {
        l.columns = 1;
        l.w = W;
        l.h = H;
        l.s = 1.0;
        return l;
    }
    const bool landscape = W > H;
    if (count <= 4 && landscape) {
        l.columns = 2;
        l.w = Trunc(W * 0.5 * 0.85);
        l.offX = Trunc(W * 0.06);
        l.offY = Trunc(H * 0.075);
        l.gapX = Trunc(W * 0.04);
        l.gapY = Trunc(H * 0.05);
    } else if (count <= 4) {
        l.columns = 1;
        l.w = Trunc(W / 1.5 * 0.85);
        l.offX = Trunc(W * 0.2);
        l.offY = Trunc(H * 0.05);
        l.gapX = Trunc(W * 0.2);
        l.gapY = Trunc(H * 0.02);
    } else if (landscape) {
        l.columns = 4;
        l.w = Trunc((W / 4) * 0.85);
        l.offX = Trunc(W * 0.035);
        l.offY = Trunc(H * 0.1);
        l.gapX = Trunc(W * 0.03);
        l.gapY = Trunc(H * 0.1);
    } else {
        l.columns = 2;
        l.w = Trunc((W / 2) * 0.85);
        l.offX = Trunc(W * 0.06);
        l.offY = Trunc(H * 0.1);
        l.gapX = Trunc(W * 0.03);
        l.gapY = Trunc(H * 0.05);
    }
    l.s = static_cast<double>(l.w) / kFaceWidth;
    l.h = Trunc(l.s * kFaceHeight);
    return l;
}

PointI MeterOrigin(const MeterLayout& layout, int i)
{
    if (layout.columns <= 0)
        return {};
    return { (layout.w + layout.gapX) * (i % layout.columns) + layout.offX,
        layout.offY + (i / layout.columns) * (layout.h + layout.gapY) };
}

} // namespace kerrion
