// Planning a chunk sync: found chunks in, copy, keep and fetch steps out.
#include "patch/chunk_plan.h"

#include <string.h>

#include <algorithm>

namespace {

int CompareDigest(const unsigned char* a, const unsigned char* b) {
    return memcmp(a, b, kSha256Bytes);
}

}  // namespace

std::vector<uint32_t> SortChunksByDigest(const ChunkIndex& index) {
    std::vector<uint32_t> order(index.chunks.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int byDigest = CompareDigest(index.chunks[a].sha256, index.chunks[b].sha256);
        return byDigest != 0 ? byDigest < 0 : a < b;
    });
    return order;
}

int NoteFoundChunk(const ChunkIndex& index, const std::vector<uint32_t>& byDigest,
                   const unsigned char* sha256, uint32_t length, int64_t offset,
                   ChunkSourceKind kind, std::vector<ChunkSource>* sources) {
    auto first = std::lower_bound(byDigest.begin(), byDigest.end(), sha256,
                                  [&](uint32_t chunk, const unsigned char* digest) {
                                      return CompareDigest(index.chunks[chunk].sha256, digest) < 0;
                                  });
    int taken = 0;
    for (auto it = first;
         it != byDigest.end() && CompareDigest(index.chunks[*it].sha256, sha256) == 0; ++it) {
        const ChunkRecord& chunk = index.chunks[*it];
        ChunkSource& source = (*sources)[*it];
        if (chunk.length != length || source.kind != ChunkSourceKind::None)
            continue;
        if (kind == ChunkSourceKind::InPlace && chunk.offset != offset)
            continue;
        source.kind = kind;
        source.offset = offset;
        ++taken;
    }
    return taken;
}

std::vector<SyncStep> PlanChunkSync(const ChunkIndex& index,
                                    const std::vector<ChunkSource>& sources) {
    std::vector<SyncStep> plan;
    for (size_t i = 0; i < index.chunks.size(); ++i) {
        const ChunkRecord& chunk = index.chunks[i];
        const ChunkSource& source = sources[i];
        const SyncStepKind kind = source.kind == ChunkSourceKind::OldFile   ? SyncStepKind::Copy
                                  : source.kind == ChunkSourceKind::InPlace ? SyncStepKind::Keep
                                                                            : SyncStepKind::Fetch;
        if (!plan.empty()) {
            SyncStep& last = plan.back();
            const bool adjacentSource =
                kind != SyncStepKind::Copy || last.sourceOffset + last.length == source.offset;
            if (last.kind == kind && adjacentSource) {
                ++last.chunkCount;
                last.length += chunk.length;
                continue;
            }
        }
        plan.push_back({kind, static_cast<uint32_t>(i), 1, chunk.offset,
                        kind == SyncStepKind::Copy ? source.offset : chunk.offset, chunk.length});
    }
    return plan;
}

bool OldFileIsCurrent(const ChunkIndex& index, const std::vector<SyncStep>& plan, int64_t oldSize) {
    if (oldSize != index.fileSize)
        return false;
    if (plan.empty())
        return true;
    return plan.size() == 1 && plan[0].kind == SyncStepKind::Copy && plan[0].sourceOffset == 0;
}

int64_t BytesToFetch(const std::vector<SyncStep>& plan) {
    int64_t total = 0;
    for (const SyncStep& step : plan)
        total += step.kind == SyncStepKind::Fetch ? step.length : 0;
    return total;
}
