#include <algorithm>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"
#include "generation/plan/page_text.h"

namespace mivo {

namespace {

/// The picture array and the arrays beside it, then one empty line.
void writePictureArrays(const GalleryJob& job, const IndexPictures& pictures, PageFile& page) {
    std::string line;
    const auto count = static_cast<std::size_t>(cmCountArray(pictures.entries));
    for (std::size_t k = 0; k < count; ++k) {
        line.assign("aryPicList[").append(std::to_string(k)).append("] = \"");
        line.append(cleanPicListElement(pictures.entries[k])).append("\";");
        page.writeScriptLine(line);
    }
    // aryPicInfo[k]: the filelist fields of picture k as a script array, for the rows that
    // quoted a field; written only when there is such a row, so other pages stay as they were.
    bool declared = false;
    const std::size_t quoted = std::min(pictures.quotedFields.size(), count);
    for (std::size_t k = 0; k < quoted; ++k) {
        const std::vector<std::string>& fields = pictures.quotedFields[k];
        if (fields.empty()) {
            continue;
        }
        if (!declared) {
            page.writeLine("var aryPicInfo = new Array();");
            declared = true;
        }
        line.assign("aryPicInfo[").append(std::to_string(k)).append("] = [");
        for (std::size_t f = 0; f < fields.size(); ++f) {
            line.append(f == 0 ? "\"" : ", \"").append(escapeScriptData(fields[f])).append("\"");
        }
        line.append("];");
        page.writeScriptLine(line);
    }
    // aryPicExif[k]: picture k's shooting data for the picture view (date taken, camera, lens,
    // exposure, f-number, ISO, focal length), for the pictures that have any.
    declared = false;
    const std::size_t shot = std::min(pictures.shooting.size(), count);
    for (std::size_t k = 0; job.pages.shootingData && k < shot; ++k) {
        const ExifInfo& e = pictures.shooting[k];
        if (e.empty()) {
            continue;
        }
        if (!declared) {
            page.writeLine("var aryPicExif = new Array();");
            declared = true;
        }
        line.assign("aryPicExif[").append(std::to_string(k)).append("] = [");
        const std::string* fields[] = {&e.dateTaken, &e.model, &e.lens,       &e.exposure,
                                       &e.fNumber,   &e.iso,   &e.focalLength};
        bool firstField = true;
        for (const std::string* f : fields) {
            line.append(firstField ? "\"" : ", \"").append(escapeScriptData(*f)).append("\"");
            firstField = false;
        }
        line.append("];");
        page.writeScriptLine(line);
    }
    page.writeLine("");
}

} // namespace

bool mainMakeIndexHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                       const IndexPictures& pictures, std::string& failure) {
    cmWriteLog("mainMakeIndexHtml", 1, "▽Start Method▽");
    PageInput input{job.pages, &job, &paths, paths.strIndexPath};
    PageParts parts;
    parts.array = [&](PageFile& page) { writePictureArrays(job, pictures, page); };
    const bool ok =
        writeTemplatePage(run.files, PageKind::Index, "mainMakeIndexHtml", input, parts, failure);
    cmWriteLog("mainMakeIndexHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
