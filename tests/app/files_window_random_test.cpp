// A randomised run of bad configuration files through File > Open: files of
// any length and content, most of them sealed with a right checksum so that
// they get past the checks and into the form. Nothing may crash, hang or
// upset the sanitizers, and every file must get the answer its bytes call for.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

#include "image/codec.h"
#include "image/number_text.h"
#include "support/file_bytes.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;

constexpr int kInputs = 100'000;
// One accepted file in this many is shown in the window; the others are
// opened with their checksum spoilt, so that they still take the file path
// and the checks but not the (much slower) trip through every control.
constexpr int kWindowEvery = 10;

// Byte values that sit on the edges of the image's code tables.
constexpr std::uint8_t kEdgeValues[] = {0x00, 0x01, 0x07, 0x09, 0x0A, 0x0F, 0x10, 0x1F, 0x20, 0x29, 0x2A,
                                        0x30, 0x31, 0x7F, 0x80, 0x99, 0x9A, 0xCF, 0xDD, 0xEE, 0xF0, 0xFF};

class BadInputGenerator {
 public:
  explicit BadInputGenerator(std::uint32_t seed) : rng_(seed) {}

  // 5% too short, 10% anything up to 600 bytes, 85% sealed images (a tenth of
  // them with the model bit, one in eight with bytes after them), half of
  // those pure noise and half the default image with a few bytes changed:
  // such images reach the handlers in states that noise rarely does (one bad
  // address among good ones, a frequency one digit off).
  Bytes next() {
    const unsigned kind = rng_() % 100;
    if (kind < 5) return random_bytes(rng_() % 256);
    if (kind < 15) return random_bytes(rng_() % 601);
    Image image = valid_;
    if (rng_() % 2 == 0) {
      for (auto& b : image) b = random_byte();
    } else {
      for (unsigned i = 1 + rng_() % 8; i > 0; --i) image[rng_() % q5::image::off::checksummed_end] = random_byte();
    }
    image[q5::image::off::function_flags] &= static_cast<std::uint8_t>(~q5::image::kModelBitMask);
    if (kind < 25) image[q5::image::off::function_flags] |= q5::image::kModelBitMask;
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

  std::mt19937 rng_;
  const Image valid_ = q5::image::encode(q5::image::Settings{});
};

// The answers of File > Open, by what the bytes call for: the log after the
// "Load data from" line, and the message box.
enum Outcome { kReadError, kChecksumError, kModelError, kLoaded };
// A read error's next line names the file and its size.
const QStringList kLines[] = {{"File read error"}, {}, {}, {"File loaded.OK !"}};
const QStringList kBoxes[] = {{}, {"checksum is error!"}, {"Model Error, please check..."}, {}};

Outcome expected_for(const Bytes& bytes, Image& image) {
  if (bytes.size() < q5::image::kImageSize) return kReadError;
  std::copy_n(bytes.begin(), image.size(), image.begin());
  if (q5::image::verify(image) != q5::image::ChecksumFault::none) return kChecksumError;
  return q5::image::model_bit(image) ? kModelError : kLoaded;
}

// The codec alone on every image: decoding never fails, and whatever it
// shows encodes to a sealed image (or reports a field it cannot convert:
// a frequency of nibbles above 9 is no number).
void check_pure_codec(const Image& image) {
  const q5::image::Settings shown = q5::image::decode(image);
  try {
    const Image again = q5::image::encode(shown);
    EXPECT_EQ(q5::image::verify(again), q5::image::ChecksumFault::none);
    EXPECT_EQ(q5::image::model_bit(again), shown.model == 1);
  } catch (const q5::ConversionError&) {
  }
}

// The one input file is rewritten for every input: in memory where the
// machine offers it, since on a disk that discards freed blocks each rewrite
// costs milliseconds.
QString scratch_template() {
  const QFileInfo shm("/dev/shm");
  return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath()) + "/q5-bad-input-XXXXXX";
}

using BadInputTest = WindowTest;

TEST_F(BadInputTest, OpenSurvivesAnyFileAndAnswersAsItsBytesSay) {
  const QTemporaryDir dir(scratch_template());
  const QString file = dir.filePath("input.eep");
  BadInputGenerator generator(0x5EED);
  int accepted_seen = 0, conversion_boxes = 0;
  int outcomes[4] = {};
  for (int n = 0; n < kInputs; ++n) {
    Bytes bytes = generator.next();
    Image image{};
    Outcome expect = expected_for(bytes, image);
    if (expect != kReadError) check_pure_codec(image);
    ASSERT_FALSE(HasFailure()) << "input " << n;
    if (expect == kLoaded && accepted_seen++ % kWindowEvery != 0) {
      bytes[255] = static_cast<std::uint8_t>(bytes[255] + 1);
      expect = kChecksumError;
    }
    ++outcomes[expect];
    ASSERT_TRUE(write_bytes(file, bytes));

    ui().Memo1->clear();
    prompts.clear();
    prompts.open_answers.push_back(file);
    ui().Open1->trigger();

    const QStringList lines = log();
    ASSERT_FALSE(lines.isEmpty()) << "input " << n;
    ASSERT_EQ(lines.constFirst(), "Load data from " + file) << "input " << n;
    ASSERT_EQ(prompts.messages, kBoxes[expect]) << "input " << n;
    if (expect != kLoaded) {
      QStringList expected = kLines[expect];
      if (expect == kReadError) {
        expected << file + ": " + QString::number(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes") +
                        ", a configuration file has 256";
      }
      ASSERT_EQ(lines.mid(1), expected) << "input " << n;
      continue;
    }
    // Warnings of the handlers the decode sets off may come first.
    ASSERT_EQ(lines.constLast(), "File loaded.OK !") << "input " << n;
    settle();  // the deferred refocusing of fields the image left out of range
    prompts.clear();
    window->guarded([this] { window->encode_image(); });
    if (!prompts.errors.isEmpty()) {
      ++conversion_boxes;  // a field the image filled with something that is no number
      continue;
    }
    ASSERT_EQ(q5::image::verify(window->image()), q5::image::ChecksumFault::none) << "input " << n;
    ASSERT_FALSE(q5::image::model_bit(window->image())) << "input " << n;
  }
  settle();

  // The mix reached every path, the window included.
  for (int count : outcomes) EXPECT_GT(count, 0);
  RecordProperty("shown_in_window", outcomes[kLoaded]);
  std::printf("%d inputs: %d read errors, %d checksum errors, %d model errors, %d shown in the window "
              "(%d of them then failed to encode with an error box)\n",
              kInputs, outcomes[kReadError], outcomes[kChecksumError], outcomes[kModelError], outcomes[kLoaded],
              conversion_boxes);
}

}  // namespace
