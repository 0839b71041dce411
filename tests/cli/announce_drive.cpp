// SPDX-License-Identifier: MIT
// Makes a drive letter come or go as a drive-letter tool does, and tells
// every top-level window so, as Windows does for a stick:
//   announce_drive arrive Q: C:\folder      the letter now names the folder
//   announce_drive leave Q:
// Wine 8 delivers SendMessageTimeout's broadcast to other processes' windows;
// BroadcastSystemMessage returns success there but reaches none.
#include <windows.h>
// dbt.h needs windows.h first.
#include <dbt.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const bool arrive = argc == 4 && std::wcscmp(argv[1], L"arrive") == 0;
  const bool leave = argc == 3 && std::wcscmp(argv[1], L"leave") == 0;
  const wchar_t* letter = argv[2];
  if ((!arrive && !leave) || std::wcslen(letter) != 2 || letter[1] != L':') return 2;
  // Wine's mount manager, when it loads, makes a letter of every link in the
  // prefix's dosdevices folder and drops that letter again as it sees fit: a
  // letter already gone when the stick leaves is gone all the same.
  if (!DefineDosDeviceW(arrive ? 0 : DDD_REMOVE_DEFINITION, letter, arrive ? argv[3] : nullptr) &&
      (arrive || GetLastError() != ERROR_FILE_NOT_FOUND)) {
    std::fprintf(stderr, "DefineDosDevice failed with error %lu\n", GetLastError());
    return 1;
  }
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << (towupper(letter[0]) - L'A');
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE,
                      arrive ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                      reinterpret_cast<LPARAM>(&volume), SMTO_ABORTIFHUNG, 5000, &answer);
  return 0;
}
