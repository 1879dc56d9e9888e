// Threads that share a computation with the thread starting them.
#pragma once

#include <functional>
#include <thread>

namespace ziva {

// Starts `work` on a new thread that begins on a processor other than the calling thread's (the
// `nth` other one the process may use, counted round), when the system lets a thread be placed.
// Some schedulers queue a new thread behind its busy creator for milliseconds while another
// processor idles. The placement holds only for the start: the thread then runs wherever the
// process may run. Where no other processor is allowed it is a plain thread.
std::thread start_beside(std::function<void()> work, int nth = 0);

}  // namespace ziva
