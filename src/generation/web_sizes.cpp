#include "generation/web_sizes.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include <sys/stat.h>

#include "common/paths.h"

namespace mivo {

namespace fs = std::filesystem;

namespace {

const char* const kRecordHeader = "mivo-copies 1";

bool fitsRecord(const std::string& name) {
    return !name.empty() && name.find_first_of("\t\r\n") == std::string::npos;
}

// The three files of a picture's copies.
struct CopyPaths {
    fs::path thumb;
    fs::path thumb2x;
    fs::path view;
};

CopyPaths copyPaths(const fs::path& thumbs, const fs::path& views, const std::string& fileName) {
    return {thumbs / fileName, thumbs / kThumb2xFolder / fileName, views / fileName};
}

// The regular files of a folder, by name: one listing answers for every copy in it, where a
// stat per copy would cost three calls per picture on each run.
std::unordered_set<std::string> regularFiles(const fs::path& folder) {
    std::unordered_set<std::string> names;
    cmListRegularFiles(folder.string(), [&names](const char* name) { names.emplace(name); });
    return names;
}

// What is already in the three copy folders.
struct FolderContents {
    std::unordered_set<std::string> thumbs;
    std::unordered_set<std::string> thumbs2x;
    std::unordered_set<std::string> views;
};

bool allExist(const FolderContents& present, const std::string& fileName) {
    return present.thumbs.count(fileName) != 0 && present.thumbs2x.count(fileName) != 0 &&
           present.views.count(fileName) != 0;
}

bool anyExists(const CopyPaths& paths) {
    std::error_code ec;
    return fs::exists(paths.thumb, ec) || fs::exists(paths.thumb2x, ec) ||
           fs::exists(paths.view, ec);
}

void removeCopies(const CopyPaths& paths) {
    std::error_code ec;
    fs::remove(paths.thumb, ec);
    fs::remove(paths.thumb2x, ec);
    fs::remove(paths.view, ec);
}

// One picture that needs its copies made, and what came of it.
struct ResizeTask {
    std::size_t picture = 0;
    std::string source;
    CopyPaths target;
    bool done = false;
    bool ok = false;
    ResizedSizes sizes;
    std::string error;
};

// Reduces the tasks on worker threads; the caller takes the results in task order.
class ResizePool {
  public:
    ResizePool(std::vector<ResizeTask>& tasks, const ResizeRequest& request, int workers)
        : tasks_(tasks), request_(request) {
        // Reducing is work for a core, and each worker holds one decoded picture: never more
        // workers than cores, whatever number of header reads was asked for.
        const int cores = std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
        const int wanted = workers > 0 ? std::min(workers, cores) : cores;
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(wanted), tasks_.size());
        for (std::size_t i = 0; i < count; ++i) {
            try {
                threads_.emplace_back(&ResizePool::work, this);
            } catch (const std::system_error&) {
                break; // with no thread at all, take() does the work itself
            }
        }
    }
    ~ResizePool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    ResizePool(const ResizePool&) = delete;
    ResizePool& operator=(const ResizePool&) = delete;

    /// Task `index`, once it is done.
    const ResizeTask& take(std::size_t index) {
        if (threads_.empty()) {
            run(tasks_[index]);
            return tasks_[index];
        }
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return tasks_[index].done; });
        return tasks_[index];
    }

  private:
    void run(ResizeTask& task) const {
        task.ok = resizePicture(task.source, request_, task.target.thumb.string(),
                                task.target.thumb2x.string(), task.target.view.string(), task.sizes,
                                task.error);
    }

    void work() {
        while (true) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_ || next_ >= tasks_.size()) {
                    break;
                }
                index = next_++;
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

} // namespace

std::string copyFileName(const std::string& pictureName) {
    const std::string ext = cmGetExt(pictureName);
    return ext == "jpg" || ext == "jpeg" ? pictureName : pictureName + ".jpg";
}

CopyRecord readCopyRecord(const std::string& thumbFolder) {
    CopyRecord record;
    std::ifstream in(fs::path(thumbFolder) / kWebSizesRecord, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kRecordHeader) {
        return record;
    }
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            continue;
        }
        // Twelve numbers after the name, each after a tab.
        long long fields[12] = {};
        const char* at = line.data() + tab;
        const char* const end = line.data() + line.size();
        bool whole = true;
        for (long long& field : fields) {
            if (at == end || *at != '\t') {
                whole = false;
                break;
            }
            const auto [next, ec] = std::from_chars(at + 1, end, field);
            if (ec != std::errc() || next == at + 1) {
                whole = false;
                break;
            }
            at = next;
        }
        if (!whole || fields[0] < 0) {
            continue;
        }
        MadeCopies made;
        made.pictureBytes = static_cast<std::uintmax_t>(fields[0]);
        made.pictureTime = fields[1];
        made.request = {fields[2], fields[3], fields[4]};
        made.ok = fields[5] == 1;
        made.sizes = {fields[6], fields[7], fields[8], fields[9], fields[10], fields[11]};
        record[line.substr(0, tab)] = made;
    }
    return record;
}

