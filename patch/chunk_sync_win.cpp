// Syncing a big file by its chunks: index, scans, plan, ranges, assembly, replacement.
#include "patch/chunk_sync_win.h"

#include <windows.h>
#include <wincrypt.h>
#include <process.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/http_win.h"
#include "base/lower_hex.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "patch/chunk_plan.h"
#include "patch/chunker.h"

namespace {

// Every read, copy and fetch goes through blocks of this size: two for the assembly (one
// filled while the other is hashed) and one per scanning thread. With the index (36 bytes a
// chunk, about 0.06 % of the file) they are all the memory a sync takes, whatever the size.
constexpr DWORD kBlockSize = 1 << 20;
constexpr int kProgressLineSize = 200;
constexpr int kAddressSize = 2400;

struct Sync {
    const char* path;     // as the manifest names it
    const char* address;  // of the published file
    HCRYPTPROV provider;
    ChunkIndex index;
    std::vector<uint32_t> byDigest;
    std::vector<ChunkSource> sources;
    std::unique_ptr<unsigned char[]> blocks;  // two of kBlockSize
    int next;                                 // the block the assembly fills next
    int64_t toFetch;
    int64_t fetched;
};

bool BeginSha256(HCRYPTPROV provider, CryptHash* hash) {
    if (hash->hash != 0)
        CryptDestroyHash(hash->hash);
    hash->hash = 0;
    return CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash->hash) != FALSE;
}

bool FinishSha256(CryptHash* hash, unsigned char* out) {
    DWORD size = kSha256Bytes;
    return CryptGetHashParam(hash->hash, HP_HASHVAL, out, &size, 0) && size == kSha256Bytes;
}

bool AddToHash(CryptHash* hash, const unsigned char* data, size_t size) {
    return CryptHashData(hash->hash, data, static_cast<DWORD>(size), 0) != FALSE;
}

bool ReadAt(HANDLE file, int64_t offset, unsigned char* data, DWORD size, DWORD* got) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ReadFile(file, data, size, got, &at) != FALSE;
}

bool WriteAt(HANDLE file, int64_t offset, const unsigned char* data, DWORD size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(file, data, size, &written, &at) && written == size;
}

// The index into out, at most limit bytes, its SHA-256 the one the manifest names.
bool FetchIndex(Sync* sync, const ChunkIndexLine& line, std::string* out) {
    char encoded[kEncodedPathLimit + 1];
    char url[kAddressSize];
    const int length = EncodeUrlPath(line.path, encoded, sizeof(encoded))
                           ? snprintf(url, sizeof(url), "%s%s", FULL_BASE_URL, encoded)
                           : -1;
    if (length < 0 || length >= static_cast<int>(sizeof(url))) {
        LogProblem("chunk index of %.300s: address too long", sync->path);
        return false;
    }
    const int64_t limit = ChunkIndexSizeLimit(sync->index.fileSize);
    HttpStream stream;
    if (!HttpOpenStream(url, &stream))
        return false;
    for (;;) {
        uint32_t got = 0;
        if (!HttpReadStream(&stream, sync->blocks.get(), kBlockSize, &got))
            return false;
        if (got == 0)
            break;
        if (static_cast<int64_t>(out->size() + got) > limit) {
            LogProblem("GET %s: more than the %lld bytes an index of this file can have", url,
                       static_cast<long long>(limit));
            return false;
        }
        out->append(reinterpret_cast<const char*>(sync->blocks.get()), got);
    }
    CryptHash hash;
    unsigned char digest[kSha256Bytes];
    char hex[kSha256Length + 1] = "?";
    if (BeginSha256(sync->provider, &hash) &&
        AddToHash(&hash, reinterpret_cast<const unsigned char*>(out->data()), out->size()) &&
        FinishSha256(&hash, digest)) {
        WriteLowerHex(digest, kSha256Bytes, hex);
    }
    if (strcmp(hex, line.sha256) != 0) {
        LogProblem("GET %s: SHA-256 %s, the manifest names %s", url, hex, line.sha256);
        return false;
    }
    return true;
}

// One scanner's share of a file: its own digest service, buffer and findings, so that two
// scanners share nothing while they run.
struct Scan {
    const Sync* sync;
    HANDLE file;
    int64_t from;
    int64_t to;
    ChunkSourceKind kind;
    std::vector<ChunkSource> sources;
    bool ok;
};

