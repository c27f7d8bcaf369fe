#include "toolkit/pgs/CueDrawing.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <memory>

#include "toolkit/Process.h"

namespace quillet::toolkit::pgs {
namespace {

// Qt's notes (a missing XDG_RUNTIME_DIR, ...) would mix with the slot's own messages;
// only its failures are told.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) Log("Qt: " + message.toStdString());
}

// Fonts need a GUI application; the toolkit has no display, so it gets the offscreen one.
void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  qInstallMessageHandler(QtMessages);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quillet-toolkit";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

QFont FontFor(const SubtitleStyle& style, const TextRun& run) {
  QFont font(QString::fromStdString(style.fontName));
  font.setPixelSize(style.fontSize);
  font.setItalic(run.italic);
  font.setBold(run.bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// A piece of a line in one style: a word with the blank after it.
struct Word {
  QString text;
  TextRun style;
  qreal width = 0;
};

std::vector<std::vector<Word>> WrapLine(const CueLine& line, const SubtitleStyle& style,
                                        qreal maxWidth) {
  std::vector<Word> words;
  for (const TextRun& run : line) {
    QFontMetricsF metrics(FontFor(style, run));
    QString text = QString::fromStdString(run.text);
    qsizetype at = 0;
    while (at < text.size()) {
      qsizetype blank = text.indexOf(' ', at);
      qsizetype end = blank < 0 ? text.size() : blank + 1;
      QString piece = text.mid(at, end - at);
      words.push_back({piece, run, metrics.horizontalAdvance(piece)});
      at = end;
    }
  }
  std::vector<std::vector<Word>> lines(1);
  qreal used = 0;
  for (Word& w : words) {
    qreal visible =
        w.width -
        (w.text.endsWith(' ') ? QFontMetricsF(FontFor(style, w.style)).horizontalAdvance(' ') : 0);
    if (!lines.back().empty() && used + visible > maxWidth) {
      lines.emplace_back();
      used = 0;
    }
    lines.back().push_back(w);
    used += w.width;
  }
  return lines;
}

QPainterPath LinePath(const std::vector<Word>& words, const SubtitleStyle& style) {
  QPainterPath path;
  qreal x = 0;
  for (const Word& w : words) {
    path.addText(x, 0, FontFor(style, w.style), w.text);
    x += w.width;
  }
  return path;
}

QImage DrawLines(const std::vector<QPainterPath>& lines, const SubtitleStyle& style) {
  QImage canvas(style.width, style.height, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal lineHeight = QFontMetricsF(FontFor(style, {})).lineSpacing();
  const qreal descent = QFontMetricsF(FontFor(style, {})).descent();
  qreal baseline = style.height - style.bottomOffset - descent - lineHeight * (lines.size() - 1);
  QPen outline(QColor(0, 0, 0, 255), 2.0 * style.border, Qt::SolidLine, Qt::RoundCap,
               Qt::RoundJoin);
  QColor fill = QColor::fromRgba(style.color);
  for (const QPainterPath& line : lines) {
    qreal width = line.boundingRect().right();
    qreal x = style.align == TextAlign::kLeft    ? style.width * 0.05
              : style.align == TextAlign::kRight ? style.width * 0.95 - width
                                                 : (style.width - width) / 2;
    QPainterPath placed = line.translated(std::round(x), std::round(baseline));
    if (style.border > 0) painter.strokePath(placed, outline);
    painter.fillPath(placed, fill);
    baseline += lineHeight;
  }
  painter.end();
  return canvas.convertToFormat(QImage::Format_ARGB32);
}

// The smallest rectangle holding every drawn pixel, grown to 8 x 8 within the canvas.
std::optional<QRect> DrawnArea(const QImage& image) {
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(row[x])) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  }
  if (right < 0) return std::nullopt;
  QRect area(QPoint(left, top), QPoint(right, bottom));
  if (area.width() < 8) area.setWidth(8);
  if (area.height() < 8) area.setHeight(8);
  area.moveRight(std::min(area.right(), image.width() - 1));
  area.moveBottom(std::min(area.bottom(), image.height() - 1));
  return area;
}

}  // namespace

std::optional<Bitmap> DrawCues(const std::vector<std::vector<CueLine>>& cues,
                               const SubtitleStyle& style) {
  EnsureGuiApplication();
  const qreal maxWidth = style.width * 0.9 - 2 * style.border;
  std::vector<QPainterPath> lines;
  // The latest cue on top, the earliest at the bottom.
  for (auto cue = cues.rbegin(); cue != cues.rend(); ++cue)
    for (const CueLine& line : *cue)
      for (const auto& wrapped : WrapLine(line, style, maxWidth))
        lines.push_back(LinePath(wrapped, style));
  if (lines.empty()) return std::nullopt;
  QImage image = DrawLines(lines, style);
  auto area = DrawnArea(image);
  if (!area) return std::nullopt;
  Bitmap bitmap;
  bitmap.x = area->x();
  bitmap.y = area->y();
  bitmap.width = area->width();
  bitmap.height = area->height();
  bitmap.argb.reserve(static_cast<size_t>(bitmap.width) * bitmap.height);
  for (int y = area->top(); y <= area->bottom(); ++y) {
    auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    bitmap.argb.insert(bitmap.argb.end(), row + area->left(), row + area->right() + 1);
  }
  return bitmap;
}

std::string ResolvedFontFamily(const SubtitleStyle& style) {
  EnsureGuiApplication();
  return QFontInfo(FontFor(style, {})).family().toStdString();
}

}  // namespace quillet::toolkit::pgs
