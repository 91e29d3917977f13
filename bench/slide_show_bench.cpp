// The whole program's slide show timed from inside: from each tick of the show's timer to
// the new picture painted, and the whole show at Interval=1, with and without pictures
// prepared ahead. Needs a display (run it under xvfb-run).
//   mirvane_slide_show_bench PHOTO_DIR [--whole-show]
#include <malloc.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/qt/image/qt_rastrel.h"
#include "image/error.h"
#include "image/read_picture.h"
#include "platform/qt/image/qt_host.h"
#include "platform/qt/qt_viewer.h"
#include "stats.h"

namespace {

namespace qt = mirvane::platform::qt;

class Names final : public mirvane::platform::CommandLine {
 public:
  explicit Names(std::string text) : text_(std::move(text)) {}
  std::string ArgumentText() const override { return text_; }

 private:
  std::string text_;
};

// Watches the show: when the timer ticks, when a slot has finished painting, and how long
// the user-interface thread stays away from its event loop (a 5 ms probe timer's lateness).
class Watch : public QObject {
 public:
  Watch(qt::QtViewer& viewer) : viewer_(viewer), clock_() {
    clock_.start();
    qApp->installEventFilter(this);
    probe_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe_, &QTimer::timeout, [this] {
      const double now = Ms();
      if (last_probe_ >= 0) busy.push_back(now - last_probe_ - kProbeMs);
      last_probe_ = now;
    });
    probe_.start(kProbeMs);
  }
  ~Watch() override { qApp->removeEventFilter(this); }

  double Ms() const { return clock_.nsecsElapsed() / 1e6; }

  std::vector<double> ticks;    // tick delivered
  std::vector<double> painted;  // paint of a slot finished, the first after each tick
  std::vector<double> busy;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    // The show's timer: the only single-shot precise QTimer (it is re-armed at each tick).
    const auto* timer = qobject_cast<QTimer*>(object);
    if (event->type() == QEvent::Timer && timer && timer->isSingleShot() &&
        timer->timerType() == Qt::PreciseTimer) {
      ticks.push_back(Ms());
      waiting_ = true;
    } else if (event->type() == QEvent::Paint && waiting_ &&
               (object == &viewer_.Form().Slot(0) || object == &viewer_.Form().Slot(1))) {
      // Paint here and now so that the time taken is the time the paint is done.
      object->event(event);
      painted.push_back(Ms());
      waiting_ = false;
      return true;
    }
    return false;
  }

 private:
  static constexpr int kProbeMs = 5;
  qt::QtViewer& viewer_;
  QElapsedTimer clock_;
  QTimer probe_;
  double last_probe_ = -1;
  bool waiting_ = false;
};

struct Run {
  std::vector<double> latency;  // tick to painted, per tick
  std::vector<double> gaps;     // between pictures painted
  std::vector<double> busy;
  double whole = 0;  // first tick to last picture painted
  double cpu = 0;    // processor time of the whole program over the show, all threads
};

double CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// One show in a fresh working folder: `names` at `interval`, the window's client area at
// `size` (or the default), until `ticks` ticks have been painted or the show stops.
Run Show(const std::vector<QString>& names, int interval, bool loop, std::optional<QSize> size,
         bool ahead, int ticks) {
  QTemporaryDir dir;
  const QString ini = QString("Loop=%1\r\nInterval=%2\r\nRotate=False\r\n")
                          .arg(loop ? "True" : "False")
                          .arg(interval);
  QFile file(dir.filePath("Mirvane.ini"));
  file.open(QIODevice::WriteOnly);
  file.write(ini.toLatin1());
  file.close();
  const QString home = QDir::currentPath();
  QDir::setCurrent(dir.path());
  std::string text;
  for (const QString& name : names) text += (text.empty() ? "" : " ") + name.toStdString();
  const Names command(text);
  Run run;
  {
    qt::QtViewer viewer(command);
    viewer.PrepareAhead(ahead);
    Watch watch(viewer);
    const double cpu_start = CpuMs();
    viewer.Start();
    if (size) viewer.Form().resize(*size);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      // Done, or a show that stopped: nothing more comes.
      if (static_cast<int>(watch.ticks.size()) >= ticks + 2 ||
          (!watch.ticks.empty() && watch.Ms() - watch.ticks.back() > 2000 + interval)) {
        qApp->quit();
      }
    });
    check.start(50);
    qApp->exec();
    run.cpu = CpuMs() - cpu_start;
    const std::size_t n = std::min(watch.ticks.size(), watch.painted.size());
    for (std::size_t i = 0; i < n; ++i) run.latency.push_back(watch.painted[i] - watch.ticks[i]);
    for (std::size_t i = 1; i < watch.painted.size(); ++i) {
      run.gaps.push_back(watch.painted[i] - watch.painted[i - 1]);
    }
    if (!watch.painted.empty()) run.whole = watch.painted.back() - watch.ticks.front();
    run.busy = watch.busy;
  }
  QDir::setCurrent(home);
  return run;
}