bool NoteChunk(Scan* scan, CryptContext* context, CryptHash* hash, int64_t start, int64_t end) {
    unsigned char digest[kSha256Bytes];
    if (!FinishSha256(hash, digest) || !BeginSha256(context->provider, hash))
        return false;
    NoteFoundChunk(scan->sync->index, scan->sync->byDigest, digest,
                   static_cast<uint32_t>(end - start), start, scan->kind, &scan->sources);
    return true;
}

// Cuts the bytes from..to of the file as the publisher cut the whole file, and notes the
// chunks the index lists. A scan that starts inside a chunk finds its first cut late, but
// the cuts agree again after it: every chunk found is checked by its digest anyway. A read
// that fails ends the scan there.
void ScanRange(Scan* scan) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    CryptContext context;
    CryptHash hash;
    scan->ok = CryptAcquireContextA(&context.provider, nullptr, nullptr, PROV_RSA_AES,
                                    CRYPT_VERIFYCONTEXT) &&
               BeginSha256(context.provider, &hash);
    ChunkCutter cutter;
    int64_t offset = scan->from;
    int64_t chunkStart = offset;
    DWORD got = 0;
    while (
        scan->ok && offset < scan->to &&
        ReadAt(scan->file, offset, buffer.get(),
               static_cast<DWORD>(scan->to - offset < kBlockSize ? scan->to - offset : kBlockSize),
               &got) &&
        got > 0) {
        for (DWORD used = 0; scan->ok && used < got;) {
            bool cut = false;
            const size_t taken = FindChunkEnd(&cutter, buffer.get() + used, got - used, &cut);
            scan->ok = AddToHash(&hash, buffer.get() + used, taken);
            used += static_cast<DWORD>(taken);
            offset += static_cast<int64_t>(taken);
            if (scan->ok && cut) {
                scan->ok = NoteChunk(scan, &context, &hash, chunkStart, offset);
                chunkStart = offset;
            }
        }
    }
    if (scan->ok && offset > chunkStart)
        scan->ok = NoteChunk(scan, &context, &hash, chunkStart, offset);
}

unsigned __stdcall ScanThreadProc(void* scan) {
    ScanRange(static_cast<Scan*>(scan));
    return 0;
}

// Finds the index's chunks in the file at path; a file that cannot be opened holds none. A
// large file is scanned in two halves on two threads: hashing is what a sync waits for.
bool ScanFile(Sync* sync, const char* path, ChunkSourceKind kind) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!file.IsOpen() || !GetFileSizeEx(file.handle, &size))
        return true;
    const int64_t middle = size.QuadPart / 2;
    const bool halves = size.QuadPart >= 8 * static_cast<int64_t>(kBlockSize);
    // The first half runs on past the middle until the second half's cuts agree with its own.
    const int64_t firstEnd = halves ? middle + 4 * kChunkMaxSize : size.QuadPart;
    Scan first = {sync, file.handle, 0, firstEnd, kind, sync->sources, false};
    Scan second = {sync, file.handle, middle, size.QuadPart, kind, sync->sources, false};
    HANDLE thread = halves ? reinterpret_cast<HANDLE>(
                                 _beginthreadex(nullptr, 0, ScanThreadProc, &second, 0, nullptr))
                           : nullptr;
    ScanRange(&first);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else if (halves) {
        ScanRange(&second);
    }
    for (size_t i = 0; i < sync->sources.size(); ++i) {
        if (sync->sources[i].kind == ChunkSourceKind::None)
            sync->sources[i] = first.sources[i].kind != ChunkSourceKind::None ? first.sources[i]
                                                                              : second.sources[i];
    }
    return first.ok && (!halves || second.ok);
}

void ShowProgress(const Sync& sync) {
    char line[kProgressLineSize];
    const int64_t expected = sync.fetched > sync.toFetch ? sync.fetched : sync.toFetch;
    snprintf(line, sizeof(line), kStatusMegabytesFormat, static_cast<long long>(sync.fetched >> 20),
             static_cast<long long>(expected >> 20));
    SetStatus(line, -1);
}

