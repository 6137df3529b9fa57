// The Register menu's dialogs: the history table read page by page, "Open
// image", and the "Release address..." flow with scripted boxes.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTableView>
#include <deque>

#include "app/register_window.h"
#include "register/engines.h"

namespace q5::test {
namespace {

class ScriptedPrompts final : public app::RegisterPrompts {
 public:
  std::optional<QString> address;
  bool yes = false;
  std::vector<QString> asked;  // confirm() and inform() texts, in order

  std::optional<QString> ask_address(QWidget*) override { return address; }
  bool confirm(QWidget*, const QString& text) override {
    asked.push_back("? " + text);
    return yes;
  }
  void inform(QWidget*, const QString& text) override { asked.push_back("! " + text); }
};

class RegisterWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.start("sqlite"));
    reg_ = reg::open_register(engine_.location());
  }
  void write(const std::string& serial, const std::string& address, std::optional<image::Image> after) {
    reg::PagerEvent e;
    e.command = "write";
    e.result = "Write eeprom OK!";
    e.verified = true;
    e.serial_read = e.serial_written = serial;
    e.addresses[0] = {address, true};
    e.image_after = after;
    reg_->record(e);
  }

  EngineRegister engine_;
  std::unique_ptr<reg::Register> reg_;
  ScriptedPrompts prompts_;
};

TEST_F(RegisterWindow, AHundredThousandEventsOpenOnePageAtATime) {
  engine_.raw()->exec_script(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
      "INSERT INTO q5_events (time_utc, bench, operator_name, program_version, cable, command, result, verified, "
      "serial_read, serial_written, address1, enabled1, address2, enabled2, address3, enabled3, address4, enabled4, "
      "frequency, step, baud_rate, synthesiser, firmware) "
      "SELECT '2026-01-01T00:00:00Z', 'bench1', 'ann', '1.22', 'LPT1', 'write', 'Write eeprom OK!', 1, "
      "printf('%08d', i), printf('%08d', i), printf('%07d', i), 1, '', 0, '', 0, '', 0, '', '', '', '', '' FROM n; "
      "INSERT INTO q5_event_addresses (event_id, address) SELECT id, CAST(address1 AS INTEGER) FROM q5_events");
  app::PagerHistoryDialog dialog(*reg_, prompts_, [](const image::Image&) {});
  app::EventTableModel& model = dialog.model();
  EXPECT_EQ(model.total(), 100000);
  const int shown = model.rowCount();
  EXPECT_EQ(shown, app::EventTableModel::kPageSize);
  EXPECT_LT(shown, 100000) << "only what the view needs is read";
  ASSERT_TRUE(model.canFetchMore({}));
  model.fetchMore({});
  EXPECT_EQ(model.rowCount(), shown + app::EventTableModel::kPageSize);
  EXPECT_EQ(model.data(model.index(0, app::EventTableModel::serial)).toString(), "00000001");
  EXPECT_EQ(model.data(model.index(0, app::EventTableModel::addresses)).toString(), "0000001");
  EXPECT_EQ(model.headerData(app::EventTableModel::time, Qt::Horizontal).toString(), "Time (UTC)");

  dialog.search(0, "00054321");
  EXPECT_EQ(model.total(), 1);
  dialog.search(1, "0099999");
  ASSERT_EQ(model.total(), 1);
  EXPECT_FALSE(model.canFetchMore({}));
  EXPECT_EQ(model.data(model.index(0, app::EventTableModel::serial)).toString(), "00099999");
  dialog.search(0, "");
  EXPECT_EQ(model.total(), 100000);
}

TEST_F(RegisterWindow, OpenImageHandsOverTheWrittenImage) {
  image::Image image{};
  image[3] = 0x42;
  write("00000001", "2004008", std::nullopt);
  write("00000002", "2004009", image);
  std::vector<image::Image> opened;
  app::PagerHistoryDialog dialog(*reg_, prompts_, [&opened](const image::Image& i) { opened.push_back(i); });
  EXPECT_FALSE(dialog.open_selected()) << "nothing selected";

  const auto select = [&dialog](int row) {
    dialog.view()->selectionModel()->select(dialog.model().index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  };
  select(1);
  EXPECT_TRUE(dialog.open_selected());
  ASSERT_EQ(opened.size(), 1U);
  EXPECT_EQ(opened[0], image);
  select(0);
  EXPECT_FALSE(dialog.open_selected());
  EXPECT_EQ(prompts_.asked, (std::vector<QString>{"! This event has no written image."}));
}

TEST_F(RegisterWindow, ReleaseAddressAsksAndNamesTheHolder) {
  reg_->add_pool({"fleet", 2004000, 2004999, reg::PoolKind::individual});
  write("00000042", "2004008", std::nullopt);
  struct Case {
    const char* name;
    std::optional<QString> address;
    bool yes;
    std::optional<std::string> released;
    std::vector<QString> asked;
  };
  const std::vector<Case> cases{
      {"cancelled", std::nullopt, true, std::nullopt, {}},
      {"not held", QString("2004100"), true, std::nullopt, {"! Address 2004100 is held by no pager."}},
      {"not a number", QString("20x"), true, std::nullopt, {}},
      {"answered No", QString("2004008"), false, std::nullopt, {"? Release address 2004008 from pager 00000042?"}},
      {"answered Yes", QString("2004008"), true, "00000042", {"? Release address 2004008 from pager 00000042?"}},
      {"released already", QString("2004008"), true, std::nullopt, {"! Address 2004008 is held by no pager."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompts_.address = c.address;
    prompts_.yes = c.yes;
    prompts_.asked.clear();
    EXPECT_EQ(app::release_address(nullptr, *reg_, prompts_, "bench1", "ann"), c.released);
    if (std::string(c.name) == "not a number") {
      ASSERT_EQ(prompts_.asked.size(), 1U);
      EXPECT_TRUE(prompts_.asked[0].contains("not an address: 20x"));
      continue;
    }
    EXPECT_EQ(prompts_.asked, c.asked);
  }
  EXPECT_EQ(reg_->find("2004008").holder, std::nullopt);
}

}  // namespace
}  // namespace q5::test
