// A randomised run of bad configuration files through File > Open: files of
// any length and content, most of them sealed with a right checksum so that
// they get past the checks and into the form. Nothing may crash, hang or
// upset the sanitizers, and every file must get the answer its bytes call for.
#include <fcntl.h>
#include <unistd.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "image/codec.h"
#include "image/number_text.h"
#include "support/window_fixture.h"

namespace {

using q5::image::Image;
using Bytes = std::vector<std::uint8_t>;

int count_from_environment(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  return std::max(1, std::atoi(text));
}

// Inputs of the run. Q5_BAD_INPUTS changes the count.
constexpr int kInputs = 100'000;
// One accepted file in this many is shown in the window; the others are
// opened with their checksum spoilt, so that they still take the file path
// and the checks but not the (much slower) trip through every control.
// Q5_BAD_INPUT_WINDOW_EVERY changes it; 1 sends every accepted file through.
constexpr int kWindowEvery = 10;

// Byte values that sit on the edges of the image's code tables.
constexpr std::uint8_t kEdgeValues[] = {0x00, 0x01, 0x07, 0x09, 0x0A, 0x0F, 0x10, 0x1F, 0x20, 0x29, 0x2A,
                                        0x30, 0x31, 0x7F, 0x80, 0x99, 0x9A, 0xCF, 0xDD, 0xEE, 0xF0, 0xFF};

enum class Expect { read_error, checksum_error, model_error, loaded };

class BadInputGenerator {
 public:
  explicit BadInputGenerator(std::uint32_t seed) : rng_(seed), valid_(q5::image::encode(q5::image::Settings{})) {}

  Bytes next() {
    const unsigned kind = rng_() % 100;
    if (kind < 5) return random_bytes(rng_() % 256);  // too short
    if (kind < 15) return random_bytes(rng_() % 601); // anything at all
    Image image = (rng_() % 2 == 0) ? random_image() : mutated_valid_image();
    if (kind < 25) {
      image[q5::image::off::function_flags] |= q5::image::kModelBitMask;
    } else {
      image[q5::image::off::function_flags] &= static_cast<std::uint8_t>(~q5::image::kModelBitMask);
    }
    q5::image::seal(image);
    Bytes bytes(image.begin(), image.end());
    if (rng_() % 8 == 0) {
      const Bytes tail = random_bytes(1 + rng_() % 344);
      bytes.insert(bytes.end(), tail.begin(), tail.end());
    }
    return bytes;
  }

 private:
  std::uint8_t random_byte() {
    if (rng_() % 4 == 0) return kEdgeValues[rng_() % std::size(kEdgeValues)];
    return static_cast<std::uint8_t>(rng_());
  }
  Bytes random_bytes(std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = random_byte();
    return bytes;
  }
  Image random_image() {
    Image image{};
    for (auto& b : image) b = random_byte();
    return image;
  }
  // Mostly sensible images with a few fields gone wrong reach the handlers
  // in states that pure noise rarely does (one bad address among good ones,
  // a frequency one digit off).
  Image mutated_valid_image() {
    Image image = valid_;
    const unsigned changes = 1 + rng_() % 8;
    for (unsigned i = 0; i < changes; ++i) image[rng_() % q5::image::off::checksummed_end] = random_byte();
    return image;
  }

