// The installed product's own names that the installer has to know: its program windows, the
// files and folders of older versions that an update removes or renames, and the files that are
// deleted but never backed up. They are ZUVA's names and live here alone; the sample product, the
// material of old installations the tests build and the tests themselves use them from here.
#pragma once

#include <array>

namespace zuva_names {

// Uninstall keys of the current and of the older generation, and the main window's class.
inline constexpr char16_t kUninstallKey[] = u"ZUVA";
inline constexpr char16_t kUninstallKeyOld[] = u"ZUVA3";
inline constexpr char16_t kMainWindowClass[] = u"TZUVAMainForm";

// Configuration files in the installation folder (and, per user, in the data folder).
inline constexpr char16_t kConfigFile[] = u"ZUVA.ini";
inline constexpr char16_t kConfigFileOld[] = u"ZUVA3.ini";
// The data folder of the older generation below each user's application-data folder, and of a
// portable copy inside the installation.
inline constexpr char16_t kDataFolderOld[] = u"ZUVA3";
inline constexpr char16_t kPortableDataFolder[] = u"Profile\\";
inline constexpr char16_t kSingleUserName[] = u"SingleUser";

// The product's program windows, closed before files are replaced or removed: the companion
// programs first, the older generations' main windows next, the current main window last.
inline constexpr std::array<const char16_t*, 7> kWindowClasses = {
    u"TZUVATagEditorForm",   // tag editor
    u"TZUVAConverterForm",   // audio converter
    u"TZUVARecorderForm",    // sound recorder
    u"TZUVAMiniPlayerForm",  // the compact player window
    u"TZUVA3MainForm",       // main window of the older generation
    u"TZUVA3PlaylistForm",   // its detached playlist window
    kMainWindowClass,
};

// Plug-in folders (below "Plugins\") that are obsolete, with the installed version below which
// each goes; 0 means always.
struct TObsoletePluginFolder {
  const char16_t* Name;
  int BelowVersion;
};
inline constexpr std::array<TObsoletePluginFolder, 9> kObsoletePluginFolders = {{
    {u"zuva_winamp_bridge", 4002},
    {u"zuva_cdda_legacy", 4002},
    {u"zuva_lastfm_v1", 4002},
    {u"zuva_visual_classic", 4002},
    {u"zuva_dsp_tempo", 4002},
    {u"zuva_scheduler", 4699},
    {u"zuva_lyrics_old", 5030},
    {u"zuva_update_check", 0},
    {u"zuva_telemetry", 0},
}};

// A codec library older versions put into the Windows system folder.
inline constexpr char16_t kObsoleteCodecLibrary[] = u"zuva_ogg_codec.dll";

// Cache databases and the self-updater: deleted by an update, never backed up (the caches are
// rebuilt by the player, the updater is replaced).
inline constexpr std::array<const char16_t*, 5> kNotBackedUpFiles = {
    u"zuva_waveform.cache", u"zuva_thumbnails.cache", u"zuva_library_index.cache",
    u"zuva_search.cache",   u"ZUVAUpdater.exe",
};

// Older-generation files of a user's data folder renamed to their current names, in this order.
struct TRenamedFile {
  const char16_t* OldName;
  const char16_t* NewName;
};
inline constexpr std::array<TRenamedFile, 5> kGeneration3Renames = {{
    {u"ZUVA3.zdb", u"ZUVA.zdb"},                    // the media library
    {u"ZUVA3_menu.ini", u"ZUVA_menu.ini"},          // context-menu settings
    {kConfigFileOld, kConfigFile},                  // the player's settings
    {u"ZUVA3TagEditor.ini", u"ZUVATagEditor.ini"},  // the tag editor's settings
    {u"ZUVA3Converter.ini", u"ZUVAConverter.ini"},  // the converter's settings
}};
// Older-generation files of a user's data folder that go: the skin layout and three backups.
inline constexpr std::array<const char16_t*, 4> kGeneration3Obsolete = {
    u"ZUVA3_skin.layout",
    u"ZUVA3.ini.bak",
    u"ZUVA3_menu.ini.bak",
    u"ZUVA3.zdb.bak",
};

// Skin files in "Skins\" of versions before 4.50.
inline constexpr std::array<const char16_t*, 2> kObsoleteSkinFiles = {u"Classic.zskin",
                                                                      u"Classic Dark.zskin"};

// Album-art files of a user's data folder.
inline constexpr char16_t kAlbumArtDatabase[] = u"zuva_albumart.db";        // goes before 4.60
inline constexpr char16_t kAlbumArtCache[] = u"zuva_albumart_cache.db";     // goes before 5.02
inline constexpr char16_t kCustomAlbumArtOld[] = u"zuva_albumart_user.db";  // renamed before 5.02
inline constexpr char16_t kCustomAlbumArtNew[] = u"zuva_custom_covers.db";

// The integration program and the shell-menu libraries in the installation folder.
inline constexpr char16_t kRegistrar[] = u"Registrar.exe";
inline constexpr std::array<const char16_t*, 2> kShellMenuLibraries = {u"System\\zuva_menu32.dll",
                                                                       u"System\\zuva_menu64.dll"};

// The backup folder in the installation folder.
inline constexpr char16_t kBackupFolder[] = u"!Backup\\";

}  // namespace zuva_names
