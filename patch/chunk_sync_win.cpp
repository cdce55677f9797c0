// Syncing a big file by its chunks: index, scans, plan, ranges, assembly, replacement.
#include "patch/chunk_sync_win.h"

#include <windows.h>
#include <wincrypt.h>
#include <process.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/hash_win.h"
#include "base/http_win.h"
#include "base/lower_hex.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "patch/chunk_fingerprint.h"
#include "patch/chunk_plan.h"
#include "patch/chunker.h"

namespace {

// Every read, copy and fetch goes through blocks of this size: a ring of kBlockCount between
// the assembly and the hasher, and one per scanning thread. With the index (44 bytes a
// chunk, about 0.06 % of the file) they are all the memory a sync takes, whatever the size.
constexpr DWORD kBlockSize = 512 << 10;
constexpr int kBlockCount = 8;
// The part file goes to the disk in steps of this size while the assembly goes on.
constexpr int64_t kFlushStep = 64 << 20;
constexpr int kProgressLineSize = 200;
constexpr int kAddressSize = 2400;

// Sets *stop under the lock, wakes the thread waiting on `wake`, and waits for it to end.
void StopWorker(CRITICAL_SECTION* lock, bool* stop, CONDITION_VARIABLE* wake, HANDLE* thread) {
    EnterCriticalSection(lock);
    *stop = true;
    LeaveCriticalSection(lock);
    WakeAllConditionVariable(wake);
    WaitForSingleObject(*thread, INFINITE);
    CloseHandle(*thread);
    *thread = nullptr;
}

struct Flusher;

struct Sync {
    const char* path;     // as the manifest names it
    const char* address;  // of the published file
    ChunkIndex index;
    std::vector<uint32_t> byFingerprint;
    std::vector<ChunkSource> sources;
    std::unique_ptr<unsigned char[]> blocks;  // kBlockCount of kBlockSize
    Flusher* flusher;
    int64_t toFetch;
    int64_t fetched;
    int64_t shownFetched;  // the megabytes the status line shows
    int64_t shownExpected;
};

bool BeginSha256(CryptHash* hash) {
    if (hash->hash != 0)
        CryptDestroyHash(hash->hash);
    hash->hash = 0;
    return CryptCreateHash(HashProvider(), CALG_SHA_256, 0, 0, &hash->hash) != FALSE;
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

// Flushes the part file on a thread of its own each time the assembly has written another
// kFlushStep bytes, so that the flush before the replacement finds little left to write and
// the disk works while the hasher hashes. Its handle is its own: Windows runs the calls on one
// synchronous handle one at a time, and the assembly's writes would wait for each flush.
struct Flusher {
    FileHandle file{INVALID_HANDLE_VALUE};
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE wrote;
    int64_t written = 0;  // since the last flush, under the lock
    bool stop = false;
    HANDLE thread = nullptr;
    Flusher() {
        InitializeCriticalSection(&lock);
        InitializeConditionVariable(&wrote);
    }
    ~Flusher();
    Flusher(const Flusher&) = delete;
    Flusher& operator=(const Flusher&) = delete;
};

unsigned __stdcall FlushThreadProc(void* parameter) {
    Flusher* f = static_cast<Flusher*>(parameter);
    EnterCriticalSection(&f->lock);
    for (;;) {
        while (f->written < kFlushStep && !f->stop)
            SleepConditionVariableCS(&f->wrote, &f->lock, INFINITE);
        if (f->stop)
            break;
        f->written = 0;
        LeaveCriticalSection(&f->lock);
        FlushFileBuffers(f->file.handle);
        EnterCriticalSection(&f->lock);
    }
    LeaveCriticalSection(&f->lock);
    return 0;
}

// Without a second handle or a thread, the flush before the replacement does it all.
void StartFlusher(Flusher* f, const char* partPath) {
    f->file.handle = CreateFileA(partPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f->file.IsOpen()) {
        f->thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, FlushThreadProc, f, 0, nullptr));
    }
}

