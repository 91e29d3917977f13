#include "fakes.h"

#include <cstdio>

#include "platform/error.h"

namespace mirvane::fakes {
namespace {

// Geometry values are whole twips in every test; print them without a fraction.
std::string Number(float value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
  return buffer;
}

}  // namespace

std::vector<std::string> EventLog::Effects() const {
  std::vector<std::string> effects;
  for (const auto& entry : entries) {
    const std::string head = entry.substr(0, entry.find(' '));
    if (head.empty() || head.back() != '?') effects.push_back(entry);
  }
  return effects;
}

std::vector<std::string> EventLog::Starting(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& entry : entries) {
    if (entry.compare(0, prefix.size(), prefix) == 0) found.push_back(entry);
  }
  return found;
}

std::vector<std::string> EventLog::Only(const std::vector<std::string>& prefixes) const {
  std::vector<std::string> found;
  for (const auto& entry : entries) {
    for (const auto& prefix : prefixes) {
      if (entry.compare(0, prefix.size(), prefix) == 0) {
        found.push_back(entry);
        break;
      }
    }
  }
  return found;
}

void FakeWindow::Caption(const std::string& text) {
  log_.Add("caption " + text);
  caption = text;
}

std::int16_t FakeWindow::WindowState() const {
  log_.Add("form.WindowState?");
  return state;
}

float FakeWindow::Width() const {
  log_.Add("form.Width?");
  return width;
}

float FakeWindow::Height() const {
  log_.Add("form.Height?");
  return height;
}

void FakeWindow::Unload() {
  log_.Add("form.Unload");
  unloaded = true;
}

void FakeTimer::Interval(std::uint16_t milliseconds) {
  log_.Add("timer.Interval " + std::to_string(milliseconds));
  interval = milliseconds;
}

void FakeTimer::Enabled(bool on) {
  log_.Add(std::string("timer.Enabled ") + (on ? "1" : "0"));
  enabled = on;
}

void FakePopupMenu::AddEntry(int id, const std::string& caption) {
  log_.Add("menu.AddEntry " + std::to_string(id) + " " + caption);
  entries.emplace_back(id, caption);
}

bool FakePopupMenu::Checked(int id) const {
  log_.Add("menu.Checked? " + std::to_string(id));
  return checked.count(id) != 0;
}

void FakePopupMenu::Checked(int id, bool on) {
  log_.Add("menu.Checked " + std::to_string(id) + (on ? " 1" : " 0"));
  if (on) {
    checked.insert(id);
  } else {
    checked.erase(id);
  }
}

void FakePopupMenu::Popup() {
  log_.Add("menu.Popup");
  ++popups;
}

void FakeMessageBox::MsgBox(const std::string& text, platform::MessageKind kind,
                            const std::string& title) {
  const int number = static_cast<int>(kind);
  log_.Add("msgbox " + std::to_string(number) + " " + title + " " + text);
  shown.push_back({text, number, title});
}

std::string FakeTextBox::Text() const {
  log_.Add(name_ + ".Text?");
  return text;
}

void FakeTextBox::Text(const std::string& value) {
  log_.Add(name_ + ".Text " + value);
  text = value;
}

void FakeIntervalDialog::Show(platform::IntervalDialogEvents& events) {
  log_.Add("dialog.Show");
  std::vector<DialogAction> script;
  if (!scripts_.empty()) {
    script = std::move(scripts_.front());
    scripts_.erase(scripts_.begin());
  }
  shown = true;
  box_.text.clear();  // created afresh at each opening
  events.Form_Load();
  loaded_text = box_.text;
  for (const DialogAction& action : script) {
    if (!shown) break;
    switch (action.kind) {
      case DialogAction::Type:
        box_.Text(action.text);
        break;
      case DialogAction::Ok:
        events.OK_Click();
        break;
      case DialogAction::Cancel:
        events.Cancel_Click();
        break;
    }
  }
  if (shown) {
    log_.Add("dialog.Close");
    shown = false;
  }
}

