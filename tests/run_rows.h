// Tables of whole runs in memory: the arguments of each row, and the exit status and both
// output streams that it must give, byte for byte.
#ifndef CUTSPOT_TESTS_RUN_ROWS_H_
#define CUTSPOT_TESTS_RUN_ROWS_H_

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "in_memory_run.h"

namespace cutspot::testing {

struct run_case {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

// Each row against what `run` gives for its arguments: an in-memory run or a real process.
template <typename Run>
void expect_rows(const std::vector<run_case>& rows, const Run& run) {
  for (const run_case& row : rows) {
    const auto r = run(row.args);
    const std::string what = ::testing::PrintToString(row.args);
    EXPECT_EQ(r.status, row.status) << what;
    EXPECT_EQ(r.out, row.out) << what;
    EXPECT_EQ(r.err, row.err) << what;
  }
}

inline void expect_runs(const std::vector<run_case>& rows,
                        const std::map<std::string, std::string>& files) {
  expect_rows(rows,
              [&](const std::vector<std::string>& args) { return run_in_memory(args, files); });
}

}  // namespace cutspot::testing

#endif  // CUTSPOT_TESTS_RUN_ROWS_H_
