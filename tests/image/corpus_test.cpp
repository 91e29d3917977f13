// Walks the shared image corpus: every valid, non-exotic picture of the formats we
// read must draw; every file must draw or be refused, quickly and without a crash.
#include <gtest/gtest.h>
#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <map>

#include "corpus_files.h"
#include "image/fit.h"
#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"

namespace mirvane::platform::qt {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
// Well beyond any honest decode here; a file that takes longer is treated as a hang.
// The sanitizers' allocator slows the many frames of a long animation several times.
constexpr qint64 kHangMs = kSanitized ? 6000 : 2000;

const QStringList kReadFormats = {"bmp", "jpeg", "png", "gif", "tiff", "webp", "pcx"};

struct Counts {
  int drawn = 0, refused = 0;
};

void Walk(const QString& root, const QSet<QString>& exotic, std::map<QString, Counts>& counts) {
  QtRastrel slot;
  slot.resize(459, 303);  // the default window's slot
  QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString relative = QDir(root).relativeFilePath(path);
    if (relative == "README.md") continue;
    const QString folder = relative.section('/', 0, 1);
    SCOPED_TRACE(relative.toStdString());
    slot.SourcePath(QFile::encodeName(path).toStdString());
    QElapsedTimer timer;
    timer.start();
    bool drawn = true;
    std::string why;
    try {
      slot.Render();
    } catch (const Error& e) {
      drawn = false;
      why = e.what();
    }
    EXPECT_LT(timer.elapsed(), kHangMs);
    ++(drawn ? counts[folder].drawn : counts[folder].refused);
    const bool must_draw = relative.startsWith("valid/") && !exotic.contains(relative) &&
                           kReadFormats.contains(relative.section('/', 1, 1));
    if (must_draw) {
      EXPECT_TRUE(drawn) << "valid picture refused: " << why;
      EXPECT_GT(slot.PictureWidth(), 0);
    }
    if (drawn) {
      // What is on view is the picture fitted to the slot, not a size with nothing in it.
      const auto fitted =
          mirvane::image::FittedSize({slot.PictureWidth(), slot.PictureHeight()}, slot.Box());
      EXPECT_EQ(slot.Shown().size(), QSize(fitted.width, fitted.height));
      slot.Turn(900);
      slot.Refit(0);
    }
  }
}

TEST(ImageCorpus, DrawsValidAndSurvivesCorrupt) {
  // MIRVANE_CORPUS points elsewhere, e.g. at a corpus kept outside the checkout.
  const QString corpus = qEnvironmentVariable("MIRVANE_CORPUS", MIRVANE_CORPUS_DIR);
  if (!QDir(corpus).exists()) {
    // On a developer's machine the corpus is optional; CI must not go green without it.
    if (!qEnvironmentVariableIsEmpty("CI")) FAIL() << "no corpus at " << corpus.toStdString();
    GTEST_SKIP() << "no corpus at " << corpus.toStdString();
  }
  std::map<QString, Counts> counts;
  Walk(corpus, test::ExoticCorpusFiles(corpus), counts);
  const bool drew_any = std::any_of(counts.begin(), counts.end(), [](const auto& entry) {
    return entry.first.startsWith("valid/") && entry.second.drawn > 0;
  });
  EXPECT_TRUE(drew_any) << "no valid picture drawn from " << corpus.toStdString();
  for (const auto& [folder, c] : counts) {
    std::printf("%-16s drawn %4d  refused %4d\n", qPrintable(folder), c.drawn, c.refused);
  }
}

TEST(ImageCorpus, RegressionCasesSurvive) {
  std::map<QString, Counts> counts;
  Walk(MIRVANE_REGRESSIONS_DIR, {}, counts);
}

}  // namespace
}  // namespace mirvane::platform::qt
