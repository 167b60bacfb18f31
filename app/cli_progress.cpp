#include "app/cli_progress.h"

#include "app/progress_text.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(stream));
#else
    Q_UNUSED(stream);
    return false;
#endif
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
    const QByteArray line = text.toLocal8Bit();
    if (terminal_) {
        std::fprintf(stream_, "\r%s\x1b[K", line.constData());
        lineOpen_ = true;
    } else {
        std::fprintf(stream_, "%s\n", line.constData());
    }
    std::fflush(stream_);
}

void CliProgress::finish()
{
    if (lineOpen_) {
        std::fputs("\r\x1b[K", stream_);
        std::fflush(stream_);
        lineOpen_ = false;
    }
    shownAny_ = false;
}
