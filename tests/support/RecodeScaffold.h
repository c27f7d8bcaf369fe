#pragma once
// A TsScaffold for the recodes (Xvid AVI, MPEG-2) and the subtitle pre-mux: the AVI
// muxer reads its script as the real one does, the Matroska muxer writes the copy with
// the subtitle file, and the muxer script template lies beside the AVI muxer.

#include <string>
#include <vector>

#include "tests/support/TsScaffold.h"

namespace quillet::test {

// A template as shipped: the loads from the placeholder folder, the size line, options
// the program copies unchanged, the end marker and a line after it.
inline const std::vector<std::string> kTemplateLines = {"CLEAR",
                                                        R"(LOAD D:\QUILLET\movie.avi)",
                                                        R"(LOAD D:\QUILLET\movie.ac3)",
                                                        "SELECT FILE 1",
                                                        "ADD VIDEOSOURCE",
                                                        "WITH SET OPTION",
                                                        "MAXFILESIZE size",
                                                        "d:\\quillet\\ stays as it is",
                                                        "END WITH",
                                                        "ENDOFFILE",
                                                        "LOAD D:\\QUILLET\\after.avi"};

struct RecodeScaffold : TsScaffold {
  // ReadyTs(audio) with the AVI muxer, its template and the Matroska muxer in place.
  void ReadyRecode(AudioType audio = kAudioAC3);
  // Writes the template from `lines`, each ended by `lineEnd`.
  void WriteTemplate(const std::vector<std::string>& lines, const std::string& lineEnd = "\r\n");
  std::string TemplatePath() const;

  // Xvid: "Re-encode" ticked with the list at "Xvid"; MPEG-2: at "MPEG2".
  void Xvid();
  void Mpeg2();
  // A subtitle track of the source chosen in the list: rows "eng" srt 3, "fre" ASS 4.
  void ChooseSourceSubtitle(int index);

  // The script as the AVI muxer read it on its last run.
  std::string muxedScript;
  // The Matroska muxer's copies: each "-o" file it wrote.
  std::vector<std::string> remuxed;
};

}  // namespace quillet::test
