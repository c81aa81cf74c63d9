#include "generation/copies/copy_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <system_error>

#include "common/log.h"
#include "common/translate.h"

namespace mivo {

namespace {

const char* const kRecordHeader = "mivo-copies 1";

} // namespace

bool fitsRecord(const std::string& name) {
    return isPlainFileName(name) && name.find_first_of("\t\r\n") == std::string::npos;
}

CopyNames recordedNames(const std::string& name, const MadeCopies& made) {
    CopyNames names = copyNamesOf(name, made.video, made.variant);
    if (made.webp) {
        names.thumbWebp = webpThumbName(names.file);
    }
    return names;
}

long long dateNumber(const std::string& date) {
    if (date.size() != 19) {
        return 0;
    }
    long long number = 0;
    for (std::size_t i = 0; i < date.size(); ++i) {
        const char c = date[i];
        if (i == 4 || i == 7 || i == 13 || i == 16 || i == 10) {
            continue;
        }
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string dateText(long long number) {
    if (number <= 0 || number > 99991231235959LL) {
        return {};
    }
    std::string digits = std::to_string(number);
    digits.insert(0, 14 - digits.size(), '0');
    return digits.substr(0, 4) + ":" + digits.substr(4, 2) + ":" + digits.substr(6, 2) + " " +
           digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2);
}

CopyRecord readRecord(const CopyFolder& thumbs) {
    const int fd =
        ::openat(thumbs.fd(), kWebSizesRecord, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    std::vector<std::string> ignored;
    CopyRecord record = parseCopyRecord(bytes, &ignored);
    for (const std::string& name : ignored) {
        cmWriteLog(kCopierLog, 4,
                   "<" + thumbs.path() + "/" + kWebSizesRecord +
                       "> names a file outside the copy folders, left alone: " + name);
    }
    return record;
}

std::string recordText(const CopyRecord& record) {
    std::string text = copyRecordHeader();
    for (const auto& [name, made] : record) {
        text += copyRecordLine(name, made);
    }
    return text;
}

std::string copyRecordHeader() {
    return std::string(kRecordHeader) + "\n";
}

std::string copyRecordLine(const std::string& name, const MadeCopies& made) {
    const ResizedSizes& s = made.sizes;
    std::string line = name;
    for (const long long field :
         {static_cast<long long>(made.pictureBytes), static_cast<long long>(made.pictureTime),
          made.request.boxWidth, made.request.boxHeight, made.request.viewEdge,
          made.ok ? 1LL : (made.unreadable ? 2LL : 0LL), static_cast<long long>(s.thumbWidth),
          static_cast<long long>(s.thumbHeight), static_cast<long long>(s.thumb2xWidth),
          static_cast<long long>(s.thumb2xHeight), static_cast<long long>(s.viewWidth),
          static_cast<long long>(s.viewHeight)}) {
        line += '\t';
        line += std::to_string(field);
    }
    if (made.video) {
        // Four more for a video; a picture's line stays as earlier versions wrote it.
        for (const long long field :
             {1LL, made.durationMs, made.webVideoMade ? 1LL : 0LL, made.dateTaken}) {
            line += '\t';
            line += std::to_string(field);
        }
    }
    if (made.variant >= 2 || made.webp) {
        // One more for copies that do not have the usual names (0: the usual ones), and one
        // more, last, 1 when the thumbnails have WebP copies. Earlier versions skip such a
        // line: they do not know the names, so they touch none of these files.
        line += '\t';
        line += std::to_string(made.variant);
    }
    if (made.webp) {
        line += "\t1";
    }
    line += '\n';
    return line;
}

CopyRecord parseCopyRecord(std::string_view text, std::vector<std::string>* ignored) {
    CopyRecord record;
    const std::size_t headerEnd = text.find('\n');
    if (headerEnd == std::string_view::npos || text.substr(0, headerEnd) != kRecordHeader) {
        return record;
    }
    std::size_t start = headerEnd + 1;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            break; // no line end: the run that wrote it ended part-way through the line
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0) {
            continue;
        }
        // Twelve numbers after the name (sixteen for a video, the thirteenth 1), each after a
        // tab; then the variant of the copies' names (2 or more; 0 only when followed by the
        // WebP mark) and the WebP mark (1), and nothing more.
        long long fields[18] = {};
        const char* at = line.data() + tab;
        const char* const lineEnd = line.data() + line.size();
        std::size_t count = 0;
        while (at != lineEnd && count < std::size(fields)) {
            if (*at != '\t') {
                break;
            }
            const auto [next, ec] = std::from_chars(at + 1, lineEnd, fields[count]);
            if (ec != std::errc() || next == at + 1) {
                break;
            }
            at = next;
            ++count;
        }
        const bool video = count >= 16 && fields[12] == 1;
        const std::size_t usual = video ? 16 : 12;
        const bool webp = count == usual + 2;
        const long long variant = count > usual ? fields[usual] : 0;
        if (at != lineEnd || count < usual || count > usual + 2 || fields[0] < 0 ||
            (count > usual &&
             (variant == 1 || (variant == 0 && !webp) || variant < 0 || variant > 1000000)) ||
            (webp && fields[usual + 1] != 1)) {
            continue;
        }
        std::string name(line.substr(0, tab));
        if (!fitsRecord(name)) {
            if (ignored != nullptr) {
                ignored->push_back(std::move(name));
            }
            continue;
        }
        MadeCopies made;
        made.pictureBytes = static_cast<std::uintmax_t>(fields[0]);
        made.pictureTime = fields[1];
        made.request = {fields[2], fields[3], fields[4]};
        made.ok = fields[5] == 1;
        made.unreadable = fields[5] == 2;
        made.sizes = {fields[6], fields[7], fields[8], fields[9], fields[10], fields[11]};
        if (video) {
            made.video = true;
            made.durationMs = std::max(fields[13], 0LL);
            made.webVideoMade = fields[14] == 1;
            made.dateTaken = fields[15];
        }
        made.variant = static_cast<int>(variant);
        made.webp = webp;
        record[std::move(name)] = made;
    }
    return record;
}

Journal::Journal(const CopyFolder& thumbs) {
    fd_ = ::openat(thumbs.fd(), kWebSizesRecord,
                   O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = thumbs.path() + "/" + kWebSizesRecord + ": " + systemErrorText(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = thumbs.path() + "/" + kWebSizesRecord + ": " +
                 translatable("ファイルではないものがあります");
        ::close(fd_);
        fd_ = -1;
        return;
    }
    if (st.st_size == 0) {
        append(copyRecordHeader());
    } else {
        // A line a killed run left unfinished must not run into the next one.
        append("\n");
    }
}

Journal::~Journal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool Journal::append(const std::string& lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || !error_.empty()) {
        return false;
    }
    std::string_view rest(lines);
    while (!rest.empty()) {
        const ssize_t done = ::write(fd_, rest.data(), rest.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            error_ = std::string(translatable("縮小画像の記録を書き込めません")) + ": " +
                     systemErrorText(errno);
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(done));
    }
    written_ = true;
    return true;
}

} // namespace mivo
