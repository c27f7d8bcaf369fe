#include "toolkit/pgs/CueDrawing.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "toolkit/Process.h"
#include "toolkit/pgs/TextBorder.h"

namespace quillet::toolkit::pgs {
namespace {

// Qt's notes (a missing XDG_RUNTIME_DIR, ...) would mix with the slot's own messages;
// only its failures are told.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) Log("Qt: " + message.toStdString());
}

// Fonts need a GUI application; the toolkit has no display, so it gets the offscreen one.
// Made once on the main thread (ResolvedFontFamily), before any drawing thread starts.
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

// A laid-out line: Qt's glyph runs and where they go.
struct LaidLine {
  QList<QGlyphRun> runs;
  QRectF ink;     // the glyphs' box, from the pen's start on the baseline
  QPointF shift;  // from the layout's coordinates to the pen's start, later to the canvas
};

// The line's glyphs measured from the leftmost drawn glyph's pen position, whatever the
// line's direction, and its baseline.
LaidLine Measure(const QTextLine& line) {
  LaidLine laid{line.glyphRuns(), {}, {}};
  qreal penStart = std::numeric_limits<qreal>::max();
  QRectF ink;
  for (const QGlyphRun& run : laid.runs) {
    const QRawFont font = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
      const QRectF box = font.boundingRect(glyphs[i]);
      if (box.isEmpty()) continue;  // a blank
      penStart = std::min(penStart, positions[i].x());
      ink |= box.translated(positions[i]);
    }
  }
  if (ink.isEmpty()) return {};
  laid.shift = -QPointF(penStart, line.y() + line.ascent());
  laid.ink = ink.translated(laid.shift);
  return laid;
}

// A cue line laid out by Qt: right-to-left scripts in their order, letters shaped, the
// markup's italic and bold as formats, wrapped where Unicode allows a break (between
// ideographs, at blanks), anywhere in a word that has no break and is too wide.
std::vector<LaidLine> LayOut(const CueLine& cueLine, const SubtitleStyle& style, qreal maxWidth) {
  QString text;
  QList<QTextLayout::FormatRange> formats;
  for (const TextRun& run : cueLine) {
    QString piece = QString::fromStdString(run.text);
    QTextLayout::FormatRange range{
        static_cast<int>(text.size()), static_cast<int>(piece.size()), {}};
    range.format.setFont(FontFor(style, run));
    formats.push_back(range);
    text += piece;
  }
  QTextLayout layout(text, FontFor(style, {}));
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTextDirection(Qt::LayoutDirectionAuto);
  option.setUseDesignMetrics(true);
  layout.setTextOption(option);
  layout.setFormats(formats);
  layout.beginLayout();
  qreal y = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(maxWidth);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout.endLayout();
  std::vector<LaidLine> lines;
  for (int i = 0; i < layout.lineCount(); ++i)
    if (LaidLine laid = Measure(layout.lineAt(i)); !laid.runs.isEmpty())
      lines.push_back(std::move(laid));
  return lines;
}

// The lines moved to their place on the canvas: centred (or aligned), stacked so that the
// last one's descent ends at the bottom offset.
void Place(std::vector<LaidLine>& lines, const SubtitleStyle& style) {
  const QFontMetricsF metrics(FontFor(style, {}));
  qreal baseline = style.height - style.bottomOffset - metrics.descent() -
                   metrics.lineSpacing() * (lines.size() - 1);
  for (LaidLine& line : lines) {
    qreal x = style.align == TextAlign::kLeft    ? style.width * 0.05
              : style.align == TextAlign::kRight ? style.width * 0.95 - line.ink.right()
                                                 : (style.width - line.ink.right()) / 2;
    const QPointF place(std::round(x), std::round(baseline));
    line.shift += place;
    line.ink.translate(place);
    baseline += metrics.lineSpacing();
  }
}

