// Symbol visibility of the camera SDK layer: everything a client uses across the shared-library
// boundary (classes with virtual tables, exception types, free functions) carries ZAZOD_SDK_API so
// that its type information is shared between the SDK library and the modules that use it.
#pragma once

#define ZAZOD_SDK_API __attribute__((visibility("default")))
