#include <string>

#include "common/log.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"

namespace mivo {

bool mainMakePictHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      const std::string& filelistHead, std::string& failure) {
    cmWriteLog("mainMakePictHtml", 1, "▽Start Method▽");
    PageInput input{job.pages, &job, &paths, paths.strPictPath};
    input.filelistHead = &filelistHead;
    const bool ok =
        writeTemplatePage(run.files, PageKind::Pict, "mainMakePictHtml", input, {}, failure);
    cmWriteLog("mainMakePictHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
