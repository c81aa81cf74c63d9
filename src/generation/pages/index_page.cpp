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

using Fields = std::vector<const std::string*>;

/// `name`[k] = ["field", ...]; for every picture k that has fields (`fieldsOf(k, fields)` puts
/// none into the emptied list for the others), the array declared before its first element.
/// Nothing when no picture has any, so pages without such data stay as they were.
template <class FieldsOf>
void writeFieldArray(PageFile& page, const std::string& name, std::size_t count,
                     const FieldsOf& fieldsOf) {
    bool declared = false;
    std::string line;
    Fields fields;
    for (std::size_t k = 0; k < count; ++k) {
        fields.clear();
        fieldsOf(k, fields);
        if (fields.empty()) {
            continue;
        }
        if (!declared) {
            page.writeLine("var " + name + " = new Array();");
            declared = true;
        }
        line.assign(name).append("[").append(std::to_string(k)).append("] = [");
        for (std::size_t f = 0; f < fields.size(); ++f) {
            line.append(f == 0 ? "\"" : ", \"");
            appendScriptData(line, *fields[f]);
            line.push_back('"');
        }
        line.append("];");
        page.writeScriptLine(line);
    }
}

/// writeFieldArray for a column that holds each picture's fields as they are written.
void writeColumnArray(PageFile& page, const std::string& name,
                      const std::vector<std::vector<std::string>>& column, std::size_t count) {
    writeFieldArray(page, name, std::min(column.size(), count), [&](std::size_t k, Fields& fields) {
        for (const std::string& field : column[k]) {
            fields.push_back(&field);
        }
    });
}

/// The picture array and the arrays beside it, then one empty line.
void writePictureArrays(const PagePlan& pages, const AlbumJob& job, const IndexPictures& pictures,
                        const PictureList& items, PageFile& page) {
    std::string line;
    const auto count = static_cast<std::size_t>(cmCountArray(pictures.entries));
    for (std::size_t k = 0; k < count; ++k) {
        line.assign("aryPicList[").append(std::to_string(k)).append("] = \"");
        line.append(cleanPicListElement(pictures.entries[k])).append("\";");
        page.writeScriptLine(line);
    }
    const std::size_t listed = std::min(items.size(), count);
    // aryPicInfo[k]: the filelist fields of picture k, for the rows that quoted a field.
    writeFieldArray(page, "aryPicInfo", listed, [&](std::size_t k, Fields& fields) {
        const ClassFileData& file = items[k].file;
        if (job.useFilelist && file.infoQuoted) {
            for (const std::string& field : file.infoFields) {
                fields.push_back(&field);
            }
        }
    });
    // aryPicCaption[k]: the description picture k holds, for the pictures filelist.csv gives
    // no caption; nothing for a gallery without such pictures.
    writeFieldArray(page, "aryPicCaption", listed, [&](std::size_t k, Fields& fields) {
        const std::string& caption = items[k].fileCaption;
        if (!caption.empty()) {
            fields.push_back(&caption);
        }
    });
    // aryPicVideo[k]: video k's web video (link, seconds, MIME type), for the videos.
    writeColumnArray(page, "aryPicVideo", pictures.videos, count);
    // aryPicAnim[k]: moving picture k's animation, shown in its viewer in place of the still
    // display copy: [link] of an image, or ["", link, type] of a big GIF's MP4 copy.
    writeColumnArray(page, "aryPicAnim", pictures.animations, count);
    // aryPicWebp[k]: picture k's WebP thumbnails (1x and 2x links), where its copies have them.
    writeColumnArray(page, "aryPicWebp", pictures.webps, count);
    // aryPicExif[k]: picture k's shooting data for the picture view (date taken, camera, lens,
    // exposure, f-number, ISO, focal length), for the pictures that have any.
    if (pages.shootingData) {
        writeFieldArray(page, "aryPicExif", listed, [&](std::size_t k, Fields& fields) {
            const ExifInfo* e = items[k].shooting.get();
            if (e != nullptr && !e->empty()) {
                fields.assign({&e->dateTaken, &e->model, &e->lens, &e->exposure, &e->fNumber,
                               &e->iso, &e->focalLength});
            }
        });
    }
    page.writeLine("");
}

} // namespace

bool mainMakeIndexHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                       const IndexPictures& pictures, AlbumResult& result) {
    cmWriteLog("mainMakeIndexHtml", 1, "▽Start Method▽");
    PageInput input{pages, &album.job, &album.paths, album.paths.strIndexPath};
    PageParts parts;
    parts.array = [&](PageFile& page) {
        writePictureArrays(pages, album.job, pictures, album.items, page);
    };
    parts.albumArray = [&](PageFile& page) {
        writeAlbumArray(album, result.children, album.paths.strIndexPath, page);
    };
    const bool ok = writeTemplatePage(run, PageKind::Index, "mainMakeIndexHtml", input, parts,
                                      result.failure, result.files);
    cmWriteLog("mainMakeIndexHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
