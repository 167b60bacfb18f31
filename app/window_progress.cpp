#include "app/window_progress.h"

#include "app/progress_text.h"

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

namespace {
// The walks report every 100 passes, far more often than a screen can show on a large
// maze; the window repaints and takes its events at most this often instead.
constexpr qint64 RepaintIntervalMs = 15;
} // namespace

WindowProgress::WindowProgress(QWidget &window, QLabel &status, std::function<bool()> stop)
    : window_(window), status_(status), stop_(std::move(stop))
{
    sinceEvents_.start();
}

void WindowProgress::phase(Phase phase, int percent)
{
    window_.setWindowTitle(progress_caption(phase, percent));
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
