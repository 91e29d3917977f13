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
#include "platform/next_pictures.h"
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

  // Aborts past a million calls, so that code which runs away fails instead of hanging.
  void Add(std::string entry);
  void Clear() { entries.clear(); }
  // The entries without the reads.
  std::vector<std::string> Effects() const;
  // The entries that begin with any of `prefixes`, in log order.
  std::vector<std::string> Only(const std::vector<std::string>& prefixes) const;
  std::vector<std::string> Starting(const std::string& prefix) const { return Only({prefix}); }
  std::size_t Count(const std::string& prefix) const { return Starting(prefix).size(); }
};

// The names in the list, FileList[1] to FileList[FileCount].
std::vector<std::string> Listed(const viewer::LumivoState& state);

// Logs each call, then reads or stores the value.
class Recorder {
 public:
  explicit Recorder(EventLog& log) : log_(log) {}

 protected:
  template <typename T>
  T Read(std::string entry, const T& value) const {
    log_.Add(std::move(entry));
    return value;
  }
  template <typename T, typename V>
  void Store(std::string entry, T& field, const V& value) {
    log_.Add(std::move(entry));
    field = value;
  }

  EventLog& log_;
};

inline std::string Flag(bool on) { return on ? "1" : "0"; }

class FakeWindow : public platform::Window, Recorder {
 public:
  using Recorder::Recorder;
  void Caption(const std::string& text) override { Store("caption " + text, caption, text); }
  std::int16_t WindowState() const override { return Read("form.WindowState?", state); }
  float Width() const override { return Read("form.Width?", width); }
  float Height() const override { return Read("form.Height?", height); }
  void Unload() override { log_.Add("form.Unload"); }

  std::string caption = "Mirvane";
  std::int16_t state = 0;
  float width = 7245;
  float height = 5400;
};

class FakeTimer : public platform::Timer, Recorder {
 public:
  using Recorder::Recorder;
  void Interval(std::uint16_t ms) override {
    Store("timer.Interval " + std::to_string(ms), interval, ms);
  }
  void Enabled(bool on) override { Store("timer.Enabled " + Flag(on), enabled, on); }

  std::uint16_t interval = 0;
  bool enabled = true;  // a timer is created enabled
};

class FakePopupMenu : public platform::PopupMenu, Recorder {
 public:
  using Recorder::Recorder;
  void AddEntry(int id, const std::string& caption) override;
  bool Checked(int id) const override {
    return Read("menu.Checked? " + std::to_string(id), checked.count(id) != 0);
  }
  void Checked(int id, bool on) override;
  void Popup() override { log_.Add("menu.Popup"); }

  std::vector<std::pair<int, std::string>> entries;
  std::set<int> checked;
};

struct Message {
  std::string text;
  int kind;
  std::string title;
};

class FakeMessageBox : public platform::MessageBox, Recorder {
 public:
  using Recorder::Recorder;
  void MsgBox(const std::string& text, platform::MessageKind kind,
              const std::string& title) override;

  std::vector<Message> shown;
};

class FakeTextBox : public platform::TextBox, Recorder {
 public:
  FakeTextBox(EventLog& log, std::string name) : Recorder(log), name_(std::move(name)) {}
  std::string Text() const override { return Read(name_ + ".Text?", text); }
  void Text(const std::string& value) override { Store(name_ + ".Text " + value, text, value); }

  std::string text;

 private:
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
class FakeIntervalDialog : public platform::IntervalDialog, Recorder {
 public:
  explicit FakeIntervalDialog(EventLog& log) : Recorder(log), box_(log, "dialog.TimerInterval") {}
  void Show(platform::IntervalDialogEvents& events) override;
  platform::TextBox& TimerInterval() override { return box_; }
  void Unload() override { Store("dialog.Unload", shown_, false); }

  void Script(std::vector<DialogAction> actions) { scripts_.push_back(std::move(actions)); }
  // What the text box held right after Form_Load of the latest opening.
  std::string loaded_text;

