// A short plain-text log of what went wrong in this run, and the status line it ended with,
// beside the state file, so that a player can send support more than a screenshot.
#pragma once

// Rewrites the log of the game folder, empty. False when it cannot be created: then the game
// folder cannot be written at all.
bool OpenRunLog();

// Appends one line (printf format, no line break) to the log opened by OpenRunLog; dropped
// before that, and once the log holds kRunLogLimit bytes. Any thread may call it.
void LogProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

constexpr long kRunLogLimit = 64 << 10;
// The last line of a finished run: this prefix, then the status line the player was shown.
constexpr char kRunLogFinalStatus[] = "final status: ";
