#include "app/cli_progress.h"

#include "app/progress_text.h"

#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_UNIX
    return stream && ::isatty(::fileno(stream));
#else
    Q_UNUSED(stream);
    return false;
#endif
}

/// Shows `text`: in place of the open line on a terminal, as a line of its own elsewhere.
void putLine(std::FILE *stream, bool terminal, const QString &text, bool &lineOpen)
{
    if (!stream)
        return;
    const QByteArray line = text.toLocal8Bit();
    if (terminal) {
        std::fprintf(stream, "\r%s\x1b[K", line.constData());
        lineOpen = true;
    } else {
        std::fprintf(stream, "%s\n", line.constData());
    }
    std::fflush(stream);
}

/// Clears the open line, so that what follows starts on a clean one.
void clearLine(std::FILE *stream, bool &lineOpen)
{
    if (lineOpen) {
        std::fputs("\r\x1b[K", stream);
        std::fflush(stream);
        lineOpen = false;
    }
}

} // namespace

CliProgress::CliProgress(std::FILE *stream) : stream_(stream), terminal_(isTerminal(stream)) {}

CliProgress::~CliProgress()
{
    finish();
}

void CliProgress::phase(Phase phase, int percent)
{
    // A new phase always shows; its percentages no more often than the pace allows.
    show(phase, progress_caption(phase, percent));
}

void CliProgress::nodesDrawn(long long count)
{
    // Called every 100 passes: check the clock before composing any text.
    if (recent(std::nullopt, std::chrono::steady_clock::now()))
        return;
    show(std::nullopt, nodes_drawn_text(count));
}

bool CliProgress::recent(Topic topic, std::chrono::steady_clock::time_point now) const
{
    const auto interval = std::chrono::milliseconds(terminal_ ? 100 : 1000);
    return shownAny_ && topic == lastTopic_ && now - lastShown_ < interval;
}

void CliProgress::show(Topic topic, const QString &text)
{
    const auto now = std::chrono::steady_clock::now();
    if (recent(topic, now))
        return;
    shownAny_ = true;
    lastTopic_ = topic;
    lastShown_ = now;
    putLine(stream_, terminal_, text, lineOpen_);
}

void CliProgress::finish()
{
    clearLine(stream_, lineOpen_);
    shownAny_ = false;
}

void CliProgress::note(const QByteArray &line)
{
    finish();
    // A note that cannot be written is no reason to stop making the maze.
    write_result(stream_, line);
}

/// One maze's progress: its phase or its walk's count, kept for the batch's line.
class BatchProgress::Job : public CliProgress {
public:
    Job(BatchProgress &batch) : CliProgress(batch.stream_), batch_(batch) {}

    void phase(Phase phase, int percent) override
    {
        {
            std::lock_guard lock(batch_.mutex_);
            caption = progress_caption(phase, percent);
            counting = false;
        }
        batch_.changed(percent == NoPercent);
    }
    void nodesDrawn(long long count) override
    {
        // Called every 100 passes: the text is only made when the line is shown.
        nodes.store(count, std::memory_order_relaxed);
        counting = true;
        batch_.changed(false);
    }
    void finish() override { batch_.finish(); }
    void note(const QByteArray &line) override { batch_.write(batch_.stream_, line); }

    /// What this maze is doing, for the line.
    QString text() const
    {
        return QStringLiteral("maze %1: %2")
            .arg(index + 1)
            .arg(counting ? nodes_drawn_text(nodes.load(std::memory_order_relaxed)) : caption);
    }

    int index = -1;
    QString caption;
    std::atomic<bool> counting{false};
    std::atomic<long long> nodes{0};

private:
    BatchProgress &batch_;
};

BatchProgress::BatchProgress(std::FILE *stream, int count, int slotCount)
    : stream_(stream), terminal_(isTerminal(stream)), count_(count)
{
    for (int i = 0; i < slotCount; ++i)
        jobs_.push_back(std::make_unique<Job>(*this));
}

BatchProgress::~BatchProgress()
{
    finish();
}

CliProgress &BatchProgress::start(int slot, int index)
{
    Job &job = *jobs_[static_cast<std::size_t>(slot)];
    {
        std::lock_guard lock(mutex_);
        job.index = index;
        job.caption.clear();
        job.counting = false;
    }
    return job;
}

void BatchProgress::done(int slot)
{
    {
        std::lock_guard lock(mutex_);
        jobs_[static_cast<std::size_t>(slot)]->index = -1;
        ++made_;
    }
    changed(true);
}

void BatchProgress::finish()
{
    std::lock_guard lock(mutex_);
    clearLocked();
}

QString write_result(std::FILE *stream, const QByteArray &result)
{
    if (!stream)
        return {};
    errno = 0;
    const std::size_t size = static_cast<std::size_t>(result.size());
    if (std::fwrite(result.constData(), 1, size, stream) == size && std::fflush(stream) == 0)
        return {};
    const int error = errno ? errno : EIO;
    std::clearerr(stream);
    return QStringLiteral("cannot write the result line to standard %1: %2")
        .arg(stream == stderr ? QStringLiteral("error") : QStringLiteral("output"),
             QString::fromLocal8Bit(std::strerror(error)));
}

QString BatchProgress::write(std::FILE *stream, const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    clearLocked();
    return write_result(stream, bytes);
}

void BatchProgress::clearLocked()
{
    clearLine(stream_, lineOpen_);
}

// Shows the line when `now`, or when the pace allows; the clock is read before the lock.
void BatchProgress::changed(bool now)
{
    const auto interval = std::chrono::milliseconds(terminal_ ? 100 : 1000);
    const std::int64_t at = std::chrono::steady_clock::now().time_since_epoch().count();
    if (!now && at - lastShown_.load(std::memory_order_relaxed) < std::chrono::nanoseconds(interval).count())
        return;
    lastShown_.store(at, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    showLocked();
}

void BatchProgress::showLocked()
{
    std::vector<const Job *> inHand;
    for (const auto &job : jobs_)
        if (job->index >= 0 && (job->counting || !job->caption.isEmpty()))
            inHand.push_back(job.get());
    std::sort(inHand.begin(), inHand.end(), [](const Job *a, const Job *b) { return a->index < b->index; });
    QStringList parts{QStringLiteral("Mazes made: %1 of %2").arg(made_).arg(count_)};
    for (const Job *job : inHand)
        parts << job->text();
    putLine(stream_, terminal_, parts.join(QStringLiteral("; ")), lineOpen_);
}
