#include "controls/basic_controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls/form.h"
#include "controls/lookup_field.h"

namespace korvane::controls {
namespace {

// Every test starts from an empty form.
class ControlsTest : public ::testing::Test {
 protected:
  Form form{"frm"};
};

TEST_F(ControlsTest, FormAddressesControlArraysByNameAndIndex) {
  form.Add<TextBox>("Txt", 2);
  form.Add<TextBox>("Txt", 0);
  form.Add<Label>("lblRecord");
  EXPECT_NE(form.Find("txt", 0), nullptr);  // names ignore case
  EXPECT_EQ(form.Find("Txt"), nullptr);     // a member of an array has an index
  EXPECT_EQ(form.Find("Txt", 1), nullptr);
  const auto members = form.Array("Txt");
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0]->index(), 0);
  EXPECT_EQ(members[1]->index(), 2);
  EXPECT_THROW(form.Add<TextBox>("TXT", 2), std::invalid_argument);
  EXPECT_THROW(form.Get<CheckBox>("lblRecord"), std::out_of_range);
  EXPECT_EQ(form.Controls().size(), 3u);
}

TEST_F(ControlsTest, FormFocusMovesFireLostThenGotAndBusyCursorsNest) {
  auto& a = form.Add<TextBox>("a");
  auto& b = form.Add<TextBox>("b");
  std::vector<std::string> log;
  a.got_focus.Connect([&] { log.push_back("a+"); });
  a.lost_focus.Connect([&] { log.push_back("a-"); });
  b.got_focus.Connect([&] { log.push_back("b+"); });
  a.SetFocus();
  b.SetFocus();
  b.SetFocus();  // no change, no events
  EXPECT_EQ(log, (std::vector<std::string>{"a+", "a-", "b+"}));
  EXPECT_TRUE(b.HasFocus());
  Form other("other");
  auto& stranger = other.Add<TextBox>("c");
  EXPECT_THROW(form.SetFocus(&stranger), std::invalid_argument);

  // A wait cursor shows until the outermost one goes.
  {
    BusyCursor outer(form);
    {
      BusyCursor inner(form);
      EXPECT_TRUE(form.busy());
    }
    EXPECT_TRUE(form.busy());
  }
  EXPECT_FALSE(form.busy());
}

TEST_F(ControlsTest, KeysFormPreviewSeesKeysFirstAndCanSwallowThem) {
  auto& txt = form.Add<TextBox>("Txt");
  std::vector<std::string> log;
  form.set_key_preview(true);
  form.key_down.Connect([&](int& key, int shift) {
    log.push_back("form:" + std::to_string(key));
    if (key == keys::kReturn && shift == 0) key = 0;  // swallow Enter
  });
  txt.key_down.Connect([&](int& key, int) { log.push_back("txt:" + std::to_string(key)); });
  txt.key_press.Connect([&](int& ch) { log.push_back("press:" + std::to_string(ch)); });
  txt.key_up.Connect([&](int& key, int) { log.push_back("up:" + std::to_string(key)); });
  txt.PressKey(keys::kReturn);
  EXPECT_EQ(log, (std::vector<std::string>{"form:13", "up:13"}));
  log.clear();
  txt.PressKey('B', keys::kCtrlMask);
  EXPECT_EQ(log, (std::vector<std::string>{"form:66", "txt:66", "press:66", "up:66"}));
  log.clear();
  txt.PressKey('B');
  EXPECT_EQ(log[2], "press:98");  // a letter without Shift arrives in lower case
}

TEST_F(ControlsTest, DisabledOrHiddenControlsIgnoreAPerson) {
  auto& txt = form.Add<TextBox>("Txt");
  auto& chk = form.Add<CheckBox>("Chk");
  auto& cmd = form.Add<Button>("Cmd", 0);
  int clicks = 0;
  cmd.click.Connect([&] { ++clicks; });
  txt.set_enabled(false);
  chk.set_visible(false);
  cmd.set_enabled(false);
  EXPECT_FALSE(txt.Type("x"));
  EXPECT_FALSE(chk.Click());
  EXPECT_FALSE(cmd.Click());
  EXPECT_FALSE(txt.PressKey(keys::kReturn));
  EXPECT_EQ(txt.text(), "");
  EXPECT_EQ(chk.value(), 0);
  EXPECT_EQ(clicks, 0);
  // A module may still write them.
  txt.set_text("by code");
  EXPECT_EQ(txt.text(), "by code");
}

