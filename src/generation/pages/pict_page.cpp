#include <string>

#include "common/log.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"

namespace mivo {

bool mainMakePictHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                      AlbumResult& result) {
    cmWriteLog("mainMakePictHtml", 1, "▽Start Method▽");
    PageInput input{pages, &album.job, &album.paths, album.paths.strPictPath};
    input.filelistHead = &album.filelistHead;
    const bool ok = writeTemplatePage(run, PageKind::Pict, "mainMakePictHtml", input, {},
                                      result.failure, result.files);
    cmWriteLog("mainMakePictHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
