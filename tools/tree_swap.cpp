// Putting a finished tree in the place of the served one: staging folder, flush, swap.
#include "tools/tree_swap.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "base/server_files.h"
#include "tools/disk.h"

namespace fs = std::filesystem;

namespace {

constexpr char kStagingPrefix[] = "." SKH_FULL_TREE ".new";
constexpr char kAsidePrefix[] = "." SKH_FULL_TREE ".old";
constexpr char kUniqueEnding[] = ".XXXXXX";  // filled in by mkdtemp

bool Rename(const std::string& from, const std::string& to, unsigned flags) {
    return gDiskCalls.renameAt(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0;
}

// The two-rename swap of file systems without an exchange: live goes aside, the new tree
// takes its name, and live comes back when that fails.
bool SwapByTwoRenames(StagingFolder* staging, const std::string& live, std::ostream& errors) {
    std::string aside = staging->path;
    aside.replace(aside.rfind(kStagingPrefix), strlen(kStagingPrefix), kAsidePrefix);
    if (!Rename(live, aside, 0)) {
        errors << "cannot move the served tree " << live << " aside (" << strerror(errno)
               << "); it is served as it was\n";
        return false;
    }
    if (Rename(staging->path, live, 0)) {
        std::error_code error;
        fs::remove_all(aside, error);
        return true;
    }
    const std::string why = strerror(errno);
    if (Rename(aside, live, 0)) {
        errors << "cannot put the new tree in place at " << live << " (" << why
               << "); the served tree is back as it was\n";
        return false;
    }
    staging->keep = true;
    errors << "cannot put the new tree in place at " << live << " (" << why
           << "), nor the served tree back (" << strerror(errno) << "): nothing is served at "
           << live << "; the served tree is in " << aside << ", the new one in " << staging->path
           << ": rename one of them to " << live << "\n";
    return false;
}

}  // namespace

StagingFolder::~StagingFolder() {
    std::error_code error;
    if (!path.empty() && !keep)
        fs::remove_all(path, error);
}

bool MakeStagingFolder(const std::string& outRoot, StagingFolder* staging, std::ostream& errors) {
    std::error_code error;
    for (fs::directory_iterator it(outRoot, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().rfind(kStagingPrefix, 0) == 0)
            fs::remove_all(it->path(), error);
    }
    std::string path = (fs::path(outRoot) / (std::string(kStagingPrefix) + kUniqueEnding)).string();
    if (mkdtemp(&path[0]) == nullptr) {
        errors << "cannot create a staging folder in " << outRoot << ": " << strerror(errno)
               << "\n";
        return false;
    }
    staging->path = path;
    return true;
}

bool FlushFolders(const std::string& tree, std::ostream& errors) {
    std::error_code error;
    bool flushed = FlushFolder(tree);
    for (fs::recursive_directory_iterator it(tree, error), end; flushed && !error && it != end;
         it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            flushed = FlushFolder(it->path().string());
    }
    if (!flushed || error) {
        errors << "cannot flush the new tree in " << tree << " to disk\n";
        return false;
    }
    return true;
}

bool SwapInTree(StagingFolder* staging, const std::string& live, std::ostream& errors) {
    if (chmod(staging->path.c_str(), 0755) != 0) {
        errors << "cannot open the new tree " << staging->path << " to readers\n";
        return false;
    }
    struct stat status;
    const bool firstTree = lstat(live.c_str(), &status) != 0 && errno == ENOENT;
    // After an exchange the staging folder holds the old tree, which the guard removes.
    const bool placed = Rename(staging->path, live, firstTree ? 0 : RENAME_EXCHANGE);
    const bool noExchange = !firstTree && (errno == EINVAL || errno == ENOSYS);
    if (!placed && !noExchange) {
        errors << "cannot put the new tree in place at " << live << ": " << strerror(errno) << "\n";
        return false;
    }
    if (!placed && !SwapByTwoRenames(staging, live, errors))
        return false;
    const std::string outRoot = fs::path(live).parent_path().string();
    if (!FlushFolder(outRoot)) {
        errors << "the new tree is in place at " << live << ", but " << outRoot
               << " could not be flushed to disk\n";
        return false;
    }
    return true;
}
