// cutspot: finds candidate cut points in a TV recording from its event file.
#include <fcntl.h>
#include <unistd.h>

#include "app/run.h"

int main(int argc, char** argv) {
  // A closed standard stream would hand its number to the event file. Fill the hole with
  // something unwritable, so that output meant for it fails loudly instead.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDONLY) < 0) return cutspot::EXIT_FAILED;
  }
  cutspot::fd_sink out(STDOUT_FILENO);
  cutspot::fd_sink err(STDERR_FILENO);
  return cutspot::run_cutspot(argc, argv, cutspot::open_event_file, out, err);
}