// How much of each pixel of `region` the glyphs cover, 0 to 255, row after row. Qt draws
// them from its glyph cache, each at its fraction of a pixel.
std::vector<uint8_t> Coverage(const std::vector<LaidLine>& lines, const QRect& region) {
  QImage mask(region.size(), QImage::Format_Alpha8);
  mask.fill(0);
  QPainter painter(&mask);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::black);
  for (const LaidLine& line : lines)
    for (const QGlyphRun& run : line.runs) painter.drawGlyphRun(line.shift - region.topLeft(), run);
  painter.end();
  std::vector<uint8_t> coverage;
  coverage.reserve(static_cast<size_t>(region.width()) * region.height());
  for (int y = 0; y < mask.height(); ++y)
    coverage.insert(coverage.end(), mask.constScanLine(y), mask.constScanLine(y) + mask.width());
  return coverage;
}

// The smallest rectangle of the canvas holding every drawn pixel of `argb` (which covers
// `region`), grown to 8 x 8 within the canvas.
std::optional<QRect> DrawnArea(const std::vector<uint32_t>& argb, const QRect& region,
                               const QSize& canvas) {
  int left = region.width(), right = -1, top = region.height(), bottom = -1;
  for (int y = 0; y < region.height(); ++y)
    for (int x = 0; x < region.width(); ++x)
      if (qAlpha(argb[static_cast<size_t>(y) * region.width() + x])) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  if (right < 0) return std::nullopt;
  QRect area = QRect(QPoint(left, top), QPoint(right, bottom)).translated(region.topLeft());
  if (area.width() < 8) area.setWidth(8);
  if (area.height() < 8) area.setHeight(8);
  area.moveRight(std::min(area.right(), canvas.width() - 1));
  area.moveBottom(std::min(area.bottom(), canvas.height() - 1));
  return area;
}

}  // namespace

std::optional<Bitmap> DrawCues(const std::vector<std::vector<CueLine>>& cues,
                               const SubtitleStyle& style) {
  EnsureGuiApplication();
  const qreal maxWidth = style.width * 0.9 - 2 * style.border;
  std::vector<LaidLine> lines;
  // The latest cue on top, the earliest at the bottom.
  for (auto cue = cues.rbegin(); cue != cues.rend(); ++cue)
    for (const CueLine& line : *cue)
      for (LaidLine& wrapped : LayOut(line, style, maxWidth)) lines.push_back(std::move(wrapped));
  if (lines.empty()) return std::nullopt;
  Place(lines, style);
  // Only the lines' box is drawn: with room around it for the border, smoothed edges,
  // glyphs leaning beyond their boxes (a slanted italic) and the 8 x 8 that decoders want.
  QRectF ink;
  for (const LaidLine& line : lines) ink |= line.ink;
  const int margin = style.border + 8 + style.fontSize / 4;
  const QRect canvas(0, 0, style.width, style.height);
  const QRect region = ink.toAlignedRect().adjusted(-margin, -margin, margin, margin) & canvas;
  if (region.isEmpty()) return std::nullopt;
  const std::vector<uint32_t> argb =
      BorderedText(Coverage(lines, region), region.width(), style.border, style.color);
  auto area = DrawnArea(argb, region, canvas.size());
  if (!area) return std::nullopt;
  Bitmap bitmap;
  bitmap.x = area->x();
  bitmap.y = area->y();
  bitmap.width = area->width();
  bitmap.height = area->height();
  bitmap.argb.reserve(static_cast<size_t>(bitmap.width) * bitmap.height);
  const QRect local = area->translated(-region.topLeft());
  for (int y = local.top(); y <= local.bottom(); ++y) {
    auto row = argb.begin() + static_cast<ptrdiff_t>(y) * region.width();
    bitmap.argb.insert(bitmap.argb.end(), row + local.left(), row + local.right() + 1);
  }
  return bitmap;
}

std::string ResolvedFontFamily(const SubtitleStyle& style) {
  EnsureGuiApplication();
  return QFontInfo(FontFor(style, {})).family().toStdString();
}

}  // namespace quillet::toolkit::pgs
