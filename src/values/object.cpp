// The count of live library objects, read by the unload entry point.
#include "values/object.h"

#include <atomic>

namespace korvane {
namespace {
std::atomic<long> live_objects{0};
}  // namespace

Object::Object() { ++live_objects; }
Object::~Object() { --live_objects; }
long Object::LiveCount() { return live_objects.load(); }

}  // namespace korvane
