// What the link's benchmarks share: the pager's content, the two commands
// as whole sessions, and the processor time of the benchmarking thread.
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <cstdint>

#include "image/image.h"
#include "link/pager_session.h"

namespace q5::bench {

// Bytes unlike any default, without the model bit (such a pager is refused).
inline image::Image pattern() {
  image::Image img{};
  for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(i * 13 + 7);
  img[image::off::function_flags] &= static_cast<std::uint8_t>(~image::bit::function::model);
  return img;
}

enum class Command { read, write };

// A write sends back what it read, the pager's own bytes, all 128 words of
// them (by default a write would skip every one, the pager holding them).
inline link::SessionResult run(link::PagerSession& session, Command command) {
  return command == Command::read
             ? session.read()
             : session.write([](const image::Image& p) { return p; }, link::WriteOptions{.all_words = true});
}

inline double thread_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace q5::bench
