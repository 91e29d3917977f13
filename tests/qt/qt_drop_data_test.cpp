#include <gtest/gtest.h>

#include <QMimeData>
#include <QUrl>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/qt/qt_command_line.h"
#include "platform/qt/qt_drop_data.h"

namespace mirvane::platform::qt {
namespace {

TEST(QtDropData, OffersTheLocalFilesInOrderExactlyAsNamed) {
  const struct {
    const char* what;
    std::vector<QUrl> urls;
    std::vector<std::string> files;
  } cases[] = {
      {"one file", {QUrl::fromLocalFile("/tmp/a.png")}, {"/tmp/a.png"}},
      {"blanks and non-ASCII letters",
       {QUrl::fromLocalFile(QString::fromUtf8("/tmp/a b/写真 1.png")),
        QUrl::fromLocalFile("/tmp/ lead and trail ")},
       {"/tmp/a b/写真 1.png", "/tmp/ lead and trail "}},
      {"percent-encoded", {QUrl::fromEncoded("file:///tmp/x%20y%25.jpg")}, {"/tmp/x y%.jpg"}},
      {"bytes that are not UTF-8",
       {QUrl::fromEncoded("file:///tmp/caf%E9%20%FF.png")},
       {"/tmp/caf\xe9 \xff.png"}},
      {"a folder counts like a file",
       {QUrl::fromLocalFile("/tmp/dir/"), QUrl::fromLocalFile("/tmp/b.gif")},
       {"/tmp/dir/", "/tmp/b.gif"}},
      {"remote ones are skipped",
       {QUrl("https://example.com/a.png"), QUrl::fromLocalFile("/tmp/1.png"),
        QUrl("ftp://host/b.png"), QUrl::fromLocalFile("/tmp/2.png")},
       {"/tmp/1.png", "/tmp/2.png"}},
      {"remote only", {QUrl("https://example.com/a.png"), QUrl("http://h/b.jpg")}, {}},
      {"no URLs", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QMimeData mime;
    mime.setUrls(QList<QUrl>(c.urls.begin(), c.urls.end()));
    const QtDropData data(mime);
    EXPECT_EQ(data.GetFormat(kFileListFormat), !c.files.empty());
    EXPECT_FALSE(data.GetFormat(1));
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(data.Files(static_cast<std::int16_t>(i + 1)), c.files[i]);
    }
    EXPECT_THROW(data.Files(static_cast<std::int16_t>(c.files.size() + 1)), Error);
    EXPECT_THROW(data.Files(0), Error);
    EXPECT_THROW(data.Files(-1), Error);
  }
}

TEST(QtDropData, TextIsNoFileList) {
  QMimeData mime;
  mime.setText("/tmp/a.png");
  const QtDropData data(mime);
  EXPECT_FALSE(data.GetFormat(kFileListFormat));
  EXPECT_THROW(data.Files(1), Error);
}

TEST(QtCommandLine, JoinsTheArgumentsAfterTheProgramName) {
  const struct {
    std::vector<const char*> argv;
    std::string text;
  } cases[] = {
      {{"mirvane"}, ""},
      {{}, ""},
      {{"mirvane", "a.png"}, "a.png"},
      {{"mirvane", "a b.png", "c.png"}, "a b.png c.png"},
      {{"mirvane", "-style", "fusion", "--", "-platform"}, "-style fusion -- -platform"},
      {{"mirvane", "", "x"}, " x"},
      {{"mirvane", "\xe5\x86\x99\xe7\x9c\x9f.jpg", "\xff\xfe"},
       "\xe5\x86\x99\xe7\x9c\x9f.jpg \xff\xfe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<const char*> argv = c.argv;
    argv.push_back(nullptr);
    const QtCommandLine command(static_cast<int>(c.argv.size()), argv.data());
    EXPECT_EQ(command.ArgumentText(), c.text);
  }
}

}  // namespace
}  // namespace mirvane::platform::qt