// Ends the thread after the flush under way, if any, and closes the handle, which would
// keep the part file from being replaced or deleted.
void EndFlusher(Flusher* f) {
    if (f->thread != nullptr)
        StopWorker(&f->lock, &f->stop, &f->wrote, &f->thread);
    f->file.Close();
}

Flusher::~Flusher() {
    EndFlusher(this);
    DeleteCriticalSection(&lock);
}

bool WritePart(Sync* sync, HANDLE part, int64_t offset, const unsigned char* data, DWORD size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!WriteFile(part, data, size, &written, &at) || written != size)
        return false;
    Flusher* f = sync->flusher;
    if (f != nullptr && f->thread != nullptr) {
        EnterCriticalSection(&f->lock);
        f->written += size;
        const bool due = f->written >= kFlushStep;
        LeaveCriticalSection(&f->lock);
        if (due)
            WakeAllConditionVariable(&f->wrote);
    }
    return true;
}

// The index into out, at most limit bytes, its SHA-256 the one the manifest names.
bool FetchIndex(Sync* sync, const ChunkIndexLine& line, std::string* out) {
    char encoded[kEncodedPathLimit + 1];
    char url[kAddressSize];
    const int length = EncodeUrlPath(line.path, encoded, sizeof(encoded))
                           ? snprintf(url, sizeof(url), "%s%s", kFullBaseUrl, encoded)
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
    if (BeginSha256(&hash) &&
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

// A scan of one file for the index's chunks. The old file's runs on a thread of its own
// while the assembly trails it; what it found and how far it got are shared under the lock.
struct Scan {
    Sync* sync;
    HANDLE file;
    ChunkSourceKind kind;
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE moved;
    int64_t scanned = 0;  // bytes cut and fingerprinted
    bool done = false;
    std::atomic<bool> stop{false};  // the sync is over: the scan ends at its next block
    HANDLE thread = nullptr;
    Scan(Sync* s, HANDLE f, ChunkSourceKind k) : sync(s), file(f), kind(k) {
        InitializeCriticalSection(&lock);
        InitializeConditionVariable(&moved);
    }
    ~Scan();
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;
};

void NoteChunk(Scan* scan, ChunkFingerprinter* fingerprinter, int64_t start, int64_t end) {
    const uint64_t fingerprint = FinishFingerprint(fingerprinter);
    EnterCriticalSection(&scan->lock);
    NoteFoundChunk(scan->sync->index, scan->sync->byFingerprint, fingerprint,
                   static_cast<uint32_t>(end - start), start, scan->kind, &scan->sync->sources);
    LeaveCriticalSection(&scan->lock);
}

// Publishes how far the scan got and wakes the assembly waiting for it.
void ReportScan(Scan* scan, int64_t scanned, bool done) {
    EnterCriticalSection(&scan->lock);
    scan->scanned = scanned;
    scan->done = done;
    LeaveCriticalSection(&scan->lock);
    WakeAllConditionVariable(&scan->moved);
}

// Cuts the file as the publisher cut the published one and notes the chunks the index lists
// by their fingerprints: a SHA-256 of every chunk here would double the hashing of a sync,
// and the whole file's SHA-256 proves every chunk taken. A read that fails ends the scan
// there: the chunks it did not find are fetched.
void ScanFile(Scan* scan) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    ChunkFingerprinter fingerprinter;
    ChunkCutter cutter;
    int64_t offset = 0;
    int64_t chunkStart = 0;
    DWORD got = 0;
    while (!scan->stop && ReadAt(scan->file, offset, buffer.get(), kBlockSize, &got) && got > 0) {
        for (DWORD used = 0; used < got;) {
            bool cut = false;
            const size_t taken = FindChunkEnd(&cutter, buffer.get() + used, got - used, &cut);
            AddToFingerprint(&fingerprinter, buffer.get() + used, taken);
            used += static_cast<DWORD>(taken);
            offset += static_cast<int64_t>(taken);
            if (cut) {
                NoteChunk(scan, &fingerprinter, chunkStart, offset);
                chunkStart = offset;
            }
        }
        ReportScan(scan, offset, false);
    }
    if (offset > chunkStart)
        NoteChunk(scan, &fingerprinter, chunkStart, offset);
    ReportScan(scan, offset, true);
}

unsigned __stdcall ScanThreadProc(void* scan) {
    ScanFile(static_cast<Scan*>(scan));
    return 0;
}

// Starts the scan on its own thread; without one it runs here, to the end.
void StartScan(Scan* scan) {
    scan->thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ScanThreadProc, scan, 0, nullptr));
    if (scan->thread == nullptr)
        ScanFile(scan);
}

