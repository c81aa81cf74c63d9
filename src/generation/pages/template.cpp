#include "generation/pages/template.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/system_reason.h"
#include "common/text.h"
#include "common/translate.h"

namespace mivo {

namespace {

/// Why `path` could not be read or written, in the user's words: errno when the failing call
/// set it, else what stands at the path (a folder where the page belongs, say).
std::string systemReason(const std::string& path) {
    if (errno != 0) {
        return systemReasonText(errno);
    }
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        return systemReasonText(EISDIR);
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return translatable("ファイルではないものがあります");
    }
    return systemReasonText(ec ? ec.value() : EIO);
}

constexpr std::size_t kOldPageRead = 64 * 1024;

} // namespace

bool isTemplateComment(std::string_view line) {
    return startsWith(line, "//") && !startsWith(line, "//-");
}

std::string templatePath(const ProgramFiles& files, const std::string& templateName) {
    return cmAddPath(files.templateFolder, templateName, kPathSeparator);
}

std::vector<std::string> templateFolders(const ProgramFiles& files) {
    std::vector<std::string> folders{cmAddPath(files.programFolder, "html", kPathSeparator)};
    for (const std::string* other : {&files.templateFolder, &files.userTemplateFolder}) {
        if (!other->empty()) {
            folders.push_back(*other);
        }
    }
    return folders;
}

PageFile::~PageFile() {
    closeOld();
}

void PageFile::closeOld() {
    if (old_ >= 0) {
        ::close(old_);
        old_ = -1;
    }
    oldBuffer_.clear();
    oldPosition_ = 0;
}

bool PageFile::open(const std::string& path, TextEncoding encoding) {
    closeOld();
    path_ = path;
    encoding_ = encoding;
    matched_ = 0;
    readError_ = 0;
    kept_ = false;
    // A page never lands on what a link points at: a picture, or the settings, could be there.
    if (!file_.open(path, LinkPolicy::Replace)) {
        return false;
    }
    // The old page is read alongside, so that a page that comes out the same keeps its file.
    // Only a regular file of that name: a link is replaced, whatever it points at.
    if (!file_.replacesLink()) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            old_ = fd;
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    if (encoding_ == TextEncoding::Utf8Bom) {
        emit(kUtf8Bom);
    }
    return true;
}

int PageFile::readOld() {
    oldBuffer_.resize(kOldPageRead);
    oldPosition_ = 0;
    for (;;) {
        const ssize_t got = ::read(old_, oldBuffer_.data(), oldBuffer_.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        oldBuffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return got > 0 ? 1 : (got == 0 ? 0 : -1);
    }
}

void PageFile::emit(std::string_view bytes) {
    while (old_ >= 0 && !bytes.empty()) {
        if (oldPosition_ == oldBuffer_.size() && readOld() <= 0) {
            diverge();
            break;
        }
        const std::size_t n = std::min(bytes.size(), oldBuffer_.size() - oldPosition_);
        if (std::memcmp(bytes.data(), oldBuffer_.data() + oldPosition_, n) != 0) {
            diverge();
            break;
        }
        oldPosition_ += n;
        matched_ += n;
        bytes.remove_prefix(n);
    }
    if (old_ < 0) {
        file_.write(bytes);
    }
}

void PageFile::diverge() {
    // What matched so far was only compared: it is the old page's beginning, written now.
    std::string chunk;
    std::uint64_t offset = 0;
    while (offset < matched_ && readError_ == 0) {
        chunk.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(kOldPageRead, matched_ - offset)));
        const ssize_t got = ::pread(old_, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            // The bytes that matched are gone with the old page: this page cannot be completed.
            readError_ = got < 0 ? errno : EIO;
            break;
        }
        file_.write(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
        offset += static_cast<std::uint64_t>(got);
    }
    matched_ = 0;
    closeOld();
}

void PageFile::put(std::string_view utf8, Cp932Fallback fallback) {
    line_.clear();
    appendEncodedText(line_, utf8, encoding_, fallback);
    line_.append("\r\n");
    emit(line_);
}

void PageFile::writeLine(std::string_view utf8) {
    put(utf8, Cp932Fallback::CharRef);
}

void PageFile::writeScriptLine(std::string_view utf8) {
    put(utf8, Cp932Fallback::JsEscape);
}

