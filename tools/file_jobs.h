// Reading, hashing and copying files: many at once on every core, or one whole file.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tools/disk.h"

// One file to copy or to hash. The source is opened once, without following a link, and must
// be a regular file; the copy is created new, never written through an existing name.
struct FileJob {
    std::string source;
    FileId sourceId;            // when set, the file opened must be this one (the one scanned)
    std::string destination;    // the copy, flushed to disk; empty for hashing only
    bool everyDigest = false;   // hash whatever the size (a signed manifest lists every digest)
    int64_t expectedBytes = 0;  // as scanned or listed: for the order and the progress line only

    int64_t bytes = 0;   // read from the source
    std::string digest;  // 40 lowercase digits when ListsDigest(bytes, everyDigest)
    std::string error;   // empty when the job succeeded
};

// Runs the jobs on up to `threads` threads (0: one per core). On runs longer than a second
// a progress line starting with `verb` goes to stderr.
void RunFileJobs(const std::vector<FileJob*>& jobs, int threads, const char* verb);

// The whole file into *out; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* out);

enum class Existing { Replace, Keep };

// Writes content under a hidden, unpredictable name beside path, flushes it, and renames it
// to path, so that a reader finds the old file or the whole new one; then flushes the folder.
// With Existing::Keep a file already at path stays and the write fails. False, leaving no
// file of its own, when any step fails.
bool WriteWholeFile(const std::string& path, const std::string& content, mode_t mode = 0644,
                    Existing existing = Existing::Replace);