// Ends the scan at its next block and waits for its thread.
void StopScan(Scan* scan) {
    if (scan->thread == nullptr)
        return;
    scan->stop = true;
    WaitForSingleObject(scan->thread, INFINITE);
    CloseHandle(scan->thread);
    scan->thread = nullptr;
}

Scan::~Scan() {
    StopScan(this);
    DeleteCriticalSection(&lock);
}

// The next step of the assembly from chunk first, waiting for the scan of the old file where
// it must. A chunk the scan has not found is fetched once the scan is past the place where
// it would stand in the old file (its offset moved by shift, where the last copied chunk came
// from, with room for the largest chunk on either side), or at the end of the scan. Content
// that moved towards the start of the file is fetched too, though the scan would find it
// later; content that moved towards the end only makes the assembly wait for the scan.
SyncStep WaitForStep(Sync* sync, Scan* scan, uint32_t first, int64_t shift) {
    const std::vector<ChunkRecord>& chunks = sync->index.chunks;
    const uint32_t count = static_cast<uint32_t>(chunks.size());
    const auto decided = [&](uint32_t i) {
        return scan->done ||
               scan->scanned >= chunks[i].offset + shift + chunks[i].length + 2 * kChunkMaxSize;
    };
    // A range is asked for only once its end is known, so that neighbours go in one request.
    const auto missingUpTo = [&]() {
        uint32_t end = first;
        while (end < count && sync->sources[end].kind == ChunkSourceKind::None && decided(end))
            ++end;
        return end;
    };
    EnterCriticalSection(&scan->lock);
    uint32_t end = missingUpTo();
    while (sync->sources[first].kind == ChunkSourceKind::None && end < count &&
           sync->sources[end].kind == ChunkSourceKind::None) {
        SleepConditionVariableCS(&scan->moved, &scan->lock, INFINITE);
        end = missingUpTo();
    }
    const SyncStep step = NextSyncStep(sync->index, sync->sources, first, end);
    LeaveCriticalSection(&scan->lock);
    return step;
}

// The megabyte line, when its figures changed: every status line is a repaint.
void ShowProgress(Sync* sync) {
    const int64_t fetched = sync->fetched >> 20;
    const int64_t expected = (sync->fetched > sync->toFetch ? sync->fetched : sync->toFetch) >> 20;
    if (fetched == sync->shownFetched && expected == sync->shownExpected)
        return;
    sync->shownFetched = fetched;
    sync->shownExpected = expected;
    char line[kProgressLineSize];
    snprintf(line, sizeof(line), kStatusMegabytesFormat, static_cast<long long>(fetched),
             static_cast<long long>(expected));
    SetStatus(line, -1);
}

// Hashes what the assembly writes on a thread of its own: the whole file, and each fetched
// chunk, whose digest is checked as it completes. The assembly hands blocks over through a
// ring and waits only when every block is still to be hashed; the hasher waits only when it
// has hashed all it was handed. One thread for both digests: with the download taking a core
// of two, a third busy thread only slowed it. Condition variables, not events: under Wine an
// event is a round trip through its server, which left the hasher idle a millisecond a block.
struct HandedBlock {
    const unsigned char* data;
    DWORD size;
    int64_t offset;  // in the published file
    bool fetched;    // its chunks are checked one by one
};

