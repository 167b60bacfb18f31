#pragma once

#include <cmath>
#include <cstdint>

/// What a long routine is doing. The core reports it as data; each front end words it
/// (the window's caption, a line on the command line's standard error).
enum class Phase : std::uint8_t {
    Generating,       ///< carving the maze
    Printing,         ///< laying out and printing a page
    Rendering,        ///< drawing the picture of the maze
    RenderingToDisk,  ///< streaming the monochrome file, with no picture held
    Saving,           ///< writing the drawn picture to its file
};

/// How long routines (walks, outputs) report to whoever runs them: the main window,
/// the command line or a benchmark. Every hook is cheap to leave as it is.
class Progress {
public:
    /// Marks a percentage as not known yet: the phase has only begun.
    static constexpr int NoPercent = -1;

    virtual ~Progress() = default;

    /// The routine entered `phase`, or reached `percent` (0..100) of it.
    virtual void phase(Phase, int /*percent*/ = NoPercent) {}
    /// The walk's count of cell nodes carved so far.
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
