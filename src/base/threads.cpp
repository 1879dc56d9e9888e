#include "base/threads.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace ziva {

std::thread start_beside(std::function<void()> work, int nth) {
#ifdef __linux__
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  const int here = sched_getcpu();
  std::vector<int> others;
  if (pthread_getaffinity_np(pthread_self(), sizeof allowed, &allowed) == 0) {
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
      if (cpu != here && CPU_ISSET(cpu, &allowed)) others.push_back(cpu);
  }
  if (!others.empty()) {
    // 0: not yet placed; 1: placed on one processor, to be let free; 2: left as it was.
    auto state = std::make_shared<std::atomic<int>>(0);
    std::thread thread([state, allowed, work = std::move(work)] {
      int s = 0;
      while ((s = state->load(std::memory_order_acquire)) == 0) std::this_thread::yield();
      if (s == 1) pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed);
      work();
    });
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(others[static_cast<std::size_t>(nth) % others.size()], &one);
    const bool placed = pthread_setaffinity_np(thread.native_handle(), sizeof one, &one) == 0;
    state->store(placed ? 1 : 2, std::memory_order_release);
    return thread;
  }
#else
  (void)nth;
#endif
  return std::thread(std::move(work));
}

}  // namespace ziva