void FakeIntervalDialog::Unload() {
  log_.Add("dialog.Unload");
  shown = false;
}

bool FakeDropData::GetFormat(int format) const {
  log_.Add("drop.GetFormat? " + std::to_string(format));
  if (format_throws) throw platform::Error("GetFormat");
  return has_file_list && format == platform::kFileListFormat;
}

std::string FakeDropData::Files(std::int16_t number) const {
  log_.Add("drop.Files? " + std::to_string(number));
  if (failing_fetch == number) throw platform::Error("fetch failed");
  if (number < 1 || static_cast<std::size_t>(number) > names.size()) {
    throw platform::Error("no such file number");
  }
  return names[static_cast<std::size_t>(number) - 1];
}

bool FakeFileSystem::FileExists(const std::string& name) const {
  log_.Add("fs.FileExists? " + name);
  return existing.count(name) != 0;
}

std::optional<std::string> FakeFileSystem::ReadTextFile(const std::string& name) const {
  log_.Add("fs.ReadTextFile? " + name);
  const auto found = contents.find(name);
  if (found == contents.end()) return std::nullopt;
  return found->second;
}

bool FakeFileSystem::WriteTextFile(const std::string& name, const std::string& content) {
  log_.Add("fs.WriteTextFile " + name);
  ++writes;
  if (fail_writes) return false;
  contents[name] = content;
  existing.insert(name);
  return true;
}

void FakeFileSystem::Put(const std::string& name, const std::string& content) {
  contents[name] = content;
  existing.insert(name);
}

std::string FakeCommandLine::ArgumentText() const {
  log_.Add("cmd.ArgumentText?");
  return text;
}

void FakeRastrel::Record(const std::string& operation, const std::string& value) const {
  std::string key = operation;
  if (key.back() == '?') key.pop_back();
  const bool fails =
      failing.count(key) != 0 || (operation == "Render" && unreadable.count(source) != 0);
  std::string entry = name_ + "." + operation;
  if (!value.empty()) entry += " " + value;
  if (fails) entry += " !";
  log_.Add(entry);
  if (fails) throw platform::Error(name_ + "." + operation);
}

void FakeRastrel::SourcePath(const std::string& name) {
  Record("SourcePath", name);
  source = name;
}

void FakeRastrel::Render() {
  Record("Render");
  rendered = source;
}

std::int32_t FakeRastrel::PictureHeight() const {
  Record("PictureHeight?");
  return picture_height;
}

std::int32_t FakeRastrel::PictureWidth() const {
  Record("PictureWidth?");
  return picture_width;
}

void FakeRastrel::Turn(std::int16_t tenths_of_degree) {
  Record("Turn", std::to_string(tenths_of_degree));
  ++turns;
}

void FakeRastrel::Refit(std::int16_t mode) { Record("Refit", std::to_string(mode)); }

void FakeRastrel::Left(float twips) {
  Record("Left", Number(twips));
  left = twips;
}

void FakeRastrel::Top(float twips) {
  Record("Top", Number(twips));
  top = twips;
}

void FakeRastrel::Width(float twips) {
  Record("Width", Number(twips));
  width = twips;
}

void FakeRastrel::Height(float twips) {
  Record("Height", Number(twips));
  height = twips;
}

void FakeRastrel::Visible(bool on) {
  Record("Visible", on ? "1" : "0");
  visible = on;
}

Rig::Rig() = default;

viewer::Controls Rig::Controls() {
  return {form, {&slot0, &slot1}, timer, argument, menu, box, dialog, files, command};
}

void Rig::List(const std::vector<std::string>& names) {
  state.FileCount = 0;
  for (const auto& name : names) {
    state.FileList[++state.FileCount] = name;
    files.existing.insert(name);
  }
  state.CurrentIndex = 0;
}

void Rig::Unreadable(const std::string& name) {
  slot0.unreadable.insert(name);
  slot1.unreadable.insert(name);
}

}  // namespace mirvane::fakes
