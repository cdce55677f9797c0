// Reading, hashing and copying files: many at once on every core, or one whole file.
#include "tools/file_jobs.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "tools/sha1.h"

namespace {

constexpr size_t kChunkSize = 1 << 20;

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0)
            close(fd);
    }
};

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

void RunOneJob(FileJob* job, unsigned char* buffer, std::atomic<int64_t>* bytesDone) {
    job->bytes = 0;
    FileDescriptor in;
    in.fd = open(job->source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        job->error = ErrnoText("cannot open", job->source);
        return;
    }
    FileDescriptor out;
    if (!job->destination.empty()) {
        out.fd = open(job->destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out.fd < 0) {
            job->error = ErrnoText("cannot create", job->destination);
            return;
        }
    }
    Sha1State sha1;
    Sha1Init(&sha1);
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
        if (job->wantDigest)
            Sha1Update(&sha1, buffer, static_cast<size_t>(got));
        if (out.fd >= 0 && !WriteAll(out.fd, buffer, static_cast<size_t>(got))) {
            job->error = ErrnoText("cannot write", job->destination);
            return;
        }
        job->bytes += got;
        bytesDone->fetch_add(got, std::memory_order_relaxed);
    }
    if (out.fd >= 0 && close(out.fd) != 0) {
        out.fd = -1;
        job->error = ErrnoText("cannot write", job->destination);
        return;
    }
    out.fd = -1;
    if (job->wantDigest)
        job->digest = Sha1FinalHex(&sha1);
}

void PrintProgress(const char* verb, size_t filesDone, size_t files, int64_t bytesDone,
                   int64_t bytes, bool terminal) {
    fprintf(stderr, "%s%s %zu/%zu files, %.1f of %.1f MB%s", terminal ? "\r" : "", verb, filesDone,
            files, bytesDone / 1e6, bytes / 1e6, terminal ? "   " : "\n");
    fflush(stderr);
}

}  // namespace

void RunFileJobs(std::vector<FileJob>* jobs, int threads, const char* verb) {
    if (jobs->empty())
        return;
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = static_cast<int>(std::min<size_t>(threads, jobs->size()));

    // Largest files first, so one big file does not start last and run alone.
    std::vector<size_t> order(jobs->size());
    int64_t totalBytes = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        totalBytes += (*jobs)[i].expectedBytes;
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return (*jobs)[a].expectedBytes > (*jobs)[b].expectedBytes;
    });

    std::atomic<size_t> next{0};
    std::atomic<size_t> filesDone{0};
    std::atomic<int64_t> bytesDone{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunkSize]);
            for (size_t i; (i = next.fetch_add(1)) < order.size();) {
                RunOneJob(&(*jobs)[order[i]], buffer.get(), &bytesDone);
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
            PrintProgress(verb, filesDone.load(), jobs->size(), bytesDone.load(), totalBytes,
                          terminal);
            lastPrint = now;
            printed = true;
        }
        if (printed) {
            PrintProgress(verb, filesDone.load(), jobs->size(), bytesDone.load(), totalBytes,
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

bool WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return !out.fail();
}
