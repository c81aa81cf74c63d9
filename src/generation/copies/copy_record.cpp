#include "generation/copies/copy_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <limits>
#include <system_error>

#include "common/log.h"
#include "common/translate.h"

namespace mivo {

namespace {

const char* const kRecordHeader = "mivo-copies 1";
// What a stamp line says after its first tab.
const char* const kStampsKey = "folders";

// The thirteenth number of a video's line: 1 for a line of sixteen numbers, written by
// versions that kept no text of a video; 2 for the same numbers and the text field after them.
constexpr long long kVideoLine = 1;
constexpr long long kVideoLineWithText = 2;

void appendEscaped(std::string& out, std::string_view value) {
    static const char* const kHex = "0123456789ABCDEF";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%' || c == ';' || c == '=') {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

/// std::from_chars for a whole number; the numbers of a record line (up to 19 digits, as a
/// time in nanoseconds has, while they stay in range) are read without it.
std::from_chars_result readWholeNumber(const char* at, const char* end, long long& value) {
    const char* p = at;
    const bool negative = p != end && *p == '-';
    if (negative) {
        ++p;
    }
    const char* const digits = p;
    long long number = 0;
    while (p != end && *p >= '0' && *p <= '9' && p - digits < 18) {
        number = number * 10 + (*p - '0');
        ++p;
    }
    const auto isDigit = [end](const char* c) { return c != end && *c >= '0' && *c <= '9'; };
    if (isDigit(p) && !isDigit(p + 1) &&
        number <= (std::numeric_limits<long long>::max() - (*p - '0')) / 10) {
        number = number * 10 + (*p - '0'); // a nineteenth digit that keeps it in range
        ++p;
    }
    if (p == digits || isDigit(p)) {
        return std::from_chars(at, end, value);
    }
    value = negative ? -number : number;
    return {p, std::errc()};
}

bool unescape(std::string_view value, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (static_cast<unsigned char>(c) < 0x20) {
            return false; // written escaped, so never in a field of ours
        }
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i + 2 >= value.size()) {
            return false;
        }
        const int high = hexDigit(value[i + 1]);
        const int low = hexDigit(value[i + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

} // namespace

bool fitsRecord(const std::string& name) {
    return isPlainFileName(name) && std::none_of(name.begin(), name.end(), [](char c) {
               return c == '\t' || c == '\r' || c == '\n';
           });
}

CopyNames recordedNames(const std::string& name, const MadeCopies& made) {
    CopyNames names =
        copyNamesOf(name, made.video, made.variant, made.video ? std::string() : made.animation);
    if (made.video && made.motion) {
        names.file.clear(); // no poster copies
    } else if (made.webp) {
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

std::string folderStampsLine(const FolderStamps& stamps) {
    // One field of numbers apart by blanks, so that the line looks like no picture's line to
    // anything that counts its fields.
    std::string line = "\t";
    line += kStampsKey;
    char mark = '\t';
    for (const FolderStamp& stamp : stamps) {
        for (const long long field :
             {static_cast<long long>(stamp.inode), static_cast<long long>(stamp.modified),
              static_cast<long long>(stamp.changed), static_cast<long long>(stamp.entries)}) {
            line += mark;
            line += std::to_string(field);
            mark = ' ';
        }
    }
    line += '\n';
    return line;
}

bool readFolderStamps(std::string_view text, FolderStamps& stamps) {
    if (text.size() < 2 || text.back() != '\n') {
        return false;
    }
    const std::size_t start = text.rfind('\n', text.size() - 2) + 1; // npos + 1 is 0
    std::string_view line = text.substr(start, text.size() - 1 - start);
    const std::string prefix = std::string("\t") + kStampsKey;
    if (start == 0 || !line.starts_with(prefix)) {
        return false;
    }
    line.remove_prefix(prefix.size());
    const char* at = line.data();
    const char* const end = line.data() + line.size();
    char mark = '\t';
    for (FolderStamp& stamp : stamps) {
        long long fields[4] = {};
        for (long long& field : fields) {
            if (at == end || *at != mark) {
                return false;
            }
            mark = ' ';
            const auto [next, ec] = std::from_chars(at + 1, end, field);
            if (ec != std::errc() || next == at + 1 || field < 0) {
                return false;
            }
            at = next;
        }
        stamp = {static_cast<std::uint64_t>(fields[0]), fields[1], fields[2],
                 static_cast<std::uint64_t>(fields[3])};
    }
    return at == end;
}

bool appendToRecord(const CopyFolder& thumbs, std::string_view line) {
    const int fd = ::openat(thumbs.fd(), kWebSizesRecord,
                            O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    while (ok && !line.empty()) {
        const ssize_t done = ::write(fd, line.data(), line.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        ok = done > 0;
        if (ok) {
            line.remove_prefix(static_cast<std::size_t>(done));
        }
    }
    return ::close(fd) == 0 && ok;
}

namespace {

RecordFile recordFileOf(const struct stat& st) {
    RecordFile file;
    file.found = S_ISREG(st.st_mode);
    file.device = static_cast<std::uint64_t>(st.st_dev);
    file.inode = static_cast<std::uint64_t>(st.st_ino);
    file.bytes = static_cast<std::uint64_t>(st.st_size);
    file.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    file.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return file;
}

} // namespace

RecordFile recordFileAt(int folderFd) {
    struct stat st {};
    if (::fstatat(folderFd, kWebSizesRecord, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return {};
    }
    RecordFile file = recordFileOf(st);
    if (!file.found) {
        file = RecordFile{};
        file.other = true;
    }
    return file;
}

RecordRead readRecordAt(int folderFd) {
    RecordRead read;
    const int fd =
        ::openat(folderFd, kWebSizesRecord, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Absent, or a link: read as absent; anything else there is no record either.
        read.file = recordFileAt(folderFd);
        return read;
    }
    std::string bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        read.file = recordFileOf(st);
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
    } else {
        read.file.other = true;
    }
    ::close(fd);
    FolderStamps stamps;
    if (readFolderStamps(bytes, stamps)) {
        read.stamps = stamps;
    }
    read.record = parseCopyRecord(bytes, &read.ignored);
    return read;
}

void logIgnoredNames(const CopyFolder& thumbs, const std::vector<std::string>& ignored) {
    for (const std::string& name : ignored) {
        cmWriteLog(kCopierLog, 4,
                   "<" + thumbs.path() + "/" + kWebSizesRecord +
                       "> names a file outside the copy folders, left alone: " + name);
    }
}

CopyRecord readRecord(const CopyFolder& thumbs, std::optional<FolderStamps>* stamps) {
    RecordRead read = readRecordAt(thumbs.fd());
    if (stamps != nullptr) {
        *stamps = read.stamps;
    }
    logIgnoredNames(thumbs, read.ignored);
    return std::move(read.record);
}

std::string recordText(const CopyRecord& record) {
    std::string text = copyRecordHeader();
    for (const auto& [name, made] : record) {
        text += copyRecordLine(name, made);
    }
    return text;
}

std::string recordTextField(const MadeCopies& made) {
    if (!made.video) {
        std::string field = "a=";
        appendEscaped(field, made.animation);
        return field;
    }
    std::string field = "z=";
    appendEscaped(field, made.timeZone);
    field += ";m=";
    appendEscaped(field, made.model);
    if (made.motion) {
        field += ";l=1";
    }
    return field;
}

bool readRecordTextField(std::string_view field, MadeCopies& made) {
    std::string timeZone;
    std::string model;
    std::string animation;
    bool motion = false;
    while (!field.empty()) {
        const std::size_t end = std::min(field.find(';'), field.size());
        const std::string_view pair = field.substr(0, end);
        field.remove_prefix(end == field.size() ? end : end + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            return false;
        }
        std::string value;
        if (!unescape(pair.substr(equals + 1), value)) {
            return false;
        }
        const std::string_view key = pair.substr(0, equals);
        if (key == "z") {
            timeZone = std::move(value);
        } else if (key == "m") {
            model = std::move(value);
        } else if (key == "a") {
            animation = std::move(value);
        } else if (key == "l") {
            motion = value == "1";
        }
    }
    made.timeZone = std::move(timeZone);
    made.model = std::move(model);
    made.animation = std::move(animation);
    made.motion = motion;
    return true;
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
             {kVideoLineWithText, made.durationMs, made.webVideoMade ? 1LL : 0LL, made.dateTaken}) {
            line += '\t';
            line += std::to_string(field);
        }
    }
    if (made.variant >= 2 || made.webp) {
        // One more for copies that do not have the usual names (0: the usual ones), and one
        // more, 1 when the thumbnails have WebP copies. Earlier versions skip such a line: they
        // do not know the names, so they touch none of these files.
        line += '\t';
        line += std::to_string(made.variant);
    }
    if (made.webp) {
        line += "\t1";
    }
    if (made.video || !made.animation.empty()) {
        // A video's texts, or a picture's animation copy, last. Versions that knew only a 1 in
        // the thirteenth place, or no text after a picture's numbers, skip the line as one
        // they cannot read, and touch none of its files.
        line += '\t';
        line += recordTextField(made);
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
        // Twelve numbers after the name (sixteen for a video, the thirteenth 1 or 2), each after
        // a tab; then the variant of the copies' names (2 or more; 0 only when followed by the
        // WebP mark) and the WebP mark (1); then, for a video whose thirteenth is 2 or a picture
        // with an animation copy, its text field; and nothing more.
        long long fields[18] = {};
        const char* at = line.data() + tab;
        const char* const lineEnd = line.data() + line.size();
        std::size_t count = 0;
        while (at != lineEnd && count < std::size(fields)) {
            if (*at != '\t') {
                break;
            }
            const auto [next, ec] = readWholeNumber(at + 1, lineEnd, fields[count]);
            if (ec != std::errc() || next == at + 1) {
                break;
            }
            at = next;
            ++count;
        }
        const bool video =
            count >= 16 && (fields[12] == kVideoLine || fields[12] == kVideoLineWithText);
        // A picture's line may end in a text field too (its animation copy).
        const bool withText =
            video ? fields[12] == kVideoLineWithText : at != lineEnd && *at == '\t' && count >= 12;
        const std::size_t usual = video ? 16 : 12;
        MadeCopies made;
        // The text field follows the numbers after a tab; from_chars stopped at that tab,
        // since the field begins with a letter.
        const bool textRead = withText && at != lineEnd && *at == '\t' &&
                              readRecordTextField(std::string_view(at + 1, lineEnd), made);
        const bool webp = count == usual + 2;
        const long long variant = count > usual ? fields[usual] : 0;
        if ((withText ? !textRead : at != lineEnd) || count < usual || count > usual + 2 ||
            fields[0] < 0 ||
            (count > usual &&
             (variant == 1 || (variant == 0 && !webp) || variant < 0 || variant > 1000000)) ||
            (webp && fields[usual + 1] != 1)) {
            continue;
        }
        if (!video && !made.animation.empty() && made.animation != kAnimationMp4 &&
            made.animation != kAnimationWebp) {
            continue; // a kind of animation copy this version does not know: not its files
        }
        std::string name(line.substr(0, tab));
        if (!fitsRecord(name)) {
            if (ignored != nullptr) {
                ignored->push_back(std::move(name));
            }
            continue;
        }
        made.pictureBytes = static_cast<std::uintmax_t>(fields[0]);
        made.pictureTime = fields[1];
        made.request = {fields[2], fields[3], fields[4]};
        made.ok = fields[5] == 1;
        made.unreadable = fields[5] == 2;
        made.sizes = {fields[6], fields[7], fields[8], fields[9], fields[10], fields[11]};
        if (!video || made.sizes != ResizedSizes{}) {
            made.motion = false; // only a video line without copies of its own is one
        }
        if (video) {
            made.animation.clear();
            made.video = true;
            made.durationMs = std::max(fields[13], 0LL);
            made.webVideoMade = fields[14] == 1;
            made.dateTaken = fields[15];
        }
        made.variant = static_cast<int>(variant);
        made.webp = webp;
        // Records are written in name order: a line after the last name goes at the end
        // without a search.
        if (record.empty() || std::prev(record.end())->first < name) {
            record.emplace_hint(record.end(), std::move(name), std::move(made));
        } else {
            record[std::move(name)] = std::move(made);
        }
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
