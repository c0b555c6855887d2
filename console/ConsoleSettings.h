#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class QSettings;

// The console's settings stores and the keys of its main window and address
// lists, each with the default it is read with.
namespace ConsoleSettings {

// QSettings("Kessane", "Orchestrel") in the native format.
std::unique_ptr<QSettings> open();
// The lens preset names: group "MultiProfiles" of ("Kessane", "Focalis").
std::unique_ptr<QSettings> openLensPresets();
// The pulse-generator profiles: group "Profiles" of ("Kessane", "TMXControl").
std::unique_ptr<QSettings> openGeneratorProfiles();

// Main-window keys, in the order the constructor reads them.
constexpr char ExposureKey[] = "EXP_LAST";
constexpr char SyncExposureKey[] = "EXP_SYNC_LAST";
constexpr char WorkFolderKey[] = "WORK_FOLDER";
constexpr char ExtTriggerKey[] = "EXT_TRIGGER";
constexpr char PrefixKey[] = "PREFIX_NAME";
constexpr char PointKey[] = "POINT_NAME";
constexpr char FramesKey[] = "FRAMES_CAPTURE";

// A folder any user can create on a station and that outlives a restart.
constexpr char DefaultWorkFolder[] = "/var/tmp/Test/";

// Address-list keys of the IP settings.
constexpr char StationsKey[] = "PC_IP_LIST";
constexpr char AliasesKey[] = "PC_Alias_LIST";
constexpr char SlavesKey[] = "TMX_SLAVE_IP_LIST";
constexpr char MasterKey[] = "TMX_MASTER_IP";
constexpr char LensControllersKey[] = "LC_IP_LIST";

// The default of a key above (an invalid QVariant for other keys).
QVariant defaultValue(const char* key);
// The stored value of `key`, or its default.
QVariant value(const QSettings& settings, const char* key);
// The stored text of `key`, or its default. A list reads as its items joined
// with ',': a hand-written "a,b" without quotes is stored as one. Nothing
// when the stored value cannot be read as a text.
std::optional<QString> text(const QSettings& settings, const char* key);

} // namespace ConsoleSettings
