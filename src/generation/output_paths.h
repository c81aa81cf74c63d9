#pragma once

#include <string>

#include "generation/gallery_job.h"
#include "generation/make_context.h"

namespace mivo {

/// Where one gallery's pages go and how they link to each other.
struct OutputPaths {
    std::string strIndexPath;
    std::string strListPath;
    std::string strPictPath;
    std::string strIndexLink;
    std::string strListLink;
    std::string strPictLink;
};

/// Computes a gallery's OutputPaths; in menu mode creates the numbered gallery folder when
/// nothing of its name exists. false (with the folder's message shown) when a needed path is
/// empty or the folder cannot be created.
bool mainGetMakePath(MakeContext& ctx, const GalleryJob& job, OutputPaths& pagePaths);

} // namespace mivo
