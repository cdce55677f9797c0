// Names of the folders and files the patch host serves, shared with the publishing tool.
#pragma once

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
// In the full-client tree: the chunk indexes of big files, below a folder whose name starts
// with "#", which no manifest entry can name (the line would be a comment).
constexpr char kChunkIndexFolder[] = "#chunks/";
constexpr char kChunkIndexSuffix[] = ".idx";
