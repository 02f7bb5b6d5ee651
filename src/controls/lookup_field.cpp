// The host's text/lookup field: text, value, and resolution of typed texts.
#include "controls/lookup_field.h"

#include "controls/form.h"

namespace korvane::controls {

void LookupField::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  // Text written by a module is taken as it stands; only typing needs resolving.
  pending_ = false;
  Changed("text");
  change();
}

void LookupField::set_value(Variant value) {
  if (value == value_) return;
  value_ = std::move(value);
  Changed("value");
}

void LookupField::Reset() {
  set_text({});
  set_value({});
  picked_record_.reset();
}

void LookupField::set_field_kind(FieldKind kind) {
  if (kind == field_kind_) return;
  field_kind_ = kind;
  Changed("field_kind");
}

void LookupField::set_lookup(LookupDefinition definition) {
  lookup_ = std::move(definition);
  field_kind_ = lookup_.empty() ? field_kind_ : FieldKind::kLookup;
  Changed("lookup");
}

bool LookupField::IsValid() const {
  const std::string trimmed = Trim(text_);
  switch (field_kind_) {
    case FieldKind::kText:
      return true;
    case FieldKind::kDate:
      return trimmed.empty() || IsDate(trimmed);
    case FieldKind::kNumber: {
      if (trimmed.empty()) return true;
      // The whole text must be a number, not just begin with one.
      std::size_t pos = 0;
      try {
        (void)std::stod(trimmed, &pos);
      } catch (const std::exception&) {
        return false;
      }
      return pos == trimmed.size();
    }
    case FieldKind::kLookup:
      return trimmed.empty() ? true : (!pending_ && !value_.IsBlank());
  }
  return false;
}

bool LookupField::Validate() {
  if (field_kind_ == FieldKind::kLookup && pending_) {
    pending_ = false;
    const std::string typed = Trim(text_);
    if (typed.empty()) {
      set_value({});
    } else {
      std::optional<LookupMatch> match;
      if (resolver_ != nullptr) match = resolver_->Resolve(lookup_, typed);
      if (match) {
        set_value(match->value);
        text_ = match->text;
        Changed("text");
      } else {
        set_value({});
      }
    }
  }
  const bool valid = IsValid();
  if (!valid) {
    invalid(lookup_.error_text.empty() ? std::string("输入有误,请重新输入！") : lookup_.error_text);
  }
  return valid;
}

bool LookupField::Type(std::string text) {
  if (!CanAct() || HoldsNul(text)) return false;
  SetFocus();
  if (text == text_) return true;
  text_ = std::move(text);
  pending_ = true;
  picked_record_.reset();
  Changed("text");
  change();
  return true;
}

bool LookupField::Leave() {
  if (!CanAct()) return false;
  const bool valid = Validate();
  if (HasFocus() && form() != nullptr) form()->SetFocus(nullptr);
  return valid;
}

bool LookupField::OpenPicker() {
  if (!CanAct() || resolver_ == nullptr) return false;
  SetFocus();
  std::weak_ptr<LookupField*> self = self_;
  return resolver_->Pick(lookup_, [self](std::optional<LookupMatch> match) {
    const std::shared_ptr<LookupField*> field = self.lock();
    if (field && match) (*field)->TakeChoice(std::move(*match));
  });
}

void LookupField::TakeChoice(LookupMatch match) {
  pending_ = false;
  picked_record_ = std::move(match.record);
  set_value(std::move(match.value));
  if (match.text != text_) {
    text_ = std::move(match.text);
    Changed("text");
    change();
  }
  picked();
}

}  // namespace korvane::controls
