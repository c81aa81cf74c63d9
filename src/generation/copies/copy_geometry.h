#pragma once

namespace mivo {

/// A picture's size in pixels.
struct PictureSize {
    long width = 0;
    long height = 0;

    bool operator==(const PictureSize&) const = default;
};

/// `width` x `height` fitted into `boxWidth` x `boxHeight`, its aspect kept and never enlarged:
/// one shrink for both edges, each edge rounded half up (as libvips rounds, so the copies keep
/// the sizes they always had), at least 1 pixel.
PictureSize fitInside(long width, long height, long boxWidth, long boxHeight);

/// The scale M/8 (M from 1 to 8) to decode a JPEG at: the smallest at which the decoder's
/// output, ceil(edge * M / 8) for each edge, is at least `needed` in both edges, so that every
/// copy is made by shrinking. 5/8, 6/8 and 7/8 are passed over for 8/8: libjpeg-turbo has no
/// SIMD code for them and decodes a colour picture at them 25 to 100 % slower than at full
/// size (measured: 6000x4000 at 3/8 72 ms, 1/2 68 ms, 5/8 104 ms, 6/8 119 ms, 7/8 163 ms, 8/8
/// 83 ms). 8 also when nothing smaller covers `needed`, also for a `needed` larger than the
/// picture (copies are never enlarged).
int decodeEighths(PictureSize picture, PictureSize needed);

/// What the decoder must give for a copy of `copy`: twice its size in each edge. libjpeg
/// shrinks by dropping each 8x8 block's finer frequencies, block by block; some detail just
/// above the new size leaks back as coarser patterns. Shrinking what is left by 2 or more
/// filters that out: measured on zone plates, fine text and grain (bench/copy_quality.sh),
/// decoding at just the copy's size cost up to 11 dB of PSNR against a full-size reference,
/// at 1.75x up to 0.5 dB, at 2x at most 0.17 dB.
PictureSize decodeNeed(PictureSize copy);

/// The edge length libjpeg gives for `edge` decoded at M/8.
long scaledEdge(long edge, int eighths);

} // namespace mivo
