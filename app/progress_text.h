#pragma once

#include "maze/progress.h"

#include <QString>

/// The words of a phase, as the main window's caption shows them: "Generating...",
/// "Rendering", "Rendering - 37%", "Rendering direct to disk - 5%", "Printing - 100%",
/// "Saving...". The command line's progress line says the same.
QString progress_caption(Phase phase, int percent = Progress::NoPercent);

/// "Nodes drawn: " and the count, the status line of a walk.
QString nodes_drawn_text(long long count);
