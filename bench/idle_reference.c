// SPDX-License-Identifier: MIT
/* The least a drive watcher can do once a second: read the mount table and
   ask each mounted block device's filesystem for its label. idle_cost.sh
   compares Kestrun's idle CPU with this. */
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

static void list_drives(void) {
  FILE *table = fopen("/proc/self/mountinfo", "re");
  if (!table) return;
  char line[4096];
  while (fgets(line, sizeof line, table)) {
    char mount_point[1024], source[1024];
    /* id parent dev root mount-point ... - type source options */
    const char *tail = strstr(line, " - ");
    if (!tail || sscanf(line, "%*s %*s %*s %*s %1023s", mount_point) != 1 ||
        sscanf(tail, " - %*s %1023s", source) != 1 || strncmp(source, "/dev/", 5) != 0) {
      continue;
    }
    const int folder = open(mount_point, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) continue;
    char label[FSLABEL_MAX];
    ioctl(folder, FS_IOC_GETFSLABEL, label);
    close(folder);
  }
  fclose(table);
}

int main(void) {
  const struct timespec second = {1, 0};
  for (;;) {
    list_drives();
    nanosleep(&second, NULL);
  }
}
