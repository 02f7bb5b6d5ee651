// The host interfaces a module implements, with their members in the host's slot order, and
// the event sinks a host registers with a module to hear back from it.
//
// Nothing throws through these interfaces: every member guards itself and reports failures
// through its result and the module's events.
#ifndef KORVANE_HOST_INTERFACES_H_
#define KORVANE_HOST_INTERFACES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control.h"
#include "controls/form.h"
#include "host/host_context.h"
#include "host/log.h"
#include "values/object.h"
#include "host/parameter_set.h"
#include "values/variant.h"

namespace korvane {

// Condition arrays of Find and Filter: one column per condition; row 0 non-empty when the
// condition counts, row 1 the field expression with its operator, row 2 the value.
using ConditionArray = VariantArray;

// --- Event sinks -------------------------------------------------------------------------

class DocumentEvents {
 public:
  virtual ~DocumentEvents() = default;
  virtual void Message(const std::string& text) = 0;
  virtual void ErrMessage(const std::string& text, LogLevel level, const std::string& title) = 0;
  virtual void FormRefreshed() = 0;
};

// The master plan's document events add Property.
class PlanEvents : public DocumentEvents {
 public:
  virtual void Property(const std::string& name, const Variant& value, bool auto_update) = 0;
};

class ReportEvents {
 public:
  virtual ~ReportEvents() = default;
  virtual void Message(const std::string& text) = 0;
  virtual void ErrMessage(const std::string& text, LogLevel level, const std::string& title) = 0;
  // A report row stands for document `id` of program `program_id`.
  virtual void Detaile(std::int32_t program_id, std::int32_t id) = 0;
  virtual void VsMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) = 0;
};

class PickerEvents {
 public:
  virtual ~PickerEvents() = default;
  virtual void DoSelect() = 0;
  virtual void DoCancel() = 0;
};

// A module keeps the sinks a host registered and calls each in registration order. The host
// unregisters a sink before destroying it.
template <typename Sink>
class EventSource {
 public:
  void Advise(Sink* sink) {
    if (sink != nullptr) sinks_.push_back(sink);
  }
  void Unadvise(Sink* sink) { std::erase(sinks_, sink); }

 protected:
  template <typename F>
  void Raise(F&& call) const {
    const auto snapshot = sinks_;
    for (Sink* sink : snapshot) call(*sink);
  }

 private:
  std::vector<Sink*> sinks_;
};

// --- Interfaces --------------------------------------------------------------------------

class IFormUI {
 public:
  virtual ~IFormUI() = default;
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                    std::int32_t document_id) = 0;
  virtual bool Clear() = 0;
  virtual bool FileNew() = 0;
  virtual bool FileNewNext() = 0;
  virtual bool FileEdit() = 0;
  virtual bool FileDelete() = 0;
  virtual bool FileSave() = 0;
  virtual bool FileCancel() = 0;
  virtual bool Find(const ConditionArray& conditions) = 0;
  virtual bool FindNext() = 0;
  virtual bool Filter(const ConditionArray& conditions) = 0;
  virtual bool Refresh() = 0;
  virtual bool RecordTop() = 0;
  virtual bool RecordPrevious() = 0;
  virtual bool RecordNext() = 0;
  virtual bool RecordBottom() = 0;
  virtual bool Check() = 0;
  virtual bool UnCheck() = 0;
  virtual bool PrintPreview() = 0;
  virtual bool DoPrint() = 0;
  virtual bool PrintSetup() = 0;
  virtual bool Help() = 0;
  virtual bool DoSetStatus(std::string_view status, bool approved) = 0;
  virtual std::int32_t GetID() = 0;
  virtual bool CheckStatus(std::string_view status) = 0;
  virtual std::string ReturnPrintName() = 0;
  virtual bool IsDirty() = 0;
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  virtual void Attributes() = 0;
};

class IReportUI {
 public:
  virtual ~IReportUI() = default;
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid) = 0;
  virtual bool Clear() = 0;
  virtual bool Find(const ConditionArray& conditions) = 0;
  virtual bool FindNext() = 0;
  virtual bool Filter(const ConditionArray& conditions) = 0;
  virtual bool Refresh() = 0;
  virtual bool RecordTop() = 0;
  virtual bool RecordPrevious() = 0;
  virtual bool RecordNext() = 0;
  virtual bool RecordBottom() = 0;
  virtual bool PrintPreview() = 0;
  virtual bool DoPrint() = 0;
  virtual bool PrintSetup() = 0;
  virtual bool Help() = 0;
  virtual std::string ReturnPrintName() = 0;
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  virtual void Attributes() = 0;
  // The report's table; no report of this library hands one out, so null.
  virtual std::shared_ptr<Recordset> oTable() = 0;
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
};

class IPickerUI {
 public:
  virtual ~IPickerUI() = default;
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                    std::string_view parameter_text) = 0;
  virtual bool Clear() = 0;
  virtual bool Refresh() = 0;
  virtual bool GetIsDirty() = 0;
  virtual void SetIsDirty(bool dirty) = 0;
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  virtual void Attributes(std::string_view text) = 0;
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
  virtual Variant GetValue() = 0;
  virtual void SetValue(Variant value) = 0;
  virtual std::string GetText() = 0;
  virtual void SetText(std::string text) = 0;
  // The record object of the last choice (a product or employee record); a host reads its
  // properties through PropertyBag.
  virtual std::shared_ptr<Object> Objects() = 0;
  // Resolves a typed text without showing the list; the out texts are empty when nothing
  // matched.
  virtual bool Validate(std::string_view table, std::string_view value_column,
                        std::string_view text_column, std::string_view typed,
                        std::string& out_value, std::string& out_text) = 0;
};

// A record a module hands to a host (the record of a picker's Objects): the host reads every
// property by its name without knowing the record's class. Names come in the record's own
// order; Get of a name the record lacks is the empty value.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  virtual std::vector<std::string_view> PropertyNames() const = 0;
  virtual Variant Get(std::string_view name) const = 0;
};

class IToolUI {
 public:
  virtual ~IToolUI() = default;
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
  virtual bool Init(std::shared_ptr<HostContext> context, const Variant& argument1,
                    const Variant& argument2) = 0;
  virtual bool Clear() = 0;
  virtual std::string Author() = 0;
  virtual std::string Version() = 0;
  virtual std::string FriendlyName() = 0;
  virtual std::string Description() = 0;
  virtual bool Action(const Variant& argument) = 0;
  virtual std::string Error() = 0;
};

// The form a visual module fills, for a host that renders or drives it (a window, a script).
// Every visual module has one, pickers included; IDesignUI::Controls lists the same controls for
// the designer. The form belongs to the module and lives as long as the module object.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual controls::Form& View() = 0;
};

// A control a person drags with the mouse (the splitter bar between two controls). A host hands
// it the press, the moves and the release of the left button, in twips from the control's top
// left corner; each returns false, doing nothing, when the control cannot act.
class PointerTarget {
 public:
  virtual ~PointerTarget() = default;
  virtual bool MouseDown(int button, int shift, double x, double y) = 0;
  virtual bool MouseMove(int button, int shift, double x, double y) = 0;
  virtual bool MouseUp(int button, int shift, double x, double y) = 0;
};

class IDesignUI {
 public:
  virtual ~IDesignUI() = default;
  // The module's child controls.
  virtual const std::vector<std::unique_ptr<controls::Control>>& Controls() = 0;
  // Returns nothing.
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  // An entry "backcolor" sets the module's background colour.
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
};

}  // namespace korvane

#endif  // KORVANE_HOST_INTERFACES_H_
