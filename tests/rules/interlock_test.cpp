// The option interlocks on the form alone: which controls a box, a list or
// an item greys, and that nothing else changes. The window's part (a click on
// a widget reaching the form, the widgets greyed) is tested in tests/app.
#include <gtest/gtest.h>

#include <set>

#include "rules/form_probe.h"

namespace q5::rules {
namespace {

using Names = std::set<std::string>;

Names changed(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
  Names names;
  for (const auto& [name, value] : a) {
    if (b.at(name) != value) names.insert(name);
  }
  return names;
}

Names canned_controls() {
  Names names{"CannedMsg_command"};
  for (int n = 1; n <= 20; ++n) names.insert("N_canned_msg" + std::to_string(n));
  for (int n = 1; n <= 4; ++n) names.insert("T_only_msg" + std::to_string(n));
  return names;
}

struct BoxRule {
  const char* box;
  Names greyed;  // what unticking the box greys; nothing else changes
};
void PrintTo(const BoxRule& c, std::ostream* out) { *out << c.box; }

class BoxInterlock : public ::testing::TestWithParam<BoxRule> {};

TEST_P(BoxInterlock, UntickGreysExactlyItsControlsAndTickBringsThemBack) {
  const BoxRule& rule = GetParam();
  Form form;
  form.start_up();
  Check& box = *std::get<Check*>(*form.find(rule.box));
  if (!box.checked) form.user_clicked(box, true);  // from the ticked state
  const auto ticked = state(form);

  form.user_clicked(box, false);
  Names expected = rule.greyed;
  expected.insert(rule.box);
  EXPECT_EQ(changed(ticked, state(form)), expected);
  for (const std::string& name : rule.greyed) EXPECT_NE(state(form)[name].find("(greyed)"), std::string::npos) << name;
  form.user_clicked(box, true);
  EXPECT_EQ(state(form), ticked);
  EXPECT_TRUE(form.take_notices().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoxInterlock,
    ::testing::Values(
        BoxRule{"CanMsg_checkbox", canned_controls()},
        BoxRule{"Date_time_disp_checkbox", {"Msg_time_stamp_checkbox", "Daily_Alarm_checkbox", "Sleep_timer_checkbox"}},
        BoxRule{"Unread_reminder", {"Uread_reminder_time"}}, BoxRule{"Dup_msg_rejection_chekbox", {"Dup_msg_time"}},
        BoxRule{"Out_range_func_checkbox", {"In_out_range"}}, BoxRule{"Hand_code_pss_checkbox", {"Password"}},
        BoxRule{"sc_addractv3", {"sc_address3", "sc_framno3", "sc_autoinc3"}},
        // They share a handler with the boxes above but the rule reads only
        // those boxes.
        BoxRule{"Full_msg", {}}, BoxRule{"Re2Chk", {}}),
    [](const auto& info) { return std::string(info.param.box); });

// The shared handlers read their own box, not the sender: with the canned
// messages off, ticking Full_msg must not bring them back.
TEST(Interlocks, SharedHandlerFollowsItsOwnBoxWhicheverBoxWasClicked) {
  Form form;
  form.start_up();
  form.user_clicked(form.CanMsg_checkbox, false);
  form.set_checked(form.Date_time_disp_checkbox, false);
  auto before = state(form);
  for (Check* box : {&form.Full_msg, &form.Full_msg, &form.Re2Chk, &form.Re2Chk}) {
    form.user_clicked(*box, !box->checked);
    const auto after = state(form);
    EXPECT_EQ(changed(before, after), Names{box->name});
    before = after;
  }
}

TEST(Interlocks, AlertTypeAndVibratePatternGreyThePatternAndItsTime) {
  Form form;
  form.start_up();
  for (int item = 0; item < 4; ++item) {
    form.user_chose(form.Vib_pattern, item);
    EXPECT_EQ(form.Special_vib_time.enabled, form.Vib_pattern.text() == "Special") << item;
  }
  form.user_chose(form.Vib_pattern, 2);  // "Special"
  for (int item = 0; item < static_cast<int>(form.Alert_type.items.size()); ++item) {
    SCOPED_TRACE(form.Alert_type.items[static_cast<std::size_t>(item)]);
    form.user_chose(form.Alert_type, item);
    const bool vibrates = item != 4 && item != 6;
    EXPECT_EQ(form.Vib_pattern.enabled, vibrates);
    EXPECT_EQ(form.Special_vib_time.enabled, vibrates);
    EXPECT_EQ(form.Vib_pattern.index, 2);
  }
  // Back from "T only" with a plain pattern: the time stays grey.
  form.user_chose(form.Alert_type, 6);
  form.select(form.Vib_pattern, 3);  // "Continuous", as an image would set it
  form.user_chose(form.Alert_type, 0);
  EXPECT_TRUE(form.Vib_pattern.enabled);
  EXPECT_FALSE(form.Special_vib_time.enabled);
}

TEST(Interlocks, ManualLcdOrderDisabledForcesLeftAndGreysTheOrder) {
  Form form;
  form.start_up();
  form.user_chose(form.LcdorderComb, 1);  // "Right"
  const auto before = state(form);
  form.user_chose(form.lcdmannulCB, 0);  // "DISABLE"
  EXPECT_EQ(changed(before, state(form)), (Names{"LcdorderComb", "lcdmannulCB"}));
  EXPECT_EQ(form.LcdorderComb.text(), "Left");
  EXPECT_FALSE(form.LcdorderComb.enabled);
  form.user_chose(form.lcdmannulCB, 1);  // "ENABLE": the order comes back, still "Left"
  EXPECT_EQ(form.LcdorderComb.text(), "Left");
  EXPECT_TRUE(form.LcdorderComb.enabled);
}

}  // namespace
}  // namespace q5::rules
