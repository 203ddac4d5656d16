// The host interface of camera modules: everything a host and a module share.
#pragma once

#include "CameraConfig.h"
#include "GrabMode.h"
#include "ICameraFrameSink.h"
#include "ICameraObject.h"
#include "VocabularyTables.h"

// The two exports of a camera module, looked up by these undecorated names.
extern "C" {
using CameraCreateFunction = ICameraObject* (*)(CameraConfig* config, ICameraFrameSink* sink);
using CameraDeleteFunction = void (*)(ICameraObject* camera);
}
