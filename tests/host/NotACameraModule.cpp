// A loadable module that is not a camera module of the host interface: built once with no export of
// the interface and once with Camera_Create alone, to see the host refuse both.
extern "C" {

__attribute__((visibility("default"))) int zazod_test_unrelated_function() { return 42; }

#ifdef ZAZOD_TEST_WITH_CAMERA_CREATE
__attribute__((visibility("default"))) void* Camera_Create(void* /*config*/, void* /*sink*/) {
  return nullptr;
}
#endif
}
