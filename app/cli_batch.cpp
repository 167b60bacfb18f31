#include "app/cli_batch.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "maze/state.h"
#include "render/output_context.h"
#include "render/tiles.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

int batch_jobs(int requested, int count, int cores, std::uint64_t mazeBytes, std::uint64_t availableBytes)
{
    std::uint64_t jobs = static_cast<std::uint64_t>(std::max(1, requested > 0 ? requested : cores));
    jobs = std::min<std::uint64_t>(jobs, static_cast<std::uint64_t>(std::max(1, count)));
    if (availableBytes > 0 && mazeBytes > 0)
        jobs = std::min(jobs, std::max<std::uint64_t>(1, availableBytes / 4 * 3 / mazeBytes));
    return static_cast<int>(jobs);
}

std::uint64_t maze_bytes(const CommandLine &o, const MazeState &base)
{
    const auto gw = static_cast<std::uint64_t>(std::max<std::int64_t>(base.GridWidth, 0));
    const auto gh = static_cast<std::uint64_t>(std::max<std::int64_t>(base.GridHeight, 0));
    const std::uint64_t nodes = (gw + 1) * (gh + 1);
    const std::uint64_t grid = (gw / 2 + 2) * (gh / 2 + 2) * 2;
    std::uint64_t bytes = grid;
    if (base.Harder)
        bytes += grid / 4;  // the hunt's records: 32 bytes for 64 cells
    if (o.json || o.maze.answerKey || o.bestOf > 1)
        bytes += grid / 4;  // the solver's queue and path, with room to spare
    if (!o.textFile.isEmpty())
        bytes += std::min<std::uint64_t>(nodes, std::uint64_t{2} << 20);  // a block of rows at a time
    if (!o.bitmapFile.isEmpty()) {
        const tiles::TileSet &set = tiles::tile_set(base.MazeStyle);
        // A drawing is the same whatever its scale.
        const auto scale = static_cast<std::uint64_t>(o.bitmapFormat == FileFormat::Svg ? 1 : std::max(o.scale, 1));
        // The monochrome file is written a band of tile rows at a time, both enlarged.
        const std::uint64_t rowBytes = (set.width * (gw + 2) * scale + 31) / 32 * 4;
        bytes += 2 * std::max<std::uint64_t>(std::uint64_t{4} << 20, rowBytes * set.height * scale);
        // A colour picture is drawn whole and then enlarged, when the enlarged one is within the
        // budget; otherwise it is written as a monochrome file.
        const std::uint64_t pixels = std::uint64_t(set.width) * (gw + 2) * set.height * (gh + 2);
        const std::uint64_t enlarged = pixels * scale * scale;
        if (!o.monochrome && enlarged <= static_cast<std::uint64_t>(DefaultPixelBudget))
            bytes += 4 * (pixels + (scale > 1 ? enlarged : 0));
    }
    if (!o.pdfFile.isEmpty())
        bytes += 48 * nodes;  // the page's drawing, held until the page ends
    return bytes;
}

bool run_batch(int count, int jobs, std::FILE *resultStream, std::FILE *progressStream,
               const std::function<QByteArray(int index, CliProgress &progress)> &make, const QString &outOfMemory)
{
    struct Result {
        bool done = false;
        bool failed = false;
        QByteArray out;
        std::string error;
    };
    std::vector<Result> results(static_cast<std::size_t>(count));
    std::mutex mutex;
    std::condition_variable changed;
    int next = 0;       // the first maze not yet begun
    bool stop = false;  // a maze failed: begin no more
    BatchProgress progress(progressStream, count, jobs);

    const auto work = [&](int slot) {
        for (;;) {
            int index;
            {
                std::lock_guard lock(mutex);
                if (stop || next >= count)
                    break;
                index = next++;
            }
            Result r;
            try {
                r.out = make(index, progress.start(slot, index));
            } catch (const std::bad_alloc &) {
                r.failed = true;
                r.error = outOfMemory.toStdString();
            } catch (const std::exception &e) {
                r.failed = true;
                r.error = e.what();
            }
            progress.done(slot);
            std::lock_guard lock(mutex);
            r.done = true;
            stop = stop || r.failed;
            results[static_cast<std::size_t>(index)] = std::move(r);
            changed.notify_all();
        }
        std::lock_guard lock(mutex);
        changed.notify_all();
    };
    std::vector<std::thread> threads;
    for (int slot = 0; slot < jobs; ++slot) {
        try {
            threads.emplace_back(work, slot);
        } catch (const std::system_error &) {
            // No thread to spare: the ones running do the work.
            if (threads.empty())
                throw;
            break;
        }
    }

    bool ok = true;
    bool streamBroken = false;  // the results' stream failed: no more are tried on it
    for (int index = 0; index < count; ++index) {
        std::unique_lock lock(mutex);
        Result &r = results[static_cast<std::size_t>(index)];
        // After a failure, a maze never begun never comes.
        changed.wait(lock, [&] { return r.done || (stop && index >= next); });
        if (!r.done)
            break;
        const Result result = std::move(r);
        lock.unlock();
        QString failure;
        if (result.failed) {
            failure = QString::fromStdString(result.error);
        } else if (!streamBroken) {
            failure = progress.write(resultStream, result.out);
            streamBroken = !failure.isEmpty();
        }
        if (!failure.isEmpty()) {
            progress.write(stderr, "corvanthel: " + failure.toLocal8Bit() + '\n');
            ok = false;
            std::lock_guard again(mutex);
            stop = true;
        }
    }
    for (auto &t : threads)
        t.join();
    return ok;
}
