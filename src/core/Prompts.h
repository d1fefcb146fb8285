// The modal-question seam: warnings, confirmations and file choosers.
#pragma once

#include <optional>
#include <string>

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
  // A warning with "Run anyway" and "Cancel" (the default); true on Run anyway.
  virtual bool AskRunAnyway(const std::string& text) { return AskYesCancel(text); }
  // The chosen path, or nothing on Cancel.
  virtual std::optional<std::string> OpenFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> BrowseDirectory(const std::string& title, const std::string& start) = 0;
};

}  // namespace wendlar
