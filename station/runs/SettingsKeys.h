#pragma once

// Keys of the run parameters in the station's settings store, shared by the
// side panel (which restores them) and the run rules (which store them when a
// run's checks pass). The generator's own keys are in TmxSettings.h.
namespace SettingsKeys {

constexpr char Exposure[] = "LAST_EXP";
constexpr char GateExposure[2][12] = {"LAST_EXP_G1", "LAST_EXP_G2"};
constexpr char GateCount[2][12] = {"LAST_CNT_G1", "LAST_CNT_G2"};
constexpr char GatePeriod[2][12] = {"LAST_PRD_G1", "LAST_PRD_G2"};
constexpr char GateDelay[2][12] = {"LAST_DLY_G1", "LAST_DLY_G2"};
constexpr char GateWidth[2][12] = {"LAST_WDT_G1", "LAST_WDT_G2"};
constexpr char Frames[] = "LAST_FRM";
constexpr char Average[] = "LAST_AVG";
constexpr char ExtTrigger[] = "LAST_TRG";
constexpr char Prefix[] = "LAST_PRT";
constexpr char Point[] = "LAST_PNT";
constexpr char WorkFolder[] = "LAST_PTH";

} // namespace SettingsKeys
