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
#include "host/parameter_set.h"
#include "values/object.h"
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

// A document module (work report, master plan, structure, route). A false result always means
// the member did not do its work and the mode is unchanged; the reason has been told through a
// message box (a refusal the person can correct) or ErrMessage (an error). Every member but
// Init returns false (doing nothing) before a successful Init or after Clear.
class IFormUI {
 public:
  virtual ~IFormUI() = default;
  // Binds the module to the host's context and document type. A document id of 1 or more keeps
  // every load on that one document. False when `context` is null (nothing is kept) or the
  // document type cannot be read. Leaves the module browsing, the form locked and empty.
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                    std::int32_t document_id) = 0;
  // Empties the form and drops the context and everything obtained from it. True.
  virtual bool Clear() = 0;
  // Enters new-document mode: form unlocked, the proposed number and today's date filled,
  // GetID -1. Nothing is stored until FileSave.
  virtual bool FileNew() = 0;
  // Does nothing; false.
  virtual bool FileNewNext() = 0;
  // Unlocks the form for the shown document; false (told) when no document is shown.
  virtual bool FileEdit() = 0;
  // Deletes the shown document after the person confirms, in one transaction; false when the
  // person declines, nothing is shown, or the delete failed (the database is as before).
  virtual bool FileDelete() = 0;
  // Validates and stores the new or edited document in one transaction; true leaves it shown
  // and locked. False while browsing, on a refusal, or on a failure: the database is as before
  // and the form keeps what was entered, unlocked.
  virtual bool FileSave() = 0;
  // Returns to the document shown before new/edit began (the form emptied when it is gone);
  // false only when reading it again failed.
  virtual bool FileCancel() = 0;
  // Keeps the condition of the array and shows its first match (the form emptied when none).
  // False for an empty array or when the search failed.
  virtual bool Find(const ConditionArray& conditions) = 0;
  // The next match of the kept condition; the document on screen stays when there is none.
  // False when no Find came first or the search failed.
  virtual bool FindNext() = 0;
  // Keeps the filter of the array and shows the last document it lets through; false for an
  // empty array or when loading failed.
  virtual bool Filter(const ConditionArray& conditions) = 0;
  // Reload in mode last, first, previous, next, last: the form emptied, the document the mode
  // gives shown (none when there is none, still true), FormRefreshed raised. False when loading
  // failed.
  virtual bool Refresh() = 0;
  virtual bool RecordTop() = 0;
  virtual bool RecordPrevious() = 0;
  virtual bool RecordNext() = 0;
  virtual bool RecordBottom() = 0;
  // Hooks of approval and withdrawal, called by the host before it records the new status; true
  // lets it go on. They never write the document's own status.
  virtual bool Check() = 0;
  virtual bool UnCheck() = 0;
  // Each writes the print data file of the shown form (ReturnPrintName gives its path); false
  // when it could not be written.
  virtual bool PrintPreview() = 0;
  virtual bool DoPrint() = 0;
  virtual bool PrintSetup() = 0;
  // Does nothing; false.
  virtual bool Help() = 0;
  // Switches between walking unapproved and approved documents and loads the last one; the
  // status text is not used. The result of the load.
  virtual bool DoSetStatus(std::string_view status, bool approved) = 0;
  // The key of the document on screen: 0 for none, -1 while a new one is entered.
  virtual std::int32_t GetID() = 0;
  // Whether the shown document is approved (the stamp is visible); the text is not used.
  virtual bool CheckStatus(std::string_view status) = 0;
  // The path of the last print data file; empty before the first print.
  virtual std::string ReturnPrintName() = 0;
  // Whether the person changed the form since the last load, new, edit, cancel or save.
  virtual bool IsDirty() = 0;
  // Restore and save the user's column widths; false when there is no host or the settings
  // file could not be read or written.
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  // Does nothing.
  virtual void Attributes() = 0;
};

