#include "viewer/lumivo.h"

#include "viewer/commands.h"
#include "viewer/drop.h"
#include "viewer/layout.h"
#include "viewer/menu_entries.h"
#include "viewer/next_names.h"
#include "viewer/presentation.h"
#include "viewer/slide_show.h"
#include "viewer/start_up.h"

namespace mirvane::viewer {

Lumivo::Lumivo(const Controls& controls) : controls_(controls) { BuildMenu(controls_.SMenu); }

void Lumivo::Form_Load() {
  viewer::Form_Load(state_, controls_);
  TellNext();
}

void Lumivo::Form_Resize() {
  viewer::Form_Resize(controls_, state_.Seen);
  TellNext();
}

void Lumivo::Form_MouseDown(std::int16_t Button, std::int16_t, float, float) {
  viewer::Form_MouseDown(controls_, Button);
}

void Lumivo::ImageControl_MouseDown(std::int16_t, std::int16_t Button, std::int16_t Shift, float X,
                                    float Y) {
  Form_MouseDown(Button, Shift, X, Y);
}

void Lumivo::Form_OLEDragDrop(platform::DropData& Data, std::int32_t&, std::int16_t, std::int16_t,
                              float, float) {
  viewer::Form_OLEDragDrop(state_, controls_, Data);
  TellNext();
}

void Lumivo::Timer1_Timer() {
  viewer::Timer1_Timer(state_, controls_);
  TellNext();
}

void Lumivo::SMenu_Click(int id) {
  switch (id) {
    case SMenu_Timer:
      SMenu_Timer_Click();
      break;
    case SMenu_Loop:
      SMenu_Loop_Click();
      break;
    case SMenu_Rotate:
      SMenu_Rotate_Click();
      break;
    case SMenu_BeforeImage:
      SMenu_BeforeImage_Click();
      break;
    case SMenu_NextImage:
      SMenu_NextImage_Click();
      break;
    case SMenu_Document:
      SMenu_Document_Click();
      break;
    case SMenu_Version:
      SMenu_Version_Click();
      break;
    case SMenu_End:
      SMenu_End_Click();
      break;
    default:
      break;  // separators raise nothing
  }
}

void Lumivo::SMenu_Timer_Click() { viewer::SMenu_Timer_Click(state_, controls_); }
void Lumivo::SMenu_Loop_Click() {
  viewer::SMenu_Loop_Click(state_, controls_);
  TellNext();
}

void Lumivo::SMenu_Rotate_Click() {
  viewer::SMenu_Rotate_Click(state_, controls_);
  TellNext();
}

void Lumivo::SMenu_BeforeImage_Click() {
  viewer::SMenu_BeforeImage_Click(state_, controls_);
  TellNext();
}

void Lumivo::SMenu_NextImage_Click() {
  viewer::SMenu_NextImage_Click(state_, controls_);
  TellNext();
}

void Lumivo::SMenu_Document_Click() { viewer::SMenu_Document_Click(controls_); }
void Lumivo::SMenu_Version_Click() { viewer::SMenu_Version_Click(controls_); }
void Lumivo::SMenu_End_Click() { viewer::SMenu_End_Click(controls_); }

void Lumivo::ImageRotate(std::uint8_t& Index) { viewer::ImageRotate(controls_, Index); }

// After the handler has done all it does, so that the order of its own calls is untouched.
void Lumivo::TellNext() { controls_.Next.Expect(WhatComesNext(state_)); }

}  // namespace mirvane::viewer
