// Windows: the game keeps its world's files open for writing, so opening
// each for reading without sharing write access fails with a sharing or
// lock violation.  The Restart Manager names the programs that hold them;
// it is loaded at run time so that the exe imports no DLL it did not have.

// clang-format off
#include <windows.h>
#include <restartmanager.h>  // needs windows.h first
// clang-format on

#include "leveldb/windows_path.h"
#include "safety/open_world_guard.h"

namespace quorvales {

namespace {

// The world's files as the wide file calls take them, each converted whole
// so that a long path gets its prefix.
std::vector<std::wstring> WorldFiles(const std::string& world) {
  std::vector<std::wstring> files;
  const std::string db = world + "\\db\\";
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileW(leveldb::WindowsPath(db + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        files.push_back(
            leveldb::WindowsPath(db + leveldb::Utf8FromWide(found.cFileName)));
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  files.push_back(leveldb::WindowsPath(world + "\\level.dat"));
  return files;
}

bool HeldForWriting(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR[]);
using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR[], UINT,
                                         RM_UNIQUE_PROCESS[], UINT, LPCWSTR[]);
using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO[], LPDWORD);
using EndSession = DWORD(WINAPI*)(DWORD);

// The programs that the Restart Manager says hold the files; empty when it
// is missing or says nothing.
std::vector<WorldHolder> NameHolders(const std::vector<std::wstring>& files) {
  std::vector<WorldHolder> holders;
  HMODULE library = LoadLibraryW(L"rstrtmgr.dll");
  if (library == nullptr) return holders;
  auto start = reinterpret_cast<StartSession>(
      reinterpret_cast<void*>(GetProcAddress(library, "RmStartSession")));
  auto add = reinterpret_cast<RegisterResources>(
      reinterpret_cast<void*>(GetProcAddress(library, "RmRegisterResources")));
  auto list = reinterpret_cast<GetList>(
      reinterpret_cast<void*>(GetProcAddress(library, "RmGetList")));
  auto end = reinterpret_cast<EndSession>(
      reinterpret_cast<void*>(GetProcAddress(library, "RmEndSession")));
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start != nullptr && add != nullptr && list != nullptr && end != nullptr &&
      start(&session, 0, key) == ERROR_SUCCESS) {
    std::vector<LPCWSTR> names;
    for (const std::wstring& file : files) names.push_back(file.c_str());
    if (add(session, static_cast<UINT>(names.size()), names.data(), 0, nullptr,
            0, nullptr) == ERROR_SUCCESS) {
      std::vector<RM_PROCESS_INFO> info(16);
      UINT needed = 0, count = static_cast<UINT>(info.size());
      DWORD reasons = 0;
      DWORD rc = list(session, &needed, &count, info.data(), &reasons);
      if (rc == ERROR_MORE_DATA) {
        info.resize(needed);
        count = needed;
        rc = list(session, &needed, &count, info.data(), &reasons);
      }
      const DWORD self = GetCurrentProcessId();
      for (UINT i = 0; rc == ERROR_SUCCESS && i < count; ++i) {
        if (info[i].Process.dwProcessId == self) continue;
        holders.push_back({leveldb::Utf8FromWide(info[i].strAppName),
                           static_cast<long>(info[i].Process.dwProcessId)});
      }
    }
    end(session);
  }
  FreeLibrary(library);
  return holders;
}

}  // namespace

// Every process's handles are checked through the files themselves, so
// nothing stays unseen.
std::vector<WorldHolder> FindWorldHolders(const std::string& world_folder,
                                          std::vector<WorldHolder>*) {
  std::vector<std::wstring> held;
  for (const std::wstring& file : WorldFiles(world_folder)) {
    if (HeldForWriting(file)) held.push_back(file);
  }
  if (held.empty()) return {};
  std::vector<WorldHolder> holders = NameHolders(held);
  if (holders.empty()) holders.push_back({"", 0});
  return holders;
}

}  // namespace quorvales
