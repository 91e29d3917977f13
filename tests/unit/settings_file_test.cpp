#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "fakes.h"
#include "viewer/menu_entries.h"
#include "viewer/settings_io.h"

namespace mirvane::settings {
namespace {

Settings Read(const std::string& content, Settings start = {}) {
  ReadSettings(content, start);
  return start;
}

std::uint16_t IntervalOf(const std::string& content) {
  Settings settings;
  settings.Interval = 1234;  // the reader never falls back to what was there
  ReadSettings(content, settings);
  return settings.Interval;
}

struct IntervalCase {
  std::string value;
  std::uint16_t interval;
};

void PrintTo(const IntervalCase& c, std::ostream* os) { *os << testing::PrintToString(c.value); }

class IntervalValueTest : public testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalValueTest, ValuePartGivesInterval) {
  EXPECT_EQ(IntervalOf("Interval=" + GetParam().value + "\r\n"), GetParam().interval)
      << "value: [" << GetParam().value << "]";
}

INSTANTIATE_TEST_SUITE_P(Table, IntervalValueTest,
                         testing::Values(IntervalCase{"750", 750}, IntervalCase{" 750", 750},
                                         IntervalCase{"750ms", 750}, IntervalCase{"2.5", 2},
                                         IntervalCase{"3.5", 4}, IntervalCase{"0.6", 1},
                                         IntervalCase{"0.5", 2000}, IntervalCase{"0", 2000},
                                         IntervalCase{"-5", 2000}, IntervalCase{"abc", 2000},
                                         IntervalCase{"", 2000}, IntervalCase{"1", 1},
                                         IntervalCase{"32767", 32767}, IntervalCase{"32768", 32768},
                                         IntervalCase{"65535", 65535}, IntervalCase{"65536", 65535},
                                         IntervalCase{"1e9", 65535}, IntervalCase{"1e999", 65535},
                                         IntervalCase{"1000=2000", 1000}));

TEST(ReadSettings, KeysAreExactAndUntrimmed) {
  for (const char* line : {"interval=500", " Interval=500", "Interval =500", "INTERVAL=500", "=500",
                           "Interval500", "loop=True", "Loop =True", " Rotate=True"}) {
    const Settings read = Read(std::string(line) + "\r\n");
    EXPECT_EQ(read.Interval, kDefaultInterval) << line;
    EXPECT_FALSE(read.Loop) << line;
    EXPECT_FALSE(read.Rotate) << line;
  }
}

TEST(ReadSettings, LaterLineWins) {
  EXPECT_EQ(IntervalOf("Interval=500\r\nInterval=700\r\n"), 700);
  EXPECT_EQ(IntervalOf("Interval=500\r\nInterval=0\r\n"), 2000);
  EXPECT_TRUE(Read("Loop=False\r\nLoop=True\r\n").Loop);
}

TEST(ReadSettings, LineOrderDoesNotMatter) {
  const Settings a = Read("Rotate=True\r\nInterval=900\r\nLoop=True\r\n");
  const Settings b = Read("Loop=True\r\nInterval=900\r\nRotate=True\r\n");
  EXPECT_TRUE(a.Loop && a.Rotate && b.Loop && b.Rotate);
  EXPECT_EQ(a.Interval, 900);
  EXPECT_EQ(b.Interval, 900);
}

TEST(ReadSettings, LineEnds) {
  const std::string body[] = {
      "Loop=True\nInterval=900\nRotate=True\n",                  // lone LF
      "Loop=True\rInterval=900\rRotate=True\r",                  // lone CR
      "Loop=True\r\nInterval=900\r\nRotate=True",                // no final line end
      "Loop=True\r\n\r\nInterval=900\r\n\nRotate=True\r\n\r\n",  // empty lines
      "Loop=True\r\r\nInterval=900\n\rRotate=True",              // mixed
  };
  for (const auto& content : body) {
    const Settings read = Read(content);
    EXPECT_TRUE(read.Loop);
    EXPECT_EQ(read.Interval, 900);
    EXPECT_TRUE(read.Rotate);
  }
}

TEST(ReadSettings, EmptyFileAndLinesWithoutEqualsChangeNothing) {
  Settings start;
  start.Loop = true;
  start.Interval = 777;
  for (const char* content : {"", "\r\n", "Loop\r\nInterval\r\nRotate", "garbage"}) {
    const Settings read = Read(content, start);
    EXPECT_TRUE(read.Loop) << content;
    EXPECT_EQ(read.Interval, 777) << content;
    EXPECT_FALSE(read.Rotate) << content;
  }
}

TEST(ReadSettings, BoolValues) {
  for (const char* value : {"True", "TRUE", "true", "1", "-2"}) {
    EXPECT_TRUE(Read(std::string("Loop=") + value).Loop) << value;
  }
  Settings on;
  on.Loop = on.Rotate = true;
  for (const char* value : {"False", "false", "0", "0.0"}) {
    EXPECT_FALSE(Read(std::string("Rotate=") + value, on).Rotate) << value;
  }
  // A value TextToBool rejects keeps what was there.
  for (const char* value : {"yes", "", "True ", " True", "on"}) {
    EXPECT_TRUE(Read(std::string("Loop=") + value, on).Loop) << value;
    EXPECT_FALSE(Read(std::string("Rotate=") + value).Rotate) << value;
  }
}

TEST(SettingsText, ExactBytes) {
  EXPECT_EQ(SettingsText({true, 2000, false}), "Loop=True\r\nInterval=2000\r\nRotate=False\r\n");
  EXPECT_EQ(SettingsText({false, 65535, true}), "Loop=False\r\nInterval=65535\r\nRotate=True\r\n");
}

TEST(SettingsFile, RoundTrip) {
  fakes::EventLog log;
  fakes::FakeFileSystem files(log);
  for (const Settings written :
       {Settings{true, 1, false}, Settings{false, 65535, true}, Settings{true, 32768, true},
        Settings{false, 2000, false}, Settings{false, 40000, false}}) {
    ASSERT_TRUE(SaveSettings(files, written));
    Settings read{!written.Loop, 5, !written.Rotate};
    LoadSettings(files, read);
    EXPECT_EQ(read.Loop, written.Loop);
    EXPECT_EQ(read.Interval, written.Interval);
    EXPECT_EQ(read.Rotate, written.Rotate);
  }
  EXPECT_EQ(files.contents.size(), 1u);
  EXPECT_TRUE(files.contents.count(kSettingsFileName));
}

TEST(SettingsFile, FailedWriteIsReported) {
  fakes::EventLog log;
  fakes::FakeFileSystem files(log);
  files.fail_writes = true;
  EXPECT_FALSE(SaveSettings(files, {}));
  EXPECT_TRUE(files.contents.empty());
}

TEST(SettingsFile, UnreadableFileLeavesDefaults) {
  fakes::EventLog log;
  fakes::FakeFileSystem files(log);
  files.existing.insert(kSettingsFileName);  // exists, but reading fails
  Settings settings{true, 900, false};
  LoadSettings(files, settings);
  EXPECT_TRUE(settings.Loop);
  EXPECT_EQ(settings.Interval, 2000);
}

TEST(SettingsFile, ContentIsIgnoredWhenTheFileDoesNotCountAsExisting) {
  fakes::EventLog log;
  fakes::FakeFileSystem files(log);
  files.contents[kSettingsFileName] = "Interval=500\r\n";  // say, a hidden file
  Settings settings;
  LoadSettings(files, settings);
  EXPECT_EQ(settings.Interval, 2000);
}

TEST(ViewerLoadSettings, AbsentFileKeepsCheckMarksAndSetsDefaultInterval) {
  fakes::Rig rig;
  rig.menu.checked = {viewer::SMenu_Loop, viewer::SMenu_Rotate};
  rig.state.Interval = 750;
  viewer::LoadSettings(rig.state, rig.Controls());
  EXPECT_EQ(rig.state.Interval, 2000);
  EXPECT_TRUE(rig.menu.checked.count(viewer::SMenu_Loop));
  EXPECT_TRUE(rig.menu.checked.count(viewer::SMenu_Rotate));
  EXPECT_EQ(rig.files.writes, 0);
}

TEST(ViewerLoadSettings, OneIntervalLineLeavesCheckMarks) {
  fakes::Rig rig;
  rig.menu.checked = {viewer::SMenu_Rotate};
  rig.files.Put(kSettingsFileName, "Interval=500\r\n");
  viewer::LoadSettings(rig.state, rig.Controls());
  EXPECT_EQ(rig.state.Interval, 500);
  EXPECT_FALSE(rig.menu.checked.count(viewer::SMenu_Loop));
  EXPECT_TRUE(rig.menu.checked.count(viewer::SMenu_Rotate));
}

TEST(ViewerSaveSettings, WritesCheckMarksAndInterval) {
  fakes::Rig rig;
  rig.menu.checked = {viewer::SMenu_Rotate};
  rig.state.Interval = 40000;
  viewer::SaveSettings(rig.state, rig.Controls());
  EXPECT_EQ(rig.files.contents[kSettingsFileName],
            "Loop=False\r\nInterval=40000\r\nRotate=True\r\n");
}

TEST(ViewerSaveSettings, FailedWriteIsSilent) {
  fakes::Rig rig;
  rig.files.fail_writes = true;
  rig.state.Interval = 2000;
  viewer::SaveSettings(rig.state, rig.Controls());
  EXPECT_EQ(rig.files.writes, 1);
  EXPECT_TRUE(rig.box.shown.empty());
}

}  // namespace
}  // namespace mirvane::settings
