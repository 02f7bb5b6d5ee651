// LookupField: the host's text/lookup field (`qxTxt_S`). It shows a caption and a text and may
// hold a value behind the text (a department id behind its name). With a lookup definition a
// typed text is resolved when the person leaves the field: through a picker named by type
// ("pdmbm", "pdmcpml", ...) or through a query in which "@" stands for the typed text. The host
// supplies the resolution; the field only keeps state and asks.
#ifndef KORVANE_CONTROLS_LOOKUP_FIELD_H_
#define KORVANE_CONTROLS_LOOKUP_FIELD_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/control.h"
#include "values/object.h"
#include "values/variant.h"

namespace korvane::controls {

struct LookupDefinition {
  // Type name of the picker that lists the choices ("pdmbm", "pdmcpml", "gy_planlx").
  std::string picker_type;
  // A query with "@" for the typed text; may be empty when the picker resolves.
  std::string query;
  std::string value_field;  // column giving the value
  std::string text_field;   // column giving the text shown
  std::string error_text;   // shown when the typed text resolves to nothing
  // Named parameters passed to the picker ("pdmbmzzlx" = "3").
  std::vector<std::pair<std::string, Variant>> parameters;
  bool empty() const { return picker_type.empty() && query.empty(); }

  // A lookup through the picker `type` and, when not empty, the query with "@" for the typed
  // text, without parameters.
  static LookupDefinition Of(std::string type, std::string query, std::string value_field,
                             std::string text_field, std::string error_text) {
    LookupDefinition definition;
    definition.picker_type = std::move(type);
    definition.query = std::move(query);
    definition.value_field = std::move(value_field);
    definition.text_field = std::move(text_field);
    definition.error_text = std::move(error_text);
    return definition;
  }
};

struct LookupMatch {
  // A single choice's value and text; a multiple choice gives comma lists of both.
  Variant value;
  std::string text;
  // The picker's record of the choice (a product or employee record), when it keeps one.
  std::shared_ptr<Object> record;
};

// Called once when a picker closes: the choice, or nullopt when the person cancelled.
using PickDone = std::function<void(std::optional<LookupMatch>)>;

// Resolves typed texts of lookup fields and opens pickers; the host implements it (against its
// pickers and its database). Modules reach it through HostContext::Lookups.
class LookupResolver {
 public:
  virtual ~LookupResolver() = default;
  // The match for the typed text, nullopt when nothing matches. The typed text is data: it
  // never changes the statement that looks it up.
  virtual std::optional<LookupMatch> Resolve(const LookupDefinition& definition,
                                             std::string_view typed) = 0;
  // Opens the picker the definition names. Pickers are modeless: the person chooses later,
  // and `done` is called then (or at once, by a resolver that answers straight away). Returns
  // false, without calling `done`, when there is no such picker or it could not be opened.
  virtual bool Pick(const LookupDefinition& definition, PickDone done) = 0;
};

// Field kinds of the host's field: plain text, a date, a number, or a lookup.
enum class FieldKind { kText, kDate, kNumber, kLookup };

class LookupField : public Control {
 public:
  LookupField(std::string name, int index = -1)
      : Control(ControlKind::kLookupField, "qxTxt_S", name, index) {}

  const std::string& text() const { return text_; }
  void set_text(std::string text);
  const Variant& value() const { return value_; }
  void set_value(Variant value);
  // Clears the text and resets the value to empty.
  void Reset();

  FieldKind field_kind() const { return field_kind_; }
  void set_field_kind(FieldKind kind);
  const LookupDefinition& lookup() const { return lookup_; }
  void set_lookup(LookupDefinition definition);
  // The resolver a host installs; without one a lookup field accepts nothing typed.
  void set_resolver(LookupResolver* resolver) { resolver_ = resolver; }

  // Whether the field holds what its kind requires: any text for text fields; an empty text
  // or a date for date fields; an empty text or a number for number fields; an empty text or
  // a resolved value for lookup fields.
  bool IsValid() const;
  // Resolves the text typed since the last resolution (lookup fields), as when a person
  // leaves the field. Returns whether the field is valid afterwards; an invalid field fires
  // `invalid` with the definition's error text.
  bool Validate();

  // A person types into the field (fires change). A text holding a NUL byte is refused
  // (false, nothing changes), as TextBox::Type refuses it.
  bool Type(std::string text);
  // A person leaves the field: Validate, then lost_focus. Returns Validate's result.
  bool Leave();
  // A person opens the picker (the field's button). When the person chooses, the field takes
  // the choice's value and text and fires change (when the text differs) and `picked`; a
  // cancel leaves it as it was. Returns whether a picker opened. A field destroyed while its
  // picker is open ignores the late answer.
  bool OpenPicker();
  // The record the last choice from the picker came with; null after typing or a reset.
  const std::shared_ptr<Object>& picked_record() const { return picked_record_; }

  Event<> change;
  Event<> picked;
  Event<const std::string&> invalid;

 private:
  std::string text_;
  Variant value_;
  FieldKind field_kind_ = FieldKind::kText;
  LookupDefinition lookup_;
  LookupResolver* resolver_ = nullptr;
  std::shared_ptr<Object> picked_record_;
  // The typed text has not been resolved yet.
  bool pending_ = false;
  // Answers of pickers still open hold a weak reference, so that they find out whether the
  // field is still there.
  std::shared_ptr<LookupField*> self_ = std::make_shared<LookupField*>(this);

  void TakeChoice(LookupMatch match);
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_LOOKUP_FIELD_H_