struct Hasher {
    Sync* sync = nullptr;
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE handedMore;
    CONDITION_VARIABLE hashedMore;
    HandedBlock ring[kBlockCount] = {};
    uint64_t handed = 0;  // blocks handed over, under the lock
    uint64_t hashed = 0;  // blocks done with, under the lock
    bool stop = false;
    bool ok = true;        // every block hashed; under the lock
    bool chunksOk = true;  // every fetched chunk matched; read once the thread has ended
    HANDLE thread = nullptr;
    CryptHash whole;
    CryptHash chunk;
    uint32_t nextChunk = 0;  // the fetched chunk being hashed, up to position
    int64_t position = -1;
    Hasher() {
        InitializeCriticalSection(&lock);
        InitializeConditionVariable(&handedMore);
        InitializeConditionVariable(&hashedMore);
    }
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
};

bool HashChunks(Hasher* h, const HandedBlock& block) {
    const std::vector<ChunkRecord>& chunks = h->sync->index.chunks;
    // A range starts at a chunk of its own; a block that goes on from the last one continues
    // its chunk.
    if (block.offset != h->position) {
        while (h->nextChunk < chunks.size() && chunks[h->nextChunk].offset < block.offset)
            ++h->nextChunk;
        while (h->nextChunk > 0 && chunks[h->nextChunk - 1].offset >= block.offset)
            --h->nextChunk;
        h->position = block.offset;
        if (h->nextChunk >= chunks.size() || chunks[h->nextChunk].offset != block.offset ||
            !BeginSha256(&h->chunk)) {
            return false;
        }
    }
    for (DWORD used = 0; used < block.size;) {
        if (h->nextChunk >= chunks.size())
            return false;
        const ChunkRecord& record = chunks[h->nextChunk];
        const int64_t end = record.offset + record.length;
        const DWORD take = static_cast<DWORD>(
            end - h->position < block.size - used ? end - h->position : block.size - used);
        if (!AddToHash(&h->chunk, block.data + used, take))
            return false;
        used += take;
        h->position += take;
        if (h->position < end)
            continue;
        unsigned char digest[kSha256Bytes];
        if (!FinishSha256(&h->chunk, digest) || !BeginSha256(&h->chunk))
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

// Takes every block handed over, in order, until stopped with none left. After a failure it
// still takes the blocks, unhashed, so that the assembly never waits for it in vain.
unsigned __stdcall HashThreadProc(void* parameter) {
    Hasher* h = static_cast<Hasher*>(parameter);
    EnterCriticalSection(&h->lock);
    for (;;) {
        while (h->hashed == h->handed && !h->stop)
            SleepConditionVariableCS(&h->handedMore, &h->lock, INFINITE);
        if (h->hashed == h->handed)
            break;
        const HandedBlock block = h->ring[h->hashed % kBlockCount];
        bool ok = h->ok;
        LeaveCriticalSection(&h->lock);
        ok = ok && AddToHash(&h->whole, block.data, block.size);
        if (ok && block.fetched && !HashChunks(h, block))
            ok = h->chunksOk = false;
        EnterCriticalSection(&h->lock);
        h->ok = ok;
        ++h->hashed;
        WakeAllConditionVariable(&h->hashedMore);
    }
    LeaveCriticalSection(&h->lock);
    return 0;
}

bool StartHasher(Hasher* h, Sync* sync) {
    h->sync = sync;
    if (!BeginSha256(&h->whole) || !BeginSha256(&h->chunk))
        return false;
    h->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HashThreadProc, h, 0, nullptr));
    return h->thread != nullptr;
}

