#include "app/window_progress.h"

#include "app/progress_text.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace {
// The walks report every 100 passes, far more often than a screen can show on a large
// maze; the window repaints and takes its events at most this often instead.
constexpr qint64 RepaintIntervalMs = 15;
} // namespace

WindowProgress::WindowProgress(QWidget &window, QLabel &status, QProgressBar *bar, std::function<bool()> stop,
                               std::function<long long()> cells)
    : window_(window), status_(status), bar_(bar), stop_(std::move(stop)), cells_(std::move(cells))
{
    sinceEvents_.start();
}

void WindowProgress::phase(Phase phase, int percent)
{
    window_.setWindowTitle(progress_caption(phase, percent));
    // From the output on, the bar follows the output's own percentage; saving has none,
    // so the bar shows only that work goes on.
    if (bar_ && phase == Phase::Saving) {
        bar_->setRange(0, 0);
    } else if (bar_ && phase != Phase::Generating) {
        bar_->setRange(0, 100);
        bar_->setValue(percent == NoPercent ? 0 : percent);
    }
    due_ = true;
}

void WindowProgress::nodesDrawn(long long count)
{
    due_ = due_ || sinceEvents_.elapsed() >= RepaintIntervalMs;
    if (due_)
        showNodesDrawn(count);
}

void WindowProgress::showNodesDrawn(long long count)
{
    status_.setText(nodes_drawn_text(count));
    status_.repaint();
    if (!bar_)
        return;
    if (total_ < 0)
        total_ = cells_ ? cells_() : 0;
    if (total_ > 0 && total_ <= std::numeric_limits<int>::max()) {
        bar_->setRange(0, int(total_));
        bar_->setValue(int(std::min(count, total_)));
    }
}

void WindowProgress::processEvents()
{
    if (!due_ && sinceEvents_.elapsed() < RepaintIntervalMs)
        return;
    QCoreApplication::processEvents();
    sinceEvents_.restart();
    due_ = false;
}

bool WindowProgress::stopRequested() const
{
    return stop_ && stop_();
}