// Hashes what the assembly writes on a second thread, one block behind it: the whole file,
// and each fetched chunk, whose digest is checked as it completes. Wine answers every event
// through its server, so the blocks are large: about two thousand hand-overs a GiB.
struct Hasher {
    const Sync* sync = nullptr;
    CryptContext context;
    CryptHash whole;
    CryptHash chunk;
    HANDLE ready = nullptr;  // a block is handed over, or stop is set
    HANDLE done = nullptr;   // the block handed over is hashed and its buffer free
    HANDLE thread = nullptr;
    const unsigned char* data = nullptr;
    DWORD size = 0;
    int64_t offset = 0;
    bool fetched = false;  // check the chunks it completes
    bool busy = false;     // a block is handed over and its done not yet taken
    bool stop = false;
    bool ok = true;
    uint32_t nextChunk = 0;  // the fetched chunk being hashed, up to position
    int64_t position = -1;
    Hasher() = default;
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
};

bool HashBlock(Hasher* h) {
    if (!AddToHash(&h->whole, h->data, h->size))
        return false;
    if (!h->fetched)
        return true;
    const std::vector<ChunkRecord>& chunks = h->sync->index.chunks;
    // A range starts at a chunk of its own; a block that goes on from the last one continues
    // its chunk.
    if (h->offset != h->position) {
        while (h->nextChunk < chunks.size() && chunks[h->nextChunk].offset < h->offset)
            ++h->nextChunk;
        while (h->nextChunk > 0 && chunks[h->nextChunk - 1].offset >= h->offset)
            --h->nextChunk;
        h->position = h->offset;
        if (h->nextChunk >= chunks.size() || chunks[h->nextChunk].offset != h->offset ||
            !BeginSha256(h->context.provider, &h->chunk)) {
            return false;
        }
    }
    for (DWORD used = 0; used < h->size;) {
        if (h->nextChunk >= chunks.size())
            return false;
        const ChunkRecord& record = chunks[h->nextChunk];
        const int64_t end = record.offset + record.length;
        const DWORD take = static_cast<DWORD>(end - h->position < h->size - used ? end - h->position
                                                                                 : h->size - used);
        if (!AddToHash(&h->chunk, h->data + used, take))
            return false;
        used += take;
        h->position += take;
        if (h->position < end)
            continue;
        unsigned char digest[kSha256Bytes];
        if (!FinishSha256(&h->chunk, digest) || !BeginSha256(h->context.provider, &h->chunk))
            return false;
        if (memcmp(digest, record.sha256, kSha256Bytes) != 0) {
            LogProblem("GET %s: chunk %u (bytes %lld-%lld) differs from the index",
                       h->sync->address, h->nextChunk, static_cast<long long>(record.offset),
                       static_cast<long long>(end - 1));
            return false;
        }
        ++h->nextChunk;
    }
    return true;
}

unsigned __stdcall HashThreadProc(void* parameter) {
    Hasher* h = static_cast<Hasher*>(parameter);
    for (;;) {
        WaitForSingleObject(h->ready, INFINITE);
        if (h->stop)
            return 0;
        h->ok = h->ok && HashBlock(h);
        SetEvent(h->done);
    }
}

bool StartHasher(Hasher* h, const Sync* sync) {
    h->sync = sync;
    h->ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    h->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (h->ready == nullptr || h->done == nullptr ||
        !CryptAcquireContextA(&h->context.provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT) ||
        !BeginSha256(h->context.provider, &h->whole)) {
        return false;
    }
    h->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HashThreadProc, h, 0, nullptr));
    return h->thread != nullptr;
}

// Waits until the block before is hashed, then hands this one over. False when a block
// before failed (the log says why).
bool HandOver(Hasher* h, const unsigned char* data, DWORD size, int64_t offset, bool fetched) {
    if (h->busy)
        WaitForSingleObject(h->done, INFINITE);
    h->busy = false;
    if (!h->ok)
        return false;
    h->busy = true;
    h->data = data;
    h->size = size;
    h->offset = offset;
    h->fetched = fetched;
    SetEvent(h->ready);
    return true;
}

// Waits for the last block and ends the thread; false when any block failed.
bool StopHasher(Hasher* h) {
    if (h->thread == nullptr)
        return false;
    if (h->busy)
        WaitForSingleObject(h->done, INFINITE);
    h->busy = false;
    h->stop = true;
    SetEvent(h->ready);
    WaitForSingleObject(h->thread, INFINITE);
    CloseHandle(h->thread);
    h->thread = nullptr;
    return h->ok;
}

Hasher::~Hasher() {
    StopHasher(this);
    if (ready != nullptr)
        CloseHandle(ready);
    if (done != nullptr)
        CloseHandle(done);
}