TEST_F(ControlsTest, TextBoxTypingFiresChangeAndLeavingCanBeRefused) {
  auto& txt = form.Add<TextBox>("Txt");
  int changes = 0;
  txt.change.Connect([&] { ++changes; });
  bool refuse = true;
  txt.validate.Connect([&](bool& cancel) { cancel = refuse; });
  EXPECT_TRUE(txt.Type("abc"));
  EXPECT_TRUE(txt.Type("abc"));  // the same text is no change
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(txt.Leave());
  EXPECT_TRUE(txt.HasFocus());
  refuse = false;
  EXPECT_TRUE(txt.Leave());
  EXPECT_FALSE(txt.HasFocus());
  txt.set_locked(true);
  EXPECT_FALSE(txt.Type("other"));
}

TEST_F(ControlsTest, ATypedTextHoldingANulByteIsRefusedAndChangesNothing) {
  using namespace std::string_literals;
  auto& txt = form.Add<TextBox>("Txt");
  auto& cmb = form.Add<ComboBox>("Cmb");
  auto& field = form.Add<LookupField>("qxTxt");
  int changes = 0;
  for (Event<>* change : {&txt.change, &cmb.change, &field.change}) {
    change->Connect([&] { ++changes; });
  }
  // How a person types into each, and what each then shows.
  const std::vector<std::pair<std::function<bool(std::string)>, std::function<std::string()>>>
      fields = {
          {[&](std::string t) { return txt.Type(std::move(t)); }, [&] { return txt.text(); }},
          {[&](std::string t) { return cmb.Type(std::move(t)); }, [&] { return cmb.text(); }},
          {[&](std::string t) { return field.Type(std::move(t)); }, [&] { return field.text(); }},
      };
  for (const auto& [type, shown] : fields) {
    ASSERT_TRUE(type("A-100"));
    changes = 0;
    for (const std::string& text : {"A-100\0 or 1=1"s, "\0"s, "B\0"s}) {
      EXPECT_FALSE(type(text)) << shown();
      EXPECT_EQ(shown(), "A-100");
    }
    EXPECT_EQ(changes, 0);
  }
}

TEST_F(ControlsTest, CheckBoxClickTogglesAndCodeChangesFireClickOnlyWhenTheValueChanges) {
  auto& chk = form.Add<CheckBox>("CHKK");
  int clicks = 0;
  chk.click.Connect([&] { ++clicks; });
  chk.Click();
  EXPECT_TRUE(chk.ticked());
  chk.Click();
  EXPECT_EQ(chk.value(), 0);
  chk.set_value(0);
  EXPECT_EQ(clicks, 2);
  chk.set_value(2);
  EXPECT_EQ(clicks, 3);
  chk.Click();  // greyed goes to ticked
  EXPECT_EQ(chk.value(), 1);
}

TEST_F(ControlsTest, OptionButtonChoosingOneClearsTheOthersOfItsArray) {
  auto& o0 = form.Add<OptionButton>("Opt", 0);
  auto& o1 = form.Add<OptionButton>("Opt", 1);
  auto& lone = form.Add<OptionButton>("Other");
  o0.Click();
  lone.Click();
  EXPECT_TRUE(o0.value());
  o1.Click();
  EXPECT_FALSE(o0.value());
  EXPECT_TRUE(o1.value());
  EXPECT_TRUE(lone.value());  // not in the array
}

TEST_F(ControlsTest, ComboBoxItemsCarryTheirIdsAndChoosingFiresClick) {
  auto& cmb = form.Add<ComboBox>("Cmb", 0);
  int clicks = 0;
  cmb.click.Connect([&] { ++clicks; });
  cmb.AddItem("全部");
  cmb.AddItem("成品", 7);
  EXPECT_TRUE(cmb.ItemData().IsEmpty());
  EXPECT_TRUE(cmb.ChooseText("成品"));
  EXPECT_EQ(cmb.ItemData().ToLong(), 7);
  EXPECT_FALSE(cmb.Choose(5));
  EXPECT_EQ(clicks, 1);
  cmb.Clear();
  EXPECT_EQ(cmb.list_index(), -1);
  EXPECT_THROW(cmb.set_list_index(0), std::out_of_range);
}