// A report module. As for documents, false means the member did not do its work and the reason
// was told (message box or ErrMessage); nothing works before a successful Init or after Clear.
class IReportUI {
 public:
  virtual ~IReportUI() = default;
  // Binds the report to the host's context; false when `context` is null.
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid) = 0;
  // Empties the grid and drops the context. True.
  virtual bool Clear() = 0;
  // Find, find next and filter over the grid's rows, through the host's grid services.
  virtual bool Find(const ConditionArray& conditions) = 0;
  virtual bool FindNext() = 0;
  virtual bool Filter(const ConditionArray& conditions) = 0;
  // Queries with the conditions on screen and fills the grid; false when a condition is
  // missing (told) or the query failed.
  virtual bool Refresh() = 0;
  // Do nothing; false.
  virtual bool RecordTop() = 0;
  virtual bool RecordPrevious() = 0;
  virtual bool RecordNext() = 0;
  virtual bool RecordBottom() = 0;
  // Print the grid with the heading of the conditions; false when it could not be printed.
  virtual bool PrintPreview() = 0;
  virtual bool DoPrint() = 0;
  virtual bool PrintSetup() = 0;
  // Does nothing; false.
  virtual bool Help() = 0;
  // The path of the last print file; empty before the first print.
  virtual std::string ReturnPrintName() = 0;
  // Restore and save the conditions, check boxes and column widths per user; false when there
  // is no host or the settings file could not be read or written.
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  // Does nothing.
  virtual void Attributes() = 0;
  // The report's table; no report of this library hands one out, so null.
  virtual std::shared_ptr<Recordset> oTable() = 0;
  // The parameters the host set last (null before); setting replaces them.
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
};

// A picker (a list a person chooses from: products, employees). It raises DoSelect when the
// person chooses and DoCancel when they give up; Value, Text and Objects then hold the choice.
class IPickerUI {
 public:
  virtual ~IPickerUI() = default;
  // Binds the picker; the parameter text (or the parameters set before) narrows the list.
  // False when `context` is null or the list cannot be loaded (told in the picker's box).
  virtual bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                    std::string_view parameter_text) = 0;
  // Empties the list and drops the context. True.
  virtual bool Clear() = 0;
  // Loads the list again when what narrows it changed; false when loading failed (told).
  virtual bool Refresh() = 0;
  // Whether the parameters changed since the list was loaded; setting it true makes the next
  // Refresh load again.
  virtual bool GetIsDirty() = 0;
  virtual void SetIsDirty(bool dirty) = 0;
  // Restore and save the user's column widths; false when there is no host or the settings
  // file could not be read or written.
  virtual bool DoGetFormStatus() = 0;
  virtual bool DoSaveFormStatus() = 0;
  virtual void Attributes(std::string_view text) = 0;
  // The parameters narrowing the list (null before any were set).
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
  // The key and the text of the last choice; empty before one.
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

// A non-visual tool (the category deletion): no form, it speaks through the host's dialogs. Each
// tool states its own answers in its header (Clear's result, whether the texts hold anything).
class IToolUI {
 public:
  virtual ~IToolUI() = default;
  virtual std::shared_ptr<ParameterSet> GetParameters() = 0;
  virtual void SetParameters(std::shared_ptr<ParameterSet> parameters) = 0;
  // Binds the tool to the host's context and the tool's two arguments.
  virtual bool Init(std::shared_ptr<HostContext> context, const Variant& argument1,
                    const Variant& argument2) = 0;
  // Ends the tool's use.
  virtual bool Clear() = 0;
  // Texts describing the tool.
  virtual std::string Author() = 0;
  virtual std::string Version() = 0;
  virtual std::string FriendlyName() = 0;
  virtual std::string Description() = 0;
  // Does the tool's work on `argument`; what true and false say is the tool's own.
  virtual bool Action(const Variant& argument) = 0;
  // A text about the last failure, where the tool keeps one.
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
