#pragma once

#include <glib-object.h>

#include <utility>

namespace quensary {

// Owns one reference to a GObject (or a type derived from it) and drops it when it goes away.
// Adopt() takes over a reference the caller already owns; Share() adds one of its own.
template <typename T>
class GObjectRef {
 public:
  GObjectRef() = default;
  static GObjectRef Adopt(T* object) { return GObjectRef(object); }
  static GObjectRef Share(T* object) {
    if (object)
      g_object_ref(object);
    return GObjectRef(object);
  }
  ~GObjectRef() { reset(); }

  GObjectRef(const GObjectRef& other) : object_(other.object_) {
    if (object_)
      g_object_ref(object_);
  }
  GObjectRef(GObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectRef& operator=(GObjectRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  void reset() {
    if (auto* object = std::exchange(object_, nullptr))
      g_object_unref(object);
  }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  explicit GObjectRef(T* object) : object_(object) {}
  T* object_ = nullptr;
};

}  // namespace quensary
