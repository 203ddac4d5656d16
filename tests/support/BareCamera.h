// BareCamera: the smallest concrete camera object, only the pure operations, each doing nothing.
// For tests of the interface's own parts, and for modules built against altered copies of it.
#pragma once

#include <ICameraObject.h>

class BareCamera : public ICameraObject {
 public:
  using ICameraObject::ICameraObject;
  int IOpenCamera() override { return 0; }
  void ICloseCamera() override {}
  int IStartCamera() override { return 0; }
  void IStopCamera() override {}
  void IAuxCameraOp1() override {}
  void IAuxCameraOp2() override {}
};
