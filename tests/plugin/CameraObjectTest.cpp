// The camera object's fields, initial values and the interface's default operations.
#include <ICameraObject.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "BareCamera.h"
#include "PluginTestSupport.h"

// The field order is checked on a class with a virtual table, which offsetof supports on this
// compiler.
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace {

TEST(CameraObjectLayout, FieldsKeepTheirDeclaredOrderAndSizes) {
  // The host reads the fields by layout: the frame fields must stay plain-sized.
  EXPECT_EQ(sizeof(BareCamera::m_width), 4U);
  EXPECT_EQ(sizeof(BareCamera::m_height), 4U);
  EXPECT_EQ(sizeof(BareCamera::m_imageNumber), 4U);
  EXPECT_EQ(sizeof(BareCamera::m_frameBuffer), sizeof(void*));
  EXPECT_LT(offsetof(BareCamera, m_config), offsetof(BareCamera, m_isOpened));
  EXPECT_LT(offsetof(BareCamera, m_isGrabbing), offsetof(BareCamera, m_hostFlagA));
  EXPECT_LT(offsetof(BareCamera, m_hostFlagA), offsetof(BareCamera, m_width));
  EXPECT_LT(offsetof(BareCamera, m_height), offsetof(BareCamera, m_hostValueA));
  EXPECT_LT(offsetof(BareCamera, m_bitsPerPixel), offsetof(BareCamera, m_imageFormat));
  EXPECT_LT(offsetof(BareCamera, m_frameLimit), offsetof(BareCamera, m_imageNumber));
  EXPECT_LT(offsetof(BareCamera, m_activeGrabMode), offsetof(BareCamera, m_requestedGrabMode));
  EXPECT_LT(offsetof(BareCamera, m_frameBuffer), offsetof(BareCamera, m_imageData));
  EXPECT_LT(offsetof(BareCamera, m_frameSink), offsetof(BareCamera, m_hostWordA));
  EXPECT_LT(offsetof(BareCamera, m_hostList), offsetof(BareCamera, m_mutex));
  EXPECT_LT(offsetof(BareCamera, m_hostFlagB), offsetof(BareCamera, m_hostFlagC));
  EXPECT_FALSE(std::is_copy_constructible<ICameraObject>::value);
  EXPECT_TRUE(std::is_abstract<ICameraObject>::value);
}

#if defined(__x86_64__)
// A host built from another copy of the header reads the fields at these offsets, with these sizes
// (x86-64, after the pointer to the virtual table).
struct FieldCase {
  const char* name;
  size_t offset;
  size_t size;
};

template <class T, class Class>
constexpr size_t fieldSize(T Class::* /*field*/) {
  return sizeof(T);  // NOLINT(bugprone-sizeof-expression): a pointer field is pointer-sized
}

TEST(CameraObjectLayout, EveryFieldSitsAtItsOffset) {
  const std::vector<FieldCase> fields = {
      {"m_config", offsetof(BareCamera, m_config), fieldSize(&BareCamera::m_config)},
      {"m_isOpened", offsetof(BareCamera, m_isOpened), fieldSize(&BareCamera::m_isOpened)},
      {"m_isGrabbing", offsetof(BareCamera, m_isGrabbing), fieldSize(&BareCamera::m_isGrabbing)},
      {"m_hostFlagA", offsetof(BareCamera, m_hostFlagA), fieldSize(&BareCamera::m_hostFlagA)},
      {"m_width", offsetof(BareCamera, m_width), fieldSize(&BareCamera::m_width)},
      {"m_height", offsetof(BareCamera, m_height), fieldSize(&BareCamera::m_height)},
      {"m_hostValueA", offsetof(BareCamera, m_hostValueA), fieldSize(&BareCamera::m_hostValueA)},
      {"m_bitsPerPixel", offsetof(BareCamera, m_bitsPerPixel), fieldSize(&BareCamera::m_bitsPerPixel)},
      {"m_imageFormat", offsetof(BareCamera, m_imageFormat), fieldSize(&BareCamera::m_imageFormat)},
      {"m_frameLimit", offsetof(BareCamera, m_frameLimit), fieldSize(&BareCamera::m_frameLimit)},
      {"m_imageNumber", offsetof(BareCamera, m_imageNumber), fieldSize(&BareCamera::m_imageNumber)},
      {"m_hostValueB", offsetof(BareCamera, m_hostValueB), fieldSize(&BareCamera::m_hostValueB)},
      {"m_activeGrabMode", offsetof(BareCamera, m_activeGrabMode), fieldSize(&BareCamera::m_activeGrabMode)},
      {"m_requestedGrabMode", offsetof(BareCamera, m_requestedGrabMode),
       fieldSize(&BareCamera::m_requestedGrabMode)},
      {"m_frameBuffer", offsetof(BareCamera, m_frameBuffer), fieldSize(&BareCamera::m_frameBuffer)},
      {"m_imageData", offsetof(BareCamera, m_imageData), fieldSize(&BareCamera::m_imageData)},
      {"m_frameSink", offsetof(BareCamera, m_frameSink), fieldSize(&BareCamera::m_frameSink)},
      {"m_hostWordA", offsetof(BareCamera, m_hostWordA), fieldSize(&BareCamera::m_hostWordA)},
      {"m_hostWordB", offsetof(BareCamera, m_hostWordB), fieldSize(&BareCamera::m_hostWordB)},
      {"m_hostList", offsetof(BareCamera, m_hostList), fieldSize(&BareCamera::m_hostList)},
      {"m_mutex", offsetof(BareCamera, m_mutex), fieldSize(&BareCamera::m_mutex)},
      {"m_hostFlagB", offsetof(BareCamera, m_hostFlagB), fieldSize(&BareCamera::m_hostFlagB)},
      {"m_hostFlagC", offsetof(BareCamera, m_hostFlagC), fieldSize(&BareCamera::m_hostFlagC)},
  };
  const std::vector<FieldCase> expected = {
      {"m_config", 8, 8},          {"m_isOpened", 16, 1},
      {"m_isGrabbing", 17, 1},     {"m_hostFlagA", 18, 1},
      {"m_width", 20, 4},          {"m_height", 24, 4},
      {"m_hostValueA", 28, 4},     {"m_bitsPerPixel", 32, 4},
      {"m_imageFormat", 36, 4},    {"m_frameLimit", 40, 4},
      {"m_imageNumber", 44, 4},    {"m_hostValueB", 48, 4},
      {"m_activeGrabMode", 52, 4}, {"m_requestedGrabMode", 56, 4},
      {"m_frameBuffer", 64, 8},    {"m_imageData", 72, 8},
      {"m_frameSink", 80, 8},      {"m_hostWordA", 88, 8},
      {"m_hostWordB", 96, 8},      {"m_hostList", 104, 8},
      {"m_mutex", 112, 8},         {"m_hostFlagB", 120, 1},
      {"m_hostFlagC", 121, 1},
  };
  ASSERT_EQ(fields.size(), expected.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    SCOPED_TRACE(fields[i].name);
    EXPECT_EQ(fields[i].offset, expected[i].offset);
    EXPECT_EQ(fields[i].size, expected[i].size);
  }
  EXPECT_EQ(sizeof(ICameraObject), 128U);
}

// The host calls the operations by their slot in the virtual table. Under the Itanium C++ ABI a
// pointer to a virtual member holds 1 plus the slot's byte offset; slots 0 and 1 are the two
// destructors.
template <class Member>
std::ptrdiff_t slotOf(Member member) {
  struct Representation {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof(Member) == sizeof(Representation));
  Representation r{};
  std::memcpy(&r, &member, sizeof r);
  return (r.pointer & 1U) != 0 ? static_cast<std::ptrdiff_t>((r.pointer - 1) / sizeof(void*)) : -1;
}

TEST(CameraObjectLayout, OperationsSitInTheirSlots) {
  const std::vector<std::pair<const char*, std::ptrdiff_t>> slots = {
      {"IOpenCamera", slotOf(&ICameraObject::IOpenCamera)},
      {"ICloseCamera", slotOf(&ICameraObject::ICloseCamera)},
      {"IStartCamera", slotOf(&ICameraObject::IStartCamera)},
      {"IStopCamera", slotOf(&ICameraObject::IStopCamera)},
      {"IAuxCameraOp1", slotOf(&ICameraObject::IAuxCameraOp1)},
      {"IAuxCameraOp2", slotOf(&ICameraObject::IAuxCameraOp2)},
      {"IEnumCameras", slotOf(&ICameraObject::IEnumCameras)},
      {"ISnapCamera", slotOf(&ICameraObject::ISnapCamera)},
      {"ITriggerCamera", slotOf(&ICameraObject::ITriggerCamera)},
      {"ISoftTriggerCamera", slotOf(&ICameraObject::ISoftTriggerCamera)},
      {"IAuxCameraOp3", slotOf(&ICameraObject::IAuxCameraOp3)},
      {"IGetImageData", slotOf(&ICameraObject::IGetImageData)},
      {"IAuxCameraOp4", slotOf(&ICameraObject::IAuxCameraOp4)},
      {"IAuxCameraQuery", slotOf(&ICameraObject::IAuxCameraQuery)},
  };
  for (size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(slots[i].second, static_cast<std::ptrdiff_t>(i + 2)) << slots[i].first;
  }
  // The camera class adds no slot before or between them: its own table starts the same way.
  EXPECT_EQ(slotOf(&CCameraBasler::ISoftTriggerCamera), 11);
  EXPECT_EQ(slotOf(&CCameraBasler::IOpenCamera), 2);
}
#endif

struct FormatCase {
  int32_t imageFormat;
  int32_t bitsPerPixel;
};

class InitialValues : public PluginTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(InitialValues, FreshObjectHoldsInitialValuesAndBitsPerPixelOfItsFormat) {
  config.imageFormat = GetParam().imageFormat;
  CCameraBasler& object = create();
  EXPECT_EQ(object.m_config, &config);
  EXPECT_EQ(object.m_frameSink, &sink);
  EXPECT_FALSE(object.m_isOpened);
  EXPECT_FALSE(object.m_isGrabbing);
  EXPECT_TRUE(object.m_hostFlagA);
  EXPECT_EQ(object.m_width, 0U);
  EXPECT_EQ(object.m_height, 0U);
  EXPECT_EQ(object.m_hostValueA, 0);
  EXPECT_EQ(object.m_bitsPerPixel, GetParam().bitsPerPixel);
  EXPECT_EQ(object.m_imageFormat, 0);
  EXPECT_EQ(object.m_frameLimit, 0U);
  EXPECT_EQ(object.m_imageNumber, 0U);
  EXPECT_EQ(object.m_hostValueB, 0);
  EXPECT_EQ(object.m_activeGrabMode, 0);
  EXPECT_EQ(object.m_requestedGrabMode, 1);
  EXPECT_EQ(object.m_frameBuffer, nullptr);
  EXPECT_TRUE(object.m_imageData.isEmpty());
  EXPECT_EQ(object.m_hostWordA, 0U);
  EXPECT_EQ(object.m_hostWordB, 0U);
  EXPECT_TRUE(object.m_hostList.isEmpty());
  EXPECT_TRUE(object.m_mutex.isRecursive());
  EXPECT_TRUE(object.m_hostFlagB);
  EXPECT_FALSE(object.m_hostFlagC);

  // The bits per pixel are taken once, at construction.
  config.imageFormat = 3;
  EXPECT_EQ(object.m_bitsPerPixel, GetParam().bitsPerPixel);
}

INSTANTIATE_TEST_SUITE_P(ImageFormats, InitialValues,
                         ::testing::Values(FormatCase{1, 8}, FormatCase{2, 24}, FormatCase{3, 32},
                                           FormatCase{4, 16}, FormatCase{0, 0}, FormatCase{5, 0},
                                           FormatCase{11, 0}, FormatCase{12, 0}, FormatCase{99, 0},
                                           FormatCase{-1, 0}));

struct SnapCase {
  const char* name;
  bool grabbing;
  bool nullConfig;
  bool inhibited;
  int32_t activeMode;
  uint32_t imageNumber;
  uint32_t frameLimit;
  int expected;
};

class SnapPrecondition : public ::testing::TestWithParam<SnapCase> {};

TEST_P(SnapPrecondition, AnswersWithoutChangingAnything) {
  const SnapCase& c = GetParam();
  CameraConfig config;
  config.snapInhibited = c.inhibited;
  RecordingSink sink;
  BareCamera camera(&config, &sink);
  camera.m_isGrabbing = c.grabbing;
  if (c.nullConfig) {
    camera.m_config = nullptr;
  }
  camera.m_activeGrabMode = c.activeMode;
  camera.m_imageNumber = c.imageNumber;
  camera.m_frameLimit = c.frameLimit;

  EXPECT_EQ(camera.ISnapCamera(12345), c.expected);
  EXPECT_EQ(camera.ITriggerCamera(), c.expected);
  EXPECT_EQ(camera.ISoftTriggerCamera(), 0);
  EXPECT_EQ(camera.m_isGrabbing, c.grabbing);
  EXPECT_EQ(camera.m_activeGrabMode, c.activeMode);
  EXPECT_EQ(camera.m_imageNumber, c.imageNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapPrecondition,
    ::testing::Values(SnapCase{"NotGrabbing", false, false, false, 2, 0, 0, 0},
                      SnapCase{"NotGrabbingEvenWhenAllElseAllows", false, false, false, 3, 0, 9, 0},
                      SnapCase{"NullConfig", true, true, false, 2, 0, 0, 0},
                      SnapCase{"Inhibited", true, false, true, 2, 0, 0, 0},
                      SnapCase{"SoftwareTrigger", true, false, false, 2, 0, 0, 1},
                      SnapCase{"CountedLimitZero", true, false, false, 3, 0, 0, 0},
                      SnapCase{"CountedBelowLimit", true, false, false, 3, 4, 5, 1},
                      SnapCase{"CountedAtLimit", true, false, false, 3, 5, 5, 0},
                      SnapCase{"CountedComparesUnsigned", true, false, false, 3, 0x80000000U, 1, 0},
                      SnapCase{"OtherModeIgnoresLimit", true, false, false, 2, 7, 5, 1},
                      SnapCase{"ModeNoneIgnoresLimit", true, false, false, 0, 0x80000000U, 0, 1},
                      SnapCase{"SwitchedModeIgnoresLimit", true, false, false, 4, 9, 1, 1}),
    [](const ::testing::TestParamInfo<SnapCase>& info) { return std::string(info.param.name); });

TEST(DefaultOperations, ChangeNothingAndTouchNoCamera) {
  CameraConfig config;
  RecordingSink sink;
  BareCamera camera(&config, &sink);
  EXPECT_TRUE(camera.IEnumCameras().isEmpty());
  EXPECT_EQ(camera.IAuxCameraQuery(), 0);
  camera.IAuxCameraOp3();
  camera.IAuxCameraOp4();
  char* data = camera.IGetImageData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(*data, '\0');
  EXPECT_EQ(camera.m_imageData.size(), 0);
  EXPECT_FALSE(camera.m_isOpened);
  EXPECT_EQ(camera.m_activeGrabMode, 0);
}

TEST_F(PluginTest, BaslerForwardingSnapsReachItsOwnSnapAndAuxOperationsDoNothing) {
  emu::EmulatedCamera device = addCamera();
  CCameraBasler& object = create();
  EXPECT_EQ(object.ISoftTriggerCamera(), 0);  // not grabbing
  object.IAuxCameraOp1();
  object.IAuxCameraOp2();
  EXPECT_TRUE(device.Journal().empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(PluginTest, NullConfigGivesAUsableObjectThatRefusesToOpen) {
  emu::EmulatedCamera device = addCamera();
  camera = std::make_unique<CCameraBasler>(nullptr, &sink);
  EXPECT_EQ(camera->m_bitsPerPixel, 0);
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_EQ(camera->IOpenCamera(), 0);
  EXPECT_EQ(log.lines(),
            std::vector<LogLine>{warningLine("Camera config missing.  -  CCameraBasler::IOpenCamera")});
  EXPECT_TRUE(device.Journal().empty());
}

}  // namespace
