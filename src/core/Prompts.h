// The modal-question seam: warnings, confirmations and file choosers.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>

namespace wendlar {

struct FileDialog {
  std::string Title;
  std::string Filter;      // "Name|*.ext|Other|*.x", as the program documents them
  std::string FileName;    // initial name, e.g. "*.NC"
  std::string DefaultExt;  // without the dot
  std::string InitialDir;
  bool ConfirmOverwrite = false;
};

// Qt answers these with real dialogs; tests answer from a script and record every text.
class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual void Warning(const std::string& text) = 0;
  // True on Yes.
  virtual bool AskYesCancel(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  // The chosen path, or nothing on Cancel.
  virtual std::optional<std::string> OpenFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> BrowseDirectory(const std::string& title, const std::string& start) = 0;
};

// Nobody is there to answer: every question means No, and warnings go to `warnings` (when
// given) with `prefix` before them.
class UnattendedPrompts : public Prompts {
 public:
  explicit UnattendedPrompts(std::ostream* warnings = nullptr, std::string prefix = {})
      : warnings_(warnings), prefix_(std::move(prefix)) {}
  void Warning(const std::string& text) override {
    if (warnings_ != nullptr) *warnings_ << prefix_ << text << "\n";
  }
  bool AskYesCancel(const std::string&) override { return false; }
  bool AskYesNo(const std::string&) override { return false; }
  std::optional<std::string> OpenFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> BrowseDirectory(const std::string&, const std::string&) override { return std::nullopt; }

 private:
  std::ostream* warnings_;
  std::string prefix_;
};

}  // namespace wendlar
