// Reading the bytes KWin's screenshot service writes into the pipe the helper passed it: all of
// them up to the end of the pipe, within a bound and a deadline, so that a service that stalls or
// writes without end cannot hold or exhaust the helper. Called on any thread; blocks it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "orvel/common/failure.h"

namespace orvel::kde {

// Grows the pipe of `fd` towards 1 MiB, so that a picture of megabytes crosses it in a few
// writes rather than in 64 KiB ones, each waiting for the reader to be scheduled; its size in
// bytes after (negative when it cannot be read).
int widenPipe(int fd);

// Reads `fd` (a pipe's read end) until its writer closes it. Fails when more than `limit` bytes
// arrive, when `deadline` passes first, or on a read error; the messages say which. `limit` bytes
// are set aside at once.
Expected<std::vector<std::uint8_t>, Failure> readPixelPipe(
    int fd, std::size_t limit, std::chrono::steady_clock::time_point deadline);

// The same into `into`: the number of bytes read. Fails as above when more than `into` holds
// arrive.
Expected<std::size_t, Failure> readPixelPipeInto(int fd, std::span<std::uint8_t> into,
                                                 std::chrono::steady_clock::time_point deadline);

}  // namespace orvel::kde
