#pragma once

#include "maze/progress.h"

#include <chrono>
#include <cstdio>
#include <string>

/// Progress on standard error: one line that updates in place on a terminal, plain
/// lines (a few a second at most) when the output goes to a file or a pipe.
class CliProgress : public Progress {
public:
    explicit CliProgress(std::FILE *stream);
    ~CliProgress() override;

    void caption(std::string_view text) override;
    void nodesDrawn(long long count) override;
    /// Clears the updating line so the next output starts on a clean line.
    void finish();

private:
    void show(const std::string &text, bool force);

    std::FILE *stream_;
    bool terminal_;
    bool lineOpen_ = false;
    std::string lastPhase_;
    std::chrono::steady_clock::time_point lastShown_{};
};
