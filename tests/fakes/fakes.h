#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/drop_data.h"
#include "platform/file_system.h"
#include "platform/interval_dialog.h"
#include "platform/message_box.h"
#include "platform/popup_menu.h"
#include "platform/rastrel.h"
#include "platform/text_box.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "viewer/controls.h"
#include "viewer/state.h"

// Recording fakes of the platform interfaces. All of them write into one shared,
// ordered log so that a test can assert the order of calls across objects.
// Effects are logged as "object.Operation value"; a read's first word ends in "?".
namespace mirvane::fakes {

struct EventLog {
  std::vector<std::string> entries;

  void Add(std::string entry) { entries.push_back(std::move(entry)); }
  void Clear() { entries.clear(); }
  // The entries without the reads.
  std::vector<std::string> Effects() const;
  // The entries that begin with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) const;
  // The entries that begin with any of `prefixes`, in log order.
  std::vector<std::string> Only(const std::vector<std::string>& prefixes) const;
  std::size_t Count(const std::string& prefix) const { return Starting(prefix).size(); }
};

class FakeWindow : public platform::Window {
 public:
  explicit FakeWindow(EventLog& log) : log_(log) {}
  void Caption(const std::string& text) override;
  std::int16_t WindowState() const override;
  float Width() const override;
  float Height() const override;
  void Unload() override;

  std::string caption = "Mirvane";
  std::int16_t state = 0;
  float width = 7245;
  float height = 5400;
  bool unloaded = false;

 private:
  EventLog& log_;
};

class FakeTimer : public platform::Timer {
 public:
  explicit FakeTimer(EventLog& log) : log_(log) {}
  void Interval(std::uint16_t milliseconds) override;
  void Enabled(bool on) override;

  std::uint16_t interval = 0;
  bool enabled = true;  // a timer is created enabled

 private:
  EventLog& log_;
};

class FakePopupMenu : public platform::PopupMenu {
 public:
  explicit FakePopupMenu(EventLog& log) : log_(log) {}
  void AddEntry(int id, const std::string& caption) override;
  bool Checked(int id) const override;
  void Checked(int id, bool on) override;
  void Popup() override;

  std::vector<std::pair<int, std::string>> entries;
  std::set<int> checked;
  int popups = 0;

 private:
  EventLog& log_;
};

struct Message {
  std::string text;
  int kind;
  std::string title;
};

class FakeMessageBox : public platform::MessageBox {
 public:
  explicit FakeMessageBox(EventLog& log) : log_(log) {}
  void MsgBox(const std::string& text, platform::MessageKind kind,
              const std::string& title) override;

  std::vector<Message> shown;

 private:
  EventLog& log_;
};

class FakeTextBox : public platform::TextBox {
 public:
  FakeTextBox(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  std::string Text() const override;
  void Text(const std::string& text) override;

  std::string text;

 private:
  EventLog& log_;
  std::string name_;
};

// One user action in the interval dialog.
struct DialogAction {
  enum Kind { Type, Ok, Cancel } kind;
  std::string text;

  static DialogAction Typed(std::string text) { return {Type, std::move(text)}; }
  static DialogAction PressOk() { return {Ok, {}}; }
  static DialogAction PressCancel() { return {Cancel, {}}; }
};

// Show raises Form_Load, then plays the next queued script until Unload is called.
// A script that runs out before Unload is a close through the title bar.
class FakeIntervalDialog : public platform::IntervalDialog {
 public:
  explicit FakeIntervalDialog(EventLog& log) : log_(log), box_(log, "dialog.TimerInterval") {}
  void Show(platform::IntervalDialogEvents& events) override;
  platform::TextBox& TimerInterval() override { return box_; }
  void Unload() override;

  void Script(std::vector<DialogAction> actions) { scripts_.push_back(std::move(actions)); }
  // What the text box held right after Form_Load of the latest opening.
  std::string loaded_text;
  bool shown = false;

 private:
  EventLog& log_;
  FakeTextBox box_;
  std::vector<std::vector<DialogAction>> scripts_;
};

class FakeDropData : public platform::DropData {
 public:
  explicit FakeDropData(EventLog& log) : log_(log) {}
  bool GetFormat(int format) const override;
  std::string Files(std::int16_t number) const override;

  bool has_file_list = true;
  bool format_throws = false;
  std::vector<std::string> names;
  // A fetch of this number throws although the name exists.
  std::optional<std::int16_t> failing_fetch;

 private:
  EventLog& log_;
};

// Files held in memory. FileExists answers from `existing`; writing a file adds it.
class FakeFileSystem : public platform::FileSystem {
 public:
  explicit FakeFileSystem(EventLog& log) : log_(log) {}
  bool FileExists(const std::string& name) const override;
  std::optional<std::string> ReadTextFile(const std::string& name) const override;
  bool WriteTextFile(const std::string& name, const std::string& content) override;

  // A readable, existing file.
  void Put(const std::string& name, const std::string& content);

  std::set<std::string> existing;
  std::map<std::string, std::string> contents;
  bool fail_writes = false;
  int writes = 0;

 private:
  EventLog& log_;
};

class FakeCommandLine : public platform::CommandLine {
 public:
  explicit FakeCommandLine(EventLog& log) : log_(log) {}
  std::string ArgumentText() const override;

  std::string text;

 private:
  EventLog& log_;
};

// One image slot. An operation named in `failing` ("Render", "PictureHeight", ...)
// throws after it is logged with " !" appended; Render throws too when the source
// path is in `unreadable`.
class FakeRastrel : public platform::Rastrel {
 public:
  FakeRastrel(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void SourcePath(const std::string& name) override;
  void Render() override;
  std::int32_t PictureHeight() const override;
  std::int32_t PictureWidth() const override;
  void Turn(std::int16_t tenths_of_degree) override;
  void Refit(std::int16_t mode) override;
  void Left(float twips) override;
  void Top(float twips) override;
  void Width(float twips) override;
  void Height(float twips) override;
  void Visible(bool on) override;

  std::set<std::string> failing;
  std::set<std::string> unreadable;
  std::string source;
  std::string rendered;
  std::int32_t picture_width = 800;
  std::int32_t picture_height = 600;
  bool visible = true;  // both slots are visible at creation
  float left = 0, top = 0, width = 0, height = 0;
  int turns = 0;

 private:
  void Record(const std::string& operation, const std::string& value = {}) const;

  EventLog& log_;
  std::string name_;
};

// One fake of each interface, the main window's state, and the Controls over them.
struct Rig {
  Rig();
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  viewer::Controls Controls();
  // Fills the list with `names` and makes each an existing file.
  void List(const std::vector<std::string>& names);
  // Render fails for `name` in both slots.
  void Unreadable(const std::string& name);

  EventLog log;
  FakeWindow form{log};
  FakeRastrel slot0{log, "slot0"};
  FakeRastrel slot1{log, "slot1"};
  FakeTimer timer{log};
  FakeTextBox argument{log, "argument"};
  FakePopupMenu menu{log};
  FakeMessageBox box{log};
  FakeIntervalDialog dialog{log};
  FakeFileSystem files{log};
  FakeCommandLine command{log};
  viewer::LumivoState state;
};

}  // namespace mirvane::fakes
