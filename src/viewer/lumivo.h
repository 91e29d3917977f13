#pragma once

#include <cstdint>

#include "platform/drop_data.h"
#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// The main window: its state and the handlers the platform raises. The
// composition root forwards each platform event to the handler of that name.
class Lumivo {
 public:
  // Builds the popup menu's entries; nothing else happens until Form_Load.
  explicit Lumivo(const Controls& controls);
  Lumivo(const Lumivo&) = delete;
  Lumivo& operator=(const Lumivo&) = delete;

  void Form_Load();
  void Form_Resize();
  // Button: 1 left, 2 right, 4 middle.
  void Form_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void ImageControl_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                              float Y);
  void Form_OLEDragDrop(platform::DropData& Data, std::int32_t& Effect, std::int16_t Button,
                        std::int16_t Shift, float X, float Y);
  void Timer1_Timer();

  // Raises the handler of the popup entry `id` (a MenuEntry).
  void SMenu_Click(int id);
  void SMenu_Timer_Click();
  void SMenu_Loop_Click();
  void SMenu_Rotate_Click();
  void SMenu_BeforeImage_Click();
  void SMenu_NextImage_Click();
  void SMenu_Document_Click();
  void SMenu_Version_Click();
  void SMenu_End_Click();

  void ImageRotate(std::uint8_t& Index);

 private:
  // Tells the platform which pictures come next.
  void TellNext();

  Controls controls_;
  LumivoState state_;
};

}  // namespace mirvane::viewer
