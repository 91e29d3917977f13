#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <tuple>

#include "fakes.h"
#include "viewer/menu_entries.h"
#include "viewer/settings_io.h"

namespace mirvane::settings {
namespace {

auto Fields(const Settings& s) { return std::tuple(s.Loop, s.Interval, s.Rotate); }

TEST(ReadSettings, IntervalValues) {
  const struct {
    std::string value;
    std::uint16_t interval;
  } rows[] = {{"750", 750},     {" 750", 750},    {"750ms", 750},     {"2.5", 2},
              {"3.5", 4},       {"0.6", 1},       {"0.5", 2000},      {"0", 2000},
              {"-5", 2000},     {"abc", 2000},    {"", 2000},         {"1", 1},
              {"32767", 32767}, {"32768", 32768}, {"65535", 65535},   {"65536", 65535},
              {"1e9", 65535},   {"1e999", 65535}, {"1000=2000", 1000}};
  for (const auto& row : rows) {
    Settings read{false, 1234, false};  // the reader never falls back to what was there
    ReadSettings("Interval=" + row.value + "\r\n", read);
    EXPECT_EQ(Fields(read), Fields({false, row.interval, false})) << "[" << row.value << "]";
  }
}

TEST(ReadSettings, KeysLinesAndValues) {
  const Settings plain{false, 1234, false}, on{true, 1234, true}, kept{true, 777, false};
  const struct {
    std::string content;
    Settings start, read;
  } rows[] = {
      // Keys are exact and untrimmed.
      {"interval=500\r\n", plain, plain},
      {" Interval=500\r\n", plain, plain},
      {"Interval =500\r\n", plain, plain},
      {"INTERVAL=500\r\n", plain, plain},
      {"=500\r\n", plain, plain},
      {"Interval500\r\n", plain, plain},
      {"loop=True\r\n", plain, plain},
      {"Loop =True\r\n", plain, plain},
      {" Rotate=True\r\n", plain, plain},
      // A later line wins; order does not matter otherwise.
      {"Interval=500\r\nInterval=700\r\n", plain, {false, 700, false}},
      {"Interval=500\r\nInterval=0\r\n", plain, {false, 2000, false}},
      {"Loop=False\r\nLoop=True\r\n", plain, {true, 1234, false}},
      {"Rotate=True\r\nInterval=900\r\nLoop=True\r\n", plain, {true, 900, true}},
      {"Loop=True\r\nInterval=900\r\nRotate=True\r\n", plain, {true, 900, true}},
      // Line ends: lone LF, lone CR, none at the end, empty lines, mixed.
      {"Loop=True\nInterval=900\nRotate=True\n", plain, {true, 900, true}},
      {"Loop=True\rInterval=900\rRotate=True\r", plain, {true, 900, true}},
      {"Loop=True\r\nInterval=900\r\nRotate=True", plain, {true, 900, true}},
      {"Loop=True\r\n\r\nInterval=900\r\n\nRotate=True\r\n\r\n", plain, {true, 900, true}},
      {"Loop=True\r\r\nInterval=900\n\rRotate=True", plain, {true, 900, true}},
      // An empty file and lines without "=" change nothing.
      {"", kept, kept},
      {"\r\n", kept, kept},
      {"Loop\r\nInterval\r\nRotate", kept, kept},
      {"garbage", kept, kept},
      // Switch values.
      {"Loop=True", plain, {true, 1234, false}},
      {"Loop=TRUE", plain, {true, 1234, false}},
      {"Loop=true", plain, {true, 1234, false}},
      {"Loop=1", plain, {true, 1234, false}},
      {"Loop=-2", plain, {true, 1234, false}},
      {"Rotate=False", on, {true, 1234, false}},
      {"Rotate=false", on, {true, 1234, false}},
      {"Rotate=0", on, {true, 1234, false}},
      {"Rotate=0.0", on, {true, 1234, false}},
  };
  for (const auto& row : rows) {
    Settings read = row.start;
    ReadSettings(row.content, read);
    EXPECT_EQ(Fields(read), Fields(row.read)) << row.content;
  }
  // A value TextToBool rejects keeps what was there.
  for (const std::string value : {"yes", "", "True ", " True", "on"}) {
    for (const Settings& start : {plain, on}) {
      Settings read = start;
      ReadSettings("Loop=" + value + "\r\nRotate=" + value, read);
      EXPECT_EQ(Fields(read), Fields(start)) << value;
    }
  }
}

TEST(SettingsText, ExactBytes) {
  EXPECT_EQ(SettingsText({true, 2000, false}), "Loop=True\r\nInterval=2000\r\nRotate=False\r\n");
  EXPECT_EQ(SettingsText({false, 65535, true}), "Loop=False\r\nInterval=65535\r\nRotate=True\r\n");
}

class SettingsFileTest : public testing::Test {
 protected:
  fakes::EventLog log_;
  fakes::FakeFileSystem files_{log_};
};

TEST_F(SettingsFileTest, RoundTrip) {
  for (const Settings written :
       {Settings{true, 1, false}, Settings{false, 65535, true}, Settings{true, 32768, true},
        Settings{false, 2000, false}, Settings{false, 40000, false}}) {
    ASSERT_TRUE(SaveSettings(files_, written));
    Settings read{!written.Loop, 5, !written.Rotate};
    LoadSettings(files_, read);
    EXPECT_EQ(Fields(read), Fields(written));
  }
  EXPECT_EQ(files_.contents.size(), 1u);
  EXPECT_TRUE(files_.contents.count(kSettingsFileName));
}

TEST_F(SettingsFileTest, FailedWriteIsReported) {
  files_.fail_writes = true;
  EXPECT_FALSE(SaveSettings(files_, {}));
  EXPECT_TRUE(files_.contents.empty());
}

TEST_F(SettingsFileTest, UnreadableFileLeavesDefaults) {
  files_.existing.insert(kSettingsFileName);  // exists, but reading fails
  Settings settings{true, 900, false};
  LoadSettings(files_, settings);
  EXPECT_TRUE(settings.Loop);
  EXPECT_EQ(settings.Interval, 2000);
}

TEST_F(SettingsFileTest, ContentIsIgnoredWhenTheFileDoesNotCountAsExisting) {
  files_.contents[kSettingsFileName] = "Interval=500\r\n";  // say, a hidden file
  Settings settings;
  LoadSettings(files_, settings);
  EXPECT_EQ(settings.Interval, 2000);
}

TEST(ViewerSettings, LoadKeepsCheckMarksWithoutTheirLines) {
  for (const bool present : {false, true}) {
    fakes::Rig rig;
    const std::set<int> marks = present ? std::set<int>{viewer::SMenu_Rotate}
                                        : std::set<int>{viewer::SMenu_Loop, viewer::SMenu_Rotate};
    rig.menu.checked = marks;
    rig.state.Interval = 750;
    if (present) rig.files.Put(kSettingsFileName, "Interval=500\r\n");
    viewer::LoadSettings(rig.state, rig.Controls());
    EXPECT_EQ(rig.state.Interval, present ? 500 : 2000);  // absent: the default
    EXPECT_EQ(rig.menu.checked, marks);
    EXPECT_EQ(rig.files.writes, 0);
  }
}

TEST(ViewerSettings, SaveWritesCheckMarksAndIntervalAndFailsSilently) {
  for (const bool failing : {false, true}) {
    fakes::Rig rig;
    rig.menu.checked = {viewer::SMenu_Rotate};
    rig.state.Interval = 40000;
    rig.files.fail_writes = failing;
    viewer::SaveSettings(rig.state, rig.Controls());
    EXPECT_EQ(rig.files.writes, 1);
    EXPECT_EQ(rig.files.contents[kSettingsFileName],
              failing ? "" : "Loop=False\r\nInterval=40000\r\nRotate=True\r\n");
    EXPECT_TRUE(rig.box.shown.empty());
  }
}

}  // namespace
}  // namespace mirvane::settings
