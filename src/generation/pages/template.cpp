#include "generation/pages/template.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
#include "generation/pages/page_memo.h"

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

// The block markers, each with its bit in PageStore::Line::markers.
constexpr std::array<std::string_view, 6> kMarkers = {"MV_TABLE_START", "MV_TABLE_END",
                                                      "MV_SLIDE_START", "MV_SLIDE_END",
                                                      "MV_ALBUM_START", "MV_ALBUM_END"};
enum Marker : std::uint8_t { TableStart, TableEnd, SlideStart, SlideEnd, AlbumStart, AlbumEnd };

std::uint8_t markerBits(std::string_view line) {
    std::uint8_t bits = 0;
    for (std::size_t k = 0; k < kMarkers.size(); ++k) {
        if (line.find(kMarkers[k]) != std::string_view::npos) {
            bits |= static_cast<std::uint8_t>(1U << k);
        }
    }
    return bits;
}

} // namespace

bool isTemplateComment(std::string_view line) {
    return startsWith(line, "//") && !startsWith(line, "//-");
}

bool mayHoldPlaceholder(std::string_view line) {
    for (std::size_t at = line.find('_', 2); at != std::string_view::npos;
         at = line.find('_', at + 1)) {
        const char m = line[at - 2];
        const char v = line[at - 1];
        if ((m == 'M' || m == 'm') && (v == 'V' || v == 'v')) {
            return true;
        }
    }
    return false;
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
    oldLength_ = 0;
    oldPosition_ = 0;
}

bool PageFile::open(const std::string& path, TextEncoding encoding) {
    closeOld();
    path_ = path;
    encoding_ = encoding;
    matched_ = 0;
    readError_ = 0;
    kept_ = false;
    writeError_ = 0;
    if (!file_) {
        file_ = std::make_unique<AtomicFile>();
    }
    // The old page is read alongside, so that a page that comes out the same keeps its file;
    // the one open also tells what stands at the name. Only a regular file of that name: a
    // link is replaced, whatever it points at.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    existed_ = fd >= 0 || errno != ENOENT;
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // The temporary file waits for the first byte that differs: a page that comes out as
        // before never makes one.
        old_ = fd;
    } else {
        if (fd >= 0) {
            ::close(fd);
        }
        // A page never lands on what a link points at: a picture, or the settings, could be
        // there. Opened now, so that what is in the way (a folder, say) is told at once.
        if (!file_->open(path, LinkPolicy::Replace)) {
            return false;
        }
    }
    if (encoding_ == TextEncoding::Utf8Bom) {
        emit(kUtf8Bom);
    }
    return true;
}

int PageFile::readOld() {
    if (!oldStore_) {
        // Left as it comes: only what a read fills is ever compared.
        oldStore_ = std::make_unique_for_overwrite<char[]>(kOldPageRead);
    }
    oldPosition_ = 0;
    for (;;) {
        const ssize_t got = ::read(old_, oldStore_.get(), kOldPageRead);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        oldLength_ = got > 0 ? static_cast<std::size_t>(got) : 0;
        return got > 0 ? 1 : (got == 0 ? 0 : -1);
    }
}

void PageFile::emit(std::string_view bytes) {
    while (old_ >= 0 && !bytes.empty()) {
        if (oldPosition_ == oldLength_ && readOld() <= 0) {
            diverge();
            break;
        }
        const std::size_t n = std::min(bytes.size(), oldLength_ - oldPosition_);
        if (std::memcmp(bytes.data(), oldStore_.get() + oldPosition_, n) != 0) {
            diverge();
            break;
        }
        oldPosition_ += n;
        matched_ += n;
        bytes.remove_prefix(n);
    }
    if (old_ < 0) {
        file_->write(bytes);
    }
}

