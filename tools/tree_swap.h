// Putting a finished tree in the place of the served one: a private staging folder beside it,
// flushed to disk, then swapped in.
#pragma once

#include <ostream>
#include <string>

// The staging folder of one publish, made beside the served tree under a hidden name with an
// unpredictable ending (nginx serves no dot names) and open only to its owner until it is put
// in place. Whatever it holds is removed when the guard ends, unless keep is set.
struct StagingFolder {
    std::string path;
    bool keep = false;  // set when a failed swap leaves the only copy of the new tree in it
    StagingFolder() = default;
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
};

// Makes the staging folder for outRoot/skh-full, first removing those that killed runs left.
bool MakeStagingFolder(const std::string& outRoot, StagingFolder* staging, std::ostream& errors);

// Flushes every folder of the tree, with the names it holds, to the disk; the files were
// flushed as they were written.
bool FlushFolders(const std::string& tree, std::ostream& errors);

// Puts the staging folder's tree in place of live by exchanging the two names in one step, so
// a launcher never finds the tree missing. Where the file system cannot exchange, live is
// renamed aside first and put back when the new tree cannot follow it; the error then says
// where each tree is.
bool SwapInTree(StagingFolder* staging, const std::string& live, std::ostream& errors);