// The block the assembly fills next; the other one may still be with the hasher.
unsigned char* NextBlock(Sync* sync) {
    unsigned char* block = sync->blocks.get() + sync->next * kBlockSize;
    sync->next ^= 1;
    return block;
}

// Hands over length bytes of file at offset, writing them at target when there is one: a
// chunk kept in place, or copied from the old file.
bool CopyBytes(Sync* sync, Hasher* hasher, HANDLE file, int64_t offset, int64_t length,
               HANDLE target, int64_t targetOffset) {
    for (int64_t done = 0; done < length;) {
        unsigned char* block = NextBlock(sync);
        const DWORD want =
            static_cast<DWORD>(length - done < kBlockSize ? length - done : kBlockSize);
        DWORD got = 0;
        if (!ReadAt(file, offset + done, block, want, &got) || got != want) {
            LogProblem("%.300s: cannot read %lu bytes at %lld (error %lu)", sync->path, want,
                       static_cast<long long>(offset + done), GetLastError());
            return false;
        }
        if (target != nullptr && !WriteAt(target, targetOffset + done, block, got)) {
            LogProblem("%.300s: cannot write the part file (error %lu)", sync->path,
                       GetLastError());
            return false;
        }
        if (!HandOver(hasher, block, got, targetOffset + done, false))
            return false;
        done += got;
    }
    return true;
}

// Reads size bytes of the body into data; false (logged) when it ends sooner or fails, with
// *filled bytes read all the same.
bool ReadFull(Sync* sync, HttpStream* stream, unsigned char* data, DWORD size, DWORD* filled) {
    for (*filled = 0; *filled < size;) {
        uint32_t got = 0;
        if (!HttpReadStream(stream, data + *filled, size - *filled, &got))
            return false;
        if (got == 0) {
            LogProblem("GET %s: body ended %lu bytes short", sync->address, size - *filled);
            return false;
        }
        *filled += got;
        sync->fetched += got;
        ShowProgress(*sync);
    }
    return true;
}

// Fetches the step's byte range into the part file; the hasher checks each chunk. A host
// that answers with the whole file instead gives every byte from here to the end; *rest then
// says the file is complete.
bool FetchStep(Sync* sync, Hasher* hasher, const SyncStep& step, HANDLE part, bool* rest) {
    HttpStream stream;
    const HttpRangeAnswer answer = HttpOpenRange(
        sync->address, step.offset, step.offset + step.length - 1, sync->index.fileSize, &stream);
    if (answer == HttpRangeAnswer::Failed)
        return false;
    *rest = answer == HttpRangeAnswer::WholeFile;
    if (*rest)
        LogProblem("GET %s: the host ignores ranges, the whole file is taken", sync->address);
    // Of a whole file, the bytes before the step are in the part file already.
    for (int64_t skip = *rest ? step.offset : 0; skip > 0;) {
        const DWORD size = static_cast<DWORD>(skip < kBlockSize ? skip : kBlockSize);
        DWORD filled = 0;
        if (!ReadFull(sync, &stream, NextBlock(sync), size, &filled))
            return false;
        skip -= size;
    }
    const int64_t end = *rest ? sync->index.fileSize : step.offset + step.length;
    for (int64_t position = step.offset; position < end;) {
        unsigned char* block = NextBlock(sync);
        const DWORD size =
            static_cast<DWORD>(end - position < kBlockSize ? end - position : kBlockSize);
        // What arrived before a cut is stored too: the next run finds its chunks in place.
        DWORD filled = 0;
        const bool whole = ReadFull(sync, &stream, block, size, &filled);
        if (filled > 0 && !WriteAt(part, position, block, filled)) {
            LogProblem("%.300s: cannot write the part file (error %lu)", sync->path,
                       GetLastError());
            return false;
        }
        if (!whole || !HandOver(hasher, block, size, position, true))
            return false;
        position += size;
    }
    return true;
}

