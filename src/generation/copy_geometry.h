#pragma once

namespace mivo {

/// A picture's size in pixels.
struct PixelSize {
    long width = 0;
    long height = 0;

    bool operator==(const PixelSize&) const = default;
};

/// `width` x `height` fitted into `boxWidth` x `boxHeight`, its aspect kept and never enlarged:
/// one shrink for both edges, each edge rounded half up (as libvips rounds, so the copies keep
/// the sizes they always had), at least 1 pixel.
PixelSize fitInside(long width, long height, long boxWidth, long boxHeight);

/// The smallest scale M/8 (M from 1 to 8) at which the JPEG decoder's output, ceil(edge * M /
/// 8) for each edge, is at least `needed` in both edges: decoding at it does the least work
/// that still leaves every copy to be made by shrinking. 8 (full size) when nothing smaller
/// covers `needed`, also for a `needed` larger than the picture (copies are never enlarged).
int decodeEighths(PixelSize picture, PixelSize needed);

/// The edge length libjpeg gives for `edge` decoded at M/8.
long scaledEdge(long edge, int eighths);

} // namespace mivo
