#include "support/ScriptedPrompts.h"

namespace wendlar::testing {

bool ScriptedPrompts::NextAnswer() {
  if (Answers.empty()) return true;
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedPrompts::NextPath() {
  if (Paths.empty()) return std::nullopt;
  std::string path = Paths.front();
  Paths.pop_front();
  return path;
}

void ScriptedPrompts::Warning(const std::string& text) { Asked.push_back("warning: " + text); }

bool ScriptedPrompts::AskYesCancel(const std::string& text) {
  Asked.push_back("yes/cancel: " + text);
  return NextAnswer();
}

bool ScriptedPrompts::AskRunAnyway(const std::string& text) {
  Asked.push_back("run anyway/cancel: " + text);
  return NextAnswer();
}

bool ScriptedPrompts::AskYesNo(const std::string& text) {
  Asked.push_back("yes/no: " + text);
  return NextAnswer();
}

std::optional<std::string> ScriptedPrompts::OpenFile(const FileDialog& dialog) {
  Asked.push_back("open: " + dialog.Title);
  Dialogs.push_back(dialog);
  return NextPath();
}

std::optional<std::string> ScriptedPrompts::SaveFile(const FileDialog& dialog) {
  Asked.push_back("save: " + dialog.Title);
  Dialogs.push_back(dialog);
  return NextPath();
}

std::optional<std::string> ScriptedPrompts::BrowseDirectory(const std::string& title, const std::string&) {
  Asked.push_back("browse: " + title);
  return NextPath();
}

}  // namespace wendlar::testing
