#include "platform/posix/handles.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace native_layer {
namespace {

// The table lives as long as the process: a handle left open at exit (as the
// program leaves its file and search handles) must not outlive it in static
// teardown.
std::mutex& table_mutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}

std::map<uintptr_t, std::shared_ptr<KernelObject>>& table() {
  static auto* objects = new std::map<uintptr_t, std::shared_ptr<KernelObject>>;
  return *objects;
}

// Windows hands out multiples of 4; starting high keeps them clear of small
// integers a caller might pass by mistake.
uintptr_t g_next_handle = 0x1000;

}  // namespace

HANDLE register_object(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> hold(table_mutex());
  uintptr_t value = g_next_handle;
  g_next_handle += 4;
  table()[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> find_any_object(HANDLE handle) {
  std::lock_guard<std::mutex> hold(table_mutex());
  auto it = table().find(reinterpret_cast<uintptr_t>(handle));
  return it == table().end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> unregister_any_object(HANDLE handle,
                                                    bool (*accept)(KernelObject*)) {
  std::lock_guard<std::mutex> hold(table_mutex());
  auto it = table().find(reinterpret_cast<uintptr_t>(handle));
  if (it == table().end() || !accept(it->second.get())) return nullptr;
  std::shared_ptr<KernelObject> object = std::move(it->second);
  table().erase(it);
  return object;
}

}  // namespace native_layer
