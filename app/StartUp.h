// Where the start-up looks for the skip marker, and how it is created.
//
// The marker is an empty file "skip.col". It is looked for in the program's
// own folder first and then in the user's configuration folder. It is
// written to the program's folder when that folder accepts it; an installed
// program usually lives in a folder that the user cannot write, and then the
// marker goes to the configuration folder instead.
#pragma once

#include <string>

namespace tagshift::app {

inline constexpr const char* kMarkerName = "skip.col";

// The two folders that the start-up uses. Tests point both at temporary
// folders; the program takes DefaultStartUpPaths().
struct StartUpPaths {
    std::string sProgramDir;  // the folder that holds the program file
    std::string sConfigDir;   // the user's configuration folder for the program; may be empty
};

// Sets the application's name once, so that the configuration folder is
// ~/.config/tagshift (or the platform's equivalent). Call it right after
// the application object is created and before DefaultStartUpPaths().
void ConfigureApplicationNames();

// The program's own folder and its configuration folder.
StartUpPaths DefaultStartUpPaths();

// The marker paths, in the order in which they are looked at. An empty
// folder gives an empty path.
std::string ProgramMarkerPath(const StartUpPaths& oPaths);
std::string ConfigMarkerPath(const StartUpPaths& oPaths);

// True when a marker exists in either folder (any content counts).
bool SkipMarkerExists(const StartUpPaths& oPaths);

// Where CreateSkipMarker left the marker.
enum class MarkerWrite {
    ProgramFolder,  // created in the program's folder
    ConfigFolder,   // the program's folder refused it; created in the configuration folder
    NotWritten,     // neither folder took it; the choice is not kept
};

// Creates the empty marker: in the program's folder when possible, otherwise
// in the configuration folder (created when missing). An existing file of
// that name is never rewritten. sReason receives why nothing could be
// written, for NotWritten.
MarkerWrite CreateSkipMarker(const StartUpPaths& oPaths, std::string* sReason = nullptr);

}  // namespace tagshift::app
