#pragma once

#include "maze/progress.h"

#include <QElapsedTimer>

#include <functional>

class QLabel;
class QWidget;

/// Progress shown in a window: the phase in its caption, the count of nodes drawn in a
/// status line, and the event processing that keeps the window alive meanwhile.
class WindowProgress : public Progress {
public:
    /// `stop` says whether the user has asked the work to stop.
    WindowProgress(QWidget &window, QLabel &status, std::function<bool()> stop);

    void phase(Phase phase, int percent = NoPercent) override;
    void nodesDrawn(long long count) override;
    void processEvents() override;
    bool stopRequested() const override;

    /// Shows the final count whatever the pacing left out.
    void showNodesDrawn(long long count);

private:
    QWidget &window_;
    QLabel &status_;
    std::function<bool()> stop_;
    QElapsedTimer sinceEvents_;
    bool due_ = true;
};
