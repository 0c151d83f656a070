// What kwz stamp checks of a stub beyond its kind (pe/SetupProgram.h refuses
// DLLs and foreign machines): whether it looks like a launcher at all.
#pragma once

#include <string>

class CPeImage;

// The launcher's own resources that image lacks, described for a warning
// ("string 109 holding the window class name, bitmaps 129 to 134"); empty
// when it has them all. A program without them is no launcher: it would
// never look at the payload.
std::string MissingLauncherResources(const CPeImage& image);
