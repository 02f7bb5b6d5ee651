// LookupField: the host's text/lookup field (`qxTxt_S`). It shows a caption and a text and may
// hold a value behind the text (a department id behind its name). With a lookup definition a
// typed text is resolved when the person leaves the field: through a picker named by type
// ("pdmbm", "pdmcpml", ...) or through a query in which "@" stands for the typed text. The host
// supplies the resolution; the field only keeps state and asks.
#ifndef KORVANE_CONTROLS_LOOKUP_FIELD_H_
#define KORVANE_CONTROLS_LOOKUP_FIELD_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/control.h"
#include "host/variant.h"

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
};

struct LookupMatch {
  Variant value;
  std::string text;
};

// Resolves typed texts of lookup fields; the host implements it (against its pickers and its
// database).
class LookupResolver {
 public:
  virtual ~LookupResolver() = default;
  // The match for the typed text, nullopt when nothing matches.
  virtual std::optional<LookupMatch> Resolve(const LookupDefinition& definition,
                                             std::string_view typed) = 0;
  // A person opened the picker and chose; nullopt when cancelled.
  virtual std::optional<LookupMatch> Pick(const LookupDefinition& definition) = 0;
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

  // A person types into the field (fires change).
  bool Type(std::string text);
  // A person leaves the field: Validate, then lost_focus. Returns Validate's result.
  bool Leave();
  // A person opens the picker (the field's button) and chooses; fires change and `picked`.
  bool OpenPicker();

  Event<> change;
  Event<> picked;
  Event<const std::string&> invalid;

 private:
  std::string text_;
  Variant value_;
  FieldKind field_kind_ = FieldKind::kText;
  LookupDefinition lookup_;
  LookupResolver* resolver_ = nullptr;
  // The typed text has not been resolved yet.
  bool pending_ = false;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_LOOKUP_FIELD_H_
