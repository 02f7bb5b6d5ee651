// Object: the root of every class the library creates for a host. A host asks an object for
// one of its interfaces with QueryInterface; the library counts its live objects so that a host
// knows when it may unload it.
#ifndef KORVANE_VALUES_OBJECT_H_
#define KORVANE_VALUES_OBJECT_H_

#include <memory>

namespace korvane {

class Object {
 public:
  Object();
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Objects of the library alive in this process.
  static long LiveCount();
};

// The interface `I` of an object, or nullptr when it does not implement it.
template <typename I>
I* QueryInterface(Object* object) {
  return dynamic_cast<I*>(object);
}

template <typename I>
std::shared_ptr<I> QueryInterface(const std::shared_ptr<Object>& object) {
  return std::dynamic_pointer_cast<I>(object);
}

}  // namespace korvane

#endif  // KORVANE_VALUES_OBJECT_H_
