// Chunk indexes of the big files for the publishing tool: made, written, named and checked.
#include "tools/chunk_index_writer.h"

#include <openssl/evp.h>
#include <string.h>

#include <memory>
#include <thread>

#include "base/server_files.h"
#include "base/stdio_file.h"
#include "patch/chunk_fingerprint.h"
#include "patch/chunker.h"
#include "tools/file_jobs.h"
#include "tools/sha1.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kReadSize = 1 << 20;

struct DigestContext {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    DigestContext() = default;
    ~DigestContext() { EVP_MD_CTX_free(context); }
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;
    bool Begin() {
        return context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    }
    bool Add(const unsigned char* data, size_t size) {
        return EVP_DigestUpdate(context, data, size) == 1;
    }
    bool Finish(unsigned char* out) { return EVP_DigestFinal_ex(context, out, nullptr) == 1; }
};

// The whole file's SHA-256, read on its own: false when it cannot be read or hashed.
bool HashWholeFile(const std::string& path, unsigned char* out) {
    StdioFile file(fopen(path.c_str(), "rb"));
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
    DigestContext whole;
    bool ok = file.file != nullptr && whole.Begin();
    for (size_t got; ok && (got = fread(buffer.get(), 1, kReadSize, file.file)) > 0;)
        ok = whole.Add(buffer.get(), got);
    return ok && !ferror(file.file) && whole.Finish(out);
}

bool CutAndHashChunks(const std::string& path, ChunkIndex* out, std::string* error) {
    StdioFile file(fopen(path.c_str(), "rb"));
    if (file.file == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadSize]);
    DigestContext chunk;
    if (!chunk.Begin()) {
        *error = "libcrypto has no SHA-256";
        return false;
    }
    out->chunks.clear();
    ChunkFingerprinter fingerprinter;
    ChunkCutter cutter;
    int64_t offset = 0;
    int64_t chunkStart = 0;
    bool ok = true;
    for (;;) {
        const size_t got = fread(buffer.get(), 1, kReadSize, file.file);
        if (got == 0)
            break;
        for (size_t used = 0; used < got;) {
            bool cut = false;
            const size_t taken = FindChunkEnd(&cutter, buffer.get() + used, got - used, &cut);
            ok = ok && chunk.Add(buffer.get() + used, taken);
            AddToFingerprint(&fingerprinter, buffer.get() + used, taken);
            used += taken;
            offset += static_cast<int64_t>(taken);
            if (!cut)
                continue;
            ChunkRecord record = {chunkStart,
                                  static_cast<uint32_t>(offset - chunkStart),
                                  {},
                                  FinishFingerprint(&fingerprinter)};
            ok = ok && chunk.Finish(record.sha256) && chunk.Begin();
            out->chunks.push_back(record);
            chunkStart = offset;
        }
    }
    if (ferror(file.file)) {
        *error = "cannot read " + path;
        return false;
    }
    if (offset > chunkStart) {
        ChunkRecord record = {chunkStart,
                              static_cast<uint32_t>(offset - chunkStart),
                              {},
                              FinishFingerprint(&fingerprinter)};
        ok = ok && chunk.Finish(record.sha256);
        out->chunks.push_back(record);
    }
    out->fileSize = offset;
    if (!ok)
        *error = "libcrypto failed to hash " + path;
    return ok;
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[kSha256Bytes];
    DigestContext sha;
    if (!sha.Begin() ||
        !sha.Add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !sha.Finish(digest)) {
        return "";
    }
    return LowerHex(digest, kSha256Bytes);
}

bool MakeChunkIndex(const std::string& path, ChunkIndex* out, std::string* error) {
    // The whole file is hashed on a second core while this one cuts and hashes the chunks.
    bool wholeHashed = false;
    std::thread whole([&] { wholeHashed = HashWholeFile(path, out->fileSha256); });
    const bool chunked = CutAndHashChunks(path, out, error);
    whole.join();
    if (chunked && !wholeHashed)
        *error = "cannot read or hash " + path;
    return chunked && wholeHashed;
}

std::string ChunkIndexPath(const std::string& published) {
    return kChunkIndexFolder + published + kChunkIndexSuffix;
}

std::string PublishChunkIndex(const std::string& source, const fs::path& tree,
                              const std::string& published, std::string* error) {
    ChunkIndex index;
    if (!MakeChunkIndex(source, &index, error))
        return "";
    const std::string bytes = WriteChunkIndex(index);
    const std::string name = ChunkIndexPath(published);
    const fs::path destination = tree / name;
    std::error_code created;
    fs::create_directories(destination.parent_path(), created);
    const std::string digest = Sha256Hex(bytes);
    if (created || digest.empty() || !WriteWholeFile(destination, bytes)) {
        *error = "cannot write the chunk index " + destination.string();
        return "";
    }
    return kChunksTag + digest + " " + name + "\n";
}

std::string ChunkIndexProblem(const fs::path& tree, const std::string& chunksLine,
                              const std::string& entryPath, int64_t entrySize,
                              std::string* indexPath) {
    ChunkIndexLine line;
    if (!ParseChunkIndexLine(chunksLine.c_str(), &line))
        return "the chunk index line before it cannot be read by the launcher";
    *indexPath = line.path;
    const std::string named = "its chunk index " + *indexPath;
    std::string bytes;
    if (!ReadWholeFile(tree / line.path, &bytes))
        return named + " is missing";
    if (Sha256Hex(bytes) != line.sha256)
        return named + " is not the one the manifest names";
    ChunkIndex published, actual;
    std::string error;
    if (!ReadChunkIndex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                        &published)) {
        return named + " cannot be read by the launcher";
    }
    if (!MakeChunkIndex((tree / entryPath).string(), &actual, &error))
        return error;
    if (published.fileSize != entrySize || WriteChunkIndex(published) != WriteChunkIndex(actual))
        return named + " does not describe the file";
    return "";
}
