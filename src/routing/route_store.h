// The storage of process routes: the statements that write one route (its header, every
// operation with a process, the piece rates of each operation for the route's product, and the
// product's current route) in one transaction, and the ones that delete a route or one stored
// operation. It works from a plain snapshot of the form and asks and tells nobody: the caller
// validates first and tells the person the outcome.
//
// Contract:
//  - REQUIRES: the references of the store outlive the call; the browser is started.
//  - A save or delete that fails rolls back: nothing of it is written. A statement the database
//    refuses ends it with the database's error text; a failed begin or commit is reported
//    through the store's guard and leaves the error text empty.
//  - A product's piece rate is one row per process, product and work centre of the ordinary
//    (empty) grade: a rate stored before is updated, never duplicated.
//  - Every text reaches the statements through SqlQuote.
#ifndef KORVANE_ROUTING_ROUTE_STORE_H_
#define KORVANE_ROUTING_ROUTE_STORE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "document/numbering.h"

namespace korvane::routing {

// The header as entered; texts as the fields hold them.
struct RouteHeader {
  std::int32_t id = 0;  // 0 or below for a route not stored yet
  std::int32_t product = 0;
  std::string name;
  std::string date;
  std::string note;
  bool standard = false;
  bool invalid = false;
  bool critical = false;
};

// One operation with a process, as the grid holds it.
struct RouteOperation {
  std::int32_t operation_id = 0;  // 0 or below for an operation not stored yet
  std::string sequence;
  std::int32_t process = 0;
  std::int32_t workshop = 0;
  std::int32_t work_centre = 0;
  double setup_time = 0;
  double processing_time = 0;
  double per_hour = 0;
  std::string note;
  // The piece rate of the operation for the route's product.
  double wage = 0;
  double ratio = 0;
  double process_price = 0;
};

struct RouteSnapshot {
  RouteHeader header;
  std::vector<RouteOperation> operations;
};

struct RouteSaveResult {
  bool saved = false;
  std::int32_t id = 0;  // the stored route's id when saved, else the one it had
  std::string error;    // the database's refusal; empty when saved or reported
};

// Writes the route: a new one takes a new key, every new operation a new key. The product's
// current route becomes this one, whether it is standard or not.
RouteSaveResult SaveRoute(const document::DocumentStore& store, const RouteSnapshot& route);

// Deletes route `id` with its operations in one batch, in one transaction. False when nothing
// was deleted: `error` then holds the database's refusal, or is empty when a failed begin or
// commit has been reported through the store's guard.
bool DeleteRoute(const document::DocumentStore& store, std::int32_t id, std::string& error);

// Deletes one stored operation at once; the database's error text, empty when deleted.
std::string DeleteRouteOperation(const document::DocumentStore& store, std::int32_t operation_id);

}  // namespace korvane::routing

#endif  // KORVANE_ROUTING_ROUTE_STORE_H_