// Waits until the hasher is done with all but `pending` of the blocks handed over; false when
// a block failed.
bool WaitForHasher(Hasher* h, uint64_t pending) {
    EnterCriticalSection(&h->lock);
    while (h->hashed + pending < h->handed)
        SleepConditionVariableCS(&h->hashedMore, &h->lock, INFINITE);
    const bool ok = h->ok;
    LeaveCriticalSection(&h->lock);
    return ok;
}

// Waits until the hasher holds no block, so that every block is free.
bool WaitIdle(Hasher* h) {
    return WaitForHasher(h, 0);
}

// The block the assembly fills next, once the hasher is done with it.
unsigned char* NextBlock(Hasher* h) {
    WaitForHasher(h, kBlockCount - 1);
    return h->sync->blocks.get() + (h->handed % kBlockCount) * kBlockSize;
}

// Hands the block NextBlock gave over to the hasher, size bytes of the published file at
// offset. False when a block before failed (the log says why).
bool HandOver(Hasher* h, DWORD size, int64_t offset, bool fetched) {
    EnterCriticalSection(&h->lock);
    const unsigned char* data = h->sync->blocks.get() + (h->handed % kBlockCount) * kBlockSize;
    h->ring[h->handed % kBlockCount] = {data, size, offset, fetched};
    ++h->handed;
    const bool ok = h->ok;
    LeaveCriticalSection(&h->lock);
    WakeAllConditionVariable(&h->handedMore);
    return ok;
}

// Waits for the last block and ends the thread; false when any block failed.
bool StopHasher(Hasher* h) {
    if (h->thread == nullptr)
        return false;
    const bool ok = WaitIdle(h);
    StopWorker(&h->lock, &h->stop, &h->handedMore, &h->thread);
    return ok;
}

Hasher::~Hasher() {
    StopHasher(this);
    DeleteCriticalSection(&lock);
}

