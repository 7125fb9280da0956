// cutspot: finds candidate cut points in a TV recording from its event file.
#include <unistd.h>

#include "app/run.h"
#include "common/standard_streams.h"

int main(int argc, char** argv) {
  if (!cutspot::fill_closed_standard_streams()) return cutspot::EXIT_FAILED;
  cutspot::fd_sink out(STDOUT_FILENO);
  cutspot::fd_sink err(STDERR_FILENO);
  return cutspot::run_cutspot(argc, argv, cutspot::open_event_file, out, err);
}
