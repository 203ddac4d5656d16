// The camera object's fields, initial values and the interface's default operations.
#include <ICameraObject.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

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
  EXPECT_EQ(sink.count(), 0U);
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
