// ContactSheet: one picture of up to 16 frames, tiled in rows at half size; pick() spreads the
// tiles evenly over the frames a grab wrote.
#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <vector>

class ContactSheet {
 public:
  static constexpr size_t kMaxTiles = 16;

  // The positions of up to kMaxTiles of `count` pictures, spread evenly, ascending, the first
  // picture always among them.
  static std::vector<size_t> pick(size_t count);

  // Adds a tile (at half size); pictures beyond kMaxTiles are ignored.
  void add(const QImage& picture);
  size_t tileCount() const { return m_tiles.size(); }
  // The sheet as one 8-bit grey image; null when no tile was offered.
  QImage compose() const;

 private:
  std::vector<QImage> m_tiles;
};
