// Everything a client of the camera SDK uses: GenICam exceptions and strings, GenApi nodes and
// pointers, and the Pylon camera classes.
#pragma once

#include "gcbase/GCException.h"
#include "gcbase/GCString.h"
#include "genapi/ICommand.h"
#include "genapi/IEnumEntry.h"
#include "genapi/IEnumeration.h"
#include "genapi/IInteger.h"
#include "genapi/INodeMap.h"
#include "genapi/IString.h"
#include "genapi/Pointer.h"
#include "pylon/ConfigurationEventHandler.h"
#include "pylon/DeviceInfo.h"
#include "pylon/GrabResultData.h"
#include "pylon/GrabResultPtr.h"
#include "pylon/ImageEventHandler.h"
#include "pylon/InstantCamera.h"
#include "pylon/PylonDevice.h"
#include "pylon/PylonInit.h"
#include "pylon/TlFactory.h"
#include "pylon/Types.h"
