// Names of the folders and files the patch host serves, shared with the publishing tool.
#pragma once

#include <stddef.h>

#define SKH_FULL_TREE "skh-full"
#define SKH_SHARE_TREE "skh-share"

constexpr char kFullTreeName[] = SKH_FULL_TREE;
constexpr char kShareTreeName[] = SKH_SHARE_TREE;

// In the full-client tree.
constexpr char kVersionFileName[] = "version.txt";
constexpr char kManifestFileName[] = "manifest.txt";
// In the share.
constexpr char kBuildNumberFileName[] = "patcher_version.txt";
constexpr char kNewsFileName[] = "news.txt";
// The share offers the launcher under its own name, kLauncherFileName.

// The most each control file may hold: far above what a real host serves, far below what
// would trouble a player's memory.
constexpr size_t kVersionTextLimit = 4 << 10;
constexpr size_t kBuildNumberTextLimit = 4 << 10;
constexpr size_t kNewsTextLimit = 1 << 20;
constexpr size_t kManifestTextLimit = 64 << 20;
// In the full-client tree: the chunk indexes of big files, below a folder whose name starts
// with "#", which no manifest entry can name (the line would be a comment).
constexpr char kChunkIndexFolder[] = "#chunks/";
constexpr char kChunkIndexSuffix[] = ".idx";
