#include "generation/pictures/web_sizes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "common/log.h"
#include "common/paths.h"
#include "common/run_program.h"
#include "common/translate.h"
#include "generation/pictures/copy_folder.h"

namespace mivo {

namespace {

const char* const kRecordHeader = "mivo-copies 1";
const char* const kLogName = "makeWebSizes";

bool fitsRecord(const std::string& name) {
    return isPlainFileName(name) && name.find_first_of("\t\r\n") == std::string::npos;
}

// The three folders of a gallery's copies, held open for the whole gallery.
struct CopyFolders {
    CopyFolder page;
    CopyFolder thumbs;
    CopyFolder thumbs2x;
    CopyFolder views;

    bool open(const std::string& pageFolder, std::string& error) {
        return page.openExisting(pageFolder, error) &&
               thumbs.openInside(page, kThumbFolder, error) &&
               thumbs2x.openInside(thumbs, kThumb2xFolder, error) &&
               views.openInside(page, kViewFolder, error);
    }
};

// What one copy folder holds: every name, and which of them are regular files.
struct Listing {
    std::unordered_set<std::string> names;
    std::unordered_set<std::string> regular;
};

// Lists a copy folder and removes what a killed run left there: the temporary files of a
// copy or of the record (".<name>.part-XXXXXX"), and the "<copy>.part" files older versions
// wrote for the copies in `ownNames`.
Listing listAndTidy(const CopyFolder& folder, const std::set<std::string>& ownNames) {
    Listing listing;
    std::vector<FolderEntry> entries;
    folder.list(entries);
    for (FolderEntry& entry : entries) {
        const std::string& name = entry.name;
        const bool oldPart = name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0 &&
                             ownNames.count(name.substr(0, name.size() - 5)) != 0;
        if (isCopyTemporaryName(name) || oldPart) {
            std::string error;
            if (folder.removeFile(name, error)) {
                cmWriteLog(kLogName, 3, "removed a leftover: " + folder.path() + "/" + name);
                continue;
            }
        }
        if (entry.regular) {
            listing.regular.insert(name);
        }
        listing.names.insert(std::move(entry.name));
    }
    return listing;
}

// What is already in the three copy folders.
struct FolderContents {
    Listing thumbs;
    Listing thumbs2x;
    Listing views;