TEST_F(ControlsTest, TimerFiresOnlyWhileRunningWithAnInterval) {
  auto& timer = form.Add<Timer>("Timer");
  int fired = 0;
  timer.timer.Connect([&] {
    ++fired;
    timer.set_running(false);  // a one-shot delay stops itself
  });
  EXPECT_FALSE(timer.Tick());
  timer.set_running(true);
  EXPECT_FALSE(timer.Tick());  // no interval yet
  timer.set_interval(200);
  EXPECT_TRUE(timer.Tick());
  EXPECT_FALSE(timer.Tick());
  EXPECT_EQ(fired, 1);
}

class FakeResolver : public LookupResolver {
 public:
  std::optional<LookupMatch> Resolve(const LookupDefinition& definition,
                                     std::string_view typed) override {
    asked.push_back(definition.picker_type + ":" + std::string(typed));
    if (typed == "一车间" || typed == "01") return LookupMatch{Variant(12), "一车间", nullptr};
    return std::nullopt;
  }
  // Answers later, as a modeless picker does, when `pending` is taken and called.
  bool Pick(const LookupDefinition&, PickDone done) override {
    pending = std::move(done);
    return true;
  }
  std::vector<std::string> asked;
  PickDone pending;
};

// A code typed and resolved on leaving, a text refused with its box, a date that is no date,
// and a picker's choice or cancel are walked by the header_lookups and plan_new_numbers
// scenarios; these are the states between.
TEST_F(ControlsTest, LookupFieldResolvesTypedTextOnceWhenThePersonLeaves) {
  auto& field = form.Add<LookupField>("qxTxt", 1);
  FakeResolver resolver;
  field.set_resolver(&resolver);
  field.set_lookup({"pdmbm", "", "部门ID", "部门名称", "", {{"pdmbmzzlx", Variant("3")}}});
  std::vector<std::string> errors;
  field.invalid.Connect([&](const std::string& text) { errors.push_back(text); });

  field.Type("01");
  EXPECT_FALSE(field.IsValid());  // typed but not yet resolved
  EXPECT_TRUE(field.Leave());
  EXPECT_EQ(field.value().ToLong(), 12);
  field.Type("nothing");
  EXPECT_FALSE(field.Leave());
  EXPECT_TRUE(field.value().IsEmpty());  // an unresolved text holds no value
  ASSERT_EQ(errors.size(), 1u);
  field.Leave();  // nothing typed since: not asked again
  EXPECT_EQ(resolver.asked, (std::vector<std::string>{"pdmbm:01", "pdmbm:nothing"}));
  field.Type("");
  EXPECT_TRUE(field.Leave());  // an empty lookup field is valid
}

TEST_F(ControlsTest, LookupFieldPickerChoiceAndModuleWritesNeedNoResolving) {
  auto& field = form.Add<LookupField>("qxTxt", 0);
  FakeResolver resolver;
  field.set_resolver(&resolver);
  field.set_lookup({"pdmcpml", "", "产品ID", "物品编码", "", {}});
  int picked = 0;
  field.picked.Connect([&] { ++picked; });
  EXPECT_TRUE(field.OpenPicker());
  resolver.pending(std::nullopt);  // cancelled
  EXPECT_EQ(picked, 0);
  EXPECT_TRUE(field.OpenPicker());
  auto record = std::make_shared<Object>();
  resolver.pending(LookupMatch{Variant(5), "P-005", record});
  EXPECT_EQ(field.text(), "P-005");
  EXPECT_EQ(field.picked_record(), record);
  EXPECT_EQ(picked, 1);
  field.set_text("P-009");
  field.set_value(9);
  EXPECT_TRUE(field.Validate());
  EXPECT_TRUE(resolver.asked.empty());
}

TEST(LookupField, AnAnswerAfterTheFieldIsGoneIsIgnored) {
  FakeResolver resolver;
  {
    Form form("frm");
    auto& field = form.Add<LookupField>("qxTxt", 0);
    field.set_resolver(&resolver);
    field.set_lookup({"pdmgy", "", "雇员ID", "姓名", "", {}});
    ASSERT_TRUE(field.OpenPicker());
  }
  resolver.pending(LookupMatch{Variant(7), "张三", nullptr});  // must not touch freed memory
}

TEST_F(ControlsTest, LookupFieldNumberFieldsTakeWholeNumbersOnly) {
  auto& number = form.Add<LookupField>("qxTxt", 3);
  number.set_field_kind(FieldKind::kNumber);
  number.Type("12kg");
  EXPECT_FALSE(number.Validate());
  number.Type("-1.5e2");
  EXPECT_TRUE(number.Validate());
}

}  // namespace
}  // namespace korvane::controls