bool PageFile::commit() {
    if (old_ >= 0) {
        if (oldPosition_ == oldBuffer_.size() && readOld() == 0) {
            // Every byte as before, and the old page ends here too: it stays, time stamp and all.
            closeOld();
            file_.discard();
            kept_ = true;
            return true;
        }
        diverge();
    }
    if (readError_ != 0) {
        file_.discard();
        errno = readError_;
        return false;
    }
    // A page needs to be whole, not the newest after a power loss: the run can be made again,
    // and waiting for each rename to reach the disk costs more than reading a hundred headers.
    return file_.commit(false);
}

void TemplateLineHandler::slideLine(const std::string& line, PageFile& page) {
    page.writeLine(line);
}

void TemplateLineHandler::tableBlock(std::string& /*blockText*/, PageFile& /*page*/) {}

bool copyTemplate(const ProgramFiles& files, TemplateCopy& copy, TemplateLineHandler& handler) {
    const std::string templateFile = templatePath(files, copy.templateName);
    errno = 0;
    std::vector<std::string> lines;
    TextEncoding encoding = TextEncoding::Cp932;
    if (!readTextLines(templateFile, lines, &encoding)) {
        if (copy.tableBlock) {
            // Without its template the list page is gone, so the failed run cannot leave a
            // stale list page behind that looks current.
            std::error_code ec;
            std::filesystem::remove(copy.pagePath, ec);
        }
        cmWriteLog(copy.routine, 4, "InOpenError [" + templateFile + "]");
        copy.error = templateFile + ": " + translate(systemReason(templateFile));
        return false;
    }
    cmWriteLog(copy.routine, 1, "InOpen [" + templateFile + "]");

    PageFile page;
    errno = 0;
    if (!page.open(copy.pagePath, encoding)) {
        cmWriteLog(copy.routine, 4, "OutOpenError [" + copy.pagePath + "]");
        copy.error = copy.pagePath + ": " + translate(systemReason(copy.pagePath));
        return false;
    }
    cmWriteLog(copy.routine, 1, "OutOpen [" + copy.pagePath + "]");

    LineState state = LineState::Copying;
    std::string blockText; // lives for the whole page: a second table block adds to it
    for (const std::string& line : lines) {
        // A comment is dropped in every state, and a marker inside it does nothing.
        if (isTemplateComment(line)) {
            continue;
        }
        if (state == LineState::InTableBlock) {
            if (line.find("MV_TABLE_END") == std::string::npos) {
                blockText.append("\r\n");
                blockText.append(line);
            } else {
                handler.tableBlock(blockText, page);
                state = LineState::BlockEnded;
            }
        } else if (state == LineState::InSlideBlock) {
            if (line.find("MV_SLIDE_END") == std::string::npos) {
                if (copy.slideShow) {
                    handler.slideLine(line, page);
                }
            } else {
                state = LineState::BlockEnded;
            }
        }
        if (copy.tableBlock && line.find("MV_TABLE_START") != std::string::npos) {
            state = LineState::InTableBlock;
        }
        if (copy.slideBlock && line.find("MV_SLIDE_START") != std::string::npos) {
            state = LineState::InSlideBlock;
        }
        if (state == LineState::BlockEnded) {
            state = LineState::Copying;
            continue;
        }
        if (state != LineState::Copying) {
            continue;
        }
        handler.copiedLine(line, page);
    }

    if (handler.abandoned()) {
        // A stopped run: the old page stays as it was, the temporary file goes.
        cmWriteLog(copy.routine, 1, "Stopped [" + copy.pagePath + "]");
        return false;
    }
    const bool replacesLink = page.replacesLink();
    errno = 0;
    if (!page.commit()) {
        cmWriteLog(copy.routine, 4, "OutWriteError [" + copy.pagePath + "]");
        copy.error = copy.pagePath + ": " + translate(systemReason(copy.pagePath));
        return false;
    }
    if (replacesLink) {
        // Said, as the user may have meant the link: the file it pointed at was left as it was.
        cmWriteLog(copy.routine, 4, "LinkReplaced [" + copy.pagePath + "]");
    }
    return true;
}

std::string replacePlaceholder(const std::string& line, const std::string& placeholder,
                               const std::string& value) {
    return cmReplace(line, placeholder, value, kCompareText);
}

} // namespace mivo
