#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mivo {

/// The most characters a caption read from a picture keeps: a description is a sentence or
/// two, and a page that lists thousands of pictures should not carry a novel for each.
inline constexpr std::size_t kCaptionMostChars = 500;

/// The most bytes of one XMP packet or IPTC block that are read for a caption. A JPEG
/// segment holds at most 64 KiB; a PNG or WebP chunk could claim gigabytes.
inline constexpr std::size_t kCaptionBlockMostBytes = 256 * 1024;

/// True for the texts cameras and their software write by default into a picture's
/// description ("OLYMPUS DIGITAL CAMERA", "SONY DSC", blanks, question marks...), which say
/// nothing of the picture and are never shown as its caption.
bool isCameraBoilerplate(std::string_view text);

/// A description as shown: blanks and control characters folded into single spaces, trimmed,
/// cut at kCaptionMostChars; "" when what is left is camera boilerplate. `utf8` must be UTF-8.
std::string cleanCaption(std::string_view utf8);

/// Decodes a description whose encoding nobody declared (EXIF ImageDescription, IPTC without
/// a coded character set) into UTF-8: UTF-8 when the bytes are valid UTF-8, else Shift_JIS
/// (cp932) when they are valid Shift_JIS, else Windows-1252. Stops at the first NUL. Bytes no
/// encoding gives a character are dropped, never passed on.
std::string decodeUndeclaredText(std::string_view bytes);

/// The dc:description of an XMP packet (UTF-8 XML): its x-default alternative, else its first;
/// cleaned as cleanCaption does. "" when there is none.
std::string xmpDescription(std::string_view xmp);

/// The Caption-Abstract (2:120) of the IPTC datasets inside a Photoshop image resource block
/// (the bytes after "Photoshop 3.0\0" of a JPEG APP13 segment, resource 0x0404), decoded by
/// its coded character set (1:90: ESC % G is UTF-8) or as decodeUndeclaredText does; cleaned.
std::string photoshopIptcCaption(std::string_view resources);

/// The caption a PNG (the XMP text chunk "XML:com.adobe.xmp", else a "Description" text chunk,
/// else eXIf's ImageDescription; tEXt, zTXt and iTXt, compressed text inflated up to
/// kCaptionBlockMostBytes) or WebP ("XMP " chunk, else "EXIF") file holds, reading only the
/// chunks that hold it, or the description of a HEIF file's XMP item (its EXIF
/// ImageDescription comes with its shooting data); "" for any other file and for a file that
/// holds none. JPEG captions come with the header walk (readPictureSize...).
std::string readPictureCaption(const std::string& path);
/// The same for a whole file held in memory.
std::string readPictureCaptionFromBytes(std::string_view file);

/// The EXIF DateTimeOriginal (as ExifInfo::dateTaken gives it) of a PNG (eXIf chunk), WebP
/// ("EXIF" chunk), TIFF (its own IFDs) or HEIF file (HEIC, AVIF: its EXIF item), reading only
/// what holds it; "" for any other file and for a file without one. A JPEG's comes with the
/// header walk (readPictureSize...).
std::string readPictureDateTaken(const std::string& path);

} // namespace mivo
