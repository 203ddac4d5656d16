#include "ContactSheet.h"

#include <QtMath>
#include <algorithm>
#include <cstring>

namespace {
constexpr int kGap = 4;
constexpr int kBackground = 40;
}  // namespace

std::vector<size_t> ContactSheet::pick(size_t count) {
  const size_t tiles = std::min(count, kMaxTiles);
  std::vector<size_t> positions;
  for (size_t t = 0; t < tiles; ++t) {
    positions.push_back(t * count / tiles);
  }
  return positions;
}

void ContactSheet::add(const QImage& picture) {
  if (m_tiles.size() < kMaxTiles && !picture.isNull()) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    // Plain halving: Qt's smooth scaling would hand the work to its global thread pool.
    m_tiles.push_back(grey.scaled(std::max(1, grey.width() / 2), std::max(1, grey.height() / 2),
                                  Qt::KeepAspectRatio, Qt::FastTransformation));
  }
}

QImage ContactSheet::compose() const {
  if (m_tiles.empty()) {
    return QImage();
  }
  int tileWidth = 0;
  int tileHeight = 0;
  for (const QImage& tile : m_tiles) {
    tileWidth = std::max(tileWidth, tile.width());
    tileHeight = std::max(tileHeight, tile.height());
  }
  const int count = static_cast<int>(m_tiles.size());
  const int columns = static_cast<int>(qCeil(qSqrt(count)));
  const int rows = (count + columns - 1) / columns;
  QImage sheet(kGap + columns * (tileWidth + kGap), kGap + rows * (tileHeight + kGap),
               QImage::Format_Grayscale8);
  sheet.fill(kBackground);
  for (int i = 0; i < count; ++i) {
    const QImage& tile = m_tiles[static_cast<size_t>(i)];
    const int left = kGap + (i % columns) * (tileWidth + kGap);
    const int top = kGap + (i / columns) * (tileHeight + kGap);
    for (int y = 0; y < tile.height(); ++y) {
      std::memcpy(sheet.scanLine(top + y) + left, tile.constScanLine(y), static_cast<size_t>(tile.width()));
    }
  }
  return sheet;
}
