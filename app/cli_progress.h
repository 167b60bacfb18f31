#pragma once

#include "maze/progress.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <optional>

/// Progress on standard error: one line that updates in place on a terminal, plain
/// lines (a few a second at most) when the output goes to a file or a pipe.
class CliProgress : public Progress {
public:
    explicit CliProgress(std::FILE *stream);
    ~CliProgress() override;

    void phase(Phase phase, int percent = NoPercent) override;
    void nodesDrawn(long long count) override;
    /// Clears the updating line so the next output starts on a clean line.
    void finish();

private:
    /// What is shown: a phase, or the walk's count (no phase).
    using Topic = std::optional<Phase>;
    void show(Topic topic, const QString &text);
    bool recent(Topic topic, std::chrono::steady_clock::time_point now) const;

    std::FILE *stream_;
    bool terminal_;
    bool lineOpen_ = false;
    bool shownAny_ = false;
    Topic lastTopic_;
    std::chrono::steady_clock::time_point lastShown_{};
};
