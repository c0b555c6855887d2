#include "SimCamFeatures.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace simcam {

namespace {

using T = FeatureType;

const std::vector<EnumEntry> offOn = {{"Off", 0}, {"On", 1}};
const std::vector<EnumEntry> polarity = {{"ActiveLow", 0}, {"ActiveHigh", 1}};
const std::vector<EnumEntry> binning = {{"X1", 1}, {"X2", 2}, {"X3", 3}, {"X4", 4}, {"X8", 8}};

std::vector<Feature> buildFeatures()
{
    return {
        // Image format (fake-camera registers; Width, Height and the offsets
        // have limits that depend on each other and are written out by hand).
        {"SensorWidth", T::Integer, RegSensorWidth, false, 1, 65535, 1608, {}},
        {"SensorHeight", T::Integer, RegSensorHeight, false, 1, 65535, 1208, {}},
        {"BinningHorizontal", T::Enumeration, RegBinningHorizontal, true, 0, 0, 1, binning},
        {"BinningVertical", T::Enumeration, RegBinningVertical, true, 0, 0, 1, binning},
        {"PixelFormat", T::Enumeration, RegPixelFormat, true, 0, 0, 0x01100007,
         {{"Mono8", 0x01080001},
          {"Mono12", 0x01100005},
          {"Mono16", 0x01100007},
          {"BayerGR8", 0x01080008},
          {"BayerGR12", 0x01100010}}},
        {"SensorDigitizationTaps", T::Enumeration, 0xA008, true, 0, 0, 0, {{"One", 0}, {"Two", 1}}},
        {"CameraSpeed", T::Enumeration, 0xA00C, true, 0, 0, 0, {{"Normal", 0}, {"OverClocked", 1}}},
        {"CcdType", T::Integer, RegCcdType, false, 0, 255, 0, {}},

        // Acquisition.
        {"AcquisitionMode", T::Enumeration, RegAcquisitionMode, true, 0, 0, 0,
         {{"Continuous", 0}, {"SingleFrame", 1}, {"MultiFrame", 2}}},
        {"AcquisitionStart", T::Command, RegAcquisition, true, 1, 0, 0, {}},
        {"AcquisitionStop", T::Command, RegAcquisition, true, 0, 0, 0, {}},
        {"TLParamsLocked", T::Integer, 0xA0AC, true, 0, 1, 0, {}},

        // Exposure and frame time (microseconds). The camera runs at the
        // longest of the shortest frame time, the exposure and, when enabled,
        // the programmed frame time; the actual frame time reports it.
        {"ExposureMode", T::Enumeration, 0xA010, true, 0, 0, 1, {{"Timed", 1}, {"TriggerWidth", 2}}},
        {"ExposureTimeRaw", T::Integer, RegExposureTime, true, 10, 16777215, 10000, {}},
        {"ProgFrameTimeEnable", T::Boolean, RegProgFrameTimeEnable, true, 0, 1, 0, {}},
        {"ProgFrameTimeAbs", T::Integer, RegProgFrameTime, true, 10, 33554431, 40000, {}},
        {"FRR_EXP_MIN", T::Integer, 0xA034, false, 10, 10, 10, {}},
        {"FRM_TIM_ACT", T::Integer, RegFrameTimeActual, false, 0, 0x7FFFFFFF, 40000, {}},
        {"FRM_TIM_MIN", T::Integer, RegShortestFrameTime, false, 0, 0x7FFFFFFF, 40000, {}},

        // Trigger.
        {"TriggerMode", T::Enumeration, RegTriggerMode, true, 0, 0, 0, offOn},
        {"TriggerSource", T::Enumeration, RegTriggerSource, true, 0, 0, 0,
         {{"Internal", 0}, {"External", 1}, {"Software", 2}}},
        {"TriggerActivation", T::Enumeration, RegTriggerActivation, true, 0, 0, 0,
         {{"RisingEdge", 0}, {"FallingEdge", 1}}},
        {"TriggerType", T::Enumeration, 0xA014, true, 0, 0, 0,
         {{"Standard", 0}, {"FrameAccumulation", 1}, {"Double", 2}}},
        {"TriggerDebounce", T::Enumeration, 0xA018, true, 0, 0, 0, offOn},
        {"TriggerNumFrames", T::Integer, 0xA01C, true, 1, 255, 1, {}},
        {"TriggerNumPulses", T::Integer, 0xA020, true, 1, 131071, 1, {}},
        {"TriggerDelayRaw", T::Integer, 0xA024, true, 0, 16777215, 0, {}},
        {"TriggerOverlap", T::Enumeration, 0xA028, true, 0, 0, 0,
         {{"Off", 0}, {"ReadOut", 1}, {"PreviousFrame", 2}}},

        // Analog and digital processing.
        {"GainSelector", T::Enumeration, 0xA064, true, 0, 0, 0,
         {{"AnalogAll", 0}, {"AnalogTap1", 16}, {"AnalogTap2", 17}}},
        {"GainRaw", T::Integer, RegGainRaw, true, 0, 1023, 227, {}},
        {"GainAutoBalance", T::Enumeration, 0xA068, true, 0, 0, 0,
         {{"Off", 0}, {"Once", 1}, {"Continuous", 2}}},
        {"BlackLevelSelector", T::Enumeration, 0xA06C, true, 0, 0, 0,
         {{"AnalogAll", 0}, {"AnalogTap1", 9}, {"AnalogTap2", 10}}},
        {"BlackLevelRaw", T::Integer, 0xA070, true, 0, 1023, 0, {}},
        {"PreAmpSelector", T::Enumeration, 0xA074, true, 0, 0, 0, {{"Tap1", 0}, {"Tap2", 1}}},
        {"PreAmpRaw", T::Enumeration, 0xA078, true, 0, 0, 1, {{"Low", 0}, {"Normal", 1}, {"High", 2}}},
        {"DigitalGainAll", T::Integer, 0xA05C, true, 0, 4095, 0, {}},
        {"DigitalOffsetAll", T::Integer, 0xA060, true, 0, 4095, 512, {}},
        {"EnhancementMode", T::Enumeration, 0xA03C, true, 0, 0, 0, offOn},
        {"BlackLevelCorrection", T::Boolean, 0xA040, true, 0, 1, 0, {}},
        {"VerticalSmearCorrection", T::Enumeration, 0xA044, true, 0, 0, 0,
         {{"Off", 0}, {"Standard", 1}, {"Advanced", 2}}},
        {"FlatFieldCorrection", T::Boolean, 0xA048, true, 0, 1, 0, {}},
        {"DefectPixelCorrection", T::Enumeration, 0xA04C, true, 0, 0, 0, offOn},
        {"HotPixelCorrection", T::Enumeration, 0xA050, true, 0, 0, 0, offOn},
        {"LUTEnable", T::Boolean, 0xA054, true, 0, 1, 0, {}},
        {"WhiteBalanceMode", T::Enumeration, 0xA058, true, 0, 0, 0, {{"Off", 0}, {"Auto", 1}}},

        // Input and output lines.
        {"IN1Selector", T::Enumeration, 0xA07C, true, 0, 0, 1, {{"None", 0}, {"ExternalTrigger", 1}}},
        {"IN1Polarity", T::Enumeration, 0xA080, true, 0, 0, 1, polarity},
        {"OUT1Selector", T::Enumeration, 0xA084, true, 0, 0, 4,
         {{"None", 0},
          {"ExposureStart", 1},
          {"ExposureEnd", 2},
          {"MidExposure", 3},
          {"ExposureWindow", 4},
          {"HSync", 5},
          {"VSync", 6},
          {"OddEvenFlag", 7},
          {"Trigger", 8},
          {"TriggerDelayed", 9},
          {"CameraReady", 10},
          {"PulseGenerator", 11},
          {"Strobe1", 12},
          {"Strobe2", 13},
          {"OUT1Value", 14},
          {"FrameTransfer", 15}}},
        {"OUT1Polarity", T::Enumeration, 0xA088, true, 0, 0, 1, polarity},

        // Device information and maintenance.
        {"CurrentTemperature", T::Integer, RegCurrentTemperature, false, -128, 127, 40, {}},
        {"FirmwareVersion", T::Integer, 0xA08C, false, 0, 0xFFFF, 2, {}},
        {"FirmwareBuild", T::Integer, 0xA090, false, 0, 0xFFFF, 517, {}},
        {"XmlVersion", T::Integer, 0xA094, false, 0, 0xFFFF, 3, {}},
        {"IPEngineFirmwareVersionMajor", T::Integer, 0xA098, false, 0, 255, 1, {}},
        {"IPEngineFirmwareVersionMinor", T::Integer, 0xA09C, false, 0, 255, 4, {}},
        {"IPEngineFirmwareVersionSubminor", T::Integer, 0xA0A0, false, 0, 255, 2, {}},
        {"DeviceReset", T::Command, RegDeviceReset, true, 1, 0, 0, {}},
        {"CameraHeadReset", T::Command, RegCameraHeadReset, true, 1, 0, 0, {}},
    };
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

void intReg(std::ostringstream& xml, const std::string& name, uint32_t address, bool writable,
            bool isSigned = false)
{
    xml << "  <IntReg Name=\"" << name << "\" NameSpace=\"Custom\">\n"
        << "    <Visibility>Invisible</Visibility>\n"
        << "    <Address>" << hex(address) << "</Address>\n"
        << "    <Length>4</Length>\n"
        << "    <AccessMode>" << (writable ? "RW" : "RO") << "</AccessMode>\n"
        << "    <pPort>Device</pPort>\n"
        << "    <Cachable>NoCache</Cachable>\n"
        << "    <Sign>" << (isSigned ? "Signed" : "Unsigned") << "</Sign>\n"
        << "    <Endianess>BigEndian</Endianess>\n"
        << "  </IntReg>\n";
}

void maskedIntReg(std::ostringstream& xml, const std::string& name, uint32_t address, bool writable,
                  int lsb, int msb)
{
    xml << "  <MaskedIntReg Name=\"" << name << "\" NameSpace=\"Standard\">\n"
        << "    <Address>" << hex(address) << "</Address>\n"
        << "    <Length>4</Length>\n"
        << "    <AccessMode>" << (writable ? "RW" : "RO") << "</AccessMode>\n"
        << "    <pPort>Device</pPort>\n"
        << "    <Cachable>NoCache</Cachable>\n";
    if (lsb == msb)
        xml << "    <Bit>" << lsb << "</Bit>\n";
    else
        xml << "    <LSB>" << lsb << "</LSB>\n    <MSB>" << msb << "</MSB>\n";
    xml << "    <Sign>Unsigned</Sign>\n"
        << "    <Endianess>BigEndian</Endianess>\n"
        << "  </MaskedIntReg>\n";
}

void stringReg(std::ostringstream& xml, const std::string& name, uint32_t address, int length,
               bool writable)
{
    xml << "  <StringReg Name=\"" << name << "\" NameSpace=\"Standard\">\n"
        << "    <Address>" << hex(address) << "</Address>\n"
        << "    <Length>" << length << "</Length>\n"
        << "    <AccessMode>" << (writable ? "RW" : "RO") << "</AccessMode>\n"
        << "    <pPort>Device</pPort>\n"
        << "    <Cachable>NoCache</Cachable>\n"
        << "  </StringReg>\n";
}

void integerOn(std::ostringstream& xml, const std::string& name, const std::string& value,
               const std::string& min, const std::string& max, bool pMin, bool pMax)
{
    xml << "  <Integer Name=\"" << name << "\" NameSpace=\"Standard\">\n"
        << "    <pValue>" << value << "</pValue>\n"
        << "    <" << (pMin ? "pMin" : "Min") << ">" << min << "</" << (pMin ? "pMin" : "Min") << ">\n"
        << "    <" << (pMax ? "pMax" : "Max") << ">" << max << "</" << (pMax ? "pMax" : "Max") << ">\n"
        << "    <Inc>1</Inc>\n"
        << "  </Integer>\n";
}

void swissKnife(std::ostringstream& xml, const std::string& name,
                const std::vector<std::pair<std::string, std::string>>& variables, const std::string& formula)
{
    xml << "  <IntSwissKnife Name=\"" << name << "\" NameSpace=\"Standard\">\n";
    for (const auto& variable : variables)
        xml << "    <pVariable Name=\"" << variable.first << "\">" << variable.second << "</pVariable>\n";
    xml << "    <Formula>" << formula << "</Formula>\n"
        << "  </IntSwissKnife>\n";
}

// The feature and its register node; a feature left out keeps its register,
// which other nodes may read.
void tableFeature(std::ostringstream& xml, const Feature& f, bool described)
{
    const std::string reg = std::string(f.name) + "Reg";
    if (!described) {
        intReg(xml, reg, f.address, f.writable || f.type == T::Command, f.min < 0);
        return;
    }
    switch (f.type) {
    case T::Integer:
        xml << "  <Integer Name=\"" << f.name << "\" NameSpace=\"Custom\">\n"
            << "    <pValue>" << reg << "</pValue>\n"
            << "    <Min>" << f.min << "</Min>\n"
            << "    <Max>" << f.max << "</Max>\n"
            << "    <Inc>1</Inc>\n"
            << "  </Integer>\n";
        intReg(xml, reg, f.address, f.writable, f.min < 0);
        break;
    case T::Enumeration:
        xml << "  <Enumeration Name=\"" << f.name << "\" NameSpace=\"Custom\">\n";
        for (const EnumEntry& entry : f.entries)
            xml << "    <EnumEntry Name=\"" << entry.name << "\" NameSpace=\"Custom\">\n"
                << "      <Value>" << entry.value << "</Value>\n"
                << "    </EnumEntry>\n";
        xml << "    <pValue>" << reg << "</pValue>\n"
            << "  </Enumeration>\n";
        intReg(xml, reg, f.address, f.writable);
        break;
    case T::Boolean:
        xml << "  <Boolean Name=\"" << f.name << "\" NameSpace=\"Custom\">\n"
            << "    <pValue>" << reg << "</pValue>\n"
            << "    <OnValue>1</OnValue>\n"
            << "    <OffValue>0</OffValue>\n"
            << "  </Boolean>\n";
        intReg(xml, reg, f.address, f.writable);
        break;
    case T::Command:
        // Both acquisition commands share one register; give each its own node name.
        xml << "  <Command Name=\"" << f.name << "\" NameSpace=\"Custom\">\n"
            << "    <pValue>" << reg << "</pValue>\n"
            << "    <CommandValue>" << f.min << "</CommandValue>\n"
            << "  </Command>\n";
        intReg(xml, reg, f.address, true);
        break;
    }
}

} // namespace

const std::vector<Feature>& features()
{
    static const std::vector<Feature> table = buildFeatures();
    return table;
}

const Feature* featureAt(uint32_t address)
{
    for (const Feature& f : features())
        if (f.address == address)
            return &f;
    return nullptr;
}

const Feature* featureNamed(const std::string& name)
{
    for (const Feature& f : features())
        if (name == f.name)
            return &f;
    return nullptr;
}

bool acceptsValue(const Feature& feature, uint32_t value)
{
    switch (feature.type) {
    case T::Integer: {
        const int64_t v = feature.min < 0 ? int64_t(int32_t(value)) : int64_t(value);
        return v >= feature.min && v <= feature.max;
    }
    case T::Enumeration:
        for (const EnumEntry& entry : feature.entries)
            if (int64_t(value) == entry.value)
                return true;
        return false;
    case T::Boolean:
        return value <= 1;
    case T::Command:
        return true;
    }
    return false;
}

bool isSupportedPixelFormat(uint32_t pixelFormat)
{
    const Feature* f = featureNamed("PixelFormat");
    return f != nullptr && acceptsValue(*f, pixelFormat);
}

std::string genicamXml(const std::vector<std::string>& missing)
{
    const auto described = [&missing](const Feature& f) {
        return std::find(missing.begin(), missing.end(), f.name) == missing.end();
    };
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<RegisterDescription ModelName=\"Tarnel\" VendorName=\"Kessane\""
           " ToolTip=\"Simulated Tarnel camera\" StandardNameSpace=\"GEV\""
           " SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\" SchemaSubMinorVersion=\"0\""
           " MajorVersion=\"1\" MinorVersion=\"0\" SubMinorVersion=\"0\""
           " ProductGuid=\"4b53c0de-0000-4000-8000-000000000001\""
           " VersionGuid=\"4b53c0de-0000-4000-8000-000000000002\""
           " xmlns=\"http://www.genicam.org/GenApi/Version_1_1\">\n";

    xml << "  <Category Name=\"Root\" NameSpace=\"Standard\">\n";
    for (const char* name :
         {"DeviceVendorName", "DeviceModelName", "DeviceVersion", "DeviceManufacturerInfo", "DeviceID",
          "DeviceSerialNumber", "DeviceUserID", "Width", "Height", "OffsetX", "OffsetY", "WidthMax",
          "HeightMax", "PayloadSize", "ExposureTimeAbs", "AcquisitionFrameRate", "GevCurrentIPAddress",
          "GevCurrentSubnetMask", "GevCurrentDefaultGateway", "GevCurrentIPConfigurationDHCP",
          "GevCurrentIPConfigurationPersistentIP", "GevPersistentIPAddress", "GevPersistentSubnetMask",
          "GevPersistentDefaultGateway", "GevHeartbeatTimeout", "GevTimestampTickFrequency",
          "GevSCPSPacketSize", "GevSCPD", "GevSCPHostPort", "GevSCDA"})
        xml << "    <pFeature>" << name << "</pFeature>\n";
    for (const Feature& f : features())
        if (described(f))
            xml << "    <pFeature>" << f.name << "</pFeature>\n";
    xml << "  </Category>\n";

    // Identity strings on the bootstrap registers, so discovery carries them.
    stringReg(xml, "DeviceVendorName", 0x0048, 32, false);
    stringReg(xml, "DeviceModelName", 0x0068, 32, false);
    stringReg(xml, "DeviceVersion", 0x0088, 32, false);
    stringReg(xml, "DeviceManufacturerInfo", 0x00A8, 48, false);
    stringReg(xml, "DeviceID", 0x00D8, 16, false);
    stringReg(xml, "DeviceSerialNumber", 0x00D8, 16, false);
    stringReg(xml, "DeviceUserID", 0x00E8, 16, true);

    // Geometry: Width + OffsetX never passes the binned sensor width.
    integerOn(xml, "Width", "WidthReg", "8", "WidthLimit", false, true);
    intReg(xml, "WidthReg", RegWidth, true);
    integerOn(xml, "Height", "HeightReg", "1", "HeightLimit", false, true);
    intReg(xml, "HeightReg", RegHeight, true);
    integerOn(xml, "OffsetX", "OffsetXReg", "0", "OffsetXLimit", false, true);
    intReg(xml, "OffsetXReg", RegOffsetX, true);
    integerOn(xml, "OffsetY", "OffsetYReg", "0", "OffsetYLimit", false, true);
    intReg(xml, "OffsetYReg", RegOffsetY, true);
    swissKnife(xml, "WidthMax", {{"SW", "SensorWidthReg"}, {"BH", "BinningHorizontalReg"}}, "SW / BH");
    swissKnife(xml, "HeightMax", {{"SH", "SensorHeightReg"}, {"BV", "BinningVerticalReg"}}, "SH / BV");
    swissKnife(xml, "WidthLimit", {{"WM", "WidthMax"}, {"OX", "OffsetXReg"}}, "WM - OX");
    swissKnife(xml, "HeightLimit", {{"HM", "HeightMax"}, {"OY", "OffsetYReg"}}, "HM - OY");
    swissKnife(xml, "OffsetXLimit", {{"WM", "WidthMax"}, {"W", "WidthReg"}}, "WM - W");
    swissKnife(xml, "OffsetYLimit", {{"HM", "HeightMax"}, {"H", "HeightReg"}}, "HM - H");
    swissKnife(xml, "PayloadSize", {{"W", "WidthReg"}, {"H", "HeightReg"}, {"PF", "PixelFormatReg"}},
               "W * H * ((PF &gt;&gt; 16) &amp; 0xFF) / 8");

    // Exposure in microseconds as a float, on the same register as
    // ExposureTimeRaw. The converter reads the register node, which stays when
    // ExposureTimeRaw is left out, so a camera without it still has this one.
    xml << "  <Float Name=\"ExposureTimeAbs\" NameSpace=\"Standard\">\n"
        << "    <pValue>ExposureTimeAbsConverter</pValue>\n"
        << "    <Min>10</Min>\n"
        << "    <Max>16777215</Max>\n"
        << "    <Unit>us</Unit>\n"
        << "  </Float>\n"
        << "  <Converter Name=\"ExposureTimeAbsConverter\" NameSpace=\"Custom\">\n"
        << "    <FormulaTo>FROM</FormulaTo>\n"
        << "    <FormulaFrom>TO</FormulaFrom>\n"
        << "    <pValue>ExposureTimeRawReg</pValue>\n"
        << "  </Converter>\n";
    // Frame rate over the shortest frame time (microseconds).
    xml << "  <Float Name=\"AcquisitionFrameRate\" NameSpace=\"Standard\">\n"
        << "    <pValue>AcquisitionFrameRateConverter</pValue>\n"
        << "    <Min>0.1</Min>\n"
        << "    <Max>" << 1000000 / MinFramePeriodUs << "</Max>\n"
        << "    <Unit>Hz</Unit>\n"
        << "  </Float>\n"
        << "  <Converter Name=\"AcquisitionFrameRateConverter\" NameSpace=\"Custom\">\n"
        << "    <FormulaTo>1000000 / FROM</FormulaTo>\n"
        << "    <FormulaFrom>1000000 / TO</FormulaFrom>\n"
        << "    <pValue>AcquisitionFramePeriod</pValue>\n"
        << "  </Converter>\n";
    // Bounded, so the converter's own limits are finite.
    integerOn(xml, "AcquisitionFramePeriod", "AcquisitionFramePeriodReg", std::to_string(MinFramePeriodUs),
              std::to_string(MaxFramePeriodUs), false, false);
    intReg(xml, "AcquisitionFramePeriodReg", RegShortestFrameTime, true);

    // GigE Vision transport layer.
    for (const auto& bit : std::vector<std::pair<const char*, int>>{
             {"GevCurrentIPConfigurationPersistentIP", 31}, {"GevCurrentIPConfigurationDHCP", 30}}) {
        xml << "  <Boolean Name=\"" << bit.first << "\" NameSpace=\"Standard\">\n"
            << "    <pValue>" << bit.first << "Reg</pValue>\n"
            << "    <OnValue>1</OnValue>\n"
            << "    <OffValue>0</OffValue>\n"
            << "  </Boolean>\n";
        maskedIntReg(xml, std::string(bit.first) + "Reg", 0x0014, true, bit.second, bit.second);
    }
    for (const auto& reg : std::vector<std::pair<const char*, uint32_t>>{
             {"GevCurrentIPAddress", 0x0024}, {"GevCurrentSubnetMask", 0x0034}, {"GevCurrentDefaultGateway", 0x0044}}) {
        integerOn(xml, reg.first, std::string(reg.first) + "Reg", "0", "4294967295", false, false);
        intReg(xml, std::string(reg.first) + "Reg", reg.second, false);
    }
    for (const auto& reg : std::vector<std::pair<const char*, uint32_t>>{
             {"GevPersistentIPAddress", 0x064C}, {"GevPersistentSubnetMask", 0x065C}, {"GevPersistentDefaultGateway", 0x066C},
             {"GevSCPD", 0x0D08}, {"GevSCDA", 0x0D18}}) {
        integerOn(xml, reg.first, std::string(reg.first) + "Reg", "0", "4294967295", false, false);
        intReg(xml, std::string(reg.first) + "Reg", reg.second, true);
    }
    integerOn(xml, "GevHeartbeatTimeout", "GevHeartbeatTimeoutReg", "500", "600000", false, false);
    intReg(xml, "GevHeartbeatTimeoutReg", 0x0938, true);
    xml << "  <IntReg Name=\"GevTimestampTickFrequency\" NameSpace=\"Standard\">\n"
        << "    <Address>0x93C</Address>\n"
        << "    <Length>8</Length>\n"
        << "    <AccessMode>RO</AccessMode>\n"
        << "    <pPort>Device</pPort>\n"
        << "    <Sign>Unsigned</Sign>\n"
        << "    <Endianess>BigEndian</Endianess>\n"
        << "  </IntReg>\n";
    integerOn(xml, "GevSCPSPacketSize", "GevSCPSPacketSizeReg", "576", "9000", false, false);
    maskedIntReg(xml, "GevSCPSPacketSizeReg", 0x0D04, true, 31, 16);
    integerOn(xml, "GevSCPHostPort", "GevSCPHostPortReg", "0", "65535", false, false);
    maskedIntReg(xml, "GevSCPHostPortReg", 0x0D00, true, 31, 16);

    for (const Feature& f : features())
        tableFeature(xml, f, described(f));

    xml << "  <Port Name=\"Device\" NameSpace=\"Standard\"/>\n"
        << "</RegisterDescription>\n";
    return xml.str();
}

} // namespace simcam
