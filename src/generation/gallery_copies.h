#pragma once

#include <string>

#include "generation/file_data.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"
#include "generation/output_paths.h"
#include "generation/web_sizes.h"

namespace mivo {

/// True when the run makes thumbnails and display copies for `job`: the option is on and the
/// gallery shows its pictures as their own thumbnails.
bool galleryMakesCopies(const Settings& settings, const GalleryJob& job);

/// Brings the copies of a gallery's pictures up to date beside its pages and keeps them in the
/// run state for the page writers; a gallery without copies leaves the state empty. Shows each
/// picture in the status line as the list page does, and logs at level 4 every picture that
/// keeps its original.
void makeGalleryCopies(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                       const PictureList& pictures);

/// The copies of picture `index` of the gallery being written, or nullptr when it shows its
/// original.
const WebCopy* galleryCopy(const MakeContext& ctx, std::size_t index);

/// The folder of a page: the gallery's pages (list, picture) and its copy folders share it.
std::string pageFolderOf(const std::string& pagePath);

/// A link for a srcset candidate: blanks and commas, which separate candidates, encoded.
std::string srcsetLink(const std::string& link);

} // namespace mivo