  std::mt19937 rng_;
  Image valid_;
};

Expect expected_for(const Bytes& bytes) {
  if (bytes.size() < q5::image::kImageSize) return Expect::read_error;
  Image image{};
  std::copy_n(bytes.begin(), image.size(), image.begin());
  if (q5::image::verify(image) != q5::image::ChecksumFault::none) return Expect::checksum_error;
  if (q5::image::model_bit(image)) return Expect::model_error;
  return Expect::loaded;
}

// The codec alone on every input: decoding never fails, and whatever it
// shows encodes to a sealed image (or reports a field it cannot convert).
void check_pure_codec(const Bytes& bytes) {
  if (bytes.size() < q5::image::kImageSize) return;
  Image image{};
  std::copy_n(bytes.begin(), image.size(), image.begin());
  const q5::image::Settings shown = q5::image::decode(image);
  try {
    const Image again = q5::image::encode(shown);
    EXPECT_EQ(q5::image::verify(again), q5::image::ChecksumFault::none);
    EXPECT_EQ(q5::image::model_bit(again), shown.model == 1);
  } catch (const q5::ConversionError&) {
    // A frequency made of nibbles above 9 is no number; the window shows that as an error box.
  }
}

class BadInputTest : public WindowTest {
 protected:
  // Plain system calls: QFile's buffers would make this the costliest step
  // of the run under the address sanitizer.
  void write_input(const Bytes& bytes) {
    const int fd = ::open(file_name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    ASSERT_EQ(written, static_cast<ssize_t>(bytes.size()));
  }

  // The one input file is rewritten for every input: in memory where the
  // machine offers it, since on a disk that discards freed blocks each
  // rewrite costs milliseconds.
  static QString scratch_template() {
    const QFileInfo shm("/dev/shm");
    const QString parent = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return parent + "/q5-bad-input-XXXXXX";
  }

  QTemporaryDir dir_{scratch_template()};
  QString file_ = dir_.filePath("input.eep");
  std::string file_name_ = QFile::encodeName(file_).toStdString();
};

TEST_F(BadInputTest, OpenSurvivesAnyFileAndAnswersAsItsBytesSay) {
  const int inputs = count_from_environment("Q5_BAD_INPUTS", kInputs);
  const int window_every = count_from_environment("Q5_BAD_INPUT_WINDOW_EVERY", kWindowEvery);
  const QString load_line = "Load data from " + file_;
  BadInputGenerator generator(0x5EED);

  int shown_in_window = 0;
  int conversion_boxes = 0;
  int accepted_seen = 0;
  std::array<int, 4> outcomes{};
  for (int n = 0; n < inputs; ++n) {
    Bytes bytes = generator.next();
    check_pure_codec(bytes);

    Expect expect = expected_for(bytes);
    if (expect == Expect::loaded && accepted_seen++ % window_every != 0) {
      bytes[255] = static_cast<std::uint8_t>(bytes[255] + 1);
      expect = Expect::checksum_error;
    }
    ++outcomes[static_cast<std::size_t>(expect)];
    write_input(bytes);
    ASSERT_FALSE(HasFatalFailure());

    window->ui.Memo1->clear();
    prompts.clear();
    prompts.open_answers.push_back(file_);
    window->ui.Open1->trigger();

    const QStringList lines = log();
    ASSERT_FALSE(lines.isEmpty()) << "input " << n;
    ASSERT_EQ(lines.constFirst(), load_line) << "input " << n;
    switch (expect) {
      case Expect::read_error:
        ASSERT_EQ(lines.mid(1), QStringList{"File read error"}) << "input " << n;
        ASSERT_TRUE(prompts.messages.isEmpty()) << "input " << n;
        break;
      case Expect::checksum_error:
        ASSERT_EQ(lines.size(), 1) << "input " << n;
        ASSERT_EQ(prompts.messages, QStringList{"checksum is error!"}) << "input " << n;
        break;
      case Expect::model_error:
        ASSERT_EQ(lines.size(), 1) << "input " << n;
        ASSERT_EQ(prompts.messages, QStringList{"Model Error, please check..."}) << "input " << n;
        break;
      case Expect::loaded: {
        ++shown_in_window;
        // Warnings of the handlers the decode sets off may come first.
        ASSERT_EQ(lines.constLast(), "File loaded.OK !") << "input " << n;
        ASSERT_TRUE(prompts.messages.isEmpty()) << "input " << n;
        // The deferred refocusing of fields the image left out of range.
        QCoreApplication::processEvents();
        prompts.clear();
        window->guarded([this] { window->encode_image(); });
        if (prompts.errors.isEmpty()) {
          ASSERT_EQ(q5::image::verify(window->image()), q5::image::ChecksumFault::none) << "input " << n;
          ASSERT_FALSE(q5::image::model_bit(window->image())) << "input " << n;
        } else {
          ++conversion_boxes;  // a field the image filled with something that is no number
        }
        break;
      }
    }
    ASSERT_FALSE(HasFailure()) << "input " << n;
  }
  QCoreApplication::processEvents();

  // The mix reached every path, the window included.
  EXPECT_GT(outcomes[static_cast<std::size_t>(Expect::read_error)], 0);
  EXPECT_GT(outcomes[static_cast<std::size_t>(Expect::checksum_error)], 0);
  EXPECT_GT(outcomes[static_cast<std::size_t>(Expect::model_error)], 0);
  EXPECT_GT(shown_in_window, 0);
  RecordProperty("inputs", inputs);
  RecordProperty("shown_in_window", shown_in_window);
  RecordProperty("encode_errors_after_load", conversion_boxes);
  std::printf("%d inputs: %d read errors, %d checksum errors, %d model errors, %d shown in the window "
              "(%d of them then failed to encode with an error box)\n",
              inputs, outcomes[0], outcomes[1], outcomes[2], shown_in_window, conversion_boxes);
}

}  // namespace