    bool allExist(const std::string& fileName) const {
        return thumbs.regular.count(fileName) != 0 && thumbs2x.regular.count(fileName) != 0 &&
               views.regular.count(fileName) != 0;
    }
    bool anyTaken(const std::string& fileName) const {
        return thumbs.names.count(fileName) != 0 || thumbs2x.names.count(fileName) != 0 ||
               views.names.count(fileName) != 0;
    }
};

// Removes the three copies named `fileName` and the web video `webName` (each when not "");
// false with `error` when one stays.
bool removeCopies(const CopyFolders& folders, const std::string& fileName,
                  const std::string& webName, std::string& error) {
    bool ok = webName.empty() || folders.views.removeFile(webName, error);
    if (fileName.empty()) {
        return ok;
    }
    ok = folders.views.removeFile(fileName, error) && ok;
    ok = folders.thumbs2x.removeFile(fileName, error) && ok;
    return folders.thumbs.removeFile(fileName, error) && ok;
}

// The record file, open for appending: lines are added as copies are claimed and finished.
class Journal {
  public:
    explicit Journal(const CopyFolder& thumbs) {
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
    ~Journal() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool ok() const { return fd_ >= 0 && error_.empty(); }
    const std::string& error() const { return error_; }

    /// Appends whole lines in one write, so a run killed meanwhile leaves them whole or absent.
    bool append(const std::string& lines) {
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
    bool written() const { return written_; }

  private:
    int fd_ = -1;
    std::string error_;
    bool written_ = false;
    std::mutex mutex_;
};

// The names of the copies a record line says were made for `name`.
CopyNames recordedNames(const std::string& name, const MadeCopies& made) {
    return copyNamesOf(name, made.video, made.variant);
}

// "YYYY:MM:DD hh:mm:ss" as the number YYYYMMDDhhmmss the record keeps, and back; 0 and "" for
// a date that is not so written.
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

// What the pages show of a video, from its record line.
void takeVideoFacts(const std::string& name, const MadeCopies& made, WebCopy& copy) {
    copy.durationMs = made.durationMs;
    copy.webVideoName = made.webVideoMade ? recordedNames(name, made).webVideo : std::string();
    copy.webVideoType = !made.webVideoMade && cmGetExt(name) == "webm" ? "video/webm" : "video/mp4";
    copy.dateTaken = dateText(made.dateTaken);
}

// One picture that needs its copies made, and what came of it.
struct ResizeTask {
    std::size_t picture = 0;
    std::string name;
    std::string source;
    CopyNames names;
    MadeCopies stamp;
    bool started = false;
    bool done = false;
    bool ok = false;
    bool unreadable = false; // not what its name says, or no frame could be taken from it
    ResizedSizes sizes;
    std::string error;
};

// Reduces the tasks on worker threads and puts each picture's copies in place, entered in the
// journal as soon as they are; the caller takes the results in task order.
class ResizePool {
  public:
    ResizePool(std::vector<ResizeTask>& tasks, const ResizeRequest& request, int workers,
               const CopyFolders& folders, Journal* journal, const MediaTools& tools,
               const std::function<bool()>& stopRequested)
        : tasks_(tasks), request_(request), folders_(folders), journal_(journal), tools_(tools),
          stopRequested_(stopRequested) {
        order_.reserve(tasks_.size());
        for (int videos = 1; videos >= 0; --videos) {
            for (std::size_t i = 0; i < tasks_.size(); ++i) {
                if (tasks_[i].stamp.video == (videos == 1)) {
                    order_.push_back(i);
                }
            }
        }
        // Reducing is work for a core, and each worker holds one decoded picture: never more
        // workers than cores, whatever number of header reads was asked for.
        const int cores = std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
        const int wanted = workers > 0 ? std::min(workers, cores) : cores;
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(wanted), tasks_.size());
        // Every worker keeps a core busy: a transcode then takes one core, as it would run
        // beside the others anyway, instead of fighting them for all of them.
        video_ = tools_.video;
        video_.threads = count > 1 ? std::max(1, cores / static_cast<int>(count)) : 0;
        for (std::size_t i = 0; i < count; ++i) {
            try {
                threads_.emplace_back(&ResizePool::work, this);
            } catch (const std::system_error&) {
                break; // with no thread at all, take() does the work itself
            }
        }
    }
    ~ResizePool() {
        stop();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    ResizePool(const ResizePool&) = delete;
    ResizePool& operator=(const ResizePool&) = delete;

    /// No task is started from now on; pictures under way are finished, a running ffmpeg is
    /// stopped.
    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cancelled_ = true;
        done_.notify_all();
    }
    bool stopped() const { return cancelled_; }

    /// Task `index` once it is done, or once it is sure never to start (started false). Asks
    /// `stopRequested` (on this thread) while it waits, since a video may take minutes.
    const ResizeTask& take(std::size_t index) {
        if (threads_.empty()) {
            if (!stop_) {
                tasks_[index].started = true;
                run(tasks_[index]);
                tasks_[index].done = true;
            }
            return tasks_[index];
        }
        std::unique_lock<std::mutex> lock(mutex_);
        const auto ready = [&] { return tasks_[index].done || (stop_ && !tasks_[index].started); };
        while (!ready()) {
            if (!done_.wait_for(lock, std::chrono::milliseconds(100), ready) && !stop_ &&
                stopRequested_ && stopRequested_()) {
                stop_ = true;
                cancelled_ = true;
                done_.notify_all();
            }
        }
        return tasks_[index];
    }

  private:
    // A video's poster copies and, when its original does not play in a browser, its web
    // video. false with the task's error; `unreadable` when the file is no video ffprobe and
    // ffmpeg can read.
    bool makeVideo(ResizeTask& task, EncodedCopies& encoded) {
        const auto stop = [this] { return cancelled_.load(); };
        VideoFacts facts;
        std::string poster;
        if (!probeVideo(video_, task.source, facts, task.error, stop) ||
            !extractPoster(video_, task.source, facts, poster, task.error, stop) ||
            !resizePictureBytes(poster, request_, encoded, task.error)) {
            task.unreadable = !cancelled_;
            return false;
        }
        poster.clear();
        const WebVideoWay way = webVideoWay(facts, task.name);
        MadeCopies& stamp = task.stamp;
        stamp.durationMs = std::llround(facts.durationSeconds * 1000.0);
        stamp.webVideoMade = way != WebVideoWay::Original;
        stamp.dateTaken = dateNumber(facts.dateTaken);
        if (!stamp.webVideoMade) {
            return true;
        }
        const std::string& webName = task.names.webVideo;
        if (logWants(3)) {
            std::string line = "ffmpeg:";
            for (const std::string& arg :
                 webVideoCommand(video_, task.source, facts, way, webName)) {
                line += ' ';
                line += arg;
            }
            cmWriteLog(kLogName, 3, line);
        }
        ProgramResult run;
        if (makeWebVideo(video_, task.source, facts, way, folders_.views, webName, task.error, stop,
                         &run)) {
            return true;
        }
        // Past the time any video may take: left out as one that cannot be read, and not
        // tried again while it stays as it is.
        task.unreadable = run.timedOut;
        return false;
    }

    void run(ResizeTask& task) {
        EncodedCopies encoded;
        task.ok = task.stamp.video ? makeVideo(task, encoded)
                                   : resizePicture(task.source, request_, encoded, task.error);
        if (!task.ok && !task.stamp.video && task.error.rfind("the image library", 0) != 0) {
            task.unreadable = true;
        }
        if (task.ok) {
            // The display copy first, the 1x thumbnail last: a list page never links a
            // thumbnail whose display copy is missing.
            const std::string& fileName = task.names.file;
            task.ok = folders_.views.writeFile(fileName, encoded.view, task.error) &&
                      folders_.thumbs2x.writeFile(fileName, encoded.thumb2x, task.error) &&
                      folders_.thumbs.writeFile(fileName, encoded.thumb, task.error);
        }
        if (task.ok) {
            task.sizes = encoded.sizes;
            MadeCopies made = task.stamp;
            made.ok = true;
            made.sizes = encoded.sizes;
            if (!journal_->append(copyRecordLine(task.name, made))) {
                task.ok = false;
                task.error = journal_->error();
            }
        }
        if (!task.ok) {
            // Half a picture's copies are no use: its names are on record as Mivo's, so the
            // next run may make them again, but nothing half-made is left for a page to link.
            std::string ignored;
            removeCopies(folders_, task.names.file, task.names.webVideo, ignored);
        }
    }

    void work() {
        while (true) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_ || next_ >= tasks_.size()) {
                    break;
                }
                index = order_[next_++];
                tasks_[index].started = true;
            }
            // Only this worker touches the task until it is marked done.
            ResizeTask& task = tasks_[index];
            ResizeTask result = task;
            run(result);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                result.done = true;
                task = std::move(result);
            }
            done_.notify_all();
        }
        endImageThread();
    }

    std::vector<ResizeTask>& tasks_;
    const ResizeRequest request_;
    const CopyFolders& folders_;
    Journal* journal_; // present whenever there are tasks
    const MediaTools& tools_;
    VideoPrograms video_; // the tools' programs, with the threads each transcode may use
    const std::function<bool()>& stopRequested_;
    std::atomic<bool> cancelled_{false}; // stopped: running programs are killed
    std::vector<std::size_t> order_;     // videos first: they take longest, pictures fill in beside
    std::size_t next_ = 0;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
};

