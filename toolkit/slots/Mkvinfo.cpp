// MKVToolnix/mkvinfo.exe SOURCE -o REPORT
// Today's mkvinfo prints another layout and cannot print the old one, so the report is
// written from mkvmerge's identification in the classic layout the program parses.

#include <fstream>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Identification.h"
#include "toolkit/LegacyReport.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunMkvinfo(const SlotCall& call) {
  std::string source, report;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const std::string& a = call.args[i];
    if (a == "-o" || a == "--output") {
      if (i + 1 >= call.args.size()) {
        Log("-o needs a file name");
        return 2;
      }
      report = call.args[++i];
    } else if (a == "-v" || a == "--verbose") {
      // The classic report without -v is what the program reads; more detail is not kept.
    } else if (StartsWith(a, "-")) {
      Log("unknown option " + a);
      return 2;
    } else if (source.empty()) {
      source = a;
    } else {
      Log("more than one source file: " + a);
      return 2;
    }
  }
  if (source.empty()) {
    Log("usage: mkvinfo.exe SOURCE -o REPORT");
    return 2;
  }
  source = LocateInput(source);
  auto id = IdentifyFile(source);
  if (!id) return 1;
  if (!id->IsMatroska()) {
    Log(source + " is no Matroska file (" + id->containerType + ")");
    return 1;
  }
  auto firstBytes = ReadBytes(source, 65536);
  EbmlHead head = firstBytes ? ReadEbmlHead(*firstBytes) : EbmlHead{};
  std::string text = WriteLegacyReport(*id, head);

  if (report.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  Staging staging;
  std::string target = LocateOutput(report);
  std::string temp = staging.Add(target);
  if (temp.empty()) return 1;
  {
    std::ofstream out(temp, std::ios::binary);
    out << text;
    out.flush();
    if (!out) {
      Log("cannot write " + temp);
      return 1;
    }
  }
  if (!staging.Commit()) return 1;
  Log("report written to " + target);
  return 0;
}

}  // namespace quillet::toolkit
