// The native layer's table of kernel objects. A handle is an opaque number that
// names one object until it is closed; numbers are never reused, so a handle
// closed twice, or made up, is reliably unknown (ERROR_INVALID_HANDLE).
#ifndef VINTRELL_PLATFORM_POSIX_HANDLES_H_
#define VINTRELL_PLATFORM_POSIX_HANDLES_H_

#include <memory>

#include "platform/win32.h"

namespace native_layer {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Search handles answer false: only FindClose ends them.
  virtual bool closed_by_close_handle() const { return true; }
};

// A new handle for `object`; never null and never INVALID_HANDLE_VALUE.
HANDLE register_object(std::shared_ptr<KernelObject> object);

// The object a handle names, when it is of type T; else null.
template <typename T>
std::shared_ptr<T> find_object(HANDLE handle);

// Forgets the handle and hands back its object (null when the handle is unknown
// or names an object of another type).
template <typename T>
std::shared_ptr<T> unregister_object(HANDLE handle);

// Untyped forms behind the templates.
std::shared_ptr<KernelObject> find_any_object(HANDLE handle);
std::shared_ptr<KernelObject> unregister_any_object(HANDLE handle, bool (*accept)(KernelObject*));

template <typename T>
std::shared_ptr<T> find_object(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(find_any_object(handle));
}

template <typename T>
std::shared_ptr<T> unregister_object(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(unregister_any_object(
      handle, [](KernelObject* object) { return dynamic_cast<T*>(object) != nullptr; }));
}

}  // namespace native_layer

#endif  // VINTRELL_PLATFORM_POSIX_HANDLES_H_