void PageFile::diverge() {
    // The new page differs from here on: its temporary file is made now, beside the old page,
    // with the old page's permission bits.
    errno = 0;
    if (!file_->isOpen() && !file_->open(path_, LinkPolicy::Replace)) {
        writeError_ = errno != 0 ? errno : EIO;
    }
    // What matched so far was only compared: it is the old page's beginning, written now.
    std::string chunk;
    std::uint64_t offset = 0;
    while (offset < matched_ && readError_ == 0 && writeError_ == 0) {
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
        file_->write(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
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

void PageFile::encode(std::string_view utf8, bool script, std::string& out) const {
    appendEncodedText(out, utf8, encoding_,
                      script ? Cp932Fallback::JsEscape : Cp932Fallback::CharRef);
    out.append("\r\n");
}

void PageFile::writeLine(std::string_view utf8) {
    put(utf8, Cp932Fallback::CharRef);
}

void PageFile::writeScriptLine(std::string_view utf8) {
    put(utf8, Cp932Fallback::JsEscape);
}

bool PageFile::completePage() {
    if (old_ >= 0) {
        if (oldPosition_ == oldLength_ && readOld() == 0) {
            // Every byte as before, and the old page ends here too: it stays, time stamp and all.
            closeOld();
            file_->discard();
            kept_ = true;
            return true;
        }
        diverge();
    }
    if (readError_ != 0 || writeError_ != 0) {
        file_->discard();
        errno = readError_ != 0 ? readError_ : writeError_;
        return false;
    }
    return true;
}

bool PageFile::commit() {
    if (!completePage()) {
        return false;
    }
    // A page needs to be whole, not the newest after a power loss: the run can be made again,
    // and waiting for each rename to reach the disk costs more than reading a hundred headers.
    return kept_ || file_->commit(false);
}

bool PageFile::commitLater(std::unique_ptr<AtomicFile>& complete) {
    complete.reset();
    if (!completePage()) {
        return false;
    }
    if (kept_) {
        return true;
    }
    if (!file_->completeWrite()) {
        file_->discard();
        return false;
    }
    complete = std::move(file_);
    return true;
}

void TemplateLineHandler::slideLine(const std::string& line, PageFile& page) {
    page.writeLine(line);
}

void TemplateLineHandler::albumLine(const std::string& line, PageFile& page) {
    copiedLine(line, page);
}

void TemplateLineHandler::tableBlock(std::string& /*blockText*/, PageFile& /*page*/) {}

bool TemplateCopier::start(const ProgramFiles& files) {
    const std::string templateFile = templatePath(files, copy_.templateName);
    errno = 0;
    TextEncoding encoding = TextEncoding::Cp932;
    if (copy_.store != nullptr) {
        lines_ = copy_.store->templateLines(templateFile, encoding, known_);
    } else if (readTextLines(templateFile, ownLines_, &encoding)) {
        lines_ = &ownLines_;
    }
    if (lines_ == nullptr) {
        if (copy_.tableBlock) {
            // Without its template the list page is gone, so the failed run cannot leave a
            // stale list page behind that looks current.
            std::error_code ec;
            if (std::filesystem::remove(copy_.pagePath, ec)) {
                copy_.change = PageChange::Removed;
            }
        }
        cmWriteLog(copy_.routine, 4, "InOpenError [" + templateFile + "]");
        copy_.error = templateFile + ": " + translate(systemReason(templateFile));
        return false;
    }
    cmWriteLog(copy_.routine, 1, "InOpen [" + templateFile + "]");

    errno = 0;
    if (!page_.open(copy_.pagePath, encoding)) {
        cmWriteLog(copy_.routine, 4, "OutOpenError [" + copy_.pagePath + "]");
        copy_.error = copy_.pagePath + ": " + translate(systemReason(copy_.pagePath));
        return false;
    }
    cmWriteLog(copy_.routine, 1, "OutOpen [" + copy_.pagePath + "]");
    return true;
}

bool TemplateCopier::copyToTable(TemplateLineHandler& handler, std::string*& blockText) {
    if (lines_ == nullptr) {
        return false;
    }
    const bool plainAsRead = known_ != nullptr && handler.writesPlainLines();
    for (; next_ < lines_->size(); ++next_) {
        const std::string& line = (*lines_)[next_];
        if (plainAsRead && !tableHandedOut_ && (*known_)[next_].plain) {
            // No marker and no placeholder: only the state decides what becomes of it.
            const PageStore::Line& known = (*known_)[next_];
            const bool writes = state_ == LineState::Copying ||
                                (state_ == LineState::InSlideBlock && copy_.slideShow) ||
                                (state_ == LineState::InAlbumBlock && copy_.albumBlock);
            if (known.runEnd > next_ && state_ != LineState::InTableBlock) {
                // The whole run at once: the old page is compared in one block.
                if (writes) {
                    page_.writeEncoded(known.runEncoded);
                }
                next_ = known.runEnd - 1;
                continue;
            }
            if (known.comment) {
                continue;
            }
            if (state_ == LineState::InTableBlock) {
                blockText_.append("\r\n");
                blockText_.append(line);
            } else if (writes) {
                page_.writeEncoded(known.encoded);
            }
            continue;
        }
        // The store found the markers of each line once for the run.
        const auto holds = [&](Marker marker) {
            return known_ != nullptr ? ((*known_)[next_].markers & (1U << marker)) != 0
                                     : line.find(kMarkers[marker]) != std::string::npos;
        };
        if (tableHandedOut_) {
            // Back from the table block this line closed: the rest of the line's steps.
            tableHandedOut_ = false;
        } else {
            // A comment is dropped in every state, and a marker inside it does nothing.
            if (known_ != nullptr ? (*known_)[next_].comment : isTemplateComment(line)) {
                continue;
            }
            if (state_ == LineState::InTableBlock) {
                if (!holds(TableEnd)) {
                    blockText_.append("\r\n");
                    blockText_.append(line);
                } else {
                    state_ = LineState::BlockEnded;
                    tableHandedOut_ = true;
                    blockText = &blockText_;
                    return true;
                }
            } else if (state_ == LineState::InSlideBlock) {
                if (!holds(SlideEnd)) {
                    if (copy_.slideShow) {
                        handler.slideLine(line, page_);
                    }
                } else {
                    state_ = LineState::BlockEnded;
                }
            } else if (state_ == LineState::InAlbumBlock) {
                // Pages of the other modes leave the block out, so they stay as they were.
                if (!holds(AlbumEnd)) {
                    if (copy_.albumBlock) {
                        handler.albumLine(line, page_);
                    }
                } else {
                    state_ = LineState::BlockEnded;
                }
            }
        }
        if (copy_.tableBlock && holds(TableStart)) {
            state_ = LineState::InTableBlock;
        }
        if (copy_.slideBlock && holds(SlideStart)) {
            state_ = LineState::InSlideBlock;
        }
        if (state_ == LineState::Copying && holds(AlbumStart)) {
            state_ = LineState::InAlbumBlock;
        }
        if (state_ == LineState::BlockEnded) {
            state_ = LineState::Copying;
            continue;
        }
        if (state_ != LineState::Copying) {
            continue;
        }
        handler.copiedLine(line, page_);
    }
    return false;
}

bool TemplateCopier::finish(const TemplateLineHandler& handler) {
    if (handler.abandoned()) {
        // A stopped run: the old page stays as it was, the temporary file goes.
        cmWriteLog(copy_.routine, 1, "Stopped [" + copy_.pagePath + "]");
        return false;
    }
    const bool replacesLink = page_.replacesLink();
    const bool existed = page_.existed();
    errno = 0;
    if (copy_.store != nullptr) {
        std::unique_ptr<AtomicFile> complete;
        if (!page_.commitLater(complete)) {
            cmWriteLog(copy_.routine, 4, "OutWriteError [" + copy_.pagePath + "]");
            copy_.error = copy_.pagePath + ": " + translate(systemReason(copy_.pagePath));
            return false;
        }
        if (!complete) {
            // As before: the old page stays, and is listed as the run's page, as it always was.
            copy_.change = existed ? PageChange::Replaced : PageChange::Written;
            return true;
        }
        // The store puts it in place and notes it.
        return copy_.store->add(std::move(complete), copy_, existed, replacesLink, copy_.error);
    }
    if (!page_.commit()) {
        cmWriteLog(copy_.routine, 4, "OutWriteError [" + copy_.pagePath + "]");
        copy_.error = copy_.pagePath + ": " + translate(systemReason(copy_.pagePath));
        return false;
    }
    copy_.change = existed ? PageChange::Replaced : PageChange::Written;
    if (replacesLink) {
        // Said, as the user may have meant the link: the file it pointed at was left as it was.
        cmWriteLog(copy_.routine, 4, "LinkReplaced [" + copy_.pagePath + "]");
    }
    return true;
}

namespace {

// Pages waiting for their sync hold a file each: well inside the limit of open files.
constexpr std::size_t kWaitingPages = 128;

} // namespace

PageStore::PageStore(const ProgramFiles& files)
    : files_(files), memo_(std::make_unique<PageMemo>()) {}

PageStore::~PageStore() {
    // Pages of a run that never placed them: their temporary files go, the old pages stay.
    for (Waiting& page : waiting_) {
        page.file->discard();
    }
}

const std::vector<std::string>* PageStore::templateLines(const std::string& path,
                                                         TextEncoding& encoding,
                                                         const std::vector<Line>*& known) {
    Template& text = templates_[path];
    if (!text.read) {
        errno = 0;
        text.read = true;
        text.ok = readTextLines(path, text.lines, &text.encoding);
        text.error = errno;
        text.known.resize(text.lines.size());
        for (std::size_t i = 0; i < text.lines.size(); ++i) {
            Line& line = text.known[i];
            line.comment = isTemplateComment(text.lines[i]);
            line.plain = !mayHoldPlaceholder(text.lines[i]);
            line.markers = line.plain ? 0 : markerBits(text.lines[i]);
            if (line.plain && !line.comment) {
                appendEncodedText(line.encoded, text.lines[i], text.encoding,
                                  Cp932Fallback::CharRef);
                line.encoded.append("\r\n");
            }
        }
        for (std::size_t i = 0; i < text.known.size();) {
            if (!text.known[i].plain) {
                ++i;
                continue;
            }
            Line& first = text.known[i];
            std::size_t end = i;
            for (; end < text.known.size() && text.known[end].plain; ++end) {
                first.runEncoded.append(text.known[end].encoded);
            }
            first.runEnd = end;
            i = end;
        }
    }
    if (!text.ok) {
        errno = text.error;
        return nullptr;
    }
    encoding = text.encoding;
    known = &text.known;
    return &text.lines;
}

bool PageStore::add(std::unique_ptr<AtomicFile> file, const TemplateCopy& copy, bool existed,
                    bool replacesLink, std::string& failure) {
    waiting_.push_back(
        {std::move(file), copy.routine, copy.pagePath, existed, replacesLink, copy.placed});
    return waiting_.size() < kWaitingPages || placeAll(failure);
}

bool PageStore::placeAll(std::string& failure) {
    std::vector<Waiting> pages;
    pages.swap(waiting_);
    // Every page's bytes were handed to the disk as it was written; the first sync mostly
    // waits for them all, the later ones find theirs done.
    bool ok = true;
    for (Waiting& page : pages) {
        errno = 0;
        if (ok && !page.file->syncData()) {
            ok = false;
            cmWriteLog(page.routine, 4, "OutWriteError [" + page.pagePath + "]");
            failure = page.pagePath + ": " + translate(systemReason(page.pagePath));
        }
    }
    for (Waiting& page : pages) {
        if (!ok) {
            // One page is not on the disk: none of them replaces an old page.
            page.file->discard();
            continue;
        }
        errno = 0;
        if (!page.file->place()) {
            cmWriteLog(page.routine, 4, "OutWriteError [" + page.pagePath + "]");
            if (failure.empty()) {
                failure = page.pagePath + ": " + translate(systemReason(page.pagePath));
            }
            continue;
        }
        if (page.replacesLink) {
            // Said, as the user may have meant the link: the file it pointed at was left as it was.
            cmWriteLog(page.routine, 4, "LinkReplaced [" + page.pagePath + "]");
        }
        if (page.files != nullptr) {
            (page.existed ? page.files->replaced : page.files->written)
                .push_back(manifestPath(page.pagePath));
        }
    }
    return failure.empty();
}

bool copyTemplate(const ProgramFiles& files, TemplateCopy& copy, TemplateLineHandler& handler) {
    TemplateCopier copier(copy);
    if (!copier.start(files)) {
        return false;
    }
    std::string* blockText = nullptr;
    while (copier.copyToTable(handler, blockText)) {
        handler.tableBlock(*blockText, copier.page());
    }
    return copier.finish(handler);
}

std::string replacePlaceholder(const std::string& line, const std::string& placeholder,
                               const std::string& value) {
    return cmReplace(line, placeholder, value, kCompareText);
}

} // namespace mivo
