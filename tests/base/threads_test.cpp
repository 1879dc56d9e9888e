#include "base/threads.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

namespace {

cpu_set_t affinity() {
  cpu_set_t s;
  CPU_ZERO(&s);
  EXPECT_EQ(pthread_getaffinity_np(pthread_self(), sizeof s, &s), 0);
  return s;
}

// The thread is only started elsewhere: while it works, it may run wherever its creator may, and
// with a single processor allowed it is a plain thread there. Each of the `nth` choices does the
// work once.
TEST(StartBeside, PlacesOnlyTheStartAndDoesTheWork) {
  const cpu_set_t allowed = affinity();
  for (int nth = 0; nth < 3; ++nth) {
    cpu_set_t seen;
    int runs = 0;
    ziva::start_beside([&] { seen = affinity(), ++runs; }, nth).join();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(CPU_EQUAL(&seen, &allowed)) << "nth " << nth;
  }
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
  cpu_set_t seen;
  int cpu = -1;
  ziva::start_beside([&] { seen = affinity(), cpu = sched_getcpu(); }).join();
  ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed), 0);
  EXPECT_TRUE(CPU_EQUAL(&seen, &one));
  EXPECT_TRUE(CPU_ISSET(cpu, &one));
}

}  // namespace
