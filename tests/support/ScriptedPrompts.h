// Prompts answered from a script, recording every text asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/Prompts.h"

namespace wendlar::testing {

class ScriptedPrompts : public Prompts {
 public:
  // Answers for the questions, taken in order; when none is left Yes is assumed.
  std::deque<bool> Answers;
  // Paths for file and folder choosers, in order; when none is left the chooser is cancelled.
  std::deque<std::string> Paths;
  // Every text shown, in order, prefixed by its kind ("warning: ", "yes/cancel: ", ...).
  std::vector<std::string> Asked;

  void Warning(const std::string& text) override;
  bool AskYesCancel(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskRunAnyway(const std::string& text) override;
  std::optional<std::string> OpenFile(const FileDialog& dialog) override;
  std::optional<std::string> SaveFile(const FileDialog& dialog) override;
  std::optional<std::string> BrowseDirectory(const std::string& title, const std::string& start) override;

  // The file dialogs shown, in order.
  std::vector<FileDialog> Dialogs;

 private:
  bool NextAnswer();
  std::optional<std::string> NextPath();
};

}  // namespace wendlar::testing
