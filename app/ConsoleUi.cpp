// PLACEHOLDER: replaced by the start-up work.
#include "app/ConsoleUi.h"
namespace quillet {
ConsoleUi::ConsoleUi(std::ostream& err) : err_(err) {}
int ConsoleUi::MsgBox(const std::string& text, int, const std::string& title) {
  err_ << title << ": " << text << "\n";
  return MsgResult::kOk;
}
std::string ConsoleUi::OpenFile(const OpenFileRequest&) {
  return "";
}
std::string ConsoleUi::BrowseForFolder(const std::string&) {
  return "";
}
void ConsoleUi::Repaint() {}
void ConsoleUi::Sleep(int) {}
}  // namespace quillet
