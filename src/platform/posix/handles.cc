#include "platform/posix/handles.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

namespace native_layer {
namespace {

// The table lives as long as the process: a handle left open at exit (as the
// program leaves its file and search handles) must not outlive it in static
// teardown. It comes in parts, each with its own lock, so that threads that
// open, read and close files at once seldom wait for each other: consecutive
// handles fall in different parts.
constexpr size_t kParts = 16;

// A cache line each, so that threads working in different parts do not share one.
struct alignas(64) TablePart {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<KernelObject>> objects;
};

TablePart& part_of(uintptr_t value) {
  static auto* parts = new TablePart[kParts];
  return parts[(value >> 2) % kParts];
}

// Windows hands out multiples of 4; starting high keeps them clear of small
// integers a caller might pass by mistake.
std::atomic<uintptr_t> g_next_handle{0x1000};

}  // namespace

HANDLE register_object(std::shared_ptr<KernelObject> object) {
  const uintptr_t value = g_next_handle.fetch_add(4);
  TablePart& part = part_of(value);
  std::lock_guard<std::mutex> hold(part.mutex);
  part.objects[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> find_any_object(HANDLE handle) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  TablePart& part = part_of(value);
  std::lock_guard<std::mutex> hold(part.mutex);
  auto it = part.objects.find(value);
  return it == part.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> unregister_any_object(HANDLE handle,
                                                    bool (*accept)(KernelObject*)) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  TablePart& part = part_of(value);
  std::lock_guard<std::mutex> hold(part.mutex);
  auto it = part.objects.find(value);
  if (it == part.objects.end() || !accept(it->second.get())) return nullptr;
  std::shared_ptr<KernelObject> object = std::move(it->second);
  part.objects.erase(it);
  return object;
}

}  // namespace native_layer
