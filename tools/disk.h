// The tool's hold on the disk: owned descriptors, which file a name led to, flushing to disk,
// and the two system calls that tests replace to make flushing and renaming fail or be seen.
#pragma once

#include <sys/stat.h>

#include <string>

// fsync and renameat2: the tool calls them only through here.
struct DiskCalls {
    int (*flush)(int fd);
    int (*renameAt)(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
};
extern DiskCalls gDiskCalls;

// Owns one file descriptor and closes it on every path out of a scope.
struct FileDescriptor {
    int fd;
    explicit FileDescriptor(int opened = -1) : fd(opened) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    // Closes now; false when the close reported an error (a write that did not reach the file).
    bool Close();
};

// A file by device and inode: a name swapped for another file, or a second name of the same
// file (a hard link), gives the same or another id whatever the names say. All zero: none.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId& other) const {
        return device == other.device && inode == other.inode;
    }
    bool operator!=(const FileId& other) const { return !(*this == other); }
};

FileId IdOf(const struct stat& status);

// Flushes an open file, or the folder at path with the names it holds, to the disk.
bool FlushToDisk(int fd);
bool FlushFolder(const std::string& path);
