// A file named on the command line, or dropped on the window, opens as File >
// Open opens it: the same form, image, log and boxes, the boxes over the
// shown window. Drops that are not one local file are left alone.
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <ostream>
#include <random>

#include "app/command_line.h"
#include "app/command_line_window.h"
#include "image/codec.h"
#include "support/file_bytes.h"
#include "support/form_snapshot.h"
#include "support/random_form.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;

// What a window shows after a file command.
struct Outcome {
  FormSnapshot form;
  Image image;
  QStringList log;
  QStringList messages;
  QStringList errors;
  int beeps;
};

Outcome outcome_of(const TMain_Page& window, const RecordingPrompts& prompts) {
  return {snapshot(window), window.image(), window.ui.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts),
          prompts.messages, prompts.errors, prompts.beeps};
}

void expect_same(const Outcome& got, const Outcome& expected) {
  EXPECT_EQ(differences(got.form, expected.form), "");
  EXPECT_EQ(got.image, expected.image);
  EXPECT_EQ(got.log, expected.log);
  EXPECT_EQ(got.messages, expected.messages);
  EXPECT_EQ(got.errors, expected.errors);
  EXPECT_EQ(got.beeps, expected.beeps);
}

// Another started window, where the file is opened through File > Open.
struct FileOpenWindow {
  FileOpenWindow() : window(platform, prompts), state(&window) {
    window.set_state_form(&state);
    window.show();
  }
  Outcome open(const QString& file) {
    prompts.open_answers.push_back(file);
    window.ui.Open1->trigger();
    return outcome_of(window, prompts);
  }

  FakePlatform platform;
  RecordingPrompts prompts;
  TMain_Page window;
  TState_Form state;
};

std::unique_ptr<QMimeData> urls_data(const QList<QUrl>& urls) {
  auto data = std::make_unique<QMimeData>();
  data->setUrls(urls);
  return data;
}

// A drag that enters `target` and is dropped on it, delivered as Qt
// delivers it: true when the window took it on entering.
bool drag_and_drop(QWidget* target, const QMimeData* data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return true;
}

// Every way an opened file can end.
struct FileCase {
  std::string name;
  Bytes bytes;
  QStringList after_load;  // the log lines after "Load data from ...", FILE the file's name
  QStringList boxes;
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

std::vector<FileCase> file_cases() {
  std::mt19937 rng(13);
  const Image good = q5::image::encode(random_settings(rng));
  Image bad_checksum = good;
  ++bad_checksum[254];
  Image other_model = good;
  other_model[80] |= q5::image::kModelBitMask;
  q5::image::seal(other_model);
  return {
      {"good", Bytes(good.begin(), good.end()), {"File loaded.OK !"}, {}},
      {"checksum", Bytes(bad_checksum.begin(), bad_checksum.end()), {}, {"checksum is error!"}},
      {"model", Bytes(other_model.begin(), other_model.end()), {}, {"Model Error, please check..."}},
      {"short",
       Bytes(good.begin(), good.begin() + 100),
       {"File read error", "FILE: 100 bytes, a configuration file has 256"},
       {}},
  };
}

class OpenFromOutsideTest : public WindowTest, public ::testing::WithParamInterface<FileCase> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    file = dir.filePath(QString::fromStdString(GetParam().name) + ".eep");
    ASSERT_TRUE(write_bytes(file, GetParam().bytes));
    prompts.on_message = [this](const QString&) { boxes_over_hidden_window += window->isVisible() ? 0 : 1; };
  }

  // File > Open of the same file in another window, checked on the way.
  Outcome opened_through_the_menu() {
    FileOpenWindow other;
    const QStringList start_lines = other.window.ui.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts);
    const Outcome opened = other.open(file);
    QStringList after_load = GetParam().after_load;
    after_load.replaceInStrings("FILE", file);
    EXPECT_EQ(opened.log, start_lines + QStringList{"Load data from " + file} + after_load);
    EXPECT_EQ(opened.messages, GetParam().boxes);
    return opened;
  }

  QTemporaryDir dir;
  QString file;
  int boxes_over_hidden_window = 0;
};

// Through the functions the program's entry uses, with the file named
// relative to the current folder.
TEST_P(OpenFromOutsideTest, CommandLineFileOpensOnceTheWindowRunsAsFileOpenWould) {
  const QStringList start_lines = log();
  const QString previous_folder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  const q5::app::CommandLine line = q5::app::parse_command_line({GetParam().name + ".eep"});
  q5::app::open_after_start(*window, line.file);
  QDir::setCurrent(previous_folder);
  EXPECT_EQ(log(), start_lines);  // not before the event loop runs
  QCoreApplication::processEvents();
  expect_same(outcome_of(*window, prompts), opened_through_the_menu());
  EXPECT_EQ(boxes_over_hidden_window, 0);
}

// Anywhere on the form, also over a field, though file managers send the
// file's name as text too, which a field would take.
TEST_P(OpenFromOutsideTest, DroppedFileOpensAsFileOpenWould) {
  const std::unique_ptr<QMimeData> data = urls_data({QUrl::fromLocalFile(file)});
  data->setText(file);
  EXPECT_TRUE(drag_and_drop(ui().Hello_msg, data.get()));
  expect_same(outcome_of(*window, prompts), opened_through_the_menu());
  EXPECT_EQ(boxes_over_hidden_window, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, OpenFromOutsideTest, ::testing::ValuesIn(file_cases()),
                         [](const ::testing::TestParamInfo<FileCase>& info) { return info.param.name; });

using DropTest = WindowTest;

TEST_F(DropTest, AnythingButOneLocalFileIsLeftAlone) {
  QTemporaryDir dir;
  const QString file = dir.filePath("a.eep");
  ASSERT_TRUE(write_bytes(file, Bytes(256, 0)));
  auto text_only = [] {
    auto data = std::make_unique<QMimeData>();
    data->setText("a.eep");
    return data;
  };
  const struct {
    const char* what;
    std::unique_ptr<QMimeData> data;
  } cases[] = {
      {"two files", urls_data({QUrl::fromLocalFile(file), QUrl::fromLocalFile(dir.filePath("b.eep"))})},
      {"a web address", urls_data({QUrl("https://example.org/a.eep")})},
      {"no address at all", urls_data({})},
      {"text", text_only()},
  };
  const Outcome before = outcome_of(*window, prompts);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(drag_and_drop(window.get(), c.data.get()));
    // Should one arrive all the same, the window still leaves it.
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, c.data.get(), Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(window.get())->event(&drop);
    EXPECT_FALSE(drop.isAccepted());
  }
  expect_same(outcome_of(*window, prompts), before);
}

}  // namespace
