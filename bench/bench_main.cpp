// SPDX-License-Identifier: GPL-3.0-or-later
// korvane_bench's main: Google Benchmark's, with the goals of the run printed at its end.
#include "bench/bench_goals.h"
#include "bench/bench_session.h"

int main(int argc, char** argv) {
    korvane::bench::configure_sqlite();
    return korvane::bench::run_benchmarks(argc, argv);
}
