// Where each stage of a patch run puts the progress bar, in percent.
#pragma once

constexpr int kVersionCheckPercent = 3;
constexpr int kSelfUpdatePercent = 4;
// The manifest stage runs the bar from 5 up to 95 as it walks the lines.
constexpr int kManifestStartPercent = 5;
constexpr int kManifestSpanPercent = 90;
constexpr int kRuntimeInstallPercent = 98;
constexpr int kFinishedPercent = 100;
