// The engine on small random pictures, masks and rectangles, source rectangles outside the
// picture and rectangles at the ends of the integer range included: every job ends, posts its
// finish once and last, and changes no pixel outside the marked ones.
#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "engine/bgr_image.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    fuzzing::FuzzInput input(data, size);
    const std::int32_t width = input.Between(1, 40);
    const std::int32_t height = input.Between(1, 40);
    ByteGrid pixels, fillMask, sourceMask;
    pixels.SetSize(width, height, 3);
    fillMask.SetSize(width, height, 1);
    sourceMask.SetSize(width, height, 1);
    for (std::uint8_t& b : pixels) b = input.Take<std::uint8_t>();
    for (std::size_t i = 0; i < fillMask.size(); ++i) {
        const std::uint8_t bits = input.Take<std::uint8_t>();
        fillMask.data()[i] = (bits & 3) == 0 ? 255 : 0;
        sourceMask.data()[i] = (bits & 12) == 0 ? 255 : 0;
    }
    ByteGrid original;
    original.SetSize(width, height, 3);
    std::copy(pixels.begin(), pixels.end(), original.begin());
    BgrImage image(std::move(pixels));

    std::atomic<bool> busy{false}, stop{false};
    int finishes = 0, lastCommand = 0;
    FillJob job;
    job.image = &image;
    job.fillMask = &fillMask;
    job.sourceMask = &sourceMask;
    job.selectionBounds = {input.Between(-60, 60), input.Between(-60, 60), input.Between(0, 60),
                           input.Between(0, 60)};
    job.sourceRect = {input.Between(-10, 50), input.Between(-10, 50), input.Between(-5, 50),
                      input.Between(-5, 50)};
    job.busy = &busy;
    job.stopRequested = &stop;
    const std::uint32_t seed = input.Take<std::uint32_t>();
    // Rectangles anywhere in the 32-bit range, as an outline given on the command line makes.
    if ((input.Take<std::uint8_t>() & 1) != 0) {
        job.selectionBounds = {input.Take<std::int32_t>(), input.Take<std::int32_t>(),
                               input.Take<std::int32_t>(), input.Take<std::int32_t>()};
        job.sourceRect = {input.Take<std::int32_t>(), input.Take<std::int32_t>(),
                          input.Take<std::int32_t>(), input.Take<std::int32_t>()};
    }
    job.seedClock = [seed] { return seed; };
    job.post = [&](int command) {
        lastCommand = command;
        finishes += command == ID_FILL_FINISHED ? 1 : 0;
    };
    FillEngine engine;
    RunFillJob(engine, job);
    if (finishes != 1 || lastCommand != ID_FILL_FINISHED || busy.load()) std::abort();
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            if (*fillMask.At({x, y}) == 0 &&
                !std::equal(original.At({x, y}), original.At({x, y}) + 3,
                            image.pixels().At({x, y})))
                std::abort();
    return 0;
}
