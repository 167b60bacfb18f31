#pragma once

#include "maze/progress.h"

#include <QElapsedTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QWidget;

/// Progress shown in a window: the phase in its caption, the count of nodes drawn in a
/// status line, the share of the work done in a bar beside it, and the event processing
/// that keeps the window alive meanwhile.
class WindowProgress : public Progress {
public:
    /// `stop` says whether the user has asked the work to stop; `cells` counts the cells
    /// the walk may carve, asked once the frame is built (the bar's total while carving).
    WindowProgress(QWidget &window, QLabel &status, QProgressBar *bar, std::function<bool()> stop,
                   std::function<long long()> cells = {});

    void phase(Phase phase, int percent = NoPercent) override;
    void nodesDrawn(long long count) override;
    void processEvents() override;
    bool stopRequested() const override;

    /// Shows the final count whatever the pacing left out.
    void showNodesDrawn(long long count);

private:
    QWidget &window_;
    QLabel &status_;
    QProgressBar *bar_;
    std::function<bool()> stop_;
    std::function<long long()> cells_;
    long long total_ = -1;  // not counted yet
    QElapsedTimer sinceEvents_;
    bool due_ = true;
};
