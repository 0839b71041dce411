// SPDX-License-Identifier: MIT
/* The least a program can do to start a command when a volume is mounted:
   wait for the kernel's word on /proc/self/mountinfo, read the table, and
   start the command when the watched mount point appears, noting in
   ANNOUNCED when the word came. event_bench.sh sets Kestrun beside it, and
   uses its other modes to mount, to stamp the time a command starts and to
   make a storm of mounts.
     event_reference watch MOUNT_POINT ANNOUNCED PROGRAM [ARG...]
     event_reference stamp FILE              appends the time now, in ns
     event_reference mount DEVICE DIR        mounts ext4
     event_reference umount DIR
     event_reference storm DIR N             N tmpfs mount/unmount pairs */
#define _GNU_SOURCE
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

/* Whether the table lists a mount at `mount_point` (field 5, unescaped
   paths only, as the benchmark uses). */
static int is_mounted(int table, const char *mount_point) {
  static char text[1 << 20];
  ssize_t got = pread(table, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  text[got] = '\0';
  for (char *line = strtok(text, "\n"); line; line = strtok(NULL, "\n")) {
    char point[4096];
    if (sscanf(line, "%*s %*s %*s %*s %4095s", point) == 1 && strcmp(point, mount_point) == 0) {
      return 1;
    }
  }
  return 0;
}

static int stamp(const char *file, long long ns) {
  FILE *out = fopen(file, "a");
  if (!out) return 1;
  fprintf(out, "%lld\n", ns);
  return fclose(out) != 0;
}

static int watch(const char *mount_point, const char *announced, char **command) {
  int table = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (table < 0) return 1;
  signal(SIGCHLD, SIG_IGN); /* no zombies */
  int present = is_mounted(table, mount_point);
  for (;;) {
    struct pollfd flag = {table, POLLPRI, 0};
    if (poll(&flag, 1, -1) < 0) return 1;
    const long long woke = now_ns();
    const int now = is_mounted(table, mount_point);
    pid_t child;
    if (now && !present) {
      posix_spawn(&child, command[0], NULL, NULL, command, environ);
      stamp(announced, woke);
    }
    present = now;
  }
}

int main(int argc, char **argv) {
  if (argc >= 5 && strcmp(argv[1], "watch") == 0) return watch(argv[2], argv[3], argv + 4);
  if (argc == 3 && strcmp(argv[1], "stamp") == 0) return stamp(argv[2], now_ns());
  if (argc == 4 && strcmp(argv[1], "mount") == 0) {
    if (mount(argv[2], argv[3], "ext4", 0, NULL) != 0) return perror("mount"), 1;
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "umount") == 0) {
    for (int i = 0; i < 100 && umount(argv[2]) != 0; ++i) usleep(20000); /* busy while listed */
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "storm") == 0) {
    for (int i = atoi(argv[3]); i > 0; --i) {
      if (mount("none", argv[2], "tmpfs", 0, NULL) != 0 || umount(argv[2]) != 0) {
        return perror("storm"), 1;
      }
    }
    return 0;
  }
  fprintf(stderr, "usage: see the comment at the top of event_reference.c\n");
  return 2;
}
