#pragma once

#include "maze/progress.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

/// Writes a maze's result line (or JSON object) to `stream` (none: nowhere) and flushes it.
/// Empty when it went out whole; otherwise the message that says why not.
QString write_result(std::FILE *stream, const QByteArray &result);

/// Progress on standard error: one line that updates in place on a terminal, plain
/// lines (a few a second at most) when the output goes to a file or a pipe; nothing
/// without a stream.
class CliProgress : public Progress {
public:
    explicit CliProgress(std::FILE *stream);
    ~CliProgress() override;

    void phase(Phase phase, int percent = NoPercent) override;
    void nodesDrawn(long long count) override;
    /// Clears the updating line so the next output starts on a clean line.
    virtual void finish();
    /// Writes `line` (a whole line, such as a warning) on a line of its own.
    virtual void note(const QByteArray &line);

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

/// The progress of a batch whose mazes are made several at a time, on one line: how many are
/// made, then what each maze in hand is doing, as in "Mazes made: 3 of 10; maze 4: Nodes
/// drawn: 5000; maze 5: Rendering direct to disk - 40%". Paced like CliProgress.
class BatchProgress {
public:
    BatchProgress(std::FILE *stream, int count, int slotCount);
    ~BatchProgress();
    BatchProgress(const BatchProgress &) = delete;
    BatchProgress &operator=(const BatchProgress &) = delete;

    /// The progress for maze `index` (0-based), made on `slot` (0..slotCount - 1).
    CliProgress &start(int slot, int index);
    /// The maze on `slot` is made.
    void done(int slot);
    /// Clears the line so the next output starts on a clean line.
    void finish();
    /// Writes `bytes` to `stream` (stdout, or stderr for a message; none: nowhere) on a clean
    /// line, with no progress shown in between. Empty when they went out whole, else why not
    /// (write_result).
    QString write(std::FILE *stream, const QByteArray &bytes);

private:
    class Job;
    void changed(bool now);
    void showLocked();
    void clearLocked();

    std::FILE *stream_;
    bool terminal_;
    int count_;
    int made_ = 0;
    std::vector<std::unique_ptr<Job>> jobs_;
    std::mutex mutex_;
    bool lineOpen_ = false;
    std::atomic<std::int64_t> lastShown_{0};  // steady clock, nanoseconds
};
