// Reading, hashing and copying files: many at once on every core, or one whole file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct FileJob {
    std::string source;
    std::string destination;  // the copy is written here; empty for hashing only
    bool wantDigest;
    int64_t expectedBytes;  // for the progress line only

    int64_t bytes;       // read from the source
    std::string digest;  // 40 lowercase digits when wantDigest
    std::string error;   // empty when the job succeeded
};

// Runs the jobs on up to `threads` threads (0: one per core). On runs longer than a second
// a progress line starting with `verb` goes to stderr.
void RunFileJobs(std::vector<FileJob>* jobs, int threads, const char* verb);

// The whole file into *out; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* out);

// Creates or replaces the file with content; false when any of it could not be written.
bool WriteWholeFile(const std::string& path, const std::string& content);
