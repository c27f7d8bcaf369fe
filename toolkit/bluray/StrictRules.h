#pragma once
// What the strict reader reports: the rules a Blu-ray player holds a stream or a folder to
// that permissive readers (ffprobe, libbluray) let pass, each broken rule once per file with
// how often it broke and where first.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::toolkit::bluray {

// One broken rule, once per rule and file, with how often it broke.
struct BrokenRule {
  std::string rule;  // a stable id: "continuity", "parameter-sets", ... (toolkit/README.md)
  std::string file;  // relative to the folder ("BDMV/STREAM/00000.m2ts"), or the file name
  std::string text;  // one sentence with the first place and the count
  int count = 1;
};

struct StrictResult {
  bool readable = false;  // false: not a transport stream / no BDMV folder at all
  std::string problem;    // why not readable
  std::vector<BrokenRule> broken;
};

enum class StreamUse { kBluRayClip, kPlainStream };  // a clip of a folder; a .m2ts/.mpg/.ts file

// What the caller knows better than the bytes.
struct StrictOptions {
  // PIDs whose source named no language: "language" does not count them.
  std::vector<uint16_t> pidsWithoutLanguage;
};

// Collects the breaks of one file: the first break of a rule gives its sentence, later ones
// only count. Rules are reported in the order they first broke.
class RuleLog {
 public:
  explicit RuleLog(std::string file) : file_(std::move(file)) {}
  void Break(std::string_view rule, const std::string& first, int times = 1);
  // Counts one more break of a rule broken before, without a sentence; false (nothing
  // counted) when it is the first: a stream broken at every packet costs no text per packet.
  bool Again(std::string_view rule);
  // Replaces a rule's sentence once its count is known ("1105 of 1115 entries ...").
  void Retell(std::string_view rule, const std::string& text);
  int Count(std::string_view rule) const;
  // Appends the breaks to `out`; a rule broken more than once says how often.
  void MoveTo(std::vector<BrokenRule>* out);

 private:
  BrokenRule* Find(std::string_view rule);

  std::string file_;
  std::vector<BrokenRule> rules_;
  std::vector<bool> retold_;
};

}  // namespace quillet::toolkit::bluray
