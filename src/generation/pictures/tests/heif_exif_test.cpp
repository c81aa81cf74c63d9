#include "generation/pictures/heif_exif.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "support/heif_boxes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::be16;
using test::be32;
using test::box;

const std::string kTiff = std::string("II*\0\x08\0\0\0", 8) + "camera data";
const std::string kXmp = "<x:xmpmeta>箱根</x:xmpmeta>";

/// A HEIF file as a phone lays it out: ftyp, then `before` (boxes the reader passes over), a
/// meta box padded with a `free` box of `padding` bytes, whose EXIF item lies in the mdat
/// behind it (construction method 0) and whose XMP packet in its idat (method 1).
std::string heif(std::size_t padding, const std::string& before = "") {
    const std::string exif = be32(6) + std::string("Exif\0\0", 6) + kTiff;
    const std::string iinf =
        box("iinf", std::string("\0\0\0\0\0\x02", 6) +
                        box("infe", std::string("\x02\0\0\0\0\x01\0\0Exif\0", 13)) +
                        box("infe", std::string("\x02\0\0\0\0\x02\0\0mime", 12) + "XMP" +
                                        std::string(1, '\0') + "application/rdf+xml" +
                                        std::string(1, '\0')));
    const auto iloc = [&](std::uint32_t exifAt) {
        return box("iloc", std::string("\x01\0\0\0\x44\0\0\x02", 8) +
                               std::string("\0\x01\0\0\0\0\0\x01", 8) + be32(exifAt) +
                               be32(static_cast<std::uint32_t>(exif.size())) +
                               std::string("\0\x02\0\x01\0\0\0\x01", 8) + be32(0) +
                               be32(static_cast<std::uint32_t>(kXmp.size())));
    };
    const std::string ftyp = box("ftyp", "heic" + be32(0) + "mif1heic");
    const auto meta = [&](std::uint32_t exifAt) {
        return box("meta", std::string(4, '\0') + iinf + iloc(exifAt) + box("idat", kXmp) +
                               box("free", std::string(padding, '\0')));
    };
    const std::size_t head = ftyp.size() + before.size() + meta(0).size();
    return ftyp + before + meta(static_cast<std::uint32_t>(head + 8)) +
           box("mdat", exif + std::string(256, 'x'));
}

HeifItems itemsOfFile(const test::TempDir& dir, const std::string& bytes) {
    const std::string path = dir.path() + "/IMG_0001.HEIC";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return readHeifItems(path, true);
}

TEST(HeifExif, BothItemsComeFromOneReadOfTheBoxesWhateverTheMetaBoxLength) {
    test::TempDir dir;
    // A meta box in the first read, one that runs past it (a phone's with many tiles), one
    // whose header straddles the first read's end (at 4092), and one that ends just inside
    // 64 KiB.
    for (const auto& [padding, before] : {std::pair<std::size_t, std::string>{0, ""},
                                          {20 * 1024, ""},
                                          {100, box("free", std::string(4096 - 24 - 8 - 4, '\0'))},
                                          {60 * 1024, box("free", std::string(3000, '\0'))}}) {
        const std::string file = heif(padding, before);
        for (const HeifItems& items :
             {itemsOfFile(dir, file), readHeifItemsFromBytes(file, true)}) {
            EXPECT_EQ(items.exif, HeifExif::Found) << padding;
            EXPECT_EQ(items.exifBlock, kTiff) << padding;
            EXPECT_EQ(items.xmp, HeifExif::Found) << padding;
            EXPECT_EQ(items.xmpPacket, kXmp) << padding;
        }
        // The single readers give the same.
        std::string block;
        EXPECT_EQ(readHeifExifBlock(dir.path() + "/IMG_0001.HEIC", block), HeifExif::Found);
        EXPECT_EQ(block, kTiff);
        EXPECT_EQ(readHeifXmpBlock(dir.path() + "/IMG_0001.HEIC", block), HeifExif::Found);
        EXPECT_EQ(block, kXmp);
    }
    // Without the packet asked for, only the EXIF item is read.
    std::ofstream(dir.path() + "/IMG_0001.HEIC", std::ios::binary | std::ios::trunc) << heif(0);
    const HeifItems exifOnly = readHeifItems(dir.path() + "/IMG_0001.HEIC", false);
    EXPECT_EQ(exifOnly.exif, HeifExif::Found);
    EXPECT_EQ(exifOnly.xmp, HeifExif::Unknown);
    EXPECT_EQ(exifOnly.xmpPacket, "");
}

TEST(HeifExif, WhatDoesNotFitTheHeadOrIsNoFileIsLeftToTheImageLibrary) {
    test::TempDir dir;
    // A meta box past 64 KiB, and one behind a box that runs past the first read.
    for (const std::string& file :
         {heif(70 * 1024), heif(0, box("free", std::string(80 * 1024, '\0'))),
          heif(0).substr(0, 100), std::string("\xFF\xD8\xFF\xE0", 4)}) {
        const HeifItems items = itemsOfFile(dir, file);
        EXPECT_EQ(items.exif, HeifExif::Unknown) << file.size();
        EXPECT_EQ(items.xmp, HeifExif::Unknown) << file.size();
        EXPECT_EQ(readHeifItemsFromBytes(file, true).exif, HeifExif::Unknown) << file.size();
    }
    // A FIFO under a picture's name is not waited on; a missing file is not read.
    const std::string fifo = dir.path() + "/IMG_0002.HEIC";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readHeifItems(fifo, true).exif, HeifExif::Unknown);
    EXPECT_EQ(readHeifItems(dir.path() + "/IMG_0003.HEIC", true).exif, HeifExif::Unknown);
}

} // namespace
} // namespace mivo
