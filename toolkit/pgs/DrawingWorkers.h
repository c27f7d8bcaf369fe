#pragma once
// Sets of cues drawn and reduced to their palette on worker threads while the caller goes
// on reading and writing. A set whose texts were drawn lately is not drawn again: the
// last few dozen drawings are kept for the same texts shown again.

#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/pgs/PgsBitmap.h"
#include "toolkit/pgs/SubtitleStyle.h"

namespace quillet::toolkit::pgs {

// A set of cues as the stream needs it: placed on the canvas and reduced to a palette.
struct DrawnCues {
  bool drawn = false;  // false when the cues have no text to show
  int x = 0, y = 0;
  IndexedBitmap picture;
};

class DrawingWorkers {
 public:
  struct Drawing;  // one set of texts, drawn or on its way

  // The caller must have started Qt (ResolvedFontFamily) on its own thread.
  DrawingWorkers(const SubtitleStyle& style, int threads);
  ~DrawingWorkers();  // drops the drawings not begun and waits for those under way

  // The texts of the cues seen together, the earliest first.
  std::shared_ptr<Drawing> Request(std::vector<std::string> texts);
  // Waits until it is drawn; nullptr when a stop signal came (Interrupted()) first.
  const DrawnCues* Await(const Drawing& drawing);

 private:
  void Work();
  void Remember(const std::vector<std::string>& texts, std::shared_ptr<Drawing> drawing);

  SubtitleStyle style_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Drawing>> waiting_;
  bool ending_ = false;
  // The latest drawings, the most recently asked first.
  using Recent = std::list<std::pair<std::vector<std::string>, std::shared_ptr<Drawing>>>;
  Recent recent_;
  std::map<std::vector<std::string>, Recent::iterator> byTexts_;
  std::vector<std::thread> threads_;
};

}  // namespace quillet::toolkit::pgs
