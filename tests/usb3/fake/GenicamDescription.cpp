// Zazod::FakeUsb3::GenicamDescription: the XML text, generated once from a table of features.
#include "GenicamDescription.h"

#include <cstdio>

namespace Zazod::FakeUsb3 {

namespace {

std::string hex(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string reg(const char* kind, const std::string& name, uint64_t address, int length, const char* access,
                const std::string& extra = "") {
  return "  <" + std::string(kind) + " Name=\"" + name + "\">\n    <Address>" + hex(address) +
         "</Address>\n    <Length>" + std::to_string(length) + "</Length>\n    <AccessMode>" + access +
         "</AccessMode>\n    <pPort>Device</pPort>\n    <Cachable>NoCache</Cachable>\n" + extra + "  </" +
         kind + ">\n";
}

std::string intReg(const std::string& name, uint32_t offset, const char* access) {
  return reg("IntReg", name, GenicamDescription::kFeatureBase + offset, 4, access,
             "    <Sign>Unsigned</Sign>\n    <Endianess>LittleEndian</Endianess>\n");
}

std::string floatReg(const std::string& name, uint32_t offset) {
  return reg("FloatReg", name, GenicamDescription::kFeatureBase + offset, 8, "RW",
             "    <Endianess>LittleEndian</Endianess>\n");
}

std::string integer(const std::string& name, const std::string& body) {
  return "  <Integer Name=\"" + name + "\">\n" + body + "  </Integer>\n";
}

std::string enumeration(const std::string& name, const std::string& entries, const std::string& extra = "") {
  return "  <Enumeration Name=\"" + name + "\">\n" + extra + entries + "    <pValue>" + name +
         "Reg</pValue>\n  </Enumeration>\n";
}

std::string entry(const std::string& name, int value) {
  return "    <EnumEntry Name=\"" + name + "\">\n      <Value>" + std::to_string(value) +
         "</Value>\n    </EnumEntry>\n";
}

std::string command(const std::string& name) {
  return "  <Command Name=\"" + name + "\">\n    <pValue>" + name +
         "Reg</pValue>\n    <CommandValue>1</CommandValue>\n  </Command>\n";
}

std::string stringReg(const std::string& name, uint64_t address, const char* access) {
  return reg("StringReg", name, address, 64, access);
}

std::string build() {
  using G = GenicamDescription;
  std::string x =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<RegisterDescription ModelName=\"FakeUsb3Vision\" VendorName=\"Zazod\" ToolTip=\"Fake USB3 Vision "
      "camera\" StandardNameSpace=\"None\" SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\" "
      "SchemaSubMinorVersion=\"0\" MajorVersion=\"1\" MinorVersion=\"0\" SubMinorVersion=\"0\" "
      "ProductGuid=\"5d3a6e52-4b7f-4e0c-9c61-2f7d8b0a1c11\" "
      "VersionGuid=\"8e1f0b7a-3c2d-4a59-b6e4-7d0c9a2f3b21\" "
      "xmlns=\"http://www.genicam.org/GenApi/Version_1_1\">\n"
      "  <Category Name=\"Root\" NameSpace=\"Standard\">\n"
      "    <pFeature>DeviceControl</pFeature>\n    <pFeature>ImageFormatControl</pFeature>\n"
      "    <pFeature>AcquisitionControl</pFeature>\n  </Category>\n"
      "  <Category Name=\"DeviceControl\" NameSpace=\"Standard\">\n"
      "    <pFeature>DeviceVendorName</pFeature>\n    <pFeature>DeviceModelName</pFeature>\n"
      "    <pFeature>DeviceVersion</pFeature>\n    <pFeature>DeviceSerialNumber</pFeature>\n"
      "    <pFeature>DeviceUserID</pFeature>\n  </Category>\n"
      "  <Category Name=\"ImageFormatControl\" NameSpace=\"Standard\">\n"
      "    <pFeature>SensorWidth</pFeature>\n    <pFeature>SensorHeight</pFeature>\n"
      "    <pFeature>WidthMax</pFeature>\n    <pFeature>HeightMax</pFeature>\n"
      "    <pFeature>Width</pFeature>\n    <pFeature>Height</pFeature>\n"
      "    <pFeature>OffsetX</pFeature>\n    <pFeature>OffsetY</pFeature>\n"
      "    <pFeature>BinningHorizontal</pFeature>\n    <pFeature>BinningVertical</pFeature>\n"
      "    <pFeature>PixelFormat</pFeature>\n    <pFeature>PayloadSize</pFeature>\n  </Category>\n"
      "  <Category Name=\"AcquisitionControl\" NameSpace=\"Standard\">\n"
      "    <pFeature>AcquisitionMode</pFeature>\n    <pFeature>AcquisitionStart</pFeature>\n"
      "    <pFeature>AcquisitionStop</pFeature>\n    <pFeature>AcquisitionFrameRate</pFeature>\n"
      "    <pFeature>TriggerSelector</pFeature>\n    <pFeature>TriggerMode</pFeature>\n"
      "    <pFeature>TriggerSource</pFeature>\n    <pFeature>TriggerSoftware</pFeature>\n"
      "    <pFeature>ExposureTime</pFeature>\n    <pFeature>Gain</pFeature>\n  </Category>\n";
  x += stringReg("DeviceVendorName", 0x0004, "RO");
  x += stringReg("DeviceModelName", 0x0044, "RO");
  x += stringReg("DeviceVersion", 0x00C4, "RO");
  x += stringReg("DeviceSerialNumber", 0x0144, "RO");
  x += stringReg("DeviceUserID", 0x0184, "RW");
  const char* readOnly[][2] = {{"SensorWidth", "SensorWidthReg"},
                               {"SensorHeight", "SensorHeightReg"},
                               {"WidthMax", "WidthMaxReg"},
                               {"HeightMax", "HeightMaxReg"},
                               {"PayloadSize", "PayloadSizeReg"},
                               {"OffsetX", "OffsetXReg"},
                               {"OffsetY", "OffsetYReg"},
                               {"BinningHorizontal", "BinningHorizontalReg"},
                               {"BinningVertical", "BinningVerticalReg"}};
  for (const auto& feature : readOnly) {
    x += integer(feature[0], std::string("    <pValue>") + feature[1] + "</pValue>\n");
  }
  x += integer("Width",
               "    <pValue>WidthReg</pValue>\n    <Min>1</Min>\n    <pMax>WidthMaxReg</pMax>\n"
               "    <Inc>1</Inc>\n");
  x += integer("Height",
               "    <pValue>HeightReg</pValue>\n    <Min>1</Min>\n    <pMax>HeightMaxReg</pMax>\n"
               "    <Inc>1</Inc>\n");
  x += intReg("SensorWidthReg", G::SensorWidth, "RO");
  x += intReg("SensorHeightReg", G::SensorHeight, "RO");
  x += intReg("WidthMaxReg", G::WidthMax, "RO");
  x += intReg("HeightMaxReg", G::HeightMax, "RO");
  x += intReg("PayloadSizeReg", G::PayloadSize, "RO");
  x += intReg("OffsetXReg", G::OffsetX, "RO");
  x += intReg("OffsetYReg", G::OffsetY, "RO");
  x += intReg("BinningHorizontalReg", G::BinningHorizontal, "RO");
  x += intReg("BinningVerticalReg", G::BinningVertical, "RO");
  x += intReg("WidthReg", G::Width, "RW");
  x += intReg("HeightReg", G::Height, "RW");
  x += "  <Enumeration Name=\"PixelFormat\">\n    <EnumEntry Name=\"Mono8\">\n      <Value>" +
       std::to_string(G::kMono8) +
       "</Value>\n    </EnumEntry>\n    <pValue>PixelFormatReg</pValue>\n"
       "  </Enumeration>\n";
  x += intReg("PixelFormatReg", G::PixelFormat, "RW");
  x += enumeration("AcquisitionMode", entry("Continuous", 0) + entry("SingleFrame", 1));
  x += intReg("AcquisitionModeReg", G::AcquisitionMode, "RW");
  x += command("AcquisitionStart");
  x += intReg("AcquisitionStartReg", G::AcquisitionStart, "WO");
  x += command("AcquisitionStop");
  x += intReg("AcquisitionStopReg", G::AcquisitionStop, "WO");
  x += enumeration("TriggerSelector", entry("FrameStart", 0) + entry("AcquisitionStart", 1),
                   "    <pSelected>TriggerMode</pSelected>\n    <pSelected>TriggerSource</pSelected>\n"
                   "    <pSelected>TriggerSoftware</pSelected>\n");
  x += intReg("TriggerSelectorReg", G::TriggerSelector, "RW");
  x += enumeration("TriggerMode", entry("Off", 0) + entry("On", 1));
  x += intReg("TriggerModeReg", G::TriggerMode, "RW");
  x += enumeration("TriggerSource", entry("Software", 0) + entry("Line1", 1));
  x += intReg("TriggerSourceReg", G::TriggerSource, "RW");
  x += command("TriggerSoftware");
  x += intReg("TriggerSoftwareReg", G::TriggerSoftware, "WO");
  const char* floats[][4] = {{"AcquisitionFrameRate", "0", "100000", "Hz"},
                             {"ExposureTime", "10", "1000000", "us"},
                             {"Gain", "0", "24", "dB"}};
  for (const auto& f : floats) {
    x += "  <Float Name=\"" + std::string(f[0]) + "\">\n    <pValue>" + f[0] + "Reg</pValue>\n    <Min>" +
         f[1] + "</Min>\n    <Max>" + f[2] + "</Max>\n    <Unit>" + f[3] + "</Unit>\n  </Float>\n";
  }
  x += floatReg("AcquisitionFrameRateReg", G::AcquisitionFrameRate);
  x += floatReg("ExposureTimeReg", G::ExposureTime);
  x += floatReg("GainReg", G::Gain);
  x += "  <Port Name=\"Device\" NameSpace=\"Standard\"/>\n</RegisterDescription>\n";
  return x;
}

}  // namespace

const std::string& GenicamDescription::xml() {
  static const std::string text = build();
  return text;
}

}  // namespace Zazod::FakeUsb3
