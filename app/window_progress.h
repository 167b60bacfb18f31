#pragma once

#include "maze/progress.h"

#include <QElapsedTimer>

class Form1;

/// Progress shown in the main window: the caption, "Nodes drawn: " in the status label,
/// and the event processing that keeps the window alive during a generation.
class WindowProgress : public Progress {
public:
    explicit WindowProgress(Form1 &form);

    void caption(std::string_view text) override;
    void nodesDrawn(long long count) override;
    void processEvents() override;
    bool stopRequested() const override;

    /// Shows the final count whatever the pacing left out.
    void showNodesDrawn(long long count);

private:
    Form1 &form_;
    QElapsedTimer sinceEvents_;
    bool due_ = true;
};
