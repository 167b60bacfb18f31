#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>

class CliProgress;
struct CommandLine;
struct MazeState;

/// How many mazes of a batch of `count` to make at once: `requested` (0: one per core), no
/// more than the batch holds, and no more than fit in three quarters of `availableBytes`
/// (0: not known) at `mazeBytes` each; at least one.
int batch_jobs(int requested, int count, int cores, std::uint64_t mazeBytes, std::uint64_t availableBytes);

/// The memory one maze of `o` takes while it is made and written, estimated from the size of
/// its grid (`base` holds the choices applied) and its outputs.
std::uint64_t maze_bytes(const CommandLine &o, const MazeState &base);

/// Makes mazes 0..count - 1 with `make`, `jobs` at a time on threads of their own, under one
/// progress line on `progressStream` (stderr, or none), and writes what each returns to
/// `resultStream` (stdout, stderr when a maze goes to stdout, or none) in maze order, each as
/// soon as those before it are written. A maze
/// whose `make` throws, or whose result cannot be written, is reported in its place
/// ("corvanthel: " and the message, `outOfMemory` for a maze that ran out of memory, on stderr)
/// and no maze is begun after it; those already begun are finished and reported. Returns
/// whether every maze was made and reported.
bool run_batch(int count, int jobs, std::FILE *resultStream, std::FILE *progressStream,
               const std::function<QByteArray(int index, CliProgress &progress)> &make, const QString &outOfMemory);