bool Assemble(Sync* sync, Hasher* hasher, const std::vector<SyncStep>& plan, HANDLE part,
              const char* localPath) {
    FileHandle old(CreateFileA(localPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    for (const SyncStep& step : plan) {
        bool ok = false;
        bool rest = false;
        if (step.kind == SyncStepKind::Keep) {
            ok = CopyBytes(sync, hasher, part, step.offset, step.length, nullptr, step.offset);
        } else if (step.kind == SyncStepKind::Copy) {
            ok = old.IsOpen() && CopyBytes(sync, hasher, old.handle, step.sourceOffset, step.length,
                                           part, step.offset);
        } else {
            ok = FetchStep(sync, hasher, step, part, &rest);
        }
        if (!ok)
            return false;
        if (rest)
            return true;
    }
    return true;
}

// Ends the part file at the file's size, checks the whole file's digest and closes it. False
// (logged) when anything differs: after a whole-file mismatch the part file is deleted, as
// its bytes are not the published ones.
bool FinishPart(Sync* sync, Hasher* hasher, FileHandle* part, const char* partPath) {
    LARGE_INTEGER size;
    size.QuadPart = sync->index.fileSize;
    unsigned char digest[kSha256Bytes];
    const bool hashed = StopHasher(hasher);
    const bool ended = SetFilePointerEx(part->handle, size, nullptr, FILE_BEGIN) &&
                       SetEndOfFile(part->handle) && FlushFileBuffers(part->handle);
    part->Close();
    if (!hashed)
        return false;
    if (!ended) {
        LogProblem("%.300s: cannot end the part file (error %lu)", sync->path, GetLastError());
        return false;
    }
    if (!FinishSha256(&hasher->whole, digest) ||
        memcmp(digest, sync->index.fileSha256, kSha256Bytes) != 0) {
        LogProblem("%.300s: the assembled file's SHA-256 is not the index's", sync->path);
        DeleteFileA(partPath);
        return false;
    }
    return true;
}

}  // namespace

SyncResult SyncChunkedFile(const ManifestEntry& entry, const ChunkIndexLine& line,
                           const char* address, const char* localPath) {
    Sync sync = {entry.path, address, 0, {}, {}, {}, nullptr, 0, 0, 0};
    sync.index.fileSize = entry.size;
    sync.blocks.reset(new unsigned char[2 * kBlockSize]);
    char partPath[kPathSize];
    const int partLength = snprintf(partPath, sizeof(partPath), "%s%s", localPath, kSyncPartSuffix);
    CryptContext context;
    if (partLength < 0 || partLength > kLocalPathLimit) {
        LogProblem("%.300s: the part file's name would be too long", entry.path);
        return SyncResult::Failed;
    }
    if (!CryptAcquireContextA(&context.provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
        LogProblem("%.300s: no SHA-256 service (error %lu)", entry.path, GetLastError());
        return SyncResult::Failed;
    }
    sync.provider = context.provider;
    std::string indexBytes;
    if (!FetchIndex(&sync, line, &indexBytes))
        return SyncResult::Failed;
    if (!ReadChunkIndex(reinterpret_cast<const unsigned char*>(indexBytes.data()),
                        indexBytes.size(), &sync.index) ||
        sync.index.fileSize != entry.size) {
        LogProblem("%.300s: its chunk index cannot be read, or is for another size", entry.path);
        return SyncResult::Failed;
    }
    sync.byDigest = SortChunksByDigest(sync.index);
    sync.sources.resize(sync.index.chunks.size());
    // The part file of a cut-off run first: its chunks in place need no write at all.
    if (!ScanFile(&sync, partPath, ChunkSourceKind::InPlace) ||
        !ScanFile(&sync, localPath, ChunkSourceKind::OldFile)) {
        LogProblem("%.300s: scanning for chunks failed (error %lu)", entry.path, GetLastError());
        return SyncResult::Failed;
    }
    const std::vector<SyncStep> plan = PlanChunkSync(sync.index, sync.sources);
    const PathFacts old = QueryPathFacts(localPath);
    if (old.exists && !old.isDirectory && OldFileIsCurrent(sync.index, plan, old.size)) {
        DeleteFileA(partPath);
        return SyncResult::Kept;
    }
    sync.toFetch = BytesToFetch(plan);
    ShowProgress(sync);

    FileHandle part(CreateFileA(partPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    Hasher hasher;
    if (!part.IsOpen() || !StartHasher(&hasher, &sync)) {
        LogProblem("%.300s: cannot open the part file or start hashing (error %lu)", entry.path,
                   GetLastError());
        return SyncResult::Failed;
    }
    if (!Assemble(&sync, &hasher, plan, part.handle, localPath) ||
        !FinishPart(&sync, &hasher, &part, partPath)) {
        return SyncResult::Failed;
    }
    // One step: until here the old file stood untouched under its name.
    if (!MoveFileExA(partPath, localPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LogProblem("%.300s: cannot replace the old file (error %lu)", entry.path, GetLastError());
        return SyncResult::Failed;
    }
    return SyncResult::Replaced;
}
