/* A program of another project that uses the installed libOrvel.Startup: registers itself as a
 * login item, reads the status back and unregisters. Prints the four statuses. */
#include <orvel/startup.h>
#include <stdio.h>

int main(void) {
  const int32_t before = orvel_startup_status();
  const int32_t registered = orvel_startup_set(1);
  const int32_t after = orvel_startup_status();
  const int32_t removed = orvel_startup_set(0);
  printf("%d %d %d %d\n", before, registered, after, removed);
  return before == 0 && registered == 1 && after == 1 && removed == 0 ? 0 : 1;
}
