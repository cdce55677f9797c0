// Reading, hashing and copying files: many at once on every core, or one whole file.
#include "tools/file_jobs.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "tools/publish_names.h"
#include "tools/sha1.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunkSize = 1 << 20;

std::string ErrnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " +
           std::error_code(errno, std::generic_category()).message();
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string DigestFailure(const std::string& path) {
    return "cannot compute the SHA-1 of " + path + ": libcrypto failed";
}

// The source as the job may read it: a regular file reached without a link (a pipe put in
// its place does not block the open), and the scanned one when the job names it.
bool OpenSource(FileJob* job, FileDescriptor* in) {
    in->fd = open(job->source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (in->fd < 0 || fstat(in->fd, &status) != 0) {
        job->error = ErrnoText("cannot open", job->source);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        job->error = job->source + " is not a regular file";
        return false;
    }
    if (job->sourceId != FileId() && IdOf(status) != job->sourceId) {
        job->error = job->source + " was replaced by another file while it was being published";
        return false;
    }
    return true;
}

void RunOneJob(FileJob* job, unsigned char* buffer, std::atomic<int64_t>* bytesDone) {
    job->bytes = 0;
    job->digest.clear();
    FileDescriptor in, out;
    if (!OpenSource(job, &in))
        return;
    if (!job->destination.empty()) {
        out.fd = open(job->destination.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (out.fd < 0) {
            job->error = ErrnoText("cannot create", job->destination);
            return;
        }
    }
    Sha1 sha1;
    // Hashing stops once the bytes read make the file one whose digest is not listed.
    bool hashing = Sha1Begin(&sha1);
    for (;;) {
        ssize_t got = read(in.fd, buffer, kChunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            job->error = ErrnoText("cannot read", job->source);
            return;
        }
        if (got == 0)
            break;
        hashing = hashing && ListsDigest(job->bytes + got, job->everyDigest);
        if (hashing && !Sha1Add(&sha1, buffer, static_cast<size_t>(got))) {
            job->error = DigestFailure(job->source);
            return;
        }
        if (out.fd >= 0 && !WriteAll(out.fd, buffer, static_cast<size_t>(got))) {
            job->error = ErrnoText("cannot write", job->destination);
            return;
        }
        job->bytes += got;
        bytesDone->fetch_add(got, std::memory_order_relaxed);
    }
    if (out.fd >= 0 && (!FlushToDisk(out.fd) || !out.Close())) {
        job->error = ErrnoText("cannot write", job->destination);
        return;
    }
    if (ListsDigest(job->bytes, job->everyDigest) && !(hashing && Sha1Finish(&sha1, &job->digest)))
        job->error = DigestFailure(job->source);
}

void PrintProgress(const char* verb, size_t filesDone, size_t files, int64_t bytesDone,
                   int64_t bytes, bool terminal) {
    fprintf(stderr, "%s%s %zu/%zu files, %.1f of %.1f MB%s", terminal ? "\r" : "", verb, filesDone,
            files, bytesDone / 1e6, bytes / 1e6, terminal ? "   " : "\n");
    fflush(stderr);
}

}  // namespace

void RunFileJobs(const std::vector<FileJob*>& jobs, int threads, const char* verb) {
    if (jobs.empty())
        return;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = static_cast<int>(std::min<size_t>(threads, jobs.size()));

    // Largest files first, so one big file does not start last and run alone.
    std::vector<size_t> order(jobs.size());
    int64_t totalBytes = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        totalBytes += jobs[i]->expectedBytes;
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return jobs[a]->expectedBytes > jobs[b]->expectedBytes;
    });

    std::atomic<size_t> next{0};
    std::atomic<size_t> filesDone{0};
    std::atomic<int64_t> bytesDone{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunkSize]);
            for (size_t i; (i = next.fetch_add(1)) < order.size();) {
                RunOneJob(jobs[order[i]], buffer.get(), &bytesDone);
                filesDone.fetch_add(1);
            }
        });
    }

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread progress([&] {
        const bool terminal = isatty(STDERR_FILENO) != 0;
        const auto start = std::chrono::steady_clock::now();
        auto lastPrint = start;
        bool printed = false;
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(250), [&] { return done; })) {
            auto now = std::chrono::steady_clock::now();
            auto interval = terminal ? std::chrono::milliseconds(250) : std::chrono::seconds(5);
            if (now - start < std::chrono::seconds(1) || now - lastPrint < interval)
                continue;
            PrintProgress(verb, filesDone.load(), jobs.size(), bytesDone.load(), totalBytes,
                          terminal);
            lastPrint = now;
            printed = true;
        }
        if (printed) {
            PrintProgress(verb, filesDone.load(), jobs.size(), bytesDone.load(), totalBytes,
                          terminal);
            if (terminal)
                fputc('\n', stderr);
        }
    });

    for (std::thread& worker : workers)
        worker.join();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    finished.notify_one();
    progress.join();
}

bool ReadWholeFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *out = buffer.str();
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const std::string& content, mode_t mode,
                    Existing existing) {
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(mkostemp(&temporary[0], O_CLOEXEC));
    if (file.fd < 0)
        return false;
    const bool written =
        fchmod(file.fd, mode) == 0 &&
        WriteAll(file.fd, reinterpret_cast<const unsigned char*>(content.data()), content.size()) &&
        FlushToDisk(file.fd) && file.Close();
    // A second name made by link() never replaces a file; rename() does, in one step.
    const bool placed = written && (existing == Existing::Keep
                                        ? link(temporary.c_str(), path.c_str()) == 0
                                        : gDiskCalls.renameAt(AT_FDCWD, temporary.c_str(), AT_FDCWD,
                                                              path.c_str(), 0) == 0);
    if (!placed || existing == Existing::Keep)
        unlink(temporary.c_str());
    return placed && FlushFolder(folder.string());
}
