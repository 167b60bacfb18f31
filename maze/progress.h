#pragma once

#include <cmath>
#include <string_view>

/// How long routines (walks, outputs) report to whoever runs them: the main window,
/// the command line or a benchmark. Every hook is cheap to leave as it is.
class Progress {
public:
    virtual ~Progress() = default;

    /// The main window's caption: "Generating...", "Rendering - 37%", ...
    virtual void caption(std::string_view) {}
    /// The walk's count of cell nodes carved so far ("Nodes drawn: " and the count).
    virtual void nodesDrawn(long long) {}
    /// Let the user interface process its pending events.
    virtual void processEvents() {}
    /// True once the user has asked the program to stop (the main window closed):
    /// the routine returns at its next report, leaving no partial file behind.
    virtual bool stopRequested() const { return false; }
};

/// The whole percentage shown after row y of `rows`: Int(y x (100 / rows)), the division in
/// double precision, so that a height whose product falls just short of 100 ends at 99.
inline int row_percent(int y, int rows)
{
    return static_cast<int>(std::floor(y * (100.0 / rows)));
}
