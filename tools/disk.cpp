// The tool's hold on the disk: owned descriptors, file ids, flushing to disk.
#include "tools/disk.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

DiskCalls gDiskCalls = {fsync, renameat2};

bool FileDescriptor::Close() {
    if (fd < 0)
        return false;
    const bool closed = close(fd) == 0;
    fd = -1;
    return closed;
}

FileId IdOf(const struct stat& status) {
    FileId id;
    id.device = status.st_dev;
    id.inode = status.st_ino;
    return id;
}

bool FlushToDisk(int fd) {
    return gDiskCalls.flush(fd) == 0;
}

bool FlushFolder(const std::string& path) {
    FileDescriptor folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return folder.fd >= 0 && FlushToDisk(folder.fd);
}
