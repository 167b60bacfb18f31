#pragma once

#include "render/mono_bitmap.h"

#include <string>

/// Writes the finished grid as a 1-bit greyscale PNG in tile set `style` (0..10) to `path`,
/// each pixel as `scale` x `scale` pixels: the rows the monochrome bitmap holds, top row first,
/// compressed as they are composed, so memory use depends on the width only.
/// Written through AtomicFile; false when progress.stopRequested() ended the writing (nothing
/// is left behind); throws std::runtime_error naming the file and the cause on failure.
bool write_mono_png(const NodeGrid &grid, int style, const std::string &path, Progress &progress,
                    const MonoOverlay &overlay = {}, int scale = 1);

/// The same into an open `file`, which the caller commits (or drops when false).
bool write_mono_png(const NodeGrid &grid, int style, AtomicFile &file, Progress &progress,
                    const MonoOverlay &overlay = {}, int scale = 1);
