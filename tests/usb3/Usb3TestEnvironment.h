// Usb3TestEnvironment: the fake USB3 Vision cameras of one test program: a state file in a
// temporary folder with two 640x480 cameras (USB30001, USB30002), named in ZAZOD_FAKE_USB3_STATE
// before anything loads libusb (Aravis keeps its discovery context, and the file it read, for
// the whole process). reset() puts both cameras back as a test expects to find them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "FakeUsb3Control.h"

class Usb3TestEnvironment {
 public:
  static Usb3TestEnvironment& instance();
  // Made once, in main, before any test; removes its folder when the program ends.
  static void setUp();

  Zazod::FakeUsb3::FakeUsb3Control& control() { return m_control; }
  // Both cameras plugged in, no fault armed, no Line1 pulses, the default frame rate, counters 0.
  void reset();

  // A flag one thread sets and another waits for.
  class Flag {
   public:
    void set();
    bool waitFor(std::chrono::seconds bound);

   private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;
  };

  ~Usb3TestEnvironment();

 private:
  Usb3TestEnvironment(std::string folder, Zazod::FakeUsb3::FakeUsb3Control control);
  std::string m_folder;
  Zazod::FakeUsb3::FakeUsb3Control m_control;
};