// The picture's size and modification time (nanoseconds since the epoch), from one stat.
bool pictureStamp(const std::string& picture, std::uintmax_t& bytes, std::int64_t& time) {
    struct stat info {};
    if (::stat(picture.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    bytes = static_cast<std::uintmax_t>(info.st_size);
    time = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

// Reads the record of the open thumbnail folder; absent or unreadable is empty.
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
        cmWriteLog(kLogName, 4,
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

} // namespace

std::string MediaTools::missingFor(ItemKind kind, const std::string& name) const {
    if (kind != ItemKind::Picture && kind != ItemKind::None && !startImageLibrary()) {
        return "libvips";
    }
    if (kind == ItemKind::Video && !video.ok()) {
        return video.ffmpeg.empty() ? "ffmpeg" : "ffprobe";
    }
    if (kind == ItemKind::MediaPicture && isHeifName(name)) {
        if (!heif) {
            heif = imageLibraryReads("heifload");
        }
        if (*heif) {
            return {};
        }
        return "libvips HEIF";
    }
    return {};
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
    if (made.variant >= 2) {
        // One more, last, for copies that do not have the usual names. Earlier versions skip
        // such a line: they do not know the names, so they touch none of these files.
        line += '\t';
        line += std::to_string(made.variant);
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
        // tab, and one more for the variant of the copies' names, and nothing more.
        long long fields[17] = {};
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
        if (at != lineEnd || (count != usual && count != usual + 1) || fields[0] < 0 ||
            (count == usual + 1 && (fields[usual] < 2 || fields[usual] > 1000000))) {
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
        made.variant = count == usual + 1 ? static_cast<int>(fields[usual]) : 0;
        record[std::move(name)] = made;
    }
    return record;
}

bool makeWebSizes(const std::string& picFolder, const PictureList& pictures,
                  const std::string& pageFolder, const ResizeRequest& request, int workers,
                  std::vector<WebCopy>& copies, WebSizesReport& report,
                  const WebCopyProgress& progress, std::string& folderError,
                  const std::function<bool()>& stopRequested, const MediaTools& tools) {
    copies.assign(pictures.size(), WebCopy{});
    report = WebSizesReport{};
    folderError.clear();
    CopyFolders folders;
    if (!folders.open(pageFolder, folderError)) {
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            copies[i].failed = true;
            ++report.failed;
            progress(i, pictures[i], copies[i], folderError);
        }
        return false;
    }

    const CopyRecord before = readRecord(folders.thumbs);
    // Every name the record holds is Mivo's: it may be replaced, by this item or another.
    std::set<std::string> ownNames;
    for (const auto& [name, made] : before) {
        const CopyNames names = recordedNames(name, made);
        ownNames.insert(names.file);
        if (!names.webVideo.empty()) {
            ownNames.insert(names.webVideo);
        }
    }
    // The names of this run's copies: no two items share one, whatever their names.
    std::vector<std::string> itemNames;
    itemNames.reserve(pictures.size());
    for (const ClassFileData& picture : pictures) {
        itemNames.push_back(picture.strName);
    }
    const std::vector<int> variants = copyVariants(itemNames);
    std::vector<CopyNames> names(pictures.size());
    std::set<std::string> assigned; // every copy and web video name of this run's items
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const bool video = itemKindOf(itemNames[i], tools.media) == ItemKind::Video;
        names[i] = copyNamesOf(itemNames[i], video, variants[i]);
        assigned.insert(names[i].file);
        if (video) {
            assigned.insert(names[i].webVideo);
        }
    }
    std::set<std::string> tidyNames = ownNames;
    tidyNames.insert(assigned.begin(), assigned.end());
    const FolderContents present{listAndTidy(folders.thumbs, tidyNames),
                                 listAndTidy(folders.thumbs2x, tidyNames),
                                 listAndTidy(folders.views, tidyNames)};
    // With the media option a picture of any kind that cannot be read is left out, as a HEIC or
    // a video is; without it a JPEG, GIF or BMP that cannot be reduced fails the run.
    const auto leftOutWhenUnreadable = [&](ItemKind kind) {
        return tools.media || kind != ItemKind::Picture;
    };
    CopyRecord after;
    std::vector<ResizeTask> tasks;
    std::vector<std::size_t> taskOf(pictures.size(), SIZE_MAX);
    std::vector<std::string> errors(pictures.size());
    std::vector<bool> unreadable(pictures.size(), false);

    // What each picture needs, before any work starts.
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string& name = itemNames[i];
        const CopyNames& own = names[i];
        copies[i].fileName = own.file;
        const ItemKind kind = itemKindOf(name, tools.media);
        copies[i].kind = kind == ItemKind::None ? ItemKind::Picture : kind;
        const bool video = kind == ItemKind::Video;
        MadeCopies stamp;
        stamp.request = request;
        stamp.video = video;
        stamp.variant = variants[i];
        if (!fitsRecord(name)) {
            copies[i].notReduced = true;
            errors[i] = translatable("縮小画像の記録に書けない名前です");
            continue;
        }
        // Paths are put together only for the pictures that need work: a run with nothing
        // changed is mostly this loop.
        const std::string source = cmAddPath(picFolder, name, kPathSeparator);
        if (!pictureStamp(source, stamp.pictureBytes, stamp.pictureTime)) {
            copies[i].failed = true;
            errors[i] = translatable("読み込めません");
            continue;
        }
        const auto known = before.find(name);
        if (known != before.end()) {
            const MadeCopies& made = known->second;
            const bool same = made.pictureBytes == stamp.pictureBytes &&
                              made.pictureTime == stamp.pictureTime && made.video == video;
            if (made.ok && same && made.request == request && made.variant == stamp.variant &&
                present.allExist(own.file) &&
                (!made.webVideoMade || present.views.regular.count(own.webVideo) != 0)) {
                after[name] = made;
                copies[i].ok = true;
                copies[i].sizes = made.sizes;
                if (video) {
                    takeVideoFacts(name, made, copies[i]);
                }
                continue;
            }
            if (made.unreadable && leftOutWhenUnreadable(kind) && same) {
                // Read in vain before and unchanged since: left out without a try.
                after[name] = made;
                unreadable[i] = true;
                errors[i] = translatable("前に読み込めなかったまま変わっていません");
                continue;
            }
            // On record but not finished, failed, out of date or incomplete: the names are
            // Mivo's, so the copies are made again over them.
        }
        if ((present.anyTaken(own.file) && ownNames.count(own.file) == 0) ||
            (video && present.views.names.count(own.webVideo) != 0 &&
             ownNames.count(own.webVideo) == 0)) {
            copies[i].notReduced = true;
            errors[i] = translatable("縮小画像の名前のファイルが既にあります (Mivo が作ったもので"
                                     "はありません)");
            continue;
        }
        const std::string missing = tools.missingFor(kind, name);
        if (!missing.empty()) {
            copies[i].missing = missing;
            errors[i] = std::string(translatable("必要なプログラムがありません")) + ": " + missing;
            continue;
        }
        taskOf[i] = tasks.size();
        ResizeTask task;
        task.picture = i;
        task.name = name;
        task.source = source;
        task.names = own;
        task.stamp = stamp;
        tasks.push_back(std::move(task));
    }
    report.toMake = tasks.size();

    // Every picture about to be worked on is entered before its first file is written, so a
    // run killed at any point leaves no file of Mivo's that the record does not name.
    std::optional<Journal> journal;
    if (!tasks.empty()) {
        journal.emplace(folders.thumbs);
    }
    if (journal && journal->ok()) {
        std::string claims;
        for (const ResizeTask& task : tasks) {
            MadeCopies claim = task.stamp;
            claim.ok = false;
            claims += copyRecordLine(task.name, claim);
        }
        journal->append(claims);
    }
    if (journal && !journal->ok()) {
        folderError = journal->error();
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            if (taskOf[i] != SIZE_MAX) {
                errors[i] = journal->error();
                copies[i].failed = true;
                if (before.count(itemNames[i]) != 0) {
                    after[itemNames[i]] = before.at(itemNames[i]);
                }
                taskOf[i] = SIZE_MAX;
            }
        }
        tasks.clear();
    }

    // Pictures whose copies were not made, with the names they were to take.
    std::vector<std::pair<std::string, MadeCopies>> unfinished;
    {
        ResizePool pool(tasks, request, workers, folders, journal ? &*journal : nullptr, tools,
                        stopRequested);
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            if (!report.stopped && (pool.stopped() || (stopRequested && stopRequested()))) {
                report.stopped = true;
                pool.stop();
            }
            if (taskOf[i] != SIZE_MAX) {
                const ResizeTask& task = pool.take(taskOf[i]);
                report.stopped = report.stopped || pool.stopped();
                if (task.done && task.ok) {
                    MadeCopies made = task.stamp;
                    made.ok = true;
                    made.sizes = task.sizes;
                    after[task.name] = made;
                    copies[i].ok = true;
                    copies[i].madeThisRun = true;
                    copies[i].sizes = task.sizes;
                    if (made.video) {
                        takeVideoFacts(task.name, made, copies[i]);
                    }
                    ++report.made;
                } else {
                    unfinished.emplace_back(task.name, task.stamp);
                    const bool leftOut = task.unreadable && leftOutWhenUnreadable(copies[i].kind);
                    if (task.done && !leftOut &&
                        !(copies[i].kind == ItemKind::Video && pool.stopped())) {
                        copies[i].failed = true;
                        errors[i] = task.error;
                    } else if (task.done && leftOut) {
                        unreadable[i] = true;
                        errors[i] = task.error;
                        MadeCopies made = task.stamp;
                        made.unreadable = true;
                        after[task.name] = made;
                    } else {
                        errors[i] = "not reduced: the run was stopped";
                    }
                }
            } else if (copies[i].ok) {
                ++report.kept;
            }
            // A HEIC, PNG... picture or a video without copies cannot be shown at all, nor any
            // picture that cannot be read when the media option is on.
            copies[i].leftOut = !copies[i].ok && (copies[i].kind != ItemKind::Picture ||
                                                  (unreadable[i] && tools.media));
            if (copies[i].leftOut && !report.stopped) {
                ++report.leftOut;
            }
            if (copies[i].failed) {
                ++report.failed;
            } else if (!copies[i].ok && !report.stopped && !copies[i].leftOut) {
                ++report.skipped;
            }
            progress(i, pictures[i], copies[i], errors[i]);
        }
    }

    // Copies the record lists but this run did not keep: their pictures are gone, changed, or
    // their copies could not be made again or have other names now. Names another item of
    // this run has are that item's now. A name whose files cannot all be removed stays on
    // record as Mivo's (unfinished), so a later run may still replace or remove them.
    auto removeOwn = [&](const std::string& name, const MadeCopies& made) {
        CopyNames stale = recordedNames(name, made);
        if (assigned.count(stale.file) != 0) {
            stale.file.clear();
        }
        if (assigned.count(stale.webVideo) != 0) {
            stale.webVideo.clear();
        }
        std::string error;
        if (!removeCopies(folders, stale.file, stale.webVideo, error)) {
            cmWriteLog(kLogName, 4, "<" + error + "> cannot be removed");
            if (after.count(name) == 0) {
                MadeCopies unfinishedCopies = made;
                unfinishedCopies.ok = false;
                after[name] = unfinishedCopies;
            }
        }
    };
    std::set<std::string> itemSet(itemNames.begin(), itemNames.end());
    for (const auto& [name, made] : before) {
        const auto kept = after.find(name);
        if (kept != after.end() && kept->second.variant == made.variant) {
            continue;
        }
        removeOwn(name, made);
        if (itemSet.count(name) == 0) {
            ++report.removed;
        }
    }
    for (const auto& [name, stamp] : unfinished) {
        if (after.count(name) == 0 && before.count(name) == 0) {
            // Its files were removed by the worker; make sure. (Not through removeOwn: these
            // names are this item's own.)
            const CopyNames own = recordedNames(name, stamp);
            std::string error;
            if (!removeCopies(folders, own.file, own.webVideo, error)) {
                cmWriteLog(kLogName, 4, "<" + error + "> cannot be removed");
                MadeCopies claimed = stamp;
                claimed.ok = false;
                after[name] = claimed;
            }
        }
    }
    // A run with nothing changed leaves the record as it is; otherwise the journal is
    // written anew with one line per picture.
    if ((journal && journal->written()) || after != before) {
        std::string error;
        if (!folders.thumbs.writeFile(kWebSizesRecord, recordText(after), error)) {
            cmWriteLog(kLogName, 4, "<" + error + "> the record stays as the journal left it");
        }
    }
    return true;
}

} // namespace mivo
