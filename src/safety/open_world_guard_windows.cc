// Windows: the game keeps its world's files open for writing, so opening
// each for reading without sharing write access fails with a sharing or
// lock violation.  The Restart Manager names the programs that hold them;
// it is loaded at run time so that the exe imports no DLL it did not have.

// clang-format off
#include <windows.h>
#include <restartmanager.h>  // needs windows.h first
// clang-format on

#include "safety/open_world_guard.h"

namespace quorvales {

namespace {

// Paths arrive in the ANSI code page, as the command line gives them.
std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                      &wide[0], n);
  return wide;
}

std::string Utf8(const wchar_t* text) {
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], n, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(n - 1));
  return narrow;
}

std::vector<std::wstring> WorldFiles(const std::wstring& world) {
  std::vector<std::wstring> files;
  const std::wstring db = world + L"\\db\\";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((db + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        files.push_back(db + found.cFileName);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  files.push_back(world + L"\\level.dat");
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
        holders.push_back({Utf8(info[i].strAppName),
                           static_cast<long>(info[i].Process.dwProcessId)});
      }
    }
    end(session);
  }
  FreeLibrary(library);
  return holders;
}

}  // namespace

std::vector<WorldHolder> FindWorldHolders(const std::string& world_folder) {
  std::vector<std::wstring> held;
  for (const std::wstring& file : WorldFiles(Wide(world_folder))) {
    if (HeldForWriting(file)) held.push_back(file);
  }
  if (held.empty()) return {};
  std::vector<WorldHolder> holders = NameHolders(held);
  if (holders.empty()) holders.push_back({"", 0});
  return holders;
}

}  // namespace quorvales
