#include "dsp/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <thread>
#include <vector>

namespace {

using ziva::fft::Buffer;
using ziva::fft::Complex;
using ziva::fft::Direction;
using ziva::fft::Placement;
using ziva::fft::Plan;

// The DFT by its definition (the angle reduced exactly first).
std::vector<Complex> dft(const Complex* x, int n, Direction d) {
  const double sign = d == Direction::forward ? -1 : 1;
  std::vector<Complex> y(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      y[static_cast<std::size_t>(k)] +=
          x[j] * std::polar(1.0, sign * 2 * std::numbers::pi * ((j * k) % n) / n);
  return y;
}

// Aligned storage and storage one double off alignment, in place and from one array into
// another, both directions; the plan for odd addresses is made on first use, also when two
// threads need it at once.
TEST(Fft, AnyAddressGivesTheTransform) {
  for (int n : {1, 6, 64, 512}) {
    for (Direction d : {Direction::forward, Direction::backward}) {
      for (Placement p : {Placement::in_place, Placement::out_of_place}) {
        for (int offset : {0, 1}) {
          SCOPED_TRACE(::testing::Message() << n << " " << static_cast<int>(d) << " "
                                            << static_cast<int>(p) << " offset " << offset);
          auto at = [offset](Buffer& b) {
            return reinterpret_cast<Complex*>(reinterpret_cast<double*>(b.data()) + offset);
          };
          Buffer source(n + 1);
          Complex* x = at(source);
          for (int j = 0; j < n; ++j) x[j] = {std::sin(0.3 * j + 1), 0.5 - 0.01 * j * j};
          const std::vector<Complex> expected = dft(x, n, d);
          const Plan& plan = Plan::get(n, d, p);
          auto run = [&](std::vector<Complex>& got) {
            Buffer block(n + 1);
            Complex* y = at(block);
            if (p == Placement::in_place) {
              std::copy(x, x + n, y);
              plan.execute(y);
            } else {
              plan.execute(x, y);
            }
            got.assign(y, y + n);
          };
          std::vector<Complex> mine, theirs;
          std::thread other(run, std::ref(theirs));
          run(mine);
          other.join();
          for (const auto& got : {mine, theirs})
            for (int k = 0; k < n; ++k)
              EXPECT_LT(std::abs(got[static_cast<std::size_t>(k)] -
                                 expected[static_cast<std::size_t>(k)]),
                        1e-9 * n)
                  << "k " << k;
        }
      }
    }
  }
}

}  // namespace