 private:
  FakeTextBox box_;
  std::vector<std::vector<DialogAction>> scripts_;
  bool shown_ = false;
};

class FakeDropData : public platform::DropData, Recorder {
 public:
  using Recorder::Recorder;
  bool GetFormat(int format) const override;
  std::string Files(std::int16_t number) const override;

  bool has_file_list = true;
  bool format_throws = false;
  std::vector<std::string> names;
  // A fetch of this number throws although the name exists.
  std::optional<std::int16_t> failing_fetch;
};

// Files held in memory. FileExists answers from `existing`; writing a file adds it.
class FakeFileSystem : public platform::FileSystem, Recorder {
 public:
  using Recorder::Recorder;
  bool FileExists(const std::string& name) const override {
    return Read("fs.FileExists? " + name, existing.count(name) != 0);
  }
  std::optional<std::string> ReadTextFile(const std::string& name) const override;
  bool WriteTextFile(const std::string& name, const std::string& content) override;

  // A readable, existing file.
  void Put(const std::string& name, const std::string& content);

  std::set<std::string> existing;
  std::map<std::string, std::string> contents;
  bool fail_writes = false;
  int writes = 0;
};

class FakeCommandLine : public platform::CommandLine, Recorder {
 public:
  using Recorder::Recorder;
  std::string ArgumentText() const override { return Read("cmd.ArgumentText?", text); }

  std::string text;
};

// Keeps what it is told in its own list, apart from the shared log: telling it is no
// call whose order the design fixes.
class FakeNextPictures : public platform::NextPictures {
 public:
  void Expect(const platform::Upcoming& next) noexcept override { told.push_back(next); }

  std::vector<platform::Upcoming> told;
};

// One image slot. An operation named in `failing` ("Render", "PictureHeight", ...)
// throws after it is logged with " !" appended; Render throws too when the source
// path is in `unreadable`.
class FakeRastrel : public platform::Rastrel {
 public:
  FakeRastrel(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void SourcePath(const std::string& name) override { Set("SourcePath", name, source, name); }
  void Render() override { Record("Render"); }
  std::int32_t PictureHeight() const override { return Get("PictureHeight?", picture_height); }
  std::int32_t PictureWidth() const override { return Get("PictureWidth?", picture_width); }
  void Turn(std::int16_t tenths) override { Set("Turn", std::to_string(tenths), turns, turns + 1); }
  void Refit(std::int16_t mode) override { Record("Refit", std::to_string(mode)); }
  void Left(float twips) override { Set("Left", Number(twips), left, twips); }
  void Top(float twips) override { Set("Top", Number(twips), top, twips); }
  void Width(float twips) override { Set("Width", Number(twips), width, twips); }
  void Height(float twips) override { Set("Height", Number(twips), height, twips); }
  void Visible(bool on) override { Set("Visible", Flag(on), visible, on); }

  std::set<std::string> failing;
  std::set<std::string> unreadable;
  std::string source;
  std::int32_t picture_width = 800;
  std::int32_t picture_height = 600;
  bool visible = true;  // both slots are visible at creation
  float left = 0, top = 0, width = 0, height = 0;
  int turns = 0;

 private:
  static std::string Number(float value);
  void Record(const std::string& operation, const std::string& value = {}) const;
  template <typename T>
  T Get(const std::string& operation, T value) const {
    Record(operation);
    return value;
  }
  template <typename T, typename V>
  void Set(const std::string& operation, const std::string& value, T& field, const V& v) {
    Record(operation, value);
    field = v;
  }

  EventLog& log_;
  std::string name_;
};

// One fake of each interface, the main window's state, and the Controls over them.
struct Rig {
  Rig() = default;
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  viewer::Controls Controls() {
    return {form, {&slot0, &slot1}, timer, argument, menu, box, dialog, files, command, next};
  }
  // Fills the list with `names` and makes each an existing file.
  void List(const std::vector<std::string>& names);
  // Render fails for `name` in both slots.
  void Unreadable(const std::string& name) {
    for (FakeRastrel* slot : {&slot0, &slot1}) slot->unreadable.insert(name);
  }

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
  FakeNextPictures next;
  viewer::LumivoState state;
};

}  // namespace mirvane::fakes
