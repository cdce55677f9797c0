// The chunk index of a big file: writing and reading format 2, and the manifest line naming it.
#include "patch/chunk_index.h"

#include <string.h>

#include "patch/chunker.h"

namespace {

constexpr char kMagic[] = "SKHCHIDX";
constexpr size_t kMagicSize = sizeof(kMagic) - 1;
constexpr uint32_t kFormat = 2;

void PutNumber(std::string* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetNumber(const unsigned char* data, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | data[i];
    return value;
}

}  // namespace

std::string WriteChunkIndex(const ChunkIndex& index) {
    std::string out(kMagic, kMagicSize);
    for (uint32_t number : {kFormat, kChunkMinSize, kChunkAverageSize, kChunkMaxSize})
        PutNumber(&out, number, 4);
    PutNumber(&out, static_cast<uint64_t>(index.fileSize), 8);
    out.append(reinterpret_cast<const char*>(index.fileSha256), kSha256Bytes);
    PutNumber(&out, index.chunks.size(), 4);
    for (const ChunkRecord& chunk : index.chunks) {
        PutNumber(&out, chunk.length, 4);
        PutNumber(&out, chunk.fingerprint, 8);
        out.append(reinterpret_cast<const char*>(chunk.sha256), kSha256Bytes);
    }
    return out;
}

bool ReadChunkIndex(const unsigned char* data, size_t size, ChunkIndex* out) {
    if (size < kChunkIndexHeaderSize || memcmp(data, kMagic, kMagicSize) != 0)
        return false;
    // An index cut into other chunk sizes could never match what this launcher finds locally.
    if (GetNumber(data + 8, 4) != kFormat || GetNumber(data + 12, 4) != kChunkMinSize ||
        GetNumber(data + 16, 4) != kChunkAverageSize || GetNumber(data + 20, 4) != kChunkMaxSize) {
        return false;
    }
    const uint64_t fileSize = GetNumber(data + 24, 8);
    const uint64_t count = GetNumber(data + 64, 4);
    if (fileSize > static_cast<uint64_t>(INT64_MAX) ||
        (size - kChunkIndexHeaderSize) / kChunkRecordSize != count ||
        (size - kChunkIndexHeaderSize) % kChunkRecordSize != 0) {
        return false;
    }
    out->fileSize = static_cast<int64_t>(fileSize);
    memcpy(out->fileSha256, data + 32, kSha256Bytes);
    out->chunks.clear();
    out->chunks.reserve(count);
    uint64_t offset = 0;
    const unsigned char* record = data + kChunkIndexHeaderSize;
    for (uint64_t i = 0; i < count; ++i, record += kChunkRecordSize) {
        ChunkRecord chunk;
        chunk.length = static_cast<uint32_t>(GetNumber(record, 4));
        const bool last = i + 1 == count;
        if (chunk.length == 0 || chunk.length > kChunkMaxSize ||
            (!last && chunk.length < kChunkMinSize)) {
            return false;
        }
        chunk.offset = static_cast<int64_t>(offset);
        chunk.fingerprint = GetNumber(record + 4, 8);
        memcpy(chunk.sha256, record + 12, kSha256Bytes);
        out->chunks.push_back(chunk);
        // At most 2^32 chunks of 2^18 bytes: the sum cannot overflow.
        offset += chunk.length;
    }
    return offset == fileSize;
}

int64_t ChunkIndexSizeLimit(int64_t fileSize) {
    if (fileSize < 0)
        return static_cast<int64_t>(kChunkIndexHeaderSize);
    return static_cast<int64_t>(kChunkIndexHeaderSize) +
           static_cast<int64_t>(kChunkRecordSize) * (fileSize / kChunkMinSize + 1);
}

bool ParseChunkIndexLine(const char* line, ChunkIndexLine* out) {
    const size_t tagLength = sizeof(kChunksTag) - 1;
    if (strncmp(line, kChunksTag, tagLength) != 0)
        return false;
    const char* digits = line + tagLength;
    if (strspn(digits, "0123456789abcdef") != static_cast<size_t>(kSha256Length) ||
        digits[kSha256Length] != ' ' || digits[kSha256Length + 1] == '\0') {
        return false;
    }
    memcpy(out->sha256, digits, kSha256Length);
    out->sha256[kSha256Length] = '\0';
    out->path = digits + kSha256Length + 1;
    return true;
}
