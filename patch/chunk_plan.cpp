// Planning a chunk sync: found chunks in, copy, keep and fetch steps out.
#include "patch/chunk_plan.h"

#include <algorithm>

std::vector<uint32_t> SortChunksByFingerprint(const ChunkIndex& index) {
    std::vector<uint32_t> order(index.chunks.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const uint64_t fa = index.chunks[a].fingerprint, fb = index.chunks[b].fingerprint;
        return fa != fb ? fa < fb : a < b;
    });
    return order;
}

int NoteFoundChunk(const ChunkIndex& index, const std::vector<uint32_t>& byFingerprint,
                   uint64_t fingerprint, uint32_t length, int64_t offset, ChunkSourceKind kind,
                   std::vector<ChunkSource>* sources) {
    auto first = std::lower_bound(
        byFingerprint.begin(), byFingerprint.end(), fingerprint,
        [&](uint32_t chunk, uint64_t wanted) { return index.chunks[chunk].fingerprint < wanted; });
    int taken = 0;
    for (auto it = first; it != byFingerprint.end() && index.chunks[*it].fingerprint == fingerprint;
         ++it) {
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

SyncStep NextSyncStep(const ChunkIndex& index, const std::vector<ChunkSource>& sources,
                      uint32_t first, uint32_t decided) {
    const auto kindOf = [&](uint32_t i) {
        return sources[i].kind == ChunkSourceKind::OldFile   ? SyncStepKind::Copy
               : sources[i].kind == ChunkSourceKind::InPlace ? SyncStepKind::Keep
                                                             : SyncStepKind::Fetch;
    };
    const ChunkRecord& chunk = index.chunks[first];
    const SyncStepKind kind = kindOf(first);
    SyncStep step = {kind,
                     first,
                     1,
                     chunk.offset,
                     kind == SyncStepKind::Copy ? sources[first].offset : chunk.offset,
                     chunk.length};
    for (uint32_t i = first + 1; i < index.chunks.size() && kindOf(i) == kind; ++i) {
        if ((kind == SyncStepKind::Copy && sources[i].offset != step.sourceOffset + step.length) ||
            (kind == SyncStepKind::Fetch && i >= decided)) {
            break;
        }
        ++step.chunkCount;
        step.length += index.chunks[i].length;
    }
    return step;
}

std::vector<SyncStep> PlanChunkSync(const ChunkIndex& index,
                                    const std::vector<ChunkSource>& sources) {
    std::vector<SyncStep> plan;
    const uint32_t count = static_cast<uint32_t>(index.chunks.size());
    for (uint32_t first = 0; first < count; first += plan.back().chunkCount)
        plan.push_back(NextSyncStep(index, sources, first, count));
    return plan;
}

int64_t BytesToFetch(const std::vector<SyncStep>& plan) {
    int64_t total = 0;
    for (const SyncStep& step : plan)
        total += step.kind == SyncStepKind::Fetch ? step.length : 0;
    return total;
}