// Hands over length bytes of file at offset, writing them at target when there is one: a
// chunk kept in place, or copied from the old file.
bool CopyBytes(Sync* sync, Hasher* hasher, HANDLE file, int64_t offset, int64_t length,
               HANDLE target, int64_t targetOffset) {
    for (int64_t done = 0; done < length;) {
        unsigned char* block = NextBlock(hasher);
        const DWORD want =
            static_cast<DWORD>(length - done < kBlockSize ? length - done : kBlockSize);
        DWORD got = 0;
        if (!ReadAt(file, offset + done, block, want, &got) || got != want) {
            LogProblem("%.300s: cannot read %lu bytes at %lld (error %lu)", sync->path, want,
                       static_cast<long long>(offset + done), GetLastError());
            return false;
        }
        if (target != nullptr && !WritePart(sync, target, targetOffset + done, block, got)) {
            LogProblem("%.300s: cannot write the part file (error %lu)", sync->path,
                       GetLastError());
            return false;
        }
        if (!HandOver(hasher, got, targetOffset + done, false))
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
        ShowProgress(sync);
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
    // Of a whole file, the bytes before the step are in the part file already; they pass
    // through the blocks unhashed, so the hasher must hold neither.
    if (*rest && !WaitIdle(hasher))
        return false;
    for (int64_t skip = *rest ? step.offset : 0; skip > 0;) {
        const DWORD size = static_cast<DWORD>(skip < kBlockSize ? skip : kBlockSize);
        DWORD filled = 0;
        if (!ReadFull(sync, &stream, NextBlock(hasher), size, &filled))
            return false;
        skip -= size;
    }
    const int64_t end = *rest ? sync->index.fileSize : step.offset + step.length;
    for (int64_t position = step.offset; position < end;) {
        unsigned char* block = NextBlock(hasher);
        const DWORD size =
            static_cast<DWORD>(end - position < kBlockSize ? end - position : kBlockSize);
        // What arrived before a cut is stored too: the next run finds its chunks in place.
        DWORD filled = 0;
        const bool whole = ReadFull(sync, &stream, block, size, &filled);
        if (filled > 0 && !WritePart(sync, part, position, block, filled)) {
            LogProblem("%.300s: cannot write the part file (error %lu)", sync->path,
                       GetLastError());
            return false;
        }
        if (!whole || !HandOver(hasher, size, position, true))
            return false;
        position += size;
    }
    return true;
}

// Copies the first length bytes of the old file into the part file, unhashed: the hasher
// has had them already, while the assembly found nothing to change.
bool CopyUnchanged(Sync* sync, Hasher* hasher, HANDLE old, int64_t length, HANDLE part) {
    if (!WaitIdle(hasher))
        return false;
    unsigned char* block = NextBlock(hasher);
    for (int64_t done = 0; done < length;) {
        const DWORD want =
            static_cast<DWORD>(length - done < kBlockSize ? length - done : kBlockSize);
        DWORD got = 0;
        if (!ReadAt(old, done, block, want, &got) || got != want ||
            !WritePart(sync, part, done, block, got)) {
            LogProblem("%.300s: cannot copy into the part file (error %lu)", sync->path,
                       GetLastError());
            return false;
        }
        done += got;
    }
    return true;
}

// Assembles the new file in order while the scan of the old file goes on. As long as every
// step copies the old file's bytes to their own places nothing is written: *unchanged then
// tells that the old file may be the published one.
bool Assemble(Sync* sync, Hasher* hasher, Scan* scan, HANDLE old, HANDLE part, bool* unchanged) {
    *unchanged = true;
    int64_t shift = 0;
    const uint32_t count = static_cast<uint32_t>(sync->index.chunks.size());
    for (uint32_t first = 0; first < count;) {
        const SyncStep step = WaitForStep(sync, scan, first, shift);
        const bool inPlace = step.kind == SyncStepKind::Copy && step.sourceOffset == step.offset;
        if (*unchanged && !inPlace) {
            if (!CopyUnchanged(sync, hasher, old, step.offset, part))
                return false;
            *unchanged = false;
        }
        bool ok = false;
        bool rest = false;
        if (step.kind == SyncStepKind::Keep) {
            ok = CopyBytes(sync, hasher, part, step.offset, step.length, nullptr, step.offset);
        } else if (step.kind == SyncStepKind::Copy) {
            ok = CopyBytes(sync, hasher, old, step.sourceOffset, step.length,
                           *unchanged ? nullptr : part, step.offset);
            shift = step.sourceOffset - step.offset;
        } else {
            sync->toFetch += step.length;
            ok = FetchStep(sync, hasher, step, part, &rest);
        }
        if (!ok)
            return false;
        if (rest)
            return true;
        first += step.chunkCount;
    }
    return true;
}

// Ends the part file at the file's size, flushes and closes it; false (logged) when it cannot.
bool EndPart(Sync* sync, FileHandle* part) {
    EndFlusher(sync->flusher);
    LARGE_INTEGER size;
    size.QuadPart = sync->index.fileSize;
    const bool ended = SetFilePointerEx(part->handle, size, nullptr, FILE_BEGIN) &&
                       SetEndOfFile(part->handle) && FlushFileBuffers(part->handle);
    part->Close();
    if (!ended)
        LogProblem("%.300s: cannot end the part file (error %lu)", sync->path, GetLastError());
    return ended;
}

// Waits for the last block; true when every fetched chunk and the whole file match the index.
// A chunk that differs was logged by the hasher; hasher->chunksOk then is false.
bool WholeFileMatches(Sync* sync, Hasher* hasher) {
    unsigned char digest[kSha256Bytes];
    if (!StopHasher(hasher))
        return false;
    if (FinishSha256(&hasher->whole, digest) &&
        memcmp(digest, sync->index.fileSha256, kSha256Bytes) == 0) {
        return true;
    }
    LogProblem("%.300s: the assembled file's SHA-256 is not the index's", sync->path);
    return false;
}

}  // namespace

