// Chunk indexes of the big files for the publishing tool: cut and hashed (libcrypto's SHA-256)
// as the launcher cuts them, written into the tree, named in the manifest, checked by verify.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>

#include "patch/chunk_index.h"

// Cuts the file into chunks and hashes them and the whole file. False, with *error set, when
// the file cannot be read or libcrypto fails.
// The SHA-256 of bytes in lowercase digits; empty when OpenSSL fails.
std::string Sha256Hex(const std::string& bytes);

bool MakeChunkIndex(const std::string& path, ChunkIndex* out, std::string* error);

// Where a published file's index lies in the tree: "#chunks/" + path + ".idx".
std::string ChunkIndexPath(const std::string& published);

// Writes the index of source (published under `published`) into tree, and returns the
// manifest line that names it, ending in a line feed; the empty text, with *error set, when it
// could not be made or written.
std::string PublishChunkIndex(const std::string& source, const std::filesystem::path& tree,
                              const std::string& published, std::string* error);

// Checks the index that a manifest's "#@chunks" line names against its digest and against the
// entry's file (size, whole SHA-256 and every chunk as this build cuts it); *indexPath is the
// index's place in the tree. The problem, or the empty text.
std::string ChunkIndexProblem(const std::filesystem::path& tree, const std::string& chunksLine,
                              const std::string& entryPath, int64_t entrySize,
                              std::string* indexPath);
