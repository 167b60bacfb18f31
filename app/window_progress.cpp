#include "app/window_progress.h"

#include "app/form1.h"

#include <QCoreApplication>
#include <QLabel>

namespace {
// The walks report every 100 passes, far more often than a screen can show on a large
// maze; the window repaints and takes its events at most this often instead.
constexpr qint64 RepaintIntervalMs = 15;
} // namespace

WindowProgress::WindowProgress(Form1 &form) : form_(form)
{
    sinceEvents_.start();
}

void WindowProgress::caption(std::string_view text)
{
    form_.setWindowTitle(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
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
    form_.Label14->setText(QCoreApplication::translate("Form1", "Nodes drawn: %1").arg(count));
    form_.Label14->repaint();
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
    return form_.closeRequested();
}
