// HostLookups: the reference host's lookups. Lookup fields and grid cells of the modules name a
// picker type ("pdmbm", "pdmcpml", ...) and may carry a query with "@" for the typed text; this
// class resolves typed texts and opens the pickers. The types "pdmcpml", "cpml", "pdmcpml_sr",
// "pdmgy" (and "hp_gy") lead to the library's pickers, created through the module factory;
// departments, processes, work centres, product and process categories, document natures and
// plan types are the host's own list pickers (SimplePicker).
//
// Contract:
//  - Resolve with a query puts the typed text, its quotes doubled, in place of every "@" and
//    takes the definition's value and text fields (the type's own fields when empty) from the
//    first row. Without a query a library type asks its picker's Validate, a host type
//    compares the text with its code and name columns. A failing statement or an unknown type
//    resolves to nothing.
//  - Pick shows the picker as a dialog form (Dialogs::FormShown) and returns at once; `done`
//    is called when the person chooses or cancels, after the form was closed
//    (Dialogs::FormClosed). A library picker is cleared and destroyed at the next call into
//    this object, never inside its own event.
//  - Library pickers are given a non-owning HostContext: the owner of this object (the
//    reference host) calls CloseAll before it goes away.
//  - Parameters of the definition reach a picker through its parameter set, and restrict the
//    host's lists: "pdmbmzzlx" (organisation types, numbers separated by commas) and
//    "pdmbmsfmx" = 1 (detail departments only) for departments, "产品ID" (the processes of the
//    product's routes, all processes for a product without a route) for processes, "ProgID"
//    for document natures; "多选" = 1 allows several choices.
#ifndef KORVANE_HOSTAPP_LOOKUPS_H_
#define KORVANE_HOSTAPP_LOOKUPS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/lookup_field.h"
#include "host/host_context.h"
#include "hostapp/module_factory.h"

namespace korvane::hostapp {

class HostLookups final : public controls::LookupResolver {
 public:
  // REQUIRES: `host` outlives this object or calls CloseAll before it goes away.
  HostLookups(HostContext& host, ModuleFactory factory);
  ~HostLookups() override;
  HostLookups(const HostLookups&) = delete;
  HostLookups& operator=(const HostLookups&) = delete;

  std::optional<controls::LookupMatch> Resolve(const controls::LookupDefinition& definition,
                                               std::string_view typed) override;
  bool Pick(const controls::LookupDefinition& definition, controls::PickDone done) override;

  // Cancels every picker still open (their `done` gets nullopt) and destroys them all.
  void CloseAll();
  // Pickers open now.
  int open_pickers() const;

  // Whether `type` names one of the host's own list pickers or a library picker.
  static bool IsKnownType(std::string_view type);

 private:
  struct Session;
  struct LibrarySession;
  struct ListSession;

  std::shared_ptr<Object> CreateLibraryPicker(std::string_view class_name);
  // The program id a library picker is registered under in xt_objects; 0 when none.
  std::int32_t ProgramId(std::string_view class_name);
  std::shared_ptr<ParameterSet> MakeParameters(
      const std::vector<std::pair<std::string, Variant>>& entries);
  void Finish(Session* session, std::optional<controls::LookupMatch> match);
  void DestroyClosed();

  HostContext& host_;
  ModuleFactory factory_;
  std::vector<std::unique_ptr<Session>> open_;
  // Closed pickers wait here until no event of theirs can still be running.
  std::vector<std::unique_ptr<Session>> closed_;
  // Depth of `done` calls running: pickers are not destroyed under them.
  int finishing_ = 0;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_LOOKUPS_H_
