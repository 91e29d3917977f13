#pragma once

#include <cstdint>
#include <string>

namespace mirvane::platform {

// One image display slot. Every operation may throw Error; Refit and the geometry
// and visibility puts never fail, with or without a picture.
class Rastrel {
 public:
  Rastrel() = default;
  Rastrel(const Rastrel&) = delete;
  Rastrel& operator=(const Rastrel&) = delete;
  virtual ~Rastrel() = default;

  // Names the file that the next Render shows.
  virtual void SourcePath(const std::string& name) = 0;
  // Reads the named file and shows its picture, fitted to the slot. On failure it
  // throws and the slot keeps what it showed before.
  virtual void Render() = 0;
  // Size of the picture as drawn (after turns), in pixels.
  virtual std::int32_t PictureHeight() const = 0;
  virtual std::int32_t PictureWidth() const = 0;
  // Turns the picture on view clockwise by `tenths_of_degree` (900: a quarter turn).
  virtual void Turn(std::int16_t tenths_of_degree) = 0;
  // Fits the picture to the slot's present size.
  virtual void Refit(std::int16_t mode) = 0;

  // Geometry in twips within the window's client area.
  virtual void Left(float twips) = 0;
  virtual void Top(float twips) = 0;
  virtual void Width(float twips) = 0;
  virtual void Height(float twips) = 0;
  virtual void Visible(bool on) = 0;
};

}  // namespace mirvane::platform