SyncResult SyncChunkedFile(const ManifestEntry& entry, const ChunkIndexLine& line,
                           const char* address, const char* localPath) {
    Sync sync = {entry.path, address, {}, {}, {}, nullptr, nullptr, 0, 0, -1, -1};
    sync.index.fileSize = entry.size;
    sync.blocks.reset(new unsigned char[kBlockCount * kBlockSize]);
    char partPath[kPathSize];
    const int partLength = snprintf(partPath, sizeof(partPath), "%s%s", localPath, kPartFileSuffix);
    if (partLength < 0 || partLength > kLocalPathLimit) {
        LogProblem("%.300s: the part file's name would be too long", entry.path);
        return SyncResult::Failed;
    }
    if (HashProvider() == 0) {
        LogProblem("%.300s: no SHA-256 service", entry.path);
        return SyncResult::Failed;
    }
    std::string indexBytes;
    if (!FetchIndex(&sync, line, &indexBytes))
        return SyncResult::Failed;
    if (!ReadChunkIndex(reinterpret_cast<const unsigned char*>(indexBytes.data()),
                        indexBytes.size(), &sync.index) ||
        sync.index.fileSize != entry.size) {
        LogProblem("%.300s: its chunk index cannot be read, or is for another size", entry.path);
        return SyncResult::Failed;
    }
    sync.byFingerprint = SortChunksByFingerprint(sync.index);
    sync.sources.resize(sync.index.chunks.size());
    // The part file of a cut-off run first, whole: its chunks in place need no write at all.
    {
        FileHandle earlier(CreateFileA(partPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        Scan scan(&sync, earlier.handle, ChunkSourceKind::InPlace);
        if (earlier.IsOpen())
            ScanFile(&scan);
    }
    // Declared in this order, the scan ends before its file closes, the hasher before the
    // part file; and both threads before the sync they read goes.
    FileHandle old(CreateFileA(localPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    Scan scan(&sync, old.handle, ChunkSourceKind::OldFile);
    // Shared for writing with the flusher's handle alone, which the single-instance guard keeps
    // the only other one.
    FileHandle part(CreateFileA(partPath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    Flusher flusher;
    sync.flusher = &flusher;
    Hasher hasher;
    if (part.IsOpen())
        StartFlusher(&flusher, partPath);
    if (!part.IsOpen() || !StartHasher(&hasher, &sync)) {
        LogProblem("%.300s: cannot open the part file or start hashing (error %lu)", entry.path,
                   GetLastError());
        return SyncResult::Failed;
    }
    if (old.IsOpen()) {
        StartScan(&scan);
    } else {
        ReportScan(&scan, 0, true);
    }
    ShowProgress(&sync);
    bool unchanged = false;
    if (!Assemble(&sync, &hasher, &scan, old.handle, part.handle, &unchanged))
        return SyncResult::Failed;
    const PathFacts facts = QueryPathFacts(localPath);
    if (unchanged && facts.size == sync.index.fileSize) {
        EndFlusher(&flusher);
        part.Close();
        DeleteFileA(partPath);
        return WholeFileMatches(&sync, &hasher) ? SyncResult::Kept : SyncResult::Failed;
    }
    if ((unchanged &&
         !CopyUnchanged(&sync, &hasher, old.handle, sync.index.fileSize, part.handle)) ||
        !EndPart(&sync, &part)) {
        return SyncResult::Failed;
    }
    if (!WholeFileMatches(&sync, &hasher)) {
        // Every chunk matched, the whole did not: the part file's bytes are not the published
        // ones, and are not kept for the next run.
        if (hasher.chunksOk)
            DeleteFileA(partPath);
        return SyncResult::Failed;
    }
    // One step: until here the old file stood untouched under its name.
    StopScan(&scan);
    old.Close();
    if (!MoveFileExA(partPath, localPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LogProblem("%.300s: cannot replace the old file (error %lu)", entry.path, GetLastError());
        return SyncResult::Failed;
    }
    return SyncResult::Replaced;
}
