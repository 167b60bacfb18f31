#include "app/cli_progress.h"

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

std::string phaseOf(const std::string &text)
{
    return text.substr(0, text.find_first_of("0123456789"));
}

} // namespace

CliProgress::CliProgress(std::FILE *stream) : stream_(stream), terminal_(isTerminal(stream)) {}

CliProgress::~CliProgress()
{
    finish();
}

void CliProgress::caption(std::string_view text)
{
    show(std::string(text), false);
}

void CliProgress::nodesDrawn(long long count)
{
    // Called every 100 passes: check the clock before composing any text.
    const auto now = std::chrono::steady_clock::now();
    if (lastPhase_ == "Nodes drawn: " && now - lastShown_ < std::chrono::milliseconds(terminal_ ? 100 : 1000))
        return;
    show("Nodes drawn: " + std::to_string(count), false);
}

void CliProgress::show(const std::string &text, bool force)
{
    const auto now = std::chrono::steady_clock::now();
    const std::string phase = phaseOf(text);
    const auto interval = std::chrono::milliseconds(terminal_ ? 100 : 1000);
    if (!force && phase == lastPhase_ && now - lastShown_ < interval)
        return;
    lastPhase_ = phase;
    lastShown_ = now;
    if (terminal_) {
        std::fprintf(stream_, "\r%s\x1b[K", text.c_str());
        lineOpen_ = true;
    } else {
        std::fprintf(stream_, "%s\n", text.c_str());
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
    lastPhase_.clear();
}
