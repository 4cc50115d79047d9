#include <windows.h>

#include "app/instance_lock.h"

namespace {

// "Local\": the namespace of this logon session, so other users' sessions
// each have their own Tovik (their audio port clash is reported by the bind).
constexpr wchar_t kMutexName[] = L"Local\\Tovik.Instance";

}  // namespace

InstanceLock::~InstanceLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InstanceLock::claim() {
  if (handle_ != -1) return true;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
  if (mutex == nullptr) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return true;
}
