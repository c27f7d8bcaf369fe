#include "toolkit/pgs/DrawingWorkers.h"

#include <chrono>

#include "toolkit/Process.h"
#include "toolkit/pgs/CueDrawing.h"

namespace quillet::toolkit::pgs {
namespace {

// Enough for a set seen again after the few around it; a picture is some 100 KB.
constexpr size_t kRemembered = 32;

DrawnCues Draw(const std::vector<std::string>& texts, const SubtitleStyle& style) {
  std::vector<std::vector<CueLine>> together;
  for (const std::string& text : texts) together.push_back(ParseCueMarkup(text));
  DrawnCues result;
  auto bitmap = DrawCues(together, style);
  if (!bitmap) return result;
  result.drawn = true;
  result.x = bitmap->x;
  result.y = bitmap->y;
  result.picture = QuantizeBitmap(*bitmap, style.height >= 720);
  return result;
}

}  // namespace

struct DrawingWorkers::Drawing {
  std::vector<std::string> texts;
  std::optional<DrawnCues> result;  // set under the workers' mutex
};

DrawingWorkers::DrawingWorkers(const SubtitleStyle& style, int threads) : style_(style) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

DrawingWorkers::~DrawingWorkers() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    waiting_.clear();
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

std::shared_ptr<DrawingWorkers::Drawing> DrawingWorkers::Request(std::vector<std::string> texts) {
  std::lock_guard lock(mutex_);
  if (auto seen = byTexts_.find(texts); seen != byTexts_.end()) {
    recent_.splice(recent_.begin(), recent_, seen->second);
    return seen->second->second;
  }
  auto drawing = std::make_shared<Drawing>();
  drawing->texts = texts;
  waiting_.push_back(drawing);
  Remember(texts, drawing);
  changed_.notify_all();
  return drawing;
}

void DrawingWorkers::Remember(const std::vector<std::string>& texts,
                              std::shared_ptr<Drawing> drawing) {
  recent_.emplace_front(texts, std::move(drawing));
  byTexts_[texts] = recent_.begin();
  if (recent_.size() > kRemembered) {
    byTexts_.erase(recent_.back().first);
    recent_.pop_back();
  }
}

const DrawnCues* DrawingWorkers::Await(const Drawing& drawing) {
  std::unique_lock lock(mutex_);
  // Woken now and then to see a stop while a large picture is drawn.
  while (!drawing.result)
    if (!changed_.wait_for(lock, std::chrono::milliseconds(100),
                           [&] { return drawing.result.has_value(); }) &&
        Interrupted())
      return nullptr;
  return &*drawing.result;
}

void DrawingWorkers::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return ending_ || !waiting_.empty(); });
    if (ending_) return;
    std::shared_ptr<Drawing> drawing = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    DrawnCues result = Draw(drawing->texts, style_);
    lock.lock();
    drawing->result = std::move(result);
    changed_.notify_all();
  }
}

}  // namespace quillet::toolkit::pgs
