#pragma once

#include <vector>

#include "grid_point.h"

namespace velmora {

// How long each piece of a parallel fill took, for the benchmark that projects its speed to more
// processors: per batch, the neighbour searches of each item (a few entries each), each entry's
// random phase (on whichever thread ran them), the pieces of each search done again at a commit,
// and the time the calling thread spent alone (planning the draws, committing, bringing the walks
// of searches done again up to date) and the progress write-backs.
// Entries a thread claims at once: their neighbour searches, then their random phases.
inline constexpr std::int64_t kNeighbourRun = 4;

struct FillTrace {
    struct Batch {
        // The neighbour searches of each run of kNeighbourRun entries, and each entry's random
        // phase (all its random phases, when they ran again), which its run's thread does right
        // after the run's neighbour searches once every earlier run's have ended.
        std::vector<float> neighbourMicros;
        std::vector<float> randomMicros;
        // Items of the random round (ascending) that did their work only once every item up to
        // `after` had ended: searches done again alongside the random phases.
        struct Wait {
            std::int32_t item = 0;
            std::int32_t after = 0;
        };
        std::vector<Wait> randomWaits;
        float aloneMicros = 0;
        // The progress write-back done while the batch was searched (it starts with the batch;
        // the commits wait for it), 0 when there was none.
        float writeBackMicros = 0;
        // The calling thread's filing of the batch's pixels, done while the other threads start
        // on the neighbour searches.
        float filingMicros = 0;
        // The rounds handed out besides the two: the walks searched again once more offsets
        // were generated, each search done again at its commit (the stretches of its random
        // phase) and the commits themselves, shared out.
        std::vector<std::vector<float>> extraRoundMicros;
    };
    std::vector<Batch> batches;
    // When above 0, batches are made as large as for this many threads whatever the job's count,
    // so that a fill for many processors can be replayed on few.
    int batchThreads = 0;
    // When set, every search done again waits for its commit, as it does when a batch's progress
    // report is late: for tests, which cannot make it late at will.
    bool searchAgainAtCommits = false;
};

class FillEngine;
struct FillJob;

// The fill loop on `threads` threads (at least 2, the calling one included), giving exactly the
// picture, the progress write-backs and the stop behaviour of the one-thread loop.
//
// The loop goes through the fill order in batches that never cross a progress step. The threads
// claim the batch's entries in runs and search their neighbours against the grids as the batch
// found them; that tells which entries end on a perfect score and draw nothing, so once every
// earlier run's neighbours are searched the generator's state at the start of each random phase
// (1000 draws each) is known, and the thread goes on with its run's random phases. An entry whose
// walk examined a pixel that an earlier entry of the batch fills is searched again: by the thread
// that claimed it, once those earlier entries have their final searches (their pixels read from
// those searches, since other threads may still be searching against the grids) and the batch's
// progress write-back, if it has one, is reported; otherwise when it is committed, its random
// phase shared out in stretches over the threads. The entries are
// then committed in fill order; when an entry's random phase started from a state that turned out
// wrong (an earlier random phase reached a perfect score), the random phases from that entry on run
// again from the true states. Only entries whose searches are final ever reach the grids, and a
// stop keeps every entry up to the last one committed.
void RunParallelFillLoop(FillEngine& engine, FillJob& job, const FillRect& workRect, int threads);

}  // namespace velmora