void Print(const char* what, const Run& run) {
  const Stats l = Of(run.latency), b = Of(run.busy);
  std::vector<double> off;
  for (double g : run.gaps) off.push_back(std::abs(g - 1500));
  const Stats g = Of(off);
  std::printf(
      "%-34s ticks %2zu  tick->painted ms: median %6.1f p99 %6.1f max %6.1f  |gap-1500| max %6.1f  "
      "UI busy max %6.1f\n",
      what, run.latency.size(), l.median, l.p99, l.max, g.max, b.max);
}

// Every picture timed from its tick, two loops of the set with a 300 MB file that is no
// picture among the names.
void TickToPainted(const std::vector<QString>& names) {
  QTemporaryDir junk_dir;
  const QString junk = junk_dir.filePath("junk-300mb.bin");
  {
    QFile f(junk);
    f.open(QIODevice::WriteOnly);
    const QByteArray block(1 << 20, '\x5a');
    for (int i = 0; i < 300; ++i) f.write(block);
  }
  std::vector<double> refusals;
  for (int i = 0; i < 20; ++i) {
    QElapsedTimer refuse;
    refuse.start();
    try {
      mirvane::image::ReadPicture(QFile::encodeName(junk).toStdString(), qt::QtHost());
    } catch (const mirvane::image::Error&) {
    }
    refusals.push_back(refuse.nsecsElapsed() / 1e6);
  }
  const Stats r = Of(refusals);
  std::printf(
      "300 MB non-picture refused in ms: median %.3f max %.3f \n",
      r.median, r.max);

  std::vector<QString> with_junk = names;
  with_junk.insert(with_junk.begin() + static_cast<std::ptrdiff_t>(with_junk.size() / 2), junk);
  const int two_loops = 2 * static_cast<int>(names.size());
  for (const bool ahead : {false, true}) {
    for (const auto& [label, size] :
         {std::pair<const char*, std::optional<QSize>>{"default window", std::nullopt},
          {"1920x1080", QSize(1920, 1080)}}) {
      const Run run = Show(with_junk, 1500, true, size, ahead, two_loops);
      Print((std::string(label) + (ahead ? ", prepared" : ", on the spot")).c_str(), run);
    }
  }
}

// The whole set at Interval=1, loop off: bound by decoding. The two ways alternate, so
// that other load on the machine weighs on both alike.
void WholeShow(const std::vector<QString>& names) {
  std::vector<double> wholes[2], busy[2], cpu[2];
  for (int i = 0; i < 5; ++i) {
    for (const int ahead : {0, 1}) {
      const Run run =
          Show(names, 1, false, std::nullopt, ahead == 1, static_cast<int>(names.size()));
      wholes[ahead].push_back(run.whole);
      busy[ahead].push_back(Of(run.busy).max);
      cpu[ahead].push_back(run.cpu);
    }
  }
  for (const int ahead : {0, 1}) {
    std::printf(
        "Interval=1, whole show of %zu photos, %-11s: median of 5 %5.0f ms (best %5.0f), "
        "processor time %5.0f ms, UI busy max %4.0f ms\n",
        names.size(), ahead ? "prepared" : "on the spot", Of(wholes[ahead]).median,
        *std::min_element(wholes[ahead].begin(), wholes[ahead].end()), Of(cpu[ahead]).median,
        Of(busy[ahead]).median);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  mallopt(M_MMAP_THRESHOLD, 1 << 20);  // as the program does
  mallopt(M_ARENA_MAX, 1);
  QApplication app(argc, argv);
  QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PHOTO_DIR [--whole-show]\n", argv[0]);
    return 2;
  }
  const QDir photos(argv[1]);
  std::vector<QString> names;
  for (const QString& f : photos.entryList({"*.jpg", "*.png"}, QDir::Files, QDir::Name)) {
    names.push_back(photos.absoluteFilePath(f));
  }
  if (names.empty()) return 1;
  if (argc < 3 || QByteArray(argv[2]) != "--whole-show") TickToPainted(names);
  WholeShow(names);
  return 0;
}
