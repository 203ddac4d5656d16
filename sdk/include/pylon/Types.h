// Pylon basic types: the string type and the enumerations of registration, cleanup, grab strategy,
// grab loop and timeout handling.
#pragma once

#include "gcbase/GCString.h"

namespace Pylon {

using String_t = GenICam::gcstring;

enum ERegistrationMode { RegistrationMode_Append = 1, RegistrationMode_ReplaceAll = 2 };

enum ECleanup { Cleanup_None = 0, Cleanup_Delete = 1 };

enum EGrabStrategy {
  GrabStrategy_OneByOne = 0,
  GrabStrategy_LatestImageOnly = 1,
  GrabStrategy_LatestImages = 2,
  GrabStrategy_UpcomingImage = 3
};

enum EGrabLoop { GrabLoop_ProvidedByInstantCamera = 0, GrabLoop_ProvidedByUser = 1 };

enum ETimeoutHandling { TimeoutHandling_Return = 0, TimeoutHandling_ThrowException = 1 };

}  // namespace Pylon
