#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "fill_image.h"
#include "grid_point.h"
#include "pixel_grid.h"

namespace velmora {

class FillEngine;
struct FillTrace;

// Commands a fill job posts to its receiver (the main window, or the console).
inline constexpr int ID_FILL_FINISHED = 1025;
inline constexpr int ID_FILL_PROGRESS = 1026;

// What a job counted, for reports and tests. Written by the worker; read after ID_FILL_FINISHED.
struct FillJobStats {
    std::int64_t marked = 0;   // pixels to fill (0 when the job ended before listing them)
    std::int64_t sources = 0;  // usable source pixels (likewise)
    std::int64_t progressReports = 0;
    std::int64_t entriesFilled = 0;  // fill-order entries processed
    // With more than one thread: batches of entries, searches done again after an earlier entry
    // of their batch filled a pixel they had read, and random phases run again because the
    // generator's state at their start had moved.
    std::int64_t batches = 0;
    std::int64_t searchesRedone = 0;
    // Of those, the ones that had to wait for every earlier entry of their batch: their walks
    // reached too many of the batch's entries to tell them apart.
    std::int64_t searchesRedoneAfterAll = 0;
    // Of those, the ones searched again during the batch's random phases, on any thread, rather
    // than by the thread that commits the batch.
    std::int64_t searchesRedoneAlongside = 0;
    std::int64_t searchesDiscarded = 0;
    // A buffer could not be allocated: the job ended without its final write-back, and what the
    // progress write-backs left in the picture is not a result.
    bool outOfMemory = false;
};

// One run of the engine: everything it reads from the document, borrowed for the job's duration,
// and the two flags it shares with the user interface.
struct FillJob {
    FillImage* image = nullptr;            // the current picture; the job writes into it
    const ByteGrid* fillMask = nullptr;    // picture-sized; non-zero = pixel to fill
    const ByteGrid* sourceMask = nullptr;  // picture-sized; 255 = may not serve as a source
    FillRect selectionBounds;
    FillRect sourceRect;  // used as given; a rectangle that leaves the picture ends the job

    std::atomic<bool>* busy = nullptr;           // written by the worker only
    std::atomic<bool>* stopRequested = nullptr;  // written by the user interface only

    // Receives ID_FILL_PROGRESS and ID_FILL_FINISHED; must not block (it posts).
    std::function<void(int commandId)> post;
    // Seconds since 1970 by default; tests and the command line give a fixed seed instead.
    std::function<std::uint32_t()> seedClock;
    // Threads that fill together; 0 = as many as the process may run at once (UsableCores).
    // Every count gives the same picture.
    int threads = 0;
    // When set, a fill on several threads records how long each piece of its work took.
    FillTrace* trace = nullptr;

    FillJobStats stats;
};

// The work rectangle: the selection's bounds widened by 50 pixels on every side, moved inside the
// picture at the left and top without shrinking, then clipped at the right and bottom.
FillRect WorkRectangle(const FillRect& selectionBounds, std::int32_t pictureWidth,
                       std::int32_t pictureHeight);

// The progress step for a fill order of `length` entries: a report before every step-th entry.
std::int64_t ProgressStep(std::int64_t length);

// The job's steps up to its fill loop: reads the picture and masks into `engine`, lists the pixels,
// builds the tables and the fill order and starts the searches. False when the job has nothing
// to do or cannot read its inputs (the loop is then skipped).
bool PrepareFillJob(FillEngine& engine, FillJob& job, FillRect& workRect);

// Runs the whole job on `engine`. Every way out clears `busy` and then posts ID_FILL_FINISHED.
void RunFillJob(FillEngine& engine, FillJob& job);

// Runs the job on the process-wide engine.
void RunFillJob(FillJob& job);

// The worker thread's entry: runs the job on the process-wide engine.
int FillThreadProc(FillJob* job);

// The process-wide engine. One job at a time uses it.
FillEngine& SharedFillEngine();

// Seconds since 1970, low 32 bits: the default seed.
std::uint32_t CalendarSeconds();

}  // namespace velmora
