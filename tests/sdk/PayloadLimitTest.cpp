// PayloadLimit: the buffers a device's pool is made of are bounded before anything is allocated,
// whatever size the camera reports: one buffer at most 1 GiB, one pool at most 4 GiB; the refusal
// is a RuntimeException that says which bound and what the camera reported.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>

#include <cstdint>
#include <string>

#include "PayloadLimit.h"

namespace {

using Pylon::Internal::PayloadLimit;

struct LimitCase {
  const char* name;
  int64_t payload;
  size_t count;
  const char* description;  // null: accepted
};

std::ostream& operator<<(std::ostream& out, const LimitCase& c) { return out << c.name; }

constexpr int64_t kGiB = int64_t{1} << 30;

const LimitCase kLimits[] = {
    {"Vga", int64_t{640} * 480, 10, nullptr},
    {"OneGiBBuffersTwo", kGiB, 2, nullptr},
    {"OneGiBBuffersFour", kGiB, 4, nullptr},  // exactly the pool's bound
    {"OneGiBBuffersFive", kGiB, 5,
     "StartGrabbing: 5 buffers of 1073741824 bytes are more than the 4294967296 bytes this SDK allocates "
     "for one camera's buffers."},
    {"OneByteBeyondOneGiB", kGiB + 1, 1,
     "StartGrabbing: the camera reports a payload size of 1073741825 bytes, more than the 1073741824 bytes "
     "this SDK allocates for one buffer."},
    {"LargestInteger", INT64_MAX, 2,
     "StartGrabbing: the camera reports a payload size of 9223372036854775807 bytes, more than the "
     "1073741824 bytes this SDK allocates for one buffer."},
    {"CountWhoseProductWraps", 1 << 20, SIZE_MAX,
     "StartGrabbing: 18446744073709551615 buffers of 1048576 bytes are more than the 4294967296 bytes "
     "this SDK allocates for one camera's buffers."},
    {"Zero", 0, 10, "StartGrabbing: the camera reports a payload size of 0."},
    {"Negative", -1, 10, "StartGrabbing: the camera reports a payload size of -1."},
};

class PayloadLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(PayloadLimits, RefuseBuffersBeyondTheBoundsBeforeAllocating) {
  const LimitCase& c = GetParam();
  if (c.description == nullptr) {
    EXPECT_NO_THROW(PayloadLimit::check("StartGrabbing", c.payload, c.count));
    return;
  }
  try {
    PayloadLimit::check("StartGrabbing", c.payload, c.count);
    ADD_FAILURE() << "accepted";
  } catch (const GenICam::RuntimeException& e) {
    EXPECT_STREQ(e.GetDescription(), c.description);
  }
}

INSTANTIATE_TEST_SUITE_P(PayloadLimit, PayloadLimits, ::testing::ValuesIn(kLimits),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