bool writeCopyRecord(const std::string& thumbFolder, const CopyRecord& record) {
    const fs::path path = fs::path(thumbFolder) / kWebSizesRecord;
    fs::path part = path;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out << kRecordHeader << '\n';
        for (const auto& [name, made] : record) {
            const ResizedSizes& s = made.sizes;
            out << name << '\t' << made.pictureBytes << '\t' << made.pictureTime << '\t'
                << made.request.boxWidth << '\t' << made.request.boxHeight << '\t'
                << made.request.viewEdge << '\t' << (made.ok ? 1 : 0) << '\t' << s.thumbWidth
                << '\t' << s.thumbHeight << '\t' << s.thumb2xWidth << '\t' << s.thumb2xHeight
                << '\t' << s.viewWidth << '\t' << s.viewHeight << '\n';
        }
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    fs::rename(part, path, ec);
    return !ec;
}

bool makeWebSizes(const std::string& picFolder, const PictureList& pictures,
                  const std::string& pageFolder, const ResizeRequest& request, int workers,
                  std::vector<WebCopy>& copies, WebSizesReport& report,
                  const WebCopyProgress& progress) {
    copies.assign(pictures.size(), WebCopy{});
    report = WebSizesReport{};
    const fs::path thumbs = fs::path(pageFolder) / kThumbFolder;
    const fs::path views = fs::path(pageFolder) / kViewFolder;
    std::error_code ec;
    fs::create_directories(thumbs / kThumb2xFolder, ec);
    const bool haveThumbs = !ec;
    fs::create_directories(views, ec);
    if (!haveThumbs || ec) {
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            progress(i, pictures[i], copies[i], "the copy folders cannot be made in " + pageFolder);
        }
        return false;
    }

    const CopyRecord before = readCopyRecord(thumbs.string());
    const FolderContents present{regularFiles(thumbs), regularFiles(thumbs / kThumb2xFolder),
                                 regularFiles(views)};
    CopyRecord after;
    std::vector<ResizeTask> tasks;
    std::vector<std::size_t> taskOf(pictures.size(), SIZE_MAX);
    std::vector<std::string> errors(pictures.size());
    std::vector<MadeCopies> stamps(pictures.size());
    std::set<std::string> fileNames;
    std::set<std::string> pictureNames;

    // What each picture needs, before any work starts.
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string& name = pictures[i].strName;
        pictureNames.insert(name);
        const std::string fileName = copyFileName(name);
        copies[i].fileName = fileName;
        MadeCopies& stamp = stamps[i];
        stamp.request = request;
        // Paths are put together only for the pictures that need work: a run with nothing
        // changed is mostly this loop.
        const std::string source = cmAddPath(picFolder, name, kPathSeparator);
        if (!fitsRecord(name) || !fileNames.insert(fileName).second) {
            errors[i] = "has a name its copies cannot take";
            continue;
        }
        if (!pictureStamp(source, stamp.pictureBytes, stamp.pictureTime)) {
            errors[i] = "cannot be read";
            continue;
        }
        const auto known = before.find(name);
        if (known != before.end()) {
            const MadeCopies& made = known->second;
            if (made.pictureBytes == stamp.pictureBytes && made.pictureTime == stamp.pictureTime &&
                made.request == request) {
                if (!made.ok) {
                    // Unchanged since it could not be read: not tried again.
                    after[name] = made;
                    errors[i] = "could not be reduced (unchanged since)";
                    continue;
                }
                if (allExist(present, fileName)) {
                    after[name] = made;
                    copies[i].ok = true;
                    copies[i].sizes = made.sizes;
                    continue;
                }
            }
        } else if (anyExists(copyPaths(thumbs, views, fileName))) {
            errors[i] = "is not reduced: a file Mivo did not make has its copy's name";
            continue;
        }
        taskOf[i] = tasks.size();
        ResizeTask task;
        task.picture = i;
        task.source = source;
        task.target = copyPaths(thumbs, views, fileName);
        tasks.push_back(std::move(task));
    }

    {
        ResizePool pool(tasks, request, workers);
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            if (taskOf[i] != SIZE_MAX) {
                const ResizeTask& task = pool.take(taskOf[i]);
                MadeCopies made = stamps[i];
                made.ok = task.ok;
                made.sizes = task.sizes;
                after[pictures[i].strName] = made;
                if (task.ok) {
                    copies[i].ok = true;
                    copies[i].madeThisRun = true;
                    copies[i].sizes = task.sizes;
                    ++report.made;
                } else {
                    errors[i] = task.error;
                }
            } else if (copies[i].ok) {
                ++report.kept;
            }
            if (!copies[i].ok) {
                ++report.failed;
            }
            progress(i, pictures[i], copies[i], errors[i]);
        }
    }

    // Copies the record lists but this run did not keep: their pictures are gone, or their
    // copies could not be made again.
    for (const auto& [name, made] : before) {
        if (after.count(name) != 0 || !fitsRecord(name)) {
            continue;
        }
        removeCopies(copyPaths(thumbs, views, copyFileName(name)));
        if (pictureNames.count(name) == 0) {
            ++report.removed;
        }
    }
    // A run with nothing changed leaves the record as it is.
    if (after != before) {
        writeCopyRecord(thumbs.string(), after);
    }
    return true;
}

} // namespace mivo
