#include "fakes.h"

#include <cstdio>
#include <cstdlib>

#include "platform/error.h"

namespace mirvane::fakes {

void EventLog::Add(std::string entry) {
  if (entries.size() >= 1000000) {
    std::fputs("EventLog: more than a million calls; the code under test runs away\n", stderr);
    std::abort();
  }
  entries.push_back(std::move(entry));
}

std::vector<std::string> EventLog::Effects() const {
  std::vector<std::string> effects;
  for (const auto& entry : entries) {
    const std::string head = entry.substr(0, entry.find(' '));
    if (head.empty() || head.back() != '?') effects.push_back(entry);
  }
  return effects;
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

std::vector<std::string> Listed(const viewer::LumivoState& state) {
  return {state.FileList.begin() + 1, state.FileList.begin() + 1 + state.FileCount};
}

void FakePopupMenu::AddEntry(int id, const std::string& caption) {
  log_.Add("menu.AddEntry " + std::to_string(id) + " " + caption);
  entries.emplace_back(id, caption);
}

void FakePopupMenu::Checked(int id, bool on) {
  log_.Add("menu.Checked " + std::to_string(id) + " " + Flag(on));
  if (on) {
    checked.insert(id);
  } else {
    checked.erase(id);
  }
}

void FakeMessageBox::MsgBox(const std::string& text, platform::MessageKind kind,
                            const std::string& title) {
  const int number = static_cast<int>(kind);
  log_.Add("msgbox " + std::to_string(number) + " " + title + " " + text);
  shown.push_back({text, number, title});
}

void FakeIntervalDialog::Show(platform::IntervalDialogEvents& events) {
  log_.Add("dialog.Show");
  std::vector<DialogAction> script;
  if (!scripts_.empty()) {
    script = std::move(scripts_.front());
    scripts_.erase(scripts_.begin());
  }
  shown_ = true;
  box_.text.clear();  // created afresh at each opening
  events.Form_Load();
  loaded_text = box_.text;
  for (const DialogAction& action : script) {
    if (!shown_) break;
    if (action.kind == DialogAction::Type) box_.Text(action.text);
    if (action.kind == DialogAction::Ok) events.OK_Click();
    if (action.kind == DialogAction::Cancel) events.Cancel_Click();
  }
  if (shown_) Store("dialog.Close", shown_, false);
}

bool FakeDropData::GetFormat(int format) const {
  log_.Add("drop.GetFormat? " + std::to_string(format));
  if (format_throws) throw platform::Error("GetFormat");
  return has_file_list && format == platform::kFileListFormat;
}

std::string FakeDropData::Files(std::int16_t number) const {
  log_.Add("drop.Files? " + std::to_string(number));
  if (failing_fetch == number || number < 1 || static_cast<std::size_t>(number) > names.size()) {
    throw platform::Error("fetch failed");
  }
  return names[static_cast<std::size_t>(number) - 1];
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
  Put(name, content);
  return true;
}

void FakeFileSystem::Put(const std::string& name, const std::string& content) {
  contents[name] = content;
  existing.insert(name);
}

// Geometry values are whole twips in every test; print them without a fraction.
std::string FakeRastrel::Number(float value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
  return buffer;
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

void Rig::List(const std::vector<std::string>& names) {
  state.FileCount = 0;
  for (const auto& name : names) {
    state.FileList[++state.FileCount] = name;
    files.existing.insert(name);
  }
  state.CurrentIndex = 0;
}

}  // namespace mirvane::fakes
