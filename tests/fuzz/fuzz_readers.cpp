// One fuzz target for every reader of server text, the first byte picking the reader, each held
// to properties that do not repeat its algorithm.
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/text_lines.h"
#include "news/news_parse.h"
#include "patch/chunk_index.h"
#include "patch/chunk_plan.h"
#include "patch/manifest.h"
#include "patch/self_update.h"
#include "patch/signed_release.h"

namespace {

void Require(bool property) {
    if (!property)
        __builtin_trap();
}

void FuzzManifest(char* text, size_t) {
    const int lineTotal = CountManifestLines(text);
    int n = 0;
    char local[kPathSize];
    for (char* cursor = text; char* line = NextLine(&cursor);) {
        Require(*line != '\0' && strpbrk(line, "\r\n") == nullptr);
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry))
            continue;
        const int percent = ManifestProgress(++n, lineTotal);
        Require(percent >= 5 && percent <= 95);
        if (IsRefusedPath(entry.path) ||
            !GameFolderPath("C:\\Game\\", entry.path, local, sizeof(local)))
            continue;
        // Accepted paths stay inside the folder: no root, drive, stream or parent part.
        std::string rest = local + strlen("C:\\Game\\");
        Require(strlen(local) <= 259 && rest.find_first_of("/:") == std::string::npos &&
                rest[0] != '\\');
        for (char* part = strtok(&rest[0], "\\"); part != nullptr; part = strtok(nullptr, "\\"))
            Require(strspn(part, ". ") < strlen(part) || strncmp(part, "..", 2) != 0);
    }
}

// Zero-padded to the end; no blank in front, nor at the end of a field that was not cut.
template <size_t N>
void CheckField(const char (&field)[N]) {
    const size_t length = strnlen(field, N);
    for (size_t i = length; i < N; ++i)
        Require(field[i] == '\0');
    Require(length == 0 || (field[0] != ' ' && field[0] != '\t'));
    Require(length == 0 || length == N - 1 || strchr(" \t\r\n", field[length - 1]) == nullptr);
}

void FuzzNews(char* text, size_t) {
    NewsItem items[kNewsItemsMax];  // ASan reports an entry written or counted past the last
    memset(items, 0x5A, sizeof(items));
    const int count = ParseNewsText(text, items, kNewsItemsMax);
    for (int i = 0; i < count; ++i)
        CheckField(items[i].tag), CheckField(items[i].title), CheckField(items[i].body);
}

// The C library's own reading, clamped to 32 bits, is the reference.
void FuzzBuildNumber(char* text, size_t) {
    const long long wide = strtoll(text, nullptr, 10);
    Require(ParseBuildNumber(text) == (wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : wide));
}

// From start on: the signature line of the bytes read, at most one LF after it.
void CheckSignatureLine(const std::string& all, size_t start, const unsigned char* signature) {
    std::string line = "#@signature ";
    for (size_t i = 0; i < kSignatureBytes; ++i)
        line += {"0123456789abcdef"[signature[i] >> 4], "0123456789abcdef"[signature[i] & 15]};
    Require(start <= all.size() && (start == 0 || all[start - 1] == '\n'));
    Require(all.substr(start) == line || all.substr(start) == line + "\n");
}

// The version lies in the signed part, without LF; an offer's build is what strtoll reads.
void FuzzSigned(char* text, size_t length) {
    const std::string all(text, length);
    SignedManifest m;
    if (ReadSignedManifest(text, length, &m)) {
        CheckSignatureLine(all, m.signedLength, m.signature);
        const size_t at = static_cast<size_t>(m.version - text);
        Require(m.version >= text && at + m.versionLength < m.signedLength);
        Require(all.find('\n', at) == at + m.versionLength);
    }
    // A record read as this key's is the very one the launcher writes for it.
    const std::string fingerprint = all.substr(0, kFingerprintLength);
    long long sequence = 0;
    if (ReadSequenceRecord(text, length, fingerprint.c_str(), &sequence) == SequenceRecord::Taken) {
        char record[kSequenceRecordLimit + 1];
        Require(std::string(record, WriteSequenceRecord(fingerprint.c_str(), sequence, record)) ==
                all);
    }
    LauncherOffer offer;
    if (ReadLauncherOffer(text, length, &offer)) {
        // The signed message is the offer's own lines, its build number in canonical decimal.
        const std::string message(offer.message, offer.messageLength);
        const size_t firstEnd = all.find('\n') + 1, rest = message.size() - message.find('\n') - 1;
        CheckSignatureLine(all, firstEnd + rest, offer.signature);
        Require(message == "#@build " + std::to_string(strtoll(text, nullptr, 10)) + "\n" +
                               all.substr(firstEnd, rest));
    }
}

// An accepted index is canonical and tiles the file; a "#@chunks" line is its parts rejoined.
void FuzzChunkIndex(char* text, size_t length) {
    ChunkIndex index;
    if (ReadChunkIndex(reinterpret_cast<const unsigned char*>(text), length, &index)) {
        Require(WriteChunkIndex(index) == std::string(text, length));
        Require(static_cast<int64_t>(length) <= ChunkIndexSizeLimit(index.fileSize));
        // Found last to first (equal chunks may swap places), nothing is left to fetch.
        const std::vector<uint32_t> byFingerprint = SortChunksByFingerprint(index);
        std::vector<ChunkSource> sources(index.chunks.size());
        for (size_t i = index.chunks.size(); i-- > 0;) {
            const ChunkRecord& found = index.chunks[i];
            NoteFoundChunk(index, byFingerprint, found.fingerprint, found.length, found.offset,
                           ChunkSourceKind::OldFile, &sources);
        }
        const std::vector<SyncStep> plan = PlanChunkSync(index, sources);
        Require(BytesToFetch(plan) == 0);
        int64_t covered = 0;
        for (const SyncStep& step : plan)
            covered += step.length;
        Require(covered == index.fileSize);
    }
    ChunkIndexLine line;
    if (ParseChunkIndexLine(text, &line))
        Require(std::string(kChunksTag) + line.sha256 + " " + line.path == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    void (*const readers[])(char*, size_t) = {FuzzManifest, FuzzNews, FuzzBuildNumber, FuzzSigned,
                                              FuzzChunkIndex};
    const char* const picks = "mnbsc";
    if (size == 0 || data[0] == 0 || strchr(picks, data[0]) == nullptr)
        return 0;
    std::vector<char> text(data + 1, data + size);
    text.push_back('\0');
    readers[strchr(picks, data[0]) - picks](text.data(), size - 1);
    return 0;
}
